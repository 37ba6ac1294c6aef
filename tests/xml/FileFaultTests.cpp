// Reading through the Win32 layer: drive letters and failing file calls.
// Linux only: on Windows the reader is a DLL of its own, whose file calls the
// test programs' fault seam does not reach.
#if !defined(_WIN32)

#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>
#include <kvwin32.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace xmltest;

namespace {

struct Fault {
    kvwin32::Call eCall;
    DWORD dwError;
    unsigned long long qwFailAt; // ReadFile: offset from which reads fail
    DWORD dwMaxRead;             // ReadFile: 0, or the most bytes one read returns
};

BOOL FaultHook(void* pContext, const kvwin32::FaultContext& ctx, DWORD* pdwError)
{
    const Fault& fault = *static_cast<const Fault*>(pContext);
    if (ctx.eCall != fault.eCall)
        return TRUE;
    if (ctx.eCall == kvwin32::Call::ReadFile) {
        if (fault.dwMaxRead)
            *ctx.pdwToRead = std::min(*ctx.pdwToRead, fault.dwMaxRead);
        if (ctx.qwOffset < fault.qwFailAt)
            return TRUE;
    }
    *pdwError = fault.dwError;
    return FALSE;
}

class XmlFileFaults : public testing::Test {
  protected:
    void SetUp() override { m_drive.Write(L"Media\\Media1.xml", MediaDescription(3000, true)); }
    void TearDown() override { kvwin32::SetFaultHook(nullptr, nullptr); }
    void Arm(const Fault& fault)
    {
        m_fault = fault;
        kvwin32::SetFaultHook(&FaultHook, &m_fault);
    }
    std::wstring Path() const { return m_drive.Win(L"Media\\Media1.xml"); }

    kvtest::TestDrive m_drive{L'T'};
    Fault m_fault{};
};

TEST_F(XmlFileFaults, LoadsThroughADriveLetter)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, pDoc->LoadFile(Path().c_str()));
    EXPECT_EQ(TextAt(pDoc.get(), L"/Factory/FILE[3000]/Name"), ExpectedName(3000));
    EXPECT_LT(pDoc->LoadFile(L"Q:\\Unmapped\\Media1.xml"), 0);
    EXPECT_TRUE(IsEmpty(pDoc.get()));
}

TEST_F(XmlFileFaults, ShortReadsStillGiveTheWholeFile)
{
    Arm(Fault{kvwin32::Call::ReadFile, 0, ~0ULL, 7});
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, pDoc->LoadFile(Path().c_str()));
    EXPECT_EQ(TextAt(pDoc.get(), L"/Factory/FILE[3000]/Name"), ExpectedName(3000));
}

TEST_F(XmlFileFaults, FailedCallsFailTheLoad)
{
    const struct {
        Fault fault;
        HRESULT hr;
    } kCases[] = {
        {{kvwin32::Call::CreateFile, ERROR_ACCESS_DENIED, 0, 0}, static_cast<HRESULT>(0x80070005UL)},
        {{kvwin32::Call::CreateFile, ERROR_SHARING_VIOLATION, 0, 0}, static_cast<HRESULT>(0x80070020UL)},
        {{kvwin32::Call::ReadFile, ERROR_READ_FAULT, 0, 0}, static_cast<HRESULT>(0x8007001EUL)},
        {{kvwin32::Call::ReadFile, ERROR_READ_FAULT, 100000, 0}, static_cast<HRESULT>(0x8007001EUL)},
        // A failure without an error code is still a failure.
        {{kvwin32::Call::ReadFile, 0, 4096, 0}, E_FAIL},
        {{kvwin32::Call::CreateFile, 0, 0, 0}, E_FAIL},
    };
    DocPtr pDoc = NewDocument();
    for (const auto& c : kCases) {
        kvwin32::SetFaultHook(nullptr, nullptr);
        ASSERT_HR(S_OK, pDoc->LoadFile(Path().c_str()));
        Arm(c.fault);
        EXPECT_HR(c.hr, pDoc->LoadFile(Path().c_str()));
        EXPECT_TRUE(IsEmpty(pDoc.get()));
    }
}

// A file that changes between the open and the reads: what is read is what
// the file holds by then, however its size compares with the first guess.
struct Change {
    std::filesystem::path path;
    std::string strAppend;     // added at the first read
    std::uintmax_t cbTruncate; // or, when not 0, the size it is cut to
    bool bDone;
};

BOOL ChangeHook(void* pContext, const kvwin32::FaultContext& ctx, DWORD*)
{
    Change& change = *static_cast<Change*>(pContext);
    if (ctx.eCall == kvwin32::Call::ReadFile && !change.bDone) {
        change.bDone = true;
        if (change.cbTruncate != 0) {
            std::filesystem::resize_file(change.path, change.cbTruncate);
        } else {
            std::ofstream file(change.path, std::ios::binary | std::ios::app);
            file << change.strAppend;
        }
    }
    return TRUE;
}

TEST_F(XmlFileFaults, AFileThatChangesWhileOpenIsReadAsItIsThen)
{
    const std::string strShort = "<r>x</r>";
    const struct {
        std::string strBefore;
        std::string strAppend;
        std::uintmax_t cbTruncate;
        std::wstring strText; // /r afterwards
    } kCases[] = {
        {"<r>" + std::string(100000, 'a'), "b</r>", 0, std::wstring(100000, L'a') + L"b"},
        {"<r>" + std::string(65533, 'a'), "b</r>", 0, std::wstring(65533, L'a') + L"b"},
        {"<r>a", std::string(300000, 'b') + "</r>", 0, L"a" + std::wstring(300000, L'b')},
        {strShort + std::string(200000, ' '), "", strShort.size(), L"x"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.strBefore.size());
        m_drive.Write(L"Media\\Changing.xml", c.strBefore);
        Change change{m_drive.Native(L"Media\\Changing.xml"), c.strAppend, c.cbTruncate, false};
        kvwin32::SetFaultHook(&ChangeHook, &change);
        DocPtr pDoc = NewDocument();
        const HRESULT hr = pDoc->LoadFile(m_drive.Win(L"Media\\Changing.xml").c_str());
        kvwin32::SetFaultHook(nullptr, nullptr);
        ASSERT_TRUE(change.bDone);
        ASSERT_HR(S_OK, hr);
        EXPECT_EQ(TextAt(pDoc.get(), L"/r"), c.strText);
    }
}

} // namespace

#endif
