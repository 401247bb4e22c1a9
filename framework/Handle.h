#pragma once
#include <windows.h>

// Closes a handle when it goes out of scope.
class CHandle
{
public:
    explicit CHandle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    bool IsValid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE Get() const { return m_h; }
    void Close() { Reset(INVALID_HANDLE_VALUE); }
    // Hands the handle over to the caller, who closes it.
    HANDLE Release()
    {
        HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return h;
    }
    // Closes the handle held and holds another.
    void Reset(HANDLE h)
    {
        if (IsValid())
            ::CloseHandle(m_h);
        m_h = h;
    }

private:
    HANDLE m_h;
};
