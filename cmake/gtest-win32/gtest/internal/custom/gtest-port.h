// GoogleTest's own hook for a platform's port: the win32 thread model's C++ library has no
// std::mutex, which GoogleTest's Notification is made of, so it is made of a Windows event.
#pragma once
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {
// Lets threads wait until one tells them to go on.
class Notification
{
public:
    Notification() : m_hEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { ::CloseHandle(m_hEvent); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { ::SetEvent(m_hEvent); }
    void WaitForNotification() { ::WaitForSingleObject(m_hEvent, INFINITE); }

private:
    HANDLE m_hEvent;
};
}  // namespace internal
}  // namespace testing
