#include "InstallApp.h"

BEGIN_MESSAGE_MAP(CInstallApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

// The one application object; start-up calls its InitInstance.
CInstallApp theApp;

BOOL CInstallApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    CComponentsDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    m_nExitCode = dlg.m_nExitCode;

    // The page has closed: returning FALSE ends the program without a message loop.
    return FALSE;
}

int CInstallApp::ExitInstance()
{
    return m_nExitCode;
}
