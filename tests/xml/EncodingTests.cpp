// Encodings: what each reads as, and the bytes that must fail.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

using namespace xmltest;

namespace {

// U+1F600 as wide text: one unit of UTF-32 or a surrogate pair of UTF-16.
const std::wstring kEmoji = L"\U0001F600";

struct Readable {
    const char* pszCase;
    std::string bytes;
    std::wstring strExpected; // text of /r
};

class EncodingReads : public testing::TestWithParam<Readable> {};

TEST_P(EncodingReads, GivesTheText)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), GetParam().bytes));
    EXPECT_EQ(TextAt(pDoc.get(), L"/r"), GetParam().strExpected);
}

const std::u32string kUtf16Doc =
    U"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>\u00E9\u20AC\U0001F600\r\nx</r>";

INSTANTIATE_TEST_SUITE_P(
    Xml, EncodingReads,
    testing::Values(
        Readable{"Utf8NoBom", "<r>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</r>", L"\u00E9\u20AC" + kEmoji},
        Readable{"Utf8Bom", "\xEF\xBB\xBF<r>\xC3\xA9</r>", L"\u00E9"},
        Readable{"Utf8BomDeclared", "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?><r>a</r>", L"a"},
        Readable{"Utf8Declared", "<?xml version=\"1.0\" encoding=\"UTF8\"?><r>\xC3\xA9</r>", L"\u00E9"},
        Readable{"Utf16Le", Utf16(kUtf16Doc, false), L"\u00E9\u20AC" + kEmoji + L"\nx"},
        Readable{"Utf16Be", Utf16(kUtf16Doc, true), L"\u00E9\u20AC" + kEmoji + L"\nx"},
        Readable{"Utf16NoDeclaration", Utf16(U"<r>\u4E2D</r>", false), L"\u4E2D"},
        Readable{"Latin1", "<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE9\x80\xFF</r>",
                 L"\u00E9\u0080\u00FF"},
        Readable{"Latin1Alias", "<?xml version='1.0' encoding='latin1'?><r>\xE9</r>", L"\u00E9"},
        Readable{"Latin1LowerCase", "<?xml version='1.0' encoding='iso-8859-1'?><r>\xE9</r>", L"\u00E9"},
        Readable{"Cp1252", "<?xml version='1.0' encoding='windows-1252'?><r>\x80\x9F\xE9</r>",
                 L"\u20AC\u0178\u00E9"},
        Readable{"Cp1252Alias", "<?xml version='1.0' encoding='CP1252'?><r>\x80</r>", L"\u20AC"},
        Readable{"Ascii", "<?xml version='1.0' encoding='US-ASCII'?><r>plain</r>", L"plain"},
        // Line ends read as LF whatever the encoding; character references stay.
        Readable{"CrLf", "<r>a\r\nb\rc\n\r\nd&#13;</r>", L"a\nb\nc\n\nd\r"},
        Readable{"CrLfLatin1", "<?xml version='1.0' encoding='latin1'?><r>\xE9\r\n\r</r>", L"\u00E9\n\n"}),
    [](const testing::TestParamInfo<Readable>& info) { return info.param.pszCase; });

TEST(XmlEncoding, NonAsciiElementNamesAreFoundByPath)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<?xml version='1.0' encoding='latin1'?><r><Gr\xF6\xDF"
                                     "e>1</Gr\xF6\xDF"
                                     "e></r>"));
    EXPECT_EQ(TextAt(pDoc.get(), L"/r/Gr\u00F6\u00DFe"), L"1");
    ASSERT_HR(S_OK, Load(pDoc.get(), Utf16(U"<\U00010400>x</\U00010400>", true)));
    NodePtr pRoot = NodeAt(pDoc.get(), L"/\U00010400");
    ASSERT_TRUE(pRoot);
    EXPECT_EQ(Name(pRoot.get()), L"\U00010400");
}

struct Unreadable {
    const char* pszCase;
    std::string bytes;
    HRESULT hr;
};

class EncodingFails : public testing::TestWithParam<Unreadable> {};

TEST_P(EncodingFails, AndLeavesTheDocumentEmpty)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<Factory/>"));
    EXPECT_HR(GetParam().hr, Load(pDoc.get(), GetParam().bytes));
    EXPECT_TRUE(IsEmpty(pDoc.get()));
}

INSTANTIATE_TEST_SUITE_P(
    Xml, EncodingFails,
    testing::Values(
        Unreadable{"UnknownEncoding", "<?xml version='1.0' encoding='Shift_JIS'?><r/>", XML_E_ENCODING},
        Unreadable{"Utf16WithoutBom", "<?xml version='1.0' encoding='UTF-16'?><r/>", XML_E_ENCODING},
        Unreadable{"Utf8BomNamingLatin1", "\xEF\xBB\xBF<?xml version='1.0' encoding='latin1'?><r/>",
                   XML_E_ENCODING},
        Unreadable{"Utf16BomNamingUtf8", Utf16(U"<?xml version='1.0' encoding='UTF-8'?><r/>", false),
                   XML_E_ENCODING},
        Unreadable{"Utf16BigEndianUnmarked", std::string("\0<\0r\0/\0>", 8), XML_E_BADCHAR},
        Unreadable{"Utf8Lone80", "<r>\x80</r>", XML_E_BADBYTES},
        Unreadable{"Utf8Overlong2", "<r>\xC0\xAF</r>", XML_E_BADBYTES},
        Unreadable{"Utf8Overlong3", "<r>\xE0\x80\xAF</r>", XML_E_BADBYTES},
        Unreadable{"Utf8Overlong4", "<r>\xF0\x80\x80\xAF</r>", XML_E_BADBYTES},
        Unreadable{"Utf8Surrogate", "<r>\xED\xA0\x80</r>", XML_E_BADBYTES},
        Unreadable{"Utf8BeyondUnicode", "<r>\xF4\x90\x80\x80</r>", XML_E_BADBYTES},
        Unreadable{"Utf8F5", "<r>\xF5\x80\x80\x80</r>", XML_E_BADBYTES},
        Unreadable{"Utf8MissingContinuation", "<r>\xE2\x82x</r>", XML_E_BADBYTES},
        Unreadable{"Utf8CutAtEnd", "<r/>\xE2\x82", XML_E_BADBYTES},
        Unreadable{"Utf8Fffe", "<r>\xEF\xBF\xBE</r>", XML_E_BADCHAR},
        Unreadable{"Utf8Control", "<r>\x01</r>", XML_E_BADCHAR},
        Unreadable{"Utf8Nul", std::string("<r>\0</r>", 8), XML_E_BADCHAR},
        Unreadable{"Utf16OddLength", Utf16(U"<r/>", false) + "x", XML_E_BADBYTES},
        Unreadable{"Utf16LoneLowSurrogate", Utf16(U"<r>", false) + std::string("\x00\xDC", 2),
                   XML_E_BADBYTES},
        Unreadable{"Utf16HighSurrogateThenText",
                   Utf16(U"<r>", false) + std::string("\x00\xD8"
                                                      "a\x00",
                                                      4),
                   XML_E_BADBYTES},
        Unreadable{"Utf16HighSurrogateAtEnd", Utf16(U"<r/>", true) + std::string("\xD8\x00", 2),
                   XML_E_BADBYTES},
        Unreadable{"Utf16Nul", Utf16(U"<r>", false) + std::string("\0\0", 2), XML_E_BADCHAR},
        Unreadable{"Latin1Control", "<?xml version='1.0' encoding='latin1'?><r>\x1F</r>", XML_E_BADCHAR},
        Unreadable{"Cp1252Undefined81", "<?xml version='1.0' encoding='cp1252'?><r>\x81</r>", XML_E_BADBYTES},
        Unreadable{"Cp1252Undefined9D", "<?xml version='1.0' encoding='windows-1252'?><r>\x9D</r>",
                   XML_E_BADBYTES},
        Unreadable{"AsciiHighByte", "<?xml version='1.0' encoding='us-ascii'?><r>\xE9</r>", XML_E_BADBYTES}),
    [](const testing::TestParamInfo<Unreadable>& info) { return info.param.pszCase; });

} // namespace
