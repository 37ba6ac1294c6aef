// Files of sizes around the reader's first buffer and each time it grows:
// every byte is read, none twice.
#include "XmlTestSupport.h"

#include "../../lib/ZRCoreXml/src/FileReader.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using namespace xmltest;

namespace {

TEST(XmlFileSizes, EveryByteIsReadAtEverySize)
{
    kvtest::TestDrive drive{L'T'};
    const size_t kKiB = 1024;
    const size_t kSizes[] = {8,
                             9,
                             64 * kKiB - 1,
                             64 * kKiB,
                             64 * kKiB + 1,
                             128 * kKiB,
                             128 * kKiB + 1,
                             256 * kKiB + 7,
                             1024 * kKiB + 1};
    DocPtr pDoc = NewDocument();
    for (const size_t cb : kSizes) {
        SCOPED_TRACE(cb);
        // "<r>" and "</r>" around text whose last character differs from the rest.
        std::string strDoc = "<r>" + std::string(cb - 8, 'a') + "z</r>";
        ASSERT_EQ(strDoc.size(), cb);
        drive.Write(L"Size.xml", strDoc);
        ASSERT_HR(S_OK, pDoc->LoadFile(drive.Win(L"Size.xml").c_str()));
        EXPECT_EQ(TextAt(pDoc.get(), L"/r"), std::wstring(cb - 8, L'a') + L"z");
    }
    drive.Write(L"Empty.xml", "");
    EXPECT_HR(XML_E_NOROOT, pDoc->LoadFile(drive.Win(L"Empty.xml").c_str()));
}

} // namespace

namespace {

// What is not a description is refused before its bytes are taken in: a
// file past the bound (sparse, so it costs no disk), and on Linux whatever
// never ends (a FIFO without a writer, a device).
TEST(XmlFileSizes, FilesPastTheBoundAndNonFilesAreRefused)
{
    kvtest::TestDrive drive{L'T'};
    drive.Write(L"Huge.xml", "<r/>");
    std::filesystem::resize_file(drive.Native(L"Huge.xml"), zrxml::kMaxDescriptionBytes + 1);
    struct Case {
        std::wstring strPath;
        HRESULT hr;
    };
    std::vector<Case> cases = {{drive.Win(L"Huge.xml"), XML_E_FILETOOBIG}};
#if !defined(_WIN32)
    ASSERT_EQ(0, ::mkfifo(drive.Native(L"Fifo.xml").c_str(), 0644));
    cases.push_back({drive.Win(L"Fifo.xml"), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)});
    cases.push_back({L"/dev/zero", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)});
#endif
    DocPtr pDoc = NewDocument();
    for (const Case& c : cases) {
        SCOPED_TRACE(kvtest::Narrow(c.strPath));
        EXPECT_HR(c.hr, pDoc->LoadFile(c.strPath.c_str()));
    }
}

} // namespace
