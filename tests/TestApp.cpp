#include "Afx.h"

// Each test program is an application of its own, so the framework finds an application
// object (its title, its icons) as the real program does.
CWinApp theTestApp;
