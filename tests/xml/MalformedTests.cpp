// Malformed documents: each fails with its cause and leaves the document
// empty, even after a good load; no input crashes the loader.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace xmltest;

namespace {

struct Malformed {
    const char* pszCase;
    std::string strDocument;
    HRESULT hr;
};

class MalformedDocuments : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedDocuments, FailAndLeaveTheDocumentEmpty)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), MediaDescription(3, false)));
    NodePtr pBefore = NodeAt(pDoc.get(), L"/Factory/FILE[2]");
    ASSERT_TRUE(pBefore);
    EXPECT_HR(GetParam().hr, Load(pDoc.get(), GetParam().strDocument));
    EXPECT_TRUE(IsEmpty(pDoc.get()));
    EXPECT_FALSE(NodeAt(pDoc.get(), L"/Factory/FILE[2]"));
    // A node of the earlier tree is not touched by the failed load.
    EXPECT_EQ(Text(ChildNamed(pBefore.get(), L"Name").get()), ExpectedName(2));
}

std::string ManyAttributesWithDuplicate()
{
    std::string str = "<a";
    for (int i = 0; i < 40; ++i)
        str += " n" + std::to_string(i) + "=''";
    return str + " n17='again'/>";
}

INSTANTIATE_TEST_SUITE_P(
    Xml, MalformedDocuments,
    testing::Values(
        Malformed{"Empty", "", XML_E_NOROOT}, Malformed{"WhiteSpaceOnly", " \r\n\t", XML_E_NOROOT},
        Malformed{"DeclarationOnly", "<?xml version='1.0'?>", XML_E_NOROOT},
        Malformed{"CommentOnly", "<!-- nothing -->", XML_E_NOROOT},
        Malformed{"LessThanOnly", "<", XML_E_TRUNCATED},
        Malformed{"UnclosedRoot", "<Factory>", XML_E_TRUNCATED},
        Malformed{"UnclosedChild", "<Factory><FILE><Name>x</Name></Factory>", XML_E_TAGMISMATCH},
        Malformed{"UnclosedAtEnd", "<Factory><FILE></FILE>", XML_E_TRUNCATED},
        Malformed{"CutInName", "<Facto", XML_E_TRUNCATED},
        Malformed{"CutInAttribute", "<a x='1", XML_E_TRUNCATED},
        Malformed{"CutInText", "<a>text", XML_E_TRUNCATED},
        Malformed{"CutInEndTag", "<a></a", XML_E_TRUNCATED},
        Malformed{"CutInComment", "<a><!-- x", XML_E_TRUNCATED},
        Malformed{"CutInCData", "<a><![CDATA[x</a>", XML_E_TRUNCATED},
        Malformed{"CutInCDataStart", "<a><![CDA", XML_E_TRUNCATED},
        Malformed{"CutInPi", "<a><?pi x</a>", XML_E_TRUNCATED},
        Malformed{"CutInReference", "<a>&am", XML_E_TRUNCATED},
        Malformed{"CutInDeclaration", "<?xml version='1.0'", XML_E_TRUNCATED},
        Malformed{"CutInDoctype", "<!DOCTYPE a [<!ENTITY x 'y'>", XML_E_TRUNCATED},
        Malformed{"MismatchedTag", "<a></b>", XML_E_TAGMISMATCH},
        Malformed{"CrossedTags", "<a><b></a></b>", XML_E_TAGMISMATCH},
        Malformed{"EndTagCase", "<Factory></factory>", XML_E_TAGMISMATCH},
        Malformed{"TwoRoots", "<a/><b/>", XML_E_SECONDROOT},
        Malformed{"TwoRootsSameName", "<a></a>\n<a></a>", XML_E_SECONDROOT},
        Malformed{"TextBeforeRoot", "x<a/>", XML_E_TEXTOUTSIDE},
        Malformed{"TextAfterRoot", "<a/>\nx", XML_E_TEXTOUTSIDE},
        Malformed{"ReferenceAfterRoot", "<a/>&amp;", XML_E_TEXTOUTSIDE},
        Malformed{"StrayEndTag", "</a>", XML_E_SYNTAX}, Malformed{"ExtraEndTag", "<a></a></a>", XML_E_SYNTAX},
        Malformed{"DuplicateAttribute", "<a x='1' x='2'/>", XML_E_DUPATTR},
        Malformed{"DuplicateAttributeLater", "<a x='1' y='2' x='3'/>", XML_E_DUPATTR},
        Malformed{"DuplicateAmongMany", ManyAttributesWithDuplicate(), XML_E_DUPATTR},
        Malformed{"UnquotedAttribute", "<a x=1/>", XML_E_SYNTAX},
        Malformed{"AttributeWithoutValue", "<a x/>", XML_E_SYNTAX},
        Malformed{"LessThanInAttribute", "<a x='<'/>", XML_E_SYNTAX},
        Malformed{"AttributesNotSeparated", "<a x='1'y='2'/>", XML_E_SYNTAX},
        Malformed{"UnknownEntity", "<a>&foo;</a>", XML_E_ENTITY},
        Malformed{"UnknownEntityInAttribute", "<a x='&foo;'/>", XML_E_ENTITY},
        Malformed{"EntityWithoutSemicolon", "<a>&amp </a>", XML_E_SYNTAX},
        Malformed{"BareAmpersand", "<a>a & b</a>", XML_E_SYNTAX},
        Malformed{"CharRefZero", "<a>&#0;</a>", XML_E_CHARREF},
        Malformed{"CharRefHexZero", "<a>&#x0;</a>", XML_E_CHARREF},
        Malformed{"CharRefControl", "<a>&#1;</a>", XML_E_CHARREF},
        Malformed{"CharRefSurrogate", "<a>&#xD800;</a>", XML_E_CHARREF},
        Malformed{"CharRefFffe", "<a>&#xFFFE;</a>", XML_E_CHARREF},
        Malformed{"CharRefBeyondUnicode", "<a>&#x110000;</a>", XML_E_CHARREF},
        Malformed{"CharRefHuge", "<a>&#99999999999999999999999;</a>", XML_E_CHARREF},
        Malformed{"CharRefNoDigits", "<a>&#;</a>", XML_E_SYNTAX},
        Malformed{"CharRefHexNoDigits", "<a>&#x;</a>", XML_E_SYNTAX},
        Malformed{"CharRefBadDigit", "<a>&#12a;</a>", XML_E_SYNTAX},
        Malformed{"CharRefUpperCaseX", "<a>&#X41;</a>", XML_E_SYNTAX},
        Malformed{"CDataEndInText", "<a>x]]>y</a>", XML_E_SYNTAX},
        Malformed{"DoubleDashInComment", "<a><!-- a -- b --></a>", XML_E_SYNTAX},
        Malformed{"CommentEndingInDash", "<a><!-- x ---></a>", XML_E_SYNTAX},
        Malformed{"DeclarationInContent", "<a><?xml version='1.0'?></a>", XML_E_SYNTAX},
        Malformed{"DeclarationNotFirst", " <?xml version='1.0'?><a/>", XML_E_SYNTAX},
        Malformed{"DeclarationUpperCase", "<?XML version='1.0'?><a/>", XML_E_SYNTAX},
        Malformed{"DeclarationWithoutVersion", "<?xml encoding='UTF-8'?><a/>", XML_E_SYNTAX},
        Malformed{"DeclarationBadVersion", "<?xml version='2.0'?><a/>", XML_E_SYNTAX},
        Malformed{"DeclarationBadStandalone", "<?xml version='1.0' standalone='maybe'?><a/>", XML_E_SYNTAX},
        Malformed{"DeclarationOutOfOrder", "<?xml encoding='UTF-8' version='1.0'?><a/>", XML_E_SYNTAX},
        Malformed{"DeclarationBadEncodingName", "<?xml version='1.0' encoding='8bit'?><a/>", XML_E_SYNTAX},
        Malformed{"NameStartsWithDigit", "<1a/>", XML_E_SYNTAX},
        Malformed{"ChildNameStartsWithDash", "<a><-b/></a>", XML_E_SYNTAX},
        Malformed{"SpaceAfterLessThan", "< a/>", XML_E_SYNTAX},
        Malformed{"SpaceInEndTag", "<a></ a>", XML_E_SYNTAX},
        Malformed{"SlashNotClosing", "<a/ >", XML_E_SYNTAX},
        Malformed{"TwoDoctypes", "<!DOCTYPE a><!DOCTYPE a><a/>", XML_E_SYNTAX},
        Malformed{"DoctypeAfterRoot", "<a/><!DOCTYPE a>", XML_E_SYNTAX},
        Malformed{"DoctypeJunk", "<!DOCTYPE a [ junk ]><a/>", XML_E_SYNTAX},
        Malformed{"DoctypeInContent", "<a><!DOCTYPE a></a>", XML_E_SYNTAX},
        Malformed{"MarkupDeclInContent", "<a><!ELEMENT x></a>", XML_E_SYNTAX},
        Malformed{"CDataWrongCase", "<a><![cdata[x]]></a>", XML_E_SYNTAX},
        Malformed{"BadByte", "<a>\xC3</a>", XML_E_BADBYTES},
        Malformed{"ControlCharacter", "<a>\x07</a>", XML_E_BADCHAR}),
    [](const testing::TestParamInfo<Malformed>& info) { return info.param.pszCase; });

// A document with every construct, for the cut and mutation tests.
const std::string kRich = "<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE Factory [<!ENTITY e 'x'>]>\n"
                          "<!-- c --><Factory a='1' b=\"&amp;\">\n <Media><Info><Media_Size>-42</Media_Size>"
                          "</Info></Media>\n <FILE><Name>a&lt;b&#x42;\xC3\xA9</Name><![CDATA[<x>]]><?p d?>"
                          "<Empty/></FILE>\n</Factory>\n<!-- end -->";

TEST(XmlMalformed, EveryCutOfADocumentFails)
{
    const size_t cbRootEnd = kRich.find("</Factory>") + 10;
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), kRich));
    for (size_t cb = 0; cb < cbRootEnd; ++cb) {
        const HRESULT hr = pDoc->LoadMemory(kRich.data(), cb);
        EXPECT_LT(hr, 0) << "cut at " << cb;
        EXPECT_TRUE(IsEmpty(pDoc.get())) << "cut at " << cb;
    }
}

// Walks the whole tree without recursion, reading every value.
void WalkAll(IZRXml* pDoc)
{
    std::vector<NodePtr> vecStack;
    vecStack.push_back(NodeAt(pDoc, L"/Factory"));
    while (!vecStack.empty()) {
        NodePtr pNode = std::move(vecStack.back());
        vecStack.pop_back();
        if (!pNode)
            continue;
        EXPECT_NE(Name(pNode.get()), kNull);
        EXPECT_NE(Text(pNode.get()), L"") << "no text is null, never empty";
        pNode->GetInt64Value();
        for (int i = 0; i < pNode->GetChildCount(); ++i)
            vecStack.push_back(ChildAt(pNode.get(), i));
    }
}

TEST(XmlMalformed, DamagedDocumentsNeverCrash)
{
    std::mt19937 random(20261208);
    static const char kBytes[] = "<>/&;#x[]!?-='\"\r\n \x80\xC3\xFF\0"; // the NUL too
    DocPtr pDoc = NewDocument();
    int nLoaded = 0;
    for (int iRound = 0; iRound < 3000; ++iRound) {
        std::string str = kRich;
        const int nEdits = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < nEdits; ++i) {
            const size_t iPos = random() % str.size();
            const char c = kBytes[random() % (sizeof kBytes - 1)];
            switch (random() % 3) {
            case 0:
                str[iPos] = c;
                break;
            case 1:
                str.insert(iPos, 1, c);
                break;
            default:
                str.erase(iPos, 1);
                break;
            }
        }
        const HRESULT hr = Load(pDoc.get(), str);
        if (SUCCEEDED(hr)) {
            ++nLoaded;
            WalkAll(pDoc.get());
        } else {
            EXPECT_TRUE(IsEmpty(pDoc.get())) << kvtest::HrText(hr);
        }
    }
    // Some damage is harmless (inside text): both outcomes were exercised.
    EXPECT_GT(nLoaded, 0);
    EXPECT_LT(nLoaded, 3000);
}

} // namespace
