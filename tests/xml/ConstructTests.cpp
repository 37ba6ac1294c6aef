// The constructs of XML a document may use, and what a node's text is.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

using namespace xmltest;

namespace {

struct Construct {
    const char* pszCase;
    std::string strDocument;
    std::wstring strPath;
    std::wstring strText;
};

class Constructs : public testing::TestWithParam<Construct> {};

TEST_P(Constructs, LoadAndGiveTheText)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), GetParam().strDocument));
    EXPECT_EQ(TextAt(pDoc.get(), GetParam().strPath), GetParam().strText);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, Constructs,
    testing::Values(
        Construct{"EmptyElementGivesNoText", "<a><b/></a>", L"/a/b", kNull},
        Construct{"OpenCloseWithoutText", "<a><b></b></a>", L"/a/b", kNull},
        Construct{"WhiteSpaceKept", "<a><b>  x \t y  </b></a>", L"/a/b", L"  x \t y  "},
        Construct{"OwnTextOnly", "<a>1<b>inner</b>2<c/>3</a>", L"/a", L"123"},
        Construct{"CData", "<a>x<![CDATA[<&>]]]]>y</a>", L"/a", L"x<&>]]y"},
        Construct{"EmptyCData", "<a><![CDATA[]]></a>", L"/a", kNull},
        Construct{"OnlyCommentAndPiGiveNoText", "<a><b><!-- c --><?pi?></b></a>", L"/a/b", kNull},
        Construct{"OnlyAttributesGiveNoText", "<a><b x='1'/></a>", L"/a/b", kNull},
        Construct{"OnlyChildrenGiveNoText", "<a><b><c>x</c></b></a>", L"/a/b", kNull},
        Construct{"SpaceReferenceIsText", "<a><b>&#32;</b></a>", L"/a/b", L" "},
        Construct{"SpaceInCDataIsText", "<a><b><![CDATA[ ]]></b></a>", L"/a/b", L" "},
        Construct{"CommentsAndPisAreNotText", "<a>x<!-- c -->y<?pi data?>z<?pi?></a>", L"/a", L"xyz"},
        Construct{"PredefinedEntities", "<a>&lt;&gt;&amp;&apos;&quot;</a>", L"/a", L"<>&'\""},
        Construct{"CharacterReferences", "<a>&#65;&#x42;&#x0043;&#x10FFFF;&#x1F600;&#9;</a>", L"/a",
                  L"ABC\U0010FFFF\U0001F600\t"},
        Construct{"EntityBetweenTexts", "<a>C:\\a&amp;b\\c</a>", L"/a", L"C:\\a&b\\c"},
        Construct{"AttributesParsed",
                  "<a x='1' y = \"2&amp;&#65;\" z='\"' w=\"'\" v=''><b id='&lt;'>t</b></a>", L"/a/b", L"t"},
        Construct{"ManyAttributes",
                  "<a a1='' a2='' a3='' a4='' a5='' a6='' a7='' a8='' a9='' a10='' a11='' a12=''>t</a>",
                  L"/a", L"t"},
        Construct{"SpaceBeforeClose", "<a >t</a >", L"/a", L"t"},
        Construct{"Declaration", "<?xml version=\"1.0\"?><a>t</a>", L"/a", L"t"},
        Construct{"DeclarationFull", "<?xml version='1.1' encoding='UTF-8' standalone='yes' ?>\n<a>t</a>",
                  L"/a", L"t"},
        Construct{"PrologAndEpilog", "<!-- c --><?pi x?>\n <a>t</a>\n<!-- d --><?pi?>\n", L"/a", L"t"},
        Construct{"XmlPrefixedPiTarget", "<?xml-stylesheet href='s'?><a>t</a>", L"/a", L"t"},
        Construct{"Doctype", "<!DOCTYPE a><a>t</a>", L"/a", L"t"},
        Construct{"DoctypeExternal", "<!DOCTYPE a PUBLIC \"-//x//y\" 'a.dtd'><a>t</a>", L"/a", L"t"},
        Construct{"DoctypeInternalSubset",
                  "<!DOCTYPE a [\n <!ELEMENT a (#PCDATA)>\n <!ATTLIST a x CDATA \"]>\">\n"
                  " <!ENTITY e 'has > and ]'>\n <!-- ] > -->\n <?pi ]>?>\n %pe;\n]>\n<a>t</a>",
                  L"/a", L"t"},
        Construct{"NamesWithPunctuation", "<ns:a-b.c_d><_x1>t</_x1></ns:a-b.c_d>", L"/ns:a-b.c_d/_x1", L"t"}),
    [](const testing::TestParamInfo<Construct>& info) { return info.param.pszCase; });

// A declared entity is never expanded: referring to it fails.
TEST(XmlConstructs, DeclaredEntityIsNotExpanded)
{
    DocPtr pDoc = NewDocument();
    EXPECT_HR(XML_E_ENTITY, Load(pDoc.get(), "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>"));
    EXPECT_TRUE(IsEmpty(pDoc.get()));
}

TEST(XmlConstructs, TextOfAnElementWithChildrenKeepsItsWhiteSpace)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<a>\n  <b>1</b>\n  <c>2</c>\n</a>"));
    EXPECT_EQ(TextAt(pDoc.get(), L"/a"), L"\n  \n  \n");
}

TEST(XmlConstructs, LongTextAcrossManyPieces)
{
    std::string strDoc = "<a>";
    std::wstring strExpected;
    for (int i = 0; i < 20000; ++i) {
        strDoc += "x&amp;<![CDATA[y]]><b/>";
        strExpected += L"x&y";
    }
    strDoc += "</a>";
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), strDoc));
    NodePtr pNode = NodeAt(pDoc.get(), L"/a");
    ASSERT_TRUE(pNode);
    EXPECT_EQ(Text(pNode.get()), strExpected);
    EXPECT_EQ(pNode->GetChildCount(), 20000);
}

} // namespace
