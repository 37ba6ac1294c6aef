// The description file the describe command writes, and the tool's own
// reading of one.
#include "description/DescribedFiles.h"
#include "description/DescriptionIndex.h"
#include "description/DescriptionWriter.h"
#include "description/MediaDescription.h"
#include "host/FileSizes.h"
#include "host/HostPath.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include "TestSupport.h"

#include <DescriptionRules.h>

#include <gtest/gtest.h>

using namespace kvtool;

TEST(ToolDescribe, TargetPathsAreNormalised)
{
    struct {
        const wchar_t* pszIn;
        const wchar_t* pszOut;
    } cases[] = {
        {L"\\Apps", L"\\Apps"}, {L"Apps", L"\\Apps"},
        {L"/Apps/", L"\\Apps"}, {L"\\\\Apps\\\\Tool\\", L"\\Apps\\Tool"},
        {L"", L"\\"},           {L"\\", L"\\"},
        {L"/", L"\\"},          {L"a/b\\c", L"\\a\\b\\c"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.pszOut), NormalizeTargetPath(c.pszIn)) << Utf8FromWide(c.pszIn);
}

TEST(ToolDescribe, XmlTextEscapes)
{
    EXPECT_EQ("a&amp;b&lt;c&gt;d&quot;e&apos;f", XmlText(L"a&b<c>d\"e'f"));
    EXPECT_EQ("&#9;&#10;&#13;", XmlText(L"\t\n\r"));
    EXPECT_EQ("\xC3\xA9\xF0\x9F\x98\x80", XmlText(L"\u00e9\U0001F600"));
    for (wchar_t wc : {L'\x01', L'\x1f', static_cast<wchar_t>(0xFFFE), static_cast<wchar_t>(0xD800)})
        EXPECT_THROW(XmlText(std::wstring(L"a") + wc), CUsageError) << static_cast<unsigned>(wc);
}

TEST(ToolDescribe, XmlDocumentShape)
{
    CMediaDescription desc;
    desc.ullFileCount = 2;
    desc.ullMediaSize = 5000000000ULL; // beyond 32 bits
    CDescribedEntry entry;
    entry.strFullPath = L"C:\\Data\\a&b.txt";
    entry.strPath = L"\\Apps\\a&b.txt";
    entry.strTargetPath = L"\\Apps";
    entry.strName = L"a&b.txt";
    entry.dwAttribute = 32;
    entry.ullFileSize = 3;
    entry.strWriteTime = L"2024-05-01T10:00:00Z";
    desc.vecEntries.push_back(entry);
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<Factory>\n"
              "  <Media>\n"
              "    <Info>\n"
              "      <Media_NumberFiles>2</Media_NumberFiles>\n"
              "      <Media_Size>5000000000</Media_Size>\n"
              "    </Info>\n"
              "  </Media>\n"
              "  <FILE>\n"
              "    <FullPath>C:\\Data\\a&amp;b.txt</FullPath>\n"
              "    <Path>\\Apps\\a&amp;b.txt</Path>\n"
              "    <TargetPath>\\Apps</TargetPath>\n"
              "    <Name>a&amp;b.txt</Name>\n"
              "    <Attribute>32</Attribute>\n"
              "    <Exclusion>0</Exclusion>\n"
              "    <FileSize>3</FileSize>\n"
              "    <WriteTime>2024-05-01T10:00:00Z</WriteTime>\n"
              "  </FILE>\n"
              "</Factory>\n",
              DescriptionXml(desc));
    EXPECT_EQ(L"Media12.xml", kvdesc::DescriptionFileName(12));
}

TEST(ToolDescribe, XmlDocumentTextsAsXmlTextWritesThem)
{
    // Names at the edges of what is written without escaping.
    const wchar_t* const apszNames[] = {
        L"plain-Name_1.txt", L" ~",     L"a'b",           L"a\"b",       L"a<b>", L"a&b",
        L"del\x7F",          L"tab\tx", L"\u00e9t\u00e9", L"\U0001F600", L""};
    for (const wchar_t* pszName : apszNames) {
        SCOPED_TRACE(kvtool::Utf8FromWide(pszName));
        CMediaDescription desc;
        CDescribedEntry entry;
        entry.strFullPath = std::wstring(L"C:\\") + pszName;
        entry.strPath = std::wstring(L"\\") + pszName;
        entry.strTargetPath = L"\\";
        entry.strName = pszName;
        entry.strWriteTime = pszName;
        desc.vecEntries.push_back(entry);
        const std::string strXml = DescriptionXml(desc);
        const std::string strText = XmlText(pszName);
        for (const std::string& strLine :
             {"<FullPath>C:\\" + strText + "</FullPath>\n", "<Path>\\" + strText + "</Path>\n",
              "<Name>" + strText + "</Name>\n", "<WriteTime>" + strText + "</WriteTime>\n"})
            EXPECT_NE(std::string::npos, strXml.find("    " + strLine)) << strLine << " in\n" << strXml;
    }
}

TEST(ToolDescribe, FilesAndFoldersOfATree)
{
    kvtest::TempDir dir;
    const std::filesystem::path root = dir.Path();
    kvtest::WriteBytes(root / "a.txt", "abc");
    kvtest::WriteBytes(root / "tools" / "x.bin", std::string(100, 'x'));
    kvtest::WriteBytes(root / "tools" / "deep" / "y.bin", std::string(20, 'y'));
    kvtest::WriteBytes(root / "tools" / "System Volume Information" / "skip.dat", std::string(7, 's'));
    std::filesystem::create_directories(root / "tools" / "empty");

    CMediaDescription desc = DescribeSources({root / "a.txt", root / "tools" / ""}, L"Apps/");
    EXPECT_EQ(3u, desc.ullFileCount);   // a.txt, x.bin, y.bin
    EXPECT_EQ(123u, desc.ullMediaSize); // the skipped folder's file is left out, as the library leaves it
    ASSERT_EQ(2u, desc.vecEntries.size());

    const CDescribedEntry& file = desc.vecEntries[0];
    EXPECT_EQ(LibraryPathOf(root / "a.txt"), file.strFullPath);
    EXPECT_EQ(L"\\Apps", file.strTargetPath);
    EXPECT_EQ(L"a.txt", file.strName);
    EXPECT_EQ(L"\\Apps\\a.txt", file.strPath);
    EXPECT_EQ(32u, file.dwAttribute);
    EXPECT_EQ(3u, file.ullFileSize);
    ASSERT_EQ(20u, file.strWriteTime.size());
    EXPECT_EQ(L'T', file.strWriteTime[10]);
    EXPECT_EQ(L'Z', file.strWriteTime[19]);

    const CDescribedEntry& folder = desc.vecEntries[1];
    EXPECT_EQ(LibraryPathOf(root / "tools") + L"\\*.*", folder.strFullPath);
    EXPECT_EQ(L"\\Apps\\tools", folder.strTargetPath);
    EXPECT_EQ(L"tools", folder.strName);
    EXPECT_EQ(16u, folder.dwAttribute);
    EXPECT_EQ(120u, folder.ullFileSize);
}

TEST(ToolDescribe, RootTargetAndMissingSource)
{
    kvtest::TempDir dir;
    kvtest::WriteBytes(dir.Path() / "a.txt", "");
    CMediaDescription desc = DescribeSources({dir.Path() / "a.txt"}, L"\\");
    EXPECT_EQ(L"\\", desc.vecEntries.at(0).strTargetPath);
    EXPECT_EQ(L"\\a.txt", desc.vecEntries.at(0).strPath);
    EXPECT_THROW(DescribeSources({dir.Path() / "nothing"}, L"\\"), CUsageError);
    EXPECT_THROW(DescribeSources({dir.Path().root_path()}, L"\\"), CUsageError);
}

// Sources that would be one file on the disc are refused before anything
// is written; folders of one name merge when their files do not meet.
TEST(ToolDescribe, SourcesThatWouldBeOneFileOnTheDiscAreRefused)
{
    kvtest::TempDir dir;
    const std::filesystem::path r = dir.Path();
    kvtest::WriteBytes(r / "a" / "x.txt", "1");
    kvtest::WriteBytes(r / "b" / "X.TXT", "2");
    kvtest::WriteBytes(r / "c" / "x.txt" / "in.txt", "3"); // a folder named x.txt
    kvtest::WriteBytes(r / "a" / "d" / "y.txt", "4");
    kvtest::WriteBytes(r / "b" / "d" / "z.txt", "5");
    kvtest::WriteBytes(r / "c" / "d" / "sub" / "Y.txt", "6");
    kvtest::WriteBytes(r / "e" / "d" / "y.TXT", "7");
    const struct {
        std::vector<std::filesystem::path> vecSources;
        const char* pszMeeting; // "" when they go together
    } cases[] = {
        {{r / "a" / "x.txt", r / "b" / "X.TXT"}, "X.TXT"},
        {{r / "a" / "x.txt", r / "c" / "x.txt"}, "x.txt"},
        {{r / "a" / "d", r / "b" / "d", r / "c" / "d"}, ""},
        {{r / "a" / "d", r / "b" / "d", r / "e" / "d"}, "d/y.TXT"},
        {{r / "a" / "x.txt", r / "a" / "d"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszMeeting);
        const CMediaDescription desc = DescribeSources(c.vecSources, L"\\");
        if (!*c.pszMeeting) {
            EXPECT_NO_THROW(RefuseCollisions(desc));
            continue;
        }
        try {
            RefuseCollisions(desc);
            ADD_FAILURE() << "not refused";
        } catch (const CUsageError& e) {
            EXPECT_NE(std::string::npos,
                      std::string(e.what()).find(std::string(" would both be ") + c.pszMeeting))
                << e.what();
        }
    }
}

TEST(ToolIndex, TargetsAreBuiltAsTheDriverBuildsThem)
{
    CDescriptionIndex index;
    index.AddEntry(L'E', L"C:\\Data\\setup.exe", L"\\Apps\\Tool", L"setup.exe", 32);
    index.AddEntry(L'E', L"C:\\Data\\Tools\\*.*", L"\\Apps\\Tools", L"Tools", 16);
    index.AddEntry(L'E', L"C:\\Root.txt", L"", L"Root.txt", 0);
    EXPECT_EQ(3u, index.EntryCount());
    // Each pair both ways: a report may name either side.
    const std::pair<const wchar_t*, const wchar_t*> aPairs[] = {
        {L"C:\\Data\\setup.exe", L"E:\\Apps\\Tool\\setup.exe"},
        {L"C:\\Data\\Tools\\sub\\x.bin", L"E:\\Apps\\Tools\\sub\\x.bin"},
        {L"C:\\Data\\Tools", L"E:\\Apps\\Tools"}, // the library reports a folder it cannot list
        {L"C:\\Root.txt", L"E:\\Root.txt"},
    };
    for (const auto& [pszSource, pszTarget] : aPairs) {
        EXPECT_EQ(pszTarget, index.TargetFor(pszSource));
        EXPECT_EQ(pszSource, index.SourceFor(pszTarget));
    }
    EXPECT_EQ(L"", index.TargetFor(L"C:\\Data\\ToolsX\\x.bin")); // only below the folder
    EXPECT_EQ(L"", index.TargetFor(L"C:\\Other.txt"));
    EXPECT_EQ(L"", index.SourceFor(L"E:\\Apps\\ToolsX\\x.bin"));
    EXPECT_EQ(L"", index.SourceFor(L"E:\\Apps\\Tools\\"));
    EXPECT_EQ(L"", index.SourceFor(L"C:\\Root.txt"));
    std::wstring strSource, strTarget;
    ASSERT_TRUE(index.FirstPair(strSource, strTarget));
    EXPECT_EQ(aPairs[0].first, strSource);
    EXPECT_EQ(aPairs[0].second, strTarget);
}

TEST(ToolIndex, TheFirstEntryThatLeadsToASourceWins)
{
    CDescriptionIndex index;
    index.AddEntry(L'E', L"C:\\a.txt", L"\\first", L"a.txt", 32);
    index.AddEntry(L'E', L"C:\\a.txt", L"\\second", L"a.txt", 32);
    EXPECT_EQ(L"E:\\first\\a.txt", index.TargetFor(L"C:\\a.txt")) << "two entries of one source";
    index.AddEntry(L'E', L"C:\\b.txt", L"\\first", L"a.txt", 32);
    EXPECT_EQ(L"C:\\a.txt", index.SourceFor(L"E:\\first\\a.txt")) << "two sources of one target";

    CDescriptionIndex folderFirst;
    folderFirst.AddEntry(L'E', L"C:\\D\\*.*", L"\\Folder", L"D", 16);
    folderFirst.AddEntry(L'E', L"C:\\D\\b.txt", L"\\File", L"b.txt", 32);
    EXPECT_EQ(L"E:\\Folder\\b.txt", folderFirst.TargetFor(L"C:\\D\\b.txt"));

    CDescriptionIndex fileFirst;
    fileFirst.AddEntry(L'E', L"C:\\D\\b.txt", L"\\File", L"b.txt", 32);
    fileFirst.AddEntry(L'E', L"C:\\D\\*.*", L"\\Folder", L"D", 16);
    EXPECT_EQ(L"E:\\File\\b.txt", fileFirst.TargetFor(L"C:\\D\\b.txt"));
}

TEST(ToolIndex, EntryAddedAfterALookupIsFound)
{
    CDescriptionIndex index;
    index.AddEntry(L'E', L"C:\\a.txt", L"", L"a.txt", 32);
    EXPECT_EQ(L"", index.TargetFor(L"C:\\b.txt"));
    index.AddEntry(L'E', L"C:\\b.txt", L"\\B", L"b.txt", 32);
    EXPECT_EQ(L"E:\\B\\b.txt", index.TargetFor(L"C:\\b.txt"));
}

TEST(ToolIndex, LinuxFolderEntryAsDescribeWritesIt)
{
    CDescriptionIndex index;
    index.AddEntry(L'K', L"/tmp/demo/source/docs\\*.*", L"\\docs", L"docs", 16);
    EXPECT_EQ(L"K:\\docs\\notes.txt", index.TargetFor(L"/tmp/demo/source/docs\\notes.txt"));
}

TEST(ToolIndex, SizeComparison)
{
    kvtest::TempDir dir;
    kvtest::WriteBytes(dir.Path() / "a", "abc");
    kvtest::WriteBytes(dir.Path() / "b", "xyz");
    kvtest::WriteBytes(dir.Path() / "c", "abcd");
    auto lib = [&](const char* pszName) { return LibraryPathOf(dir.Path() / pszName); };
    EXPECT_EQ(0, CompareFileSizes(lib("a"), lib("b")));
    EXPECT_EQ(1, CompareFileSizes(lib("a"), lib("c")));
    EXPECT_EQ(-1, CompareFileSizes(lib("a"), lib("none")));
    EXPECT_EQ(-1, CompareFileSizes(lib("a"), L""));
}

TEST(ToolIndex, LoadCountsEntriesAndReadsThemOnTheFirstLookup)
{
    kvtest::TempDir dir;
    kvtest::WriteBytes(
        dir.Path() / "Media4.xml",
        "<?xml version=\"1.0\"?>\n<Factory><Media><Info><Media_NumberFiles>7</Media_NumberFiles>"
        "</Info></Media>"
        "<FILE><FullPath>C:\\Data\\a.txt</FullPath><TargetPath>\\One</TargetPath>"
        "<Name>a.txt</Name><Attribute>32</Attribute></FILE>"
        "<FILE><fullpath>C:\\Data\\Tools\\*.*</fullpath><TARGETPATH>\\Tools</TARGETPATH>"
        "<Name>Tools</Name><Attribute> 16</Attribute></FILE>"
        "<FILE><FullPath>C:\\Data\\a.txt</FullPath><TargetPath>\\Two</TargetPath>"
        "<Name>a.txt</Name><Attribute>32</Attribute></FILE>"
        "<Other/></Factory>");
    CDescriptionIndex index;
    ASSERT_TRUE(index.Load(LibraryPathOf(dir.Path() / "Media4.xml"), L'F'));
    EXPECT_TRUE(index.IsLoaded());
    EXPECT_EQ(3u, index.EntryCount());
    EXPECT_EQ(7u, index.FileCount());
    // Added after a load, an entry comes after the description's own.
    index.AddEntry(L'F', L"C:\\Data\\b.txt", L"\\Added", L"b.txt", 32);
    index.AddEntry(L'F', L"C:\\Data\\a.txt", L"\\Added", L"a.txt", 32);
    EXPECT_EQ(5u, index.EntryCount());
    EXPECT_EQ(L"F:\\One\\a.txt", index.TargetFor(L"C:\\Data\\a.txt"));
    EXPECT_EQ(L"F:\\Tools\\x\\y.bin", index.TargetFor(L"C:\\Data\\Tools\\x\\y.bin"));
    EXPECT_EQ(L"F:\\Added\\b.txt", index.TargetFor(L"C:\\Data\\b.txt"));
    EXPECT_EQ(5u, index.EntryCount());

    // Read on the first lookup, not before: the same without AddEntry.
    CDescriptionIndex lookupFirst;
    ASSERT_TRUE(lookupFirst.Load(LibraryPathOf(dir.Path() / "Media4.xml"), L'G'));
    std::vector<std::pair<std::wstring, std::wstring>> vecFolders;
    lookupFirst.ForEachFolder([&vecFolders](std::wstring_view svSource, std::wstring_view svTarget) {
        vecFolders.emplace_back(svSource, svTarget);
    });
    EXPECT_EQ((std::vector<std::pair<std::wstring, std::wstring>>{{L"C:\\Data\\Tools", L"G:\\Tools"}}),
              vecFolders);
    EXPECT_EQ(L"G:\\One\\a.txt", lookupFirst.TargetFor(L"C:\\Data\\a.txt"));
    EXPECT_EQ(3u, lookupFirst.EntryCount());

    // A reload starts over; a file that cannot be read leaves it empty.
    ASSERT_FALSE(lookupFirst.Load(LibraryPathOf(dir.Path() / "none.xml"), L'G'));
    EXPECT_FALSE(lookupFirst.IsLoaded());
    EXPECT_EQ(0u, lookupFirst.EntryCount());
    EXPECT_EQ(L"", lookupFirst.TargetFor(L"C:\\Data\\a.txt"));
}
