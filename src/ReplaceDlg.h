#pragma once
#include "Afx.h"

// The replace question: asks whether one existing file may be replaced. The answer is the
// dialog's result: IDOK ("Да"), IDC_YES_ALL ("Да - для всех"), IDC_NO ("Нет") or IDCANCEL.
class CReplaceDlg : public CDialog
{
public:
    explicit CReplaceDlg(CWnd* pParent = nullptr);

    CString m_strMessage;          // the question, shown in IDC_MESSAGE

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnYesAll();
    void OnNo();

    DECLARE_MESSAGE_MAP()
};
