#pragma once
#include "Wnd.h"

// The direction and the dialog of one data exchange.
class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;   // TRUE: controls to members
    CWnd* m_pDlgWnd;
};

// Binds a control member to the dialog's control of that id.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// A check box's state and an int: 0 unticked, 1 ticked.
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// A control's text and a string.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
