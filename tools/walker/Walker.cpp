// Starts Ombrix.exe from a package directory and walks its wizard the way a user would,
// saving a picture of every page and message it meets and printing what each one said.
//
//   ombrix_walker.exe SCENARIO PACKAGE_DIR PICTURES_DIR
//
// PACKAGE_DIR holds Ombrix.exe, VC7 and System, and is the program's current directory.
// Each window is saved as PICTURES_DIR\NN-label.bmp. The exit code is 0 when every step of
// the scenario was taken, no other window appeared and the program ended.
#include <windows.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "String.h"
#include "WindowDriver.h"
#include "resource.h"

namespace {

using Kind = CWindowProbe::Kind;

// The name a picture of that kind of window gets when its step names none.
const char* KindName(Kind kind)
{
    const char* const names[] = {"components", "paths", "replace", "message"};
    return names[kind];
}

// What a window says: a message's text, the question, the ticked components or the paths.
std::string Describe(CWindowProbe& window)
{
    switch (window.GetKind()) {
    case CWindowProbe::kComponents:
        return std::string(window.IsChecked(IDC_APPWIZARD_FILES) ? "[x] " : "[ ] ") + window.Text(IDC_APPWIZARD_FILES) +
               (window.IsChecked(IDC_MFC_FILES) ? "\n[x] " : "\n[ ] ") + window.Text(IDC_MFC_FILES);
    case CWindowProbe::kPaths:
        return window.Text(IDC_VC_PATH) + "\n" + window.Text(IDC_SYSTEM_PATH);
    default:
        return window.MessageText();
    }
}

// One answer of the walk.
struct Step
{
    std::optional<Kind> kind;                // the window it answers; none: any window
    std::string label;                       // names the picture; empty: the kind's name
    CUiDriver::Handler act;                  // answers the window
    bool bRepeats = false;                   // also answers each following window of its kind
};

CUiDriver::Handler Press(int nID)
{
    return [nID](CWindowProbe& window) { window.Click(nID); };
}

// The walks, by name; remembered carries a field's path from one step to a later one.
std::map<std::string, std::vector<Step>> Scenarios(std::string& remembered)
{
    return {
        // Enter on every window: the default choices and "Да" to every replace question.
        {"default", {{std::nullopt, "", Press(IDOK), true}}},
        {"first", {
            {CWindowProbe::kComponents, "components", Press(IDOK)},
            {CWindowProbe::kPaths, "paths-first", Press(IDOK)},
            {CWindowProbe::kReplace, "replace", Press(IDOK), true},
            {CWindowProbe::kMessage, "summary-success", Press(IDOK)}}},
        {"second", {
            // Ticking the second box first keeps "Далее >>" enabled throughout.
            {CWindowProbe::kComponents, "", [](CWindowProbe& window) {
                window.Click(IDC_MFC_FILES);
                window.Click(IDC_APPWIZARD_FILES);
                window.Click(IDOK);
            }},
            {CWindowProbe::kPaths, "paths-second", Press(IDCANCEL)},
            {CWindowProbe::kMessage, "summary-aborted", Press(IDOK)}}},
        // The system field is emptied to see the refusal, then given back its path. A replace
        // that fails (make screenshots puts a folder where one System file goes) brings the
        // failure notice and the problems summary.
        {"both", {
            {CWindowProbe::kComponents, "", [](CWindowProbe& window) {
                window.Click(IDC_MFC_FILES);
                window.Click(IDOK);
            }},
            {CWindowProbe::kPaths, "paths-both", [&remembered](CWindowProbe& window) {
                remembered = window.Text(IDC_SYSTEM_PATH);
                window.SetText(IDC_SYSTEM_PATH, "");
                window.Click(IDOK);
            }},
            {CWindowProbe::kMessage, "empty-path", Press(IDOK)},
            {CWindowProbe::kPaths, "", [&remembered](CWindowProbe& window) {
                window.SetText(IDC_SYSTEM_PATH, remembered);
                window.Click(IDOK);
            }},
            {CWindowProbe::kReplace, "", Press(IDOK), true},
            {CWindowProbe::kMessage, "failure", Press(IDOK)},
            {CWindowProbe::kMessage, "summary-problems", Press(IDOK)}}},
    };
}

// What the screen shows of a window, frame included, as the rows of a bottom-up 24-bit DIB.
struct Picture
{
    BITMAPINFOHEADER header = {};
    std::vector<BYTE> bits;
};

// What the screen shows of the window right now.
Picture CaptureWindow(HWND hWnd)
{
    RECT rect;
    ::GetWindowRect(hWnd, &rect);
    Picture picture;
    BITMAPINFOHEADER& header = picture.header;
    header.biSize = sizeof header;
    header.biWidth = rect.right - rect.left;
    header.biHeight = rect.bottom - rect.top;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(((header.biWidth * 3 + 3) & ~3) * header.biHeight);

    HDC hScreen = ::GetDC(nullptr);
    HDC hMemory = ::CreateCompatibleDC(hScreen);
    void* pBits = nullptr;
    HBITMAP hBitmap = ::CreateDIBSection(hScreen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                         &pBits, nullptr, 0);
    HGDIOBJ hOld = ::SelectObject(hMemory, hBitmap);
    ::BitBlt(hMemory, 0, 0, header.biWidth, header.biHeight, hScreen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    if (pBits)
        picture.bits.assign(static_cast<BYTE*>(pBits), static_cast<BYTE*>(pBits) + header.biSizeImage);
    ::SelectObject(hMemory, hOld);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hMemory);
    ::ReleaseDC(nullptr, hScreen);
    return picture;
}

// Pictures a window once its painting has settled: two captures in a row show the same.
Picture CaptureSettled(HWND hWnd)
{
    Picture previous = CaptureWindow(hWnd);
    for (int nTry = 0; nTry < 20; ++nTry) {
        ::Sleep(150);
        Picture current = CaptureWindow(hWnd);
        if (current.bits == previous.bits)
            break;
        previous = std::move(current);
    }
    return previous;
}

// Writes the picture as a BMP file; false when it could not.
bool SaveBmp(const Picture& picture, const std::wstring& path)
{
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;                    // "BM"
    file.bfOffBits = sizeof file + sizeof picture.header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(picture.bits.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out)
        return false;
    bool bSaved = !picture.bits.empty() && fwrite(&file, sizeof file, 1, out) == 1 &&
                  fwrite(&picture.header, sizeof picture.header, 1, out) == 1 &&
                  fwrite(picture.bits.data(), picture.bits.size(), 1, out) == 1;
    return fclose(out) == 0 && bSaved;
}

// Takes the scenario's steps in order as the program's windows come, picturing each window.
class CWalk
{
public:
    CWalk(std::vector<Step> steps, std::wstring pictures)
        : m_steps(std::move(steps)), m_nTaken(m_steps.size(), 0), m_pictures(std::move(pictures))
    {
    }

    void OnWindow(CWindowProbe& window)
    {
        Kind kind = window.GetKind();
        // A repeating step gives way to the next one when a window of another kind comes.
        while (m_nStep < m_steps.size() && m_steps[m_nStep].bRepeats && m_nTaken[m_nStep] > 0 &&
               !Fits(m_steps[m_nStep].kind, kind))
            ++m_nStep;
        bool bExpected = m_nStep < m_steps.size() && Fits(m_steps[m_nStep].kind, kind);
        std::string label = !bExpected ? "unexpected"
                            : m_steps[m_nStep].label.empty() ? KindName(kind) : m_steps[m_nStep].label;
        Record(window, label);
        if (!bExpected) {
            m_bUnexpected = true;
            if (!window.Click(IDCANCEL))
                window.Click(IDOK);
            return;
        }
        ++m_nTaken[m_nStep];
        const Step& step = m_steps[m_nStep];
        if (!step.bRepeats)
            ++m_nStep;
        step.act(window);
    }

    // Every step was taken and nothing else appeared.
    bool Complete() const
    {
        for (int nTaken : m_nTaken)
            if (nTaken == 0)
                return false;
        return !m_bUnexpected;
    }

private:
    static bool Fits(const std::optional<Kind>& wanted, Kind kind) { return !wanted || *wanted == kind; }

    // Pictures the window once it has painted, and prints what it says.
    void Record(CWindowProbe& window, const std::string& label)
    {
        // A window turns active before it has painted; let its thread catch up.
        DWORD_PTR result;
        ::SendMessageTimeoutW(window.Handle(), WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result);

        char number[16];
        std::snprintf(number, sizeof number, "%02d-", ++m_nWindows);
        std::string name = number + label;
        if (!SaveBmp(CaptureSettled(window.Handle()), m_pictures + L"\\" + Widen(CString(name + ".bmp"))))
            std::printf("  (could not save the picture %s)\n", name.c_str());

        std::string text = Describe(window);
        std::printf("%s  [%s]", name.c_str(), window.Caption().c_str());
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find('\n', start);
            std::printf("%s%s", start == 0 ? "  " : " / ", text.substr(start, end - start).c_str());
            start = end == std::string::npos ? text.size() : end + 1;
        }
        std::printf("\n");
        std::fflush(stdout);
    }

    std::vector<Step> m_steps;
    std::vector<int> m_nTaken;
    size_t m_nStep = 0;
    bool m_bUnexpected = false;
    int m_nWindows = 0;
    std::wstring m_pictures;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::string remembered;
    auto scenarios = Scenarios(remembered);
    auto found = argc == 4 ? scenarios.find(Narrow(argv[1]).Str()) : scenarios.end();
    if (found == scenarios.end()) {
        std::fprintf(stderr, "usage: ombrix_walker.exe default|first|second|both PACKAGE_DIR PICTURES_DIR\n");
        return 2;
    }
    std::wstring package = argv[2];
    ::CreateDirectoryW(argv[3], nullptr);

    CProgram program(package + L"\\Ombrix.exe", package);
    if (!program.IsStarted()) {
        std::fprintf(stderr, "cannot start Ombrix.exe in %s (error %lu)\n", Narrow(package.c_str()).Str().c_str(),
                     ::GetLastError());
        return 1;
    }

    CWalk walk(found->second, argv[3]);
    CUiDriver driver([&walk](CWindowProbe& window) { walk.OnWindow(window); }, program.ThreadId());
    // A window that nobody answers would keep the program open for ever.
    bool bEnded = program.Wait(120000) != -1;
    driver.Stop();
    if (!bEnded)
        std::fprintf(stderr, "the program did not end; stopped it\n");

    if (!walk.Complete()) {
        std::fprintf(stderr, "the walk did not go as the scenario says\n");
        return 1;
    }
    return bEnded ? 0 : 1;
}
