// Files of sizes around the reader's first buffer and each time it grows:
// every byte is read, none twice.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <string>

using namespace xmltest;

namespace {

TEST(XmlFileSizes, EveryByteIsReadAtEverySize)
{
    kvtest::TestDrive drive{L'T'};
    const size_t kKiB = 1024;
    const size_t kSizes[] = {8,           9,           64 * kKiB - 1, 64 * kKiB,      64 * kKiB + 1,
                             128 * kKiB,  128 * kKiB + 1, 256 * kKiB + 7, 1024 * kKiB + 1};
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
