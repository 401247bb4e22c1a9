// The framework's long-path rule, and a dialog's result through its real window.
#include <gtest/gtest.h>

#include <functional>

#include "ReplaceDlg.h"
#include "WindowDriver.h"
#include "resource.h"

namespace {

struct LongPathCase
{
    std::wstring path, full, expected;
};

class LongPath : public ::testing::TestWithParam<LongPathCase> {};

// Pure: Wine has no 260-character limit, so only the function itself can show the rule.
TEST_P(LongPath, GetsThePrefixOnlyBeyondTheClassicLimit)
{
    EXPECT_EQ(AfxLongPath(GetParam().path, GetParam().full), GetParam().expected);
}

const std::wstring kLong = L"C:\\" + std::wstring(250, L'L');
INSTANTIATE_TEST_SUITE_P(Paths, LongPath, ::testing::Values(
    LongPathCase{L"a\\b", L"C:\\w\\a\\b", L"a\\b"},
    LongPathCase{L"C:\\" + std::wstring(244, L'x'), L"C:\\" + std::wstring(244, L'x'), L"C:\\" + std::wstring(244, L'x')},
    LongPathCase{L"C:\\" + std::wstring(245, L'x'), L"C:\\" + std::wstring(245, L'x'), L"\\\\?\\C:\\" + std::wstring(245, L'x')},
    LongPathCase{L"sub\\..\\\\long", kLong, L"\\\\?\\" + kLong},
    LongPathCase{L"\\\\server\\share\\" + std::wstring(250, L'u'), L"\\\\server\\share\\" + std::wstring(250, L'u'),
                 L"\\\\?\\UNC\\server\\share\\" + std::wstring(250, L'u')},
    LongPathCase{L"\\\\?\\C:\\x", L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"}));

struct AnswerCase
{
    const char* name;
    std::function<void(CWindowProbe&)> answer;
    INT_PTR result;
};

class ReplaceAnswer : public ::testing::TestWithParam<AnswerCase> {};

// The question shows its text exactly, "&" and line feed included, and each way of answering
// gives its own result.
TEST_P(ReplaceAnswer, ShowsTheTextExactlyAndReturnsTheAnswer)
{
    CReplaceDlg dlg;
    dlg.m_strMessage = "Файл \"C:\\R&D\\文件.dll\"\nсуществует. Перезаписать?";
    std::string shown;
    LONG style = 0;
    CUiDriver driver([&](CWindowProbe& window) {
        shown = window.MessageText();
        style = ::GetWindowLongW(::GetDlgItem(window.Handle(), IDC_MESSAGE), GWL_STYLE);
        GetParam().answer(window);
    });
    EXPECT_EQ(dlg.DoModal(), GetParam().result);
    driver.Stop();
    EXPECT_EQ(shown, dlg.m_strMessage.Str());
    EXPECT_TRUE(style & SS_NOPREFIX) << "\"&\" would underline the next letter instead of showing";
}

INSTANTIATE_TEST_SUITE_P(Ways, ReplaceAnswer, ::testing::Values(
    AnswerCase{"Yes", [](CWindowProbe& w) { w.Click(IDOK); }, IDOK},
    AnswerCase{"Enter", [](CWindowProbe& w) { w.PressKey(VK_RETURN); }, IDOK},
    AnswerCase{"YesToAll", [](CWindowProbe& w) { w.Click(IDC_YES_ALL); }, IDC_YES_ALL},
    AnswerCase{"No", [](CWindowProbe& w) { w.Click(IDC_NO); }, IDC_NO},
    AnswerCase{"Cancel", [](CWindowProbe& w) { w.Click(IDCANCEL); }, IDCANCEL},
    AnswerCase{"Escape", [](CWindowProbe& w) { w.PressKey(VK_ESCAPE); }, IDCANCEL}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
