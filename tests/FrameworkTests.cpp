// The framework's long-path rule.
#include <gtest/gtest.h>

#include "FileOps.h"

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

}  // namespace
