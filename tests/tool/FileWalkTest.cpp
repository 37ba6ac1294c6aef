// The walk of a tree the copy commands make: what each kind of entry comes
// out as, in which order, and the size and write time it gives of files.
#include "TestSupport.h"

#include "description/FileTime.h"
#include "description/FileWalk.h"

#include <gtest/gtest.h>

#include <functional>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

struct CWalkRow {
    std::string strRel;
    char cKind;       // 'D' folder, 'F' file, '-' neither, 'U' a folder it could not list
    long long llSize; // of a file; -1 for the rest
    bool operator==(const CWalkRow& o) const
    {
        return strRel == o.strRel && cKind == o.cKind && llSize == o.llSize;
    }
};

void PrintTo(const CWalkRow& row, std::ostream* os)
{
    *os << row.strRel << " " << row.cKind << " " << row.llSize;
}

#if defined(_WIN32)
const bool kbWalkLooks = false; // the description takes GetFileAttributesExW's time there
#else
const bool kbWalkLooks = true;
#endif

struct CWalkCase {
    const char* pszName;
    std::function<void(const fs::path&)> fnMake;
    std::vector<CWalkRow> vecRows; // in walk order
    const char* pszGone = "";      // a folder removed when it is visited, before it is listed
};

} // namespace

TEST(ToolFileWalk, KindsOrderAndWhatItLooksAt)
{
    const std::vector<CWalkCase> vecCases =
    { {"folders before what they hold, names in byte order",
       [](const fs::path& r) {
           kvtest::WriteBytes(r / "a" / "f1", "one");
           kvtest::WriteBytes(r / "a-b" / "f2", "two!");
           kvtest::WriteBytes(r / "B", "");
           kvtest::WriteBytes(r / "a" / "deep" / "x" / "y", "deep");
       },
       {{"B", 'F', 0},
        {"a", 'D', -1},
        {"a/deep", 'D', -1},
        {"a/deep/x", 'D', -1},
        {"a/deep/x/y", 'F', 4},
        {"a/f1", 'F', 3},
        {"a-b", 'D', -1},
        {"a-b/f2", 'F', 4}}},
      {"the system's folder left out, a file of that name kept",
       [](const fs::path& r) {
           kvtest::WriteBytes(r / "System Volume Information" / "z", "z");
           kvtest::WriteBytes(r / "sub" / "System Volume Information", "kept");
       },
       {{"sub", 'D', -1}, {"sub/System Volume Information", 'F', 4}}},
      {"a folder gone before it is listed is named, and the walk goes on",
       [](const fs::path& r) {
           kvtest::WriteBytes(r / "gone" / "x", "x");
           kvtest::WriteBytes(r / "kept" / "y", "y");
       },
       {{"gone", 'D', -1}, {"gone", 'U', -1}, {"kept", 'D', -1}, {"kept/y", 'F', 1}},
       "gone"},
      {"names beyond ASCII",
       [](const fs::path& r) {
           kvtest::WriteBytes(r / fs::u8path(u8"\u00e9") / fs::u8path(u8"\u00fc.txt"), "e");
       },
       {{u8"\u00e9", 'D', -1}, {u8"\u00e9/\u00fc.txt", 'F', 1}}},
#if !defined(_WIN32)
      {"links: to a file a file, to a folder or nowhere neither, never walked into",
       [](const fs::path& r) {
           kvtest::WriteBytes(r / "d" / "f", "12345");
           fs::create_symlink("d/f", r / "to-file");
           fs::create_directory_symlink("d", r / "to-folder");
           fs::create_symlink("nowhere", r / "dangling");
       },
       {{"d", 'D', -1}, {"d/f", 'F', 5}, {"dangling", '-', -1}, {"to-file", 'F', 5}, {"to-folder", '-', -1}}},
      {"a FIFO is neither, and is not opened",
       [](const fs::path& r) {
           ASSERT_EQ(0, mkfifo((r / "fifo").c_str(), 0600));
           kvtest::WriteBytes(r / "g", "g");
       },
       {{"fifo", '-', -1}, {"g", 'F', 1}}},
      {"a name that is no UTF-8 comes out with U+FFFD, as RelText gives it",
       [](const fs::path& r) { kvtest::WriteBytes(r / "n\xffm", "bad"); },
       {{"n\xef\xbf\xbdm", 'F', 3}}},
#endif
    };
    for (const CWalkCase& c : vecCases) {
        SCOPED_TRACE(c.pszName);
        for (bool bLook : {false, true}) {
            SCOPED_TRACE(bLook ? "looking at files" : "names only");
            kvtest::TempDir temp;
            const fs::path root = temp.Path() / "root";
            fs::create_directories(root);
            c.fnMake(root);
            std::vector<CWalkRow> vecRows;
            kvtool::WalkTree(
                root,
                [&](const kvtool::CWalkEntry& walked) {
                    const char cKind = walked.bFolder ? 'D' : walked.bFile ? 'F' : '-';
                    if (walked.strRel == c.pszGone) {
                        vecRows.push_back({walked.strRel, cKind, -1});
                        fs::remove_all(walked.Path());
                        return true;
                    }
                    // The entry itself: what the native path leads to.
                    std::error_code ec;
                    EXPECT_TRUE(fs::exists(fs::symlink_status(walked.Path(), ec))) << walked.strRel;
                    std::uintmax_t ullSize = static_cast<std::uintmax_t>(-1);
                    const std::wstring strTime = kvtool::WriteTimeText(walked.Path(), ullSize);
                    EXPECT_EQ(kbWalkLooks && bLook && walked.bFile, walked.bLooked) << walked.strRel;
                    if (walked.bLooked) {
                        EXPECT_EQ(ullSize, walked.ullSize) << walked.strRel;
                        EXPECT_EQ(strTime, walked.strWriteTime) << walked.strRel;
                    }
                    vecRows.push_back(
                        {walked.strRel, cKind, walked.bFile ? static_cast<long long>(ullSize) : -1});
                    return true;
                },
                [&](const kvtool::CWalkEntry& folder, const std::string& strReason) {
                    EXPECT_FALSE(strReason.empty()) << folder.strRel;
                    vecRows.push_back({folder.strRel, 'U', -1});
                },
                bLook);
            EXPECT_EQ(c.vecRows, vecRows);
        }
    }
}
