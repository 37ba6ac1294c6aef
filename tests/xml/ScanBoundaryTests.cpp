// The checks and scans that read several bytes at a time: whatever stops or
// breaks a run must be seen at every position around an 8-byte word, in the
// document's bytes and in an element's text; and text and names converted
// to wide text must come out whole on both widths of wchar_t.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <iterator>
#include <string>

using namespace xmltest;

namespace {

// Every offset within and just past two words, from the start of the text.
constexpr size_t kMaxOffset = 19;

std::string Pad(size_t cb, char c = 'x')
{
    return std::string(cb, c);
}

std::wstring WPad(size_t cch, wchar_t c = L'x')
{
    return std::wstring(cch, c);
}

struct Insert {
    const char* pszCase;
    std::string strInserted; // placed at an offset within padding of 'x'
    HRESULT hr;
    std::wstring strReadAs; // the root's text it becomes when it loads
};

class XmlScanAtEveryOffset : public testing::TestWithParam<Insert> {};

TEST_P(XmlScanAtEveryOffset, InText)
{
    const Insert& c = GetParam();
    DocPtr pDoc = NewDocument();
    for (size_t cb = 0; cb <= kMaxOffset; ++cb) {
        // Both as the text of the root alone and with padding after it, so
        // the byte falls at each place of a word and near the input's end.
        for (size_t cbAfter : {size_t{0}, size_t{13}}) {
            const std::string strDoc = "<r>" + Pad(cb) + c.strInserted + Pad(cbAfter) + "</r>";
            SCOPED_TRACE(testing::Message() << "offset " << cb << ", " << cbAfter << " after");
            ASSERT_HR(c.hr, Load(pDoc.get(), strDoc));
            if (SUCCEEDED(c.hr))
                EXPECT_EQ(TextAt(pDoc.get(), L"/r"), AsText(WPad(cb) + c.strReadAs + WPad(cbAfter)));
            else
                EXPECT_TRUE(IsEmpty(pDoc.get()));
        }
    }
}

// The same bytes from the very start of the input, where the check of the
// encoding scans, and after an element, where the text is not a leaf's.
TEST_P(XmlScanAtEveryOffset, AfterMarkup)
{
    const Insert& c = GetParam();
    DocPtr pDoc = NewDocument();
    for (size_t cb = 0; cb <= kMaxOffset; ++cb) {
        const std::string strDoc = "<r><e" + Pad(cb, 'e') + "/>" + c.strInserted + "</r>";
        SCOPED_TRACE(testing::Message() << "offset " << cb);
        ASSERT_HR(c.hr, Load(pDoc.get(), strDoc));
        if (SUCCEEDED(c.hr)) {
            EXPECT_EQ(TextAt(pDoc.get(), L"/r"), AsText(c.strReadAs));
            NodePtr pRoot = NodeAt(pDoc.get(), L"/r");
            ASSERT_TRUE(pRoot);
            ASSERT_EQ(pRoot->GetChildCount(), 1);
            EXPECT_EQ(Name(ChildAt(pRoot.get(), 0).get()), L"e" + WPad(cb, L'e'));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Xml, XmlScanAtEveryOffset,
    testing::Values(
        Insert{"CloseOfCData", "]]>", XML_E_SYNTAX, L""},
        Insert{"BracketsWithoutClose", "]]x]", S_OK, L"]]x]"}, Insert{"BracketAtTheEnd", "]]", S_OK, L"]]"},
        Insert{"Reference", "&amp;", S_OK, L"&"},
        Insert{"CharacterReference", "&#x1F600;", S_OK, L"\U0001F600"}, Insert{"CrLf", "\r\n", S_OK, L"\n"},
        Insert{"LoneCr", "\r", S_OK, L"\n"}, Insert{"CrCrLf", "\r\r\n", S_OK, L"\n\n"},
        Insert{"Tab", "\t", S_OK, L"\t"}, Insert{"EveryAllowedControl", "\t\n\r\n\t\r", S_OK, L"\t\n\n\t\n"},
        Insert{"LfThenControl", "\n\x01", XML_E_BADCHAR, L""},
        Insert{"ControlThenTab", "\x0C\t", XML_E_BADCHAR, L""},
        Insert{"ControlAmongLineEnds", "\r\n\x0B\r\n", XML_E_BADCHAR, L""},
        Insert{"Unit", "\x1F", XML_E_BADCHAR, L""}, Insert{"LfThenTwoBytes", "\n\xC3\xA9", S_OK, L"\n\u00E9"},
        Insert{"Delete", "\x7F", S_OK, L"\x7F"}, Insert{"Control", "\x01", XML_E_BADCHAR, L""},
        Insert{"Escape", "\x1B", XML_E_BADCHAR, L""}, Insert{"Nul", std::string(1, '\0'), XML_E_BADCHAR, L""},
        Insert{"LessThan", "<", XML_E_SYNTAX, L""}, Insert{"TwoBytes", "\xC3\xA9", S_OK, L"\u00E9"},
        Insert{"ThreeBytes", "\xE2\x82\xAC", S_OK, L"\u20AC"},
        Insert{"FourBytes", "\xF0\x9F\x98\x80", S_OK, L"\U0001F600"},
        Insert{"LoneContinuation", "\x80", XML_E_BADBYTES, L""},
        Insert{"CutSequence", "\xE2\x82", XML_E_BADBYTES, L""},
        Insert{"Fffe", "\xEF\xBF\xBE", XML_E_BADCHAR, L""},
        Insert{"CData", "<![CDATA[a\r\n<&]]>", S_OK, L"a\n<&"}, Insert{"Comment", "<!--c-->", S_OK, L""}),
    [](const testing::TestParamInfo<Insert>& info) { return info.param.pszCase; });

// Text in several pieces around markup, where the leaf's shortcut must not apply.
TEST(XmlTextPieces, JoinInDocumentOrder)
{
    const struct {
        const char* pszDoc;
        std::wstring strRoot;
    } kCases[] = {
        {"<r>ab<!--c-->cd</r>", L"abcd"},       {"<r>ab<?pi x?>cd</r>", L"abcd"},
        {"<r><e>in</e>tail</r>", L"tail"},      {"<r>head<e>in</e></r>", L"head"},
        {"<r>a<e>in</e>b<e/>c</r>", L"abc"},    {"<r>&amp;tail</r>", L"&tail"},
        {"<r>head&lt;</r>", L"head<"},          {"<r><![CDATA[x]]>tail</r>", L"xtail"},
        {"<r>head<![CDATA[x]]></r>", L"headx"}, {"<r>a\r<!--c-->\nb</r>", L"a\n\nb"},
    };
    DocPtr pDoc = NewDocument();
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszDoc);
        ASSERT_HR(S_OK, Load(pDoc.get(), c.pszDoc));
        EXPECT_EQ(TextAt(pDoc.get(), L"/r"), c.strRoot);
        if (NodePtr pChild = NodeAt(pDoc.get(), L"/r/e")) {
            EXPECT_EQ(Text(pChild.get()), L"in");
        }
    }
}

// Names repeat in the same order entry after entry, and the guess that
// follows that order must never stand in for a different name.
TEST(XmlNames, ComeOutRightInAndOutOfTheirUsualOrder)
{
    const std::string strDoc = "<r><a/><ab/><a/><ab/><abc/><a/><b/><ab/><ab/><a/><a\xC3\xA9/><a/><ab/></r>";
    const wchar_t* const kNames[] = {L"a",  L"ab", L"a", L"ab",      L"abc", L"a", L"b",
                                     L"ab", L"ab", L"a", L"a\u00E9", L"a",   L"ab"};
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), strDoc));
    NodePtr pRoot = NodeAt(pDoc.get(), L"/r");
    ASSERT_TRUE(pRoot);
    ASSERT_EQ(pRoot->GetChildCount(), static_cast<int>(std::size(kNames)));
    for (int i = 0; i < pRoot->GetChildCount(); ++i)
        EXPECT_EQ(Name(ChildAt(pRoot.get(), i).get()), kNames[i]) << i;
    EXPECT_EQ(Name(NodeAt(pDoc.get(), L"/r/ab[5]").get()), L"ab");
    EXPECT_FALSE(NodeAt(pDoc.get(), L"/r/ab[6]"));
    EXPECT_EQ(Name(NodeAt(pDoc.get(), L"/r/a\u00E9").get()), L"a\u00E9");
    // An end tag must name its own element, not one it begins with.
    EXPECT_HR(XML_E_TAGMISMATCH, Load(pDoc.get(), "<r><ab></a></r>"));
    EXPECT_HR(XML_E_TAGMISMATCH, Load(pDoc.get(), "<r><a></ab></r>"));
}

// Wide text: one unit per character on 32-bit wchar_t, a surrogate pair
// for each one beyond U+FFFF on 16-bit.
TEST(XmlWideText, TextAndNamesOfEveryLengthOfSequence)
{
    const struct {
        const char* pszUtf8;
        std::wstring strWide;
        bool bNameChars; // whether the characters may also stand in a name
    } kCases[] = {
        {"a", L"a", true},
        {"\xC3\xA9", L"\u00E9", true},
        {"\xE2\x82\xAC", L"\u20AC", false},
        {"\xE4\xB8\xAD", L"\u4E2D", true},
        {"\xF0\x9F\x98\x80", L"\U0001F600", true},
        {"\xF4\x8F\xBF\xBD", L"\U0010FFFD", false},
        {"\xF0\x90\x80\x80z", L"\U00010000z", true},
        {"a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80zz", L"a\u00E9\u4E2D\U0001F600zz", true},
        {"\xF0\x9F\x98\x80\xF0\x9F\x98\x81\xF0\x9F\x98\x82", L"\U0001F600\U0001F601\U0001F602", true},
    };
    DocPtr pDoc = NewDocument();
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszUtf8);
        const std::string strName = std::string("n") + (c.bNameChars ? c.pszUtf8 : "");
        const std::wstring strWideName = L"n" + (c.bNameChars ? c.strWide : L"");
        ASSERT_HR(S_OK, Load(pDoc.get(), "<" + strName + ">" + c.pszUtf8 + "</" + strName + ">"));
        NodePtr pRoot = NodeAt(pDoc.get(), L"/" + strWideName);
        ASSERT_TRUE(pRoot);
        const BSTR bstrText = pRoot->GetText();
        ASSERT_NE(bstrText, nullptr);
        EXPECT_EQ(SysStringLen(bstrText), c.strWide.size());
        EXPECT_EQ(Take(bstrText), c.strWide);
        EXPECT_EQ(Name(pRoot.get()), strWideName);
    }
    // The same through UTF-16 input, astral characters in names included.
    ASSERT_HR(S_OK,
              Load(pDoc.get(), Utf16(U"<\U0001D49C\u00E9>\U0001F600a\U0010FFFD</\U0001D49C\u00E9>", false)));
    NodePtr pRoot = NodeAt(pDoc.get(), L"/\U0001D49C\u00E9");
    ASSERT_TRUE(pRoot);
    EXPECT_EQ(Text(pRoot.get()), L"\U0001F600a\U0010FFFD");
    EXPECT_EQ(Name(pRoot.get()), L"\U0001D49C\u00E9");
}

// Long text, all ASCII or not, through the conversion's two paths.
TEST(XmlWideText, LongText)
{
    std::string strUtf8;
    std::wstring strWide;
    for (int i = 0; i < 3000; ++i) {
        strUtf8 += i % 7 == 0 ? "\xF0\x9F\x98\x80" : i % 5 == 0 ? "\xC3\xA9" : "q";
        strWide += i % 7 == 0 ? L"\U0001F600" : i % 5 == 0 ? L"\u00E9" : L"q";
    }
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<r>" + strUtf8 + "</r>"));
    EXPECT_EQ(TextAt(pDoc.get(), L"/r"), strWide);
    ASSERT_HR(S_OK, Load(pDoc.get(), "<r>" + Pad(100000, 'q') + "</r>"));
    EXPECT_EQ(TextAt(pDoc.get(), L"/r"), WPad(100000, L'q'));
}

} // namespace
