#include "WinApp.h"

// The framework's start-up: the program's work happens inside InitInstance; a dialog-based
// program returns FALSE from it, which ends the program.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp)
        pApp->InitInstance();
    return 0;
}
