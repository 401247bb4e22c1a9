#include "FileOps.h"

#include <windows.h>
#include <cstdio>

namespace {
// The absolute form of a path as Windows resolves it, without doubled backslashes, "." or "..".
std::wstring FullPath(const std::wstring& path)
{
    std::wstring full(::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    if (full.empty())
        return path;
    DWORD nLength = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (nLength == 0 || nLength >= full.size())
        return path;
    full.resize(nLength);
    return full;
}
}  // namespace

int AfxRename(const CString& strFrom, const CString& strTo)
{
    return ::_wrename(AfxFilePath(strFrom).c_str(), AfxFilePath(strTo).c_str());
}

bool AfxReplaceFile(const CString& strFrom, const CString& strTo)
{
    std::wstring to = AfxFilePath(strTo);
    // Windows refuses to replace a read-only file, Wine does not; refuse it on both.
    DWORD dwAttributes = ::GetFileAttributesW(to.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return ::MoveFileExW(AfxFilePath(strFrom).c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) !=
           FALSE;
}

std::wstring AfxFilePath(const CString& strPath)
{
    // CreateDirectoryW's limit, the lowest of the file functions'.
    const size_t nClassicLimit = MAX_PATH - 12;
    std::wstring path = Widen(strPath);
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path;
    // The prefix turns off Windows' own clean-up of the path, so the path is cleaned first.
    std::wstring full = FullPath(path);
    if (full.size() < nClassicLimit)
        return path;
    if (full.size() > 2 && full[1] == L':' && full[2] == L'\\')
        return L"\\\\?\\" + full;
    if (full.rfind(L"\\\\", 0) == 0 && full.rfind(L"\\\\.\\", 0) != 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return path;
}

bool AfxIsSamePath(const CString& strFirst, const CString& strSecond)
{
    auto comparable = [](const CString& str) {
        std::wstring full = FullPath(Widen(str));
        // A drive root keeps its backslash.
        while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/'))
            full.pop_back();
        return full;
    };
    std::wstring first = comparable(strFirst);
    std::wstring second = comparable(strSecond);
    return ::CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                  static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}
