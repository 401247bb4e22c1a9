#pragma once
#include "Afx.h"
#include "PlacedFiles.h"

// The wizard's first page, where the user picks the components, and the installation engine
// that moves the chosen ones into place.
class CComponentsDlg : public CDialog
{
public:
    explicit CComponentsDlg(CWnd* pParent = nullptr);

    // The program's exit code, as its last message told the user; scripts and deployment
    // tools read it.
    enum { kExitSuccess = 0, kExitProblems = 1, kExitAborted = 2 };

    // Installation engine (ComponentsEngine.cpp).

    // Moves each chosen component from the current directory into its destination and
    // shows the summary.
    void RunInstallation(CString strVcPath, CString strSystemPath);
    // Moves every file of the source tree into the destination tree of the same shape;
    // false when the user cancelled. A destination inside the source is left out of the walk,
    // and links are neither followed nor moved, nor anything put in an entry's place meanwhile.
    bool MoveTree(CString strSource, CString strDest);

    // Window side (ComponentsDlg.cpp).

    CButton m_btnNext;
    CButton m_chkMfc;
    CButton m_chkAppWizard;
    int m_bAppWizardFiles = 1;     // the "VC7" folder is chosen
    int m_bMfcFiles = 0;           // the "System" folder is chosen
    HICON m_hIcon;
    HICON m_hSmallIcon;

    // Run state, shared by both components of one run.
    bool m_bReplaceAll = false;    // existing files are replaced without asking
    bool m_bProblems = false;      // the summary reports problems
    CPlacedFiles m_placed;         // what the run has put in place
    int m_nExitCode = kExitAborted;   // until the installation's summary says otherwise

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnComponentClicked();
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    DECLARE_MESSAGE_MAP()

private:
    bool InstallComponent(const CString& strPackageFolder, const CString& strDest);
    bool MoveFolder(const CFolder& folder, const CString& strDest, const CFileIdentity& output);
    bool MoveOneFile(const CFolder& folder, const CListedEntry& entry, const CString& strDest);
    void Placed(const CString& strDest, const CString& strName, bool bReadOnly);
    int AskReplace(const CString& strTo);
    void ReportFailure(const CString& strFrom, const CString& strTo);
    void ReportUnreadable(const CString& strFolder);
    void ShowAborted();
};
