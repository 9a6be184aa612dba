#include "SkinUI/Utils/UIString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using SkinUI::CUIString;

namespace {
std::string Bytes(const char* p)
{
    std::string s;
    char hex[4];
    for (; *p; ++p) {
        std::snprintf(hex, sizeof(hex), "%02X ", static_cast<unsigned char>(*p));
        s += hex;
    }
    if (!s.empty())
        s.pop_back();
    return s;
}
} // namespace

TEST(UIStringText, ChineseLiteralsReachTheProgramAsGbk)
{
    EXPECT_EQ(Bytes("请输入正确的安装路径！"), "C7 EB CA E4 C8 EB D5 FD C8 B7 B5 C4 B0 B2 D7 B0 C2 B7 BE B6 A3 A1");
}

TEST(UIStringStorage, ShortTextsInlineLongTextsOnTheHeap)
{
    const std::string s62(62, 'x'), s63(63, 'y');
    CUIString a(s62.c_str());
    EXPECT_TRUE(a.IsInline());
    EXPECT_EQ(a.GetLength(), 62);
    CUIString b(s63.c_str());
    EXPECT_FALSE(b.IsInline());
    EXPECT_EQ(b.GetLength(), 63);
    EXPECT_EQ(std::string(b.Chars()), s63);

    CUIString c(std::string(100, 'z').c_str());
    EXPECT_FALSE(c.IsInline());
    c = "0123456789";
    EXPECT_TRUE(c.IsInline());
    EXPECT_STREQ(c, "0123456789");
}

TEST(UIStringStorage, AppendingPastTheInlineBufferMovesToTheHeap)
{
    CUIString s(std::string(60, 'a').c_str());
    s += "bb";
    EXPECT_TRUE(s.IsInline());
    s += 'c';
    EXPECT_FALSE(s.IsInline());
    EXPECT_EQ(s.GetLength(), 63);
    s += std::string(200, 'd').c_str();
    EXPECT_EQ(s.GetLength(), 263);
    EXPECT_EQ(s[262], 'd');
    EXPECT_EQ(s[62], 'c');
}

TEST(UIStringStorage, SelfAppendAndSelfAssignKeepTheText)
{
    CUIString s(std::string(40, 'q').c_str());
    s += s;
    EXPECT_EQ(std::string(s.Chars()), std::string(80, 'q'));
    s += s.Chars() + 70; // a tail of its own heap text
    EXPECT_EQ(s.GetLength(), 90);
    s.AssignText(s.Chars() + 5, 70); // a part of its own heap text, shorter: block reused
    EXPECT_EQ(s.GetLength(), 70);
    s.AssignText(s.Chars() + 60); // a part of itself that fits inline
    EXPECT_EQ(std::string(s.Chars()), std::string(10, 'q'));
    EXPECT_TRUE(s.IsInline());
    s = s;
    EXPECT_EQ(s.GetLength(), 10);
}

TEST(UIStringStorage, CopyMoveAndClear)
{
    CUIString heap(std::string(80, 'h').c_str());
    CUIString copy(heap);
    EXPECT_NE(copy.Chars(), heap.Chars());
    EXPECT_STREQ(copy, heap);
    CUIString moved(static_cast<CUIString&&>(copy));
    EXPECT_EQ(moved.GetLength(), 80);
    EXPECT_TRUE(copy.IsEmpty());
    moved.Clear();
    EXPECT_TRUE(moved.IsEmpty());
    EXPECT_TRUE(moved.IsInline());
}

TEST(UIStringAssign, LengthNullCharacterAndWideText)
{
    CUIString s;
    s.AssignText("abcdef", 3);
    EXPECT_STREQ(s, "abc");
    s.AssignText(nullptr);
    EXPECT_STREQ(s, "");
    s.AssignText("ab", 10); // a length past the terminator stops at the terminator
    EXPECT_STREQ(s, "ab");
    s = 'x';
    EXPECT_STREQ(s, "x");
    s = static_cast<const char*>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    s = L"中文";
    EXPECT_EQ(Bytes(s), "D6 D0 CE C4");
    s += L"ab";
    EXPECT_EQ(Bytes(s), "D6 D0 CE C4 61 62");
    s = static_cast<const wchar_t*>(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ(CUIString("ab") + "cd" + CUIString("ef"), "abcdef");
}

TEST(UIStringSubstrings, BoundsAreClamped)
{
    const CUIString s("abcdef");
    EXPECT_STREQ(s.Substring(2), "cdef");
    EXPECT_STREQ(s.Substring(2, 10), "cdef");
    EXPECT_STREQ(s.Substring(6), "");
    EXPECT_STREQ(s.Substring(1, 2), "bc");
    EXPECT_STREQ(s.Leftmost(-1), "");
    EXPECT_STREQ(s.Leftmost(3), "abc");
    EXPECT_STREQ(s.Leftmost(99), "abcdef");
    EXPECT_STREQ(CUIString("abc").Rightmost(10), "abc");
    EXPECT_STREQ(s.Rightmost(2), "ef");
}

TEST(UIStringSearch, FindCharFindTextAndReplace)
{
    const CUIString abc("abc");
    EXPECT_EQ(abc.FindChar('a', 5), -1);
    EXPECT_EQ(abc.FindChar('c'), 2);
    EXPECT_EQ(abc.FindChar('a', 1), -1);
    EXPECT_EQ(abc.FindText("", 3), 3);
    EXPECT_EQ(abc.FindText("bc"), 1);
    EXPECT_EQ(abc.FindText("bc", 2), -1);
    EXPECT_EQ(abc.FindText("a", 4), -1);
    EXPECT_EQ(CUIString("a.b.c").FindLastChar('.'), 3);

    CUIString t("a<n>b<n>");
    EXPECT_EQ(t.ReplaceAll("<n>", "\r\n"), 2);
    EXPECT_STREQ(t, "a\r\nb\r\n");
    CUIString u("aa");
    EXPECT_EQ(u.ReplaceAll("a", "aa"), 2);
    EXPECT_STREQ(u, "aaaa");
    CUIString v("xyz");
    EXPECT_EQ(v.ReplaceAll("q", "r"), 0);
    EXPECT_STREQ(v, "xyz");
}

TEST(UIStringCompare, CaseAndOrder)
{
    const CUIString s("Hello");
    EXPECT_TRUE(s == "Hello");
    EXPECT_TRUE(s != "hello");
    EXPECT_EQ(s.CompareIgnoreCase("hELLO"), 0);
    EXPECT_LT(s.CompareTo("Hellp"), 0);
    EXPECT_TRUE(s < "Z");
    EXPECT_TRUE(s >= "Hello");
    EXPECT_TRUE(CUIString("\x80") > "a") << "bytes compare unsigned";
    CUIString m("MiXeD 123");
    m.ToUpper();
    EXPECT_STREQ(m, "MIXED 123");
    m.ToLower();
    EXPECT_STREQ(m, "mixed 123");
}

// GBK characters whose trail byte looks like ASCII: 乗 = 81 5C ('\\'), 乤 = 81 61 ('a'), 丄 = 81 41 ('A').
TEST(UIStringDoubleByte, TrailBytesAreNeverTakenForCharacters)
{
    const CUIString path("C:\\乗");
    EXPECT_EQ(path.FindLastChar('\\'), 2);
    EXPECT_EQ(CUIString("乗").FindChar('\\'), -1);
    EXPECT_EQ(CUIString("x乗\\").FindChar('\\'), 3);
    EXPECT_EQ(CUIString("乗\\").FindText("\\"), 2);
    EXPECT_EQ(CUIString("乤").FindText("a"), -1);

    CUIString up("乤a");
    up.ToUpper();
    EXPECT_EQ(Bytes(up), "81 61 41");
    CUIString low("丄A");
    low.ToLower();
    EXPECT_EQ(Bytes(low), "81 41 61");

    EXPECT_NE(CUIString("乤").CompareIgnoreCase("丄"), 0);
    EXPECT_EQ(CUIString("中文Ab").CompareIgnoreCase("中文aB"), 0);

    CUIString r("乗乗");
    EXPECT_EQ(r.ReplaceAll("\\", "/"), 0);
    EXPECT_EQ(Bytes(r), "81 5C 81 5C");
}

TEST(UIStringDoubleByte, ByteLimitedCopiesNeverSplitACharacter)
{
    CUIString s;
    s.AssignText("中文", 3); // D6 D0 CE | C4
    EXPECT_EQ(Bytes(s), "D6 D0");
    s.AssignText("a中", 2);
    EXPECT_STREQ(s, "a");
    EXPECT_EQ(Bytes(CUIString("中文字").Leftmost(5)), "D6 D0 CE C4");
    EXPECT_EQ(Bytes(CUIString("中文").Substring(0, 3)), "D6 D0");

    // 61 ASCII bytes then a double-byte character: the 62-byte limit of a short text is respected.
    std::string text(61, 'a');
    text += "中";
    CUIString t(text.c_str(), 62);
    EXPECT_EQ(t.GetLength(), 61);
}

// A text may end in a lone lead byte (cut elsewhere, or not text at all): copies that are not limited keep it.
TEST(UIStringDoubleByte, WholeCopiesKeepALoneTrailingLeadByte)
{
    for (const std::string& text : {std::string("ab\xD6"), std::string(70, 'x') + "\xD6"}) {
        const char* p = text.c_str();
        const int n = static_cast<int>(text.size());
        const CUIString original(p);
        const CUIString copy(original);
        CUIString assigned;
        assigned = original;
        CUIString fromText;
        fromText = p;
        CUIString limitAtTheEnd;
        limitAtTheEnd.AssignText(p, n);
        CUIString limitPastTheEnd;
        limitPastTheEnd.AssignText(p, n + 5);
        for (const CUIString* s : std::initializer_list<const CUIString*>{&original, &copy, &assigned, &fromText,
                                                                          &limitAtTheEnd, &limitPastTheEnd})
            EXPECT_EQ(Bytes(*s), Bytes(p)) << n;
        EXPECT_EQ(Bytes(original.Leftmost(n)), Bytes(p)) << n;
        EXPECT_EQ(Bytes(original.Substring(0)), Bytes(p)) << n;
        EXPECT_EQ(Bytes(original.Rightmost(1)), "D6") << n;
        EXPECT_EQ(copy.CompareTo(original), 0) << n;
        // A limit inside the text still never ends on the lead byte of a cut character.
        EXPECT_EQ(CUIString(p, n - 1).GetLength(), n - 1) << n;
    }
    CUIString cut;
    cut.AssignText("a\xD6\xD0", 2); // the limit splits 中
    EXPECT_STREQ(cut, "a");
}

TEST(UIStringFormat, FormatTextAndBoundedFormatShort)
{
    CUIString s;
    EXPECT_EQ(s.FormatText("%s-%d-%05.1f", "ab", 42, 3.14159), 11);
    EXPECT_STREQ(s, "ab-42-003.1");
    const std::string longText(500, 'L');
    EXPECT_EQ(s.FormatText("[%s]", longText.c_str()), 502);
    EXPECT_EQ(s.GetLength(), 502);

    EXPECT_EQ(s.FormatShort("%d%%", 57), 3);
    EXPECT_STREQ(s, "57%");
    // 100 bytes into the 64-byte buffer: cut to 63 bytes, nothing written past it.
    const int n = s.FormatShort("%s", std::string(100, 'x').c_str());
    EXPECT_EQ(s.GetLength(), 63);
    EXPECT_EQ(n, 63);
    // A double-byte character straddling the cut is dropped whole.
    std::string dbcs(62, 'y');
    dbcs += "中";
    s.FormatShort("%s", dbcs.c_str());
    EXPECT_EQ(s.GetLength(), 62);
}

TEST(UIStringFormat, SetCharAtAndIndexing)
{
    CUIString s("abc");
    s.SetCharAt(1, 'X');
    EXPECT_STREQ(s, "aXc");
    EXPECT_EQ(s.GetCharAt(2), 'c');
    EXPECT_EQ(s[0], 'a');
}
