#pragma once
#include "Wnd.h"

// A push button or check box control.
class CButton : public CWnd
{
};
