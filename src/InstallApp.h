#pragma once
#include "Afx.h"
#include "ComponentsDlg.h"

// The application: shows the components page and ends when it closes.
class CInstallApp : public CWinApp
{
public:
    BOOL InitInstance() override;
    // As the last message told the user: 0 installed, 1 installed with problems, 2 aborted.
    int ExitInstance() override;

    DECLARE_MESSAGE_MAP()

private:
    int m_nExitCode = CComponentsDlg::kExitAborted;
};
