#pragma once
#include "Afx.h"

// The program's icon at the system's large size and at 16 by 16, as both wizard pages show it.
void LoadPageIcons(HICON& hIcon, HICON& hSmallIcon);
// Gives a page its title-bar and taskbar icons.
void SetPageIcons(CWnd& page, HICON hIcon, HICON hSmallIcon);
