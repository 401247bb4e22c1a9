// Imports what Windows 2000 lacks and holds an SSE instruction, for the import check to refuse.
#include <windows.h>

int main()
{
    asm volatile("pxor %xmm0, %xmm0");
    return static_cast<int>(::GetTickCount64()) + ::CreateSymbolicLinkW(L"a", L"b", 0);
}
