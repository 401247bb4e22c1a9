// Installations on real folders, links and drives: one table of stories a user would tell,
// randomized installations checked for what must always hold, and a copy cut off by a full disk.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "ComponentsDlg.h"
#include "Messages.h"
#include "TestWorld.h"
#include "WindowDriver.h"
#include "resource.h"

namespace {

using Strings = std::vector<std::string>;

// One window the installation showed: a replace question with the answer given, or a box.
struct Seen { bool bQuestion; std::string text, caption; UINT icon; int answer; };

// Runs the installation of the chosen components (1 VC7, 2 System, 3 both) from the package
// folder; each question gets answer(text), each box OK.
std::vector<Seen> Install(const CString& package, int components, const CString& vc, const CString& sys,
                          const std::function<int(const std::string&)>& answer)
{
    CComponentsDlg page;
    page.m_bAppWizardFiles = components & 1;
    page.m_bMfcFiles = components >> 1;
    CCurrentDirectory current(package);
    std::vector<Seen> seen;
    CUiDriver driver([&](CWindowProbe& window) {
        bool bQuestion = window.GetKind() == CWindowProbe::kReplace;
        seen.push_back({bQuestion, window.MessageText(), window.Caption(), window.MessageIcon(), IDOK});
        if (bQuestion)
            seen.back().answer = answer(seen.back().text);
        window.Click(seen.back().answer);
    });
    page.RunInstallation(vc, sys);
    driver.Stop();
    return seen;
}

// The place a row's set-up can change before the run.
struct World
{
    CTestFolder folder;
    CString package = folder.Path("pkg"), vc = folder.Path("vc"), sys = folder.Path("sys");
    std::vector<std::shared_ptr<void>> held;   // open files and mapped drives, for the run
};

struct Story
{
    const char* name;
    Strings package;        // below the package ("VC7\\a.txt"); each file holds its own name
    Strings waiting;        // below the test folder, each holding "old"
    std::function<void(World&)> setUp;
    int components;
    std::vector<int> answers;   // to the questions, in order
    Strings stays;          // package files left in the package
    Strings notices;        // entries that could not be moved; "!VC7": a missing package folder
    const char* summary;
};

// Where a package entry goes: "VC7" itself to the VC destination, "VC7\\a" below it.
CString Target(const World& w, const std::string& entry)
{
    size_t nFolder = entry.rfind("VC7", 0) == 0 ? 3 : 6;
    return (nFolder == 3 ? w.vc : w.sys) + (entry.size() > nFolder ? CString(entry.substr(nFolder)) : CString());
}

const char* const kSuccess = Messages::kSuccess;
const char* const kProblems = Messages::kProblems;
const char* const kAborted = Messages::kAborted;
// What a message box said, as "caption|icon|text".
std::string Box(const std::string& caption, UINT icon, const std::string& text)
{
    return caption + "|" + std::to_string(icon) + "|" + text;
}

class Installation : public ::testing::TestWithParam<Story> {};

TEST_P(Installation, EndsWithEveryFileInstalledOrWholeInThePackage)
{
    const Story& story = GetParam();
    World w;
    for (const std::string& file : story.package)
        WriteFileAt(w.package + "\\" + CString(file), file);
    for (const std::string& file : story.waiting)
        w.folder.Write(file, "old");
    if (story.setUp)
        story.setUp(w);
    ASSERT_FALSE(HasFatalFailure());

    size_t nAsked = 0;
    std::vector<Seen> seen = Install(w.package, story.components, w.vc, w.sys, [&](const std::string&) {
        return nAsked < story.answers.size() ? story.answers[nAsked++] : IDCANCEL;
    });
    // One question per answer; a notice with the application's title for each entry that could
    // not be moved, and the summary last.
    std::multiset<std::string> shown, expected;
    for (const Seen& window : seen)
        if (!window.bQuestion)
            shown.insert(Box(window.caption, window.icon, window.text));
    for (const std::string& entry : story.notices)
        expected.insert(Box(AfxGetApp()->m_strAppName.Str(), MB_ICONEXCLAMATION,
                            entry[0] == '!' ? Messages::NoPackageFolder(w.package + "\\" + CString(entry.substr(1))).Str()
                                            : Messages::CannotMove(w.package + "\\" + CString(entry), Target(w, entry)).Str()));
    expected.insert(Box(Messages::kCaption, story.summary == kAborted    ? MB_ICONERROR
                                            : story.summary == kProblems ? MB_ICONEXCLAMATION
                                                                         : MB_ICONINFORMATION, story.summary));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(seen.size() - shown.size(), story.answers.size()) << "questions asked";
    EXPECT_EQ(seen.back().text, story.summary);

    // Each package file whole in the package or installed; nothing else arrives at the
    // destinations, and no package folder is left empty.
    std::set<std::pair<DWORD, ULONGLONG>> placed;
    auto key = [](const CString& path) { return std::pair(AfxGetFileIdentity(path).dwVolume, AfxGetFileIdentity(path).nIndex); };
    for (const std::string& file : story.package) {
        bool bStays = std::count(story.stays.begin(), story.stays.end(), file) > 0;
        EXPECT_EQ(ReadFileAt(w.package + "\\" + CString(file)), bStays ? std::optional(file) : std::nullopt) << file;
        if (!bStays) {
            EXPECT_EQ(ReadFileAt(Target(w, file)), file) << file << " not installed";
            placed.insert(key(Target(w, file)));
        }
    }
    for (const std::string& file : story.waiting)
        EXPECT_TRUE(!placed.insert(key(w.folder.Path(file))).second || w.folder.Read(file) == "old") << file << " changed";
    for (const CString& dest : {w.vc, w.sys})
        for (const std::string& entry : ListTree(dest))
            EXPECT_TRUE(entry.back() == '\\' || placed.count(key(dest + "\\" + CString(entry)))) << "arrived: " << entry;
    for (const char* component : {"VC7\\", "System\\"})
        for (const std::string& entry : ListTree(w.package + "\\" + component))
            EXPECT_TRUE(entry.back() != '\\' || !ListTree(w.package + "\\" + component + CString(entry)).empty())
                << entry << " left empty";
}

const Strings kTree = {"VC7\\a.txt", "VC7\\sub\\b.txt", "VC7\\sub\\deep\\c.txt"};

// A row's set-up step: the file below the test folder held open without delete sharing.
std::function<void(World&)> HoldOpen(std::string file)
{
    return [file](World& w) {
        w.held.emplace_back(::CreateFileW(Widen(w.folder.Path(file)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr), ::CloseHandle);
    };
}

// A row's set-up step: the package's VC7 folder also reached as the root of a spare drive.
void VcThroughDrive(World& w)
{
    auto drive = std::make_shared<CSpareDrive>(w.package + "\\VC7");
    ASSERT_FALSE(drive->Root().IsEmpty());
    w.vc = drive->Root() + "out";
    w.held.push_back(drive);
}

// A row's set-up step: the package moved to another file system (/dev/shm), reached as the
// root of a spare drive.
void PackageOnAnotherDrive(World& w)
{
    // Named apart from any other run's, of this prefix or another.
    CString other = CString("Z:\\dev\\shm\\ombrix-") + CString(std::to_string(std::random_device()()));
    RemoveTree(other);
    w.held.emplace_back(nullptr, [other](void*) { RemoveTree(other); });
    for (const std::string& entry : ListTree(w.package))
        if (entry.back() != '\\')
            WriteFileAt(other + "\\" + CString(entry), *ReadFileAt(w.package + "\\" + CString(entry)));
    RemoveTree(w.package);
    auto drive = std::make_shared<CSpareDrive>(other);
    ASSERT_FALSE(drive->Root().IsEmpty());
    w.package = drive->Root();
    w.held.push_back(drive);
}

INSTANTIATE_TEST_SUITE_P(Stories, Installation, ::testing::Values(
    Story{"merges_unicode_trees_into_what_is_there", {"VC7\\top.txt", "VC7\\Мастер\\глубже\\文件.dat",
          "System\\mfc71rus.dll"}, {"vc\\Мастер\\already.txt"}, nullptr, 3, {}, {}, {}, kSuccess},
    Story{"yes_replaces", kTree, {"vc\\a.txt"}, nullptr, 1, {IDOK}, {}, {}, kSuccess},
    Story{"yes_to_all_asks_once_for_both_components", {"VC7\\a.txt", "VC7\\sub\\b.txt", "System\\c.dll"},
          {"vc\\a.txt", "vc\\sub\\b.txt", "sys\\c.dll"}, nullptr, 3, {IDC_YES_ALL}, {}, {}, kSuccess},
    Story{"no_keeps_the_file_and_its_folders_without_a_problem", kTree, {"vc\\sub\\deep\\c.txt"}, nullptr, 1,
          {IDC_NO}, {"VC7\\sub\\deep\\c.txt"}, {}, kSuccess},
    Story{"cancel_deep_down_stops_everything", {"VC7\\l1\\l2\\clash.txt", "System\\s.dll"},
          {"vc\\l1\\l2\\clash.txt"}, nullptr, 3, {IDCANCEL}, {"VC7\\l1\\l2\\clash.txt", "System\\s.dll"}, {}, kAborted},
    Story{"only_the_second_component", {"VC7\\a.txt", "System\\b.dll"}, {}, nullptr, 2, {}, {"VC7\\a.txt"}, {},
          kSuccess},
    Story{"a_busy_file_in_the_first_still_lets_the_second_move", {"VC7\\a.txt", "System\\b.dll"}, {},
          HoldOpen("pkg\\VC7\\a.txt"), 3, {}, {"VC7\\a.txt"}, {"VC7\\a.txt"}, kProblems},
    Story{"a_busy_target_stays_and_is_reported", kTree, {"vc\\a.txt"}, HoldOpen("vc\\a.txt"), 1, {IDOK},
          {"VC7\\a.txt"}, {"VC7\\a.txt"}, kProblems},
    Story{"missing_package_folder_is_a_problem", {"System\\b.dll"}, {}, nullptr, 3, {}, {}, {"!VC7"}, kProblems},
    Story{"a_read_only_target_is_never_replaced", kTree, {"vc\\a.txt"},
          [](World& w) { ::SetFileAttributesW(Widen(w.folder.Path("vc\\a.txt")).c_str(), FILE_ATTRIBUTE_READONLY); },
          1, {IDOK}, {"VC7\\a.txt"}, {"VC7\\a.txt"}, kProblems},
    Story{"a_folder_where_the_file_goes_is_reported", {"VC7\\clash"}, {"vc\\clash\\inside.txt"}, nullptr, 1, {IDOK},
          {"VC7\\clash"}, {"VC7\\clash"}, kProblems},
    Story{"destination_whose_parent_is_missing", kTree, {}, [](World& w) { w.vc = w.folder.Path("missing\\vc"); },
          1, {}, kTree, kTree, kProblems},
    Story{"destination_with_a_forbidden_character", kTree, {}, [](World& w) { w.vc = w.folder.Path("vc|x"); }, 1,
          {}, kTree, kTree, kProblems},
    Story{"destination_on_a_drive_that_does_not_exist", kTree, {}, [](World& w) { w.vc = "B:\\Ombrix"; }, 1, {},
          kTree, kTree, kProblems},
    Story{"destination_with_trailing_and_doubled_backslashes", kTree, {},
          [](World& w) { w.vc = w.folder.Path() + "\\\\vc\\"; }, 1, {}, {}, {}, kSuccess},
    Story{"destination_inside_the_package_spelt_otherwise", kTree, {},
          [](World& w) { w.vc = w.folder.Path("PKG\\vc7\\\\Sub\\out\\"); }, 1, {}, {}, {}, kSuccess},
    Story{"destination_inside_the_package_through_another_drive", kTree, {}, VcThroughDrive, 1, {}, {}, {},
          kSuccess},
    Story{"a_link_out_of_the_package_is_not_followed", kTree, {"outside\\f.txt"},
          [](World& w) { MakeUnixLink(w.folder.Path("outside"), w.package + "\\VC7\\sub\\ext"); }, 1, {}, {},
          {"VC7\\sub\\ext"}, kProblems},
    Story{"a_link_up_the_package_makes_no_loop", kTree, {},
          [](World& w) { MakeUnixLink(w.package + "\\VC7", w.package + "\\VC7\\sub\\loop"); }, 1, {}, {},
          {"VC7\\sub\\loop"}, kProblems},
    Story{"a_package_folder_that_is_a_link", {"System\\b.dll"}, {"outside\\f.txt"},
          [](World& w) { MakeUnixLink(w.folder.Path("outside"), w.package + "\\VC7"); }, 3, {}, {}, {"VC7"},
          kProblems},
    Story{"one_folder_for_both_never_replaces_what_the_run_placed", {"VC7\\readme.txt", "VC7\\x.dll",
          "System\\readme.txt"}, {"vc\\x.dll"}, [](World& w) { w.sys = w.folder.Path("VC\\"); }, 3, {IDC_YES_ALL},
          {"System\\readme.txt"}, {"System\\readme.txt"}, kProblems},
    Story{"package_on_another_file_system_moves_and_replaces", {"VC7\\a.txt", "VC7\\sub\\b.txt", "System\\c.dll"},
          {"vc\\a.txt"}, PackageOnAnotherDrive, 3, {IDOK}, {}, {}, kSuccess},
    Story{"across_file_systems_a_busy_target_keeps_both_files", {"VC7\\a.txt", "VC7\\b.txt"},
          {"vc\\a.txt"}, [](World& w) { HoldOpen("vc\\a.txt")(w); PackageOnAnotherDrive(w); }, 1, {IDOK},
          {"VC7\\a.txt"}, {"VC7\\a.txt"}, kProblems},
    Story{"across_file_systems_a_folder_where_the_file_goes", {"VC7\\clash", "VC7\\b.txt"},
          {"vc\\clash\\inside.txt"}, PackageOnAnotherDrive, 1, {IDOK}, {"VC7\\clash"}, {"VC7\\clash"}, kProblems},
    Story{"across_file_systems_into_a_missing_folder", kTree, {},
          [](World& w) { PackageOnAnotherDrive(w); w.vc = w.folder.Path("missing\\vc"); }, 1, {}, kTree, kTree,
          kProblems}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- randomized installations, checked for what must always hold ----
// Every file below the test folder with its content.
std::map<std::string, std::optional<std::string>> Snapshot(const CTestFolder& folder)
{
    std::map<std::string, std::optional<std::string>> files;
    for (const std::string& entry : folder.List())
        files[entry] = folder.Read(entry);
    return files;
}

unsigned FromEnvironment(const char* pszName, unsigned nDefault)
{
    return std::getenv(pszName) ? static_cast<unsigned>(std::strtoul(std::getenv(pszName), nullptr, 10)) : nDefault;
}

TEST(RandomInstallation, KeepsEveryFileWholeInOnePlaceAndSaysWhatHappened)
{
    unsigned seed = FromEnvironment("OMBRIX_SEED", std::random_device()());
    unsigned nCases = FromEnvironment("OMBRIX_CASES", 120), nFiles = 0, nWindows = 0;
    std::mt19937 rng(seed);
    auto chance = [&](unsigned nPercent) { return rng() % 100 < nPercent; };
    const char* const names[] = {"readme.txt", "с пробелом.dat", "a.b", "Файл", "Ελληνικά", "文件.dll", "x"};
    auto start = std::chrono::steady_clock::now();
    for (unsigned nCase = 0; nCase < nCases && !HasFailure(); ++nCase) {
        SCOPED_TRACE("OMBRIX_SEED=" + std::to_string(seed) + " repeats this run; case " + std::to_string(nCase));
        CTestFolder folder;
        // Now and then one folder for both components, so the second meets the first's files.
        std::string sys = chance(20) ? "vc" : "sys";
        std::map<std::string, std::string> targets;           // package file -> its destination
        std::set<std::string> readOnly;
        for (int nFile = rng() % 12; nFile > 0; --nFile) {
            bool bVc = chance(50);
            std::string rel;
            for (int nDepth = rng() % 3; nDepth > 0; --nDepth)
                rel += std::string(names[rng() % 7]) + " папка\\";
            rel += names[rng() % 7];
            targets[(bVc ? "pkg\\VC7\\" : "pkg\\System\\") + rel] = (bVc ? "vc\\" : sys + "\\") + rel;
        }
        for (const auto& [source, target] : targets) {
            folder.Write(source, source + std::to_string(rng()));
            if (chance(25))
                folder.Write(target, "old");
            if (chance(20) && ::SetFileAttributesW(Widen(folder.Path(target)).c_str(), FILE_ATTRIBUTE_READONLY))
                readOnly.insert(target);
        }
        folder.Write("vc\\bystander.txt", "не трогать");
        ::CreateDirectoryW(Widen(folder.Path("pkg")).c_str(), nullptr);
        auto before = Snapshot(folder);
        std::optional<decltype(before)> atCancel;
        std::set<std::string> confirmed;
        bool bYesToAll = false;
        std::vector<Seen> seen = Install(folder.Path("pkg"), 1 + rng() % 3, folder.Path("vc"), folder.Path(sys),
                                         [&](const std::string& text) {
            EXPECT_FALSE(bYesToAll || atCancel) << "asked after \"Да - для всех\" or \"Отмена\": " << text;
            int answer = std::vector<int>{IDOK, IDC_YES_ALL, IDC_NO, IDC_NO, IDOK, IDCANCEL}[rng() % 6];
            std::string target = text.substr(text.find('"') + 1, text.rfind('"') - text.find('"') - 1);
            target = target.substr(folder.Path().GetLength() + 1);
            EXPECT_TRUE(before[target]) << "asked about a file that was not there: " << target;
            if (answer == IDOK || answer == IDC_YES_ALL)
                confirmed.insert(target);
            bYesToAll = bYesToAll || answer == IDC_YES_ALL;
            if (answer == IDCANCEL)
                atCancel = Snapshot(folder);
            return answer;
        });
        auto after = Snapshot(folder);

        size_t nBoxes = std::count_if(seen.begin(), seen.end(), [](const Seen& w) { return !w.bQuestion; });
        EXPECT_EQ(seen.back().text, atCancel ? Messages::kAborted : nBoxes > 1 ? Messages::kProblems : Messages::kSuccess);
        EXPECT_TRUE(!atCancel || after == *atCancel) << "something moved after \"Отмена\"";
        EXPECT_EQ(after["vc\\bystander.txt"], "не трогать");
        for (const auto& [source, target] : targets) {
            EXPECT_NE(after[source] == before[source], after[target] == before[source]) << source << ": not in one place";
            if (before[target] && after[target] != before[target]) {
                EXPECT_TRUE(confirmed.count(target) || bYesToAll) << target << " replaced without \"Да\"";
                EXPECT_FALSE(readOnly.count(target)) << target << " was read-only";
            }
        }
        nFiles += static_cast<unsigned>(targets.size());
        nWindows += static_cast<unsigned>(seen.size());
    }
    std::printf("randomized installation: seed %u, %u cases, %u package files, %u questions and messages, %.1f s\n",
                seed, nCases, nFiles, nWindows,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// ---- a copy cut off by a full disk ----

// The program itself copies a file from another file system over an older one, under a file-size
// limit (a full disk), started by the system's prlimit with the limit's signal ignored: each
// write past the limit fails, and the run survives to clean up.
TEST(CutCopy, FailsWholeOnAFullDiskAndLeavesNoCopy)
{
    World w;
    WriteFileAt(w.package + "\\VC7\\big.dll", std::string(8 << 20, 'x'));
    ::CopyFileW(BuiltProgramPath().c_str(), Widen(w.package + "\\Ombrix.exe").c_str(), FALSE);
    w.folder.Write("vc\\big.dll", "old");
    PackageOnAnotherDrive(w);
    ASSERT_FALSE(HasFatalFailure());
    CProgram shell(L"/bin/sh", L"", Widen("-c \"cd '" + UnixPath(w.package) + "' && trap '' XFSZ && exec prlimit "
                                          "--fsize=1048576 wine Ombrix.exe\""));
    // The program's first page tells its thread: a window of a process started from the package.
    DWORD dwThreadId = 0;
    for (int nWait = 0; !dwThreadId && nWait < 3000; ++nWait, ::Sleep(10))
        for (HWND hWnd = ::FindWindowW(nullptr, L"Ombrix"); hWnd && !dwThreadId; hWnd = ::FindWindowExW(nullptr, hWnd, nullptr, L"Ombrix")) {
            DWORD dwProcess = 0, dwThread = ::GetWindowThreadProcessId(hWnd, &dwProcess);
            wchar_t image[MAX_PATH] = {};
            DWORD cchImage = MAX_PATH;
            HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwProcess);
            if (::QueryFullProcessImageNameW(hProcess, 0, image, &cchImage) && Widen(w.package + "Ombrix.exe") == image)
                dwThreadId = dwThread;
            ::CloseHandle(hProcess);
        }
    ASSERT_NE(dwThreadId, 0u) << "the program did not start";
    Strings boxes;
    CUiDriver driver([&](CWindowProbe& window) {
        if (window.GetKind() == CWindowProbe::kPaths)
            window.SetText(IDC_VC_PATH, w.vc.Str());
        if (window.GetKind() == CWindowProbe::kMessage)
            boxes.push_back(window.MessageText());
        window.Click(IDOK);
    }, dwThreadId);
    for (int nWait = 0; boxes.size() < 2 && nWait < 6000; ++nWait)
        ::Sleep(10);
    driver.Stop();

    EXPECT_EQ(boxes, (Strings{Messages::CannotMove(w.package + "\\VC7\\big.dll", w.vc + "\\big.dll").Str(), kProblems}));
    EXPECT_EQ(w.folder.List("vc"), Strings{"big.dll"});
    EXPECT_EQ(w.folder.Read("vc\\big.dll"), "old");
    EXPECT_EQ(ReadFileAt(w.package + "\\VC7\\big.dll"), std::string(8 << 20, 'x'));
}

}  // namespace
