#pragma once
#include <string>

#include "String.h"

// The C library's rename on UTF-8 paths: 0 on success, otherwise -1 with errno set
// (EEXIST when the target already exists).
int AfxRename(const CString& strFrom, const CString& strTo);
// Moves a file over an existing one in a single step, so the old file stays in place
// whenever the new one cannot take its place. A read-only file is never replaced.
bool AfxReplaceFile(const CString& strFrom, const CString& strTo);

// The UTF-16 form of a path for Windows' file functions. A path too long for their classic
// limit is made absolute and given the \\?\ prefix, which lifts the limit; any other path is
// passed exactly as it is.
std::wstring AfxFilePath(const CString& strPath);
// Whether two paths name the same place however they are spelt: relative or absolute,
// letter case, doubled or trailing backslashes.
bool AfxIsSamePath(const CString& strFirst, const CString& strSecond);
