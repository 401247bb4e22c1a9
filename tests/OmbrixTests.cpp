// The installer through its real windows, folders, links, drives and registry, and the
// long-path rule as a function.
#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "ComponentsDlg.h"
#include "PathsDlg.h"
#include "TestWorld.h"
#include "resource.h"

// The test program is an application of its own, so the framework finds an application
// object (its title, its icons) as the real program does.
CWinApp theTestApp;

namespace {

using Strings = std::vector<std::string>;

const int kEnterKey = -VK_RETURN, kEscapeKey = -VK_ESCAPE;   // answers given by a key, not a click

// The place a story's set-up can change before the run.
struct World
{
    CTestFolder folder;
    CString package = folder.Path("pkg"), vc = folder.Path("vc"), sys = folder.Path("sys");
    std::vector<std::shared_ptr<void>> held;   // open files and other folders, for the run
    CString InPackage(const std::string& entry) const { return package + "\\" + CString(entry); }
};

struct Story
{
    const char* name;
    Strings package;        // below the package ("VC7\\a.txt"); each file holds its own name
    Strings waiting;        // below the test folder, each holding "old"; "*vc\\a": read-only
    std::function<void(World&)> setUp;
    int components;         // 1 VC7, 2 System, 3 both
    std::vector<int> answers;   // to the questions, in order; "Отмена" once they run out
    Strings stays;          // package files left in the package
    Strings notices;        // entries that could not be moved; "!VC7": a missing package folder
};

// Where a package entry goes: "VC7" itself to the VC destination, "VC7\\a" below it.
CString Target(const World& w, const std::string& entry)
{
    size_t nFolder = entry.rfind("VC7", 0) == 0 ? 3 : 6;
    return (nFolder == 3 ? w.vc : w.sys) + (entry.size() > nFolder ? CString(entry.substr(nFolder)) : CString());
}

// Which file a path names, however spelt; no file's when it names none.
using FileKey = std::pair<DWORD, ULONGLONG>;
FileKey Key(const CString& path)
{
    CFileIdentity id = AfxGetFileIdentity(path);
    return {id.dwVolume, id.bKnown ? id.nIndex : ~0ULL};
}

// A file's content, whether it is read-only, and which file it is.
struct FileState
{
    std::optional<std::string> content;
    bool bReadOnly;
    FileKey key;
    bool operator==(const FileState& o) const { return std::tie(content, bReadOnly, key) == std::tie(o.content, o.bReadOnly, o.key); }
};

// Every file and folder below the test folder, by its path there.
std::map<std::string, FileState> Snapshot(const CTestFolder& folder)
{
    std::map<std::string, FileState> files;
    for (const std::string& entry : folder.List())
        files[entry] = {folder.Read(entry),
                        (::GetFileAttributesW(Widen(folder.Path(entry)).c_str()) & FILE_ATTRIBUTE_READONLY) != 0,
                        Key(folder.Path(entry))};
    return files;
}

// Installs a story's package in its world through the real windows, then checks what must
// hold after any installation; with bExact also the story's own stays, notices and questions.
// Returns how many windows the run showed.
size_t Install(World& w, const Story& story, bool bExact)
{
    for (const std::string& file : story.package)
        WriteFileAt(w.InPackage(file), file);
    for (const std::string& file : story.waiting) {
        w.folder.Write(file.substr(file[0] == '*'), "old");
        if (file[0] == '*')
            ::SetFileAttributesW(Widen(w.folder.Path(file.substr(1))).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    if (story.setUp)
        story.setUp(w);
    ::CreateDirectoryW(Widen(w.package).c_str(), nullptr);

    auto before = Snapshot(w.folder);
    std::set<FileKey> confirmed;
    std::optional<decltype(before)> atCancel;
    bool bYesToAll = false;
    size_t nAsked = 0;
    Strings boxes;
    CComponentsDlg page;
    page.m_bAppWizardFiles = story.components & 1;
    page.m_bMfcFiles = story.components >> 1;
    auto inPackage = EnterFolder(w.package);
    CUiDriver driver([&](CWindowProbe& window) {
        if (window.GetKind() != CWindowProbe::kReplace) {
            boxes.push_back(window.Caption() + "|" + std::to_string(window.MessageIcon()) + "|" + window.MessageText());
            window.Click(IDOK);
            return;
        }
        // The question names, as the user reads it, a file that was there.
        std::string text = window.MessageText();
        FileKey target = Key(text.substr(text.find('"') + 1, text.rfind('"') - text.find('"') - 1));
        EXPECT_TRUE(std::any_of(before.begin(), before.end(), [&](auto& was) { return was.second.key == target; })) << text;
        EXPECT_FALSE(bYesToAll || atCancel) << "asked after \"Да - для всех\" or \"Отмена\": " << text;
        int answer = nAsked < story.answers.size() ? story.answers[nAsked] : IDCANCEL;
        ++nAsked;
        if (answer == IDOK || answer == kEnterKey || answer == IDC_YES_ALL)
            confirmed.insert(target);
        bYesToAll = bYesToAll || answer == IDC_YES_ALL;
        if (answer == IDCANCEL || answer == kEscapeKey)
            atCancel = Snapshot(w.folder);
        answer < 0 ? window.PressKey(static_cast<UINT>(-answer)) : (void)window.Click(answer);
    });
    page.RunInstallation(w.vc, w.sys);
    driver.Stop();

    // A notice with the application's title for each entry that could not be moved, and the
    // summary last: aborted after "Отмена", problems after a notice, success otherwise.
    std::multiset<std::string> notices(boxes.begin(), boxes.end() - !boxes.empty()), expected;
    UINT summaryIcon = atCancel ? MB_ICONERROR : notices.empty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION;
    EXPECT_EQ(boxes.empty() ? "" : boxes.back(), std::string(Messages::kCaption) + "|" + std::to_string(summaryIcon) + "|" +
              (atCancel ? Messages::kAborted : notices.empty() ? Messages::kSuccess : Messages::kProblems));
    std::string noticeHead = AfxGetApp()->m_strAppName.Str() + "|" + std::to_string(MB_ICONEXCLAMATION) + "|";
    for (const std::string& notice : notices)
        EXPECT_EQ(notice.rfind(noticeHead, 0), 0u) << notice;
    for (const std::string& entry : story.notices)
        expected.insert(noticeHead + (entry[0] == '!' ? Messages::NoPackageFolder(w.InPackage(entry.substr(1)))
                                                      : Messages::CannotMove(w.InPackage(entry), Target(w, entry))).Str());
    if (bExact) {
        EXPECT_EQ(notices, expected);
        EXPECT_EQ(nAsked, story.answers.size()) << "questions asked";
    }

    // Each package file whole in exactly one place: the package, or where it goes.
    for (const std::string& file : story.package) {
        bool bStayed = ReadFileAt(w.InPackage(file)) == file, bInstalled = ReadFileAt(Target(w, file)) == file;
        EXPECT_NE(bStayed, bInstalled) << file << " in both places or in neither";
        EXPECT_TRUE(!bExact || bStayed == (std::count(story.stays.begin(), story.stays.end(), file) > 0)) << file;
    }
    // Nothing else changes: nothing after "Отмена", no file lost, a file that was there
    // replaced only after a "Да" and never when read-only, and each new file an installed one.
    auto after = Snapshot(w.folder);
    EXPECT_TRUE(!atCancel || after == *atCancel) << "something moved after \"Отмена\"";
    for (const auto& [path, state] : before)
        EXPECT_TRUE(after.count(path) || path.rfind("pkg\\", 0) == 0) << path << " lost";
    for (const auto& [path, state] : after) {
        auto was = before.find(path);
        if (path.back() == '\\' || (was != before.end() && was->second == state))
            continue;
        EXPECT_TRUE(state.content && Key(Target(w, *state.content)) == state.key) << path << " changed, not installed there";
        EXPECT_TRUE(was == before.end() || confirmed.count(was->second.key) || bYesToAll) << path << " replaced without \"Да\"";
        EXPECT_TRUE(was == before.end() || !was->second.bReadOnly) << path << " replaced though read-only";
    }
    // No package folder is left empty.
    for (const std::string& entry : ListTree(w.package))
        EXPECT_TRUE(entry.back() != '\\' || !ListTree(w.InPackage(entry)).empty()) << entry << " left empty";
    return nAsked + boxes.size();
}

class Installation : public ::testing::TestWithParam<Story> {};

TEST_P(Installation, EndsWithEveryFileInstalledOrWholeInThePackage)
{
    World w;
    Install(w, GetParam(), true);
}

const Strings kTree = {"VC7\\a.txt", "VC7\\sub\\b.txt", "VC7\\sub\\deep\\c.txt"}, kBoth = {"VC7\\a.txt", "System\\b.dll"};
// What no file of kTree can replace, each asked about: a busy file (held open by the row), a
// read-only one, a folder.
const Strings kUnreplaceable = {"vc\\a.txt", "*vc\\sub\\b.txt", "vc\\sub\\deep\\c.txt\\inside.txt"};

// A row's set-up step: the file below the test folder held open without delete sharing.
std::function<void(World&)> HoldOpen(std::string file)
{
    return [file](World& w) {
        w.held.emplace_back(::CreateFileW(Widen(w.folder.Path(file)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr), ::CloseHandle);
    };
}

// A row's set-up step: the package moved to another file system.
void PackageOnAnotherFileSystem(World& w)
{
    auto other = std::make_shared<CTestFolder>(true);
    for (const std::string& entry : ListTree(w.package))
        if (entry.back() != '\\')
            other->Write(entry, *ReadFileAt(w.InPackage(entry)));
    RemoveTree(w.package);
    w.package = other->Path();
    w.held.push_back(other);
}

INSTANTIATE_TEST_SUITE_P(Stories, Installation, ::testing::Values(
    Story{"merges_unicode_trees_into_what_is_there", {"VC7\\top.txt", "VC7\\Мастер\\глубже\\文件.dat",
          "System\\mfc71rus.dll"}, {"vc\\Мастер\\already.txt"}, nullptr, 3, {}, {}, {}},
    Story{"enter_replaces_in_a_folder_with_an_ampersand", kTree, {"R&D\\a.txt"},
          [](World& w) { w.vc = w.folder.Path("R&D"); }, 1, {kEnterKey}, {}, {}},
    Story{"yes_to_all_asks_once_for_both_components", {"VC7\\a.txt", "VC7\\sub\\b.txt", "System\\c.dll"},
          {"vc\\a.txt", "vc\\sub\\b.txt", "sys\\c.dll"}, nullptr, 3, {IDC_YES_ALL}, {}, {}},
    Story{"no_keeps_the_file_and_its_folders_without_a_problem", kTree, {"vc\\sub\\deep\\c.txt"}, nullptr, 1,
          {IDC_NO}, {"VC7\\sub\\deep\\c.txt"}, {}},
    Story{"cancel_deep_down_stops_everything", {"VC7\\l1\\l2\\clash.txt", "System\\s.dll"},
          {"vc\\l1\\l2\\clash.txt"}, nullptr, 3, {kEscapeKey}, {"VC7\\l1\\l2\\clash.txt", "System\\s.dll"}, {}},
    Story{"only_the_second_component", kBoth, {}, nullptr, 2, {}, {"VC7\\a.txt"}, {}},
    Story{"a_busy_file_in_the_first_still_lets_the_second_move", kBoth, {},
          HoldOpen("pkg\\VC7\\a.txt"), 3, {}, {"VC7\\a.txt"}, {"VC7\\a.txt"}},
    Story{"busy_read_only_and_folder_targets_stay_and_are_reported", kTree, kUnreplaceable, HoldOpen("vc\\a.txt"), 1,
          {IDOK, IDOK, IDOK}, kTree, kTree},
    Story{"missing_package_folder_is_a_problem", {"System\\b.dll"}, {}, nullptr, 3, {}, {}, {"!VC7"}},
    Story{"destination_whose_parent_is_missing", kTree, {}, [](World& w) { w.vc = w.folder.Path("missing\\vc"); },
          1, {}, kTree, kTree},
    Story{"destinations_with_a_forbidden_character_or_on_no_drive", kBoth, {},
          [](World& w) { w.vc = w.folder.Path("vc|x"); w.sys = "B:\\Ombrix"; }, 3, {}, kBoth, kBoth},
    Story{"destination_with_trailing_and_doubled_backslashes", kTree, {},
          [](World& w) { w.vc = w.folder.Path() + "\\\\vc\\"; }, 1, {}, {}, {}},
    Story{"destination_inside_the_package_spelt_otherwise", kTree, {},
          [](World& w) { w.vc = w.folder.Path("PKG\\vc7\\\\Sub\\out\\"); }, 1, {}, {}, {}},
    Story{"destination_inside_the_package_through_drive_z", kTree, {}, [](World& w) {
              std::string unix = "Z:" + UnixPath(w.package + "\\VC7") + "/out";
              std::replace(unix.begin(), unix.end(), '/', '\\');
              w.vc = unix;
          }, 1, {}, {}, {}},
    Story{"links_out_of_and_up_the_package_are_not_followed", kTree, {"outside\\f.txt"}, [](World& w) {
              MakeUnixLink(w.folder.Path("outside"), w.package + "\\VC7\\sub\\ext");
              MakeUnixLink(w.package + "\\VC7", w.package + "\\VC7\\sub\\loop");
          }, 1, {}, {}, {"VC7\\sub\\ext", "VC7\\sub\\loop"}},
    Story{"a_package_folder_that_is_a_link", {"System\\b.dll"}, {"outside\\f.txt"},
          [](World& w) { MakeUnixLink(w.folder.Path("outside"), w.package + "\\VC7"); }, 3, {}, {}, {"VC7"}},
    Story{"one_folder_for_both_never_replaces_what_the_run_placed", {"VC7\\readme.txt", "VC7\\x.dll",
          "System\\readme.txt"}, {"vc\\x.dll"}, [](World& w) { w.sys = w.folder.Path("VC\\"); }, 3, {IDC_YES_ALL},
          {"System\\readme.txt"}, {"System\\readme.txt"}},
    Story{"package_on_another_file_system_moves_and_replaces", {"VC7\\a.txt", "VC7\\sub\\b.txt", "System\\c.dll"},
          {"vc\\a.txt"}, PackageOnAnotherFileSystem, 3, {IDOK}, {}, {}},
    Story{"across_file_systems_unreplaceable_targets_keep_both_files", kTree, kUnreplaceable,
          [](World& w) { HoldOpen("vc\\a.txt")(w); PackageOnAnotherFileSystem(w); }, 1, {IDOK, IDOK, IDOK}, kTree, kTree},
    Story{"across_file_systems_into_a_missing_folder", kTree, {},
          [](World& w) { PackageOnAnotherFileSystem(w); w.vc = w.folder.Path("missing\\vc"); }, 1, {}, kTree, kTree},
    Story{"across_file_systems_a_name_of_250_characters", {"VC7\\" + std::string(250, 'n')}, {},
          PackageOnAnotherFileSystem, 1, {}, {}, {}},
    // A move onto a second name of the very file (a hard link) leaves only the destination's name.
    Story{"onto_a_hard_link_of_the_same_file", {"VC7\\a.txt"}, {}, [](World& w) {
              ::CreateDirectoryW(Widen(w.vc).c_str(), nullptr);
              RunUnix(L"/bin/ln", UnixPath(w.InPackage("VC7\\a.txt")) + " " + UnixPath(w.vc + "\\a.txt"), w.vc + "\\a.txt", true);
          }, 1, {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- randomized installations, checked for what must always hold ----

TEST(RandomInstallation, KeepsEveryFileWholeInOnePlaceAndSaysWhatHappened)
{
    auto setting = [](const char* pszName, unsigned nDefault) {
        return std::getenv(pszName) ? static_cast<unsigned>(std::strtoul(std::getenv(pszName), nullptr, 10)) : nDefault;
    };
    unsigned seed = setting("OMBRIX_SEED", std::random_device()()), nCases = setting("OMBRIX_CASES", 120);
    unsigned nFiles = 0, nWindows = 0;
    std::mt19937 rng(seed);
    auto chance = [&](unsigned nPercent) { return rng() % 100 < nPercent; };
    const char* const names[] = {"readme.txt", "с пробелом.dat", "a.b", "Файл", "Ελληνικά", "文件.dll", "R&D"};
    for (unsigned nCase = 0; nCase < nCases && !HasFailure(); ++nCase) {
        SCOPED_TRACE("OMBRIX_SEED=" + std::to_string(seed) + " repeats this run; case " + std::to_string(nCase));
        Story story{"random", {}, {}, nullptr, static_cast<int>(1 + rng() % 3), {}, {}, {}};
        // Now and then one folder for both components, so the second meets the first's files.
        bool bOneFolder = chance(20);
        if (bOneFolder)
            story.setUp = [](World& w) { w.sys = w.vc; };
        std::set<std::string> files;
        for (int nFile = rng() % 12; nFile > 0; --nFile) {
            std::string file = chance(50) ? "VC7" : "System";
            for (int nDepth = rng() % 3; nDepth >= 0; --nDepth)
                file += "\\" + std::string(names[rng() % 7]) + (nDepth ? " папка" : "");
            files.insert(file);
        }
        for (const std::string& file : files) {
            story.package.push_back(file);
            if (chance(25))
                story.waiting.push_back((chance(20) ? "*" : "") + std::string(file[0] == 'V' || bOneFolder ? "vc" : "sys") +
                                        file.substr(file.find('\\')));
            story.answers.push_back(std::vector<int>{IDOK, IDC_YES_ALL, IDC_NO, IDC_NO, IDOK, IDCANCEL}[rng() % 6]);
        }
        World w;
        w.folder.Write("vc\\bystander.txt", "не трогать");
        nWindows += static_cast<unsigned>(Install(w, story, false));
        nFiles += static_cast<unsigned>(files.size());
    }
    std::printf("randomized installation: seed %u, %u cases, %u package files, %u questions and messages\n", seed,
                nCases, nFiles, nWindows);
}

// ---- the wizard's page flow ----

// One answer of a walk; it may note what it did.
using Step = std::function<void(CWindowProbe&, Strings& seen)>;

// What a window shows a user, in a few words. The components page: its title, the boxes
// ticked, whether "<< Назад" and "Далее >>" can be clicked, its icon. The paths page: whether
// the first page shows under it, which labels and fields are enabled, what each field offers
// ("VC", "SYSTEM": the default paths). A box: its title and text, "(error)" after an abort's.
// Not the focus: Wine's dialog manager moves it as a page is activated, at its own moment.
Strings Describe(CWindowProbe& window)
{
    HWND hWnd = window.Handle();
    if (window.GetKind() == CWindowProbe::kComponents) {
        LRESULT hIcon = CWindowProbe::Send(hWnd, WM_GETICON, ICON_BIG);
        return {window.Caption() + (window.IsChecked(IDC_APPWIZARD_FILES) ? " first" : "") +
                (window.IsChecked(IDC_MFC_FILES) ? " second" : "") + (window.IsEnabled(IDC_BACK) ? " back" : "") +
                (window.IsEnabled(IDOK) ? " next" : "") +
                (hIcon && CWindowProbe::Send(hWnd, WM_QUERYDRAGICON) == static_cast<DWORD_PTR>(hIcon) ? " icon" : "")};
    }
    if (window.GetKind() != CWindowProbe::kPaths)
        return {window.Caption() + ": " + window.MessageText() + (window.MessageIcon() == MB_ICONERROR ? " (error)" : "")};
    std::string state = ::IsWindowVisible(::GetWindow(hWnd, GW_OWNER)) ? "first page showing" : "";
    for (int nID : {IDC_VC_LABEL, IDC_VC_PATH, IDC_SYSTEM_LABEL, IDC_SYSTEM_PATH})
        state += window.IsEnabled(nID) ? " on" : " off";
    CString vc, system;
    LoadDefaultPaths(vc, system);
    std::string vcText = window.Text(IDC_VC_PATH), systemText = window.Text(IDC_SYSTEM_PATH);
    return {state.substr(state[0] == ' '), vcText == vc.Str() ? "VC" : vcText,
            systemText == system.Str() ? "SYSTEM" : systemText};
}

// Runs the wizard on this thread, or watches the program, noting what each window shows and
// taking the steps in order as the windows come; a window beyond the last step is cancelled.
// The end of the wizard on this thread is noted too.
Strings Walk(std::vector<Step> steps, DWORD dwProgramThread = 0)
{
    Strings seen;
    std::atomic<size_t> nStep{0};
    CUiDriver driver([&](CWindowProbe& window) {
        Strings shown = Describe(window);
        seen.insert(seen.end(), shown.begin(), shown.end());
        if (nStep < steps.size())
            return steps[nStep++](window, seen);
        seen.push_back("unexpected");
        if (!window.Click(IDCANCEL))
            window.Click(IDOK);
    }, dwProgramThread);
    for (int nWait = 0; dwProgramThread && nStep < steps.size() && nWait < 6000; ++nWait)
        ::Sleep(10);
    if (dwProgramThread)
        return driver.Stop(), seen;
    CComponentsDlg page;
    AfxGetApp()->m_pMainWnd = &page;
    seen.push_back("result " + std::to_string(page.DoModal()));
    AfxGetApp()->m_pMainWnd = nullptr;
    return seen;
}

// Clicks a button, after typing a field's text if one is given.
Step Press(int nID, int nField = 0, const std::string& text = "")
{
    return [=](CWindowProbe& window, Strings&) {
        if (nField)
            window.SetText(nField, text);
        window.Click(nID);
    };
}

// Ticks the components page's boxes as asked, then "Далее >>".
Step Choose(bool bFirst, bool bSecond)
{
    return [=](CWindowProbe& page, Strings&) {
        if (page.IsChecked(IDC_APPWIZARD_FILES) != bFirst)
            page.Click(IDC_APPWIZARD_FILES, true);
        if (page.IsChecked(IDC_MFC_FILES) != bSecond)
            page.Click(IDC_MFC_FILES, true);
        page.Click(IDOK);
    };
}

const Step kOK = Press(IDOK);
const Step kEscape = [](CWindowProbe& w, Strings&) { w.PressKey(VK_ESCAPE); };
const Step kCloseBox = [](CWindowProbe& w, Strings&) { w.Close(); };
// Notes whether "Далее >>" is enabled after each click on a box (none, second, both, first,
// none, first), then presses Escape.
const Step kToggleThenEscape = [](CWindowProbe& page, Strings& seen) {
    seen.emplace_back();
    for (int nID : {IDC_APPWIZARD_FILES, IDC_MFC_FILES, IDC_APPWIZARD_FILES, IDC_MFC_FILES, IDC_APPWIZARD_FILES,
                    IDC_APPWIZARD_FILES})
        seen.back() += page.Click(nID, true) ? page.IsEnabled(IDOK) ? "1" : "0" : "?";
    page.PressKey(VK_ESCAPE);
};

struct WalkCase { const char* name; std::vector<Step> steps; Strings seen; };

class PageFlow : public ::testing::TestWithParam<WalkCase> {};

// The walks end in a cancel, in a folder with no package that a wrong run would report.
TEST_P(PageFlow, ShowsWhatTheChoicesAskForAndCancelsOnce)
{
    CTestFolder folder;
    auto inEmptyFolder = EnterFolder(folder.Path());
    EXPECT_EQ(Walk(GetParam().steps), GetParam().seen);
}

const std::string kStart = "Ombrix first next icon", kAborted = "Ombrix: " + std::string(Messages::kAborted) + " (error)";
INSTANTIATE_TEST_SUITE_P(Walks, PageFlow, ::testing::Values(
    WalkCase{"escape_on_the_first_page", {kToggleThenEscape, kOK}, {kStart, "011101", kAborted, "result 2"}},
    WalkCase{"close_box_on_the_first_page", {kCloseBox, kOK}, {kStart, kAborted, "result 2"}},
    WalkCase{"first_component", {Choose(true, false), Press(IDCANCEL), kOK},
             {kStart, "on on off off", "VC", "SYSTEM", kAborted, "result 2"}},
    WalkCase{"second_component_escape", {Choose(false, true), kEscape, kOK},
             {kStart, "off off on on", "VC", "SYSTEM", kAborted, "result 2"}},
    // A blank field of a chosen component is refused; Back keeps the choices, forgets the edits,
    // and the page follows new choices.
    WalkCase{"blank_path_then_back", {Choose(true, true), Press(IDOK, IDC_SYSTEM_PATH, " \t "), kOK,
                                      Press(IDC_BACK, IDC_VC_PATH, "X:\\edited"), Choose(false, true), Press(IDCANCEL), kOK},
             {kStart, "on on on on", "VC", "SYSTEM", "Ombrix: " + std::string(Messages::kNoPath),
              "on on on on", "VC", " \t ", "Ombrix first second next icon",
              "off off on on", "VC", "SYSTEM", kAborted, "result 2"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the default paths ----

// Each row: a record of a type (none: no key at all) and value, the value's last bytes cut off
// (its terminating zero first), and what the paths page offers ("*": the default).
TEST(DefaultVcPath, TakesTheRecordedDirectoryOrTheDefault)
{
    struct Record { std::optional<DWORD> type; std::wstring value; int nDropBytes; std::string offered; };
    const std::wstring longName(300, L'д');
    for (const Record& record : std::vector<Record>{
             {std::nullopt, L"", 0, "*"}, {REG_NONE, L"", 0, "*"}, {REG_SZ, L"", 0, "*"},
             {REG_SZ, L"E:\\VS\\Vc7\\", 0, "E:\\VS\\Vc7"}, {REG_SZ, L"E:\\VS\\Vc7", 0, "E:\\VS\\Vc7"}, {REG_SZ, L"\\", 0, ""},
             {REG_SZ, L"E:\\Студия\\", 2, "E:\\Студия"},             // no terminating zero
             {REG_SZ, L"E:\\VSд", 3, "E:\\VS"},                       // a stray odd byte is no part of it
             {REG_EXPAND_SZ, L"%SystemDrive%\\VS\\Vc7\\", 0, "C:\\VS\\Vc7"}, {REG_DWORD, L"E:", 0, "*"},
             {REG_SZ, L"E:\\" + longName + L"\\", 0, "E:\\" + Narrow(longName.c_str()).Str()}}) {
        std::string bytes(reinterpret_cast<const char*>(record.value.c_str()), (record.value.size() + 1) * sizeof(wchar_t));
        SetVcRecord(record.type, bytes.substr(0, bytes.size() - static_cast<size_t>(record.nDropBytes)));
        wchar_t system[MAX_PATH];
        ::GetSystemDirectoryW(system, MAX_PATH);
        CString vcPath, systemPath;
        LoadDefaultPaths(vcPath, systemPath);
        EXPECT_EQ(vcPath.Str(), record.offered != "*" ? record.offered : Narrow(system).Left(1).Str() +
                                ":\\Program Files\\Microsoft Visual Studio .NET 2003\\Vc7") << Narrow(record.value.c_str()).Str();
        EXPECT_EQ(systemPath, Narrow(system));
    }
    SetVcRecord(std::nullopt);
}

// ---- the built program's resources ----

INT_PTR CALLBACK InertPage(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// What a user meets in the program as built: Russian pages, the controls that Tab visits on
// each, in its order, with their texts; and, as it writes to the system directory, the request
// that Windows ask for elevation as it starts.
TEST(Resources, PagesAreRussianTabVisitsTheirControlsInOrderAndElevationIsAsked)
{
    HMODULE hProgram = ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    using TabStops = std::vector<std::pair<int, std::string>>;
    const std::pair<int, std::string> kBack{IDC_BACK, "<< Назад"}, kNext{IDOK, "Далее >>"}, kCancel{IDCANCEL, "Отмена"};
    for (const auto& [nTemplate, expected] : std::vector<std::pair<int, TabStops>>{
             {IDD_COMPONENTS, {{IDC_APPWIZARD_FILES, "Файлы русификации проектов AppWizard"},
                               {IDC_MFC_FILES, "Файлы локализации MFC-приложений"}, kBack, kNext, kCancel}},
             {IDD_PATHS, {{IDC_VC_PATH, ""}, {IDC_SYSTEM_PATH, ""}, kBack, kNext, kCancel}},
             {IDD_REPLACE, {{IDOK, "Да"}, {IDC_YES_ALL, "Да - для всех"}, {IDC_NO, "Нет"}, kCancel}}}) {
        LPCWSTR pszTemplate = MAKEINTRESOURCEW(nTemplate);
        EXPECT_TRUE(::FindResourceExW(hProgram, RT_DIALOG, pszTemplate, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)));
        HWND hPage = ::CreateDialogParamW(hProgram, pszTemplate, nullptr, InertPage, 0);
        TabStops stops;
        for (HWND hChild = ::GetWindow(hPage, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
            if (::GetWindowLongW(hChild, GWL_STYLE) & WS_TABSTOP)
                stops.emplace_back(::GetDlgCtrlID(hChild), CWindowProbe(hChild, 0).Caption());
        ::DestroyWindow(hPage);
        EXPECT_EQ(stops, expected) << "page " << nTemplate;
    }
    HRSRC hManifest = ::FindResourceW(hProgram, MAKEINTRESOURCEW(1), RT_MANIFEST);
    std::string manifest(hManifest ? static_cast<const char*>(::LockResource(::LoadResource(hProgram, hManifest))) : "",
                         ::SizeofResource(hProgram, hManifest));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
    ::FreeLibrary(hProgram);
}

// ---- the program itself ----

// What the program's windows showed, and the exit code its shell noted ("2\n").
struct ProgramEnd { Strings seen; std::optional<std::string> exitCode; };

// Copies the built program into the package folder as exe, starts it there through the system's
// shell after the given command (a file-size limit, Wine's options), and walks it. When the
// steps are taken, during gets the running process (to kill it, say); then the end is awaited.
ProgramEnd RunProgram(const CTestFolder& package, const std::string& exe, const std::string& before,
                      std::vector<Step> steps, const std::function<void(HANDLE)>& during = nullptr)
{
    ::CopyFileW(BuiltProgramPath().c_str(), Widen(package.Path(exe)).c_str(), FALSE);
    ::DeleteFileW(Widen(package.Path("exit-code")).c_str());
    CProgram shell(L"/bin/sh", L"", Widen("-c \"cd '" + UnixPath(package.Path()) + "' && " + before + " wine '" + exe +
                                          "'; echo $? >exit-code\""));
    // Its first page tells its thread: the wizard's cases run one at a time, and no other test
    // shows that page.
    DWORD dwThreadId = 0, dwProcessId = 0;
    for (int nWait = 0; !dwThreadId && nWait < 3000; ++nWait, ::Sleep(10))
        for (HWND hWnd = nullptr; !dwThreadId && (hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", nullptr));)
            dwThreadId = ::GetDlgItem(hWnd, IDC_APPWIZARD_FILES) ? ::GetWindowThreadProcessId(hWnd, &dwProcessId) : 0;
    EXPECT_NE(dwThreadId, 0u) << "the program did not start";
    ProgramEnd end{Walk(std::move(steps), dwThreadId), std::nullopt};
    if (during) {
        std::shared_ptr<void> process(::OpenProcess(PROCESS_TERMINATE, FALSE, dwProcessId), ::CloseHandle);
        during(process.get());
    }
    for (int nWait = 0; !end.exitCode && nWait < 1000; ++nWait, ::Sleep(10))
        end.exitCode = package.Read("exit-code");
    return end;
}

// Steps that install the first component into the folder, with the question answered "Да".
std::vector<Step> InstallInto(const CString& folder)
{
    return {kOK, Press(IDOK, IDC_VC_PATH, folder.Str()), kOK};
}

// Cancelled on its first page, the program tells whoever started it that it was aborted.
TEST(Program, SaysItWasAbortedInItsExitCode)
{
    CTestFolder package;
    ProgramEnd end = RunProgram(package, "Ombrix.exe", "", {kEscape, kOK});
    EXPECT_EQ(end.seen, (Strings{"Ombrix first next", "Ombrix: " + std::string(Messages::kAborted)}));
    EXPECT_EQ(end.exitCode, "2\n");
}

// A copy from another file system over an older file, on a full disk: the file-size limit
// (its signal ignored, so the run survives to clean up) falls within the copy's last write,
// which is cut short. A copy under another name titles its notices with that name.
TEST(Program, FailsACopyCutWithinAWriteWholeAndSaysSoInItsExitCode)
{
    CTestFolder folder, package(true);
    package.Write("VC7\\big.dll", std::string(8 << 20, 'x'));
    folder.Write("vc\\big.dll", "old");
    std::vector<Step> steps = InstallInto(folder.Path("vc"));
    steps.insert(steps.end(), {kOK, kOK});
    ProgramEnd end = RunProgram(package, "Установщик.exe", "trap '' XFSZ && prlimit --fsize=8387608", steps);
    // Its icon handles are its own, so they cannot be compared from here.
    EXPECT_EQ(end.seen, (Strings{"Ombrix first next", "on on off off", "VC", "SYSTEM",
                                 "Подтверждение замены: " + Messages::ReplaceQuestion(folder.Path("vc\\big.dll")).Str(),
                                 "Установщик: " + Messages::CannotMove(package.Path("VC7\\big.dll"),
                                                                       folder.Path("vc\\big.dll")).Str(),
                                 "Ombrix: " + std::string(Messages::kProblems)}));
    EXPECT_EQ(end.exitCode, "1\n");
    EXPECT_EQ(folder.List("vc"), Strings{"big.dll"});
    EXPECT_EQ(folder.Read("vc\\big.dll"), "old");
    EXPECT_EQ(package.Read("VC7\\big.dll"), std::string(8 << 20, 'x'));
}

// Killed while it copies a large file from another file system, the program leaves no part of
// it: the system removes the temporary copy with the program's handles. The next run removes
// what a power cut would have left, installs, and loads none of the DLLs put beside it under the
// names Wine loads on demand, though Windows' order (the program's folder first) is forced.
TEST(Program, KilledMidCopyLeavesNothingAndTheNextRunLoadsNoDllFromItsFolder)
{
    CTestFolder folder, package(true);
    const std::string big(64 << 20, 'b');
    package.Write("VC7\\big.dll", big);
    folder.Write("vc\\big.dll", "old");
    RunProgram(package, "Ombrix.exe", "", InstallInto(folder.Path("vc")), [&](HANDLE hProcess) {
        for (int nWait = 0; folder.List("vc").size() < 2 && nWait < 10000; ++nWait)
            ::Sleep(1);
        EXPECT_EQ(folder.List("vc").size(), 2u) << "no temporary copy seen";
        ::TerminateProcess(hProcess, 9);
    });
    for (int nWait = 0; folder.List("vc").size() > 1 && nWait < 200; ++nWait)
        ::Sleep(10);
    EXPECT_EQ(folder.List("vc"), Strings{"big.dll"});
    EXPECT_EQ(folder.Read("vc\\big.dll"), "old");
    EXPECT_EQ(package.Read("VC7\\big.dll"), big);

    folder.Write("vc\\~ombrix-0000abcd.tmp", "fragment");
    const std::wstring planted = BuiltProgramPath().substr(0, BuiltProgramPath().rfind(L'\\')) + L"\\tests\\ombrix_planted.dll";
    for (const char* pszName : {"uxtheme", "ole32", "combase", "rpcrt4"})
        ::CopyFileW(planted.c_str(), Widen(package.Path(pszName + std::string(".dll"))).c_str(), FALSE);
    std::vector<Step> steps = InstallInto(folder.Path("vc"));
    steps.push_back(kOK);
    ProgramEnd end = RunProgram(package, "Ombrix.exe", "WINEDLLOVERRIDES='uxtheme,ole32,combase,rpcrt4=n,b'", steps);
    EXPECT_EQ(end.seen.back(), "Ombrix: " + std::string(Messages::kSuccess));
    EXPECT_EQ(end.exitCode, "0\n");
    EXPECT_EQ(folder.List("vc"), Strings{"big.dll"});
    EXPECT_EQ(folder.Read("vc\\big.dll"), big);
    EXPECT_EQ(package.List(), (Strings{"Ombrix.exe", "combase.dll", "exit-code", "ole32.dll", "rpcrt4.dll", "uxtheme.dll"}));
}

// ---- the long-path rule every path passes ----

// Pure: Wine has no 260-character limit, so only the function itself can show the rule. Each
// row: the path, its absolute form, what Windows' file functions get.
TEST(LongPath, GetsThePrefixOnlyBeyondTheClassicLimit)
{
    const std::wstring x244 = L"C:\\" + std::wstring(244, L'x'), x245 = x244 + L"x";
    const std::wstring kLong = L"C:\\" + std::wstring(250, L'L'), unc = L"\\\\server\\share\\" + std::wstring(250, L'u');
    for (const auto& [path, full, expected] : std::vector<std::array<std::wstring, 3>>{
             {L"a\\b", L"C:\\w\\a\\b", L"a\\b"}, {x244, x244, x244}, {x245, x245, L"\\\\?\\" + x245},
             {L"sub\\..\\\\long", kLong, L"\\\\?\\" + kLong}, {unc, unc, L"\\\\?\\UNC" + unc.substr(1)},
             {L"\\\\?\\C:\\x", L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"}})
        EXPECT_EQ(AfxLongPath(path, full), expected) << Narrow(path.c_str()).Str();
}

}  // namespace
