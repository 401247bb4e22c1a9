// The installation engine on real folders: the tree mover with its replace question and
// failure notices, the installation run with its summary, and the default destinations read
// from the prefix's registry.
#include <gtest/gtest.h>

#include <functional>

#include "ComponentsDlg.h"
#include "PathsDlg.h"
#include "ReplaceDlg.h"
#include "TestFolder.h"
#include "UiDriver.h"
#include "resource.h"

namespace {

using Listing = std::vector<std::string>;

const char* const kReplaceCaption = "Подтверждение замены";

// Answers the replace questions with the given answers in turn (cancelling once they run
// out) and acknowledges every message box, keeping what was asked and shown.
class CAnswers
{
public:
    explicit CAnswers(std::vector<int> answers) : m_answers(std::move(answers)) {}

    // Runs the engine call with the answers given through the real windows.
    template <class Call>
    auto Run(Call call)
    {
        CUiDriver driver([this](CWindowProbe& window) { Answer(window); });
        auto result = call();
        driver.Stop();
        return result;
    }

    std::vector<std::string> questions;
    std::vector<SeenBox> boxes;

private:
    void Answer(CWindowProbe& window)
    {
        if (window.Caption() != kReplaceCaption) {
            boxes.push_back(AcknowledgeBox(window));
            return;
        }
        questions.push_back(window.Text(IDC_MESSAGE));
        window.Click(questions.size() <= m_answers.size() ? m_answers[questions.size() - 1] : IDCANCEL);
    }

    std::vector<int> m_answers;
};

std::string Question(const CString& target)
{
    return "Файл \"" + target.Str() + "\"\nсуществует. Перезаписать?";
}

std::string FailureNotice(const CString& source, const CString& target)
{
    return "Невозможно переместить файл\n" + source.Str() + "\nв\n" + target.Str();
}

// ---- the tree mover ----

class TreeMover : public ::testing::Test
{
protected:
    bool Move(std::vector<int> answers = {})
    {
        m_answers = std::make_unique<CAnswers>(std::move(answers));
        return m_answers->Run([&] { return m_page.MoveTree(m_folder.Path("pkg"), m_folder.Path("dest")); });
    }
    const std::vector<std::string>& Questions() const { return m_answers->questions; }
    const std::vector<SeenBox>& Boxes() const { return m_answers->boxes; }

    CTestFolder m_folder;
    CComponentsDlg m_page;
    std::unique_ptr<CAnswers> m_answers;
};

TEST_F(TreeMover, MissingSourceStillCreatesTheDestinationAndSucceeds)
{
    EXPECT_TRUE(Move());
    EXPECT_EQ(m_folder.List(), Listing{"dest\\"});
    EXPECT_FALSE(m_page.m_bProblems);
}

TEST_F(TreeMover, EmptySourceIsRemoved)
{
    m_folder.MakeFolder("pkg");
    EXPECT_TRUE(Move());
    EXPECT_EQ(m_folder.List(), Listing{"dest\\"});
}

TEST_F(TreeMover, MovesTheWholeTreeDepthFirstAndMergesWithTheDestination)
{
    m_folder.Write("pkg\\top.txt", "top");
    m_folder.Write("pkg\\Мастер\\Файл 1.txt", "1");
    m_folder.Write("pkg\\Мастер\\глубже\\文件.dat", "2");
    m_folder.MakeFolder("pkg\\empty");
    m_folder.Write("dest\\Мастер\\already.txt", "kept");

    EXPECT_TRUE(Move());
    EXPECT_FALSE(m_folder.Exists("pkg"));
    EXPECT_EQ(m_folder.List("dest"), (Listing{"empty\\", "top.txt", "Мастер\\", "Мастер\\already.txt",
                                              "Мастер\\Файл 1.txt", "Мастер\\глубже\\", "Мастер\\глубже\\文件.dat"}));
    EXPECT_EQ(m_folder.Read("dest\\Мастер\\глубже\\文件.dat"), "2");
    EXPECT_EQ(m_folder.Read("dest\\Мастер\\already.txt"), "kept");
    EXPECT_TRUE(Questions().empty());
    EXPECT_TRUE(Boxes().empty());
}

// One existing target under each answer: what stays where.
struct AnswerCase
{
    const char* name;
    int answer;
    bool bResult;
    const char* destContent;      // of the existing target afterwards
    bool bStillInPackage;
    bool bProblems;
    bool bReplaceAll;
};

class ReplaceAnswer : public TreeMover, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ReplaceAnswer, DecidesTheFateOfTheExistingFile)
{
    const AnswerCase& c = GetParam();
    m_folder.Write("pkg\\sub\\f.txt", "new");
    m_folder.Write("dest\\sub\\f.txt", "old");

    EXPECT_EQ(Move({c.answer}), c.bResult);
    EXPECT_EQ(Questions(), Listing{Question(m_folder.Path("dest\\sub\\f.txt"))});
    EXPECT_EQ(m_folder.Read("dest\\sub\\f.txt"), c.destContent);
    EXPECT_EQ(m_folder.Exists("pkg\\sub\\f.txt"), c.bStillInPackage);
    // A package folder goes only once it is empty.
    EXPECT_EQ(m_folder.Exists("pkg\\sub"), c.bStillInPackage);
    EXPECT_EQ(m_folder.Exists("pkg"), c.bStillInPackage);
    EXPECT_EQ(m_page.m_bProblems, c.bProblems);
    EXPECT_EQ(m_page.m_bReplaceAll, c.bReplaceAll);
    EXPECT_TRUE(Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Answers, ReplaceAnswer, ::testing::Values(
    AnswerCase{"Yes", IDOK, true, "new", false, false, false},
    AnswerCase{"YesToAll", IDC_YES_ALL, true, "new", false, false, true},
    AnswerCase{"No", IDC_NO, true, "old", true, false, false},
    AnswerCase{"Cancel", IDCANCEL, false, "old", true, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TreeMover, YesToAllAsksOnceForTheRestOfTheRun)
{
    for (const char* name : {"a.txt", "b\\c.txt", "b\\d\\e.txt"}) {
        m_folder.Write(std::string("pkg\\") + name, "new");
        m_folder.Write(std::string("dest\\") + name, "old");
    }
    EXPECT_TRUE(Move({IDC_YES_ALL}));
    EXPECT_EQ(Questions().size(), 1u);
    for (const char* name : {"a.txt", "b\\c.txt", "b\\d\\e.txt"})
        EXPECT_EQ(m_folder.Read(std::string("dest\\") + name), "new") << name;
    EXPECT_FALSE(m_folder.Exists("pkg"));

    // The flag outlives the call: the second component of a run is not asked about either.
    m_folder.Write("pkg\\a.txt", "newer");
    EXPECT_TRUE(Move());
    EXPECT_TRUE(Questions().empty());
    EXPECT_EQ(m_folder.Read("dest\\a.txt"), "newer");
}

TEST_F(TreeMover, NoDeepInTheTreeKeepsEveryFolderAboveTheFile)
{
    m_folder.Write("pkg\\a\\b\\c\\kept.txt", "new");
    m_folder.Write("dest\\a\\b\\c\\kept.txt", "old");
    m_folder.Write("pkg\\a\\b\\moved.txt", "m");
    m_folder.Write("pkg\\a\\other\\moved.txt", "o");

    EXPECT_TRUE(Move({IDC_NO}));
    EXPECT_EQ(m_folder.List("pkg"), (Listing{"a\\", "a\\b\\", "a\\b\\c\\", "a\\b\\c\\kept.txt"}));
    EXPECT_EQ(m_folder.Read("dest\\a\\b\\moved.txt"), "m");
    EXPECT_EQ(m_folder.Read("dest\\a\\other\\moved.txt"), "o");
    EXPECT_FALSE(m_page.m_bProblems);
}

TEST_F(TreeMover, CancelThreeLevelsDownStopsEverythingAndRemovesNoFolderOnItsPath)
{
    m_folder.Write("pkg\\l1\\l2\\l3\\clash.txt", "new");
    m_folder.Write("dest\\l1\\l2\\l3\\clash.txt", "old");
    // Whichever is met first, a second clash must never be asked about.
    m_folder.Write("pkg\\l1\\second\\clash2.txt", "new2");
    m_folder.Write("dest\\l1\\second\\clash2.txt", "old2");

    EXPECT_FALSE(Move({IDCANCEL}));
    EXPECT_EQ(Questions().size(), 1u);
    EXPECT_TRUE(m_page.m_bProblems);
    EXPECT_TRUE(m_folder.Exists("pkg\\l1\\l2\\l3\\clash.txt") && m_folder.Exists("pkg\\l1\\second\\clash2.txt"));
    EXPECT_EQ(m_folder.Read("dest\\l1\\l2\\l3\\clash.txt"), "old");
    EXPECT_EQ(m_folder.Read("dest\\l1\\second\\clash2.txt"), "old2");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(TreeMover, AFileThatCannotMoveIsReportedAndStays)
{
    m_folder.Write("pkg\\a.txt", "a");
    m_folder.Write("pkg\\sub\\b.txt", "b");
    CString dest = m_folder.Path("missing\\dest");

    bool bResult = CAnswers({}).Run([&] { return m_page.MoveTree(m_folder.Path("pkg"), dest); });
    EXPECT_TRUE(bResult);
    EXPECT_TRUE(m_page.m_bProblems);
    EXPECT_EQ(m_folder.List("pkg"), (Listing{"a.txt", "sub\\", "sub\\b.txt"}));
}

TEST_F(TreeMover, FailureNoticeNamesSourceAndTargetOnFourLines)
{
    m_folder.Write("pkg\\Файл.txt", "a");
    CString dest = m_folder.Path("missing\\dest");
    CAnswers answers({});
    answers.Run([&] { return m_page.MoveTree(m_folder.Path("pkg"), dest); });

    ASSERT_EQ(answers.boxes.size(), 1u);
    EXPECT_EQ(answers.boxes[0].text, FailureNotice(m_folder.Path("pkg\\Файл.txt"), dest + "\\Файл.txt"));
    EXPECT_EQ(answers.boxes[0].caption, "engine_tests");
    EXPECT_EQ(answers.boxes[0].icon, static_cast<UINT>(MB_ICONEXCLAMATION));
}

TEST_F(TreeMover, AConfirmedReplacementThatCannotHappenIsReportedAndLosesNothing)
{
    // A folder of the same name stands where the file should go.
    m_folder.Write("pkg\\clash", "new");
    m_folder.Write("dest\\clash\\inside.txt", "old");

    EXPECT_TRUE(Move({IDOK}));
    EXPECT_TRUE(m_page.m_bProblems);
    EXPECT_EQ(m_folder.Read("dest\\clash\\inside.txt"), "old");
    EXPECT_EQ(m_folder.Read("pkg\\clash"), "new");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, FailureNotice(m_folder.Path("pkg\\clash"), m_folder.Path("dest\\clash")));
}

// ---- the installation run ----

// Where a component's file ends up.
enum Fate { kMoved, kStays, kNoPackage };

struct RunCase
{
    const char* name;
    int bAppWizard;
    int bMfc;
    std::function<void(const CTestFolder&)> prepare;   // beyond one file in each package folder
    std::vector<int> answers;
    const char* summary;
    UINT icon;
    Fate vc;
    Fate system;
    bool bLockVcFile = false;     // held open without delete sharing, so its rename fails
};

const char* const kSuccess = "Установка успешно завершена.";
const char* const kProblems = "При установке возникли проблемы.\nВозможно, пакет придется установить заново.";
const char* const kAborted = "Установка была прервана.";

// Runs the installation from the package folder "pkg" into the folders "vc" and "system".
void RunFromPackage(const CTestFolder& folder, CComponentsDlg& page, CAnswers& answers)
{
    CCurrentDirectory current(folder.Path("pkg"));
    answers.Run([&] {
        page.RunInstallation(folder.Path("vc"), folder.Path("system"));
        return 0;
    });
}

class InstallationRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(InstallationRun, MovesTheChosenComponentsInOrderAndSumsUp)
{
    const RunCase& c = GetParam();
    CTestFolder folder;
    folder.Write("pkg\\VC7\\VCWizards\\wizard.js", "vc");
    folder.Write("pkg\\System\\mfc71rus.dll", "sys");
    c.prepare(folder);

    CComponentsDlg page;
    page.m_bAppWizardFiles = c.bAppWizard;
    page.m_bMfcFiles = c.bMfc;
    HANDLE hLock = c.bLockVcFile ? ::CreateFileW(FsPath(folder.Path("pkg\\VC7\\VCWizards\\wizard.js")).c_str(),
                                                 GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
    CAnswers answers(c.answers);
    RunFromPackage(folder, page, answers);
    if (hLock != INVALID_HANDLE_VALUE)
        ::CloseHandle(hLock);

    ASSERT_FALSE(answers.boxes.empty());
    const SeenBox& summary = answers.boxes.back();
    EXPECT_EQ(summary.text, c.summary);
    EXPECT_EQ(summary.icon, c.icon);
    EXPECT_EQ(summary.caption, "Ombrix");
    EXPECT_EQ(folder.Read("vc\\VCWizards\\wizard.js") == "vc", c.vc == kMoved);
    EXPECT_EQ(folder.Read("pkg\\VC7\\VCWizards\\wizard.js") == "vc", c.vc == kStays);
    EXPECT_EQ(folder.Read("system\\mfc71rus.dll") == "sys", c.system == kMoved);
    EXPECT_EQ(folder.Read("pkg\\System\\mfc71rus.dll") == "sys", c.system == kStays);
    if (!c.bMfc || summary.text == kAborted) {
        EXPECT_FALSE(folder.Exists("system")) << "the second component was attempted";
    }
    if (c.vc != kStays) {
        EXPECT_FALSE(folder.Exists("pkg\\VC7")) << "an emptied package folder stayed";
    }
}

void Nothing(const CTestFolder&) {}

INSTANTIATE_TEST_SUITE_P(Runs, InstallationRun, ::testing::Values(
    RunCase{"FirstOnly", 1, 0, Nothing, {}, kSuccess, MB_ICONINFORMATION, kMoved, kStays},
    RunCase{"SecondOnly", 0, 1, Nothing, {}, kSuccess, MB_ICONINFORMATION, kStays, kMoved},
    RunCase{"Both", 1, 1, Nothing, {}, kSuccess, MB_ICONINFORMATION, kMoved, kMoved},
    RunCase{"Neither", 0, 0, Nothing, {}, kSuccess, MB_ICONINFORMATION, kStays, kStays},
    RunCase{"CancelInTheFirstSkipsTheSecond", 1, 1,
            [](const CTestFolder& f) { f.Write("vc\\VCWizards\\wizard.js", "old"); },
            {IDCANCEL}, kAborted, MB_ICONERROR, kStays, kStays},
    RunCase{"FailureInTheFirstStillMovesTheSecond", 1, 1, Nothing, {}, kProblems, MB_ICONEXCLAMATION,
            kStays, kMoved, true},
    RunCase{"NoLeavesAFileWithoutAProblem", 1, 1,
            [](const CTestFolder& f) { f.Write("system\\mfc71rus.dll", "old"); },
            {IDC_NO}, kSuccess, MB_ICONINFORMATION, kMoved, kStays},
    RunCase{"MissingPackageFolderIsAProblem", 1, 1,
            [](const CTestFolder& f) { std::filesystem::remove_all(FsPath(f.Path("pkg\\VC7"))); },
            {}, kProblems, MB_ICONEXCLAMATION, kNoPackage, kMoved}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstallationRunNotice, NamesAMissingPackageFolderAndCreatesNoDestination)
{
    CTestFolder folder;
    folder.MakeFolder("pkg");
    CComponentsDlg page;
    CAnswers answers({});
    RunFromPackage(folder, page, answers);

    ASSERT_EQ(answers.boxes.size(), 2u);
    EXPECT_EQ(answers.boxes[0].text, "Не найдена папка пакета\n" + folder.Path("pkg\\VC7").Str());
    EXPECT_EQ(answers.boxes[0].icon, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(answers.boxes[1].text, kProblems);
    EXPECT_FALSE(folder.Exists("vc"));
}

// ---- the replace question ----

struct QuestionCase
{
    const char* name;
    std::function<void(CWindowProbe&)> answer;
    INT_PTR expected;
};

class ReplaceQuestion : public ::testing::TestWithParam<QuestionCase> {};

TEST_P(ReplaceQuestion, ShowsItsTextAndReturnsTheAnswer)
{
    CReplaceDlg dlg;
    dlg.m_strMessage = "Файл \"C:\\Папка\\文件.txt\"\nсуществует. Перезаписать?";
    std::string shown;
    CUiDriver driver([&](CWindowProbe& window) {
        shown = window.Text(IDC_MESSAGE);
        GetParam().answer(window);
    });
    EXPECT_EQ(dlg.DoModal(), GetParam().expected);
    driver.Stop();
    EXPECT_EQ(shown, dlg.m_strMessage.Str());
}

INSTANTIATE_TEST_SUITE_P(Answers, ReplaceQuestion, ::testing::Values(
    QuestionCase{"Yes", [](CWindowProbe& w) { w.Click(IDOK); }, IDOK},
    QuestionCase{"YesToAll", [](CWindowProbe& w) { w.Click(IDC_YES_ALL); }, IDC_YES_ALL},
    QuestionCase{"No", [](CWindowProbe& w) { w.Click(IDC_NO); }, IDC_NO},
    QuestionCase{"Cancel", [](CWindowProbe& w) { w.Click(IDCANCEL); }, IDCANCEL}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the default destinations ----

const wchar_t* const kVcKey = L"SOFTWARE\\Microsoft\\VisualStudio\\7.1\\Setup\\VC";

struct RegistryCase
{
    const char* name;
    bool bKey;
    DWORD type;
    std::wstring value;
    std::function<std::string(const std::string& defaultPath)> expected;
};

std::wstring Repeat(const std::wstring& piece, int times)
{
    std::wstring text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

class DefaultVcPath : public ::testing::TestWithParam<RegistryCase>
{
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kVcKey); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kVcKey); }
};

TEST_P(DefaultVcPath, TakesTheRegistryValueOrTheDefault)
{
    const RegistryCase& c = GetParam();
    if (c.bKey) {
        HKEY hKey;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kVcKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        if (c.type == REG_DWORD) {
            DWORD number = 42;
            ::RegSetValueExW(hKey, L"ProductDir", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
        } else if (c.type != REG_NONE) {
            ::RegSetValueExW(hKey, L"ProductDir", 0, c.type, reinterpret_cast<const BYTE*>(c.value.c_str()),
                             static_cast<DWORD>((c.value.size() + 1) * sizeof(wchar_t)));
        }
        ::RegCloseKey(hKey);
    }
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    std::string defaultPath = std::string(1, static_cast<char>(system[0])) +
                              ":\\Program Files\\Microsoft Visual Studio .NET 2003\\Vc7";

    CString vcPath, systemPath;
    LoadDefaultPaths(vcPath, systemPath);
    EXPECT_EQ(vcPath.Str(), c.expected(defaultPath));
    EXPECT_EQ(systemPath, Narrow(system));
}

std::string Utf8(const std::wstring& text)
{
    return Narrow(text.c_str()).Str();
}

INSTANTIATE_TEST_SUITE_P(Values, DefaultVcPath, ::testing::Values(
    RegistryCase{"NoKey", false, REG_NONE, L"", [](const std::string& d) { return d; }},
    RegistryCase{"NoValue", true, REG_NONE, L"", [](const std::string& d) { return d; }},
    RegistryCase{"EmptyValue", true, REG_SZ, L"", [](const std::string& d) { return d; }},
    RegistryCase{"TrailingBackslashDropped", true, REG_SZ, L"E:\\VS\\Vc7\\", [](const std::string&) { return std::string("E:\\VS\\Vc7"); }},
    RegistryCase{"NoTrailingBackslashKeptWhole", true, REG_SZ, L"E:\\VS\\Vc7", [](const std::string&) { return std::string("E:\\VS\\Vc7"); }},
    RegistryCase{"SingleBackslashLeavesNothing", true, REG_SZ, L"\\", [](const std::string&) { return std::string(); }},
    RegistryCase{"ExpandStringCounts", true, REG_EXPAND_SZ, L"D:\\Студия\\Vc7\\", [](const std::string&) { return std::string("D:\\Студия\\Vc7"); }},
    RegistryCase{"NumberIsIgnored", true, REG_DWORD, L"", [](const std::string& d) { return d; }},
    RegistryCase{"LongerThan255IsReadWhole", true, REG_SZ, L"E:" + Repeat(L"\\Очень длинная папка", 20) + L"\\",
                 [](const std::string&) { return Utf8(L"E:" + Repeat(L"\\Очень длинная папка", 20)); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
