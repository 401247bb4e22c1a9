#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// One top-level window of the thread under test, read and operated from the driver thread
// the way a user would: only enabled, visible controls can be clicked.
class CWindowProbe
{
public:
    CWindowProbe(HWND hWnd, DWORD dwThreadId) : m_hWnd(hWnd), m_dwThreadId(dwThreadId) {}

    HWND Handle() const { return m_hWnd; }
    std::string Caption() const;
    std::string Text(int nID) const;
    // The text of a message box (its one static control that is not the icon).
    std::string MessageText() const;
    // The icon of a message box: MB_ICONERROR, MB_ICONEXCLAMATION, MB_ICONINFORMATION,
    // MB_ICONQUESTION, or 0 for none.
    UINT MessageIcon() const;
    bool IsEnabled(int nID) const;
    bool IsVisible(int nID) const;
    bool IsChecked(int nID) const;
    // The id of the control that has the keyboard focus, or 0.
    int FocusID() const;

    // Clicks a button; false (and nothing happens) when it is disabled or hidden.
    bool Click(int nID);
    // Clicks and waits until the click has been handled; only for a click that opens no
    // modal window (a check box), since the wait would last as long as that window.
    bool ClickNow(int nID);
    void SetText(int nID, const std::string& text);
    // A key press to the control that has the focus.
    void PressKey(UINT nVirtualKey);
    // The title bar's close box.
    void Close();

private:
    HWND m_hWnd;
    DWORD m_dwThreadId;
};

// Hands each modal window that the watched thread activates to a handler, on a thread of
// its own. The handler must answer the window (close it or open another over it).
class CUiDriver
{
public:
    using Handler = std::function<void(CWindowProbe&)>;

    // Watches the calling thread.
    explicit CUiDriver(Handler handler);
    // Watches a thread of any process, such as the main thread of a started program.
    CUiDriver(DWORD dwThreadId, Handler handler);
    ~CUiDriver();
    CUiDriver(const CUiDriver&) = delete;
    CUiDriver& operator=(const CUiDriver&) = delete;

    // Stops watching; what the handler recorded is then safe to read.
    void Stop();

    // A handler that takes the steps in order, one per window; windows beyond the last step
    // are noted in *pUnexpected (caption and text) and cancelled.
    static Handler InOrder(std::vector<Handler> steps, std::vector<std::string>* pUnexpected);

private:
    void Run();

    Handler m_handler;
    DWORD m_dwThreadId;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

// What a test sees of one message box.
struct SeenBox
{
    std::string caption;
    std::string text;
    UINT icon;
};

// Reads a message box and presses its OK button.
SeenBox AcknowledgeBox(CWindowProbe& box);
