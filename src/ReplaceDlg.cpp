#include "ReplaceDlg.h"

#include "resource.h"

CReplaceDlg::CReplaceDlg(CWnd* pParent) : CDialog(IDD_REPLACE, pParent)
{
}

void CReplaceDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_MESSAGE, m_strMessage);
}

BEGIN_MESSAGE_MAP(CReplaceDlg, CDialog)
    ON_BN_CLICKED(IDC_YES_ALL, &CReplaceDlg::OnYesAll)
    ON_BN_CLICKED(IDC_NO, &CReplaceDlg::OnNo)
END_MESSAGE_MAP()

void CReplaceDlg::OnYesAll()
{
    EndDialog(IDC_YES_ALL);
}

void CReplaceDlg::OnNo()
{
    EndDialog(IDC_NO);
}
