#include "DllSearch.h"
#include "WinApp.h"

// The framework's start-up: the program's work happens inside InitInstance; a dialog-based
// program returns FALSE from it, which ends the program with ExitInstance's exit code. The DLL
// search is restricted first, before any window or any call that may load a DLL.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    AfxRestrictDllSearch();
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return 0;
    pApp->InitInstance();
    return pApp->ExitInstance();
}
