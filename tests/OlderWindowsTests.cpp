// What only an older Windows would show, where Wine, having every newer function, cannot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "DllSearch.h"
#include "TestWorld.h"

namespace {

using Strings = std::vector<std::string>;

// What the newer functions of a played Windows were called with.
Strings g_called;

BOOL WINAPI PlayedSetDefaultDllDirectories(DWORD dwFlags)
{
    g_called.push_back("SetDefaultDllDirectories " + std::to_string(dwFlags));
    return TRUE;
}

BOOL WINAPI PlayedSetDllDirectoryW(LPCWSTR pszPath)
{
    g_called.push_back("SetDllDirectoryW \"" + Narrow(pszPath).Str() + "\"");
    return TRUE;
}

BOOL WINAPI PlayedSetSearchPathMode(DWORD dwFlags)
{
    g_called.push_back("SetSearchPathMode " + std::to_string(dwFlags));
    return TRUE;
}

// A played function as what the lookup returns.
template <typename Function>
FARPROC Offered(Function pfn)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(pfn));
}

// Each row a Windows, by the newer functions it has, each called to narrow the search; on all, the
// DLLs XP loads by name for themes, scripts and permissions come first from the system directory.
TEST(DllSearch, NarrowsWhatEachWindowsCanAndPreloadsFromTheSystemDirectoryOnAll)
{
    const std::map<std::string, FARPROC> newer{{"SetDefaultDllDirectories", Offered(&PlayedSetDefaultDllDirectories)},
                                               {"SetDllDirectoryW", Offered(&PlayedSetDllDirectoryW)},
                                               {"SetSearchPathMode", Offered(&PlayedSetSearchPathMode)}};
    wchar_t buffer[MAX_PATH];
    const std::string system = Narrow(buffer, static_cast<int>(::GetSystemDirectoryW(buffer, MAX_PATH))).Str() + "\\";
    struct Windows { const char* name; std::set<std::string> has; Strings called; };
    for (const Windows& windows : std::vector<Windows>{
             {"2000 SP4 and XP", {}, {}},
             {"XP SP1 to Vista", {"SetDllDirectoryW"}, {"SetDllDirectoryW \"\""}},
             {"7 without KB2533623", {"SetDllDirectoryW", "SetSearchPathMode"},
              {"SetDllDirectoryW \"\"", "SetSearchPathMode 32769"}},
             {"8 to 11", {"SetDefaultDllDirectories", "SetDllDirectoryW", "SetSearchPathMode"},
              {"SetDefaultDllDirectories 2048", "SetDllDirectoryW \"\"", "SetSearchPathMode 32769"}}}) {
        g_called.clear();
        std::set<std::string> preloaded;
        AfxRestrictDllSearch({[&](const char* pszName) { return windows.has.count(pszName) ? newer.at(pszName) : nullptr; },
                              [&](const std::wstring& path, DWORD dwFlags) {
                                  std::string file = Narrow(path.c_str()).Str();
                                  EXPECT_EQ(file.rfind(system, 0), 0u) << file << " not from the system directory";
                                  EXPECT_EQ(dwFlags, static_cast<DWORD>(LOAD_WITH_ALTERED_SEARCH_PATH)) << file;
                                  preloaded.insert(file.substr(system.size()));
                                  return HMODULE(nullptr);
                              }});
        EXPECT_EQ(g_called, windows.called) << windows.name;
        for (const char* pszDll : {"uxtheme.dll", "lpk.dll", "usp10.dll", "ntmarta.dll"})
            EXPECT_TRUE(preloaded.count(pszDll)) << windows.name << ": " << pszDll << " not preloaded";
    }
}

// The names the native calls take, from full paths of each kind.
TEST(NtPath, NamesDrivesLongPathsAndNetworkSharesInTheNativeNamespace)
{
    for (const auto& [full, native] : std::vector<std::pair<std::wstring, std::wstring>>{
             {L"C:\\Program Files\\Vc7\\a.txt", L"\\??\\C:\\Program Files\\Vc7\\a.txt"},
             {L"\\\\?\\C:\\long\\path", L"\\??\\C:\\long\\path"},
             {L"\\\\server\\share\\a.txt", L"\\??\\UNC\\server\\share\\a.txt"},
             {L"\\\\?\\UNC\\server\\share\\a.txt", L"\\??\\UNC\\server\\share\\a.txt"}})
        EXPECT_EQ(AfxNtPath(full), native) << Narrow(full.c_str()).Str();
}

// Whether an opened entry is the one its folder listed, as Windows and Wine answer: Windows opens a
// link as itself, Wine follows it (reached under the target's own name), and Windows 2000 lists no
// file numbers. Each row: what the handle says, the folder's name, whether it is the entry.
TEST(ListedEntry, IsOnlyTheVeryEntryListedReachedUnderItsOwnName)
{
    CListedEntry listed;
    listed.name = L"a.dll";
    listed.dwAttributes = FILE_ATTRIBUTE_ARCHIVE;
    listed.nCreationTime = 100;
    listed.nFileId = 7;
    struct Row { const char* what; DWORD dwAttributes; LONGLONG nCreated, nId; const wchar_t *pszName, *pszFolder; bool bIdsListed, bSame; };
    const DWORD kFile = FILE_ATTRIBUTE_ARCHIVE, kLink = kFile | FILE_ATTRIBUTE_REPARSE_POINT;
    for (const Row& row : std::vector<Row>{
             {"the file listed", kFile, 100, 7, L"\\pkg\\VC7\\a.dll", L"\\pkg\\VC7", true, true},
             {"named in other letters' case", kFile, 100, 7, L"\\PKG\\vc7\\A.DLL", L"\\pkg\\VC7", true, true},
             {"in a drive's root folder", kFile, 100, 7, L"\\a.dll", L"\\", true, true},
             {"another file in its place", kFile, 100, 8, L"\\pkg\\VC7\\a.dll", L"\\pkg\\VC7", true, false},
             {"a link, opened as itself", kLink, 100, 7, L"\\pkg\\VC7\\a.dll", L"\\pkg\\VC7", true, false},
             {"a link, followed", kFile, 100, 7, L"\\secret\\a.dll", L"\\pkg\\VC7", true, false},
             {"a link, followed to a file of its name in a folder of that name", kFile, 100, 7, L"\\x\\VC7\\a.dll", L"\\pkg\\VC7", true, false},
             {"a folder in its place", FILE_ATTRIBUTE_DIRECTORY, 100, 7, L"\\pkg\\VC7\\a.dll", L"\\pkg\\VC7", true, false},
             {"listed without numbers, created when it was", kFile, 100, 9, L"\\pkg\\VC7\\a.dll", L"\\pkg\\VC7", false, true},
             {"listed without numbers, created later", kFile, 101, 7, L"\\pkg\\VC7\\a.dll", L"\\pkg\\VC7", false, false}}) {
        listed.bFileIdKnown = row.bIdsListed;
        COpenedEntry opened;
        opened.dwAttributes = row.dwAttributes;
        opened.nCreationTime = row.nCreated;
        opened.nFileId = row.nId;
        opened.name = row.pszName;
        EXPECT_EQ(AfxIsListedEntry(listed, opened, row.pszFolder), row.bSame) << row.what;
    }
}

// What becomes of a package file that could not be renamed into place: a CD on Windows refuses
// even the open for deletion, which Wine's read-only mounts let through. Each row: whether the
// file was opened, the error, a read-only volume, a file at the target, the outcome.
TEST(Unrenamed, IsCopiedAcrossVolumesOrFromAPlaceThatCannotBeChangedAfterTheQuestion)
{
    struct Row { bool bOpened; DWORD dwError; bool bReadOnlyVolume, bTargetExists; CUnrenamed outcome; };
    for (const Row& row : std::vector<Row>{
             {true, ERROR_NOT_SAME_DEVICE, false, false, CUnrenamed::kCopy},
             {true, ERROR_NOT_SAME_DEVICE, false, true, CUnrenamed::kAskFirst},
             {true, ERROR_ACCESS_DENIED, false, false, CUnrenamed::kReport},      // a folder in the way
             {false, ERROR_WRITE_PROTECT, false, false, CUnrenamed::kCopy},       // a CD
             {false, ERROR_WRITE_PROTECT, false, true, CUnrenamed::kAskFirst},
             {false, ERROR_ACCESS_DENIED, false, true, CUnrenamed::kAskFirst},    // a read-only share
             {false, ERROR_SHARING_VIOLATION, true, false, CUnrenamed::kCopy},    // nothing changes it there
             {false, ERROR_SHARING_VIOLATION, false, false, CUnrenamed::kReport}, // open in another program
             {false, ERROR_FILE_INVALID, false, false, CUnrenamed::kReport}})     // swapped for another
        EXPECT_EQ(AfxWhenNotRenamed(row.bOpened, row.dwError, row.bReadOnlyVolume, row.bTargetExists), row.outcome)
            << row.bOpened << " " << row.dwError << " " << row.bReadOnlyVolume << " " << row.bTargetExists;
}

// The manifest asks for administrator rights, and XP reads it: XP refuses an element it does not
// know in its own namespace, and restarts on one that declares two namespaces (SP2, KB921337).
TEST(Manifest, AsksForAdministratorRightsAsWindowsXpReadsIt)
{
    HMODULE hProgram = ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC hManifest = ::FindResourceW(hProgram, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_TRUE(hManifest);
    std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(hProgram, hManifest))),
                         ::SizeofResource(hProgram, hManifest));
    ::FreeLibrary(hProgram);
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
    const std::set<std::string> knownToXp{"assembly", "assemblyIdentity", "description", "dependency",
                                          "dependentAssembly", "file", "noInherit"};
    std::vector<bool> ownNamespace;   // for each open element, whether it stands in a namespace of its own
    const std::regex tag(R"(<(/?)([A-Za-z_][\w:.-]*)([^>]*?)(/?)>)"), xmlns(R"re(xmlns(:\w+)?="[^"]*")re");
    for (std::sregex_iterator it(manifest.begin(), manifest.end(), tag), end; it != end; ++it) {
        const std::smatch& element = *it;
        if (element[1] == "/") {
            ownNamespace.pop_back();
            continue;
        }
        std::string attributes = element[3];
        auto declared = std::distance(std::sregex_iterator(attributes.begin(), attributes.end(), xmlns), {});
        EXPECT_LE(declared, 1) << element[2] << " declares two namespaces";
        bool bOwn = (declared == 1 && attributes.find("urn:schemas-microsoft-com:asm.v1") == std::string::npos) ||
                    (!ownNamespace.empty() && ownNamespace.back());
        EXPECT_TRUE(bOwn || knownToXp.count(element[2])) << element[2] << " in the namespace Windows XP reads";
        if (element[4] != "/")
            ownNamespace.push_back(bOwn);
    }
    EXPECT_TRUE(ownNamespace.empty()) << manifest;
}

// The runs that play an older Windows see it: Wine reports what the prefix asks for this copy.
TEST(ReportedWindows, IsTheOneThisRunPlays)
{
    const char* pszPlayed = std::getenv("OMBRIX_WINDOWS");
    OSVERSIONINFOW info = {sizeof info, 0, 0, 0, 0, {}};
    ::GetVersionExW(&info);
    std::string reported = std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
    EXPECT_EQ(reported, !pszPlayed ? reported : std::string(pszPlayed) == "winxp" ? "5.1" : "5.0");
}

}  // namespace
