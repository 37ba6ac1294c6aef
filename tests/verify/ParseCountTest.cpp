// How often a run parses its description when the host keeps no document
// of its own: the verifier loads the file several times per run, and all
// those loads must cost one parse; a rewritten file must be parsed again.
#include "Harness.h"
#include "TestSupport.h"

#include <ZRXmlParseCount.h>

#include <gtest/gtest.h>

namespace kvtest {
namespace {

class ParseCountTest : public testing::Test {
  protected:
    TestDrive src{L'S'};
    TestDrive disc{L'T'};
    TestDrive media{L'U'};
    Host host;

    // A description of nFiles pairs, each the same file on both sides.
    std::wstring Describe(int nFiles, const std::string& bytes)
    {
        std::vector<Entry> entries;
        for (int i = 0; i < nFiles; ++i) {
            const std::wstring strName = L"f" + std::to_wstring(i) + L".bin";
            src.Write(strName, bytes);
            disc.Write(strName, bytes);
            Entry e;
            e.strFullPath = src.Win(strName);
            e.strTargetPath = disc.Below();
            e.strName = strName;
            e.iSize = static_cast<long long>(bytes.size());
            entries.push_back(e);
        }
        media.Write(L"Media1.xml", Description(entries, static_cast<DWORD>(nFiles), 0));
        return media.Win(L"Media1.xml");
    }

    // The parses one run of k costs, and its result.
    long ParsesOfRun(CKorvane& k, const std::wstring& strXml, HRESULT& hr)
    {
        const long nBefore = ZRXmlParseCount();
        hr = k.VerifyBurning(L'T', strXml.c_str(), host.Callback(), host.User());
        return ZRXmlParseCount() - nBefore;
    }
};

TEST_F(ParseCountTest, EachRunParsesTheDescriptionOnce)
{
    const std::wstring strXml = Describe(3, "abc");
    HRESULT hr = E_FAIL;
    {
        CKorvane k;
        EXPECT_EQ(1, ParsesOfRun(k, strXml, hr));
        EXPECT_HR(S_OK, hr);
    }
    // A new object once the first is gone: nothing holds the tree any more.
    CKorvane k;
    EXPECT_EQ(1, ParsesOfRun(k, strXml, hr));
    EXPECT_HR(S_OK, hr);
    EXPECT_EQ(Cmd(CRCVERIF_END, 3), host.calls.back());
}

TEST_F(ParseCountTest, RewrittenDescriptionIsParsedAgainAndRead)
{
    CKorvane k;
    HRESULT hr = E_FAIL;
    EXPECT_EQ(1, ParsesOfRun(k, Describe(2, "abc"), hr));
    EXPECT_HR(S_OK, hr);
    EXPECT_EQ(Cmd(CRCVERIF_END, 2), host.calls.back());
    // The same object, the file rewritten with one entry more.
    const std::wstring strXml = Describe(3, "abc");
    EXPECT_EQ(1, ParsesOfRun(k, strXml, hr));
    EXPECT_HR(S_OK, hr);
    EXPECT_EQ(Cmd(CRCVERIF_END, 3), host.calls.back());
    // Unchanged since: the object still holds its tree.
    EXPECT_EQ(0, ParsesOfRun(k, strXml, hr));
    EXPECT_HR(S_OK, hr);
}

} // namespace
} // namespace kvtest
