#include "PathsDlg.h"

#include <vector>

#include "Messages.h"
#include "PageIcons.h"
#include "resource.h"

// The Visual C++ 7.1 directory as its setup recorded it, or empty when there is no usable
// record; only string values count, and an expandable one is expanded.
static CString RegistryVcDirectory()
{
    HKEY hKey;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kVcSetupKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return CString();
    DWORD dwType = 0;
    DWORD cbData = 0;
    std::vector<wchar_t> value;
    LONG nResult = ::RegQueryValueExW(hKey, kVcSetupValue, nullptr, &dwType, nullptr, &cbData);
    if (nResult == ERROR_SUCCESS) {
        // A value that grew since it was measured fails with ERROR_MORE_DATA and counts as absent.
        value.assign(cbData / sizeof(wchar_t) + 1, L'\0');
        nResult = ::RegQueryValueExW(hKey, kVcSetupValue, nullptr, &dwType, reinterpret_cast<BYTE*>(value.data()),
                                     &cbData);
    }
    ::RegCloseKey(hKey);
    if (nResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return CString();
    // The stored string need not end in a zero, and a stray odd byte is no part of it.
    std::wstring text(value.data(), cbData / sizeof(wchar_t));
    text = text.substr(0, text.find(L'\0'));
    if (dwType == REG_EXPAND_SZ) {
        std::vector<wchar_t> expanded(::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0) + 1, L'\0');
        DWORD nLength = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (nLength == 0 || nLength > expanded.size())
            return CString();
        text = expanded.data();
    }
    return Narrow(text.c_str());
}

// The Windows system directory, whatever its length.
static CString SystemDirectory()
{
    std::vector<wchar_t> buffer(::GetSystemDirectoryW(nullptr, 0) + 1);
    UINT nLength = ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    return Narrow(buffer.data(), static_cast<int>(nLength < buffer.size() ? nLength : 0));
}

void LoadDefaultPaths(CString& strVcPath, CString& strSystemPath)
{
    strSystemPath = SystemDirectory();
    CString strVc = RegistryVcDirectory();
    if (strVc.IsEmpty()) {
        strVc = strSystemPath.Left(1) + ":\\Program Files\\Microsoft Visual Studio .NET 2003\\Vc7\\";
    }
    // The recorded directory ends in a backslash; a path that does not keeps all it has.
    if (strVc.GetAt(strVc.GetLength() - 1) == '\\')
        strVc = strVc.Left(strVc.GetLength() - 1);
    strVcPath = strVc;
}

CPathsDlg::CPathsDlg(CWnd* pParent) : CDialog(IDD_PATHS, pParent)
{
    LoadDefaultPaths(m_strVcPath, m_strSystemPath);
    LoadPageIcons(m_hIcon, m_hSmallIcon);
}

void CPathsDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_VC_LABEL, m_lblVcPath);
    DDX_Control(pDX, IDC_VC_PATH, m_editVcPath);
    DDX_Control(pDX, IDC_SYSTEM_PATH, m_editSystemPath);
    DDX_Control(pDX, IDC_SYSTEM_LABEL, m_lblSystemPath);
    DDX_Text(pDX, IDC_VC_PATH, m_strVcPath);
    DDX_Text(pDX, IDC_SYSTEM_PATH, m_strSystemPath);
}

BEGIN_MESSAGE_MAP(CPathsDlg, CDialog)
    ON_WM_SHOWWINDOW()
    ON_BN_CLICKED(IDC_BACK, &CPathsDlg::OnBack)
END_MESSAGE_MAP()

BOOL CPathsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetPageIcons(*this, m_hIcon, m_hSmallIcon);
    return TRUE;
}

// Greys out the field of a component that was not chosen.
void CPathsDlg::OnShowWindow(BOOL, UINT)
{
    Default();
    if (!m_bAppWizardFiles) {
        m_lblVcPath.EnableWindow(FALSE);
        m_editVcPath.EnableWindow(FALSE);
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_editSystemPath.m_hWnd), TRUE);
    }
    if (!m_bMfcFiles) {
        m_lblSystemPath.EnableWindow(FALSE);
        m_editSystemPath.EnableWindow(FALSE);
    }
}

void CPathsDlg::OnBack()
{
    EndDialog(-1);
}

// Next: an empty destination would scatter a component under the root of the current
// drive, so a chosen component's field must hold a path.
void CPathsDlg::OnOK()
{
    UpdateData(TRUE);
    if (RequirePath(m_bAppWizardFiles, m_strVcPath, m_editVcPath) &&
        RequirePath(m_bMfcFiles, m_strSystemPath, m_editSystemPath))
        CDialog::OnOK();
}

// True when the component is not chosen or its field holds a path; otherwise says so and
// puts the focus into the field.
bool CPathsDlg::RequirePath(int bChosen, const CString& strPath, CEdit& edit)
{
    if (!bChosen || !CString(strPath).Trim().IsEmpty())
        return true;
    // Focus first: the page gives the focus back to where it was when the message box closes.
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit.m_hWnd), TRUE);
    MessageBox(Messages::kNoPath, Messages::kCaption, MB_ICONEXCLAMATION);
    return false;
}
