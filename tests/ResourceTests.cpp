// The compiled resources of the built program: every dialog template property, the icon
// group and the version record, read back from Ombrix.exe itself.
#include <gtest/gtest.h>

#include <windows.h>

#include "String.h"
#include "TestFolder.h"
#include "resource.h"

namespace {

// The built program, loaded for its resources only.
HMODULE LoadProgram()
{
    return ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

struct Control
{
    int id;
    std::string className;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::string text;
    bool operator==(const Control& o) const
    {
        return id == o.id && className == o.className && style == o.style && exStyle == o.exStyle && x == o.x &&
               y == o.y && cx == o.cx && cy == o.cy && text == o.text;
    }
};

std::ostream& operator<<(std::ostream& out, const Control& c)
{
    return out << "{id " << c.id << ", " << c.className << ", style 0x" << std::hex << c.style << ", ex 0x" << c.exStyle
               << std::dec << ", " << c.x << "," << c.y << " " << c.cx << "x" << c.cy << ", \"" << c.text << "\"}";
}

struct Template
{
    bool bExtended;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::string caption;
    WORD pointSize;
    WORD weight;
    BYTE italic;
    BYTE charset;
    std::string face;
    std::vector<Control> controls;
};

// Reads the fields of a dialog template in order.
class CTemplateReader
{
public:
    explicit CTemplateReader(const void* p) : m_p(static_cast<const BYTE*>(p)) {}

    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    BYTE Byte() { return Take<BYTE>(); }
    void AlignDword() { m_p = reinterpret_cast<const BYTE*>((reinterpret_cast<UINT_PTR>(m_p) + 3) & ~UINT_PTR(3)); }
    void Skip(size_t nBytes) { m_p += nBytes; }

    std::string String()
    {
        std::wstring text;
        for (WORD ch; (ch = Word()) != 0;)
            text += static_cast<wchar_t>(ch);
        return Narrow(text.c_str()).Str();
    }

    // A name or an ordinal; the predefined control classes come as ordinals.
    std::string NameOrOrdinal()
    {
        const WORD first = *reinterpret_cast<const WORD*>(m_p);
        if (first == 0) {
            Skip(2);
            return "";
        }
        if (first != 0xFFFF)
            return String();
        Skip(2);
        switch (WORD ordinal = Word()) {
        case 0x80: return "Button";
        case 0x81: return "Edit";
        case 0x82: return "Static";
        default: return "#" + std::to_string(ordinal);
        }
    }

private:
    template <class T>
    T Take()
    {
        T value;
        memcpy(&value, m_p, sizeof value);
        m_p += sizeof value;
        return value;
    }
    const BYTE* m_p;
};

Template ParseTemplate(const void* pData)
{
    CTemplateReader r(pData);
    Template t{};
    const WORD* pWords = static_cast<const WORD*>(pData);
    t.bExtended = pWords[0] == 1 && pWords[1] == 0xFFFF;
    WORD nItems;
    if (t.bExtended) {
        r.Skip(8);   // version, signature, help id
        t.exStyle = r.Dword();
        t.style = r.Dword();
    } else {
        t.style = r.Dword();
        t.exStyle = r.Dword();
    }
    nItems = r.Word();
    t.x = r.Short(), t.y = r.Short(), t.cx = r.Short(), t.cy = r.Short();
    r.NameOrOrdinal();   // menu
    r.NameOrOrdinal();   // class
    t.caption = r.String();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        if (t.bExtended) {
            t.weight = r.Word();
            t.italic = r.Byte();
            t.charset = r.Byte();
        }
        t.face = r.String();
    }
    for (WORD i = 0; i < nItems; ++i) {
        r.AlignDword();
        Control c{};
        if (t.bExtended) {
            r.Skip(4);   // help id
            c.exStyle = r.Dword();
            c.style = r.Dword();
        } else {
            c.style = r.Dword();
            c.exStyle = r.Dword();
        }
        c.x = r.Short(), c.y = r.Short(), c.cx = r.Short(), c.cy = r.Short();
        c.id = t.bExtended ? static_cast<int>(r.Dword()) : static_cast<short>(r.Word());
        c.className = r.NameOrOrdinal();
        c.text = r.NameOrOrdinal();
        r.Skip(r.Word());   // creation data
        t.controls.push_back(c);
    }
    return t;
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPageStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
const char* const kHeadingStart = "Это программа установки файлов русификации AppWizard срелы Microsoft Visual \u0421++ .NET 2003.\n\n";

struct DialogCase
{
    const char* name;
    int id;
    Template expected;
};

class DialogTemplate : public ::testing::TestWithParam<DialogCase> {};

TEST_P(DialogTemplate, MatchesTheDocumentedLayout)
{
    HMODULE hProgram = LoadProgram();
    ASSERT_NE(hProgram, nullptr);
    HRSRC hRes = ::FindResourceExW(hProgram, RT_DIALOG, MAKEINTRESOURCEW(GetParam().id),
                                   MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    ASSERT_NE(hRes, nullptr) << "no Russian template";
    Template actual = ParseTemplate(::LockResource(::LoadResource(hProgram, hRes)));
    const Template& e = GetParam().expected;

    EXPECT_EQ(actual.bExtended, e.bExtended);
    EXPECT_EQ(actual.style, e.style);
    EXPECT_EQ(actual.exStyle, e.exStyle);
    EXPECT_EQ(std::vector<short>({actual.x, actual.y, actual.cx, actual.cy}), std::vector<short>({e.x, e.y, e.cx, e.cy}));
    EXPECT_EQ(actual.caption, e.caption);
    EXPECT_EQ(actual.face, e.face);
    EXPECT_EQ(actual.pointSize, e.pointSize);
    EXPECT_EQ(actual.weight, e.weight);
    EXPECT_EQ(actual.italic, e.italic);
    EXPECT_EQ(actual.charset, e.charset);
    ASSERT_EQ(actual.controls.size(), e.controls.size());
    for (size_t i = 0; i < e.controls.size(); ++i)
        EXPECT_EQ(actual.controls[i], e.controls[i]) << "control #" << i << " in tab order";
    ::FreeLibrary(hProgram);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogTemplate, ::testing::Values(
    DialogCase{"Components", IDD_COMPONENTS, {true, kPageStyle, WS_EX_APPWINDOW, 0, 0, 237, 174, "Ombrix", 8, 0, 0,
        DEFAULT_CHARSET, "MS Sans Serif", {
        {IDC_APPWIZARD_FILES, "Button", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 7, 55, 157, 10,
         "Файлы русификации проектов AppWizard"},
        {IDC_MFC_FILES, "Button", kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 0, 7, 100, 157, 10,
         "Файлы локализации MFC-приложений"},
        {IDC_BACK, "Button", kChild | BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 0, 27, 153, 50, 14, "<< Назад"},
        {IDOK, "Button", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 84, 153, 50, 14, "Далее >>"},
        {IDCANCEL, "Button", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 160, 153, 50, 14, "Отмена"},
        {IDC_STATIC, "Static", kChild | SS_CENTER | WS_GROUP, WS_EX_STATICEDGE, 24, 7, 189, 40,
         std::string(kHeadingStart) + "Выберите, какие компоненты нужно устанавливать:"},
        {IDC_STATIC, "Static", kChild | SS_LEFT | WS_GROUP, WS_EX_STATICEDGE, 19, 67, 211, 27,
         "Эти файлы неоходимы для того, чтобы было возможно создавать русскоязычные проекты на Visual C++ .NET 2003."},
        {IDC_STATIC, "Static", kChild | SS_LEFT | WS_GROUP, WS_EX_STATICEDGE, 19, 113, 211, 27,
         "Эти файлы нужны для того, чтобы стандартные элементы управления в MFC-приложениях были русскоязычными, "
         "в том числе и на не-русскоязычных системах."}}}},
    DialogCase{"Paths", IDD_PATHS, {true, kPageStyle, WS_EX_APPWINDOW, 0, 0, 237, 174, "Ombrix", 8, 0, 0,
        DEFAULT_CHARSET, "MS Sans Serif", {
        {IDC_VC_PATH, "Edit", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 7, 72, 223, 14, ""},
        {IDC_SYSTEM_PATH, "Edit", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 7, 113, 223, 14, ""},
        {IDC_BACK, "Button", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 27, 153, 50, 14, "<< Назад"},
        {IDOK, "Button", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 84, 153, 50, 14, "Далее >>"},
        {IDCANCEL, "Button", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 160, 153, 50, 14, "Отмена"},
        {IDC_STATIC, "Static", kChild | SS_CENTER | WS_GROUP, WS_EX_STATICEDGE, 24, 7, 189, 40,
         std::string(kHeadingStart) + "Выберите пути установки файлов:"},
        {IDC_VC_LABEL, "Static", kChild | SS_LEFT | WS_GROUP, 0, 11, 58, 101, 8, "Путь установки Visual C++ 7.1"},
        {IDC_SYSTEM_LABEL, "Static", kChild | SS_LEFT | WS_GROUP, 0, 11, 99, 62, 8, "Системная папка:"}}}},
    DialogCase{"Replace", IDD_REPLACE, {false, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0,
        0, 0, 273, 73, "Подтверждение замены", 8, 0, 0, 0, "MS Sans Serif", {
        {IDOK, "Button", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 17, 52, 50, 14, "Да"},
        {IDC_YES_ALL, "Button", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 80, 52, 50, 14, "Да - для всех"},
        {IDC_NO, "Button", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 143, 52, 50, 14, "Нет"},
        {IDCANCEL, "Button", kChild | BS_PUSHBUTTON | WS_TABSTOP, 0, 206, 52, 50, 14, "Отмена"},
        {IDC_MESSAGE, "Static", kChild | SS_LEFT | WS_GROUP, 0, 7, 7, 259, 34, "Файл существует.\nПерезаписать?"}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramIcon, IsOneRussian32By32ImageAt32Bits)
{
    HMODULE hProgram = LoadProgram();
    ASSERT_NE(hProgram, nullptr);
    HRSRC hRes = ::FindResourceExW(hProgram, RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_MAIN),
                                   MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    ASSERT_NE(hRes, nullptr);
    const BYTE* pGroup = static_cast<const BYTE*>(::LockResource(::LoadResource(hProgram, hRes)));
    WORD nImages = *reinterpret_cast<const WORD*>(pGroup + 4);
    ASSERT_EQ(nImages, 1);
    const BYTE* pEntry = pGroup + 6;   // width, height, colours, reserved, planes, bit count, ...
    EXPECT_EQ(pEntry[0], 32);
    EXPECT_EQ(pEntry[1], 32);
    EXPECT_EQ(*reinterpret_cast<const WORD*>(pEntry + 6), 32);
    ::FreeLibrary(hProgram);
}

TEST(ProgramManifest, AsksForAdministratorRightsAndNamesTheSupportedWindows)
{
    HMODULE hProgram = LoadProgram();
    ASSERT_NE(hProgram, nullptr);
    HRSRC hRes = ::FindResourceW(hProgram, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(hRes, nullptr);
    std::string manifest(static_cast<const char*>(::LockResource(::LoadResource(hProgram, hRes))),
                         ::SizeofResource(hProgram, hRes));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    // Windows 10 and 11 share one identifier.
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
    ::FreeLibrary(hProgram);
}

// One string of the version record's only string block.
std::string VersionString(const std::vector<BYTE>& info, const char* key)
{
    void* pValue = nullptr;
    UINT nLength = 0;
    std::wstring query = L"\\StringFileInfo\\040904B0\\" + Widen(key);
    if (!::VerQueryValueW(info.data(), query.c_str(), &pValue, &nLength))
        return "<missing>";
    return Narrow(static_cast<const wchar_t*>(pValue)).Str();
}

TEST(VersionRecord, MatchesTheDocumentedValues)
{
    HMODULE hProgram = LoadProgram();
    ASSERT_NE(hProgram, nullptr);
    EXPECT_NE(::FindResourceExW(hProgram, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO),
                                MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)), nullptr);
    ::FreeLibrary(hProgram);

    std::vector<BYTE> info(::GetFileVersionInfoSizeW(BuiltProgramPath().c_str(), nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(BuiltProgramPath().c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT nLength = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&pFixed), &nLength));
    EXPECT_EQ(pFixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(pFixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(pFixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(pFixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(pFixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(pFixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(pFixed->dwFileSubtype, 0u);
    EXPECT_EQ(pFixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(pFixed->dwFileFlags, 0u);
    EXPECT_EQ(pFixed->dwFileDateMS | pFixed->dwFileDateLS, 0u);

    WORD* pTranslation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pTranslation),
                                 &nLength));
    EXPECT_EQ(pTranslation[0], 0x0409);
    EXPECT_EQ(pTranslation[1], 1200);

    const std::pair<const char*, const char*> strings[] = {
        {"CompanyName", ""},
        {"FileDescription", "Система Ombrix, создана с использованием библиотеки MFC"},
        {"FileVersion", "1, 0, 0, 1"},
        {"InternalName", "Ombrix"},
        {"LegalTrademarks", ""},
        {"OriginalFilename", "Ombrix.EXE"},
        {"ProductName", "Система Ombrix"},
        {"ProductVersion", "1, 0, 0, 1"}};
    for (const auto& [key, value] : strings)
        EXPECT_EQ(VersionString(info, key), value) << key;
    EXPECT_NE(VersionString(info, "LegalCopyright"), "<missing>");
}

}  // namespace
