#include "Dialog.h"

#include "WinApp.h"

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

// Where a dialog template places its window, whichever of the two template formats it is.
static POINT TemplatePosition(const void* pTemplate)
{
    const auto* pWords = static_cast<const WORD*>(pTemplate);
    bool bExtended = pWords[0] == 1 && pWords[1] == 0xFFFF;
    const auto* pCoords = reinterpret_cast<const short*>(pWords + (bExtended ? 9 : 5));
    return POINT{pCoords[0], pCoords[1]};
}

// The window that owns a modal dialog given no parent: the main window, as long as it is
// not the dialog itself.
static HWND DefaultOwner(const CWnd* pDialog)
{
    CWinApp* pApp = AfxGetApp();
    CWnd* pMainWnd = pApp ? pApp->m_pMainWnd : nullptr;
    if (!pMainWnd || pMainWnd == pDialog || !::IsWindow(pMainWnd->m_hWnd))
        return nullptr;
    return pMainWnd->m_hWnd;
}

INT_PTR CDialog::DoModal()
{
    LPCWSTR pszName = MAKEINTRESOURCEW(m_nIDTemplate);
    HINSTANCE hInst = AfxFindResourceHandle(pszName, RT_DIALOG);
    HRSRC hResource = hInst ? ::FindResourceW(hInst, pszName, RT_DIALOG) : nullptr;
    const void* pTemplate = hResource ? ::LockResource(::LoadResource(hInst, hResource)) : nullptr;
    if (!pTemplate)
        return -1;

    POINT position = TemplatePosition(pTemplate);
    m_bTemplateAtOrigin = position.x == 0 && position.y == 0;
    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : DefaultOwner(this);
    INT_PTR nResult = ::DialogBoxIndirectParamW(hInst, static_cast<LPCDLGTEMPLATEW>(pTemplate), hOwner,
                                                &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return nResult;
}

void CDialog::EndDialog(int nResult)
{
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

// The dialog object arrives with WM_INITDIALOG and is kept in the window's user data.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    if (nMessage == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        reinterpret_cast<CDialog*>(lParam)->m_hWnd = hWnd;
    }
    auto* pDialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    return pDialog ? pDialog->HandleMessage(nMessage, wParam, lParam) : FALSE;
}

// Messages whose result a dialog procedure returns directly instead of in DWLP_MSGRESULT.
static bool ReturnsResultDirectly(UINT nMessage)
{
    return nMessage == WM_QUERYDRAGICON || nMessage == WM_CTLCOLORSTATIC || nMessage == WM_CTLCOLORDLG ||
           nMessage == WM_CTLCOLOREDIT || nMessage == WM_CTLCOLORBTN || nMessage == WM_COMPAREITEM ||
           nMessage == WM_VKEYTOITEM || nMessage == WM_CHARTOITEM;
}

INT_PTR CDialog::HandleMessage(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
    if (nMessage == WM_INITDIALOG)
        return HandleInitDialog();

    LRESULT result = 0;
    if (DispatchToMap(nMessage, wParam, lParam, &result)) {
        if (ReturnsResultDirectly(nMessage))
            return static_cast<INT_PTR>(result);
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (nMessage == WM_HELP) {
        CWinApp* pApp = AfxGetApp();
        return pApp && pApp->OnCmdMsg(WM_COMMAND, ID_HELP, 0, &result);
    }
    if (nMessage == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CDialog::HandleInitDialog()
{
    RECT before;
    ::GetWindowRect(m_hWnd, &before);
    BOOL bResult = OnInitDialog();
    RECT after;
    ::GetWindowRect(m_hWnd, &after);
    // A template placed at 0, 0 asks to be centred, unless OnInitDialog moved the window.
    if (m_bTemplateAtOrigin && before.left == after.left && before.top == after.top)
        CenterWindow();
    return bResult;
}

void CDialog::CenterWindow()
{
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    int x = work.left + (work.right - work.left - (window.right - window.left)) / 2;
    int y = work.top + (work.bottom - work.top - (window.bottom - window.top)) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
