#include "PageIcons.h"

#include "resource.h"

void LoadPageIcons(HICON& hIcon, HICON& hSmallIcon)
{
    hIcon = AfxGetApp()->LoadIcon(IDI_MAIN);
    hSmallIcon = static_cast<HICON>(::LoadImageW(AfxGetApp()->m_hInstance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                                 16, 16, LR_DEFAULTCOLOR));
}

void SetPageIcons(CWnd& page, HICON hIcon, HICON hSmallIcon)
{
    page.SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
    page.SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hSmallIcon));
}
