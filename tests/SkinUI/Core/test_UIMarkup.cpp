// The skin markup reader: structure, attributes, entities, whitespace, the error texts, encodings, reading
// from the resource folder or archive, and damaged input (every cut of a skin, random byte changes).
#include "SkinUI/Core/UIManager.h"
#include "SkinUI/Core/UIMarkup.h"

#include "ResourceTestSupport.h"
#include "tests/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace SkinUI;
using namespace SkinUITest;

namespace {

// "name(attr=value,...)[text]{child child}" for an element and its subtree.
std::string Dump(const CSkinMarkupNode& node)
{
    std::string s = node.Name();
    if (node.HasAttrs()) {
        s += "(";
        for (int i = 0; i < node.AttrCount(); ++i)
            s += std::string(i ? "," : "") + node.AttrName(i) + "=" + node.AttrValue(i);
        s += ")";
    }
    if (*node.InnerText() != '\0')
        s += std::string("[") + node.InnerText() + "]";
    if (node.HasChild()) {
        s += "{";
        for (CSkinMarkupNode child = node.FirstChild(); child.Valid(); child = child.NextSibling()) {
            EXPECT_EQ(child.Parent().Name(), node.Name());
            s += Dump(child) + (child.HasNext() ? " " : "");
        }
        s += "}";
    }
    return s;
}

std::string LastError(const CSkinMarkup& markup)
{
    char sz[100] = {};
    markup.CopyLastError(sz, sizeof(sz));
    return sz;
}

// The document's top-level elements, or "!" and the error text.
std::string DumpDocument(CSkinMarkup& markup, bool bLoaded)
{
    if (!bLoaded) {
        EXPECT_FALSE(markup.IsLoaded()) << "a failed load leaves a released document";
        EXPECT_FALSE(markup.Root().Valid());
        return "!" + LastError(markup);
    }
    std::string s;
    for (CSkinMarkupNode node = markup.Root(); node.Valid(); node = node.NextSibling())
        s += (s.empty() ? "" : " ") + Dump(node);
    return s;
}

std::string Parse(const std::string& strText, bool bKeepSpaces = true)
{
    CSkinMarkup markup;
    markup.SetKeepSpaces(bKeepSpaces);
    const bool bLoaded = markup.LoadText(strText.c_str());
    return DumpDocument(markup, bLoaded);
}

std::string LoadBytes(const std::string& strBytes, MarkupEncoding encoding)
{
    CSkinMarkup markup;
    const bool bLoaded = markup.LoadBuffer(reinterpret_cast<const BYTE*>(strBytes.data()),
                                           static_cast<DWORD>(strBytes.size()), encoding);
    return DumpDocument(markup, bLoaded);
}

// A skin in the shape of the installer's: byte-order mark, declaration, comments, entities, an attribute
// right after the previous closing quote, Chinese texts (UTF-8 here).
const std::string kSkin =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!-- installer window -->\r\n"
    "<Window size=\"600,400\" caption=\"0,0,0,40\"roundcorner=\"4,4\">\r\n"
    "  <Font name=\"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91\" size=\"12\" bold=\"true\"/>\r\n"
    "  <Default name=\"Button\" value=\"textcolor=&quot;#FF000000&quot; text=&apos;x&apos;\" />\r\n"
    "  <VerticalLayout name=\"root\">\r\n"
    "    <Label name=\"title\" text=\"\xE5\xAE\x89\xE8\xA3\x85 &amp; \xE5\x90\xAF\xE5\x8A\xA8\"/>\r\n"
    "    <Button name=\"install\" tooltip=\"a&lt;b&gt;c\"/>\r\n"
    "    <Text name=\"info\">\xE6\x96\x87\xE6\x9C\xAC &lt;1&gt;</Text>\r\n"
    "  </VerticalLayout>\r\n"
    "</Window>\r\n";

} // namespace

TEST(Markup, ReadsASkinWithDeclarationEntitiesAndChineseTexts)
{
    CSkinMarkup markup;
    ASSERT_TRUE(markup.LoadBuffer(reinterpret_cast<const BYTE*>(kSkin.data()), static_cast<DWORD>(kSkin.size())))
        << LastError(markup);
    const CSkinMarkupNode root = markup.Root();
    ASSERT_TRUE(root.Valid());
    EXPECT_STREQ(root.Name(), "Window");
    EXPECT_FALSE(root.Parent().Valid());
    EXPECT_EQ(root.AttrCount(), 3);
    EXPECT_STREQ(root.AttrValue("roundcorner"), "4,4");
    EXPECT_STREQ(root.FindChild("Font").AttrValue("name"), "微软雅黑"); // compiled to GBK bytes
    EXPECT_STREQ(root.FindChild("Default").AttrValue("value"), "textcolor=\"#FF000000\" text='x'");
    const CSkinMarkupNode layout = root.FindChild("VerticalLayout");
    EXPECT_STREQ(layout.FindChild("Label").AttrValue("text"), "安装 & 启动");
    EXPECT_STREQ(layout.FindChild("Button").AttrValue("tooltip"), "a<b>c");
    EXPECT_STREQ(layout.FindChild("Text").InnerText(), "文本 <1>");
    EXPECT_FALSE(layout.FindChild("button").Valid()) << "names compare exactly";
    EXPECT_FALSE(layout.FindChild("Text").HasNext());
    // An element's text runs from its start tag to its first child, whitespace included.
    EXPECT_EQ(Dump(root), "Window(size=600,400,caption=0,0,0,40,roundcorner=4,4)[\r\n  ]"
                          "{Font(name=微软雅黑,size=12,bold=true)"
                          " Default(name=Button,value=textcolor=\"#FF000000\" text='x')"
                          " VerticalLayout(name=root)[\r\n    ]{Label(name=title,text=安装 & 启动)"
                          " Button(name=install,tooltip=a<b>c) Text(name=info)[文本 <1>]}}");
}

TEST(Markup, StructureAndErrorTexts)
{
    const struct
    {
        const char* pstrText;
        const char* pstrExpected;
    } cases[] = {
        {"", ""},
        {"  <!-- only a comment -->  ", ""},
        {"<a/>", "a"},
        {"< a />", "a"},
        {"<a x=\"1\"/>", "a(x=1)"},
        {"<a x=\"1\" y = \"2\" >t</a>", "a(x=1,y=2)[t]"},
        {"<a x=\"1\"y=\"2\"/>", "a(x=1,y=2)"},
        {"<a x=\"\" y=\"2\"></a>", "a(x=,y=2)"},
        {"<a x=\"a&lt;b&gt;c\" y=\"a&x;\" z=\"&amp;&quot;&apos;&\" w=\"1\"/>", "a(x=a<b>c,y=a&x;,z=&\"'&,w=1)"},
        {"<a>1 &lt; 2 &amp;&amp; 3</a>", "a[1 < 2 && 3]"},
        {"<a>t&amp;<b/></a>", "a[t&]{b}"},
        {"<a>t<!-- c --><b/><?p?><c>u</c ></ a>", "a[t]{b c[u]}"},
        {"<?xml version=\"1.0\"?><a><b><c/></b><d/></a>", "a{b{c} d}"},
        {"<a/><b/>", "a b"},
        {"<a>", "a"},
        {"<a><b/>", "a{b}"},
        {"<a x=\"1\">text", "a(x=1)[text]"},
        // The text may end inside the root only: an open child, or a second top-level element, fails.
        {"<a><b>", "!Expected end-tag start"},
        {"<a><b>text", "!Expected end-tag start"},
        {"<a/><b>", "!Expected end-tag start"},
        // The text ends between elements while a child is still open: its next tag is missing.
        {"<a><b><c/>", "!Expected start tag"},
        {"<a><b><c/> \r\n", "!Expected start tag"},
        {"<a><b><c><d/></c><!-- x -->", "!Expected start tag"},
        {"hello", "!Expected start tag"},
        {"<a><b/>x</a>", "!Expected start tag"},
        {"<a></b>", "!Unmatched closing tag"},
        {"<a></ab>", "!Unmatched closing tag"},
        {"<ab></a>", "!Unmatched closing tag"},
        {"</a>", "!Unmatched closing tag"},
        {"<a/></a>", "!Unmatched closing tag"},
        {"<a", "!Error parsing element name"},
        {"<>", "!Error parsing element name"},
        {"<a x=\"1\"", "!Expected start-tag closing"},
        {"<a x=\"1\" / >", "!Expected start-tag closing"},
        {"<!-- never closed", "!Expected start-tag closing"},
        {"<?xml version=\"1.0\"", "!Expected start-tag closing"},
        {"<a><!-- never closed", "!Expected start-tag closing"},
        {"<a x/>", "!Error while parsing attributes"},
        {"<a =\"1\"/>", "!Error while parsing attributes"},
        {"<a x=1/>", "!Expected attribute value"},
        {"<a x=\"1/>", "!Error while parsing attribute string"},
        {"<a x=\"1\" y=\"2", "!Error while parsing attribute string"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pstrText);
        EXPECT_EQ(Parse(c.pstrText), c.pstrExpected);
    }
    // Nesting is bounded, also for a text of nothing but start tags.
    std::string strDeep;
    for (int i = 0; i < 200; ++i)
        strDeep = "<e>" + strDeep + "</e>";
    strDeep.insert(200 * 3, "<f/>");
    std::string strExpected;
    for (int i = 0; i < 200; ++i)
        strExpected += "e{";
    EXPECT_EQ(Parse(strDeep), strExpected + "f" + std::string(200, '}'));
    std::string strTooDeep;
    for (int i = 0; i < 1000000; ++i)
        strTooDeep += "<e>";
    EXPECT_EQ(Parse(strTooDeep), "!Elements nested too deeply");

    CSkinMarkup markup;
    EXPECT_TRUE(markup.LoadText("<!-- no element -->"));
    EXPECT_TRUE(markup.IsLoaded());
    EXPECT_FALSE(markup.Root().Valid());
    EXPECT_EQ(markup.Root().Name(), nullptr);
    EXPECT_EQ(markup.Root().AttrName(0), nullptr);
}

TEST(Markup, ErrorLocationShowsTheTextWhereReadingStopped)
{
    CSkinMarkup markup;
    ASSERT_FALSE(markup.LoadText("<a><b></c></a>"));
    char sz[50] = {};
    markup.CopyLastErrorLocation(sz, sizeof(sz));
    EXPECT_STREQ(sz, "c></a>");
    char szShort[4] = {};
    markup.CopyLastError(szShort, sizeof(szShort));
    EXPECT_STREQ(szShort, "Unm");
    ASSERT_FALSE(markup.LoadText(("<a></" + std::string(200, 'x') + ">").c_str()));
    markup.CopyLastErrorLocation(sz, sizeof(sz));
    EXPECT_EQ(std::string(sz), std::string(49, 'x'));
    // The message stays readable after the document was released.
    markup.Release();
    EXPECT_EQ(LastError(markup), "Unmatched closing tag");
    // Errors at the end of the text have no text to show; a bad name in the middle shows where it stands.
    const struct
    {
        const char* pstrText;
        const char* pstrLocation;
    } locations[] = {
        {"<a><bcd", ""},
        {"<a><b><c/>", ""},
        {"<a", ""},
        {"<a x=\"1\"", ""},
        {"<a><>x</a>", ">x</a>"},
    };
    for (const auto& c : locations) {
        SCOPED_TRACE(c.pstrText);
        std::memset(sz, '#', sizeof(sz));
        ASSERT_FALSE(markup.LoadText(c.pstrText));
        markup.CopyLastErrorLocation(sz, sizeof(sz));
        EXPECT_STREQ(sz, c.pstrLocation);
    }
}

TEST(Markup, AttributesAreLimitedAndCopied)
{
    std::string strText = "<a";
    for (int i = 0; i < 70; ++i)
        strText += " k" + std::to_string(i) + "=\"v" + std::to_string(i) + "\"";
    strText += "/>";
    CSkinMarkup markup(strText.c_str());
    const CSkinMarkupNode node = markup.Root();
    ASSERT_TRUE(node.Valid());
    EXPECT_EQ(node.AttrCount(), 64);
    EXPECT_STREQ(node.AttrName(63), "k63");
    EXPECT_STREQ(node.AttrValue(63), "v63");
    EXPECT_STREQ(node.AttrName(64), "");
    EXPECT_STREQ(node.AttrValue(-1), "");
    EXPECT_FALSE(node.HasAttr("k64"));
    EXPECT_STREQ(node.AttrValue("k64"), "");
    EXPECT_TRUE(node.HasAttr("k0"));

    CSkinMarkup other("<b name=\"abcdef\" x=\"x\" x=\"y\"/>");
    const CSkinMarkupNode b = other.Root();
    EXPECT_STREQ(b.AttrValue("x"), "x") << "the first attribute of a name wins";
    char sz[8];
    std::memset(sz, '#', sizeof(sz));
    EXPECT_TRUE(b.CopyAttrValue("name", sz, 3));
    EXPECT_EQ(std::string(sz, 4), "abc#") << "no room for the terminator";
    EXPECT_TRUE(b.CopyAttrValue(0, sz, 7));
    EXPECT_STREQ(sz, "abcdef");
    EXPECT_FALSE(b.CopyAttrValue("none", sz, 7));
    EXPECT_FALSE(b.CopyAttrValue(3, sz, 7));
    EXPECT_FALSE(CSkinMarkupNode().CopyAttrValue(0, sz, 7));
    EXPECT_FALSE(CSkinMarkupNode().HasAttrs());
}

TEST(Markup, SpacesAreKeptOrShrunk)
{
    EXPECT_EQ(Parse("<a x=\"1   2\">t  \r\n u</a>"), "a(x=1   2)[t  \r\n u]");
    EXPECT_EQ(Parse("<a x=\"1   2\" y=\"3\">t  \r\n u</a>", false), "a(x=1 2,y=3)[t u]");
}

// Whatever the system's code page is (these tests also run under others), documents become GBK.
TEST(Markup, EncodingsAreConvertedToGbk)
{
    const std::string strUtf8 = "<a t=\"\xE4\xB8\xAD\xE6\x96\x87\"/>"; // 中文
    const std::wstring wstr = L"<a t=\"\x4E2D\x6587\"/>";
    std::string strLe("\xFF\xFE", 2), strBe("\xFE\xFF", 2);
    for (wchar_t ch : wstr) {
        strLe += static_cast<char>(ch & 0xFF);
        strLe += static_cast<char>(ch >> 8);
        strBe += static_cast<char>(ch >> 8);
        strBe += static_cast<char>(ch & 0xFF);
    }
    const std::string strBeCopy = strBe;
    const struct
    {
        const char* pstrWhat;
        std::string strBytes;
        MarkupEncoding encoding;
        const char* pstrExpected;
    } cases[] = {
        {"UTF-8", strUtf8, MarkupEncoding::Utf8, "a(t=中文)"},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + strUtf8, MarkupEncoding::Utf8, "a(t=中文)"},
        {"UTF-16 little-endian", strLe, MarkupEncoding::Utf16, "a(t=中文)"},
        {"UTF-16 big-endian", strBe, MarkupEncoding::Utf16, "a(t=中文)"},
        {"UTF-16 odd size", strLe + "x", MarkupEncoding::Utf16, "a(t=中文)"},
        {"UTF-16 without mark", strLe.substr(2), MarkupEncoding::Utf16, "!Missing byte-order mark"},
        {"UTF-16 single byte", "\xFF", MarkupEncoding::Utf16, "!Missing byte-order mark"},
        {"UTF-16 mark only", "\xFE\xFF", MarkupEncoding::Utf16, ""},
        {"ANSI as it is", "<a t=\"中文\"/>", MarkupEncoding::Ansi, "a(t=中文)"},
        {"unknown counts as ANSI", "<a t=\"中文\"/>", static_cast<MarkupEncoding>(7), "a(t=中文)"},
        {"UTF-8 kana", "<a t=\"\xE3\x82\xAB\xE3\x83\x8A\"/>", MarkupEncoding::Utf8, "a(t=\xA5\xAB\xA5\xCA)"},
        {"UTF-8 beyond GBK", "<a t=\"A\xC3\xB1o\"/>", MarkupEncoding::Utf8, "a(t=A?o)"},
        {"UTF-8 broken byte", "<a t=\"x\xFFy\"/>", MarkupEncoding::Utf8, "a(t=x?y)"},
        {"empty", "", MarkupEncoding::Utf8, ""},
        {"mark only", "\xEF\xBB\xBF", MarkupEncoding::Utf8, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pstrWhat);
        EXPECT_EQ(LoadBytes(c.strBytes, c.encoding), c.pstrExpected);
    }
    EXPECT_EQ(strBe, strBeCopy) << "the caller's buffer is left as it was";
}

TEST(Markup, FilesAreReadFromTheResourceFolderOrArchive)
{
    CResourceLocationGuard guard;
    ZipTest::CScratchFolder folder("markup");
    ZipTest::WriteWholeFile(folder / "skin.xml", kSkin);
    ZipTest::WriteWholeFile(folder / "empty.xml", "");
    ZipTest::WriteWholeFile(folder / "big.xml", "<a/>" + std::string(CSkinMarkup::kMaxFileSize + 1 - 4, ' '));
    ZipTest::WriteWholeFile(folder / "max.xml", "<a/>" + std::string(CSkinMarkup::kMaxFileSize - 4, ' '));
    std::vector<ZipTest::SItemSpec> items(4);
    items[0].strName = "Skin.XML";
    items[0].strData = kSkin;
    items[1].strName = "empty.xml";
    items[2].strName = "big.xml";
    items[2].strData = std::string(CSkinMarkup::kMaxFileSize + 1, ' ');
    items[3].strName = "bad.xml";
    items[3].strData = kSkin;
    items[3].nMethod = 0;
    ZipTest::SLayout layout;
    std::string strArchive = ZipTest::BuildArchive(items, "", "", &layout);
    strArchive[layout.aData[3] + 10] ^= 0x01;
    ZipTest::WriteWholeFile(folder / "skin.zip", strArchive);
    CPaintManagerUI::SetResourceFolder(folder.Path().c_str());

    const struct
    {
        const char* pstrArchive; // null: plain files; "mem": the archive held in memory
        const char* pstrName;
        const char* pstrError; // null: loads with the Window root
    } cases[] = {
        {nullptr, "skin.xml", nullptr},
        {nullptr, "max.xml", nullptr},
        {nullptr, "empty.xml", "File is empty"},
        {nullptr, "big.xml", "File too large"},
        {nullptr, "none.xml", "Error opening file"},
        {"skin.zip", "skin.xml", nullptr},
        {"mem", "SKIN.xml", nullptr},
        {"mem", "skin.xml", nullptr},
        {"mem", "empty.xml", "File is empty"},
        {"mem", "big.xml", "File too large"},
        {"mem", "none.xml", "Could not find ziped file"},
        {"mem", "bad.xml", "Could not unzip file"},
        {"skin.zip", "bad.xml", "Could not unzip file"},
        {"none.zip", "skin.xml", "Error opening zip file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pstrArchive ? c.pstrArchive : "-") + " " + c.pstrName);
        if (c.pstrArchive != nullptr && std::strcmp(c.pstrArchive, "mem") == 0)
            CPaintManagerUI::SetResourceArchiveMemory(strArchive.data(), static_cast<DWORD>(strArchive.size()));
        else
            CPaintManagerUI::SetResourceArchiveFile(c.pstrArchive ? c.pstrArchive : "", false);
        CSkinMarkup markup;
        const bool bLoaded = markup.LoadFile(c.pstrName);
        EXPECT_EQ(bLoaded, c.pstrError == nullptr);
        if (c.pstrError != nullptr) {
            EXPECT_EQ(LastError(markup), c.pstrError);
            char sz[50] = {'x'};
            markup.CopyLastErrorLocation(sz, sizeof(sz));
            EXPECT_STREQ(sz, "");
        } else if (std::strcmp(c.pstrName, "max.xml") != 0) {
            EXPECT_STREQ(markup.Root().Name(), "Window");
            EXPECT_STREQ(markup.Root().FindChild("Font").AttrValue("name"), "微软雅黑");
        }
    }
}

// Every cut of the skin and thousands of random byte changes: each load answers true or false, a failed
// load has one of the known texts and leaves nothing behind, and a loaded document can be walked whole.
TEST(Markup, DamagedSkinsNeverCrash)
{
    const std::string strKnown[] = {"Expected start tag",         "Error parsing element name",
                                    "Expected start-tag closing", "Expected end-tag start",
                                    "Unmatched closing tag",      "Error while parsing attributes",
                                    "Expected attribute value",   "Error while parsing attribute string"};
    int nLoaded = 0;
    int nFailed = 0;
    auto Exercise = [&](const std::string& strBytes, MarkupEncoding encoding, const std::string& strWhat) {
        CSkinMarkup markup;
        const bool bLoaded = markup.LoadBuffer(reinterpret_cast<const BYTE*>(strBytes.data()),
                                               static_cast<DWORD>(strBytes.size()), encoding);
        if (bLoaded) {
            ++nLoaded;
            for (CSkinMarkupNode node = markup.Root(); node.Valid(); node = node.NextSibling()) {
                const std::string strDump = Dump(node);
                EXPECT_FALSE(strDump.empty()) << strWhat;
                EXPECT_LE(node.AttrCount(), CSkinMarkupNode::kMaxAttributes);
            }
            return;
        }
        ++nFailed;
        EXPECT_FALSE(markup.IsLoaded()) << strWhat;
        const std::string strError = LastError(markup);
        bool bKnown = false;
        for (const std::string& k : strKnown)
            bKnown = bKnown || strError == k;
        EXPECT_TRUE(bKnown) << strWhat << ": " << strError;
    };

    for (std::size_t n = 0; n <= kSkin.size(); ++n)
        Exercise(kSkin.substr(0, n), MarkupEncoding::Utf8, "cut at " + std::to_string(n));
    EXPECT_GT(nLoaded, 10) << "cuts after a whole child leave the root open and still load";
    EXPECT_GT(nFailed, 200);

    std::mt19937 random(20261209);
    const char kSpecial[] = {'<', '>', '/', '"', '=', '&', ';', '!', '?', '-', ' ', '\0', '\x81', '\xFE'};
    for (int i = 0; i < 4000; ++i) {
        std::string strDamaged = kSkin;
        const int nChanges = 1 + static_cast<int>(random() % 3);
        for (int k = 0; k < nChanges; ++k) {
            const std::size_t nAt = random() % strDamaged.size();
            strDamaged[nAt] =
                (random() % 2) ? kSpecial[random() % sizeof(kSpecial)] : static_cast<char>(random() & 0xFF);
        }
        Exercise(strDamaged, (i % 2) ? MarkupEncoding::Ansi : MarkupEncoding::Utf8, "change " + std::to_string(i));
    }
}
