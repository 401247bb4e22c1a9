// Times the tree mover (CComponentsDlg::MoveTree) against the same walk written straight
// against Win32 (FindFirstFileW / MoveFileExW / SetNamedSecurityInfoW / RemoveDirectoryW), side by side in one
// process, in rounds of one part of the tree each. Each move carries a part to a place that does
// not exist yet, so no question is ever asked.
//
//   ombrix_bench.exe WORK_DIR                 the comparison, printed as a table
//   ombrix_bench.exe --memory FROM_DIR TO_DIR one run of the mover in this process, printing
//                                             its memory figures (the comparison's last step)
#include <windows.h>
#include <aclapi.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ComponentsDlg.h"
#include "WindowDriver.h"

// The pages load their icons through the application object.
CWinApp theBenchApp;

namespace {

// A pass moves every part of a tree once with each loop: 100 rounds on the smaller tree, 484 on
// the larger.
constexpr int kSmallPasses = 6;
constexpr int kLargePasses = 2;

// A tree: nFolders folders below the root, nFanOut in each parent, with nFiles files dealt out
// over them in turn.
struct TreeShape { int nFiles; int nFolders; int nFanOut; };

// Builds the tree breadth first; each file holds a line of text.
void BuildTree(const std::wstring& root, TreeShape shape)
{
    std::vector<std::wstring> folders{root};
    ::CreateDirectoryW(root.c_str(), nullptr);
    for (int i = 1; i <= shape.nFolders; ++i) {
        folders.push_back(folders[static_cast<size_t>((i - 1) / shape.nFanOut)] + L"\\d" + std::to_wstring(i));
        ::CreateDirectoryW(folders.back().c_str(), nullptr);
    }
    const char content[] = "ombrix benchmark file\r\n";
    for (int i = 0; i < shape.nFiles; ++i) {
        std::wstring path = folders[static_cast<size_t>(1 + i % shape.nFolders)] + L"\\f" + std::to_wstring(i) + L".txt";
        HANDLE hFile = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD nWritten;
        ::WriteFile(hFile, content, sizeof content - 1, &nWritten, nullptr);
        ::CloseHandle(hFile);
    }
}

// The number of files below a folder.
int CountFiles(const std::wstring& folder)
{
    int nFiles = 0;
    WIN32_FIND_DATAW data;
    HANDLE hFind = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0)
                nFiles += CountFiles(folder + L"\\" + data.cFileName);
        } else {
            ++nFiles;
        }
    } while (::FindNextFileW(hFind, &data));
    ::FindClose(hFind);
    return nFiles;
}

// Deletes a folder and everything below it.
void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE hFind = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::wstring path = folder + L"\\" + data.cFileName;
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW(path.c_str());
            else if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0)
                RemoveTree(path);
        } while (::FindNextFileW(hFind, &data));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryW(folder.c_str());
}

// The per-file permission reset of the mover, written straight against Win32: an empty,
// unprotected DACL and the Administrators group as owner.
struct InheritedSecurity
{
    ACL dacl;
    BYTE owner[SECURITY_MAX_SID_SIZE];
    InheritedSecurity()
    {
        ::InitializeAcl(&dacl, sizeof dacl, ACL_REVISION);
        DWORD cbSid = sizeof owner;
        ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, owner, &cbSid);
    }
    void Apply(std::wstring& path)
    {
        ::SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION |
                                    OWNER_SECURITY_INFORMATION,
                                owner, nullptr, &dacl, nullptr);
    }
};

// The yardstick: the mover's walk with nothing but Win32 calls on wide strings, doing the
// same work per file: one rename, then the permission reset.
void BareMove(const std::wstring& from, const std::wstring& to)
{
    static InheritedSecurity security;
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    HANDLE hFind = ::FindFirstFileW((from + L"\\*.*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0)
                continue;
            std::wstring source = from + L"\\" + data.cFileName;
            std::wstring target = to + L"\\" + data.cFileName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                BareMove(source, target);
            else if (::MoveFileExW(source.c_str(), target.c_str(), 0))
                security.Apply(target);
        } while (::FindNextFileW(hFind, &data));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryW(from.c_str());
}

// The program's tree mover, as the installation run calls it; one object serves a whole run,
// however many trees it moves. False once it has reported a cancel or a problem.
bool MoverMove(CComponentsDlg& dlg, const std::wstring& from, const std::wstring& to)
{
    return dlg.MoveTree(Narrow(from.c_str()), Narrow(to.c_str())) && !dlg.m_bProblems;
}

// Seconds on the performance counter.
double Now()
{
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; ::QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

using Move = std::function<void(const std::wstring&, const std::wstring&)>;

// Seconds one move of a tree takes; false in *pOk when not every file arrived or the
// source is still there.
double TimeOneMove(const std::wstring& from, const std::wstring& to, int nFiles, const Move& move, bool* pOk)
{
    double start = Now();
    move(from, to);
    double seconds = Now() - start;
    *pOk = *pOk && CountFiles(to) == nFiles && ::GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES;
    return seconds;
}

// The names of the folders right below a folder.
std::vector<std::wstring> SubFolders(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE hFind = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && wcscmp(data.cFileName, L".") != 0 &&
            wcscmp(data.cFileName, L"..") != 0)
            names.push_back(data.cFileName);
    } while (::FindNextFileW(hFind, &data));
    ::FindClose(hFind);
    return names;
}

// The parts a pass moves one by one: the folders two levels below the root, as paths relative
// to it; a few hundred files each. The files right in the first-level folders stay put.
std::vector<std::wstring> PartsOf(const std::wstring& root)
{
    std::vector<std::wstring> parts;
    for (const std::wstring& top : SubFolders(root)) {
        for (const std::wstring& below : SubFolders(root + L"\\" + top))
            parts.push_back(top + L"\\" + below);
    }
    return parts;
}

// One round: a part of the tree moved by each loop, back to back.
struct Round { int nFiles; double moverSeconds; double bareSeconds; };

// The value a fraction q of the way up the sorted values (0.5 is the median), read between
// neighbours.
double Quantile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    double position = q * static_cast<double>(values.size() - 1);
    size_t below = static_cast<size_t>(position);
    size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (position - static_cast<double>(below)) * (values[above] - values[below]);
}

// One figure of each round.
std::vector<double> Each(const std::vector<Round>& rounds, double (*figure)(const Round&))
{
    std::vector<double> figures;
    for (const Round& round : rounds)
        figures.push_back(figure(round));
    return figures;
}

double MoverSecondsPerFile(const Round& round) { return round.moverSeconds / round.nFiles; }
double BareSecondsPerFile(const Round& round) { return round.bareSeconds / round.nFiles; }
double Ratio(const Round& round) { return round.moverSeconds / round.bareSeconds; }

// Times both loops on the tree built in here, one round per part: one loop moves the part to
// the same place below there, the other straight back, so both meet the same files and every
// move has a fresh destination. Rounds of a fraction of a second, side by side, let a
// disturbance of the machine spoil a few rounds rather than one loop's whole time. The mover's
// parts of a pass all go through one object, as one run over the whole tree would: its record
// of placed files grows to the tree's size. Prints a row; leaves the tree in here.
std::vector<Round> CompareOn(const std::wstring& here, const std::wstring& there, TreeShape shape, int nPasses)
{
    BuildTree(here, shape);
    ::CreateDirectoryW(there.c_str(), nullptr);
    for (const std::wstring& top : SubFolders(here))
        ::CreateDirectoryW((there + L"\\" + top).c_str(), nullptr);
    std::vector<std::wstring> parts = PartsOf(here);
    std::vector<Round> rounds;
    bool bOk = true;
    for (int pass = 0; pass < nPasses; ++pass) {
        CComponentsDlg dlg;
        Move mover = [&](const std::wstring& from, const std::wstring& to) { bOk = MoverMove(dlg, from, to) && bOk; };
        for (const std::wstring& part : parts) {
            std::wstring from = here + L"\\" + part, to = there + L"\\" + part;
            Round round{CountFiles(from), 0, 0};
            // Taking turns at going first evens out the file system's warming up.
            if (rounds.size() % 2 == 0) {
                round.moverSeconds = TimeOneMove(from, to, round.nFiles, mover, &bOk);
                round.bareSeconds = TimeOneMove(to, from, round.nFiles, BareMove, &bOk);
            } else {
                round.bareSeconds = TimeOneMove(from, to, round.nFiles, BareMove, &bOk);
                round.moverSeconds = TimeOneMove(to, from, round.nFiles, mover, &bOk);
            }
            rounds.push_back(round);
        }
    }
    RemoveTree(there);
    std::vector<double> ratios = Each(rounds, Ratio);
    std::printf("%8d files in %6d folders | %9.0f | %9.0f | %5.2f (quartiles %4.2f-%4.2f) of %d rounds%s\n",
                shape.nFiles, shape.nFolders, 1 / Quantile(Each(rounds, MoverSecondsPerFile), 0.5),
                1 / Quantile(Each(rounds, BareSecondsPerFile), 0.5), Quantile(ratios, 0.5),
                Quantile(ratios, 0.25), Quantile(ratios, 0.75), static_cast<int>(rounds.size()),
                bOk ? "" : "   (NOT every file arrived, or the mover reported a problem)");
    std::fflush(stdout);
    return rounds;
}

// One run of the mover over the tree in from, then this process's memory figures.
int MeasureMemory(const std::wstring& from, const std::wstring& to)
{
    int nFiles = CountFiles(from);
    PROCESS_MEMORY_COUNTERS before = {};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before);
    CComponentsDlg dlg;
    bool bOk = MoverMove(dlg, from, to);
    PROCESS_MEMORY_COUNTERS after = {};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof after);
    bOk = bOk && CountFiles(to) == nFiles;
    std::printf("peak memory of a %d-file run of the mover: working set %.1f MB (%.1f MB before the "
                "run), private bytes %.1f MB (%.1f MB before)%s\n",
                nFiles, after.PeakWorkingSetSize / 1048576.0, before.PeakWorkingSetSize / 1048576.0,
                after.PeakPagefileUsage / 1048576.0, before.PeakPagefileUsage / 1048576.0,
                bOk ? "" : "   (NOT every file arrived, or the mover reported a problem)");
    return bOk ? 0 : 1;
}

// Runs this program again to move the tree once, so the peak belongs to that one run.
void MeasureMemoryInChild(const std::wstring& from, const std::wstring& to)
{
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    CProgram child(self, L"", L"--memory \"" + from + L"\" \"" + to + L"\"");
    if (!child.IsStarted())
        std::printf("could not start the memory run (error %lu)\n", ::GetLastError());
    child.Wait(INFINITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && wcscmp(argv[1], L"--memory") == 0)
        return MeasureMemory(argv[2], argv[3]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ombrix_bench.exe WORK_DIR\n");
        return 2;
    }
    std::wstring work = argv[1];
    RemoveTree(work);
    ::CreateDirectoryW(work.c_str(), nullptr);
    // Both trees three levels deep, so that only their size differs.
    const TreeShape small{10000, 1000, 10}, large{100000, 10000, 22};

    std::printf("tree mover against a bare Win32 loop. A round moves one part of the tree (a folder two levels\n"
                "below its root) with each, back to back; %d passes over the smaller tree's parts, %d over the\n"
                "larger's. Files per second in the median round, and the median of the rounds' ratios\n\n",
                kSmallPasses, kLargePasses);
    std::printf("%32s | %9s | %9s | %s\n", "tree", "mover", "bare", "mover time / bare time");
    std::wstring here = work + L"\\a", there = work + L"\\b";
    std::vector<Round> smallRounds = CompareOn(here, there, small, kSmallPasses);
    RemoveTree(here);
    std::vector<Round> largeRounds = CompareOn(here, there, large, kLargePasses);

    // Linear: the time per file stays the same when the tree grows tenfold.
    auto growth = [&](double (*secondsPerFile)(const Round&)) {
        return Quantile(Each(largeRounds, secondsPerFile), 0.5) / Quantile(Each(smallRounds, secondsPerFile), 0.5);
    };
    std::printf("\ntime per file in the median round, %d files against %d: mover %.2fx, bare loop %.2fx "
                "(1.00 is linear)\n", large.nFiles, small.nFiles, growth(MoverSecondsPerFile),
                growth(BareSecondsPerFile));
    double worst = std::max(Quantile(Each(smallRounds, Ratio), 0.5), Quantile(Each(largeRounds, Ratio), 0.5));
    std::printf("target, mover within 1.1x of the bare loop: %s (worst median %.2fx)\n",
                worst <= 1.1 ? "met" : "MISSED", worst);
    std::fflush(stdout);
    MeasureMemoryInChild(here, work + L"\\memory");
    RemoveTree(work);
    return 0;
}
