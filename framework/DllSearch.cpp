#include "DllSearch.h"

#include <vector>

namespace {
// Loaded by name, on demand, by Windows' own DLLs for a dialog program and for the file and
// permission calls this one makes (ntmarta does the permission reset's work; lpk, usp10, imm32
// and winmm serve user32 on the older systems). Those Windows keeps among its known DLLs are
// always taken from the system directory and need no place here; one a system lacks fails to
// load, and nothing asks for it later.
const wchar_t* const kOnDemandDlls[] = {
    L"uxtheme", L"dwmapi", L"cryptbase", L"ntmarta", L"version", L"userenv", L"propsys", L"apphelp",
    L"oleacc", L"clbcatq", L"setupapi", L"sspicli", L"profapi", L"msctf", L"textinputframework",
    L"coremessaging", L"coreuicomponents", L"wintypes", L"kernel.appcore", L"windows.storage",
    L"lpk", L"usp10", L"imm32", L"winmm"};

// The looked-up function as what it is, or null.
template <typename Function>
Function As(FARPROC pfn)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(pfn));
}
}  // namespace

void AfxRestrictDllSearch()
{
    HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    AfxRestrictDllSearch({[hKernel](const char* pszName) { return ::GetProcAddress(hKernel, pszName); },
                          [](const std::wstring& path, DWORD dwFlags) {
                              return ::LoadLibraryExW(path.c_str(), nullptr, dwFlags);
                          }});
}

void AfxRestrictDllSearch(const CDllSearchCalls& calls)
{
    // Windows 8 and later, and Vista and 7 with the update KB2533623: the system directory only.
    if (auto pfnSetDefault = As<BOOL(WINAPI*)(DWORD)>(calls.lookUp("SetDefaultDllDirectories")))
        pfnSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // From XP SP1: at least the current directory leaves the search.
    if (auto pfnSetDllDirectory = As<BOOL(WINAPI*)(LPCWSTR)>(calls.lookUp("SetDllDirectoryW")))
        pfnSetDllDirectory(L"");
    // From 7: SearchPath, too, looks in the current directory only after the system's folders.
    if (auto pfnSetSearchPathMode = As<BOOL(WINAPI*)(DWORD)>(calls.lookUp("SetSearchPathMode")))
        pfnSetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);

    std::vector<wchar_t> buffer(::GetSystemDirectoryW(nullptr, 0) + 1);
    std::wstring system(buffer.data(), ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size())));
    // Each DLL's own dependencies are looked for in the system directory first, not beside the program.
    for (const wchar_t* pszName : kOnDemandDlls)
        calls.load(system + L"\\" + pszName + L".dll", LOAD_WITH_ALTERED_SEARCH_PATH);
}
