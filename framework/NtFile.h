#pragma once
#include <windows.h>
#include <winternl.h>

#include <string>

struct COpenedEntry;

// The answers of the native calls that the file operations tell apart (ntstatus.h cannot be
// included beside windows.h).
namespace NtStatus
{
const NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005);
const NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
const NTSTATUS kNotImplemented = static_cast<NTSTATUS>(0xC0000002);
const NTSTATUS kInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
const NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
const NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
const NTSTATUS kNotSupported = static_cast<NTSTATUS>(0xC00000BB);
}  // namespace NtStatus

// Lists a folder through its handle; in the driver kit's headers, not in winternl.h.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE hFile, HANDLE hEvent, PVOID pApcRoutine, PVOID pApcContext,
                                               PIO_STATUS_BLOCK pIo, PVOID pBuffer, ULONG cbBuffer,
                                               FILE_INFORMATION_CLASS infoClass, BOOLEAN bSingleEntry,
                                               PUNICODE_STRING pFileName, BOOLEAN bRestartScan);

// The native file calls of ntdll, present in every NT, that the by-handle file operations are
// built on. Each returns false (or INVALID_HANDLE_VALUE), with the Windows error code set, when it fails.

// Sets one class of an open file's information.
bool AfxSetInformation(HANDLE hFile, void* pInfo, size_t cbInfo, FILE_INFORMATION_CLASS infoClass);
// Reads one class of an open file's information.
bool AfxQueryInformation(HANDLE hFile, void* pInfo, size_t cbInfo, FILE_INFORMATION_CLASS infoClass);
// Marks a file to go when its last handle closes, or clears the mark; a folder with anything in it refuses.
bool AfxMarkForDeletion(HANDLE hFile, bool bDelete);
// Opens an entry of an open folder by its name, as itself where it is a link; synchronous, so that
// it can be read and listed.
HANDLE AfxOpenRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK access, ULONG nShare, ULONG nOptions);
// Everything an open file tells of itself in one call: attributes, times, number of names, file
// number and full name.
bool AfxQueryOpened(HANDLE hFile, COpenedEntry& opened);
