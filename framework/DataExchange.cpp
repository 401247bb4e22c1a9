#include "DataExchange.h"

#include <vector>

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    rControl.m_hWnd = pDX->m_pDlgWnd->GetDlgItem(nIDC);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hCtrl = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(hCtrl, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(hCtrl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hCtrl = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (pDX->m_bSaveAndValidate) {
        std::vector<wchar_t> text(static_cast<size_t>(::GetWindowTextLengthW(hCtrl)) + 1);
        int nLength = ::GetWindowTextW(hCtrl, text.data(), static_cast<int>(text.size()));
        value = Narrow(text.data(), nLength);
    } else {
        ::SetWindowTextW(hCtrl, Widen(value).c_str());
    }
}
