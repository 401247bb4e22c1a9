// A DLL planted beside the program under a system DLL's name: if the program's process loads
// it, its DllMain leaves a file named after it ("uxtheme.dll.loaded") in its folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t marker[MAX_PATH + 8];
    DWORD nLength = ::GetModuleFileNameW(hInstance, marker, MAX_PATH);
    ::lstrcpyW(marker + nLength, L".loaded");
    ::CloseHandle(::CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return FALSE;   // refused, so the process goes on with the system's own copy, if it can
}
