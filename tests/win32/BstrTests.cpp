// BSTR layout and the thread's last error.
#include <oleauto.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

DWORD PrefixOf(BSTR bstr)
{
    DWORD dw;
    std::memcpy(&dw, reinterpret_cast<const char*>(bstr) - sizeof dw, sizeof dw);
    return dw;
}

TEST(Bstr, ByteCountPrecedesTheText)
{
    BSTR b = SysAllocString(L"abc");
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(3u, SysStringLen(b));
    EXPECT_EQ(3 * sizeof(OLECHAR), PrefixOf(b));
    EXPECT_STREQ(L"abc", b);
    SysFreeString(b);

    b = SysAllocString(L"");
    ASSERT_NE(nullptr, b); // an empty BSTR is not a null one
    EXPECT_EQ(0u, SysStringLen(b));
    EXPECT_EQ(0u, PrefixOf(b));
    EXPECT_EQ(L'\0', b[0]);
    SysFreeString(b);
}

TEST(Bstr, LengthGivenExplicitly)
{
    BSTR b = SysAllocStringLen(L"abcdef", 3);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(3u, SysStringLen(b));
    EXPECT_STREQ(L"abc", b); // terminated after the count
    SysFreeString(b);

    const OLECHAR sz[] = {L'a', L'\0', L'b'};
    b = SysAllocStringLen(sz, 3); // embedded nulls count
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(3u, SysStringLen(b));
    EXPECT_EQ(L'b', b[2]);
    EXPECT_EQ(L'\0', b[3]);
    SysFreeString(b);

    b = SysAllocStringLen(nullptr, 4); // room only, zeroed and terminated
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(4u, SysStringLen(b));
    for (int i = 0; i <= 4; ++i)
        EXPECT_EQ(L'\0', b[i]);
    SysFreeString(b);
}

TEST(Bstr, NullIsHarmless)
{
    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    SysFreeString(nullptr);
}

TEST(LastError, IsPerThread)
{
    SetLastError(1234);
    DWORD dwSeenByOther = 99;
    std::thread t([&] {
        dwSeenByOther = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    });
    t.join();
    EXPECT_EQ(0u, dwSeenByOther);
    EXPECT_EQ(1234u, GetLastError());
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(0u, GetLastError());
}

TEST(LastError, HresultFromWin32)
{
    EXPECT_EQ(S_OK, HRESULT_FROM_WIN32(ERROR_SUCCESS));
    EXPECT_EQ(static_cast<HRESULT>(0x80070002), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(static_cast<HRESULT>(0x80070020), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(E_INVALIDARG, HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(E_FAIL, HRESULT_FROM_WIN32(static_cast<DWORD>(E_FAIL))); // already an HRESULT
}

} // namespace
