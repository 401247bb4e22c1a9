#include "TestWorld.h"

#include <winioctl.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "Messages.h"
#include "WindowDriver.h"

namespace {
using UnixName = char*(CDECL*)(LPCWSTR);

// The Unix path of a Windows path, through Wine's own mapping.
std::string UnixPath(const CString& path)
{
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* pszUnix = unixName ? unixName(Widen(path).c_str()) : nullptr;
    std::string unix = pszUnix ? pszUnix : "";
    ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    return unix;
}

std::filesystem::path FsPath(const CString& path)
{
    return std::filesystem::path(AfxFilePath(path));
}
}  // namespace

CTestFolder::CTestFolder()
{
    static std::atomic<int> nCreated{0};
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    std::replace(name.begin(), name.end(), '/', '_');
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    CString base = Narrow(temp) + "ombrix-" + CString(name);
    // A run that was ended left its folder behind: removed before the new one is made.
    RemoveTree(base);
    ::CreateDirectoryW(AfxFilePath(base).c_str(), nullptr);
    m_strBase = base;
    m_strRoot = base + "\\" + CString(std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(nCreated++));
    ::CreateDirectoryW(AfxFilePath(m_strRoot).c_str(), nullptr);
}

CTestFolder::~CTestFolder()
{
    RemoveTree(m_strRoot);
    ::RemoveDirectoryW(AfxFilePath(m_strBase).c_str());   // unless another process's folder is in it
}

CString CTestFolder::Path(const std::string& relative) const
{
    return relative.empty() ? m_strRoot : m_strRoot + "\\" + CString(relative);
}

void CTestFolder::Write(const std::string& relative, const std::string& content) const
{
    WriteFileAt(Path(relative), content);
}

std::optional<std::string> CTestFolder::Read(const std::string& relative) const
{
    return ReadFileAt(Path(relative));
}

bool CTestFolder::Exists(const std::string& relative) const
{
    return ::GetFileAttributesW(AfxFilePath(Path(relative)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> CTestFolder::List(const std::string& relative) const
{
    return ListTree(Path(relative));
}

std::vector<std::string> ListTree(const CString& path)
{
    std::vector<std::string> entries;
    CFileFind finder;
    bool bMore = finder.FindFile(path + "\\*");
    while (bMore) {
        bMore = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        std::string name = finder.GetFileName().Str();
        if (!finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) || finder.IsLink()) {
            entries.push_back(name);
            continue;
        }
        entries.push_back(name + "\\");
        for (const std::string& inner : ListTree(path + "\\" + CString(name)))
            entries.push_back(name + "\\" + inner);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

void WriteFileAt(const CString& path, const std::string& content)
{
    std::filesystem::create_directories(FsPath(path).parent_path());
    std::ofstream(FsPath(path), std::ios::binary) << content;
}

std::optional<std::string> ReadFileAt(const CString& path)
{
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveTree(const CString& path)
{
    CFileFind finder;
    bool bMore = finder.FindFile(path + "\\*");
    while (bMore) {
        bMore = finder.FindNextFile();
        std::wstring entry = AfxFilePath(finder.GetFilePath());
        if (finder.IsDots())
            continue;
        ::SetFileAttributesW(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) && !finder.IsLink())
            RemoveTree(finder.GetFilePath());
        else if (!::DeleteFileW(entry.c_str()))
            ::RemoveDirectoryW(entry.c_str());   // a link to a folder
    }
    finder.Close();
    ::RemoveDirectoryW(AfxFilePath(path).c_str());
}

std::wstring BuiltProgramPath()
{
    wchar_t path[MAX_PATH];
    std::wstring program(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    program = program.substr(0, program.find_last_of(L'\\'));
    return program.substr(0, program.find_last_of(L'\\')) + L"\\Ombrix.exe";
}

bool MakeUnixLink(const CString& target, const CString& linkPath)
{
    // Wine's CreateSymbolicLinkW makes nothing, so the link is made by the system's own ln.
    size_t nSlash = linkPath.Str().find_last_of('\\');
    std::string link = UnixPath(linkPath.Left(static_cast<int>(nSlash))) + "/" + linkPath.Str().substr(nSlash + 1);
    CProgram ln(L"/bin/ln", L"", Widen("-s \"" + CString(UnixPath(target)) + "\" \"" + CString(link) + "\""));
    ln.Wait(10000);
    return ::GetFileAttributesW(AfxFilePath(linkPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetVcRecord(std::optional<DWORD> type, const std::string& bytes)
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kVcSetupKey);
    HKEY hKey;
    if (!type || ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kVcSetupKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey,
                                   nullptr) != ERROR_SUCCESS)
        return;
    if (*type != REG_NONE)
        ::RegSetValueExW(hKey, kVcSetupValue, 0, *type, reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size()));
    ::RegCloseKey(hKey);
}

CCurrentDirectory::CCurrentDirectory(const CString& path)
{
    m_saved.resize(::GetCurrentDirectoryW(0, nullptr));
    m_saved.resize(::GetCurrentDirectoryW(static_cast<DWORD>(m_saved.size()), &m_saved[0]));
    EXPECT_TRUE(::SetCurrentDirectoryW(Widen(path).c_str())) << path;
}

CCurrentDirectory::~CCurrentDirectory()
{
    ::SetCurrentDirectoryW(m_saved.c_str());
}

CSpareDrive::CSpareDrive(const CString& folder) : m_letter(SpareLetter())
{
    std::string unix = UnixPath(folder);
    m_bMapped = m_letter && !unix.empty() && Define(unix.c_str());
}

CSpareDrive::~CSpareDrive()
{
    if (m_bMapped)
        Define(nullptr);
}

CString CSpareDrive::Root() const
{
    return m_bMapped ? CString(std::string(1, m_letter) + ":\\") : CString();
}

char CSpareDrive::SpareLetter()
{
    DWORD dwDrives = ::GetLogicalDrives();
    for (char letter = 'P'; letter <= 'Y'; ++letter)
        if (!(dwDrives & (1u << (letter - 'A'))))
            return letter;
    return 0;
}

// Wine's mount manager request that maps a drive letter to a Unix folder, or unmaps it.
bool CSpareDrive::Define(const char* pszUnixFolder)
{
    // The request as Wine's mount manager lays it out; no Windows header has it.
    struct UnixDrive
    {
        ULONG size, type, fs_type;
        DWORD serial;
        ULONGLONG unix_dev;
        WCHAR letter;
        USHORT mount_point_offset, device_offset, label_offset;
    };
    const DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
    std::string unixFolder = pszUnixFolder ? pszUnixFolder : "";
    std::vector<char> request(sizeof(UnixDrive) + unixFolder.size() + 1);
    auto* drive = reinterpret_cast<UnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = pszUnixFolder ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
    drive->letter = static_cast<WCHAR>(m_letter);
    if (pszUnixFolder) {
        drive->mount_point_offset = sizeof(UnixDrive);
        std::copy(unixFolder.begin(), unixFolder.end(), request.begin() + sizeof(UnixDrive));
    }
    HANDLE hManager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hManager == INVALID_HANDLE_VALUE)
        return false;
    BOOL bDone = ::DeviceIoControl(hManager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()),
                                   nullptr, 0, nullptr, nullptr);
    ::CloseHandle(hManager);
    return bDone != FALSE;
}
