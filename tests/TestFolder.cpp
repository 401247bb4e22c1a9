#include "TestFolder.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

std::filesystem::path FsPath(const CString& path)
{
    return fs::path(Widen(path));
}

std::optional<std::string> ReadFileAt(const CString& path)
{
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring BuiltProgramPath()
{
    wchar_t path[MAX_PATH];
    std::wstring program(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    program = program.substr(0, program.find_last_of(L'\\'));
    return program.substr(0, program.find_last_of(L'\\')) + L"\\Ombrix.exe";
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

CTestFolder::CTestFolder()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("ombrix-") + test->test_suite_name() + "-" + test->name() + "-" +
                       std::to_string(::GetCurrentProcessId());
    std::replace(name.begin(), name.end(), '/', '_');
    m_root = fs::temp_directory_path() / name;
    fs::remove_all(m_root);
    fs::create_directories(m_root);
}

CTestFolder::~CTestFolder()
{
    // Read-only files would stop the clean-up.
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(m_root, error); it != fs::recursive_directory_iterator(); ++it)
        ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(m_root, error);
}

CString CTestFolder::Path(const std::string& relative) const
{
    CString root = Narrow(m_root.c_str());
    return relative.empty() ? root : root + "\\" + CString(relative);
}

void CTestFolder::Write(const std::string& relative, const std::string& content) const
{
    fs::path file = FsPath(Path(relative));
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

void CTestFolder::MakeFolder(const std::string& relative) const
{
    fs::create_directories(FsPath(Path(relative)));
}

std::optional<std::string> CTestFolder::Read(const std::string& relative) const
{
    return ReadFileAt(Path(relative));
}

bool CTestFolder::Exists(const std::string& relative) const
{
    return fs::exists(FsPath(Path(relative)));
}

std::vector<std::string> CTestFolder::List(const std::string& relative) const
{
    fs::path base = FsPath(Path(relative));
    std::vector<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(base, error); it != fs::recursive_directory_iterator(); ++it) {
        std::wstring name = it->path().lexically_relative(base).wstring();
        std::replace(name.begin(), name.end(), L'/', L'\\');
        entries.push_back(Narrow(name.c_str()).Str() + (it->is_directory() ? "\\" : ""));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}
