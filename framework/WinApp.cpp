#include "WinApp.h"

#include <vector>

namespace {
// Like the real framework's module state: start-up has to find the one application object.
CWinApp* g_pApp = nullptr;

CString ExecutableTitle(HINSTANCE hInstance)
{
    std::vector<wchar_t> path(MAX_PATH);
    DWORD nLength;
    while ((nLength = ::GetModuleFileNameW(hInstance, path.data(), static_cast<DWORD>(path.size()))) == path.size())
        path.resize(path.size() * 2);
    std::wstring title(path.data(), nLength);
    title = title.substr(title.find_last_of(L"\\/") + 1);
    size_t dot = title.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0)
        title.resize(dot);
    return Narrow(title.c_str());
}
}  // namespace

CWinApp::CWinApp() : m_hInstance(::GetModuleHandleW(nullptr)), m_strAppName(ExecutableTitle(m_hInstance))
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return FALSE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    LPCWSTR pszName = MAKEINTRESOURCEW(nIDResource);
    return ::LoadIconW(AfxFindResourceHandle(pszName, RT_GROUP_ICON), pszName);
}

void CWinApp::OnHelp()
{
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

HINSTANCE AfxFindResourceHandle(LPCWSTR pszName, LPCWSTR pszType)
{
    HINSTANCE hInstance = g_pApp ? g_pApp->m_hInstance : ::GetModuleHandleW(nullptr);
    return ::FindResourceW(hInstance, pszName, pszType) ? hInstance : nullptr;
}

int AfxMessageBox(const char* pszText, UINT nType, UINT)
{
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    CWnd* pMainWnd = g_pApp ? g_pApp->m_pMainWnd : nullptr;
    HWND hOwner = pMainWnd && ::IsWindow(pMainWnd->m_hWnd) ? pMainWnd->m_hWnd : nullptr;
    CString strTitle = g_pApp ? g_pApp->m_strAppName : CString();
    return ::MessageBoxW(hOwner, Widen(pszText).c_str(), Widen(strTitle).c_str(), nType);
}
