// Resource identifiers of the program's dialogs, controls and icon.
#pragma once

#define IDD_COMPONENTS          102
#define IDI_MAIN                128
#define IDD_PATHS               130
#define IDD_REPLACE             131

#define IDC_YES_ALL             3
#define IDC_APPWIZARD_FILES     1000
#define IDC_MFC_FILES           1001
#define IDC_VC_PATH             1002
#define IDC_SYSTEM_PATH         1004
#define IDC_SYSTEM_LABEL        1006
#define IDC_VC_LABEL            1007
#define IDC_BACK                1008
#define IDC_MESSAGE             1009
// Windows' headers use IDC_NO for the "not allowed" cursor; here it is the "Нет" button.
#undef IDC_NO
#define IDC_NO                  1010

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
