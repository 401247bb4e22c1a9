// The wizard through its real windows: both pages and the page flow, the default paths from
// the prefix's registry, the built program's resources, and the program itself on a full disk.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "ComponentsDlg.h"
#include "Messages.h"
#include "PathsDlg.h"
#include "TestWorld.h"
#include "WindowDriver.h"
#include "resource.h"

namespace {

using Strings = std::vector<std::string>;
// One answer of a walk; it may note what it did.
using Step = std::function<void(CWindowProbe&, Strings& seen)>;

// What a window shows a user, in a few words. The components page: its title, the boxes
// ticked, whether "<< Назад" and "Далее >>" can be clicked, its icon. The paths page: whether
// the first page still shows under it, which labels and fields are enabled, then what each
// field offers. A box: its title and text, "(error)" after an abort's. (Where the focus lands
// is left out: Wine's dialog manager moves it as a page is activated, at its own moment.)
Strings Describe(CWindowProbe& window)
{
    HWND hWnd = window.Handle();
    if (window.GetKind() == CWindowProbe::kComponents) {
        LRESULT hIcon = CWindowProbe::Send(hWnd, WM_GETICON, ICON_BIG);
        return {window.Caption() + (window.IsChecked(IDC_APPWIZARD_FILES) ? " first" : "") +
                (window.IsChecked(IDC_MFC_FILES) ? " second" : "") + (window.Click(IDC_BACK) ? " back" : "") +
                (window.IsEnabled(IDOK) ? " next" : "") +
                (hIcon && CWindowProbe::Send(hWnd, WM_QUERYDRAGICON) == static_cast<DWORD_PTR>(hIcon) ? " icon" : "")};
    }
    if (window.GetKind() != CWindowProbe::kPaths)
        return {window.Caption() + ": " + window.MessageText() + (window.MessageIcon() == MB_ICONERROR ? " (error)" : "")};
    std::string state = ::IsWindowVisible(::GetWindow(hWnd, GW_OWNER)) ? "first page showing" : "";
    for (int nID : {IDC_VC_LABEL, IDC_VC_PATH, IDC_SYSTEM_LABEL, IDC_SYSTEM_PATH})
        state += window.IsEnabled(nID) ? " on" : " off";
    return {state.substr(state[0] == ' '), window.Text(IDC_VC_PATH), window.Text(IDC_SYSTEM_PATH)};
}

// Runs the wizard on this thread, or watches the program, noting what each window shows and
// taking the steps in order as the windows come; a window beyond the last step is cancelled.
// The end of the wizard on this thread is noted too.
Strings Walk(std::vector<Step> steps, DWORD dwProgramThread = 0)
{
    Strings seen;
    std::atomic<size_t> nStep{0};
    CUiDriver driver([&](CWindowProbe& window) {
        Strings shown = Describe(window);
        seen.insert(seen.end(), shown.begin(), shown.end());
        if (nStep < steps.size())
            return steps[nStep++](window, seen);
        seen.push_back("unexpected");
        if (!window.Click(IDCANCEL))
            window.Click(IDOK);
    }, dwProgramThread);
    for (int nWait = 0; dwProgramThread && nStep < steps.size() && nWait < 6000; ++nWait)
        ::Sleep(10);
    if (dwProgramThread)
        return driver.Stop(), seen;
    CComponentsDlg page;
    AfxGetApp()->m_pMainWnd = &page;
    seen.push_back("result " + std::to_string(page.DoModal()));
    AfxGetApp()->m_pMainWnd = nullptr;
    return seen;
}

Step Press(int nID)
{
    return [nID](CWindowProbe& window, Strings&) { window.Click(nID); };
}

// Types a field's text, then clicks a button.
Step Type(int nField, const std::string& text, int nThen)
{
    return [=](CWindowProbe& window, Strings&) {
        window.SetText(nField, text);
        window.Click(nThen);
    };
}

// Ticks the components page's boxes as asked, then "Далее >>".
Step Choose(bool bFirst, bool bSecond)
{
    return [=](CWindowProbe& page, Strings&) {
        if (page.IsChecked(IDC_APPWIZARD_FILES) != bFirst)
            page.Click(IDC_APPWIZARD_FILES, true);
        if (page.IsChecked(IDC_MFC_FILES) != bSecond)
            page.Click(IDC_MFC_FILES, true);
        page.Click(IDOK);
    };
}

const Step kOK = Press(IDOK);
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

// What the walk sees has the paths page's defaults as "VC" and "SYSTEM".
struct WalkCase { const char* name; std::vector<Step> steps; Strings seen; };

class PageFlow : public ::testing::TestWithParam<WalkCase> {};

// Nothing is moved by any of these walks, which end in a cancel.
TEST_P(PageFlow, ShowsWhatTheChoicesAskForAndCancelsOnce)
{
    CTestFolder folder;
    folder.Write("pkg\\VC7\\a.txt", "a");
    auto inPackage = EnterFolder(folder.Path("pkg"));
    CString vc, system;
    LoadDefaultPaths(vc, system);
    Strings expected = GetParam().seen;
    for (std::string& line : expected)
        line = line == "VC" ? vc.Str() : line == "SYSTEM" ? system.Str() : line;
    EXPECT_EQ(Walk(GetParam().steps), expected);
    EXPECT_EQ(folder.List("pkg"), (Strings{"VC7\\", "VC7\\a.txt"}));
}

const std::string kStart = "Ombrix first next icon", kAborted = "Ombrix: " + std::string(Messages::kAborted) + " (error)";
INSTANTIATE_TEST_SUITE_P(Walks, PageFlow, ::testing::Values(
    WalkCase{"escape_on_the_first_page", {kToggleThenEscape, kOK}, {kStart, "011101", kAborted, "result 2"}},
    WalkCase{"close_box_on_the_first_page", {kCloseBox, kOK}, {kStart, kAborted, "result 2"}},
    WalkCase{"first_component", {Choose(true, false), Press(IDCANCEL), kOK},
             {kStart, "on on off off", "VC", "SYSTEM", kAborted, "result 2"}},
    WalkCase{"second_component_escape", {Choose(false, true), kEscape, kOK},
             {kStart, "off off on on", "VC", "SYSTEM", kAborted, "result 2"}},
    // A blank field of a chosen component is refused; Back keeps the choices, forgets the edits,
    // and the page follows new choices.
    WalkCase{"blank_path_then_back", {Choose(true, true), Type(IDC_SYSTEM_PATH, " \t ", IDOK), kOK,
                                      Type(IDC_VC_PATH, "X:\\edited", IDC_BACK), Choose(false, true), Press(IDCANCEL), kOK},
             {kStart, "on on on on", "VC", "SYSTEM", "Ombrix: " + std::string(Messages::kNoPath),
              "on on on on", "VC", " \t ", "Ombrix first second next icon",
              "off off on on", "VC", "SYSTEM", kAborted, "result 2"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the default paths ----

// Each row: a record of a type (none: no key at all) and value, the value's last bytes cut off
// (its terminating zero first), and what the paths page offers ("*": the default).
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
        SetVcRecord(record.type, bytes.substr(0, bytes.size() - static_cast<size_t>(record.nDropBytes)));
        wchar_t system[MAX_PATH];
        ::GetSystemDirectoryW(system, MAX_PATH);
        CString vcPath, systemPath;
        LoadDefaultPaths(vcPath, systemPath);
        EXPECT_EQ(vcPath.Str(), record.offered != "*" ? record.offered : Narrow(system).Left(1).Str() +
                                ":\\Program Files\\Microsoft Visual Studio .NET 2003\\Vc7") << Narrow(record.value.c_str()).Str();
        EXPECT_EQ(systemPath, Narrow(system));
    }
    SetVcRecord(std::nullopt);
}

// ---- the built program's resources ----

INT_PTR CALLBACK InertPage(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// What a user meets in the program as built: Russian pages, the controls that Tab visits on
// each, in its order, with their texts; and, as it writes to the system directory, the request
// that Windows ask for elevation as it starts.
TEST(Resources, PagesAreRussianTabVisitsTheirControlsInOrderAndElevationIsAsked)
{
    HMODULE hProgram = ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    using TabStops = std::vector<std::pair<int, std::string>>;
    const std::pair<int, std::string> kBack{IDC_BACK, "<< Назад"}, kNext{IDOK, "Далее >>"}, kCancel{IDCANCEL, "Отмена"};
    for (const auto& [nTemplate, expected] : std::vector<std::pair<int, TabStops>>{
             {IDD_COMPONENTS, {{IDC_APPWIZARD_FILES, "Файлы русификации проектов AppWizard"},
                               {IDC_MFC_FILES, "Файлы локализации MFC-приложений"}, kBack, kNext, kCancel}},
             {IDD_PATHS, {{IDC_VC_PATH, ""}, {IDC_SYSTEM_PATH, ""}, kBack, kNext, kCancel}},
             {IDD_REPLACE, {{IDOK, "Да"}, {IDC_YES_ALL, "Да - для всех"}, {IDC_NO, "Нет"}, kCancel}}}) {
        LPCWSTR pszTemplate = MAKEINTRESOURCEW(nTemplate);
        EXPECT_TRUE(::FindResourceExW(hProgram, RT_DIALOG, pszTemplate, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)));
        HWND hPage = ::CreateDialogParamW(hProgram, pszTemplate, nullptr, InertPage, 0);
        TabStops stops;
        for (HWND hChild = ::GetWindow(hPage, GW_CHILD); hChild; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
            if (::GetWindowLongW(hChild, GWL_STYLE) & WS_TABSTOP)
                stops.emplace_back(::GetDlgCtrlID(hChild), CWindowProbe(hChild, 0).Caption());
        ::DestroyWindow(hPage);
        EXPECT_EQ(stops, expected) << "page " << nTemplate;
    }
    HRSRC hManifest = ::FindResourceW(hProgram, MAKEINTRESOURCEW(1), RT_MANIFEST);
    std::string manifest(hManifest ? static_cast<const char*>(::LockResource(::LoadResource(hProgram, hManifest))) : "",
                         ::SizeofResource(hProgram, hManifest));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos) << manifest;
    ::FreeLibrary(hProgram);
}

// ---- the program itself ----

// The program as its own process copies a file from another file system over an older one
// under a file-size limit (a full disk), started by the system's prlimit with the limit's
// signal ignored: each write past the limit fails, and the run survives to clean up. The
// edited path is used, and the boxes carry the program's title.
TEST(Program, FailsACopyWholeOnAFullDiskAndLeavesNoPartOfIt)
{
    CTestFolder folder, package(true);
    package.Write("VC7\\big.dll", std::string(8 << 20, 'x'));
    ::CopyFileW(BuiltProgramPath().c_str(), Widen(package.Path("Ombrix.exe")).c_str(), FALSE);
    folder.Write("vc\\big.dll", "old");
    CProgram shell(L"/bin/sh", L"", Widen("-c \"cd '" + UnixPath(package.Path()) + "' && trap '' XFSZ && exec "
                                          "prlimit --fsize=1048576 wine Ombrix.exe\""));
    // The program's first page tells its thread: the wizard's cases run one at a time, and no
    // other test shows that page.
    DWORD dwThreadId = 0;
    for (int nWait = 0; !dwThreadId && nWait < 3000; ++nWait, ::Sleep(10))
        for (HWND hWnd = nullptr; !dwThreadId && (hWnd = ::FindWindowExW(nullptr, hWnd, nullptr, L"Ombrix"));)
            dwThreadId = ::GetDlgItem(hWnd, IDC_APPWIZARD_FILES) ? ::GetWindowThreadProcessId(hWnd, nullptr) : 0;
    ASSERT_NE(dwThreadId, 0u) << "the program did not start";
    CString vc, system;
    LoadDefaultPaths(vc, system);
    // Its icon handles are its own, so they cannot be compared from here.
    EXPECT_EQ(Walk({kOK, Type(IDC_VC_PATH, folder.Path("vc").Str(), IDOK), kOK, kOK, kOK}, dwThreadId),
              (Strings{"Ombrix first next", "on on off off", vc.Str(), system.Str(),
                       "Подтверждение замены: " + Messages::ReplaceQuestion(folder.Path("vc\\big.dll")).Str(),
                       "Ombrix: " + Messages::CannotMove(package.Path("VC7\\big.dll"), folder.Path("vc\\big.dll")).Str(),
                       "Ombrix: " + std::string(Messages::kProblems)}));
    EXPECT_EQ(folder.List("vc"), Strings{"big.dll"});
    EXPECT_EQ(folder.Read("vc\\big.dll"), "old");
    EXPECT_EQ(package.Read("VC7\\big.dll"), std::string(8 << 20, 'x'));
}

}  // namespace
