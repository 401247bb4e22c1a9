// The wizard through its real windows: both pages and the page flow, the default paths from
// the prefix's registry, the resources as users meet them, and the program as a process.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "ComponentsDlg.h"
#include "Messages.h"
#include "PathsDlg.h"
#include "TestWorld.h"
#include "WindowDriver.h"
#include "resource.h"

namespace {

using Step = CUiDriver::Handler;

// Takes the steps in order, one per window; a window beyond the last step is noted and cancelled.
CUiDriver::Handler InOrder(std::vector<Step> steps, std::vector<std::string>* pUnexpected)
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

// The components page run modally as the application's main window, answered step by step.
class Wizard : public ::testing::Test
{
protected:
    void SetUp() override { AfxGetApp()->m_pMainWnd = &m_page; }
    void TearDown() override { AfxGetApp()->m_pMainWnd = nullptr; }

    INT_PTR Run(std::vector<Step> steps)
    {
        CUiDriver driver(InOrder(std::move(steps), &m_unexpected));
        INT_PTR nResult = m_page.DoModal();
        driver.Stop();
        EXPECT_EQ(m_unexpected, std::vector<std::string>{});
        return nResult;
    }

    // A step that keeps the text and icon of the message box it acknowledges.
    Step Box()
    {
        return [this](CWindowProbe& box) {
            m_boxes.push_back(box.MessageText() + (box.MessageIcon() == MB_ICONERROR ? " (error)" : ""));
            box.Click(IDOK);
        };
    }

    // A step on the components page: tick the boxes as asked, then "Далее >>".
    static Step Choose(bool bFirst, bool bSecond)
    {
        return [=](CWindowProbe& page) {
            if (page.IsChecked(IDC_APPWIZARD_FILES) != bFirst)
                page.ClickNow(IDC_APPWIZARD_FILES);
            if (page.IsChecked(IDC_MFC_FILES) != bSecond)
                page.ClickNow(IDC_MFC_FILES);
            page.Click(IDOK);
        };
    }

    CComponentsDlg m_page;
    std::vector<std::string> m_boxes;
    std::vector<std::string> m_unexpected;
    const std::string kAbortedBox = std::string(Messages::kAborted) + " (error)";
};

TEST_F(Wizard, StartsWithTheFirstComponentAndEnablesNextWhileOneIsTicked)
{
    std::vector<bool> seen;
    bool bBackClicked = true;
    LRESULT bigIcon = 0, dragIcon = 0;
    Run({[&](CWindowProbe& page) {
             seen = {page.Caption() == Messages::kCaption, page.IsChecked(IDC_APPWIZARD_FILES),
                     page.IsChecked(IDC_MFC_FILES), page.IsEnabled(IDOK)};
             bBackClicked = page.Click(IDC_BACK);
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
    EXPECT_EQ(seen, (std::vector<bool>{true, true, false, true, false, true, true, true, false, true}));
    EXPECT_FALSE(bBackClicked);
    EXPECT_NE(bigIcon, 0);
    EXPECT_EQ(dragIcon, bigIcon);
    EXPECT_EQ(m_boxes, std::vector<std::string>{kAbortedBox});
}

class WizardCancel : public Wizard, public ::testing::WithParamInterface<std::pair<const char*, Step>> {};

TEST_P(WizardCancel, OnEitherPageShowsTheAbortOnceAndMovesNothing)
{
    CTestFolder folder;
    folder.Write("pkg\\VC7\\a.txt", "a");
    CCurrentDirectory current(folder.Path("pkg"));
    EXPECT_EQ(Run({GetParam().second, Box()}), IDCANCEL);
    EXPECT_EQ(Run({Choose(true, true), GetParam().second, Box()}), IDCANCEL);
    EXPECT_EQ(m_boxes, std::vector<std::string>(2, kAbortedBox));
    EXPECT_EQ(folder.List(), (std::vector<std::string>{"pkg\\", "pkg\\VC7\\", "pkg\\VC7\\a.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardCancel, ::testing::Values(
    std::pair<const char*, Step>{"Button", [](CWindowProbe& w) { w.Click(IDCANCEL); }},
    std::pair<const char*, Step>{"Escape", [](CWindowProbe& w) { w.PressKey(VK_ESCAPE); }},
    std::pair<const char*, Step>{"CloseBox", [](CWindowProbe& w) { w.Close(); }}),
    [](const auto& info) { return std::string(info.param.first); });

class PathsPage : public Wizard, public ::testing::WithParamInterface<std::pair<bool, bool>> {};

// The field of an unchosen component is greyed out; the focus, with the text selected as the
// dialog manager does when it moves there, is in the first chosen field.
TEST_P(PathsPage, GreysOutTheUnchosenFieldAndStartsInTheFirstChosen)
{
    auto [bFirst, bSecond] = GetParam();
    std::vector<bool> enabled;
    int nFocus = 0;
    DWORD dwSelection = 0;
    std::string vcText, systemText, visible;
    Run({Choose(bFirst, bSecond),
         [&](CWindowProbe& paths) {
             enabled = {paths.IsEnabled(IDC_VC_PATH), paths.IsEnabled(IDC_VC_LABEL), paths.IsEnabled(IDC_SYSTEM_PATH),
                        paths.IsEnabled(IDC_SYSTEM_LABEL), ::IsWindowVisible(m_page.m_hWnd) != FALSE};
             nFocus = paths.FocusID();
             dwSelection = static_cast<DWORD>(::SendMessageW(::GetDlgItem(paths.Handle(), nFocus), EM_GETSEL, 0, 0));
             vcText = paths.Text(IDC_VC_PATH);
             systemText = paths.Text(IDC_SYSTEM_PATH);
             paths.Click(IDCANCEL);
         },
         Box()});
    EXPECT_EQ(enabled, (std::vector<bool>{bFirst, bFirst, bSecond, bSecond, false}));
    EXPECT_EQ(nFocus, bFirst ? IDC_VC_PATH : IDC_SYSTEM_PATH);
    std::string focused = bFirst ? vcText : systemText;
    EXPECT_EQ(dwSelection, MAKELONG(0, CString(focused).GetLength() ? Widen(focused).size() : 0));
    CString vcDefault, systemDefault;
    LoadDefaultPaths(vcDefault, systemDefault);
    EXPECT_EQ(vcText, vcDefault.Str());
    EXPECT_EQ(systemText, systemDefault.Str());
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

TEST_F(Wizard, NextInstallsIntoTheEditedPathsAndNeverShowsTheFirstPageAgain)
{
    CTestFolder folder;
    folder.Write("pkg\\VC7\\Wizards\\a.js", "a");
    folder.Write("pkg\\System\\b.dll", "b");
    CCurrentDirectory current(folder.Path("pkg"));
    bool bFirstPageShownWithSummary = true;
    EXPECT_EQ(Run({Choose(true, true),
                   [&](CWindowProbe& paths) {
                       paths.SetText(IDC_VC_PATH, folder.Path("Правка VC").Str());
                       paths.SetText(IDC_SYSTEM_PATH, folder.Path("sys").Str());
                       paths.Click(IDOK);
                   },
                   [&](CWindowProbe& box) {
                       bFirstPageShownWithSummary = ::IsWindowVisible(m_page.m_hWnd);
                       Box()(box);
                   }}),
              IDOK);
    EXPECT_FALSE(bFirstPageShownWithSummary);
    EXPECT_EQ(m_boxes, std::vector<std::string>{Messages::kSuccess});
    EXPECT_EQ(folder.List(), (std::vector<std::string>{"pkg\\", "sys\\", "sys\\b.dll", "Правка VC\\",
                                                       "Правка VC\\Wizards\\", "Правка VC\\Wizards\\a.js"}));
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
    EXPECT_EQ(m_boxes, (std::vector<std::string>{Messages::kNoPath, kAbortedBox}));
    EXPECT_EQ(nFocus, IDC_SYSTEM_PATH);
}

// ---- the default paths ----

struct RecordCase
{
    const char* name;
    std::optional<DWORD> type;     // none: no key at all
    std::wstring value;
    int nDropBytes;                // bytes cut off the value's end, terminating zero first
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
    EXPECT_EQ(vcPath.Str(), c.offered == "*" ? Narrow(system).Left(1).Str() +
                                                    ":\\Program Files\\Microsoft Visual Studio .NET 2003\\Vc7"
                                              : c.offered);
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

// ---- the resources, as users meet them ----

TEST(Resources, AreRussianAndAskForAdministratorRights)
{
    HMODULE hProgram = ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(hProgram);
    for (int nID : {IDD_COMPONENTS, IDD_PATHS, IDD_REPLACE})
        EXPECT_TRUE(::FindResourceExW(hProgram, RT_DIALOG, MAKEINTRESOURCEW(nID), MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)))
            << nID;
    EXPECT_TRUE(::FindResourceExW(hProgram, RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_MAIN),
                                  MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)));
    HRSRC hManifest = ::FindResourceW(hProgram, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_TRUE(hManifest);
    std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(hProgram, hManifest))),
                         ::SizeofResource(hProgram, hManifest));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    ::FreeLibrary(hProgram);
}

TEST_F(Wizard, TabGoesThroughThePathsPageInReadingOrder)
{
    std::vector<int> order;
    Run({Choose(true, true),
         [&](CWindowProbe& paths) {
             for (int nTab = 0; nTab < 5; ++nTab) {
                 order.push_back(paths.FocusID());
                 paths.PressKey(VK_TAB);
                 ::Sleep(50);
             }
             paths.Click(IDCANCEL);
         },
         Box()});
    EXPECT_EQ(order, (std::vector<int>{IDC_VC_PATH, IDC_SYSTEM_PATH, IDC_BACK, IDOK, IDCANCEL}));
}

// ---- the program itself ----

TEST(Program, InstallsAPackageThroughItsWindows)
{
    CTestFolder folder;
    folder.Write("pkg\\VC7\\VCWizards\\wizard.js", "new wizard");
    folder.Write("pkg\\VC7\\readme.txt", "new readme");
    folder.Write("pkg\\System\\busy.dll", "busy");
    folder.Write("vc\\readme.txt", "old readme");
    // The Visual C++ directory as its setup records it, with the trailing backslash.
    std::wstring vcDir = Widen(folder.Path("vc\\"));
    SetVcRecord(REG_SZ, std::string(reinterpret_cast<const char*>(vcDir.c_str()), (vcDir.size() + 1) * 2));
    // Held open without delete sharing, so the program cannot move it and must say so.
    HANDLE hBusy = ::CreateFileW(Widen(folder.Path("pkg\\System\\busy.dll")).c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);

    CProgram program(BuiltProgramPath(), Widen(folder.Path("pkg")));
    std::vector<std::string> seen, unexpected;
    CUiDriver driver(InOrder({[](CWindowProbe& page) {
                                  page.ClickNow(IDC_MFC_FILES);
                                  page.Click(IDOK);
                              },
                              [&](CWindowProbe& paths) {
                                  seen.push_back(paths.Text(IDC_VC_PATH));
                                  paths.SetText(IDC_SYSTEM_PATH, folder.Path("system").Str());
                                  paths.Click(IDOK);
                              },
                              [&](CWindowProbe& window) {
                                  seen.push_back(window.Caption() + ": " + window.MessageText());
                                  window.Click(IDOK);
                              },
                              [&](CWindowProbe& box) {
                                  seen.push_back(box.Caption() + ": " + box.MessageText());
                                  box.Click(IDOK);
                              },
                              [&](CWindowProbe& box) {
                                  seen.push_back(box.MessageText());
                                  box.Click(IDOK);
                              }},
                             &unexpected),
                     program.ThreadId());
    long nExitCode = program.Wait(60000);
    driver.Stop();
    ::CloseHandle(hBusy);
    SetVcRecord(std::nullopt);

    EXPECT_EQ(nExitCode, 0);
    EXPECT_EQ(unexpected, std::vector<std::string>{});
    // The notice's caption is the application title, taken from the program's file name.
    EXPECT_EQ(seen, (std::vector<std::string>{
                        folder.Path("vc").Str(),
                        "Подтверждение замены: " + Messages::ReplaceQuestion(folder.Path("vc\\readme.txt")).Str(),
                        "Ombrix: " + Messages::CannotMove(folder.Path("pkg\\System\\busy.dll"),
                                                          folder.Path("system\\busy.dll")).Str(),
                        Messages::kProblems}));
    EXPECT_EQ(folder.Read("vc\\readme.txt"), "new readme");
    EXPECT_EQ(folder.Read("vc\\VCWizards\\wizard.js"), "new wizard");
    EXPECT_EQ(folder.List("pkg"), (std::vector<std::string>{"System\\", "System\\busy.dll"}));
}

}  // namespace
