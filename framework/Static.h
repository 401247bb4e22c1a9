#pragma once
#include "Wnd.h"

// A static text control.
class CStatic : public CWnd
{
};
