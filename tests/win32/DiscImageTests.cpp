// Drives mapped to disc images made by xorriso and genisoimage: every file
// of the tree reads back byte for byte under the names Windows shows, and a
// damaged image says so.
#include <windows.h>

#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct CTreeFile {
    std::wstring strWin; // as a description written on Windows may name it
    std::string strRel;  // in the source tree
    std::size_t cb;
};

// CJK, names differing only by case, deep folders, empty files and sizes
// around the 16 KiB reads.
const CTreeFile g_aTree[] = {
    {L"\\Apps\\Setup.EXE", "Apps/Setup.EXE", 3},
    {L"\\Apps\\setup.exe", "Apps/setup.exe", 5},
    {L"\\APPS\\DEEP\\A\\B\\C\\D\\LEAF.BIN", "Apps/Deep/a/b/c/d/leaf.bin", 16384},
    {L"\\日本語\\説明.txt", "日本語/説明.txt", 16383},
    {L"\\empty", "empty", 0},
    {L"\\edge\\16k+1", "edge/16k+1", 16385},
    {L"\\edge\\32K", "edge/32k", 32768},
};

std::string Bytes(const std::string& strRel, std::size_t cb)
{
    std::mt19937 rng(static_cast<unsigned>(std::hash<std::string>()(strRel)));
    std::string str(cb, '\0');
    for (char& c : str)
        c = static_cast<char>(rng());
    return str;
}

class CScratch {
  public:
    CScratch() : m_path(fs::temp_directory_path() / ("kvimage-" + std::to_string(::getpid())))
    {
        fs::create_directories(m_path);
    }
    ~CScratch()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
        ::unsetenv("KORVANE_DRIVE_I");
    }
    const fs::path& Path() const { return m_path; }

  private:
    fs::path m_path;
};

void MakeTree(const fs::path& root, const std::string& strSkip = "")
{
    for (const CTreeFile& f : g_aTree) {
        if (f.strRel == strSkip)
            continue;
        fs::create_directories((root / f.strRel).parent_path());
        std::ofstream(root / f.strRel, std::ios::binary) << Bytes(f.strRel, f.cb);
    }
}

bool MakeImage(const std::string& strCommand)
{
    return std::system(("LC_ALL=C.UTF-8 " + strCommand + " >/dev/null 2>&1").c_str()) == 0;
}

// The whole file through reads of cbRequest, or the error that stopped it;
// each read's count, the final 0 included, in *pvecCounts when given.
DWORD ReadAll(const std::wstring& strPath, std::string& strOut, DWORD cbRequest = 16384,
              std::vector<DWORD>* pvecCounts = nullptr)
{
    strOut.clear();
    HANDLE h =
        CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD dwError = ERROR_SUCCESS;
    std::vector<char> buf(cbRequest);
    for (DWORD cb = 1; cb != 0;) {
        if (!ReadFile(h, buf.data(), cbRequest, &cb, nullptr)) {
            dwError = GetLastError();
            break;
        }
        if (pvecCounts)
            pvecCounts->push_back(cb);
        strOut.append(buf.data(), cb);
    }
    CloseHandle(h);
    return dwError;
}

void MapImage(const fs::path& image)
{
    ::setenv("KORVANE_DRIVE_I", image.c_str(), 1);
}

// No tool here writes a populated UDF disc without mounting one, so a UDF
// bridge disc loses its ISO 9660 descriptors: the volume recognition
// sequence that follows them moves up to where it starts on a disc written
// with UDF alone, and the UDF volume is all that is left to read.
bool DropIsoTree(const fs::path& image)
{
    std::fstream file(image, std::ios::binary | std::ios::in | std::ios::out);
    constexpr std::size_t kSector = 2048, kFirst = 16;
    std::vector<std::string> vecKept;
    std::size_t cDropped = 0;
    for (std::size_t i = kFirst; i < kFirst + 32; ++i) {
        std::string str(kSector, '\0');
        file.seekg(static_cast<std::streamoff>(i * kSector));
        if (!file.read(&str[0], kSector))
            return false;
        if (str.compare(1, 5, "CD001") == 0)
            ++cDropped;
        else if (str.compare(1, 5, "BEA01") == 0 || str.compare(1, 5, "NSR02") == 0 ||
                 str.compare(1, 5, "NSR03") == 0 || str.compare(1, 5, "TEA01") == 0)
            vecKept.push_back(str);
        else
            break;
    }
    if (cDropped == 0 || vecKept.empty())
        return false;
    vecKept.resize(vecKept.size() + cDropped, std::string(kSector, '\0'));
    file.seekp(static_cast<std::streamoff>(kFirst * kSector));
    for (const std::string& str : vecKept)
        file.write(str.data(), kSector);
    return static_cast<bool>(file);
}

struct CMaker {
    const char* pszCommand;
    bool bUdfAlone; // the ISO 9660 tree is then taken out
};

const CMaker g_aMakers[] = {
    {"xorriso -as mkisofs -R -J -o %I %T", false},
    {"genisoimage -input-charset utf-8 -J -o %I %T", false},
    {"xorriso -as mkisofs -R -o %I %T", false}, // Rock Ridge names only
    {"genisoimage -input-charset utf-8 -J -udf -o %I %T", false},
    {"genisoimage -input-charset utf-8 -J -udf -o %I %T", true},
    // Read as Windows reads a bridge disc, through UDF: the ISO 9660 tree
    // alone would have only names like SETUP000.EXE.
    {"genisoimage -input-charset utf-8 -udf -o %I %T", false},
};

std::string Command(std::string str, const fs::path& image, const fs::path& tree)
{
    str.replace(str.find("%I"), 2, image.string());
    str.replace(str.find("%T"), 2, tree.string());
    return str;
}

TEST(DiscImages, EachMakerReadsBackTheTree)
{
    CScratch scratch;
    const fs::path tree = scratch.Path() / "tree";
    MakeTree(tree);
    for (const CMaker& maker : g_aMakers) {
        SCOPED_TRACE(std::string(maker.pszCommand) + (maker.bUdfAlone ? ", UDF alone" : ""));
        const fs::path image = scratch.Path() / "disc.iso";
        fs::remove(image);
        ASSERT_TRUE(MakeImage(Command(maker.pszCommand, image, tree)));
        if (maker.bUdfAlone) {
            ASSERT_TRUE(DropIsoTree(image));
        }
        MapImage(image);
        for (const CTreeFile& f : g_aTree) {
            SCOPED_TRACE(f.strRel);
            std::string str;
            ASSERT_EQ(DWORD(ERROR_SUCCESS), ReadAll(L"I:" + f.strWin, str));
            EXPECT_EQ(Bytes(f.strRel, f.cb), str);
            EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY), GetFileAttributesW((L"I:" + f.strWin).c_str()));
        }
        // A search lists the folder as the disc spells it.
        WIN32_FIND_DATAW data;
        HANDLE hFind = FindFirstFileW(L"I:\\apps\\*", &data);
        ASSERT_NE(INVALID_HANDLE_VALUE, hFind);
        std::vector<std::wstring> vecNames;
        do
            vecNames.push_back(data.cFileName);
        while (FindNextFileW(hFind, &data));
        EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), GetLastError());
        FindClose(hFind);
        EXPECT_EQ((std::vector<std::wstring>{L".", L"..", L"Deep", L"Setup.EXE", L"setup.exe"}), vecNames);
        // A folder keeps its identity however it is reached.
        BY_HANDLE_FILE_INFORMATION aInfo[2];
        const wchar_t* apszFolder[2] = {L"I:\\Apps\\Deep", L"I:\\APPS\\deep\\a\\.."};
        for (int i = 0; i < 2; ++i) {
            HANDLE h =
                CreateFileW(apszFolder[i], 0, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            ASSERT_TRUE(GetFileInformationByHandle(h, &aInfo[i]));
            CloseHandle(h);
        }
        EXPECT_EQ(aInfo[0].nFileIndexLow, aInfo[1].nFileIndexLow);
        EXPECT_EQ(aInfo[0].dwVolumeSerialNumber, aInfo[1].dwVolumeSerialNumber);
        // Nothing on a disc is written.
        EXPECT_EQ(INVALID_HANDLE_VALUE,
                  CreateFileW(L"I:\\empty", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    }
}

TEST(DiscImages, RockRidgeKeepsNamesJolietCannotHold)
{
    CScratch scratch;
    const fs::path tree = scratch.Path() / "tree";
    fs::create_directories(tree / "😀");
    std::ofstream(tree / "😀" / "ß.txt") << "x";
    const fs::path image = scratch.Path() / "rr.iso";
    ASSERT_TRUE(MakeImage(Command("xorriso -as mkisofs -R -o %I %T", image, tree)));
    MapImage(image);
    std::string str;
    EXPECT_EQ(DWORD(ERROR_SUCCESS), ReadAll(L"I:\\😀\\ß.TXT", str));
    EXPECT_EQ("x", str);
}

// Names too long for a directory record go on in continuation areas, each
// read whole; a deep path of such names too.
TEST(DiscImages, RockRidgeNamesFromContinuationAreasComeOutWhole)
{
    CScratch scratch;
    const fs::path tree = scratch.Path() / "tree";
    const std::string strLong =
        std::string(120, 'n') + "\xC3\xA9" + std::string(100, 'e') + ".txt"; // 226 bytes
    struct Case {
        std::string strRel;
        std::wstring strWin;
    };
    std::wstring strLongWide = std::wstring(120, L'n') + L"\u00E9" + std::wstring(100, L'e') + L".txt";
    std::string strFolder;
    std::wstring strFolderWide;
    // 75 bytes: with the file's name, as long a path as Windows opens.
    for (int i = 0; i < 25; ++i) {
        strFolder += "\xE9\x95\xB7"; // 長: three bytes, one character
        strFolderWide += L'\u9577';
    }
    const Case cases[] = {
        {strLong, L"\\" + strLongWide},
        {strFolder + "/" + strLong, L"\\" + strFolderWide + L"\\" + strLongWide},
        {strFolder + "/" + strFolder + "/short", L"\\" + strFolderWide + L"\\" + strFolderWide + L"\\SHORT"},
    };
    for (const Case& c : cases) {
        fs::create_directories((tree / c.strRel).parent_path());
        std::ofstream(tree / c.strRel, std::ios::binary) << c.strRel;
    }
    const fs::path image = scratch.Path() / "long.iso";
    ASSERT_TRUE(MakeImage(Command("xorriso -as mkisofs -R -o %I %T", image, tree)));
    MapImage(image);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.strRel);
        std::string str;
        EXPECT_EQ(DWORD(ERROR_SUCCESS), ReadAll(L"I:" + c.strWin, str));
        EXPECT_EQ(c.strRel, str);
    }
    // A search shows the whole name.
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((L"I:\\" + strFolderWide + L"\\n*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFind);
    FindClose(hFind);
    EXPECT_EQ(strLongWide, std::wstring(data.cFileName));
}

// The image with one field changed in the UDF descriptors of a kind that
// start a block: folders' file entries (the root's, or all the others), or
// the identifiers that start each folder's records.
enum class EWhich { Root, OtherFolders, Every };
std::string WithUdfField(std::string strImage, unsigned wTag, EWhich which, std::size_t ibField,
                         std::string_view value)
{
    constexpr std::size_t kBlock = 2048, kTagFileEntry = 261, kTypeDirectory = 4;
    bool bFirst = true;
    for (std::size_t ib = 257 * kBlock; ib + kBlock <= strImage.size(); ib += kBlock) {
        const auto* pb = reinterpret_cast<const unsigned char*>(strImage.data() + ib);
        if (static_cast<unsigned>(pb[0] | pb[1] << 8) != wTag ||
            (wTag == kTagFileEntry && pb[27] != kTypeDirectory))
            continue;
        if (which == EWhich::Every || bFirst == (which == EWhich::Root))
            strImage.replace(ib + ibField, value.size(), value.data(), value.size());
        bFirst = false;
    }
    return strImage;
}

// Each damage is told: the changed byte reads changed, what the image no
// longer holds fails to read, what it never held is not found.
TEST(DiscImages, DamageIsReportedTruthfully)
{
    CScratch scratch;
    const fs::path tree = scratch.Path() / "tree";
    MakeTree(tree);
    for (const CMaker& maker : {g_aMakers[0], g_aMakers[4], g_aMakers[5]}) {
        SCOPED_TRACE(std::string(maker.pszCommand) + (maker.bUdfAlone ? ", UDF alone" : ""));
        const fs::path image = scratch.Path() / "disc.iso";
        fs::remove(image);
        ASSERT_TRUE(MakeImage(Command(maker.pszCommand, image, tree)));
        if (maker.bUdfAlone) {
            ASSERT_TRUE(DropIsoTree(image));
        }
        std::string strImage;
        {
            std::ifstream in(image, std::ios::binary);
            strImage.assign(std::istreambuf_iterator<char>(in), {});
        }
        const CTreeFile& leaf = g_aTree[2];
        const std::string strLeaf = Bytes(leaf.strRel, leaf.cb);
        const std::size_t ibLeaf = strImage.find(strLeaf);
        ASSERT_NE(std::string::npos, ibLeaf);

        struct Case {
            const char* pszName;
            std::string strDamaged;
            DWORD dwError; // of reading the leaf
            bool bSame;    // whether it then reads as in the tree
        };
        std::string strFlipped = strImage;
        strFlipped[ibLeaf + 9000] ^= 0x40;
        std::vector<Case> cases = {
            {"intact", strImage, ERROR_SUCCESS, true},
            {"flipped byte", strFlipped, ERROR_SUCCESS, false},
            {"cut inside the file", strImage.substr(0, ibLeaf + 5000), ERROR_CRC, false},
            {"cut before the file", strImage.substr(0, ibLeaf), ERROR_CRC, false},
        };
        if (std::string_view(maker.pszCommand).find("-udf") != std::string_view::npos) {
            // Lengths libudf trusts: of extended attributes (at 168 in a
            // file entry; none here, so the first descriptor's length is at
            // 176) and of an identifier's implementation use (at 36). A
            // bridge disc whose UDF root cannot be found is read through its
            // ISO 9660 tree; one whose UDF folders are damaged is damaged.
            constexpr unsigned kEntry = 261, kIdentifier = 257;
            const bool bBridge = !maker.bUdfAlone;
            cases.push_back({"root entry overruns its block",
                             WithUdfField(strImage, kEntry, EWhich::Root, 168, "\xf0\xff\xff\x7f"),
                             bBridge ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_FILE_CORRUPT), bBridge});
            const std::pair<const char*, std::string> aDamage[] = {
                {"folder entries overrun their block",
                 WithUdfField(strImage, kEntry, EWhich::OtherFolders, 168, "\xf0\xff\xff\x7f")},
                {"root's records of no length",
                 WithUdfField(strImage, kEntry, EWhich::Root, 176, {"\0\0\0\0", 4})},
                {"identifiers overrun their folder's records",
                 WithUdfField(strImage, kIdentifier, EWhich::Every, 36, "\xf0\xff")},
            };
            for (const auto& [pszName, strDamaged] : aDamage)
                cases.push_back({pszName, strDamaged, ERROR_FILE_CORRUPT, false});
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(c.pszName);
            const fs::path damaged = scratch.Path() / (std::string(c.pszName) + ".iso");
            std::ofstream(damaged, std::ios::binary) << c.strDamaged;
            MapImage(damaged);
            std::string str;
            EXPECT_EQ(c.dwError, ReadAll(L"I:" + std::wstring(leaf.strWin), str));
            EXPECT_EQ(c.bSame, str == strLeaf);
        }
    }

    // A file left out of the image is missing, and its folder is there.
    const fs::path tree2 = scratch.Path() / "tree2";
    MakeTree(tree2, g_aTree[5].strRel);
    const fs::path image2 = scratch.Path() / "removed.iso";
    ASSERT_TRUE(MakeImage(Command("xorriso -as mkisofs -R -J -o %I %T", image2, tree2)));
    MapImage(image2);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((L"I:" + std::wstring(g_aTree[5].strWin)).c_str()));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());

    // Not a disc at all.
    const fs::path junk = scratch.Path() / "junk.iso";
    std::ofstream(junk, std::ios::binary) << std::string(64 * 1024, 'j');
    MapImage(junk);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"I:\\empty"));
    EXPECT_EQ(DWORD(ERROR_UNRECOGNIZED_VOLUME), GetLastError());
}

// Files on an image are read ahead 1 MiB at a time once a handle reads
// on: every request still gets what a plain read of the image gives, and
// on an image cut short the error comes at the request that reaches the cut.
TEST(DiscImages, ReadingAheadGivesWhatPlainReadsGive)
{
    constexpr std::size_t kBlock = 16384, kAhead = 1024 * 1024;
    CScratch scratch;
    const fs::path tree = scratch.Path() / "tree";
    fs::create_directories(tree);
    const std::size_t aSizes[] = {kAhead - 1, kAhead, kAhead + 1, kAhead + kBlock + 1, 3 * kAhead + 5};
    for (std::size_t cb : aSizes)
        std::ofstream(tree / std::to_string(cb), std::ios::binary) << Bytes(std::to_string(cb), cb);
    const fs::path image = scratch.Path() / "ahead.iso";
    ASSERT_TRUE(MakeImage(Command("xorriso -as mkisofs -R -J -o %I %T", image, tree)));
    std::string strImage;
    {
        std::ifstream in(image, std::ios::binary);
        strImage.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::size_t cbBig = 3 * kAhead + 5;
    const std::string strBig = Bytes(std::to_string(cbBig), cbBig);
    const std::size_t ibBig = strImage.find(strBig);
    ASSERT_NE(std::string::npos, ibBig);
    // Cut inside the first read-ahead, one byte before the second would end,
    // and inside the first block. These come before any handle has read
    // this file ahead without a cut: a buffer handed on from one would hold
    // the very bytes a read-ahead that failed must not deliver.
    for (std::size_t cbKept : {kBlock * 5 + 77, 2 * kAhead - 1, std::size_t(100)}) {
        SCOPED_TRACE("image cut " + std::to_string(cbKept) + " bytes into the file");
        const fs::path cut = scratch.Path() / "cut.iso";
        std::ofstream(cut, std::ios::binary) << strImage.substr(0, ibBig + cbKept);
        MapImage(cut);
        std::vector<DWORD> vecCounts;
        std::string str;
        EXPECT_EQ(DWORD(ERROR_CRC), ReadAll(L"I:\\" + std::to_wstring(cbBig), str, kBlock, &vecCounts));
        EXPECT_EQ(std::vector<DWORD>(cbKept / kBlock, DWORD(kBlock)), vecCounts);
        EXPECT_TRUE(str == strBig.substr(0, cbKept / kBlock * kBlock));
    }
    MapImage(image);
    for (std::size_t cb : aSizes) {
        for (DWORD cbRequest : {DWORD(kBlock), DWORD(5000), DWORD(kAhead)}) {
            SCOPED_TRACE(std::to_string(cb) + " bytes in reads of " + std::to_string(cbRequest));
            std::vector<DWORD> vecExpected(cb / cbRequest, cbRequest);
            if (cb % cbRequest)
                vecExpected.push_back(static_cast<DWORD>(cb % cbRequest));
            vecExpected.push_back(0);
            std::vector<DWORD> vecCounts;
            std::string str;
            EXPECT_EQ(DWORD(ERROR_SUCCESS),
                      ReadAll(L"I:\\" + std::to_wstring(cb), str, cbRequest, &vecCounts));
            EXPECT_EQ(vecExpected, vecCounts);
            EXPECT_TRUE(str == Bytes(std::to_string(cb), cb));
        }
    }
}

// A file over 4 GiB is recorded in several extents (ISO level 3).
// A file in pieces: ISO 9660 records a file over 4 GiB as several extents,
// genisoimage's UDF splits one at 1 GiB.
TEST(DiscImages, FileInPiecesReadsAcrossItsExtents)
{
    struct CCase {
        const char* pszCommand;
        unsigned long long cbBig;
        bool bUdfAlone;
    };
    const CCase aCases[] = {
        {"xorriso -as mkisofs -iso-level 3 -R -J -o %I %T", (5ull << 30) + 12345, false},
        {"genisoimage -input-charset utf-8 -udf -o %I %T", (1300ull << 20) + 4321, true},
    };
    for (const CCase& c : aCases) {
        SCOPED_TRACE(c.pszCommand);
        const unsigned long long cbBig = c.cbBig;
        CScratch scratch;
        struct statvfs vfs;
        if (::statvfs(scratch.Path().c_str(), &vfs) != 0 ||
            static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize < cbBig * 2 + (2ull << 30))
            GTEST_SKIP() << "needs " << (cbBig * 2 >> 30) + 2 << " GiB free in " << scratch.Path();
        const fs::path tree = scratch.Path() / "tree";
        fs::create_directories(tree);
        {
            std::ofstream out(tree / "big.bin", std::ios::binary);
            out.seekp(static_cast<std::streamoff>(cbBig - 4));
            out << "tail";
        }
        const fs::path image = scratch.Path() / "big.iso";
        ASSERT_TRUE(MakeImage(Command(c.pszCommand, image, tree)));
        if (c.bUdfAlone) {
            ASSERT_TRUE(DropIsoTree(image));
        }
        fs::remove(tree / "big.bin");
        MapImage(image);
        HANDLE h = CreateFileW(L"I:\\BIG.BIN", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        LARGE_INTEGER size;
        ASSERT_TRUE(GetFileSizeEx(h, &size));
        EXPECT_EQ(static_cast<LONGLONG>(cbBig), size.QuadPart);
        // Read through in 16 KiB steps: every byte is the source's zeros but the tail.
        unsigned long long cbTotal = 0;
        bool bZeros = true;
        std::string strTail;
        for (;;) {
            static char ach[16384];
            DWORD cb = 0;
            ASSERT_TRUE(ReadFile(h, ach, sizeof ach, &cb, nullptr));
            if (cb == 0)
                break;
            cbTotal += cb;
            const std::size_t cbZeros =
                cbTotal > cbBig - 4 ? static_cast<std::size_t>(cb - (cbTotal - (cbBig - 4))) : cb;
            bZeros = bZeros && std::string(ach, cbZeros) == std::string(cbZeros, '\0');
            if (cbTotal > cbBig - 4)
                strTail.append(ach + cbZeros, cb - cbZeros);
        }
        CloseHandle(h);
        EXPECT_EQ(cbBig, cbTotal);
        EXPECT_TRUE(bZeros);
        EXPECT_EQ("tail", strTail);
    }
}

} // namespace
