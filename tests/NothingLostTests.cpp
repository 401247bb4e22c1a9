// Nothing lost: randomized installations, real faults injected with the system's own means, and
// bad input at the wizard. After each run every package file must be installed or still in the
// package, whole, and the summary must tell what happened.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>

#include "Afx.h"
#include "ComponentsDlg.h"
#include "TestFolder.h"
#include "UiDriver.h"
#include "resource.h"

namespace {

const std::string kReplaceCaption = "Подтверждение замены";
const std::string kAborted = "Установка была прервана.";
const std::string kProblems = "При установке возникли проблемы.\nВозможно, пакет придется установить заново.";
const std::string kSuccess = "Установка успешно завершена.";
const std::string kNoPath = "Укажите путь установки.";
const std::string kNoPackage = "Не найдена папка пакета\n";

// ---- watching the installation's windows ----

// One window the installation showed.
struct Seen
{
    bool bQuestion;           // the replace question; otherwise a message box
    std::string caption;
    std::string text;         // a question's target path, a box's text
    UINT icon;
    int answer;               // the button pressed in a question
};

// The target path of a replace question, or the whole text marked as unreadable.
std::string QuestionTarget(const std::string& text)
{
    const std::string head = "Файл \"", tail = "\"\nсуществует. Перезаписать?";
    if (text.size() < head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
        text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        return "unreadable question: " + text;
    return text.substr(head.size(), text.size() - head.size() - tail.size());
}

// The target path named by a failure notice.
std::string NoticeTarget(const std::string& text)
{
    const std::string separator = "\nв\n";
    size_t at = text.rfind(separator);
    return at == std::string::npos ? text : text.substr(at + separator.size());
}

// A failure notice: a box with the application's title for caption.
bool IsNotice(const Seen& seen)
{
    return !seen.bQuestion && seen.caption == AfxGetApp()->m_strAppName.Str();
}

using Chooser = std::function<int(const std::string& target)>;
// Handles a wizard page and returns true, or returns false for any other window.
using PageHandler = std::function<bool(CWindowProbe&)>;

// Runs the code on this thread while a driver answers each replace question with the chooser's
// answer, each message box with OK, and each wizard page through the page handler; returns
// every question and box in the order they came.
std::vector<Seen> Watch(const std::function<void()>& run, const Chooser& choose, const PageHandler& page = nullptr)
{
    std::vector<Seen> seen;
    CUiDriver driver([&](CWindowProbe& window) {
        if (page && page(window))
            return;
        std::string caption = window.Caption();
        if (caption == kReplaceCaption) {
            std::string target = QuestionTarget(window.Text(IDC_MESSAGE));
            int answer = choose(target);
            seen.push_back({true, caption, target, 0, answer});
            window.Click(answer);
        } else {
            SeenBox box = AcknowledgeBox(window);
            seen.push_back({false, box.caption, box.text, box.icon, 0});
        }
    });
    run();
    driver.Stop();
    return seen;
}

// Runs the installation of the chosen components from the package folder.
std::vector<Seen> Install(const CString& package, bool bVc, bool bSystem, const CString& vcPath,
                          const CString& systemPath, const Chooser& choose)
{
    CComponentsDlg dlg;
    dlg.m_bAppWizardFiles = bVc;
    dlg.m_bMfcFiles = bSystem;
    CCurrentDirectory current(package);
    return Watch([&] { dlg.RunInstallation(vcPath, systemPath); }, choose);
}

// The last box, which must be the summary, checked for its text and icon.
void ExpectSummary(const std::vector<Seen>& seen, const std::string& text, UINT icon)
{
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().caption, "Ombrix");
    EXPECT_EQ(seen.back().text, text);
    EXPECT_EQ(seen.back().icon, icon);
    for (size_t i = 0; i + 1 < seen.size(); ++i)
        EXPECT_NE(seen[i].caption, "Ombrix") << "a second summary: " << seen[i].text;
}

// ---- the randomized installation ----

// One file of a generated package and what waits for it at its destination.
struct PackageFile
{
    int component;                          // 0: VC7, 1: System
    std::string rel;                        // below the component's folder
    std::string content;
    std::optional<std::string> existing;    // the file already at the destination
    bool bReadOnly = false;                 // that file is read-only
};

// One generated case: the package, what lies at the destinations, the components chosen.
struct RandomCase
{
    std::vector<PackageFile> files;
    std::set<std::string> folders[2];       // every package folder, "" for the component's own
    bool bChosen[2] = {};
    bool bDestExisted[2] = {};
    std::map<std::string, std::string> bystanders;   // other files at the destinations
};

const char* const kComponentFolder[2] = {"pkg\\VC7", "pkg\\System"};
const char* const kDestination[2] = {"vc", "sys"};
// Names unlike each other even ignoring case: spaces, dots, Cyrillic, Greek, Chinese.
const char* const kNames[] = {"readme.txt", "with space.dat", "a.b.c", "Файл.txt", "Папка с пробелом", "Ελληνικά",
                              "文件.dll", ".hidden", "x", "ДОК.DOC", "résumé.rtf", "中文 目录"};

// A relative path joined to a name.
std::string Join(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : folder + "\\" + name;
}

// Adds one package folder with random files and subfolders, down to depth 5.
void GenerateFolder(std::mt19937& rng, RandomCase& c, int component, const std::string& rel, int depth)
{
    c.folders[component].insert(rel);
    std::vector<std::string> names(std::begin(kNames), std::end(kNames));
    std::shuffle(names.begin(), names.end(), rng);
    int nFolders = depth < 5 ? std::discrete_distribution<int>({40, 40, 20})(rng) : 0;
    int nFiles = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int i = 0; i < nFolders; ++i)
        GenerateFolder(rng, c, component, Join(rel, names[i]), depth + 1);
    for (int i = nFolders; i < nFolders + nFiles && c.files.size() < 30; ++i) {
        PackageFile file{component, Join(rel, names[i]), {}, {}, false};
        file.content = "файл " + std::to_string(c.files.size()) + " " + std::to_string(rng()) + " " + file.rel;
        c.files.push_back(file);
    }
}

// A random package with random files waiting at the destinations and a random choice of components.
RandomCase GenerateCase(std::mt19937& rng)
{
    RandomCase c;
    // Now and then neither component; otherwise the first, the second or both, equally often.
    int choice = std::uniform_int_distribution<int>(0, 18)(rng);
    c.bChosen[0] = choice >= 1 && (choice <= 6 || choice >= 13);
    c.bChosen[1] = choice >= 7;
    auto chance = [&](double p) { return std::bernoulli_distribution(p)(rng); };
    for (int component = 0; component < 2; ++component) {
        // Now and then a package folder is missing.
        if (chance(0.92))
            GenerateFolder(rng, c, component, "", 1);
        c.bDestExisted[component] = chance(0.5);
    }
    // Few files wait at the destination, so each case asks only a handful of questions.
    double pExisting = std::uniform_real_distribution<double>(0, 0.8)(rng);
    int nExisting = 0;
    for (PackageFile& file : c.files) {
        if (nExisting < 5 && chance(pExisting)) {
            file.existing = "старый " + file.rel;
            file.bReadOnly = chance(0.2);
            c.bDestExisted[file.component] = true;
            ++nExisting;
        }
    }
    for (int component = 0; component < 2; ++component)
        if (c.bDestExisted[component] && chance(0.5))
            c.bystanders[Join(kDestination[component], "посторонний 1.txt")] = "не трогать";
    return c;
}

// Puts the case's package and destination files on disk.
void WriteCase(const CTestFolder& folder, const RandomCase& c)
{
    folder.MakeFolder("pkg");
    for (int component = 0; component < 2; ++component) {
        for (const std::string& rel : c.folders[component])
            folder.MakeFolder(Join(kComponentFolder[component], rel));
        if (c.bDestExisted[component])
            folder.MakeFolder(kDestination[component]);
    }
    for (const PackageFile& file : c.files) {
        folder.Write(Join(kComponentFolder[file.component], file.rel), file.content);
        if (file.existing) {
            std::string target = Join(kDestination[file.component], file.rel);
            folder.Write(target, *file.existing);
            if (file.bReadOnly)
                ::SetFileAttributesW(Widen(folder.Path(target)).c_str(), FILE_ATTRIBUTE_READONLY);
        }
    }
    for (const auto& [path, content] : c.bystanders)
        folder.Write(path, content);
}

// Every file below the folder with its content, and every folder (ending in a backslash).
std::map<std::string, std::string> ReadTree(const CTestFolder& folder)
{
    std::map<std::string, std::string> tree;
    for (const std::string& entry : folder.List())
        tree[entry] = entry.back() == '\\' ? "" : folder.Read(entry).value_or("<unreadable>");
    return tree;
}

// Seed of the run: OMBRIX_SEED when set, so a failing run can be repeated; otherwise fresh.
unsigned RunSeed()
{
    const char* value = std::getenv("OMBRIX_SEED");
    return value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : std::random_device()();
}

// Number of cases: OMBRIX_CASES when set.
int RunCases()
{
    const char* value = std::getenv("OMBRIX_CASES");
    return value ? std::atoi(value) : 300;
}

// Figures of the randomized run, printed at its end.
struct RandomFigures
{
    int cases = 0, files = 0, questions = 0, cancels = 0, notices = 0;
};

// Checks one finished case against the disk: each file in one place and whole, replacements
// only where allowed, package folders gone exactly when emptied, the summary right.
void CheckCase(const CTestFolder& folder, const RandomCase& c, const std::vector<Seen>& seen,
               const std::optional<std::map<std::string, std::string>>& atCancel)
{
    std::map<std::string, int> asked;           // target path -> answer
    std::set<std::string> noticed;              // target paths of failure notices
    std::set<std::string> missingNoticed;       // package folders reported missing
    bool bYesAll = false, bCancelled = false;
    int cancelComponent = -1, yesAllComponent = -1;
    for (const Seen& window : seen) {
        if (window.bQuestion) {
            EXPECT_FALSE(bYesAll) << "question after \"Да - для всех\": " << window.text;
            EXPECT_FALSE(bCancelled) << "question after \"Отмена\": " << window.text;
            EXPECT_TRUE(asked.emplace(window.text, window.answer).second) << "asked twice: " << window.text;
            int component = window.text.rfind(folder.Path(kDestination[1]).Str() + "\\", 0) == 0 ? 1 : 0;
            if (window.answer == IDC_YES_ALL) {
                bYesAll = true;
                yesAllComponent = component;
            }
            if (window.answer == IDCANCEL) {
                bCancelled = true;
                cancelComponent = component;
            }
        } else if (window.text.rfind(kNoPackage, 0) == 0) {
            missingNoticed.insert(window.text.substr(kNoPackage.size()));
        } else if (IsNotice(window)) {
            EXPECT_FALSE(bCancelled) << "notice after \"Отмена\": " << window.text;
            noticed.insert(NoticeTarget(window.text));
        }
    }

    // A component is attempted when chosen and not cut off by a cancel in the first one, and
    // completed when, besides, no cancel came during it.
    bool bAttempted[2], bCompleted[2];
    for (int component = 0; component < 2; ++component) {
        bAttempted[component] = c.bChosen[component] && !(cancelComponent == 0 && component == 1);
        bCompleted[component] = bAttempted[component] && cancelComponent != component;
    }

    // A chosen component without its package folder is reported, and is a problem.
    std::set<std::string> missingExpected;
    for (int component = 0; component < 2; ++component)
        if (bAttempted[component] && c.folders[component].empty())
            missingExpected.insert(folder.Path(kComponentFolder[component]).Str());
    EXPECT_EQ(missingNoticed, missingExpected);

    std::set<std::string> expectedTargets;
    for (const PackageFile& file : c.files) {
        std::string source = Join(kComponentFolder[file.component], file.rel);
        std::string targetRel = Join(kDestination[file.component], file.rel);
        std::string target = folder.Path(targetRel).Str();
        expectedTargets.insert(target);
        SCOPED_TRACE(source);
        std::optional<std::string> atSource = folder.Read(source), atTarget = folder.Read(targetRel);
        bool bKept = atSource == file.content, bMoved = atTarget == file.content;
        EXPECT_NE(bKept, bMoved) << "the file must be in exactly one place, whole";
        auto question = asked.find(target);
        bool bAsked = question != asked.end();
        bool bYes = bAsked && (question->second == IDOK || question->second == IDC_YES_ALL);
        // Files of the first component all come before any question of the second.
        bool bYesAllBefore = yesAllComponent != -1 && yesAllComponent <= file.component;
        if (!bAttempted[file.component]) {
            EXPECT_TRUE(bKept) << "component not chosen, or cancelled before it";
            EXPECT_FALSE(bAsked || noticed.count(target));
        }
        if (file.existing) {
            if (bMoved) {
                EXPECT_TRUE(bYes || (!bAsked && bYesAllBefore)) << "replaced without \"Да\"";
            } else {
                EXPECT_EQ(atTarget, file.existing) << "the file at the destination was changed";
            }
            if (file.bReadOnly) {
                EXPECT_TRUE(bKept) << "a read-only file was replaced";
                if (bYes || (bCompleted[file.component] && !bAsked)) {
                    EXPECT_TRUE(noticed.count(target)) << "refused replacement not reported";
                }
            } else {
                EXPECT_FALSE(noticed.count(target));
            }
            if (bCompleted[file.component]) {
                EXPECT_TRUE(bAsked || bYesAllBefore) << "replaced or kept without a question";
                if (!file.bReadOnly) {
                    EXPECT_EQ(bMoved, bAsked ? bYes : bYesAllBefore);
                }
            }
        } else {
            EXPECT_FALSE(bAsked) << "question about a file that did not exist";
            EXPECT_FALSE(noticed.count(target));
            if (bCompleted[file.component]) {
                EXPECT_TRUE(bMoved);
            }
        }
    }
    for (const auto& [target, answer] : asked)
        EXPECT_TRUE(expectedTargets.count(target)) << "question about an unknown file: " << target;
    for (const std::string& target : noticed)
        EXPECT_TRUE(expectedTargets.count(target)) << "notice about an unknown file: " << target;
    for (const auto& [path, content] : c.bystanders)
        EXPECT_EQ(folder.Read(path), content) << path;

    // Package folders: a walked folder is gone exactly when nothing is left below it.
    for (int component = 0; component < 2; ++component) {
        bool bWalked = bCompleted[component], bUntouched = !bAttempted[component];
        for (const std::string& rel : c.folders[component]) {
            std::string path = Join(kComponentFolder[component], rel);
            bool bHoldsFile = false;
            for (const std::string& entry : folder.List(path))
                bHoldsFile = bHoldsFile || entry.back() != '\\';
            if (bWalked) {
                EXPECT_EQ(folder.Exists(path), bHoldsFile) << path;
                EXPECT_TRUE(folder.Exists(Join(kDestination[component], rel))) << "destination shape: " << rel;
            }
            if (bUntouched) {
                EXPECT_TRUE(folder.Exists(path)) << path;
            }
        }
        if (bUntouched) {
            EXPECT_EQ(folder.Exists(kDestination[component]), c.bDestExisted[component]);
        }
    }
    // After "Отмена" nothing moved any more: the disk is as it was when the question was asked.
    if (atCancel) {
        EXPECT_EQ(ReadTree(folder), *atCancel);
    }

    if (bCancelled)
        ExpectSummary(seen, kAborted, MB_ICONERROR);
    else if (!noticed.empty() || !missingNoticed.empty())
        ExpectSummary(seen, kProblems, MB_ICONEXCLAMATION);
    else
        ExpectSummary(seen, kSuccess, MB_ICONINFORMATION);
}

// Runs one generated case and checks it; answers come from the case's own generator, one per
// question in the order the questions come.
void RunRandomCase(unsigned caseSeed, RandomFigures& figures)
{
    std::mt19937 rng(caseSeed);
    RandomCase c = GenerateCase(rng);
    CTestFolder folder;
    WriteCase(folder, c);

    std::map<std::string, const PackageFile*> byTarget;
    for (const PackageFile& file : c.files)
        byTarget[folder.Path(Join(kDestination[file.component], file.rel)).Str()] = &file;
    std::vector<std::string> wrongQuestions;
    std::set<std::string> asked;
    std::optional<std::map<std::string, std::string>> atCancel;
    std::mt19937 answers(caseSeed ^ 0x5bd1e995u);
    Chooser choose = [&](const std::string& target) {
        // The question must be about a file still in the package whose target still holds the old file.
        auto it = byTarget.find(target);
        if (it == byTarget.end() || !it->second->existing ||
            folder.Read(Join(kComponentFolder[it->second->component], it->second->rel)) != it->second->content ||
            folder.Read(Join(kDestination[it->second->component], it->second->rel)) != it->second->existing)
            wrongQuestions.push_back(target);
        const int kAnswers[] = {IDOK, IDC_YES_ALL, IDC_NO, IDCANCEL};
        int answer = kAnswers[std::discrete_distribution<int>({35, 15, 35, 15})(answers)];
        if (answer == IDCANCEL)
            atCancel = ReadTree(folder);
        // Before "Да - для всех" no file may have been replaced without its own question.
        if (answer == IDC_YES_ALL)
            for (const auto& [other, file] : byTarget)
                if (file->existing && other != target && !asked.count(other) &&
                    folder.Read(Join(kDestination[file->component], file->rel)) == file->content)
                    wrongQuestions.push_back("replaced before \"Да - для всех\": " + other);
        asked.insert(target);
        return answer;
    };
    std::vector<Seen> seen = Install(folder.Path("pkg"), c.bChosen[0], c.bChosen[1], folder.Path(kDestination[0]),
                                     folder.Path(kDestination[1]), choose);

    for (const std::string& wrong : wrongQuestions)
        ADD_FAILURE() << "question without a waiting file, or early replacement: " << wrong;
    CheckCase(folder, c, seen, atCancel);

    figures.cases++;
    figures.files += static_cast<int>(c.files.size());
    for (const Seen& window : seen) {
        figures.questions += window.bQuestion;
        figures.cancels += window.bQuestion && window.answer == IDCANCEL;
        figures.notices += IsNotice(window);
    }
}

TEST(RandomInstallation, EveryFileEndsInOnePlaceAndTheSummaryTellsWhatHappened)
{
    unsigned seed = RunSeed();
    int nCases = RunCases();
    RecordProperty("seed", std::to_string(seed));
    std::mt19937 seeds(seed);
    RandomFigures figures;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < nCases; ++i) {
        unsigned caseSeed = seeds();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", case " + std::to_string(i) +
                     " (OMBRIX_SEED=" + std::to_string(seed) + " repeats the run)");
        RunRandomCase(caseSeed, figures);
        if (HasFailure())
            break;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "randomized installation: seed " << seed << ", " << figures.cases << " cases, " << figures.files
              << " package files, " << figures.questions << " questions (" << figures.cancels << " cancelled), "
              << figures.notices << " notices, " << seconds << " s\n";
}

// ---- faults injected with the system's own means ----

// The package of the fault and wizard cases, by path below its VC7 folder.
const std::map<std::string, std::string> kPackage = {
    {"a.txt", "первый файл"}, {"sub\\b.txt", "second file"}, {"sub\\deep\\c.txt", "третий 文件"}};
const char* const kPackageFolders[] = {"VC7", "VC7\\sub", "VC7\\sub\\deep"};

// Puts that package below the given folder of the test folder.
void WritePackage(const CTestFolder& folder, const std::string& package)
{
    for (const auto& [rel, content] : kPackage)
        folder.Write(package + "\\VC7\\" + rel, content);
}

// Every package file is installed below the destination or, when listed as kept, still whole
// in the package; every package folder left over still holds a file.
void ExpectPlaces(const CTestFolder& folder, const std::string& package, const CString& destination,
                  const std::set<std::string>& kept)
{
    for (const auto& [rel, content] : kPackage) {
        SCOPED_TRACE(rel);
        std::string source = package + "\\VC7\\" + rel;
        if (kept.count(rel)) {
            EXPECT_EQ(folder.Read(source), content);
        } else {
            EXPECT_FALSE(folder.Exists(source));
            EXPECT_EQ(ReadFileAt(destination + "\\" + rel), content);
        }
    }
    for (const char* rel : kPackageFolders) {
        std::string path = package + "\\" + rel;
        bool bHoldsFile = false;
        for (const std::string& entry : folder.List(path))
            bHoldsFile = bHoldsFile || entry.back() != '\\';
        EXPECT_EQ(folder.Exists(path), bHoldsFile) << path;
    }
}

// One failure notice for each kept package file, naming its target below the destination, and
// no other notice.
void ExpectNotices(const std::vector<Seen>& seen, const CString& destination, const std::set<std::string>& kept)
{
    std::multiset<std::string> noticed, expected;
    for (const Seen& window : seen)
        if (IsNotice(window))
            noticed.insert(NoticeTarget(window.text));
    for (const std::string& rel : kept)
        expected.insert((destination + "\\" + rel).Str());
    EXPECT_EQ(noticed, expected);
}

// Holds an open handle of a file, shared for reading and writing but not for deletion.
std::shared_ptr<void> HoldOpen(const CString& path)
{
    HANDLE hFile = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(hFile, INVALID_HANDLE_VALUE) << path;
    return std::shared_ptr<void>(hFile, ::CloseHandle);
}

// Removes a folder tree with Windows' own functions, which reach paths too long for the test
// folder's clean-up.
void RemoveTree(const CString& path)
{
    CFileFind finder;
    bool bMore = finder.FindFile(path + "\\*.*");
    while (bMore) {
        bMore = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        if (finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY))
            RemoveTree(finder.GetFilePath());
        else
            ::DeleteFileW(AfxFilePath(finder.GetFilePath()).c_str());
    }
    finder.Close();
    ::RemoveDirectoryW(AfxFilePath(path).c_str());
}

struct FaultCase
{
    const char* name;
    std::string destination;                          // below the test folder
    std::map<std::string, std::string> before;        // files written below the test folder first
    std::function<std::shared_ptr<void>(const CTestFolder&)> inject;   // held during the run
    std::set<std::string> kept;                       // package files that cannot be installed
};

class Fault : public ::testing::TestWithParam<FaultCase> {};

// Every question is answered "Да"; files already at the destination never change.
TEST_P(Fault, IsReportedPerFileAndLosesNothing)
{
    const FaultCase& c = GetParam();
    CTestFolder folder;
    WritePackage(folder, "pkg");
    for (const auto& [path, content] : c.before)
        folder.Write(path, content);
    std::shared_ptr<void> fault = c.inject ? c.inject(folder) : nullptr;

    std::vector<Seen> seen = Install(folder.Path("pkg"), true, false, folder.Path(c.destination), "",
                                     [](const std::string&) { return IDOK; });
    fault.reset();

    ExpectPlaces(folder, "pkg", folder.Path(c.destination), c.kept);
    ExpectNotices(seen, folder.Path(c.destination), c.kept);
    for (const auto& [path, content] : c.before)
        EXPECT_EQ(folder.Read(path), content) << path;
    if (c.kept.empty())
        ExpectSummary(seen, kSuccess, MB_ICONINFORMATION);
    else
        ExpectSummary(seen, kProblems, MB_ICONEXCLAMATION);
    // The test folder's own clean-up cannot reach the long destination.
    RemoveTree(folder.Path(c.destination));
}

const std::set<std::string> kAllKept = {"a.txt", "sub\\b.txt", "sub\\deep\\c.txt"};
// One new folder (only one level is created), whose files' paths are far beyond the classic
// limit of 260 characters.
const std::string kLongDestination = "long " + std::string(220, 'L');

INSTANTIATE_TEST_SUITE_P(Faults, Fault, ::testing::Values(
    FaultCase{"destination_file_open_without_delete_sharing", "vc", {{"vc\\a.txt", "старый"}},
              [](const CTestFolder& f) { return HoldOpen(f.Path("vc\\a.txt")); }, {"a.txt"}},
    FaultCase{"read_only_destination_file", "vc", {{"vc\\a.txt", "старый"}},
              [](const CTestFolder& f) {
                  ::SetFileAttributesW(Widen(f.Path("vc\\a.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
                  return std::shared_ptr<void>();
              },
              {"a.txt"}},
    FaultCase{"source_file_open", "vc", {},
              [](const CTestFolder& f) { return HoldOpen(f.Path("pkg\\VC7\\sub\\b.txt")); }, {"sub\\b.txt"}},
    FaultCase{"destination_parent_missing", "missing\\vc", {}, nullptr, kAllKept},
    FaultCase{"destination_is_a_file", "vc", {{"vc", "a file, not a folder"}}, nullptr, kAllKept},
    FaultCase{"destination_with_bar", "vc|x", {}, nullptr, kAllKept},
    FaultCase{"destination_with_less_than", "vc<x", {}, nullptr, kAllKept},
    FaultCase{"destination_with_double_quote", "vc\"x", {}, nullptr, kAllKept},
    FaultCase{"destination_longer_than_260", kLongDestination, {}, nullptr, {}},
    FaultCase{"destination_longer_than_260_with_doubled_backslashes", "sub\\..\\\\" + kLongDestination, {},
              nullptr, {}},
    FaultCase{"destination_inside_the_package", "pkg\\VC7\\out", {}, nullptr, {}},
    FaultCase{"destination_inside_a_package_subfolder", "pkg\\VC7\\sub\\out", {}, nullptr, {}},
    FaultCase{"destination_inside_the_package_spelt_otherwise", "PKG\\vc7\\\\Sub\\out\\", {}, nullptr, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A spare drive letter mapped to a folder for one scope: through Wine's mount manager when
// running under Wine (its DefineDosDevice does not reach the file system), otherwise through
// DefineDosDevice.
class CSpareDrive
{
public:
    explicit CSpareDrive(const CString& folder) : m_letter(SpareLetter())
    {
        using UnixName = char*(CDECL*)(LPCWSTR);
        auto unixName = reinterpret_cast<UnixName>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
        if (!unixName) {
            m_bMapped = ::DefineDosDeviceW(0, Device().c_str(), Widen(folder).c_str()) != FALSE;
            return;
        }
        char* pszUnix = unixName(Widen(folder).c_str());
        m_bWine = true;
        m_bMapped = pszUnix && DefineWineDrive(pszUnix);
        ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    }
    ~CSpareDrive()
    {
        if (m_bMapped && m_bWine)
            DefineWineDrive(nullptr);
        else if (m_bMapped)
            ::DefineDosDeviceW(DDD_REMOVE_DEFINITION, Device().c_str(), nullptr);
    }
    CSpareDrive(const CSpareDrive&) = delete;
    CSpareDrive& operator=(const CSpareDrive&) = delete;

    bool IsMapped() const { return m_bMapped; }
    // The drive's root, such as "P:\".
    CString Root() const { return CString(std::string(1, m_letter) + ":\\"); }

    // The first drive letter from P on that names no drive.
    static char SpareLetter()
    {
        DWORD dwDrives = ::GetLogicalDrives();
        for (char letter = 'P'; letter <= 'Y'; ++letter)
            if (!(dwDrives & (1u << (letter - 'A'))))
                return letter;
        return 0;
    }

private:
    std::wstring Device() const { return {static_cast<wchar_t>(m_letter), L':'}; }

    // Wine's mount manager request that maps a drive letter to a Unix folder, or unmaps it.
    bool DefineWineDrive(const char* pszUnixFolder)
    {
        // The request as Wine's mount manager header lays it out; no Windows header has it.
        struct UnixDrive
        {
            ULONG size, type, fs_type;
            DWORD serial;
            ULONGLONG unix_dev;
            WCHAR letter;
            USHORT mount_point_offset, device_offset, label_offset;
        };
        const DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
        std::string unixFolder = pszUnixFolder ? pszUnixFolder : "";
        std::vector<char> request(sizeof(UnixDrive) + unixFolder.size() + 1);
        auto* drive = reinterpret_cast<UnixDrive*>(request.data());
        drive->size = static_cast<ULONG>(request.size());
        drive->type = pszUnixFolder ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
        drive->letter = static_cast<WCHAR>(m_letter);
        if (pszUnixFolder) {
            drive->mount_point_offset = sizeof(UnixDrive);
            std::copy(unixFolder.begin(), unixFolder.end(), request.begin() + sizeof(UnixDrive));
        }
        HANDLE hManager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (hManager == INVALID_HANDLE_VALUE)
            return false;
        BOOL bDone = ::DeviceIoControl(hManager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()),
                                       nullptr, 0, nullptr, nullptr);
        ::CloseHandle(hManager);
        return bDone != FALSE;
    }

    char m_letter;
    bool m_bWine = false;
    bool m_bMapped = false;
};

// The root's backslash doubles in the package folders' paths (X:\\VC7); both must still move.
TEST(PackageAtDriveRoot, InstallsBothComponentsAndRemovesTheirFolders)
{
    CTestFolder folder;
    WritePackage(folder, "root");
    folder.Write("root\\System\\mfc.dll", "библиотека");
    CSpareDrive drive(folder.Path("root"));
    ASSERT_TRUE(drive.IsMapped());
    ASSERT_TRUE(folder.Exists("root\\VC7\\a.txt"));

    // Nothing waits at the destinations; a question would cancel and fail the summary.
    std::vector<Seen> seen = Install(drive.Root(), true, true, folder.Path("vc"), folder.Path("sys"),
                                     [](const std::string&) { return IDCANCEL; });

    ExpectPlaces(folder, "root", folder.Path("vc"), {});
    EXPECT_EQ(folder.Read("sys\\mfc.dll"), "библиотека");
    EXPECT_EQ(folder.List("root"), std::vector<std::string>{});
    ExpectSummary(seen, kSuccess, MB_ICONINFORMATION);
}

// ---- bad input at the wizard ----

struct InputCase
{
    const char* name;
    std::function<std::string(const CTestFolder&)> typed;   // what the user types as the VC path
    bool bInstalled;                // the package ends up below the typed path
    std::vector<std::string> boxes; // the message boxes shown, notices as "notice", in order
};

class BadInput : public ::testing::TestWithParam<InputCase> {};

// The paths page gets the typed path with Next; should it come back, the user cancels.
TEST_P(BadInput, GivesAClearOutcomeAndLosesNothing)
{
    const InputCase& c = GetParam();
    CTestFolder folder;
    WritePackage(folder, "pkg");
    std::string typed = c.typed(folder);
    int nPathsVisits = 0;
    PageHandler page = [&](CWindowProbe& window) {
        if (::GetDlgItem(window.Handle(), IDC_APPWIZARD_FILES)) {
            window.Click(IDOK);
            return true;
        }
        if (!::GetDlgItem(window.Handle(), IDC_VC_PATH))
            return false;
        if (nPathsVisits++ == 0) {
            window.SetText(IDC_VC_PATH, typed);
            window.Click(IDOK);
        } else {
            window.Click(IDCANCEL);
        }
        return true;
    };

    std::vector<Seen> seen;
    {
        CCurrentDirectory current(folder.Path("pkg"));
        CComponentsDlg dlg;
        seen = Watch([&] { dlg.DoModal(); }, [](const std::string&) { return IDOK; }, page);
    }

    std::vector<std::string> boxes;
    for (const Seen& window : seen)
        boxes.push_back(window.bQuestion ? "question " + window.text : IsNotice(window) ? "notice" : window.text);
    EXPECT_EQ(boxes, c.boxes);
    if (c.bInstalled)
        ExpectPlaces(folder, "pkg", CString(typed), {});
    else
        ExpectPlaces(folder, "pkg", CString(), kAllKept);
}

const std::vector<std::string> kRefused = {kNoPath, kAborted};
const std::vector<std::string> kEveryFileNoticed = {"notice", "notice", "notice", kProblems};

INSTANTIATE_TEST_SUITE_P(Paths, BadInput, ::testing::Values(
    InputCase{"empty", [](const CTestFolder&) { return std::string(); }, false, kRefused},
    InputCase{"only_blanks", [](const CTestFolder&) { return std::string("  \t "); }, false, kRefused},
    InputCase{"missing_drive",
              [](const CTestFolder&) { return std::string(1, CSpareDrive::SpareLetter()) + ":\\Ombrix"; }, false,
              kEveryFileNoticed},
    InputCase{"trailing_backslash", [](const CTestFolder& f) { return f.Path("vc").Str() + "\\"; }, true,
              {kSuccess}},
    InputCase{"doubled_backslashes", [](const CTestFolder& f) { return f.Path().Str() + "\\\\vc"; }, true,
              {kSuccess}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
