#pragma once
#include "Wnd.h"

// The framework's help command.
constexpr UINT ID_HELP = 0xE146;

// The application: the framework's start-up calls InitInstance of the one global object.
class CWinApp : public CCmdTarget
{
public:
    CWinApp();
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's work; FALSE ends the program.
    virtual BOOL InitInstance();
    // What the program tells whoever started it, once InitInstance has returned: its exit code.
    virtual int ExitInstance();
    // The icon group of that id, from whichever module holds it.
    HICON LoadIcon(UINT nIDResource) const;
    // The help command (F1); the program ships no help file, so there is nothing to open.
    void OnHelp();

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd = nullptr;
    CString m_strAppName;      // the executable's file name without its extension
};

// The one application object, or null before it is constructed.
CWinApp* AfxGetApp();
// The module that holds the resource, or null when none does.
HINSTANCE AfxFindResourceHandle(LPCWSTR pszName, LPCWSTR pszType);
// A modal message box owned by the main window with the application title; with no icon
// requested it shows the exclamation icon.
int AfxMessageBox(const char* pszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// Start-up calls kept for the program's shape; there are no ActiveX controls or 3-D
// controls library to set up on today's Windows.
inline void AfxEnableControlContainer() {}
inline BOOL Enable3dControls() { return TRUE; }
