#include "UiDriver.h"

#include <chrono>
#include <memory>

#include "String.h"

namespace {
constexpr UINT kTimeoutMs = 5000;

std::string WindowText(HWND hWnd)
{
    wchar_t text[4096] = {};
    DWORD_PTR nLength = 0;
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, kTimeoutMs, &nLength);
    return Narrow(text).Str();
}

bool IsIconStatic(HWND hChild)
{
    wchar_t className[32];
    ::GetClassNameW(hChild, className, 32);
    return _wcsicmp(className, L"Static") == 0 && (::GetWindowLongW(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

bool IsTextStatic(HWND hChild)
{
    wchar_t className[32];
    ::GetClassNameW(hChild, className, 32);
    return _wcsicmp(className, L"Static") == 0 && !IsIconStatic(hChild);
}

// The first child for which the test holds.
HWND FindChild(HWND hParent, bool (*test)(HWND))
{
    for (HWND hChild = ::GetWindow(hParent, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        if (test(hChild))
            return hChild;
    return nullptr;
}

bool IsAnswerable(HWND hWnd)
{
    return hWnd && ::IsWindowVisible(hWnd) && ::IsWindowEnabled(hWnd);
}
}  // namespace

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
    HWND hText = FindChild(m_hWnd, IsTextStatic);
    return hText ? WindowText(hText) : std::string();
}

UINT CWindowProbe::MessageIcon() const
{
    HWND hIcon = FindChild(m_hWnd, IsIconStatic);
    if (!hIcon)
        return 0;
    DWORD_PTR icon = 0;
    ::SendMessageTimeoutW(hIcon, STM_GETICON, 0, 0, SMTO_BLOCK, kTimeoutMs, &icon);
    // The message box shows the shared system icons, so the handles compare equal.
    const struct { LPCWSTR id; UINT type; } kinds[] = {
        {IDI_HAND, MB_ICONERROR}, {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
        {IDI_ASTERISK, MB_ICONINFORMATION}, {IDI_QUESTION, MB_ICONQUESTION}};
    for (const auto& kind : kinds)
        if (reinterpret_cast<HICON>(icon) == ::LoadIconW(nullptr, kind.id))
            return kind.type;
    return 0;
}

bool CWindowProbe::IsEnabled(int nID) const
{
    return ::IsWindowEnabled(::GetDlgItem(m_hWnd, nID)) != FALSE;
}

bool CWindowProbe::IsVisible(int nID) const
{
    return ::IsWindowVisible(::GetDlgItem(m_hWnd, nID)) != FALSE;
}

bool CWindowProbe::IsChecked(int nID) const
{
    DWORD_PTR state = 0;
    ::SendMessageTimeoutW(::GetDlgItem(m_hWnd, nID), BM_GETCHECK, 0, 0, SMTO_BLOCK, kTimeoutMs, &state);
    return state == BST_CHECKED;
}

int CWindowProbe::FocusID() const
{
    // A window that has just become active again gets its focus back a moment later; until
    // then the focus may still be on the closing message box, a popup it owns.
    for (int nTry = 0; nTry < 500; ++nTry) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (::GetGUIThreadInfo(m_dwThreadId, &info) && info.hwndFocus && ::IsChild(m_hWnd, info.hwndFocus))
            return ::GetDlgCtrlID(info.hwndFocus);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 0;
}

bool CWindowProbe::Click(int nID)
{
    HWND hButton = ::GetDlgItem(m_hWnd, nID);
    if (!IsAnswerable(hButton))
        return false;
    ::PostMessageW(hButton, BM_CLICK, 0, 0);
    return true;
}

bool CWindowProbe::ClickNow(int nID)
{
    HWND hButton = ::GetDlgItem(m_hWnd, nID);
    if (!IsAnswerable(hButton))
        return false;
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(hButton, BM_CLICK, 0, 0, SMTO_BLOCK, kTimeoutMs, &result);
    return true;
}

void CWindowProbe::SetText(int nID, const std::string& text)
{
    std::wstring wide = Widen(CString(text));
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(::GetDlgItem(m_hWnd, nID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                          SMTO_BLOCK, kTimeoutMs, &result);
}

void CWindowProbe::PressKey(UINT nVirtualKey)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(m_dwThreadId, &info);
    HWND hTarget = info.hwndFocus ? info.hwndFocus : m_hWnd;
    ::PostMessageW(hTarget, WM_KEYDOWN, nVirtualKey, 1);
    ::PostMessageW(hTarget, WM_KEYUP, nVirtualKey, 0xC0000001);
}

void CWindowProbe::Close()
{
    ::PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

CUiDriver::CUiDriver(Handler handler) : CUiDriver(::GetCurrentThreadId(), std::move(handler))
{
}

CUiDriver::CUiDriver(DWORD dwThreadId, Handler handler)
    : m_handler(std::move(handler)), m_dwThreadId(dwThreadId), m_thread(&CUiDriver::Run, this)
{
}

CUiDriver::~CUiDriver()
{
    Stop();
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
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
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

CUiDriver::Handler CUiDriver::InOrder(std::vector<Handler> steps, std::vector<std::string>* pUnexpected)
{
    auto next = std::make_shared<size_t>(0);
    return [steps = std::move(steps), next, pUnexpected](CWindowProbe& window) {
        if (*next < steps.size()) {
            steps[(*next)++](window);
            return;
        }
        pUnexpected->push_back(window.Caption() + ": " + window.MessageText());
        if (!window.Click(IDCANCEL))
            window.Click(IDOK);
    };
}

SeenBox AcknowledgeBox(CWindowProbe& box)
{
    SeenBox seen{box.Caption(), box.MessageText(), box.MessageIcon()};
    box.Click(IDOK);
    return seen;
}
