#pragma once
// The framework services the program is written against, in one include.
#include <windows.h>

#include "Button.h"
#include "DataExchange.h"
#include "Dialog.h"
#include "Edit.h"
#include "FileFind.h"
#include "FileOps.h"
#include "Folder.h"
#include "PaintDC.h"
#include "Static.h"
#include "String.h"
#include "WinApp.h"
#include "Wnd.h"
