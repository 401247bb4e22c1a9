#include "TestWorld.h"

#include <winioctl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "Messages.h"
#include "WindowDriver.h"

namespace {
// The Unix path of a Windows path, through Wine's own mapping.
std::string UnixPath(const CString& path)
{
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* pszUnix = unixName ? unixName(Widen(path).c_str()) : nullptr;
    std::string unix = pszUnix ? pszUnix : "";
    ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    return unix;
}

// Runs a program of the Unix system (Wine starts those too) and waits for it.
void RunUnix(const wchar_t* pszProgram, const std::string& arguments)
{
    CProgram(pszProgram, L"", Widen(arguments)).Wait(10000);
}
}  // namespace

CTestFolder::CTestFolder()
{
    static std::atomic<int> nMade{0};
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    std::replace(name.begin(), name.end(), '/', '_');
    m_strBase = Narrow(temp) + "ombrix-" + CString(name);
    RemoveTree(m_strBase);
    m_strRoot = m_strBase + "\\" + CString(std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(nMade++));
    ::CreateDirectoryW(AfxFilePath(m_strBase).c_str(), nullptr);
    ::CreateDirectoryW(AfxFilePath(m_strRoot).c_str(), nullptr);
}

CTestFolder::~CTestFolder()
{
    RemoveTree(m_strBase);
}

void CTestFolder::Write(const std::string& relative, const std::string& content) const
{
    WriteFileAt(Path(relative), content);
}

std::optional<std::string> CTestFolder::Read(const std::string& relative) const
{
    return ReadFileAt(Path(relative));
}

std::vector<std::string> CTestFolder::List(const std::string& relative) const
{
    return ListTree(Path(relative));
}

std::vector<std::string> ListTree(const CString& path)
{
    std::vector<std::string> entries;
    CFileFind finder;
    for (bool bMore = finder.FindFile(path + "\\*"); bMore;) {
        bMore = finder.FindNextFile();
        std::string name = finder.GetFileName().Str();
        if (finder.IsDots())
            continue;
        bool bFolder = finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) && !finder.IsLink();
        entries.push_back(bFolder ? name + "\\" : name);
        for (const std::string& inner : bFolder ? ListTree(finder.GetFilePath()) : std::vector<std::string>())
            entries.push_back(name + "\\" + inner);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

void WriteFileAt(const CString& path, const std::string& content)
{
    for (size_t nSlash = path.Str().find('\\', 3); nSlash != std::string::npos; nSlash = path.Str().find('\\', nSlash + 1))
        ::CreateDirectoryW(AfxFilePath(path.Left(static_cast<int>(nSlash))).c_str(), nullptr);
    std::ofstream(std::filesystem::path(AfxFilePath(path)), std::ios::binary) << content;
}

std::optional<std::string> ReadFileAt(const CString& path)
{
    std::ifstream in(std::filesystem::path(AfxFilePath(path)), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveTree(const CString& path)
{
    CFileFind finder;
    for (bool bMore = finder.FindFile(path + "\\*"); bMore;) {
        bMore = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        std::wstring entry = AfxFilePath(finder.GetFilePath());
        ::SetFileAttributesW(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (finder.IsLink())
            RunUnix(L"/bin/rm", "-f \"" + UnixPath(finder.GetFilePath()) + "\"");
        else if (finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY))
            RemoveTree(finder.GetFilePath());
        else
            ::DeleteFileW(entry.c_str());
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

bool MakeUnixLink(const CString& target, const CString& link)
{
    // Wine's CreateSymbolicLinkW makes nothing, so the system's own ln makes the link.
    size_t nSlash = link.Str().rfind('\\');
    RunUnix(L"/bin/ln", "-s \"" + UnixPath(target) + "\" \"" + UnixPath(link.Left(static_cast<int>(nSlash))) + "/" +
                            link.Str().substr(nSlash + 1) + "\"");
    return ::GetFileAttributesW(Widen(link).c_str()) != INVALID_FILE_ATTRIBUTES;
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

CSpareDrive::CSpareDrive(const CString& folder)
{
    DWORD dwDrives = ::GetLogicalDrives();
    for (m_letter = 'P'; m_letter <= 'Y' && (dwDrives & (1u << (m_letter - 'A'))); ++m_letter) {
    }
    std::string unix = UnixPath(folder);
    if (m_letter <= 'Y' && !unix.empty() && Define(unix.c_str()))
        m_strRoot = CString(std::string(1, m_letter) + ":\\");
}

CSpareDrive::~CSpareDrive()
{
    if (!m_strRoot.IsEmpty())
        Define(nullptr);
}

// Asks Wine's mount manager to map the letter to a Unix folder, or to unmap it: a drive
// defined so has a volume of its own, as Windows' subst gives it.
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
    std::string folder = pszUnixFolder ? pszUnixFolder : "";
    std::vector<char> request(sizeof(UnixDrive) + folder.size() + 1);
    auto* drive = reinterpret_cast<UnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->type = pszUnixFolder ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
    drive->letter = static_cast<WCHAR>(m_letter);
    drive->mount_point_offset = pszUnixFolder ? sizeof(UnixDrive) : 0;
    std::copy(folder.begin(), folder.end(), request.begin() + sizeof(UnixDrive));
    HANDLE hManager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
    BOOL bDone = ::DeviceIoControl(hManager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()),
                                   nullptr, 0, nullptr, nullptr);
    ::CloseHandle(hManager);
    return bDone != FALSE;
}
