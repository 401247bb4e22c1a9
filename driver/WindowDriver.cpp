#include "WindowDriver.h"

#include <chrono>

#include "String.h"
#include "resource.h"

namespace {
constexpr UINT kTimeoutMs = 5000;

// Messages to the watched thread time out rather than hang the driver.
DWORD_PTR Send(HWND hWnd, UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(hWnd, nMessage, wParam, lParam, SMTO_BLOCK, kTimeoutMs, &result);
    return result;
}

std::string WindowText(HWND hWnd)
{
    wchar_t text[4096] = {};
    Send(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
    return Narrow(text).Str();
}

// A message box's static control: its icon, or its text.
HWND FindStatic(HWND hBox, bool bIcon)
{
    for (HWND hChild = ::GetWindow(hBox, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        wchar_t className[32];
        ::GetClassNameW(hChild, className, 32);
        bool bIsIcon = (::GetWindowLongW(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        if (_wcsicmp(className, L"Static") == 0 && bIsIcon == bIcon)
            return hChild;
    }
    return nullptr;
}

GUITHREADINFO ThreadInfo()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return info;
}

bool IsAnswerable(HWND hWnd)
{
    return hWnd && ::IsWindowVisible(hWnd) && ::IsWindowEnabled(hWnd);
}
}  // namespace

CWindowProbe::Kind CWindowProbe::GetKind() const
{
    if (::GetDlgItem(m_hWnd, IDC_APPWIZARD_FILES))
        return kComponents;
    if (::GetDlgItem(m_hWnd, IDC_VC_PATH))
        return kPaths;
    return ::GetDlgItem(m_hWnd, IDC_YES_ALL) ? kReplace : kMessage;
}

std::string CWindowProbe::Caption() const
{
    return WindowText(m_hWnd);
}

std::string CWindowProbe::Text(int nID) const
{
    return WindowText(::GetDlgItem(m_hWnd, nID));
}

std::string CWindowProbe::MessageText() const
{
    if (GetKind() == kReplace)
        return Text(IDC_MESSAGE);
    HWND hText = FindStatic(m_hWnd, false);
    return hText ? WindowText(hText) : std::string();
}

UINT CWindowProbe::MessageIcon() const
{
    HWND hIcon = FindStatic(m_hWnd, true);
    HICON hShown = hIcon ? reinterpret_cast<HICON>(Send(hIcon, STM_GETICON)) : nullptr;
    // A message box shows the shared system icons, so the handles compare equal.
    const struct { LPCWSTR id; UINT type; } kinds[] = {
        {IDI_HAND, MB_ICONERROR}, {IDI_EXCLAMATION, MB_ICONEXCLAMATION}, {IDI_ASTERISK, MB_ICONINFORMATION}};
    for (const auto& kind : kinds)
        if (hShown && hShown == ::LoadIconW(nullptr, kind.id))
            return kind.type;
    return 0;
}

bool CWindowProbe::IsEnabled(int nID) const
{
    return ::IsWindowEnabled(::GetDlgItem(m_hWnd, nID)) != FALSE;
}

bool CWindowProbe::IsChecked(int nID) const
{
    return Send(::GetDlgItem(m_hWnd, nID), BM_GETCHECK) == BST_CHECKED;
}

int CWindowProbe::FocusID() const
{
    // A window that has just become active again gets its focus back a moment later.
    for (int nTry = 0; nTry < 500; ++nTry) {
        GUITHREADINFO info = ThreadInfo();
        if (::GetGUIThreadInfo(m_dwThreadId, &info) && info.hwndFocus && ::IsChild(m_hWnd, info.hwndFocus))
            return ::GetDlgCtrlID(info.hwndFocus);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 0;
}

bool CWindowProbe::Click(int nID)
{
    HWND hButton = ::GetDlgItem(m_hWnd, nID);
    return IsAnswerable(hButton) && ::PostMessageW(hButton, BM_CLICK, 0, 0);
}

bool CWindowProbe::ClickNow(int nID)
{
    HWND hButton = ::GetDlgItem(m_hWnd, nID);
    if (!IsAnswerable(hButton))
        return false;
    Send(hButton, BM_CLICK);
    return true;
}

void CWindowProbe::SetText(int nID, const std::string& text)
{
    std::wstring wide = Widen(CString(text));
    Send(::GetDlgItem(m_hWnd, nID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void CWindowProbe::PressKey(UINT nVirtualKey)
{
    GUITHREADINFO info = ThreadInfo();
    ::GetGUIThreadInfo(m_dwThreadId, &info);
    HWND hTarget = info.hwndFocus ? info.hwndFocus : m_hWnd;
    ::PostMessageW(hTarget, WM_KEYDOWN, nVirtualKey, 1);
    ::PostMessageW(hTarget, WM_KEYUP, nVirtualKey, 0xC0000001);
}

void CWindowProbe::Close()
{
    ::PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

CUiDriver::CUiDriver(Handler handler, DWORD dwThreadId)
    : m_handler(std::move(handler)), m_dwThreadId(dwThreadId ? dwThreadId : ::GetCurrentThreadId()),
      m_thread(&CUiDriver::Run, this)
{
}

void CUiDriver::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CUiDriver::Run()
{
    HWND hAnswered = nullptr;
    while (!m_bStop) {
        GUITHREADINFO info = ThreadInfo();
        HWND hActive = ::GetGUIThreadInfo(m_dwThreadId, &info) ? info.hwndActive : nullptr;
        // A window counts again only once it has been hidden, disabled (by a window opened
        // over it) or destroyed: while it closes it can briefly look active again.
        if (hAnswered && !IsAnswerable(hAnswered))
            hAnswered = nullptr;
        if (hActive != hAnswered && IsAnswerable(hActive)) {
            hAnswered = hActive;
            CWindowProbe probe(hActive, m_dwThreadId);
            m_handler(probe);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
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
    if (!IsStarted())
        return;
    Wait(0);
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

long CProgram::Wait(DWORD dwMilliseconds)
{
    if (!IsStarted())
        return -1;
    if (::WaitForSingleObject(m_process.hProcess, dwMilliseconds) != WAIT_OBJECT_0) {
        Kill();
        return -1;
    }
    DWORD dwExitCode = 0;
    ::GetExitCodeProcess(m_process.hProcess, &dwExitCode);
    return static_cast<long>(dwExitCode);
}

void CProgram::Kill()
{
    ::TerminateProcess(m_process.hProcess, 1);
    ::WaitForSingleObject(m_process.hProcess, INFINITE);
}
