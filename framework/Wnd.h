#pragma once
#include "CmdTarget.h"
#include "String.h"

class CDataExchange;

// A window handle with the operations the program calls on its windows and controls.
class CWnd : public CCmdTarget
{
public:
    HWND m_hWnd = nullptr;

    // A modal message box owned by this window.
    int MessageBox(const char* pszText, const char* pszCaption = nullptr, UINT nType = MB_OK);
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;
    // The child control with the given id.
    HWND GetDlgItem(int nID) const;
    LRESULT SendMessage(UINT nMessage, WPARAM wParam = 0, LPARAM lParam = 0);

    // Moves data between the controls and the members: TRUE from the controls, FALSE to them.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    // Binds controls and values to members; called by UpdateData.
    virtual void DoDataExchange(CDataExchange* pDX);
    // Lets the default window procedure handle the message being dispatched.
    LRESULT Default();
    // Dispatches a message through the message map, remembering it for Default.
    bool DispatchToMap(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

private:
    struct CurrentMessage { UINT nMessage; WPARAM wParam; LPARAM lParam; };
    CurrentMessage m_current = {};
};
