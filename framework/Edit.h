#pragma once
#include "Wnd.h"

// A single-line edit control.
class CEdit : public CWnd
{
};
