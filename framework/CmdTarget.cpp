#include "CmdTarget.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
    static const AFX_MSGMAP messageMap = {nullptr, entries};
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

// A WM_COMMAND row matches on code and id; any other row on the message alone.
static bool Matches(const AFX_MSGMAP_ENTRY& entry, UINT nMessage, WPARAM wParam)
{
    if (entry.nMessage != nMessage)
        return false;
    return nMessage != WM_COMMAND || (entry.nCode == HIWORD(wParam) && entry.nID == LOWORD(wParam));
}

bool CCmdTarget::OnCmdMsg(UINT nMessage, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfn; ++pEntry) {
            if (Matches(*pEntry, nMessage, wParam)) {
                *pResult = pEntry->pfn(this, wParam, lParam);
                return true;
            }
        }
    }
    return false;
}
