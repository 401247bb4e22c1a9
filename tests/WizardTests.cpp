// The wizard through its real windows: both pages and the page flow, the default paths from
// the prefix's registry, the resources as users meet them, and the program as a process.
#include <gtest/gtest.h>

#include <memory>

#include "ComponentsDlg.h"
#include "Messages.h"
#include "PathsDlg.h"
#include "TestWorld.h"
#include "WindowDriver.h"
#include "resource.h"

namespace {

using Step = CUiDriver::Handler;
using Strings = std::vector<std::string>;

// Takes the steps in order, one per window; a window beyond the last is noted and cancelled.
CUiDriver::Handler InOrder(std::vector<Step> steps, Strings* pUnexpected)
{
    auto next = std::make_shared<size_t>(0);
    return [steps = std::move(steps), next, pUnexpected](CWindowProbe& window) {
        if (*next < steps.size())
            return steps[(*next)++](window);
        pUnexpected->push_back(window.Caption() + ": " + window.MessageText());
        if (!window.Click(IDCANCEL))
            window.Click(IDOK);
    };
}

// A step on the components page: tick the boxes as asked, then "Далее >>".
Step Choose(bool bFirst, bool bSecond)
{
    return [=](CWindowProbe& page) {
        if (page.IsChecked(IDC_APPWIZARD_FILES) != bFirst)
            page.ClickNow(IDC_APPWIZARD_FILES);
        if (page.IsChecked(IDC_MFC_FILES) != bSecond)
            page.ClickNow(IDC_MFC_FILES);
        page.Click(IDOK);
    };
}

// The components page run modally as the application's main window, answered step by step.
class Wizard : public ::testing::Test
{
protected:
    void SetUp() override { AfxGetApp()->m_pMainWnd = &m_page; }
    void TearDown() override { AfxGetApp()->m_pMainWnd = nullptr; }

    INT_PTR Run(std::vector<Step> steps)
    {
        Strings unexpected;
        CUiDriver driver(InOrder(std::move(steps), &unexpected));
        INT_PTR nResult = m_page.DoModal();
        driver.Stop();
        EXPECT_EQ(unexpected, Strings{});
        return nResult;
    }

    // A step that keeps the text of the message box it acknowledges, and whether it is an error.
    Step Box()
    {
        return [this](CWindowProbe& box) {
            m_boxes.push_back(box.MessageText() + (box.MessageIcon() == MB_ICONERROR ? " (error)" : ""));
            box.Click(IDOK);
        };
    }

    CComponentsDlg m_page;
    Strings m_boxes;
    const std::string kAbortedBox = std::string(Messages::kAborted) + " (error)";
};

TEST_F(Wizard, StartsWithTheFirstComponentAndEnablesNextWhileOneIsTicked)
{
    std::vector<bool> seen;
    LRESULT bigIcon = 0, dragIcon = 0;
    Run({[&](CWindowProbe& page) {
             seen = {page.Caption() == Messages::kCaption, page.IsChecked(IDC_APPWIZARD_FILES),
                     page.IsChecked(IDC_MFC_FILES), page.Click(IDC_BACK), page.IsEnabled(IDOK)};
             bigIcon = ::SendMessageW(page.Handle(), WM_GETICON, ICON_BIG, 0);
             dragIcon = ::SendMessageW(page.Handle(), WM_QUERYDRAGICON, 0, 0);
             // Each click toggles one box: none, second, both, first, none, first.
             for (int nID : {IDC_APPWIZARD_FILES, IDC_MFC_FILES, IDC_APPWIZARD_FILES, IDC_MFC_FILES,
                             IDC_APPWIZARD_FILES, IDC_APPWIZARD_FILES}) {
                 page.ClickNow(nID);
                 seen.push_back(page.IsEnabled(IDOK));
             }
             page.Click(IDCANCEL);
         },
         Box()});
    EXPECT_EQ(seen, (std::vector<bool>{true, true, false, false, true, false, true, true, true, false, true}));
    EXPECT_NE(bigIcon, 0);
    EXPECT_EQ(dragIcon, bigIcon);
    EXPECT_EQ(m_boxes, Strings{kAbortedBox});
}

class WizardCancel : public Wizard, public ::testing::WithParamInterface<std::pair<const char*, Step>> {};

TEST_P(WizardCancel, OnEitherPageShowsTheAbortOnceAndMovesNothing)
{
    CTestFolder folder;
    folder.Write("pkg\\VC7\\a.txt", "a");
    CCurrentDirectory current(folder.Path("pkg"));
    EXPECT_EQ(Run({GetParam().second, Box()}), IDCANCEL);
    EXPECT_EQ(Run({Choose(true, true), GetParam().second, Box()}), IDCANCEL);
    EXPECT_EQ(m_boxes, Strings(2, kAbortedBox));
    EXPECT_EQ(folder.List(), (Strings{"pkg\\", "pkg\\VC7\\", "pkg\\VC7\\a.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardCancel, ::testing::Values(
    std::pair<const char*, Step>{"Button", [](CWindowProbe& w) { w.Click(IDCANCEL); }},
    std::pair<const char*, Step>{"Escape", [](CWindowProbe& w) { w.PressKey(VK_ESCAPE); }},
    std::pair<const char*, Step>{"CloseBox", [](CWindowProbe& w) { w.Close(); }}),
    [](const auto& info) { return std::string(info.param.first); });

class PathsPage : public Wizard, public ::testing::WithParamInterface<std::pair<bool, bool>> {};

// The field of an unchosen component is greyed out; the focus is in the first chosen field,
// its text selected as the dialog manager does when it moves the focus there.
TEST_P(PathsPage, GreysOutTheUnchosenFieldAndStartsInTheFirstChosen)
{
    auto [bFirst, bSecond] = GetParam();
    std::vector<bool> seen;
    Strings texts;
    DWORD_PTR selection = 0;
    Run({Choose(bFirst, bSecond),
         [&](CWindowProbe& paths) {
             seen = {paths.IsEnabled(IDC_VC_PATH), paths.IsEnabled(IDC_VC_LABEL), paths.IsEnabled(IDC_SYSTEM_PATH),
                     paths.IsEnabled(IDC_SYSTEM_LABEL), ::IsWindowVisible(m_page.m_hWnd) != FALSE,
                     paths.FocusID() == (bFirst ? IDC_VC_PATH : IDC_SYSTEM_PATH)};
             texts = {paths.Text(IDC_VC_PATH), paths.Text(IDC_SYSTEM_PATH)};
             selection = CWindowProbe::Send(::GetDlgItem(paths.Handle(), bFirst ? IDC_VC_PATH : IDC_SYSTEM_PATH), EM_GETSEL);
             paths.Click(IDCANCEL);
         },
         Box()});
    EXPECT_EQ(seen, (std::vector<bool>{bFirst, bFirst, bSecond, bSecond, false, true}));
    CString vcDefault, systemDefault;
    LoadDefaultPaths(vcDefault, systemDefault);
    EXPECT_EQ(texts, (Strings{vcDefault.Str(), systemDefault.Str()}));
    EXPECT_EQ(selection, MAKELONG(0, Widen(bFirst ? vcDefault : systemDefault).size()));
}

INSTANTIATE_TEST_SUITE_P(Choices, PathsPage,
                         ::testing::Values(std::pair{true, false}, std::pair{false, true}, std::pair{true, true}));

TEST_F(Wizard, BackKeepsTheChoicesAndForgetsTheEdits)
{
    std::vector<bool> kept;
    std::string vcAfterBack;
    Run({Choose(true, true),
         [](CWindowProbe& paths) {
             paths.SetText(IDC_VC_PATH, "X:\\edited");
             paths.Click(IDC_BACK);
         },
         [&](CWindowProbe& page) {
             kept = {page.IsChecked(IDC_APPWIZARD_FILES), page.IsChecked(IDC_MFC_FILES)};
             Choose(false, true)(page);
         },
         [&](CWindowProbe& paths) {
             vcAfterBack = paths.Text(IDC_VC_PATH);
             kept.push_back(paths.IsEnabled(IDC_VC_PATH));
             paths.Click(IDCANCEL);
         },
         Box()});
    EXPECT_EQ(kept, (std::vector<bool>{true, true, false}));
    CString vcDefault, systemDefault;
    LoadDefaultPaths(vcDefault, systemDefault);
    EXPECT_EQ(vcAfterBack, vcDefault.Str());
}

TEST_F(Wizard, NextWithABlankFieldForAChosenComponentAsksForAPath)
{
    int nFocus = 0;
    Run({Choose(true, true),
         [](CWindowProbe& paths) {
             paths.SetText(IDC_SYSTEM_PATH, " \t ");
             paths.Click(IDOK);
         },
         Box(),
         [&](CWindowProbe& paths) {
             nFocus = paths.FocusID();
             paths.Click(IDCANCEL);
         },
         Box()});
    EXPECT_EQ(m_boxes, (Strings{Messages::kNoPath, kAbortedBox}));
    EXPECT_EQ(nFocus, IDC_SYSTEM_PATH);
}

// ---- the default paths ----

struct RecordCase
{
    const char* name;
    std::optional<DWORD> type;     // none: no key at all
    std::wstring value;
    int nDropBytes;                // cut off the value's end, terminating zero first
    std::string offered;           // "*": the default below the system drive
};

class DefaultVcPath : public ::testing::TestWithParam<RecordCase>
{
protected:
    void TearDown() override { SetVcRecord(std::nullopt); }
};

TEST_P(DefaultVcPath, TakesTheRecordedDirectoryOrTheDefault)
{
    const RecordCase& c = GetParam();
    std::string bytes(reinterpret_cast<const char*>(c.value.c_str()), (c.value.size() + 1) * sizeof(wchar_t));
    SetVcRecord(c.type, bytes.substr(0, bytes.size() - static_cast<size_t>(c.nDropBytes)));
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    CString vcPath, systemPath;
    LoadDefaultPaths(vcPath, systemPath);
    EXPECT_EQ(vcPath.Str(), c.offered != "*" ? c.offered : Narrow(system).Left(1).Str() +
                            ":\\Program Files\\Microsoft Visual Studio .NET 2003\\Vc7");
    EXPECT_EQ(systemPath, Narrow(system));
}

INSTANTIATE_TEST_SUITE_P(Records, DefaultVcPath, ::testing::Values(
    RecordCase{"NoKey", std::nullopt, L"", 0, "*"},
    RecordCase{"NoValue", REG_NONE, L"", 0, "*"},
    RecordCase{"Empty", REG_SZ, L"", 0, "*"},
    RecordCase{"TrailingBackslashDropped", REG_SZ, L"E:\\VS\\Vc7\\", 0, "E:\\VS\\Vc7"},
    RecordCase{"NoTrailingBackslashKeptWhole", REG_SZ, L"E:\\VS\\Vc7", 0, "E:\\VS\\Vc7"},
    RecordCase{"SingleBackslashLeavesNothing", REG_SZ, L"\\", 0, ""},
    RecordCase{"NoTerminatingZero", REG_SZ, L"E:\\Студия\\", 2, "E:\\Студия"},
    RecordCase{"OddByteCount", REG_SZ, L"E:\\VS\\", 3, "E:\\VS"},
    RecordCase{"ExpandableIsExpanded", REG_EXPAND_SZ, L"%SystemDrive%\\VS\\Vc7\\", 0, "C:\\VS\\Vc7"},
    RecordCase{"NumberIsNoPath", REG_DWORD, L"E:", 0, "*"},
    RecordCase{"LongerThan255IsReadWhole", REG_SZ, L"E:\\" + std::wstring(300, L'д') + L"\\", 0,
               "E:\\" + Narrow(std::wstring(300, L'д').c_str()).Str()}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the program itself ----

TEST(Resources, AreRussianAndAskForAdministratorRights)
{
    HMODULE hProgram = ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(hProgram);
    const WORD russian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
    for (int nID : {IDD_COMPONENTS, IDD_PATHS, IDD_REPLACE})
        EXPECT_TRUE(::FindResourceExW(hProgram, RT_DIALOG, MAKEINTRESOURCEW(nID), russian)) << nID;
    EXPECT_TRUE(::FindResourceExW(hProgram, RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_MAIN), russian));
    HRSRC hManifest = ::FindResourceW(hProgram, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_TRUE(hManifest);
    std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(hProgram, hManifest))),
                         ::SizeofResource(hProgram, hManifest));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    ::FreeLibrary(hProgram);
}

// Started as its own process: the recorded directory is offered, an edited path is used, the
// first page stays hidden under the summary, and a notice carries the program's title.
TEST(Program, InstallsAPackageThroughItsWindows)
{
    CTestFolder folder;
    folder.Write("pkg\\VC7\\VCWizards\\wizard.js", "new wizard");
    folder.Write("pkg\\VC7\\readme.txt", "new readme");
    folder.Write("pkg\\System\\busy.dll", "busy");
    folder.Write("vc\\readme.txt", "old readme");
    std::wstring vcDir = Widen(folder.Path("vc\\"));
    SetVcRecord(REG_SZ, std::string(reinterpret_cast<const char*>(vcDir.c_str()), (vcDir.size() + 1) * 2));
    HANDLE hBusy = ::CreateFileW(Widen(folder.Path("pkg\\System\\busy.dll")).c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);

    CProgram program(BuiltProgramPath(), Widen(folder.Path("pkg")));
    HWND hFirstPage = nullptr;
    Strings seen, unexpected;
    Step box = [&](CWindowProbe& window) {
        bool bFirstPageShown = ::IsWindowVisible(hFirstPage);
        seen.push_back(window.Caption() + ": " + window.MessageText() + (bFirstPageShown ? " (first page shown)" : ""));
        window.Click(IDOK);
    };
    CUiDriver driver(InOrder({[&](CWindowProbe& page) {
                                  hFirstPage = page.Handle();
                                  page.ClickNow(IDC_MFC_FILES);
                                  page.Click(IDOK);
                              },
                              [&](CWindowProbe& paths) {
                                  seen.push_back(paths.Text(IDC_VC_PATH));
                                  paths.SetText(IDC_SYSTEM_PATH, folder.Path("system").Str());
                                  paths.Click(IDOK);
                              },
                              box, box, box},
                             &unexpected),
                     program.ThreadId());
    long nExitCode = program.Wait(60000);
    driver.Stop();
    ::CloseHandle(hBusy);
    SetVcRecord(std::nullopt);

    EXPECT_EQ(nExitCode, 0);
    EXPECT_EQ(unexpected, Strings{});
    EXPECT_EQ(seen, (Strings{folder.Path("vc").Str(),
                             "Подтверждение замены: " + Messages::ReplaceQuestion(folder.Path("vc\\readme.txt")).Str(),
                             "Ombrix: " + Messages::CannotMove(folder.Path("pkg\\System\\busy.dll"),
                                                               folder.Path("system\\busy.dll")).Str(),
                             std::string("Ombrix: ") + Messages::kProblems}));
    EXPECT_EQ(folder.Read("vc\\readme.txt"), "new readme");
    EXPECT_EQ(folder.Read("vc\\VCWizards\\wizard.js"), "new wizard");
    EXPECT_EQ(folder.List("pkg"), (Strings{"System\\", "System\\busy.dll"}));
}

}  // namespace
