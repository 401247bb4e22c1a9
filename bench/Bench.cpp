// Times the tree mover (CComponentsDlg::MoveTree) against the same walk written straight
// against Win32 (FindFirstFileW / MoveFileExW / SetNamedSecurityInfoW / RemoveDirectoryW), side by side in one
// process. Each move carries the tree to a place that does not exist yet, so no question is
// ever asked.
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

constexpr int kSmallRounds = 5;          // each a run of the mover and one of the bare loop
constexpr int kLargeRounds = 2;

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

// The program's tree mover, as the installation run calls it.
void MoverMove(const std::wstring& from, const std::wstring& to)
{
    CComponentsDlg dlg;
    if (!dlg.MoveTree(Narrow(from.c_str()), Narrow(to.c_str())) || dlg.m_bProblems)
        std::printf("  the mover reported a cancel or a problem\n");
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

// Seconds one move of the tree takes; false in *pOk when not every file arrived or the
// source is still there.
double TimeOneMove(const std::wstring& from, const std::wstring& to, int nFiles, const Move& move, bool* pOk)
{
    double start = Now();
    move(from, to);
    double seconds = Now() - start;
    *pOk = *pOk && CountFiles(to) == nFiles && ::GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES;
    return seconds;
}

// Times both movers on one tree, which each move carries to the other of two places, so every
// move has a fresh destination; prints a row. Returns the best seconds of the mover and of the
// bare loop, and leaves the tree in *pHere.
std::pair<double, double> CompareOn(const std::wstring& work, TreeShape shape, int nRounds, std::wstring* pHere)
{
    std::wstring here = work + L"\\a", there = work + L"\\b";
    BuildTree(here, shape);
    std::vector<double> mover, bare;
    bool bOk = true;
    auto timeOne = [&](const Move& move, std::vector<double>& times) {
        times.push_back(TimeOneMove(here, there, shape.nFiles, move, &bOk));
        std::swap(here, there);
    };
    for (int round = 0; round < nRounds; ++round) {
        // Taking turns at going first evens out the file system's warming up.
        if (round % 2 == 0) {
            timeOne(MoverMove, mover);
            timeOne(BareMove, bare);
        } else {
            timeOne(BareMove, bare);
            timeOne(MoverMove, mover);
        }
    }
    // The best run is the one least disturbed by whatever else the machine was doing.
    double moverSeconds = *std::min_element(mover.begin(), mover.end());
    double bareSeconds = *std::min_element(bare.begin(), bare.end());
    std::printf("%8d files in %6d folders | %9.0f | %9.0f | %5.2f%s\n", shape.nFiles, shape.nFolders,
                shape.nFiles / moverSeconds, shape.nFiles / bareSeconds, moverSeconds / bareSeconds,
                bOk ? "" : "   (NOT every file arrived)");
    std::fflush(stdout);
    *pHere = here;
    return {moverSeconds, bareSeconds};
}

// One run of the mover over the tree in from, then this process's memory figures.
int MeasureMemory(const std::wstring& from, const std::wstring& to)
{
    int nFiles = CountFiles(from);
    PROCESS_MEMORY_COUNTERS before = {};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before);
    MoverMove(from, to);
    PROCESS_MEMORY_COUNTERS after = {};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof after);
    bool bOk = CountFiles(to) == nFiles;
    std::printf("peak memory of a %d-file run of the mover: working set %.1f MB (%.1f MB before the "
                "run), private bytes %.1f MB (%.1f MB before)%s\n",
                nFiles, after.PeakWorkingSetSize / 1048576.0, before.PeakWorkingSetSize / 1048576.0,
                after.PeakPagefileUsage / 1048576.0, before.PeakPagefileUsage / 1048576.0,
                bOk ? "" : "   (NOT every file arrived)");
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

    std::printf("tree mover against a bare Win32 loop: files per second, the best of %d runs each on the\n"
                "smaller tree and of %d on the larger\n\n", kSmallRounds, kLargeRounds);
    std::printf("%32s | %9s | %9s | %s\n", "tree", "mover", "bare", "mover time / bare time");
    std::wstring tree;
    auto [moverSmall, bareSmall] = CompareOn(work, small, kSmallRounds, &tree);
    RemoveTree(tree);
    auto [moverLarge, bareLarge] = CompareOn(work, large, kLargeRounds, &tree);

    // Linear: the time per file stays the same when the tree grows tenfold.
    double moverGrowth = (moverLarge / large.nFiles) / (moverSmall / small.nFiles);
    double bareGrowth = (bareLarge / large.nFiles) / (bareSmall / small.nFiles);
    std::printf("\ntime per file, %d files against %d: mover %.2fx, bare loop %.2fx (1.00 is linear)\n",
                large.nFiles, small.nFiles, moverGrowth, bareGrowth);
    double worst = std::max(moverSmall / bareSmall, moverLarge / bareLarge);
    std::printf("target, mover within 1.2x of the bare loop: %s (worst %.2fx)\n", worst <= 1.2 ? "met" : "MISSED",
                worst);
    std::fflush(stdout);
    MeasureMemoryInChild(tree, work + L"\\memory");
    RemoveTree(work);
    return 0;
}
