// The framework services the program relies on, exercised on real folders and real windows.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "Afx.h"
#include "TestFolder.h"
#include "UiDriver.h"
#include "resource.h"

namespace {

// ---- CFileFind ----

std::set<std::string> Enumerate(const CString& pattern, std::vector<std::string>* pPaths = nullptr)
{
    std::set<std::string> names;
    CFileFind finder;
    bool bMore = finder.FindFile(pattern);
    while (bMore) {
        bMore = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        names.insert(finder.GetFileName().Str() + (finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) ? "\\" : ""));
        if (pPaths)
            pPaths->push_back(finder.GetFilePath().Str());
    }
    return names;
}

struct EnumerationCase
{
    std::vector<std::string> files;
    std::set<std::string> expected;
};

class FileFindEnumeration : public ::testing::TestWithParam<EnumerationCase> {};

TEST_P(FileFindEnumeration, ListsEveryEntryOnceWithoutDots)
{
    CTestFolder folder;
    folder.MakeFolder("src");
    for (const std::string& file : GetParam().files)
        file.back() == '\\' ? folder.MakeFolder("src\\" + file) : folder.Write("src\\" + file, file);

    std::vector<std::string> paths;
    EXPECT_EQ(Enumerate(folder.Path("src") + "\\*.*", &paths), GetParam().expected);
    for (const std::string& path : paths)
        EXPECT_EQ(path.rfind(folder.Path("src").Str() + "\\", 0), 0u) << path;
}

INSTANTIATE_TEST_SUITE_P(Folders, FileFindEnumeration, ::testing::Values(
    EnumerationCase{{}, {}},
    EnumerationCase{{"one.txt"}, {"one.txt"}},
    EnumerationCase{{"a.txt", "b.txt", "sub\\"}, {"a.txt", "b.txt", "sub\\"}},
    EnumerationCase{{"Файл.txt", "文件.dat", "Ελληνικά", "with space.x.y"},
                    {"Файл.txt", "文件.dat", "Ελληνικά", "with space.x.y"}}));

TEST(FileFind, FindsNothingInAMissingFolder)
{
    CTestFolder folder;
    CFileFind finder;
    EXPECT_FALSE(finder.FindFile(folder.Path("missing") + "\\*.*"));
    EXPECT_FALSE(finder.FindNextFile());
}

// ---- rename and replace on UTF-8 paths ----

TEST(FileOps, RenameMovesAFileWithAnyName)
{
    CTestFolder folder;
    folder.Write("Исходный 文件.txt", "content");
    ASSERT_EQ(AfxRename(folder.Path("Исходный 文件.txt"), folder.Path("Ελληνικά.txt")), 0);
    EXPECT_FALSE(folder.Exists("Исходный 文件.txt"));
    EXPECT_EQ(folder.Read("Ελληνικά.txt"), "content");
}

TEST(FileOps, RenameOntoAnExistingFileReportsEexistAndKeepsBoth)
{
    CTestFolder folder;
    folder.Write("new.txt", "new");
    folder.Write("old.txt", "old");
    errno = 0;
    EXPECT_EQ(AfxRename(folder.Path("new.txt"), folder.Path("old.txt")), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(folder.Read("new.txt"), "new");
    EXPECT_EQ(folder.Read("old.txt"), "old");
}

TEST(FileOps, RenameIntoAMissingFolderFailsWithAnotherError)
{
    CTestFolder folder;
    folder.Write("a.txt", "a");
    errno = 0;
    EXPECT_EQ(AfxRename(folder.Path("a.txt"), folder.Path("missing\\a.txt")), -1);
    EXPECT_NE(errno, EEXIST);
    EXPECT_NE(errno, 0);
    EXPECT_EQ(folder.Read("a.txt"), "a");
}

TEST(FileOps, ReplaceTakesThePlaceOfTheOldFile)
{
    CTestFolder folder;
    folder.Write("new.txt", "new");
    folder.Write("old.txt", "old");
    EXPECT_TRUE(AfxReplaceFile(folder.Path("new.txt"), folder.Path("old.txt")));
    EXPECT_FALSE(folder.Exists("new.txt"));
    EXPECT_EQ(folder.Read("old.txt"), "new");
}

// ---- dialogs: data exchange, results, message maps ----

// The paths template's two edits, bound as text.
class CTextDlg : public CDialog
{
public:
    CTextDlg() : CDialog(IDD_PATHS) {}
    CString m_strFirst;
    CString m_strSecond;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, IDC_VC_PATH, m_strFirst);
        DDX_Text(pDX, IDC_SYSTEM_PATH, m_strSecond);
    }
};

TEST(DataExchange, TextGoesIntoTheControlsAndBackOnOk)
{
    CTextDlg dlg;
    dlg.m_strFirst = "C:\\Путь\\文件 Ελ";
    dlg.m_strSecond = "second";
    std::string shownFirst, shownSecond;
    CUiDriver driver([&](CWindowProbe& window) {
        shownFirst = window.Text(IDC_VC_PATH);
        shownSecond = window.Text(IDC_SYSTEM_PATH);
        window.SetText(IDC_VC_PATH, "D:\\Новый");
        window.Click(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    driver.Stop();
    EXPECT_EQ(shownFirst, "C:\\Путь\\文件 Ελ");
    EXPECT_EQ(shownSecond, "second");
    EXPECT_EQ(dlg.m_strFirst, "D:\\Новый");
    EXPECT_EQ(dlg.m_strSecond, "second");
}

TEST(DataExchange, CancelLeavesTheMembersAsTheyWere)
{
    CTextDlg dlg;
    dlg.m_strFirst = "kept";
    CUiDriver driver([](CWindowProbe& window) {
        window.SetText(IDC_VC_PATH, "typed");
        window.Click(IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    driver.Stop();
    EXPECT_EQ(dlg.m_strFirst, "kept");
}

// The components template's two check boxes, bound as ints.
class CCheckDlg : public CDialog
{
public:
    CCheckDlg() : CDialog(IDD_COMPONENTS) {}
    int m_bFirst = 1;
    int m_bSecond = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Check(pDX, IDC_APPWIZARD_FILES, m_bFirst);
        DDX_Check(pDX, IDC_MFC_FILES, m_bSecond);
    }
};

TEST(DataExchange, CheckStatesGoIntoTheBoxesAndBackOnOk)
{
    CCheckDlg dlg;
    bool bFirstShown = false, bSecondShown = true;
    CUiDriver driver([&](CWindowProbe& window) {
        bFirstShown = window.IsChecked(IDC_APPWIZARD_FILES);
        bSecondShown = window.IsChecked(IDC_MFC_FILES);
        window.Click(IDC_APPWIZARD_FILES);
        window.Click(IDC_MFC_FILES);
        window.Click(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    driver.Stop();
    EXPECT_TRUE(bFirstShown);
    EXPECT_FALSE(bSecondShown);
    EXPECT_EQ(dlg.m_bFirst, 0);
    EXPECT_EQ(dlg.m_bSecond, 1);
}

// Two buttons of the replace template mapped to handlers that end with their own codes; Enter,
// Escape and the close box on this template answer the replace question the same way.
class CMappedDlg : public CDialog
{
public:
    CMappedDlg() : CDialog(IDD_REPLACE) {}

protected:
    void OnFirst() { EndDialog(101); }
    void OnSecond() { EndDialog(-1); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMappedDlg, CDialog)
    ON_BN_CLICKED(IDC_YES_ALL, &CMappedDlg::OnFirst)
    ON_BN_CLICKED(IDC_NO, &CMappedDlg::OnSecond)
END_MESSAGE_MAP()

struct ResultCase
{
    const char* how;
    std::function<void(CWindowProbe&)> act;
    INT_PTR expected;
};

class ModalResult : public ::testing::TestWithParam<ResultCase> {};

TEST_P(ModalResult, IsTheEndDialogCode)
{
    CMappedDlg dlg;
    CUiDriver driver(GetParam().act);
    EXPECT_EQ(dlg.DoModal(), GetParam().expected) << GetParam().how;
}

INSTANTIATE_TEST_SUITE_P(Answers, ModalResult, ::testing::Values(
    ResultCase{"first mapped button", [](CWindowProbe& w) { w.Click(IDC_YES_ALL); }, 101},
    ResultCase{"second mapped button", [](CWindowProbe& w) { w.Click(IDC_NO); }, -1},
    ResultCase{"OK button", [](CWindowProbe& w) { w.Click(IDOK); }, IDOK},
    ResultCase{"Cancel button", [](CWindowProbe& w) { w.Click(IDCANCEL); }, IDCANCEL},
    ResultCase{"Enter", [](CWindowProbe& w) { w.PressKey(VK_RETURN); }, IDOK},
    ResultCase{"Escape", [](CWindowProbe& w) { w.PressKey(VK_ESCAPE); }, IDCANCEL},
    ResultCase{"close box", [](CWindowProbe& w) { w.Close(); }, IDCANCEL}));

TEST(Dialog, DoModalWithoutATemplateReturnsMinusOne)
{
    CDialog dlg(4242);
    EXPECT_EQ(dlg.DoModal(), -1);
}

TEST(Dialog, TemplateAtTheOriginIsCentredOnTheScreen)
{
    CMappedDlg dlg;
    RECT window = {}, work = {};
    CUiDriver driver([&](CWindowProbe& w) {
        ::GetWindowRect(w.Handle(), &window);
        w.Click(IDCANCEL);
    });
    dlg.DoModal();
    driver.Stop();
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((window.left + window.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, (work.top + work.bottom) / 2, 1);
}

// ---- the application ----

TEST(Application, TitleIsTheExecutableNameWithoutExtension)
{
    ASSERT_NE(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxGetApp()->m_strAppName, "framework_tests");
}

TEST(Application, AfxMessageBoxShowsTheTitleAndTheExclamationIcon)
{
    SeenBox seen{};
    CUiDriver driver([&](CWindowProbe& box) { seen = AcknowledgeBox(box); });
    AfxMessageBox("Строка 1\nстрока 2", MB_OK, 0);
    driver.Stop();
    EXPECT_EQ(seen.caption, "framework_tests");
    EXPECT_EQ(seen.text, "Строка 1\nстрока 2");
    EXPECT_EQ(seen.icon, static_cast<UINT>(MB_ICONEXCLAMATION));
}

}  // namespace
