// The --events lines: escaping and the shape of one line.
#include "output/JsonEvent.h"

#include <Korvane.h>

#include <gtest/gtest.h>

using namespace kvtool;

TEST(ToolJson, EscapesWhatJsonRequires)
{
    struct {
        std::wstring strIn;
        const char* pszOut;
    } cases[] = {
        {L"", "\"\""},
        {L"E:\\Apps\\a.txt", "\"E:\\\\Apps\\\\a.txt\""},
        {L"say \"hi\"", "\"say \\\"hi\\\"\""},
        {L"a\tb\nc\rd", "\"a\\tb\\nc\\rd\""},
        {L"\b\f", "\"\\b\\f\""},
        {std::wstring(1, L'\x01') + L"\x1f", "\"\\u0001\\u001f\""},
        {L"/slash stays/", "\"/slash stays/\""},
        {L"\u00fcber\u20ac", "\"\xC3\xBC"
                             "ber\xE2\x82\xAC\""},
        {L"\U0001F600", "\"\xF0\x9F\x98\x80\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.pszOut, JsonString(c.strIn));
}

TEST(ToolJson, LoneSurrogateBecomesReplacementNotDropped)
{
    std::wstring str = L"a";
    str += static_cast<wchar_t>(0xDC00);
    EXPECT_EQ("\"a\\ufffd\"", JsonString(str));
}

TEST(ToolJson, EventLinesNameTheCommand)
{
    EXPECT_EQ("{\"cmd\":0,\"name\":\"CRCVERIF_BEGIN\",\"param1\":null,\"param2\":6,\"answer\":0}",
              FormatEventLine(CRCVERIF_BEGIN, nullptr, 6, 0));
    EXPECT_EQ(
        "{\"cmd\":3,\"name\":\"CRCVERIF_FILEERROR\",\"param1\":\"E:\\\\a.txt\",\"param2\":1,\"answer\":2}",
        FormatEventLine(CRCVERIF_FILEERROR, L"E:\\a.txt", 1, 2));
    EXPECT_EQ("{\"cmd\":4,\"name\":\"CRCVERIF_TARGETDONE\",\"param1\":null,\"param2\":0,\"answer\":0}",
              FormatEventLine(CRCVERIF_TARGETDONE, nullptr, 0, 0));
    EXPECT_EQ("{\"cmd\":9,\"name\":\"CRCVERIF_UNKNOWN\",\"param1\":null,\"param2\":4294967295,\"answer\":0}",
              FormatEventLine(9, nullptr, 0xFFFFFFFF, 0));
    EXPECT_STREQ("CRCVERIF_PROGRESS", CommandName(CRCVERIF_PROGRESS));
    EXPECT_STREQ("CRCVERIF_END", CommandName(CRCVERIF_END));
}
