#pragma once
#include <windows.h>

#include <functional>
#include <string>

// What the restriction of the DLL search calls: Windows' own kernel32 in the program; a test
// hands in its own to play an older Windows, which Wine, having every function, cannot.
struct CDllSearchCalls
{
    // A kernel32 function that only newer systems have, or null where the system lacks it.
    std::function<FARPROC(const char* pszName)> lookUp;
    // Loads a DLL by its full path, as LoadLibraryExW does.
    std::function<HMODULE(const std::wstring& path, DWORD dwFlags)> load;
};

// Keeps DLLs that lie beside the program, or in the current directory, out of its process:
// the package folder it is started from is one that any program of the user can write to,
// and the program runs with administrator rights. Called first, before anything can load a
// DLL: the search is limited as far as the system allows, and on every system the DLLs that
// Windows' own DLLs load by name on demand are loaded from the system directory by full path,
// so that a later request by name finds them loaded. That preload is all the protection
// Windows 2000 and XP before its SP1 have.
void AfxRestrictDllSearch();
// The same through the given calls.
void AfxRestrictDllSearch(const CDllSearchCalls& calls);
