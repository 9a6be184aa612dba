#include "SkinUI/Utils/UITextConvert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using SkinUI::GbkToWide;
using SkinUI::WideToGbk;

// The conversions use GBK whatever the process's ANSI code page is, so these hold under every locale.
TEST(UITextConvert, GbkAndUtf16RoundTripAndRefuseWhatGbkLacks)
{
    struct Case
    {
        const wchar_t* pwstrWide;
        const char* pstrGbk; // expected bytes; null when GBK lacks a character
    };
    const Case cases[] = {
        {L"", ""},
        {L"Program Files (x86)", "Program Files (x86)"},
        {L"\u5b89\u88c5\u8def\u5f84\uff1a", "\xB0\xB2\xD7\xB0\xC2\xB7\xBE\xB6\xA3\xBA"}, // 安装路径：
        {L"C:\\\u6e38\u620f\\a", "C:\\\xD3\xCE\xCF\xB7\\a"},                           // a trail byte is never '\'
        {L"A\u00f1o", nullptr},                                                         // ñ: no look-alike 'n'
        {L"\u30ab\u30bf\u30ab\u30ca", "\xA5\xAB\xA5\xBF\xA5\xAB\xA5\xCA"},              // kana are in GBK
        {L"emoji-\U0001F3AE", nullptr},
    };
    for (const Case& c : cases) {
        bool bExact = false;
        const SkinUI::CUIString strGbk = WideToGbk(c.pwstrWide, -1, &bExact);
        if (c.pstrGbk == nullptr) {
            EXPECT_FALSE(bExact) << strGbk.Chars();
            EXPECT_EQ(std::string(strGbk.Chars()).find('n', 1), std::string::npos);
            continue;
        }
        EXPECT_TRUE(bExact);
        EXPECT_EQ(std::string(strGbk.Chars()), std::string(c.pstrGbk));
        EXPECT_EQ(GbkToWide(c.pstrGbk), std::wstring(c.pwstrWide));
    }
}

TEST(UITextConvert, Utf8RoundTripsAndRefusesBrokenBytes)
{
    const wchar_t* texts[] = {L"", L"\u00dcn\u00efc\u00f6d\u00e9-\u00e9.txt", L"\u30ab\u30bf\u30ab\u30ca.txt",
                              L"emoji-\U0001F3AE.txt", L"\u8bf4\u660e.txt"};
    for (const wchar_t* pwstr : texts) {
        bool bValid = false;
        EXPECT_EQ(SkinUI::Utf8ToWide(SkinUI::WideToUtf8(pwstr).c_str(), -1, &bValid), std::wstring(pwstr));
        EXPECT_TRUE(bValid);
    }
    EXPECT_EQ(SkinUI::WideToUtf8(L"\u8bf4"), "\xE8\xAF\xB4");
    for (const char* pstrBroken : {"\xC3", "a\xFF.", "\xED\xA0\x80"}) { // cut, impossible byte, a lone surrogate
        bool bValid = true;
        EXPECT_EQ(SkinUI::Utf8ToWide(pstrBroken, -1, &bValid), L"");
        EXPECT_FALSE(bValid) << pstrBroken;
    }
}

TEST(UITextConvert, LengthsNullAndBrokenBytes)
{
    EXPECT_EQ(GbkToWide(nullptr), L"");
    EXPECT_EQ(GbkToWide("abc", 2), L"ab");
    EXPECT_EQ(std::string(WideToGbk(L"abc", 1).Chars()), "a");
    EXPECT_EQ(std::string(WideToGbk(nullptr).Chars()), "");
    // A lead byte without its trail byte does not swallow the terminator or crash.
    const std::wstring strBroken = GbkToWide("a\xB0");
    ASSERT_FALSE(strBroken.empty());
    EXPECT_EQ(strBroken[0], L'a');
}

// The locale runs of the tests say which ANSI code page they were started for: this proves that they really
// run under it (the conversions above hold under every one).
TEST(UITextConvert, RunsUnderTheCodePageItWasStartedFor)
{
    const char* pstrExpected = std::getenv("VELTARA_EXPECT_CODEPAGE");
    if (pstrExpected == nullptr)
        GTEST_SKIP() << "started for the default code page";
    EXPECT_EQ(::GetACP(), static_cast<UINT>(std::strtoul(pstrExpected, nullptr, 10)));
}
