// The window side of the components page and the page flow that leads through the paths
// page to the installation.
#include "ComponentsDlg.h"

#include "PathsDlg.h"
#include "PageIcons.h"
#include "resource.h"

CComponentsDlg::CComponentsDlg(CWnd* pParent) : CDialog(IDD_COMPONENTS, pParent)
{
    LoadPageIcons(m_hIcon, m_hSmallIcon);
}

void CComponentsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnNext);
    DDX_Control(pDX, IDC_MFC_FILES, m_chkMfc);
    DDX_Control(pDX, IDC_APPWIZARD_FILES, m_chkAppWizard);
    DDX_Check(pDX, IDC_APPWIZARD_FILES, m_bAppWizardFiles);
    DDX_Check(pDX, IDC_MFC_FILES, m_bMfcFiles);
}

BEGIN_MESSAGE_MAP(CComponentsDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_APPWIZARD_FILES, &CComponentsDlg::OnComponentClicked)
    ON_BN_CLICKED(IDC_MFC_FILES, &CComponentsDlg::OnComponentClicked)
END_MESSAGE_MAP()

BOOL CComponentsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetPageIcons(*this, m_hIcon, m_hSmallIcon);
    return TRUE;
}

// "Далее >>" is usable while at least one component is ticked; the boxes themselves are read,
// because the members follow them only at data exchange.
void CComponentsDlg::OnComponentClicked()
{
    bool bAnyTicked = m_chkAppWizard.SendMessage(BM_GETCHECK) != 0 || m_chkMfc.SendMessage(BM_GETCHECK) != 0;
    m_btnNext.EnableWindow(bAnyTicked);
}

// Draws the large icon centred in the client area while the page is minimised.
void CComponentsDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CComponentsDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CComponentsDlg::OnCancel()
{
    CDialog::OnCancel();
    ShowAborted();
}

// The page flow: the paths page, then back to this page, the installation, or the abort.
void CComponentsDlg::OnOK()
{
    UpdateData(TRUE);
    ShowWindow(SW_HIDE);

    CPathsDlg dlgPaths;
    dlgPaths.m_bAppWizardFiles = m_bAppWizardFiles;
    dlgPaths.m_bMfcFiles = m_bMfcFiles;
    INT_PTR nResult = dlgPaths.DoModal();
    if (nResult == -1) {
        ShowWindow(SW_SHOW);
    } else if (nResult == IDOK) {
        RunInstallation(dlgPaths.m_strVcPath, dlgPaths.m_strSystemPath);
        CDialog::OnOK();
    } else {
        ShowAborted();
        CDialog::OnCancel();
    }
}
