#pragma once

// Keeps DLLs that lie beside the program, or in the current directory, out of its process:
// the package folder it is started from is one that any program of the user can write to,
// and the program runs with administrator rights. Called first, before anything can load a
// DLL: the search is limited to the system directory, and the system DLLs that Windows' own
// DLLs load by name on demand are loaded from there by full path.
void AfxRestrictDllSearch();
