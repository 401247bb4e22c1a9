#pragma once
#include "Afx.h"

// Works out the destinations offered on the paths page: the Visual C++ 7.1 directory from
// the registry (or the default under Program Files on the system drive) and the system
// directory.
void LoadDefaultPaths(CString& strVcPath, CString& strSystemPath);

// The wizard's second page: the two destination directories, the unchosen one greyed out.
// Its result is IDOK (Next), IDCANCEL or -1 (Back).
class CPathsDlg : public CDialog
{
public:
    explicit CPathsDlg(CWnd* pParent = nullptr);

    int m_bAppWizardFiles = 0;     // copied in by the page flow before the page is shown
    int m_bMfcFiles = 0;
    CStatic m_lblVcPath;
    CEdit m_editVcPath;
    CEdit m_editSystemPath;
    CStatic m_lblSystemPath;
    CString m_strVcPath;           // destination of the "VC7" folder
    CString m_strSystemPath;       // destination of the "System" folder
    HICON m_hIcon;
    HICON m_hSmallIcon;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnShowWindow(BOOL bShow, UINT nStatus);
    void OnBack();

    DECLARE_MESSAGE_MAP()

private:
    bool RequirePath(int bChosen, const CString& strPath, CEdit& edit);
};
