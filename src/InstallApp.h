#pragma once
#include "Afx.h"

// The application: shows the components page and ends when it closes.
class CInstallApp : public CWinApp
{
public:
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
