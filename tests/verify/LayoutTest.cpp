// The class hosts allocate themselves: its members, in their order, and
// nothing else (the host compiled against the header runs the exported
// constructor on storage of this size).
#include "Harness.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kvtest {
namespace {

// What a host expects to find, written out member by member.
struct ExpectedLayout {
    void* pVtable;
    IZRXml* pXml;
    DWORD dwFileCount;
#if KORVANE_REVISION >= 11
    __int64 llBytesDone;
    DWORD dwLastMiB;
    BOOL bAbortVerif;
#endif
    CRCVERIFCB lpCB;
    LPVOID lpUserParam;
};

std::uintptr_t At(const void* p)
{
    return reinterpret_cast<std::uintptr_t>(p);
}

TEST(LayoutTest, MembersInOrderAndNothingElse)
{
    EXPECT_EQ(sizeof(ExpectedLayout), sizeof(CKorvane));
    EXPECT_EQ(alignof(ExpectedLayout), alignof(CKorvane));
    TestKorvane k;
    const std::uintptr_t base = At(static_cast<CKorvane*>(&k));
    ExpectedLayout e{};
    const std::uintptr_t eBase = At(&e);
    EXPECT_EQ(At(&e.pXml) - eBase, At(&k.m_pXml) - base);
    EXPECT_EQ(At(&e.dwFileCount) - eBase, At(&k.m_dwFileCount) - base);
#if KORVANE_REVISION >= 11
    EXPECT_EQ(At(&e.llBytesDone) - eBase, At(&k.m_llBytesDone) - base);
    EXPECT_EQ(At(&e.dwLastMiB) - eBase, At(&k.m_dwLastMiB) - base);
    EXPECT_EQ(At(&e.bAbortVerif) - eBase, At(&k.m_bAbortVerif) - base);
#endif
    EXPECT_EQ(At(&e.lpCB) - eBase, At(&k.m_lpCB) - base);
    EXPECT_EQ(At(&e.lpUserParam) - eBase, At(&k.m_lpUserParam) - base);
}

TEST(LayoutTest, FileDescriptionHoldsItsSixFieldsInOrder)
{
    FDesc d;
    EXPECT_LT(At(&d.strFullPath), At(&d.strPath));
    EXPECT_LT(At(&d.strPath), At(&d.strTargetPath));
    EXPECT_LT(At(&d.strTargetPath), At(&d.dwAttribute));
    EXPECT_LT(At(&d.dwAttribute), At(&d.strWriteTime));
    EXPECT_LT(At(&d.strWriteTime), At(&d.iSize));
    EXPECT_EQ(8u, sizeof(d.iSize));
    EXPECT_EQ(0u, d.dwAttribute);
    EXPECT_EQ(0, d.iSize);
}

TEST(LayoutTest, FileDescriptionCopiesOwnTheirText)
{
    FDesc a;
    a.strFullPath = L"C:\\a";
    a.strTargetPath = L"E:\\a";
    a.dwAttribute = 16;
    a.iSize = 5;
    FDesc b(a);
    FDesc c;
    c = a;
    a.strFullPath = L"changed";
    EXPECT_STREQ(L"C:\\a", b.strFullPath);
    EXPECT_STREQ(L"C:\\a", c.strFullPath);
    EXPECT_STREQ(L"E:\\a", c.strTargetPath);
    EXPECT_EQ(16u, c.dwAttribute);
    EXPECT_EQ(5, c.iSize);
}

} // namespace
} // namespace kvtest
