// Imports what Windows 2000 lacks and holds an instruction a Pentium Pro lacks, so that the
// import check has something to refuse; never run.
#include <windows.h>

int main()
{
    asm volatile("pxor %xmm0, %xmm0");
    return static_cast<int>(::GetTickCount64()) + ::CreateSymbolicLinkW(L"a", L"b", 0);
}
