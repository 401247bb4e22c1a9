#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

// One top-level window of the watched thread, operated as a user would: only enabled, visible controls click.
class CWindowProbe
{
public:
    CWindowProbe(HWND hWnd, DWORD dwThreadId) : m_hWnd(hWnd), m_dwThreadId(dwThreadId) {}

    // Which of the program's windows this is, told by a control only that window has.
    enum Kind { kComponents, kPaths, kReplace, kMessage };
    Kind GetKind() const;
    HWND Handle() const { return m_hWnd; }
    std::string Caption() const { return Text(m_hWnd); }
    std::string Text(int nID) const { return Text(::GetDlgItem(m_hWnd, nID)); }
    // A message box's text, or the replace question's, as the user reads it.
    std::string MessageText() const;
    // A message box's icon: MB_ICONERROR, MB_ICONEXCLAMATION, MB_ICONINFORMATION or 0.
    UINT MessageIcon() const;
    bool IsEnabled(int nID) const { return ::IsWindowEnabled(::GetDlgItem(m_hWnd, nID)) != FALSE; }
    bool IsChecked(int nID) const { return Send(::GetDlgItem(m_hWnd, nID), BM_GETCHECK) == BST_CHECKED; }
    // Where a user finds the window: empty when it is on screen, centred in its monitor's work area
    // (within two pixels) as the program places its windows; else "hidden" or "off-centre".
    std::string Placement() const;

    // A click, false when the button is disabled or hidden; bWait waits for it (for one that opens no window).
    bool Click(int nID, bool bWait = false);
    void SetText(int nID, const std::string& text);
    // A key press to the control that has the focus.
    void PressKey(UINT nVirtualKey);
    void Close() { ::PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); }
    // A message to the watched thread that times out rather than hang the driver.
    static DWORD_PTR Send(HWND hWnd, UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0);

private:
    static std::string Text(HWND hWnd);

    HWND m_hWnd;
    DWORD m_dwThreadId;
};

// Hands each window the watched thread activates to a handler, which must answer it (close it or open another);
// and, once, a dialog the thread left hidden while it waits with none on screen, so that a walk can note it at
// once rather than wait for ever.
class CUiDriver
{
public:
    using Handler = std::function<void(CWindowProbe&)>;

    // Watches a thread of any process; 0 for the calling thread.
    explicit CUiDriver(Handler handler, DWORD dwThreadId = 0)
        : m_handler(std::move(handler)), m_dwThreadId(dwThreadId ? dwThreadId : ::GetCurrentThreadId()),
          m_hThread(::CreateThread(nullptr, 0, &CUiDriver::Run, this, 0, nullptr)) {}
    ~CUiDriver() { Stop(); }
    CUiDriver(const CUiDriver&) = delete;
    CUiDriver& operator=(const CUiDriver&) = delete;
    // Stops watching; what the handler recorded is then safe to read.
    void Stop();

private:
    static DWORD WINAPI Run(LPVOID pDriver);

    Handler m_handler;
    DWORD m_dwThreadId;
    std::atomic<bool> m_bStop{false};
    HANDLE m_hThread;              // the watching thread, until Stop
};

// A program run as a process of its own, in currentDirectory (empty: ours), killed if it still runs at the end.
class CProgram
{
public:
    CProgram(const std::wstring& program, const std::wstring& currentDirectory, const std::wstring& arguments = L"");
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    bool IsStarted() const { return m_process.hProcess != nullptr; }
    DWORD ThreadId() const { return m_process.dwThreadId; }
    // Waits for the end: the exit code, or -1 while the program still runs.
    long Wait(DWORD dwMilliseconds);

private:
    PROCESS_INFORMATION m_process = {};
};
