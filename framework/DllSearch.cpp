#include "DllSearch.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {
// Loaded by name, on demand, by Windows' own DLLs for a dialog program and for the file and
// permission calls this one makes (ntmarta does the permission reset's work). Those Windows
// keeps among its known DLLs are always taken from the system directory and need no place here.
const wchar_t* const kOnDemandDlls[] = {
    L"uxtheme", L"dwmapi", L"cryptbase", L"ntmarta", L"version", L"userenv", L"propsys", L"apphelp",
    L"oleacc", L"clbcatq", L"setupapi", L"sspicli", L"profapi", L"msctf", L"textinputframework",
    L"coremessaging", L"coreuicomponents", L"wintypes", L"kernel.appcore", L"windows.storage"};

// A kernel32 function that older Windows lack: Vista and Windows 7 without its update
// KB2533623 have no SetDefaultDllDirectories.
template <typename Function>
Function Kernel32(const char* pszName)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), pszName)));
}
}  // namespace

void AfxRestrictDllSearch()
{
    if (auto pfnSetDefault = Kernel32<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories"))
        pfnSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without it, at least the current directory leaves the search.
    ::SetDllDirectoryW(L"");
    if (auto pfnSetSearchPathMode = Kernel32<BOOL(WINAPI*)(DWORD)>("SetSearchPathMode"))
        pfnSetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);

    std::vector<wchar_t> buffer(::GetSystemDirectoryW(nullptr, 0) + 1);
    std::wstring system(buffer.data(), ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size())));
    // One the system lacks fails to load, and nothing asks for it later.
    for (const wchar_t* pszName : kOnDemandDlls)
        ::LoadLibraryExW((system + L"\\" + pszName + L".dll").c_str(), nullptr, 0);
}
