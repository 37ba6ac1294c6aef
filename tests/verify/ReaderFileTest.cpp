// The reader over real description files, in every encoding a burning
// program may write them, pretty-printed and compact.
#include "Harness.h"
#include "LogCapture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace kvtest {
namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Latin1, Windows1252 };

struct EncodingCase {
    Encoding eEncoding;
    bool bPretty;
    const char* pszName;
};

std::string Header(Encoding e)
{
    switch (e) {
    case Encoding::Latin1:
        return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
    case Encoding::Windows1252:
        return "<?xml version=\"1.0\" encoding=\"windows-1252\"?>";
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
    default:
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    }
}

// The document as text (wide, so every encoding can be made from it).
std::wstring Document(bool bPretty, const std::wstring& strName)
{
    const std::wstring nl = bPretty ? L"\n" : L"";
    const std::wstring in1 = bPretty ? L"  " : L"", in2 = bPretty ? L"    " : L"";
    return L"<Factory>" + nl + in1 + L"<Media>" + nl + in2 + L"<Info>" + nl + in2 +
           L"<Media_NumberFiles>2</Media_NumberFiles>" + nl + in2 + L"<Media_Size>5000000000</Media_Size>" +
           nl + in2 + L"</Info>" + nl + in1 + L"</Media>" + nl + in1 + L"<FILE>" + nl + in2 +
           L"<FullPath>C:\\Data\\" + strName + L"</FullPath>" + nl + in2 + L"<Path>\\Data</Path>" + nl + in2 +
           L"<TargetPath>\\Data</TargetPath>" + nl + in2 + L"<Name>" + strName + L"</Name>" + nl + in2 +
           L"<Attribute>32</Attribute>" + nl + in2 + L"<Exclusion>1</Exclusion>" + nl + in2 +
           L"<WriteTime>2026-12-08 10:11:12</WriteTime>" + nl + in2 + L"<FileSize>4294967296</FileSize>" +
           nl + in1 + L"</FILE>" + nl + in1 +
           L"<FILE><FullPath>C:\\Tools\\*.*</FullPath><Attribute>16</Attribute></FILE>" + nl + L"</Factory>" +
           nl;
}

std::string Encode(Encoding e, const std::wstring& text)
{
    const std::wstring all = Widen(Header(e)) + (e == Encoding::Utf8 ? L"\n" : L"") + text;
    std::string out;
    switch (e) {
    case Encoding::Utf8:
        return Narrow(all);
    case Encoding::Utf8Bom:
        return "\xEF\xBB\xBF" + Narrow(all);
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        out = e == Encoding::Utf16Le ? "\xFF\xFE" : "\xFE\xFF";
        for (wchar_t c : all) { // the texts here lie in the Basic Multilingual Plane
            const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>((c >> 8) & 0xFF);
            out += e == Encoding::Utf16Le ? std::string{lo, hi} : std::string{hi, lo};
        }
        return out;
    case Encoding::Latin1:
    case Encoding::Windows1252:
        for (wchar_t c : all)
            out += c == L'\u20AC' ? '\x80' : static_cast<char>(c); // the euro sign only in windows-1252
        return out;
    }
    return out;
}

class ReaderFileTest : public testing::TestWithParam<EncodingCase> {
  protected:
    TestDrive media{L'U'};
    TestKorvane k;
};

TEST_P(ReaderFileTest, ReadsTotalsAndEveryField)
{
    const EncodingCase& c = GetParam();
    const std::wstring name =
        c.eEncoding == Encoding::Windows1252 ? L"caf\u00e9 \u20ac.txt" : L"caf\u00e9.txt";
    media.Write(L"Media1.xml", Encode(c.eEncoding, Document(c.bPretty, name)));
    const std::wstring path = media.Win(L"Media1.xml");
    LogCapture log;

    EXPECT_EQ(2u, k.GetFileCount(path.c_str()));
#if KORVANE_REVISION >= 11
    EXPECT_EQ(5000000000LL, k.GetMediaSize(path.c_str()));
#endif
    IZRXmlNode* pNode = nullptr;
    ASSERT_HR(S_OK, k.m_pXml->GetNode(L"/Factory/FILE[1]", &pNode));
    CZRPathString strFull, strTarget;
    CZRString strPath, strName, strTime;
    DWORD dwAttr = 99, dwExcl = 99;
    __int64 iSize = 0;
    EXPECT_HR(S_OK, k.GetFileFullPath(strFull, pNode));
    EXPECT_HR(S_OK, k.GetFilePath(strPath, pNode));
    EXPECT_HR(S_OK, k.GetFileTargetPath(strTarget, pNode));
    EXPECT_HR(S_OK, k.GetFileName(strName, pNode));
    EXPECT_HR(S_OK, k.GetFileAttribute(dwAttr, pNode));
    EXPECT_HR(S_OK, k.GetFileExclusion(dwExcl, pNode));
    EXPECT_HR(S_OK, k.GetFileWriteTime(strTime, pNode));
    EXPECT_HR(S_OK, k.GetFileSize(iSize, pNode));
    pNode->Release();
    EXPECT_EQ(L"C:\\Data\\" + name, std::wstring(strFull));
    EXPECT_STREQ(L"\\Data", strPath);
    EXPECT_STREQ(L"\\Data", strTarget);
    EXPECT_EQ(name, std::wstring(strName));
    EXPECT_EQ(32u, dwAttr);
    EXPECT_EQ(1u, dwExcl);
    EXPECT_STREQ(L"2026-12-08 10:11:12", strTime);
    EXPECT_EQ(4294967296LL, iSize);

    ASSERT_HR(S_OK, k.m_pXml->GetNode(L"/Factory/FILE[2]", &pNode));
    EXPECT_HR(S_OK, k.GetFileAttribute(dwAttr, pNode));
    EXPECT_HR(S_OK, k.GetFileName(strName, pNode));
    pNode->Release();
    EXPECT_EQ(16u, dwAttr);
    EXPECT_STREQ(L"", strName);
    EXPECT_TRUE(log.Texts(ZRLOG_ERROR).empty());
}

INSTANTIATE_TEST_SUITE_P(Encodings, ReaderFileTest,
                         testing::Values(EncodingCase{Encoding::Utf8, true, "Utf8Pretty"},
                                         EncodingCase{Encoding::Utf8, false, "Utf8Compact"},
                                         EncodingCase{Encoding::Utf8Bom, true, "Utf8BomPretty"},
                                         EncodingCase{Encoding::Utf16Le, true, "Utf16LePretty"},
                                         EncodingCase{Encoding::Utf16Le, false, "Utf16LeCompact"},
                                         EncodingCase{Encoding::Utf16Be, true, "Utf16BePretty"},
                                         EncodingCase{Encoding::Latin1, true, "Latin1Pretty"},
                                         EncodingCase{Encoding::Windows1252, false, "Windows1252Compact"}),
                         [](const testing::TestParamInfo<EncodingCase>& info) { return info.param.pszName; });

TEST(ReaderFileErrorsTest, FileWithoutMediaInfoGivesZeroTotals)
{
    TestDrive media{L'U'};
    media.Write(L"Media1.xml", "<Factory><FILE><Name>a</Name></FILE></Factory>");
    const std::wstring path = media.Win(L"Media1.xml");
    TestKorvane k;
    LogCapture log;
    EXPECT_EQ(0u, k.GetFileCount(path.c_str()));
    std::vector<std::wstring> expected{L"CKorvane::GetFileCount(...) Get Info node in XML media file " +
                                       path + L" FAILED"};
#if KORVANE_REVISION >= 11
    EXPECT_EQ(0, k.GetMediaSize(path.c_str()));
    expected.push_back(L"CKorvane::GetMediaSize(...) Get Info node in XML media file " + path + L" FAILED");
#endif
    EXPECT_EQ(expected, log.Texts(ZRLOG_ERROR));
}

TEST(ReaderFileErrorsTest, MalformedFileCannotBeOpened)
{
    TestDrive media{L'U'};
    media.Write(L"Media1.xml", "<Factory><Media><Info></Media></Factory>");
    const std::wstring path = media.Win(L"Media1.xml");
    TestKorvane k;
    LogCapture log;
    EXPECT_EQ(0u, k.GetFileCount(path.c_str()));
    EXPECT_EQ(
        std::vector<std::wstring>{L"CKorvane::GetFileCount(...) Open XML Media file " + path + L" FAILED"},
        log.Texts(ZRLOG_ERROR));
}

// Of two Name children the first is read, unless it has no text: then the
// failure to read it is logged and the second is read. White space is text.
TEST(ReaderFileErrorsTest, NameWithoutTextGivesWayToTheNext)
{
    struct Case {
        const char* pszChildren;
        const wchar_t* pszName;     // what GetFileName gives
        const wchar_t* pszFailedOn; // the node named in the GetText error, or null
    };
    const Case cases[] = {
        {"<Name/><Name>b.txt</Name>", L"b.txt", L"Name"},
        {"<Name></Name><Name>b.txt</Name>", L"b.txt", L"Name"},
        {"<Name><!-- none --></Name><Name>b.txt</Name>", L"b.txt", L"Name"},
        {"<Name><![CDATA[]]></Name><Name>b.txt</Name>", L"b.txt", L"Name"},
        {"<name/><NAME>b.txt</NAME>", L"b.txt", L"name"},
        {"<Name/>", L"", L"Name"},
        {"<Name> </Name><Name>b.txt</Name>", L" ", nullptr},
        {"<Name>a.txt</Name><Name>b.txt</Name>", L"a.txt", nullptr},
        {"<Name><![CDATA[c]]></Name><Name>b.txt</Name>", L"c", nullptr},
    };
    TestDrive media{L'U'};
    TestKorvane k;
    for (const Case& c : cases) {
        media.Write(L"Media1.xml", std::string("<Factory><FILE>") + c.pszChildren + "</FILE></Factory>");
        ASSERT_HR(S_OK, k.m_pXml->LoadFile(media.Win(L"Media1.xml").c_str()));
        IZRXmlNode* pNode = nullptr;
        ASSERT_HR(S_OK, k.m_pXml->GetNode(L"/Factory/FILE[1]", &pNode));
        LogCapture log;
        CZRString strName;
        strName = L"before";
        EXPECT_HR(S_OK, k.GetFileName(strName, pNode)) << c.pszChildren;
        pNode->Release();
        EXPECT_STREQ(c.pszName, strName) << c.pszChildren;
        std::vector<std::wstring> errors;
        if (c.pszFailedOn)
            errors.push_back(std::wstring(L"CKorvane::GetFileChild(...) GetText on node ") + c.pszFailedOn +
                             L" FAILED");
        EXPECT_EQ(errors, log.Texts(ZRLOG_ERROR)) << c.pszChildren;
    }
}

} // namespace
} // namespace kvtest
