#include "FileOps.h"

#include <windows.h>
#include <cstdio>

int AfxRename(const CString& strFrom, const CString& strTo)
{
    return ::_wrename(Widen(strFrom).c_str(), Widen(strTo).c_str());
}

bool AfxReplaceFile(const CString& strFrom, const CString& strTo)
{
    return ::MoveFileExW(Widen(strFrom).c_str(), Widen(strTo).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}
