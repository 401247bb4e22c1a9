#pragma once
#include "Wnd.h"

// A modal dialog made from a dialog template resource.
class CDialog : public CWnd
{
public:
    // No window exists until DoModal.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Creates the window, runs the modal loop and returns the EndDialog code; -1 when the
    // window cannot be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

protected:
    // Default: data into the controls; TRUE lets the dialog manager set the focus.
    virtual BOOL OnInitDialog();
    // "OK" or Enter. Default: data from the controls, then end with IDOK.
    virtual void OnOK();
    // "Cancel", Escape or the close box. Default: end with IDCANCEL, without exchange.
    virtual void OnCancel();

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT nMessage, WPARAM wParam, LPARAM lParam);
    BOOL HandleInitDialog();
    void CenterWindow();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bTemplateAtOrigin = false;
};
