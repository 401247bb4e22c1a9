#include "Wnd.h"

#include "DataExchange.h"

int CWnd::MessageBox(const char* pszText, const char* pszCaption, UINT nType)
{
    return ::MessageBoxW(m_hWnd, Widen(pszText).c_str(), Widen(pszCaption ? pszCaption : "").c_str(), nType);
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsIconic() const
{
    return ::IsIconic(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const
{
    ::GetClientRect(m_hWnd, lpRect);
}

HWND CWnd::GetDlgItem(int nID) const
{
    return ::GetDlgItem(m_hWnd, nID);
}

LRESULT CWnd::SendMessage(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(m_hWnd, nMessage, wParam, lParam);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*)
{
}

LRESULT CWnd::Default()
{
    return ::DefWindowProcW(m_hWnd, m_current.nMessage, m_current.wParam, m_current.lParam);
}

bool CWnd::DispatchToMap(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    // Handlers may run nested modal loops that dispatch other messages to this window.
    CurrentMessage outer = m_current;
    m_current = {nMessage, wParam, lParam};
    bool bHandled = OnCmdMsg(nMessage, wParam, lParam, pResult);
    m_current = outer;
    return bHandled;
}
