#pragma once
#include "String.h"

// The C library's rename on UTF-8 paths: 0 on success, otherwise -1 with errno set
// (EEXIST when the target already exists).
int AfxRename(const CString& strFrom, const CString& strTo);
// Moves a file over an existing one in a single step, so the old file stays in place
// whenever the new one cannot take its place.
bool AfxReplaceFile(const CString& strFrom, const CString& strTo);
