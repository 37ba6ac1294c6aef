// The loader's shortcuts for the usual shape of a description: the name
// that followed last time taken straight from the input, indentation kept
// without the full text scan, each element's children laid out at its end
// tag. Each must read exactly what the general path reads.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace xmltest;
using kvtest::Widen;

namespace {

// A first entry teaches the order <pszGuess/> <Next/>; in the second the
// tag pszTag stands where pszGuess is expected.
struct Guess {
    const char* pszCase;
    const char* pszGuess;
    std::string strTag;
    HRESULT hr;
    std::wstring strName; // the name of the second entry's first child
    std::wstring strText; // and its text
};

class XmlGuessedName : public testing::TestWithParam<Guess> {};

TEST_P(XmlGuessedName, ReadsAsTheGeneralPathWould)
{
    const Guess& c = GetParam();
    const std::string strGuess = c.pszGuess;
    // Once with room after the tag and once with the input ending soon
    // after it, where whole words cannot be read.
    for (const char* pszAfter : {"<Next/></g><g/><g/><g/><g/></r>", "<Next/></g></r>"}) {
        const std::string strDoc = "<r><g><" + strGuess + "/><Next/></g><g>" + c.strTag + pszAfter;
        SCOPED_TRACE(strDoc);
        DocPtr pDoc = NewDocument();
        ASSERT_HR(c.hr, Load(pDoc.get(), strDoc));
        if (FAILED(c.hr)) {
            EXPECT_TRUE(IsEmpty(pDoc.get()));
            continue;
        }
        NodePtr pEntry = NodeAt(pDoc.get(), L"/r/g[2]");
        ASSERT_TRUE(pEntry);
        ASSERT_EQ(pEntry->GetChildCount(), 2);
        NodePtr pChild = ChildAt(pEntry.get(), 0);
        EXPECT_EQ(Name(pChild.get()), c.strName);
        EXPECT_EQ(Text(pChild.get()), c.strText);
        EXPECT_EQ(Name(ChildAt(pEntry.get(), 1).get()), L"Next");
        // Found by name too, and under its own name only.
        NodePtr pByName = NodeAt(pDoc.get(), L"/r/g[2]/" + c.strName);
        ASSERT_TRUE(pByName);
        EXPECT_EQ(Text(pByName.get()), c.strText);
        if (c.strName != Widen(strGuess)) {
            EXPECT_FALSE(NodeAt(pDoc.get(), L"/r/g[2]/" + Widen(strGuess)));
        }
    }
}

const std::string k15 = "Abcdefghijklmno";  // one byte short of two words
const std::string k16 = "Abcdefghijklmnop"; // two words exactly
const std::string k20 = "Abcdefghijklmnopqrst";

INSTANTIATE_TEST_SUITE_P(
    Xml, XmlGuessedName,
    testing::Values(
        Guess{"Same", "Name", "<Name>t</Name>", S_OK, L"Name", L"t"},
        Guess{"SameEmpty", "Name", "<Name/>", S_OK, L"Name", kNull},
        Guess{"SameThenSpace", "Name", "<Name >t</Name >", S_OK, L"Name", L"t"},
        Guess{"SameThenLineEnd", "Name", "<Name\r\n/>", S_OK, L"Name", kNull},
        Guess{"Longer", "Name", "<NameX>t</NameX>", S_OK, L"NameX", L"t"},
        Guess{"LongerByDigit", "Name", "<Name1/>", S_OK, L"Name1", kNull},
        Guess{"LongerByDash", "Name", "<Name-/>", S_OK, L"Name-", kNull},
        Guess{"LongerByDot", "Name", "<Name.x/>", S_OK, L"Name.x", kNull},
        Guess{"LongerByColon", "Name", "<Name:x/>", S_OK, L"Name:x", kNull},
        Guess{"LongerByUnderscore", "Name", "<Name_/>", S_OK, L"Name_", kNull},
        Guess{"LongerByTwoByteChar", "Name", "<Name\xC3\xA9>t</Name\xC3\xA9>", S_OK, L"Name\u00E9", L"t"},
        Guess{"LongerByCombiningMark", "Name", "<Name\xCC\x81/>", S_OK, L"Name\u0301", kNull},
        Guess{"ThenNonNameChar", "Name", "<Name\xC3\x97/>", XML_E_SYNTAX, L"", L""},
        Guess{"Shorter", "Name", "<Nam>t</Nam>", S_OK, L"Nam", L"t"},
        Guess{"OtherCase", "Name", "<name/>", S_OK, L"name", kNull},
        Guess{"DiffersInLastByte", "Name", "<Namf/>", S_OK, L"Namf", kNull},
        Guess{"Attribute", "Name", "<Name a='1'>t</Name>", S_OK, L"Name", L"t"},
        Guess{"Attributes", "Name", "<Name\ta='1'\nb=\"&amp;\"/>", S_OK, L"Name", kNull},
        Guess{"DuplicateAttribute", "Name", "<Name a='1' a='2'/>", XML_E_DUPATTR, L"", L""},
        Guess{"AttributeWithoutSpace", "Name", "<Namea='1'/>", XML_E_SYNTAX, L"", L""},
        Guess{"QuoteAfterName", "Name", "<Name'/>", XML_E_SYNTAX, L"", L""},
        Guess{"EndTagLonger", "Name", "<Name>t</NameX>", XML_E_TAGMISMATCH, L"", L""},
        Guess{"EndTagShorter", "Name", "<Name>t</Nam>", XML_E_TAGMISMATCH, L"", L""},
        Guess{"FifteenBytes", k15.c_str(), "<" + k15 + ">t</" + k15 + ">", S_OK, Widen(k15), L"t"},
        Guess{"FifteenBytesLonger", k15.c_str(), "<" + k15 + "p/>", S_OK, Widen(k15 + "p"), kNull},
        Guess{"FifteenBytesShorter", k15.c_str(), "<" + k15.substr(0, 14) + "/>", S_OK,
              Widen(k15.substr(0, 14)), kNull},
        Guess{"SixteenBytes", k16.c_str(), "<" + k16 + ">t</" + k16 + ">", S_OK, Widen(k16), L"t"},
        Guess{"SixteenBytesLonger", k16.c_str(), "<" + k16 + "q/>", S_OK, Widen(k16 + "q"), kNull},
        Guess{"SixteenBytesShorter", k16.c_str(), "<" + k15 + "/>", S_OK, Widen(k15), kNull},
        Guess{"Long", k20.c_str(), "<" + k20 + " x='y'>t</" + k20 + ">", S_OK, Widen(k20), L"t"},
        Guess{"LongLonger", k20.c_str(), "<" + k20 + "u/>", S_OK, Widen(k20 + "u"), kNull},
        Guess{"LongDiffersInside", k20.c_str(), "<Abcdefghijklmnopqrsx/>", S_OK, L"Abcdefghijklmnopqrsx",
              kNull},
        Guess{"NonAsciiGuess", "N\xC3\xA9", "<N\xC3\xA9>t</N\xC3\xA9>", S_OK, L"N\u00E9", L"t"},
        Guess{"NonAsciiGuessOtherChar", "N\xC3\xA9", "<N\xC3\xA8/>", S_OK, L"N\u00E8", kNull}),
    [](const testing::TestParamInfo<Guess>& info) { return info.param.pszCase; });

// The guessed name where the input ends: every cut fails, none reads past it.
TEST(XmlGuessedNameCut, EveryCutFails)
{
    const std::string strDoc = "<r><g><Name a='1'>t</Name><Next/></g><g><Name a='1'>t</Name><Next/></g></r>";
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), strDoc));
    for (size_t cb = strDoc.find("</g>") + 4; cb < strDoc.size(); ++cb) {
        // A copy of just the cut bytes, so a read past them is a read past the block.
        const std::string strCut = strDoc.substr(0, cb);
        EXPECT_HR(XML_E_TRUNCATED, Load(pDoc.get(), strCut)) << "cut at " << cb;
    }
}

struct Spaced {
    const char* pszCase;
    std::string strDoc;
    HRESULT hr;
    std::wstring strRoot;  // the text of /r
    std::wstring strChild; // of /r/e, when there is one
};

class XmlWhiteSpaceText : public testing::TestWithParam<Spaced> {};

TEST_P(XmlWhiteSpaceText, IsKeptAsWritten)
{
    const Spaced& c = GetParam();
    DocPtr pDoc = NewDocument();
    ASSERT_HR(c.hr, Load(pDoc.get(), c.strDoc));
    if (FAILED(c.hr)) {
        EXPECT_TRUE(IsEmpty(pDoc.get()));
        return;
    }
    EXPECT_EQ(TextAt(pDoc.get(), L"/r"), c.strRoot);
    EXPECT_EQ(TextAt(pDoc.get(), L"/r/e"), c.strChild);
}

INSTANTIATE_TEST_SUITE_P(Xml, XmlWhiteSpaceText,
                         testing::Values(
                             // White space that is an element's whole text.
                             Spaced{"WholeText", "<r>  </r>", S_OK, L"  ", kNull},
                             Spaced{"WholeTextOfEverySpace", "<r> \t\n </r>", S_OK, L" \t\n ", kNull},
                             Spaced{"WholeTextCrLf", "<r>\r\n</r>", S_OK, L"\n", kNull},
                             Spaced{"WholeTextLoneCr", "<r>\r</r>", S_OK, L"\n", kNull},
                             Spaced{"WholeTextCrRuns", "<r>\r\r\n\n\r \r</r>", S_OK, L"\n\n\n\n \n", kNull},
                             Spaced{"WholeTextOfChild", "<r><e>\r\n\t</e></r>", S_OK, kNull, L"\n\t"},
                             // White space among elements: the parent's text, in pieces.
                             Spaced{"AroundChild", "<r> <e/> </r>", S_OK, L"  ", kNull},
                             Spaced{"Indented", "<r>\n  <e>x</e>\n</r>", S_OK, L"\n  \n", L"x"},
                             Spaced{"IndentedCrLf", "<r>\r\n  <e>x</e>\r\n</r>", S_OK, L"\n  \n", L"x"},
                             Spaced{"IndentedBothLevels", "<r>\r\n  <e>\r\n</e>\r</r>", S_OK, L"\n  \n",
                                    L"\n"},
                             Spaced{"CrThenLfAfterMarkup", "<r>\r<e/>\n</r>", S_OK, L"\n\n", kNull},
                             Spaced{"CrThenLfAfterComment", "<r> \r<!--c-->\n </r>", S_OK, L" \n\n ", kNull},
                             Spaced{"CrAtTheEndOfAChild", "<r><e> \r</e>\n</r>", S_OK, L"\n", L" \n"},
                             Spaced{"LastBeforeEndTag", "<r><e/>\r\n</r>", S_OK, L"\n", kNull},
                             // White space followed by other text takes the general path.
                             Spaced{"ThenText", "<r>  x  <e/></r>", S_OK, L"  x  ", kNull},
                             Spaced{"CrThenText", "<r>\r\n x\r\n<e/></r>", S_OK, L"\n x\n", kNull},
                             Spaced{"ThenReference", "<r> &amp; </r>", S_OK, L" & ", kNull},
                             Spaced{"ThenComment", "<r> <!--c--> </r>", S_OK, L"  ", kNull},
                             Spaced{"ThenCData", "<r> <![CDATA[\r\n]]> </r>", S_OK, L" \n ", kNull},
                             Spaced{"ThenPi", "<r>\n<?p q?>\n</r>", S_OK, L"\n\n", kNull},
                             Spaced{"ThenCloseOfCData", "<r>\n ]]> </r>", XML_E_SYNTAX, kNull, kNull},
                             Spaced{"ThenControl", "<r> \x01 </r>", XML_E_BADCHAR, kNull, kNull},
                             Spaced{"ThenLessThanAlone", "<r> < </r>", XML_E_SYNTAX, kNull, kNull},
                             Spaced{"ToTheEnd", "<r>  \r\n", XML_E_TRUNCATED, kNull, kNull},
                             Spaced{"ThenEndOfInput", "<r>\n<", XML_E_TRUNCATED, kNull, kNull}),
                         [](const testing::TestParamInfo<Spaced>& info) { return info.param.pszCase; });

// Children are laid out when their parent's end tag is read: each element
// must get its own, in document order, whatever is nested in between.
TEST(XmlChildren, EachElementHasItsOwnInOrder)
{
    const struct {
        const char* pszPath;
        std::vector<std::wstring> vecNames;
    } kExpected[] = {
        {"/r", {L"a", L"b", L"e", L"b", L"f"}},
        {"/r/a", {}},
        {"/r/b", {L"c", L"d", L"c"}},
        {"/r/b/c", {L"x"}},
        {"/r/b/c/x", {}},
        {"/r/b/d", {}},
        {"/r/b/c[2]", {}},
        {"/r/e", {}},
        {"/r/b[2]", {L"g"}},
        {"/r/b[2]/g", {L"h", L"h"}},
        {"/r/f", {}},
    };
    const std::string strDoc =
        "<r><a/><b><c><x/></c><d></d><c/></b><e>t</e><b><g><h/><h>u</h></g></b><f a='1'/></r>";
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), strDoc));
    for (const auto& c : kExpected) {
        SCOPED_TRACE(c.pszPath);
        NodePtr pNode = NodeAt(pDoc.get(), Widen(c.pszPath));
        ASSERT_TRUE(pNode);
        ASSERT_EQ(pNode->GetChildCount(), static_cast<int>(c.vecNames.size()));
        for (size_t i = 0; i < c.vecNames.size(); ++i)
            EXPECT_EQ(Name(ChildAt(pNode.get(), static_cast<int>(i)).get()), c.vecNames[i]) << i;
    }
    EXPECT_EQ(TextAt(pDoc.get(), L"/r/b[2]/g/h[2]"), L"u");
}

// A root with more children than a scan covers, each with children of its
// own, as a description's entries are.
TEST(XmlChildren, ManyEntriesKeepTheirChildren)
{
    std::string strDoc = "<r>";
    for (int i = 0; i < 300; ++i) {
        strDoc += "<e><n>" + std::to_string(i) + "</n>";
        for (int k = 0; k < i % 4; ++k)
            strDoc += "<k/>";
        strDoc += "</e>";
    }
    strDoc += "</r>";
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), strDoc));
    NodePtr pRoot = NodeAt(pDoc.get(), L"/r");
    ASSERT_TRUE(pRoot);
    ASSERT_EQ(pRoot->GetChildCount(), 300);
    for (int i = 0; i < 300; i += 7) {
        SCOPED_TRACE(i);
        NodePtr pEntry = NodeAt(pDoc.get(), L"/r/e[" + std::to_wstring(i + 1) + L"]");
        ASSERT_TRUE(pEntry);
        EXPECT_EQ(pEntry->GetChildCount(), 1 + i % 4);
        EXPECT_EQ(TextAt(pDoc.get(), L"/r/e[" + std::to_wstring(i + 1) + L"]/n"), std::to_wstring(i));
    }
}

} // namespace
