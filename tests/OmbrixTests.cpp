// The installer through its real windows, folders, links, drives and registry.
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

// An application object, where the framework finds the title and icons as in the program.
CWinApp theTestApp;

namespace {

using Strings = std::vector<std::string>;

const int kEnterKey = -VK_RETURN, kEscapeKey = -VK_ESCAPE;   // answers given by a key, not a click

// The texts a user reads, copied character for character from the program's documentation
// and kept apart from the program's own table of texts, so that a text changed there fails here.
namespace Said
{
const std::string kTitle = "Ombrix", kQuestionTitle = "Подтверждение замены", kAborted = "Установка была прервана.",
                  kProblems = "При установке возникли проблемы.\nВозможно, пакет придется установить заново.",
                  kSuccess = "Установка успешно завершена.", kNoPath = "Укажите путь установки.";
// The test program's name, which titles its notices; a copy that plays an older Windows is named after it.
const std::string kTestTitle = "ombrix_tests" + (std::getenv("OMBRIX_WINDOWS") ? "_" + std::string(std::getenv("OMBRIX_WINDOWS")) : "");
std::string Replace(const std::string& target) { return "Файл \"" + target + "\"\nсуществует. Перезаписать?"; }
std::string CannotMove(const CString& from, const CString& to) { return "Невозможно переместить файл\n" + (from + "\nв\n" + to).Str(); }
std::string NoPackageFolder(const CString& folder) { return "Не найдена папка пакета\n" + folder.Str(); }
}  // namespace Said

// The place of a story: the package, on the test folder's file system, another, or a drive that
// refuses every change (set up through a writable path to the same folder), the destinations and
// what the set-up holds.
struct World
{
    explicit World(bool bPackageElsewhere, bool bReadOnlyPackage = false)
        : other(bPackageElsewhere ? std::make_shared<CTestFolder>(true) : nullptr), bReadOnly(bReadOnlyPackage),
          package(bReadOnly ? ReadOnlyDrive::Path("pkg") : (other ? *other : folder).Path("pkg")),
          writable(bReadOnly ? ReadOnlyDrive::Writable("pkg") : package)
    {
        RemoveTree(writable);
    }
    ~World()
    {
        if (bReadOnly)
            RemoveTree(writable);
    }
    CTestFolder folder;
    std::shared_ptr<CTestFolder> other;
    bool bReadOnly;
    CString package, writable, vc = folder.Path("vc"), sys = folder.Path("sys");
    std::vector<std::shared_ptr<void>> held;   // open files and other folders, for the run
    Strings unmovable;   // package entries that are links, or a package folder that is a file: each reported
    // Folders outside the package, on the package's file system and on another, which links may
    // point into; when set, at the first question some entries the walk has not reached are
    // swapped for such links (swapped), and so is the folder it is in (walkedAway), if not a
    // package folder itself.
    std::vector<CString> outside;
    Strings swapped, walkedAway;
    CString InPackage(const std::string& entry) const { return package + "\\" + CString(entry); }
    CString Writable(const std::string& entry) const { return writable + "\\" + CString(entry); }
};

// Marks before a file's path: "*" read-only, "~" hidden, "$" system, "^" an old last-write time.
const std::string kMarks = "*~$^";

struct Story
{
    Strings package;        // marked files below the package ("~VC7\\a.txt"), each holding its own name
    Strings waiting;        // marked files below the test folder, each holding "old"
    int components;         // 1 VC7, 2 System, 3 both
    std::vector<int> answers;   // to the questions, in order; "Отмена" once they run out
    Strings free;           // package files with nothing in their way, which a run not cancelled must install
    Strings contested;      // package files with only an old file in their way, which a run must ask about
    Strings obstructed;     // of those, the ones whose old file cannot be replaced: read-only, a folder, or open
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

// A name in capitals, as Windows compares names.
std::string Upper(const std::string& text)
{
    std::wstring wide = Widen(CString(text));
    ::CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
    return Narrow(wide.c_str()).Str();
}

// Which entry of its folder a path names, however spelt or reached: the folder by identity and the
// name in capitals; a path whose folder is not there, by its spelling.
std::pair<FileKey, std::string> Entry(const CString& path)
{
    std::string text = path.Str(), name = text.substr(text.rfind('\\') + 1);
    FileKey folder = Key(CString(text.substr(0, text.size() - name.size() - 1)));
    return {folder, Upper(folder.second == ~0ULL ? text : name)};
}

// A file's content, the attributes a move keeps, its last-write time, and which file it is.
struct FileState
{
    std::optional<std::string> content;
    DWORD dwAttributes;
    ULONGLONG nWritten;
    FileKey key;
    auto Tied() const { return std::tie(content, dwAttributes, nWritten, key); }
    bool operator==(const FileState& other) const { return Tied() == other.Tied(); }
};

FileState StateOf(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ::GetFileAttributesExW(AfxFilePath(path).c_str(), GetFileExInfoStandard, &data);
    std::optional<std::string> content = ReadFileAt(path);
    FILETIME written = content ? data.ftLastWriteTime : FILETIME{};
    return {content, data.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            (static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime, Key(path)};
}

// Writes a marked file below a folder, holding content or else its own name, as its marks ask.
void WriteMarked(const CString& folder, const std::string& marked, const std::string& content = "")
{
    size_t nMarks = marked.find_first_not_of(kMarks);
    std::string file = marked.substr(nMarks);
    std::wstring path = AfxFilePath(folder + "\\" + CString(file));
    WriteFileAt(Narrow(path.c_str()), content.empty() ? file : content);
    if (marked.find('^') < nMarks) {
        FILETIME old = {0, 0x01C30000};   // in 2002
        HANDLE hFile = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ::SetFileTime(hFile, nullptr, nullptr, &old);
        ::CloseHandle(hFile);
    }
    DWORD dwAttributes = 0;
    for (char mark : marked.substr(0, nMarks))
        dwAttributes |= mark == '^' ? 0 : 1u << kMarks.find(mark);   // read-only 1, hidden 2, system 4
    if (dwAttributes)
        ::SetFileAttributesW(path.c_str(), dwAttributes);
}

// Writes the package's marked files, each under its own name even beside a twin whose name
// differs only in letter case, which Wine would take for that twin: written under a stand-in
// name, then renamed into place by the Unix system, which keeps its attributes and time.
void WritePackage(const World& w, const Strings& marked)
{
    CString staging = w.writable + "~";
    ::CreateDirectoryW(Widen(w.writable).c_str(), nullptr);
    ::CreateDirectoryW(Widen(staging).c_str(), nullptr);
    std::string script, from = UnixPath(staging), to = UnixPath(w.writable);
    for (size_t nFile = 0; nFile < marked.size(); ++nFile) {
        size_t nMarks = marked[nFile].find_first_not_of(kMarks);
        std::string file = marked[nFile].substr(nMarks), unix = file;
        std::replace(unix.begin(), unix.end(), '\\', '/');
        WriteMarked(staging, marked[nFile].substr(0, nMarks) + std::to_string(nFile), file);
        script += "mkdir -p '" + to + "/" + unix.substr(0, unix.rfind('/')) + "' && mv '" + from + "/" +
                  std::to_string(nFile) + "' '" + to + "/" + unix + "'; ";
    }
    RunUnix(L"/bin/sh", "-c \"" + script + "rmdir '" + from + "'\"", staging, false);
}

// Every file and folder below the test folder, by its path there.
std::map<std::string, FileState> Snapshot(const CTestFolder& folder)
{
    std::map<std::string, FileState> files;
    for (const std::string& entry : folder.List())
        files[entry] = StateOf(folder.Path(entry));
    return files;
}

// Swaps package entries for links out of the package, as another program could while a question
// waits, each entry moved aside whole first: 's' a symbolic link to the file or folder outside,
// on the package's file system and on another in turn; 'h' a hard link to the file outside on the
// package's file system; 'e' (for a folder the walk is in) a symbolic link to an empty folder.
void SwapForLinks(World& w, const std::vector<std::pair<std::string, char>>& swaps)
{
    std::string script, aside = UnixPath(w.outside[0]) + "/../aside";
    for (size_t nSwap = 0; nSwap < swaps.size(); ++nSwap) {
        auto [entry, how] = swaps[nSwap];
        std::string path = UnixPath(w.InPackage(entry)), outside = UnixPath(w.outside[nSwap % w.outside.size()]);
        std::string link = how == 'h' ? "ln '" + UnixPath(w.outside[0]) + "/sub/f.txt'"
                           : how == 'e' ? "ln -s '" + outside + "/empty'"
                                        : "ln -s '" + outside + (ReadFileAt(w.InPackage(entry)) ? "/sub/f.txt'" : "'");
        script += "mv '" + path + "' '" + aside + "/" + std::to_string(nSwap) + "' && " + link + " '" + path + "'; ";
        (how == 'e' ? w.walkedAway : w.swapped).push_back(entry);
    }
    RunUnix(L"/bin/sh", "-c \"mkdir -p '" + aside + "' && " + script + "touch '" + aside + "/done'\"", w.outside[0] + "\\..\\aside\\done", true);
}

// Every file and folder below the folders outside the package, by identity and state.
std::map<std::string, FileState> OutsideState(const World& w)
{
    std::map<std::string, FileState> state;
    for (const CString& root : w.outside)
        for (const std::string& entry : ListTree(root))
            state[(root + "\\" + CString(entry)).Str()] = StateOf(root + "\\" + CString(entry));
    return state;
}

// Installs a story's package, set up in its world, through the real windows, then checks what
// must hold after any installation.
void Install(World& w, const Story& story)
{
    Strings files;
    for (const std::string& file : story.package)
        files.push_back(file.substr(file.find_first_not_of(kMarks)));
    auto before = Snapshot(w.folder);
    Strings packageFolders = ListTree(w.package);
    std::map<std::string, FileState> packed, readOnly;
    for (const std::string& file : files)
        packed[file] = StateOf(w.InPackage(file));
    for (const std::string& entry : w.bReadOnly ? packageFolders : Strings())
        readOnly[entry] = StateOf(w.InPackage(entry));
    auto outsideBefore = OutsideState(w);
    std::set<FileKey> confirmed;
    std::set<std::string> asked, declined;
    std::optional<decltype(before)> atCancel;
    bool bYesToAll = false;
    size_t nAsked = 0;
    Strings boxes;   // the messages' titles, icons and texts
    std::vector<int> order;   // the component each question and notice was about, in turn; 0 when either
    CComponentsDlg page;
    page.m_bAppWizardFiles = story.components & 1;
    page.m_bMfcFiles = story.components >> 1;
    // A notice names a package entry; a question, a target that files of one component or of both go to.
    auto componentOf = [&](const std::string& path) {
        if (path.rfind(w.package.Str() + "\\", 0) == 0)
            return path[w.package.Str().size() + 1] == 'V' ? 1 : 2;
        int nComponents = 0;
        for (const std::string& file : files)
            nComponents |= Entry(Target(w, file)) == Entry(path) ? (file[0] == 'V' ? 1 : 2) : 0;
        return nComponents == 3 ? 0 : nComponents;
    };
    auto inPackage = EnterFolder(w.package);
    CUiDriver driver([&](CWindowProbe& window) {
        if (window.GetKind() != CWindowProbe::kReplace) {
            std::string text = window.MessageText(), named = text.substr(text.find('\n') + 1);
            order.push_back(componentOf(named.substr(0, named.find('\n'))));
            boxes.push_back(window.Caption() + "|" + std::to_string(window.MessageIcon()) + "|" + text);
            window.Click(IDOK);
            return;
        }
        // The question names, as the user reads it, a file that was there at a destination.
        std::string text = window.MessageText(), path = text.substr(text.find('"') + 1, text.rfind('"') - text.find('"') - 1);
        FileKey target = Key(path);
        EXPECT_EQ(window.Caption() + "|" + text + window.Placement(), Said::kQuestionTitle + "|" + Said::Replace(path));
        EXPECT_TRUE(std::any_of(before.begin(), before.end(), [&](auto& was) {
            return was.second.key == target && was.first.rfind("pkg\\", 0) != 0;
        })) << text;
        EXPECT_FALSE(bYesToAll || atCancel) << "asked after \"Да - для всех\" or \"Отмена\": " << text;
        order.push_back(componentOf(path));
        // The entries not reached yet: files still in the package, of a chosen component, that no
        // notice named and that are not the one asked about; and folders of them that the walk is not in.
        if (!w.outside.empty() && nAsked == 0) {
            auto folderOf = [](const std::string& entry) { return entry.substr(0, entry.rfind('\\')); };
            auto below = [](const std::string& entry, const std::string& folder) { return (entry + "\\").rfind(folder + "\\", 0) == 0; };
            auto reached = [&](const std::string& entry) {
                return std::any_of(files.begin(), files.end(), [&](const std::string& file) {
                    bool bNoticed = std::any_of(boxes.begin(), boxes.end(), [&](const std::string& box) {
                        return box.find("\n" + w.InPackage(file).Str() + "\n") != std::string::npos;
                    });
                    return below(file, entry) && (Entry(Target(w, file)) == Entry(path) || bNoticed);
                });
            };
            // The folder being walked, where the files that may be asked about all lie in one.
            std::set<std::string> askedFolders;
            for (const std::string& file : files)
                if ((story.components & (file[0] == 'V' ? 1 : 2)) && Entry(Target(w, file)) == Entry(path))
                    askedFolders.insert(folderOf(file));
            std::string walked = askedFolders.size() == 1 ? *askedFolders.begin() : "";
            std::vector<std::pair<std::string, char>> swaps;
            if (walked.find('\\') != std::string::npos)
                swaps.emplace_back(walked, 'e');
            for (const std::string& file : files) {
                bool bChosen = story.components & (file[0] == 'V' ? 1 : 2);
                bool bTaken = std::any_of(swaps.begin(), swaps.end(), [&](auto& swap) { return below(file, swap.first); });
                if (!bChosen || bTaken || ReadFileAt(w.InPackage(file)) != file || reached(file) || swaps.size() > 2)
                    continue;
                std::string folder = folderOf(file);
                bool bFolder = folder.find('\\') != std::string::npos && !reached(folder) && !below(walked, folder);
                swaps.emplace_back(bFolder ? folder : file, folder == walked ? 'h' : 's');
            }
            SwapForLinks(w, swaps);
        }
        int answer = nAsked < story.answers.size() ? story.answers[nAsked] : IDCANCEL;
        ++nAsked;
        asked.insert(Upper(path));
        if (answer == IDOK || answer == kEnterKey || answer == IDC_YES_ALL)
            confirmed.insert(target);
        if (answer == IDC_NO)
            declined.insert(Upper(path));
        bYesToAll = bYesToAll || answer == IDC_YES_ALL;
        if (answer == IDCANCEL || answer == kEscapeKey)
            atCancel = Snapshot(w.folder);
        answer < 0 ? window.PressKey(static_cast<UINT>(-answer)) : (void)window.Click(answer);
    });
    page.RunInstallation(w.vc, w.sys);
    driver.Stop();

    // The summary last: aborted after "Отмена", problems after a notice, success otherwise.
    Strings notices(boxes.begin(), boxes.end() - !boxes.empty());
    UINT summaryIcon = atCancel ? MB_ICONERROR : notices.empty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION;
    EXPECT_EQ(boxes.empty() ? "" : boxes.back(), Said::kTitle + "|" + std::to_string(summaryIcon) + "|" +
              (atCancel ? Said::kAborted : notices.empty() ? Said::kSuccess : Said::kProblems));
    EXPECT_EQ(page.m_nExitCode, atCancel ? 2 : notices.empty() ? 0 : 1) << "the exit code scripts read";
    // Each notice, titled with the program's name (the test program's here), names on its second
    // line a package entry that could not be moved and where it was to go, or a missing folder.
    Strings reported;   // the package entries the notices name, each with a backslash after it
    for (const std::string& notice : notices) {
        size_t nStart = notice.find('\n') + 1;
        std::string from = notice.substr(nStart, notice.find('\n', nStart) - nStart);
        std::string entry = from.substr(std::min(from.size(), w.package.Str().size() + 1)), below = entry + "\\";
        bool bMissing = std::none_of(files.begin(), files.end(), [&](auto& file) { return file.rfind(below, 0) == 0; });
        std::string head = Said::kTestTitle + "|" + std::to_string(MB_ICONEXCLAMATION) + "|";
        EXPECT_TRUE(notice == head + Said::CannotMove(w.InPackage(entry), Target(w, entry)) ||
                    (notice == head + Said::NoPackageFolder(w.InPackage(entry)) && bMissing)) << notice;
        reported.push_back(from + "\\");
    }
    // Exactly as spelt: of two twins by letter case, a notice names one and not the other.
    auto named = [&](const std::string& file) {
        std::string path = (w.InPackage(file) + "\\").Str();
        return std::any_of(reported.begin(), reported.end(), [&](auto& entry) { return path.rfind(entry, 0) == 0; });
    };
    for (const std::string& entry : w.unmovable)
        EXPECT_TRUE(named(entry) || !(story.components & (entry[0] == 'V' ? 1 : 2)) || atCancel) << entry << " not reported";
    // Swapped entries are reported, and nothing outside the package is touched or brought into place.
    Strings allSwapped = w.swapped;
    allSwapped.insert(allSwapped.end(), w.walkedAway.begin(), w.walkedAway.end());
    auto isSwapped = [&](const std::string& entry) {
        return std::any_of(allSwapped.begin(), allSwapped.end(), [&](auto& swapped) { return (entry + "\\").rfind(swapped + "\\", 0) == 0; });
    };
    for (const std::string& entry : w.swapped)
        EXPECT_TRUE(named(entry) || atCancel) << entry << " swapped for a link, and not reported";
    auto outsideAfter = OutsideState(w);
    EXPECT_TRUE(outsideAfter == outsideBefore) << "something outside the package changed";
    std::set<FileKey> outsideKeys;
    for (const auto& [path, state] : outsideBefore)
        outsideKeys.insert(state.key);
    for (const CString& destination : {w.vc, w.sys})
        for (const std::string& entry : ListTree(destination))
            EXPECT_FALSE(outsideKeys.count(Key(destination + "\\" + CString(entry)))) << entry << " brought from outside the package";
    // The components in their fixed order: nothing of the first after anything of the second.
    order.erase(std::remove(order.begin(), order.end(), 0), order.end());
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << "the second component's question or notice came first";

    // A package that cannot be changed is as it was, every file and folder; a file of it is installed
    // when a whole copy is at its target.
    for (const auto& [entry, state] : readOnly)
        EXPECT_TRUE(StateOf(w.InPackage(entry)) == state) << entry << " changed in a package that cannot be changed";
    EXPECT_TRUE(!w.bReadOnly || ListTree(w.package) == packageFolders) << "a package that cannot be changed changed";
    // Each package file whole (content, attributes, time) in exactly one place. A destination that
    // is the package folder installs a chosen file where it is; a second name of the file there (a
    // hard link) leaves it in the package.
    for (const std::string& file : files) {
        if (isSwapped(file))
            continue;
        bool bChosen = story.components & (file[0] == 'V' ? 1 : 2);
        bool bOneEntry = Entry(w.InPackage(file)) == Entry(Target(w, file));
        bool bInPackage = ReadFileAt(w.InPackage(file)) == file && !(bChosen && bOneEntry),
             bInstalled = ReadFileAt(Target(w, file)) == file && !(bInPackage && Key(w.InPackage(file)) == Key(Target(w, file))),
             bStayed = w.bReadOnly ? !bInstalled : bInPackage;
        EXPECT_NE(bStayed, bInstalled) << file << " in both places or in neither";
        FileState was = packed[file], now = StateOf(bStayed ? w.InPackage(file) : Target(w, file));
        // A copy from a drive that cannot be changed leaves the read-only mark of its medium behind.
        DWORD dwExpected = was.dwAttributes & ~(w.bReadOnly && !bStayed ? FILE_ATTRIBUTE_READONLY : 0);
        EXPECT_EQ(std::make_pair(now.dwAttributes, now.nWritten), std::make_pair(dwExpected, was.nWritten)) << file;
        if (bStayed) {
            // A file stays in the package only when its component was not chosen, the run was
            // cancelled, "Нет" was answered for its target, or a notice names it.
            bool bWhy = !bChosen || atCancel || declined.count(Upper(Target(w, file).Str())) || named(file);
            EXPECT_TRUE(bWhy) << file << " stayed, and nothing says why";
            // A chosen file with nothing in its way is installed unless the run was cancelled.
            bool bFree = std::count(story.free.begin(), story.free.end(), file) && bChosen && !atCancel;
            EXPECT_FALSE(bFree) << file << " stayed, though nothing was in its way";
        } else {
            EXPECT_TRUE(bChosen) << file << " moved, though its component was not chosen";
            EXPECT_TRUE(bOneEntry || !named(file)) << file << " installed, yet a notice says it could not be moved";
        }
        // A chosen file with only an old file in its way is asked about, unless cancelled or after "Да - для всех".
        bool bContested = std::count(story.contested.begin(), story.contested.end(), file) && bChosen && !atCancel;
        EXPECT_TRUE(!bContested || bYesToAll || asked.count(Upper(Target(w, file).Str()))) << file << " met an old file, and nobody was asked";
        // Confirmed, by "Да" or "Да - для всех", with nothing that keeps the old file in place, it is replaced.
        bool bReplaceable = bContested && !declined.count(Upper(Target(w, file).Str())) &&
                            !std::count(story.obstructed.begin(), story.obstructed.end(), file);
        EXPECT_TRUE(!bReplaceable || !bStayed) << file << " confirmed with nothing in the way, and not replaced";
    }
    // Nothing after "Отмена", no file lost, one replaced only after "Да" and never when read-only,
    // and each new file an installed one.
    auto after = Snapshot(w.folder);
    EXPECT_TRUE(!atCancel || after == *atCancel) << "something moved after \"Отмена\"";
    for (const auto& [path, state] : before)
        EXPECT_TRUE(after.count(path) || path.rfind("pkg\\", 0) == 0) << path << " lost";
    for (const auto& [path, state] : after) {
        auto was = before.find(path);
        if (path.back() == '\\' || (was != before.end() && was->second == state) || path.rfind("aside\\", 0) == 0 || isSwapped(path.substr(4)))
            continue;
        EXPECT_TRUE(state.content && Key(Target(w, *state.content)) == state.key) << path << " changed, not installed there";
        EXPECT_TRUE(was == before.end() || confirmed.count(was->second.key) || bYesToAll) << path << " replaced without \"Да\"";
        EXPECT_TRUE(was == before.end() || !(was->second.dwAttributes & FILE_ATTRIBUTE_READONLY)) << path << " replaced though read-only";
    }
    // No package folder is left empty (a destination in the package may be).
    for (const std::string& entry : ListTree(w.package))
        EXPECT_TRUE(entry.back() != '\\' || !std::count(packageFolders.begin(), packageFolders.end(), entry) ||
                    !ListTree(w.InPackage(entry)).empty()) << entry << " left empty";
}

// A set-up step: a file held open without delete sharing.
void HoldOpen(World& w, const CString& path)
{
    w.held.emplace_back(::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
                        ::CloseHandle);
}

// ---- randomized installations, checked for what must always hold ----

// A path with one of its names after the first in another letter case: its twin, which Windows
// takes for the same entry and a case-sensitive folder holds beside it.
std::string TwinByCase(const std::string& path, size_t nPick)
{
    std::vector<size_t> starts;
    for (size_t nAt = path.find('\\'); nAt != std::string::npos; nAt = path.find('\\', nAt + 1))
        starts.push_back(nAt + 1);
    size_t nStart = starts[nPick % starts.size()], nEnd = std::min(path.find('\\', nStart), path.size());
    std::wstring name = Widen(CString(path.substr(nStart, nEnd - nStart))), upper = name;
    ::CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    if (upper == name)
        ::CharLowerBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    return path.substr(0, nStart) + Narrow(upper.c_str()).Str() + path.substr(nEnd);
}

// Each case draws a package of marked files, some with the other component's names (in another
// letter case too) or with twins by letter case in their own folders, files waiting where some
// go (read-only, in another letter case, folders), busy files, links, a second name of a file at
// its destination, the answers, the package's file system and the destinations: one folder for
// both, spelt otherwise, bad, or in the package.
TEST(RandomInstallation, KeepsEveryFileWholeInOnePlaceAndSaysWhatHappened)
{
    auto setting = [](const char* pszName, unsigned nDefault) {
        return std::getenv(pszName) ? static_cast<unsigned>(std::strtoul(std::getenv(pszName), nullptr, 10)) : nDefault;
    };
    unsigned seed = setting("OMBRIX_SEED", std::random_device()()), nCases = setting("OMBRIX_CASES", 120);
    unsigned nFiles = 0, nElsewhere = 0, nReadOnly = 0, nTwins = 0, nSwapped = 0;
    std::mt19937 rng(seed);
    auto chance = [&](unsigned nPercent) { return rng() % 100 < nPercent; };
    // The last is longer than a temporary copy's name may grow from it, so it ends a path only.
    const std::string names[] = {"readme.txt", "с пробелом.dat", "a.b", "Файл", "Ελληνικά", "文件.dll", "R&D",
                                 std::string(250, 'n')};
    // Every run tells these stories, each in every tenth case from its own, with the files it needs
    // (true: an old file waits for it): 0 "Отмена" at the first question; 1 a name the first
    // component places waiting as an old file where the second goes; 3 and 7 an odd package folder;
    // 5 "Да - для всех" at the first question, before the second component's old files; 9 the VC7
    // package folder itself, spelt otherwise, as the destination, with a file of two names; 2 twins
    // by letter case, each a file of two names, on the package's volume and across volumes in turn;
    // 4 a package that cannot be changed, with an old file waiting, installed twice; 6 entries
    // swapped for links out of the package at the first question.
    const bool bReadOnlyDrive = ReadOnlyDrive::Available();
    const std::map<unsigned, std::map<std::string, bool>> told = {
        {0, {{"VC7\\old.ini", true}}}, {1, {{"VC7\\old.ini", false}, {"System\\old.ini", true}}},
        {2, {{"VC7\\pair.txt", false}, {"VC7\\PAIR.txt", false}}}, {4, {{"VC7\\old.ini", true}}},
        {5, {{"VC7\\old.ini", true}, {"System\\old.dll", true}}}, {9, {{"VC7\\own.txt", false}}},
        {6, {{"VC7\\old.ini", true}, {"System\\later\\a.txt", false}, {"System\\b.txt", false}}}};
    for (unsigned nCase = 0; nCase < nCases && !HasFailure(); ++nCase) {
        SCOPED_TRACE("OMBRIX_SEED=" + std::to_string(seed) + " repeats this run; case " + std::to_string(nCase));
        const unsigned nStory = nCase % 10;
        const auto needs = told.count(nStory) ? told.at(nStory) : std::map<std::string, bool>();
        bool bOneFolder = nStory != 1 && chance(40);
        std::set<std::string> files;
        for (int nFile = rng() % 12; nFile > 0; --nFile) {
            std::string file = chance(50) ? "VC7" : "System";
            bool bTwin = !files.empty() && chance(35);
            if (bTwin) {
                std::string twin = *std::next(files.begin(), rng() % files.size()), rest = twin.substr(twin.find('\\'));
                file = chance(50) ? TwinByCase(twin, rng()) : (twin[0] == 'V' ? "System" : "VC7") + (chance(50) ? Upper(rest) : rest);
            }
            for (int nDepth = rng() % 3; nDepth >= 0 && !bTwin; --nDepth)
                file += "\\" + names[rng() % (nDepth ? 7 : 8)] + (nDepth ? " папка" : "");
            files.insert(file);
        }
        // Every run meets a package folder that is a link to a folder elsewhere and one that is a file.
        const std::string odd = std::array{"", "VC7", "System"}[nCase % 10 == 3 ? 1 : nCase % 10 == 7 ? 2 : 0];
        for (auto it = files.begin(); it != files.end();)
            it = !odd.empty() && it->rfind(odd + "\\", 0) == 0 ? files.erase(it) : std::next(it);
        for (const auto& [file, bWaits] : needs)
            files.insert(file);
        // Where each file goes, in capitals (Windows' names), and how many files of each component go there.
        auto place = [&](const std::string& file) {
            return (file[0] == 'V' || bOneFolder ? "vc" : "sys") + Upper(file.substr(file.find('\\')));
        };
        std::map<std::string, std::array<int, 2>> going;
        for (const std::string& file : files)
            ++going[place(file)][file[0] != 'V'];
        // Destinations 0-2 cannot be made, 3-5 lie in the package (3: the package folder itself), 6-8
        // are spelt otherwise; a story's old files are met on one that can be made. A package that
        // cannot be changed has none in it.
        bool bReadOnly = bReadOnlyDrive && (nStory == 4 || (nStory != 2 && nStory != 6 && nStory != 9 && chance(10)));
        unsigned nDestination = nStory == 9 ? 3 : needs.empty() ? rng() % 16 : 6 + rng() % 10;
        nDestination += bReadOnly && nDestination >= 3 && nDestination <= 5 ? 3 : 0;
        bool bBusy = needs.empty() && chance(10), bElsewhere = nStory == 2 ? nCase / 10 % 2 : !bReadOnly && nStory != 9 && chance(40);
        std::set<std::string> waitedFor, blocked;   // the places where an old file waits, and cannot be replaced
        const bool bHoldOld = chance(10);            // the first old file held open
        int nNeeded = (odd.empty() ? 0 : odd[0] == 'V' ? 1 : 2) | (nStory == 1 || nStory == 5 || nStory == 6 ? 3 : needs.empty() ? 0 : 1);
        Story story{{}, {}, std::array{1, 2, 3, 3}[rng() % 4] | nNeeded, {}, {}, {}, {}};
        for (const std::string& file : files) {
            // A story's own files are writable, so a name removed by mistake is lost, not refused as
            // read-only; on a drive that cannot be changed every file is read-only, as on a CD.
            story.package.push_back(std::string(bReadOnly || (chance(15) && !needs.count(file)) ? "*" : "") +
                                    (chance(15) ? "~" : "") + (chance(5) ? "$" : "") + (chance(30) ? "^" : "") + file);
            std::string rest = file.substr(file.find('\\'));
            // A file often waits where twins go, so that a replacement comes before the second clash.
            auto [nFirst, nSecond] = going[place(file)];
            bool bWaits = needs.count(file) ? needs.at(file) : chance(nFirst + nSecond > 1 ? 60 : 25);
            if (bWaits) {
                bool bReadOnlyOld = chance(20), bFolderOld = chance(10);
                story.waiting.push_back((bReadOnlyOld ? "*" : "") + std::string(file[0] == 'V' || bOneFolder ? "vc" : "sys") +
                                        (chance(30) ? Upper(rest) : rest) + (bFolderOld ? "\\inside.txt" : ""));
                if (bReadOnlyOld || bFolderOld || (bHoldOld && story.waiting.size() == 1))
                    blocked.insert(place(file));
            }
            waitedFor.insert(bWaits ? place(file) : "");
            // The second story's answers neither cancel nor cover every later file.
            story.answers.push_back(std::vector<int>{IDOK, IDC_NO, kEnterKey, IDOK, IDC_NO, IDOK, IDC_NO, IDC_YES_ALL,
                                                     IDCANCEL, kEscapeKey}[rng() % (nStory == 1 ? 7 : 10)]);
            nTwins += nFirst + nSecond > 1;
        }
        if (nStory == 0 || nStory == 5)
            story.answers[0] = nStory == 5 ? IDC_YES_ALL : nCase / 10 % 2 ? IDCANCEL : kEscapeKey;
        for (const std::string& file : files) {
            // The first component goes first: of a name in both, its file takes the place.
            auto [nFirst, nSecond] = going[place(file)];
            bool bAlone = file[0] == 'V' ? nFirst == 1 : nSecond == 1 && !(nFirst && (story.components & 1));
            bool bMovable = !(bBusy && file == *files.begin());
            if (bAlone && !waitedFor.count(place(file)) && nDestination > 2 && bMovable)
                story.free.push_back(file);
            // The second component's destination is always one that can be made, outside the package.
            if (bAlone && waitedFor.count(place(file)) && (file[0] == 'S' || nDestination > 5) && bMovable)
                story.contested.push_back(file);
            if (blocked.count(place(file)))
                story.obstructed.push_back(file);
        }

        World w(bElsewhere, bReadOnly);
        w.folder.Write("vc\\bystander.txt", "не трогать");
        if (!bReadOnly && nDestination > 5 && (nStory == 6 || chance(20))) {
            auto distant = w.other ? nullptr : std::make_shared<CTestFolder>(true);
            w.held.push_back(distant);
            w.outside = {(w.other ? *w.other : w.folder).Path("outside"), (distant ? *distant : w.folder).Path("outside")};
            for (const CString& root : w.outside) {
                WriteFileAt(root + "\\sub\\f.txt", "не из пакета");
                ::CreateDirectoryW(Widen(root + "\\empty").c_str(), nullptr);
            }
        }
        WritePackage(w, story.package);
        for (const std::string& file : story.waiting)
            WriteMarked(w.folder.Path(), file, "old");
        if (bBusy && !files.empty())
            HoldOpen(w, w.InPackage(*files.begin()));
        // A second name of a package file outside the package, which stays as it is; mostly of a file
        // with a twin beside it, which its old name finds once it has moved.
        Strings any(files.begin(), files.end()), twinned;
        std::copy_if(files.begin(), files.end(), std::back_inserter(twinned), [&](const std::string& file) {
            return std::any_of(files.begin(), files.end(), [&](const std::string& other) {
                return other != file && Upper(other) == Upper(file) && other.rfind('\\') == file.rfind('\\') &&
                       other.compare(0, other.rfind('\\'), file, 0, file.rfind('\\')) == 0;
            });
        });
        Strings own{"VC7\\own.txt"}, &linkable = nStory == 9 ? own : twinned.empty() || chance(10) ? any : twinned;
        if (!bElsewhere && !files.empty() && (nStory == 9 || chance(40)))
            ::CreateHardLinkW(Widen(w.folder.Path("outside name")).c_str(),
                              AfxFilePath(w.Writable(linkable[rng() % linkable.size()])).c_str(), nullptr);
        for (std::string twin : nStory == 2 ? Strings{"pair.txt", "PAIR.txt"} : Strings{}) {
            CString secondName = (w.other ? *w.other : w.folder).Path(twin == "pair.txt" ? "a second name" : "another");
            EXPECT_TRUE(::CreateHardLinkW(Widen(secondName).c_str(), AfxFilePath(w.Writable("VC7\\" + twin)).c_str(), nullptr));
        }
        if (bHoldOld && !story.waiting.empty())
            HoldOpen(w, w.folder.Path(story.waiting[0].substr(story.waiting[0].find_first_not_of(kMarks))));
        // Links out of the package and back up it, or the package folder itself, to a folder that
        // stays as it is; or the package folder a file.
        bool bFolder = ::GetFileAttributesW(AfxFilePath(w.InPackage("VC7")).c_str()) != INVALID_FILE_ATTRIBUTES;
        w.unmovable = odd == "VC7" ? Strings{"VC7"} : bFolder && chance(10) ? Strings{"VC7\\ext", "VC7\\loop"} : Strings{};
        w.folder.Write("outside\\sub\\f.txt", "не из пакета");
        for (const std::string& link : w.unmovable)
            MakeUnixLink(link == "VC7\\loop" ? w.InPackage("VC7") : w.folder.Path("outside"), w.Writable(link));
        if (odd == "System") {
            WriteFileAt(w.Writable("System"), "не папка");
            w.unmovable = {"System"};
        }
        std::string unix = "Z:" + UnixPath(w.package + "\\VC7");
        std::replace(unix.begin(), unix.end(), '/', '\\');
        // Wine gives no short name on /dev/shm; there the package keeps its long one.
        wchar_t shortName[MAX_PATH] = L"";
        CString shortPackage = ::GetShortPathNameW(Widen(w.package).c_str(), shortName, MAX_PATH) ? Narrow(shortName) : w.package;
        w.sys = bOneFolder ? w.vc : w.sys;
        // The VC7 package folder itself in another letter case, on another drive, by its short name.
        const CString package = Upper(w.package.Str()), itself[] = {package + "\\vc7\\", unix, shortPackage + "\\vc7"};
        const CString vc[] = {w.folder.Path("missing\\vc"), w.folder.Path("vc|x"), "B:\\Ombrix", itself[nCase / 10 % 3],
                              package + "\\vc7\\\\Out\\", unix + "\\out", w.folder.Path() + "\\\\vc\\"};
        w.vc = nDestination < 7 ? vc[nDestination] : nDestination < 9 ? vc[6] : w.vc;
        // A second name at its destination, for a file not read-only: that one could not be removed.
        if (!bElsewhere && !bReadOnly && nDestination > 5 && chance(20) && !story.free.empty() &&
            !(::GetFileAttributesW(AfxFilePath(w.InPackage(story.free[0])).c_str()) & FILE_ATTRIBUTE_READONLY)) {
            std::filesystem::create_directories(std::filesystem::path(AfxFilePath(Target(w, story.free[0]))).parent_path());
            EXPECT_TRUE(::CreateHardLinkW(AfxFilePath(Target(w, story.free[0])).c_str(),
                                          AfxFilePath(w.Writable(story.free[0])).c_str(), nullptr));
        }
        Install(w, story);
        if (nStory == 4 && bReadOnly) {
            // The same disc again, over the files it installed: "Да - для всех" replaces them all.
            Story again = story;
            again.waiting.clear();
            again.answers = {IDC_YES_ALL};
            again.free.clear();
            again.obstructed.clear();
            again.contested.clear();
            for (const Strings* alone : {&story.free, &story.contested})
                std::copy_if(alone->begin(), alone->end(), std::back_inserter(again.contested),
                             [&](const std::string& file) { return ReadFileAt(Target(w, file)) == file; });
            Install(w, again);
        }
        nFiles += static_cast<unsigned>(files.size());
        nElsewhere += bElsewhere;
        nReadOnly += bReadOnly;
        nSwapped += static_cast<unsigned>(w.swapped.size() + w.walkedAway.size());
    }
    std::printf("randomized installation: seed %u, %u cases (%u with the package on another file system, %u on a "
                "drive that refuses every change%s), %u package files (%u going where another goes), %u entries "
                "swapped for links while a question waited\n", seed, nCases, nElsewhere, nReadOnly,
                (bReadOnlyDrive ? "" : std::string(": none here, ") + ReadOnlyDrive::kWhy).c_str(), nFiles, nTwins, nSwapped);
}

// ---- the wizard's page flow ----

// One answer of a walk; it may note what it did.
using Step = std::function<void(CWindowProbe&, Strings& seen)>;

// What a window shows a user, in a few words. The components page: title, boxes ticked, buttons
// that can be clicked, icon. The paths page: the first page under it or not, fields and labels
// enabled, the focus once it stays in a field that can take it (Wine moves it as a page comes,
// at its own moment), what each field offers ("VC", "SYSTEM": the default paths). A box: its
// title and text, "(error)" after an abort's, the pages behind it.
Strings Describe(CWindowProbe& window)
{
    HWND hWnd = window.Handle();
    DWORD dwThread = ::GetWindowThreadProcessId(hWnd, nullptr);
    if (window.GetKind() == CWindowProbe::kComponents) {
        LRESULT hIcon = CWindowProbe::Send(hWnd, WM_GETICON, ICON_BIG);
        return {window.Caption() + (window.IsChecked(IDC_APPWIZARD_FILES) ? " first" : "") +
                (window.IsChecked(IDC_MFC_FILES) ? " second" : "") + (window.IsEnabled(IDC_BACK) ? " back" : "") +
                (window.IsEnabled(IDOK) ? " next" : "") +
                (hIcon && CWindowProbe::Send(hWnd, WM_QUERYDRAGICON) == static_cast<DWORD_PTR>(hIcon) ? " icon" : "")};
    }
    if (window.GetKind() != CWindowProbe::kPaths) {
        std::string box = window.Caption() + ": " + window.MessageText() + (window.MessageIcon() == MB_ICONERROR ? " (error)" : "");
        for (HWND hPage = nullptr; (hPage = ::FindWindowExW(nullptr, hPage, L"#32770", nullptr));)
            if (hPage != hWnd && ::IsWindowVisible(hPage) && ::GetWindowThreadProcessId(hPage, nullptr) == dwThread)
                box += ::GetDlgItem(hPage, IDC_VC_PATH) ? " over the second page" : " over the first page";
        return {box};
    }
    std::string state = ::IsWindowVisible(::GetWindow(hWnd, GW_OWNER)) ? "first page showing" : "";
    for (int nID : {IDC_VC_LABEL, IDC_VC_PATH, IDC_SYSTEM_LABEL, IDC_SYSTEM_PATH})
        state += window.IsEnabled(nID) ? " on" : " off";
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    int nFocus = 0;
    for (int nWait = 0, nSame = 0; nWait < 200 && nSame < 20; ++nWait, ::Sleep(10)) {
        int nNow = ::GetGUIThreadInfo(dwThread, &info) && ::IsChild(hWnd, info.hwndFocus) && ::IsWindowEnabled(info.hwndFocus)
                       ? ::GetDlgCtrlID(info.hwndFocus) : 0;
        nSame = nNow == nFocus && nNow ? nSame + 1 : 0;
        nFocus = nNow;
    }
    state += nFocus == IDC_VC_PATH ? " focus first" : nFocus == IDC_SYSTEM_PATH ? " focus second" : " focus lost";
    CString vc, system;
    LoadDefaultPaths(vc, system);
    std::string vcText = window.Text(IDC_VC_PATH), systemText = window.Text(IDC_SYSTEM_PATH);
    return {state.substr(state[0] == ' '), vcText == vc.Str() ? "VC" : vcText,
            systemText == system.Str() ? "SYSTEM" : systemText};
}

// Runs the wizard on this thread (noting its result), or watches the program's, noting what each
// window shows, and where it stands unless on screen and centred, and taking the steps in order;
// a window beyond the last step is cancelled.
Strings Walk(std::vector<Step> steps, DWORD dwProgramThread = 0)
{
    Strings seen;
    std::atomic<size_t> nStep{0};
    CUiDriver driver([&](CWindowProbe& window) {
        Strings shown = Describe(window);
        if (std::string placement = window.Placement(); !placement.empty())
            shown[0] += " " + placement;
        seen.insert(seen.end(), shown.begin(), shown.end());
        if (nStep < steps.size())
            return steps[nStep++](window, seen);
        seen.push_back("unexpected");
        if (!window.Click(IDCANCEL))
            window.Click(IDOK);
    }, dwProgramThread);
    // Well within CTest's limit for the case, so that a walk that stalls is reported rather than cut off.
    for (DWORD dwStart = ::GetTickCount(); dwProgramThread && nStep < steps.size() && ::GetTickCount() - dwStart < 20000;)
        ::Sleep(10);
    if (dwProgramThread) {
        driver.Stop();
        if (nStep < steps.size())
            seen.push_back("waited 20 s for window " + std::to_string(nStep + 1) + " of " + std::to_string(steps.size()));
        return seen;
    }
    CComponentsDlg page;
    AfxGetApp()->m_pMainWnd = &page;
    seen.push_back("result " + std::to_string(page.DoModal()));
    AfxGetApp()->m_pMainWnd = nullptr;
    return seen;
}

// Clicks buttons in turn (the last one opens the next window), after typing a field's text if
// one is given; a button that cannot be clicked is noted, and the window left with Escape.
Step Press(std::vector<int> nIDs, int nField = 0, const std::string& text = "")
{
    return [=](CWindowProbe& window, Strings& seen) {
        if (nField)
            window.SetText(nField, text);
        for (size_t nClick = 0; nClick < nIDs.size(); ++nClick)
            if (!window.Click(nIDs[nClick], nClick + 1 < nIDs.size()))
                return seen.push_back("cannot click " + std::to_string(nIDs[nClick])), window.PressKey(VK_ESCAPE);
    };
}

const Step kOK = Press({IDOK});
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

const std::string kStart = Said::kTitle + " first next icon", kAborted = Said::kTitle + ": " + Said::kAborted + " (error)";
INSTANTIATE_TEST_SUITE_P(Walks, PageFlow, ::testing::Values(
    WalkCase{"escape_on_the_first_page", {kToggleThenEscape, kOK}, {kStart, "011101", kAborted, "result 2"}},
    WalkCase{"close_box_on_the_first_page", {kCloseBox, kOK}, {kStart, kAborted, "result 2"}},
    WalkCase{"first_component", {kOK, Press({IDCANCEL}), kOK},
             {kStart, "on on off off focus first", "VC", "SYSTEM", kAborted, "result 2"}},
    WalkCase{"second_component_escape", {Press({IDC_APPWIZARD_FILES, IDC_MFC_FILES, IDOK}), kEscape, kOK},
             {kStart, "off off on on focus second", "VC", "SYSTEM", kAborted, "result 2"}},
    // A blank field of a chosen component is refused; Back keeps the choices, forgets the edits,
    // and the page follows new choices. Back twice: a dialog's loop shows its page by itself the
    // first time it goes idle, which may come only after the first Back.
    WalkCase{"blank_path_then_back_twice", {Press({IDC_MFC_FILES, IDOK}), Press({IDOK}, IDC_SYSTEM_PATH, " \t "), kOK,
                                            Press({IDC_BACK}, IDC_VC_PATH, "X:\\edited"),
                                            Press({IDC_APPWIZARD_FILES, IDOK}), Press({IDC_BACK}), Press({IDCANCEL}), kOK},
             {kStart, "on on on on focus first", "VC", "SYSTEM", Said::kTitle + ": " + Said::kNoPath + " over the second page",
              "on on on on focus second", "VC", " \t ", Said::kTitle + " first second next icon",
              "off off on on focus second", "VC", "SYSTEM", Said::kTitle + " second next icon", kAborted, "result 2"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the default paths ----

// Each row, in the prefix's own registry: a record's type (none: no key; REG_NONE: another value
// only), value, last bytes cut off (its terminating zero first), what is offered ("*": the default).
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
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kVcSetupKey);
        if (record.type)
            ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kVcSetupKey, *record.type == REG_NONE ? L"Other" : kVcSetupValue,
                              *record.type, bytes.data(), static_cast<DWORD>(bytes.size()) - record.nDropBytes);
        wchar_t system[MAX_PATH];
        ::GetSystemDirectoryW(system, MAX_PATH);
        CString vcPath, systemPath;
        LoadDefaultPaths(vcPath, systemPath);
        EXPECT_EQ(vcPath.Str(), record.offered != "*" ? record.offered : Narrow(system).Left(1).Str() +
                                ":\\Program Files\\Microsoft Visual Studio .NET 2003\\Vc7") << Narrow(record.value.c_str()).Str();
        EXPECT_EQ(systemPath, Narrow(system));
    }
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kVcSetupKey);
}

// ---- the program itself ----

// The processes other than this one that show the first page. A program lives on after the case
// that started it is cut off by CTest's time limit (its shell is the system's, nobody's child here),
// and keeps its page until the Wine session ends.
std::set<DWORD> ProgramsShowingTheFirstPage()
{
    std::set<DWORD> processes;
    for (HWND hWnd = nullptr; (hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", nullptr));) {
        DWORD dwProcessId = 0;
        if (::GetDlgItem(hWnd, IDC_APPWIZARD_FILES) && ::GetWindowThreadProcessId(hWnd, &dwProcessId) &&
            dwProcessId != ::GetCurrentProcessId())
            processes.insert(dwProcessId);
    }
    return processes;
}

// Ends a program and waits, briefly, until it has ended; false if it still runs.
bool EndProgram(DWORD dwProcessId)
{
    std::shared_ptr<void> hProcess(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, dwProcessId), ::CloseHandle);
    return hProcess && ::TerminateProcess(hProcess.get(), 1) && ::WaitForSingleObject(hProcess.get(), 5000) == WAIT_OBJECT_0;
}

// Copies the built program into the package folder as exe (through writable, the same folder
// where the package cannot be changed), starts it there through the system's shell after the
// given command (a file-size limit, Wine's options), and walks it. When the steps are taken,
// during gets the running process (to kill it, say). Returns what the windows showed and the
// exit code its shell noted ("exit 2"). A program that a case cut off left running is ended
// first, or its page would be walked in place of this one's, and this one would wait unanswered,
// and so on for every later case; a program that does not end is ended, for the same reason.
Strings RunProgram(const CString& package, const CString& writable, const std::string& exe, const std::string& before,
                   std::vector<Step> steps, const std::function<void(HANDLE)>& during = nullptr)
{
    const std::set<DWORD> left = ProgramsShowingTheFirstPage();
    for (DWORD dwLeft : left)
        EndProgram(dwLeft);
    CString exitCode = writable + "\\exit-code";
    ::CopyFileW(BuiltProgramPath().c_str(), Widen(writable + "\\" + CString(exe)).c_str(), FALSE);
    ::DeleteFileW(Widen(exitCode).c_str());
    CProgram shell(L"/bin/sh", L"", Widen("-c \"cd '" + UnixPath(package) + "' && " + before + " wine '" + exe + "'; echo $? >'" +
                                          UnixPath(exitCode) + "'\""));
    // Its first page tells its thread: the cases run one at a time, and no other but one left over,
    // ending, shows that page. A program that ends without one is noted at once.
    DWORD dwThreadId = 0, dwProcessId = 0;
    for (int nWait = 0; !dwThreadId && nWait < 2000 && !ReadFileAt(exitCode); ++nWait, ::Sleep(10))
        for (HWND hWnd = nullptr; !dwThreadId && (hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", nullptr));)
            if (::GetDlgItem(hWnd, IDC_APPWIZARD_FILES) && (dwThreadId = ::GetWindowThreadProcessId(hWnd, &dwProcessId)) &&
                left.count(dwProcessId))
                dwThreadId = 0;
    Strings seen = dwThreadId ? Walk(std::move(steps), dwThreadId) : Strings{"no first page"};
    if (during)
        during(std::shared_ptr<void>(::OpenProcess(PROCESS_TERMINATE, FALSE, dwProcessId), ::CloseHandle).get());
    std::string code;
    for (int nWait = 0; code.find('\n') == std::string::npos && nWait < 1000; ++nWait, ::Sleep(10))
        code = ReadFileAt(exitCode).value_or("");
    bool bRunning = code.find('\n') == std::string::npos;
    if (bRunning && dwProcessId)
        EndProgram(dwProcessId);
    seen.push_back(bRunning ? "no exit in 10 s; ended" : "exit " + code.substr(0, code.find('\n')));
    return seen;
}

// Steps that install the first component into the folder, with the question answered "Да".
std::vector<Step> InstallInto(const CString& folder, std::vector<Step> more = {})
{
    more.insert(more.begin(), {kOK, Press({IDOK}, IDC_VC_PATH, folder.Str()), kOK});
    return more;
}

// Cancelled, the exit code says so. Then a copy across file systems onto a full disk: the size
// limit (its signal ignored, so the run goes on) cuts the copy's last write short. A copy of the
// program under another name titles its notices with that name.
TEST(Program, FailsACopyCutWithinAWriteWholeAndSaysSoInItsExitCode)
{
    CTestFolder folder, package(true);
    EXPECT_EQ(RunProgram(package.Path(), package.Path(), "Установщик.exe", "", {kEscape, kOK}).back(), "exit 2");
    package.Write("VC7\\big.dll", std::string(8 << 20, 'x'));
    folder.Write("vc\\big.dll", "old");
    // Its icon handles are its own, so they cannot be compared from here.
    EXPECT_EQ(RunProgram(package.Path(), package.Path(), "Установщик.exe", "trap '' XFSZ && prlimit --fsize=8387608",
                         InstallInto(folder.Path("vc"), {kOK, kOK})),
              (Strings{"Ombrix first next", "on on off off focus first", "VC", "SYSTEM",
                       Said::kQuestionTitle + ": " + Said::Replace(folder.Path("vc\\big.dll").Str()),
                       "Установщик: " + Said::CannotMove(package.Path("VC7\\big.dll"), folder.Path("vc\\big.dll")),
                       Said::kTitle + ": " + Said::kProblems, "exit 1"}));
    EXPECT_EQ(folder.List("vc"), Strings{"big.dll"});
    EXPECT_EQ(folder.Read("vc\\big.dll"), "old");
    EXPECT_EQ(package.Read("VC7\\big.dll"), std::string(8 << 20, 'x'));
}

// Killed mid-copy across file systems, the program leaves nothing: the system removes the
// temporary copy with its handles. The next run removes what a power cut would leave, installs,
// and loads none of the DLLs beside it named as Wine loads them, though Windows' order is forced.
TEST(Program, KilledMidCopyLeavesNothingAndTheNextRunLoadsNoDllFromItsFolder)
{
    CTestFolder folder, package(true);
    const std::string big(64 << 20, 'b');
    package.Write("VC7\\big.dll", big);
    folder.Write("vc\\big.dll", "old");
    RunProgram(package.Path(), package.Path(), "Ombrix.exe", "", InstallInto(folder.Path("vc")), [&](HANDLE hProcess) {
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
    std::wstring planted = BuiltProgramPath().substr(0, BuiltProgramPath().rfind(L'\\')) + L"\\tests\\ombrix_planted.dll";
    for (const char* pszName : {"uxtheme", "ole32", "combase", "rpcrt4"})
        ::CopyFileW(planted.c_str(), Widen(package.Path(pszName + std::string(".dll"))).c_str(), FALSE);
    Strings seen = RunProgram(package.Path(), package.Path(), "Ombrix.exe", "WINEDLLOVERRIDES='uxtheme,ole32,combase,rpcrt4=n,b'",
                              InstallInto(folder.Path("vc"), {kOK}));
    EXPECT_EQ(Strings(seen.end() - 2, seen.end()), (Strings{Said::kTitle + ": " + Said::kSuccess, "exit 0"}));
    EXPECT_EQ(std::make_pair(folder.List("vc"), folder.Read("vc\\big.dll")), std::make_pair(Strings{"big.dll"}, std::optional(big)));
    EXPECT_EQ(package.List(), (Strings{"Ombrix.exe", "combase.dll", "exit-code", "ole32.dll", "rpcrt4.dll", "uxtheme.dll"}));
}

// From a drive that cannot be changed, a copy whose target another program takes while the copy
// is made cannot take its place: it fails, leaving no temporary beside the target, the package as
// it was and the other program's file in place.
TEST(ReadOnlyPackage, ACopyThatCannotTakeItsPlaceLeavesNoTemporary)
{
    if (!ReadOnlyDrive::Available())
        GTEST_SKIP() << ReadOnlyDrive::kWhy;
    CTestFolder folder;
    World w(false, true);
    const std::string big(64 << 20, 'b');
    WriteFileAt(w.Writable("VC7\\big.dll"), big);
    folder.Write("vc\\other.txt", "other");
    CFolder package;
    ASSERT_TRUE(package.Open(w.InPackage("VC7")));
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(package));
    while (finder.FindNextFile() && finder.IsDots()) {
    }
    // As soon as the temporary copy shows, the target is taken.
    auto takeTarget = [](LPVOID pFolder) -> DWORD {
        const CTestFolder& target = *static_cast<const CTestFolder*>(pFolder);
        for (int nWait = 0; target.List("vc").size() < 2 && nWait < 20000; ++nWait)
            ::Sleep(0);
        target.Write("vc\\big.dll", "taken");
        return 0;
    };
    HANDLE hTaker = ::CreateThread(nullptr, 0, takeTarget, &folder, 0, nullptr);
    bool bKept = false;
    EXPECT_EQ(AfxRename(package, finder.GetEntry(), folder.Path("vc\\big.dll"), bKept), -1);
    ::WaitForSingleObject(hTaker, INFINITE);
    ::CloseHandle(hTaker);
    EXPECT_EQ(folder.List("vc"), (Strings{"big.dll", "other.txt"}));
    EXPECT_EQ(folder.Read("vc\\big.dll"), "taken");
    EXPECT_TRUE(ReadFileAt(w.InPackage("VC7\\big.dll")) == big) << "the package's file changed";
}

// A listing that fails is still known to have failed once the enumeration is closed, as the tree
// mover asks only then: here a file listed as if it were a folder.
TEST(FileFind, KeepsAFailedListingKnownAfterClosing)
{
    CTestFolder folder;
    folder.Write("a.txt", "a");
    CFileFind finder;
    EXPECT_FALSE(finder.FindFile(folder.Path("a.txt\\*")));
    finder.Close();
    EXPECT_TRUE(finder.Failed());
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
