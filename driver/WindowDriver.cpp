#include "WindowDriver.h"

#include <cstdlib>

#include "String.h"
#include "resource.h"

namespace {
// Whether a user could answer the window: it is there, visible and enabled.
bool IsAnswerable(HWND hWnd)
{
    return hWnd && ::IsWindowVisible(hWnd) && ::IsWindowEnabled(hWnd);
}

// Which of the thread's windows is active, and which has the focus.
GUITHREADINFO ThreadInfo(DWORD dwThreadId)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(dwThreadId, &info);
    return info;
}

// The thread's enabled dialog (not one under a modal one; all the program's windows are dialogs)
// when none of its dialogs is on screen.
HWND LeftHidden(DWORD dwThreadId)
{
    HWND hHidden = nullptr;
    for (HWND hWnd = nullptr; (hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", nullptr));)
        if (::GetWindowThreadProcessId(hWnd, nullptr) == dwThreadId) {
            if (::IsWindowVisible(hWnd))
                return nullptr;
            hHidden = ::IsWindowEnabled(hWnd) ? hWnd : hHidden;
        }
    return hHidden;
}

// Whether the window's thread takes messages, as it does waiting for input, rather than working.
bool IsWaiting(HWND hWnd)
{
    return ::SendMessageTimeoutW(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 50, nullptr) != 0;
}

// A message box's static control: its icon, or its text.
HWND FindStatic(HWND hBox, bool bIcon)
{
    HWND hChild = ::FindWindowExW(hBox, nullptr, L"Static", nullptr);
    while (hChild && ((::GetWindowLongW(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) != bIcon)
        hChild = ::FindWindowExW(hBox, hChild, L"Static", nullptr);
    return hChild;
}
}  // namespace

DWORD_PTR CWindowProbe::Send(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(hWnd, nMessage, wParam, lParam, SMTO_BLOCK, 5000, &result);
    return result;
}

std::string CWindowProbe::Text(HWND hWnd)
{
    wchar_t text[4096] = {};
    Send(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return Narrow(text).Str();
}

CWindowProbe::Kind CWindowProbe::GetKind() const
{
    return ::GetDlgItem(m_hWnd, IDC_APPWIZARD_FILES) ? kComponents
           : ::GetDlgItem(m_hWnd, IDC_VC_PATH)        ? kPaths
           : ::GetDlgItem(m_hWnd, IDC_YES_ALL)        ? kReplace
                                                      : kMessage;
}

std::string CWindowProbe::MessageText() const
{
    // Without SS_NOPREFIX a static shows "&" as the underline of the next character, "&&" as "&".
    HWND hText = GetKind() == kReplace ? ::GetDlgItem(m_hWnd, IDC_MESSAGE) : FindStatic(m_hWnd, false);
    std::string text = Text(hText), shown;
    bool bPrefix = !(::GetWindowLongW(hText, GWL_STYLE) & SS_NOPREFIX);
    for (size_t nChar = 0; nChar < text.size(); ++nChar)
        if (!bPrefix || text[nChar] != '&' || ++nChar < text.size())
            shown += text[nChar];
    return shown;
}

UINT CWindowProbe::MessageIcon() const
{
    DWORD_PTR shown = Send(FindStatic(m_hWnd, true), STM_GETICON);
    // A message box shows the shared system icons, so the handles compare equal.
    for (auto [id, type] : {std::pair{IDI_HAND, MB_ICONERROR}, {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                            {IDI_ASTERISK, MB_ICONINFORMATION}})
        if (shown && shown == reinterpret_cast<DWORD_PTR>(::LoadIconW(nullptr, id)))
            return type;
    return 0;
}

std::string CWindowProbe::Placement() const
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT window = {}, work = monitor.rcWork;
    ::GetWindowRect(m_hWnd, &window);
    // Twice the centres' distance, so that an odd width's half pixel counts.
    bool bCentred = std::abs(window.left + window.right - work.left - work.right) <= 4 &&
                    std::abs(window.top + window.bottom - work.top - work.bottom) <= 4;
    return !::IsWindowVisible(m_hWnd) ? "hidden" : bCentred ? "" : "off-centre";
}

bool CWindowProbe::Click(int nID, bool bWait)
{
    HWND hButton = ::GetDlgItem(m_hWnd, nID);
    return IsAnswerable(hButton) && (bWait ? Send(hButton, BM_CLICK) == 0 : ::PostMessageW(hButton, BM_CLICK, 0, 0));
}

void CWindowProbe::SetText(int nID, const std::string& text)
{
    Send(::GetDlgItem(m_hWnd, nID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(CString(text)).c_str()));
}

void CWindowProbe::PressKey(UINT nVirtualKey)
{
    // Right after a page change the focus may still be in the page before: the key is this window's.
    HWND hFocus = ThreadInfo(m_dwThreadId).hwndFocus;
    HWND hTarget = hFocus && ::IsChild(m_hWnd, hFocus) ? hFocus : m_hWnd;
    ::PostMessageW(hTarget, WM_KEYDOWN, nVirtualKey, 1);
    ::PostMessageW(hTarget, WM_KEYUP, nVirtualKey, 0xC0000001);
}

void CUiDriver::Stop()
{
    m_bStop = true;
    if (m_hThread) {
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
}

DWORD WINAPI CUiDriver::Run(LPVOID pDriver)
{
    auto& self = *static_cast<CUiDriver*>(pDriver);
    const DWORD dwThreadId = self.m_dwThreadId;
    // A window counts again once hidden, disabled (by one opened over it) or destroyed: closing, it can look active.
    // A dialog left hidden counts once nothing has been on screen for half a second (a window coming shows sooner)
    // while its thread takes messages, so is not busy installing, and if it is still hidden after that check.
    DWORD dwShown = ::GetTickCount();
    for (HWND hAnswered = nullptr, hLeft = nullptr; !self.m_bStop; ::Sleep(2)) {
        HWND hActive = ThreadInfo(dwThreadId).hwndActive, hHidden = LeftHidden(dwThreadId), hNext = nullptr;
        if (hAnswered && !IsAnswerable(hAnswered))
            hAnswered = nullptr;
        if (!hHidden)
            dwShown = ::GetTickCount(), hLeft = nullptr;
        if (hActive != hAnswered && IsAnswerable(hActive))
            hNext = hAnswered = hActive;
        else if (hHidden != hLeft && ::GetTickCount() - dwShown > 500 && IsWaiting(hHidden) &&
                 LeftHidden(dwThreadId) == hHidden)
            hNext = hLeft = hHidden;
        if (hNext) {
            CWindowProbe probe(hNext, dwThreadId);
            self.m_handler(probe);
        }
    }
    return 0;
}

CProgram::CProgram(const std::wstring& program, const std::wstring& currentDirectory, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &m_process))
        m_process = {};
}

CProgram::~CProgram()
{
    if (IsStarted() && Wait(0) == -1) {
        ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, INFINITE);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

long CProgram::Wait(DWORD dwMilliseconds)
{
    DWORD dwExitCode = 0;
    bool bEnded = IsStarted() && ::WaitForSingleObject(m_process.hProcess, dwMilliseconds) == WAIT_OBJECT_0;
    return bEnded && ::GetExitCodeProcess(m_process.hProcess, &dwExitCode) ? static_cast<long>(dwExitCode) : -1;
}
