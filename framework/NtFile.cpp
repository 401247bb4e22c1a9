#include "NtFile.h"

#include <vector>

#include "Folder.h"

namespace {
// One of the native calls on one class of an open file's information.
bool CallNative(decltype(&::NtSetInformationFile) pfnCall, HANDLE hFile, void* pInfo, size_t cbInfo,
                FILE_INFORMATION_CLASS infoClass)
{
    IO_STATUS_BLOCK io;
    NTSTATUS status = pfnCall(hFile, &io, pInfo, static_cast<ULONG>(cbInfo), infoClass);
    if (!NT_SUCCESS(status))
        ::SetLastError(::RtlNtStatusToDosError(status));
    return NT_SUCCESS(status);
}

}  // namespace

bool AfxSetInformation(HANDLE hFile, void* pInfo, size_t cbInfo, FILE_INFORMATION_CLASS infoClass)
{
    return CallNative(::NtSetInformationFile, hFile, pInfo, cbInfo, infoClass);
}

bool AfxQueryInformation(HANDLE hFile, void* pInfo, size_t cbInfo, FILE_INFORMATION_CLASS infoClass)
{
    return CallNative(::NtQueryInformationFile, hFile, pInfo, cbInfo, infoClass);
}

bool AfxMarkForDeletion(HANDLE hFile, bool bDelete)
{
    FILE_DISPOSITION_INFORMATION disposition = {bDelete};
    return AfxSetInformation(hFile, &disposition, sizeof disposition, FileDispositionInformation);
}

HANDLE AfxOpenRelative(HANDLE hFolder, const std::wstring& name, ACCESS_MASK access, ULONG nShare, ULONG nOptions)
{
    UNICODE_STRING ntName;
    ntName.Buffer = const_cast<PWSTR>(name.c_str());
    ntName.Length = ntName.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    // Letter case counts: of two twins by case, the listed one is opened.
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &ntName, 0, hFolder, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE hEntry = nullptr;
    NTSTATUS status = ::NtCreateFile(&hEntry, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr, 0,
                                     nShare, FILE_OPEN,
                                     nOptions | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (!NT_SUCCESS(status)) {
        ::SetLastError(::RtlNtStatusToDosError(status));
        return INVALID_HANDLE_VALUE;
    }
    return hEntry;
}

// A name too long for the first buffer is asked again with room for any.
bool AfxQueryOpened(HANDLE hFile, COpenedEntry& opened)
{
    std::vector<BYTE> buffer(sizeof(FILE_ALL_INFORMATION) + 512 * sizeof(wchar_t));
    auto* pAll = reinterpret_cast<FILE_ALL_INFORMATION*>(buffer.data());
    IO_STATUS_BLOCK io;
    NTSTATUS status = ::NtQueryInformationFile(hFile, &io, pAll, static_cast<ULONG>(buffer.size()), FileAllInformation);
    if (status == NtStatus::kBufferOverflow) {
        buffer.resize(sizeof(FILE_ALL_INFORMATION) + 32768 * sizeof(wchar_t));
        pAll = reinterpret_cast<FILE_ALL_INFORMATION*>(buffer.data());
        status = ::NtQueryInformationFile(hFile, &io, pAll, static_cast<ULONG>(buffer.size()), FileAllInformation);
    }
    if (!NT_SUCCESS(status)) {
        ::SetLastError(::RtlNtStatusToDosError(status));
        return false;
    }
    opened.dwAttributes = pAll->BasicInformation.FileAttributes;
    opened.nCreationTime = pAll->BasicInformation.CreationTime.QuadPart;
    opened.nFileId = pAll->InternalInformation.IndexNumber.QuadPart;
    opened.nLinks = pAll->StandardInformation.NumberOfLinks;
    opened.name.assign(pAll->NameInformation.FileName, pAll->NameInformation.FileNameLength / sizeof(wchar_t));
    return true;
}

