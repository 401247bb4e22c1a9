// The wizard through its real windows: the components page, the paths page, the page flow
// between them, and the whole program started as a process of its own.
#include <gtest/gtest.h>

#include "ComponentsDlg.h"
#include "PathsDlg.h"
#include "TestFolder.h"
#include "UiDriver.h"
#include "resource.h"

namespace {

using Step = CUiDriver::Handler;

const char* const kAborted = "Установка была прервана.";
const char* const kSuccess = "Установка успешно завершена.";

// The components page, run modally as the application's main window, answered step by step.
class Wizard : public ::testing::Test
{
protected:
    void SetUp() override { AfxGetApp()->m_pMainWnd = &m_page; }
    void TearDown() override { AfxGetApp()->m_pMainWnd = nullptr; }

    INT_PTR Run(std::vector<Step> steps)
    {
        CUiDriver driver(CUiDriver::InOrder(std::move(steps), &m_unexpected));
        INT_PTR nResult = m_page.DoModal();
        driver.Stop();
        return nResult;
    }

    // A step that keeps the message box it answers.
    Step Box()
    {
        return [this](CWindowProbe& box) { m_boxes.push_back(AcknowledgeBox(box)); };
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

    void ExpectOneAbort()
    {
        ASSERT_EQ(m_boxes.size(), 1u);
        EXPECT_EQ(m_boxes[0].text, kAborted);
        EXPECT_EQ(m_boxes[0].caption, "Ombrix");
        EXPECT_EQ(m_boxes[0].icon, static_cast<UINT>(MB_ICONERROR));
        EXPECT_TRUE(m_unexpected.empty()) << m_unexpected[0];
    }

    CComponentsDlg m_page;
    std::vector<SeenBox> m_boxes;
    std::vector<std::string> m_unexpected;
};

TEST_F(Wizard, StartsWithTheFirstComponentAndNoWayBack)
{
    bool bFirst = false, bSecond = true, bNext = false, bBackClicked = true;
    LRESULT bigIcon = 0, dragIcon = 0;
    std::string caption;
    EXPECT_EQ(Run({[&](CWindowProbe& page) {
                       caption = page.Caption();
                       bFirst = page.IsChecked(IDC_APPWIZARD_FILES);
                       bSecond = page.IsChecked(IDC_MFC_FILES);
                       bNext = page.IsEnabled(IDOK);
                       bBackClicked = page.Click(IDC_BACK);
                       bigIcon = ::SendMessageW(page.Handle(), WM_GETICON, ICON_BIG, 0);
                       dragIcon = ::SendMessageW(page.Handle(), WM_QUERYDRAGICON, 0, 0);
                       page.Click(IDCANCEL);
                   },
                   Box()}),
              IDCANCEL);
    EXPECT_EQ(caption, "Ombrix");
    EXPECT_TRUE(bFirst);
    EXPECT_FALSE(bSecond);
    EXPECT_TRUE(bNext);
    EXPECT_FALSE(bBackClicked);
    EXPECT_NE(bigIcon, 0);
    EXPECT_EQ(dragIcon, bigIcon);
    ExpectOneAbort();
}

TEST_F(Wizard, NextIsEnabledExactlyWhileAComponentIsTicked)
{
    // Each click toggles one box; the states run through every combination.
    const struct { int nID; bool bNextEnabled; } clicks[] = {
        {IDC_APPWIZARD_FILES, false}, {IDC_MFC_FILES, true}, {IDC_APPWIZARD_FILES, true},
        {IDC_MFC_FILES, true}, {IDC_APPWIZARD_FILES, false}, {IDC_APPWIZARD_FILES, true}};
    std::vector<bool> seen;
    Run({[&](CWindowProbe& page) {
             for (const auto& click : clicks) {
                 page.ClickNow(click.nID);
                 seen.push_back(page.IsEnabled(IDOK));
             }
             page.Click(IDCANCEL);
         },
         Box()});
    ASSERT_EQ(seen.size(), std::size(clicks));
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], clicks[i].bNextEnabled) << "after click " << i;
}

struct CancelCase
{
    const char* name;
    std::function<void(CWindowProbe&)> cancel;
};

class WizardCancel : public Wizard, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(WizardCancel, OnTheFirstPageShowsTheAbortOnce)
{
    EXPECT_EQ(Run({GetParam().cancel, Box()}), IDCANCEL);
    ExpectOneAbort();
}

TEST_P(WizardCancel, OnThePathsPageShowsTheAbortOnceAndMovesNothing)
{
    CTestFolder folder;
    folder.Write("pkg\\VC7\\a.txt", "a");
    {
        CCurrentDirectory current(folder.Path("pkg"));
        EXPECT_EQ(Run({Choose(true, true), GetParam().cancel, Box()}), IDCANCEL);
    }
    ExpectOneAbort();
    EXPECT_EQ(folder.List(), (std::vector<std::string>{"pkg\\", "pkg\\VC7\\", "pkg\\VC7\\a.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardCancel, ::testing::Values(
    CancelCase{"Button", [](CWindowProbe& w) { w.Click(IDCANCEL); }},
    CancelCase{"Escape", [](CWindowProbe& w) { w.PressKey(VK_ESCAPE); }},
    CancelCase{"CloseBox", [](CWindowProbe& w) { w.Close(); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct ChoiceCase
{
    const char* name;
    bool bFirst, bSecond;
    int nFocusID;
};

class PathsPage : public Wizard, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(PathsPage, GreysOutTheUnchosenFieldAndFocusesTheFirstChosen)
{
    const ChoiceCase& c = GetParam();
    bool bVc = false, bVcLabel = false, bSystem = false, bSystemLabel = false, bFirstPageShown = true;
    int nFocus = 0;
    std::string vcText, systemText;
    Run({Choose(c.bFirst, c.bSecond),
         [&](CWindowProbe& paths) {
             bFirstPageShown = ::IsWindowVisible(m_page.m_hWnd);
             bVc = paths.IsEnabled(IDC_VC_PATH);
             bVcLabel = paths.IsEnabled(IDC_VC_LABEL);
             bSystem = paths.IsEnabled(IDC_SYSTEM_PATH);
             bSystemLabel = paths.IsEnabled(IDC_SYSTEM_LABEL);
             nFocus = paths.FocusID();
             vcText = paths.Text(IDC_VC_PATH);
             systemText = paths.Text(IDC_SYSTEM_PATH);
             paths.Click(IDCANCEL);
         },
         Box()});
    EXPECT_FALSE(bFirstPageShown);
    EXPECT_EQ(bVc, c.bFirst);
    EXPECT_EQ(bVcLabel, c.bFirst);
    EXPECT_EQ(bSystem, c.bSecond);
    EXPECT_EQ(bSystemLabel, c.bSecond);
    EXPECT_EQ(nFocus, c.nFocusID);
    CString vcDefault, systemDefault;
    LoadDefaultPaths(vcDefault, systemDefault);
    EXPECT_EQ(vcText, vcDefault.Str());
    EXPECT_EQ(systemText, systemDefault.Str());
    ExpectOneAbort();
}

INSTANTIATE_TEST_SUITE_P(Choices, PathsPage, ::testing::Values(
    ChoiceCase{"FirstOnly", true, false, IDC_VC_PATH},
    ChoiceCase{"SecondOnly", false, true, IDC_SYSTEM_PATH},
    ChoiceCase{"Both", true, true, IDC_VC_PATH}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Wizard, BackKeepsTheChoicesAndForgetsTheEdits)
{
    bool bFirstKept = false, bSecondKept = false, bVcGreyed = false;
    std::string vcAfterBack;
    Run({Choose(true, true),
         [](CWindowProbe& paths) {
             paths.SetText(IDC_VC_PATH, "X:\\edited");
             paths.Click(IDC_BACK);
         },
         [&](CWindowProbe& page) {
             bFirstKept = page.IsChecked(IDC_APPWIZARD_FILES);
             bSecondKept = page.IsChecked(IDC_MFC_FILES);
             Choose(false, true)(page);
         },
         [&](CWindowProbe& paths) {
             vcAfterBack = paths.Text(IDC_VC_PATH);
             bVcGreyed = !paths.IsEnabled(IDC_VC_PATH);
             paths.Click(IDCANCEL);
         },
         Box()});
    EXPECT_TRUE(bFirstKept);
    EXPECT_TRUE(bSecondKept);
    CString vcDefault, systemDefault;
    LoadDefaultPaths(vcDefault, systemDefault);
    EXPECT_EQ(vcAfterBack, vcDefault.Str());
    EXPECT_TRUE(bVcGreyed);
    ExpectOneAbort();
}

TEST_F(Wizard, NextInstallsIntoTheEditedPathsAndNeverShowsTheFirstPageAgain)
{
    CTestFolder folder;
    folder.Write("pkg\\VC7\\Wizards\\a.js", "a");
    folder.Write("pkg\\System\\b.dll", "b");
    CCurrentDirectory current(folder.Path("pkg"));
    bool bFirstPageShownWithSummary = true;
    INT_PTR nResult = Run({Choose(true, true),
                           [&](CWindowProbe& paths) {
                               paths.SetText(IDC_VC_PATH, folder.Path("Правка VC").Str());
                               paths.SetText(IDC_SYSTEM_PATH, folder.Path("sys").Str());
                               paths.Click(IDOK);
                           },
                           [&](CWindowProbe& box) {
                               bFirstPageShownWithSummary = ::IsWindowVisible(m_page.m_hWnd);
                               Box()(box);
                           }});
    EXPECT_EQ(nResult, IDOK);
    EXPECT_FALSE(bFirstPageShownWithSummary);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, kSuccess);
    EXPECT_TRUE(m_unexpected.empty());
    EXPECT_EQ(folder.List(), (std::vector<std::string>{"pkg\\", "sys\\", "sys\\b.dll", "Правка VC\\",
                                                       "Правка VC\\Wizards\\", "Правка VC\\Wizards\\a.js"}));
}

TEST_F(Wizard, NextWithAnEmptyFieldForAChosenComponentAsksForAPath)
{
    int nFocus = 0;
    Run({Choose(false, true),
         [](CWindowProbe& paths) {
             paths.SetText(IDC_SYSTEM_PATH, "  ");
             paths.Click(IDOK);
         },
         Box(),
         [&](CWindowProbe& paths) {
             nFocus = paths.FocusID();
             paths.Click(IDCANCEL);
         },
         Box()});
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].text, "Укажите путь установки.");
    EXPECT_EQ(m_boxes[0].caption, "Ombrix");
    EXPECT_EQ(nFocus, IDC_SYSTEM_PATH);
    EXPECT_EQ(m_boxes[1].text, kAborted);
}

// ---- the program itself ----

TEST(Program, InstallsAPackageThroughItsWindows)
{
    CTestFolder folder;
    folder.Write("pkg\\VC7\\VCWizards\\wizard.js", "new wizard");
    folder.Write("pkg\\VC7\\readme.txt", "new readme");
    folder.Write("pkg\\System\\mfc71rus.dll", "mfc");
    folder.Write("pkg\\System\\busy.dll", "busy");
    folder.Write("vc\\readme.txt", "old readme");
    // The Visual C++ directory as its setup records it, with the trailing backslash.
    const wchar_t* key = L"SOFTWARE\\Microsoft\\VisualStudio\\7.1\\Setup\\VC";
    std::wstring vcDir = Widen(folder.Path("vc\\"));
    HKEY hKey;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(hKey, L"ProductDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(vcDir.c_str()),
                     static_cast<DWORD>((vcDir.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(hKey);
    // Held open without delete sharing, so the program cannot move it and must say so.
    HANDLE hBusy = ::CreateFileW(FsPath(folder.Path("pkg\\System\\busy.dll")).c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);

    std::wstring commandLine = L"\"" + BuiltProgramPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 Widen(folder.Path("pkg")).c_str(), &startup, &process));
    std::string offeredVc, question;
    std::vector<SeenBox> boxes;
    std::vector<std::string> unexpected;
    CUiDriver driver(process.dwThreadId, CUiDriver::InOrder({
        [](CWindowProbe& page) {
            page.ClickNow(IDC_MFC_FILES);
            page.Click(IDOK);
        },
        [&](CWindowProbe& paths) {
            offeredVc = paths.Text(IDC_VC_PATH);
            paths.SetText(IDC_SYSTEM_PATH, folder.Path("system").Str());
            paths.Click(IDOK);
        },
        [&](CWindowProbe& replace) {
            question = replace.Text(IDC_MESSAGE);
            replace.Click(IDOK);
        },
        [&](CWindowProbe& box) { boxes.push_back(AcknowledgeBox(box)); },
        [&](CWindowProbe& box) { boxes.push_back(AcknowledgeBox(box)); }}, &unexpected));
    DWORD dwWait = ::WaitForSingleObject(process.hProcess, 60000);
    driver.Stop();
    if (dwWait != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    DWORD dwExitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &dwExitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(hBusy);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);

    ASSERT_EQ(dwWait, WAIT_OBJECT_0) << "the program did not end";
    EXPECT_EQ(dwExitCode, 0u);
    EXPECT_TRUE(unexpected.empty()) << unexpected[0];
    EXPECT_EQ(offeredVc, folder.Path("vc").Str());
    EXPECT_EQ(question, "Файл \"" + folder.Path("vc\\readme.txt").Str() + "\"\nсуществует. Перезаписать?");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Ombrix");   // the application title, from the program's file name
    EXPECT_EQ(boxes[0].text, "Невозможно переместить файл\n" + folder.Path("pkg\\System\\busy.dll").Str() + "\nв\n" +
                                 folder.Path("system\\busy.dll").Str());
    EXPECT_EQ(boxes[1].text, "При установке возникли проблемы.\nВозможно, пакет придется установить заново.");
    EXPECT_EQ(folder.Read("vc\\readme.txt"), "new readme");
    EXPECT_EQ(folder.Read("vc\\VCWizards\\wizard.js"), "new wizard");
    EXPECT_EQ(folder.Read("system\\mfc71rus.dll"), "mfc");
    EXPECT_EQ(folder.List("pkg"), (std::vector<std::string>{"System\\", "System\\busy.dll"}));
}

}  // namespace
