// The operations of CKorvane and FDesc, exported by name from Korvane.dll, as
// a host that loads the DLL sees them.
#include "ModuleImage.h"

#include "Korvane.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

using kvwintest::MemberExports;

namespace {

struct ExpectedMember {
    const char* pszName;
    size_t cSignatures; // overloads; 0 = must not be exported
};

// Every operation of the class, as the revision built here declares it.
const ExpectedMember g_korvaneMembers[] = {
    {"ctor", 2}, // default and copy
    {"operator=", 1},
    {"dtor", 1},
    {"VerifyBurning", 2}, // by folder and number, by description file
#if KORVANE_REVISION >= 11
    {"CBProgress", 1},
    {"GetMediaSize", 1},
#else
    {"CBProgress", 0},
    {"GetMediaSize", 0},
#endif
    {"GetFileCount", 1},
    {"GetFileChild", 1},
    {"GetFileFullPath", 1},
    {"GetFilePath", 1},
    {"GetFileTargetPath", 1},
    {"GetFileName", 1},
    {"GetFileAttribute", 1},
    {"GetFileExclusion", 1},
    {"GetFileWriteTime", 1},
    {"GetFileSize", 1},
    {"CheckFileCRC", 1},
    {"CheckDirCRC", 1},
};

const ExpectedMember g_fdescMembers[] = {
    {"ctor", 2},
    {"operator=", 1},
    {"dtor", 1},
};

std::string Describe(const MemberExports& members)
{
    std::ostringstream os;
    for (const auto& member : members) {
        os << member.first << ":";
        for (const std::string& strSig : member.second)
            os << " [" << strSig << "]";
        os << "\n";
    }
    return os.str();
}

template <size_t N> void ExpectMembers(const MemberExports& members, const ExpectedMember (&expected)[N])
{
    SCOPED_TRACE("exported:\n" + Describe(members));
    size_t cExpected = 0;
    for (const ExpectedMember& e : expected) {
        auto it = members.find(e.pszName);
        size_t cFound = it == members.end() ? 0 : it->second.size();
        EXPECT_EQ(e.cSignatures, cFound) << e.pszName;
        if (e.cSignatures)
            ++cExpected;
    }
    // Nothing beyond the operations the host knows of.
    EXPECT_EQ(cExpected, members.size());
}

class KorvaneExports : public testing::Test {
  protected:
    void SetUp() override
    {
        m_hModule = LoadLibraryW(L"Korvane.dll");
        ASSERT_NE(nullptr, m_hModule) << "LoadLibraryW(Korvane.dll) failed, error " << GetLastError();
        m_names = kvwintest::ExportNames(m_hModule);
    }
    void TearDown() override
    {
        if (m_hModule)
            FreeLibrary(m_hModule);
    }

    HMODULE m_hModule = nullptr;
    std::vector<std::string> m_names;
};

TEST_F(KorvaneExports, EveryOperationOfCKorvaneIsExportedByName)
{
    ExpectMembers(kvwintest::ExportedMembers(m_names, "CKorvane"), g_korvaneMembers);
}

TEST_F(KorvaneExports, EveryOperationOfFDescIsExportedByName)
{
    ExpectMembers(kvwintest::ExportedMembers(m_names, "FDesc"), g_fdescMembers);
}

// The class's own data beside its members: vtable and type information.
const char* const g_classData[] = {"_ZTV8CKorvane", "_ZTI8CKorvane", "_ZTS8CKorvane", "??_7CKorvane@@6B@"};

bool IsOfTheClasses(const std::string& strName)
{
    for (const char* pszClass : {"CKorvane", "FDesc"})
        if (!kvwintest::ExportedMembers({strName}, pszClass).empty())
            return true;
    for (const char* pszData : g_classData)
        if (strName == pszData)
            return true;
    return false;
}

TEST_F(KorvaneExports, NothingButTheTwoClassesIsExported)
{
    // A host's helper (the file checksum once was) belongs in a library of
    // its own, not in the DLL whose table hosts link by name.
    for (const std::string& strName : m_names)
        EXPECT_TRUE(IsOfTheClasses(strName)) << strName;
}

TEST_F(KorvaneExports, TheLoaderResolvesEachMemberByItsName)
{
    size_t cMembers = 0;
    for (const std::string& strName : m_names) {
        if (strName.find("CKorvane") == std::string::npos && strName.find("FDesc") == std::string::npos)
            continue;
        ++cMembers;
        EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(m_hModule, strName.c_str()))) << strName;
    }
    EXPECT_GE(cMembers, 4u);
}

// The name reader itself, on the decorations of both compilers.
struct DecoratedName {
    const char* pszName;
    const char* pszMember; // nullptr: not a member of CKorvane
    const char* pszSignature;
};

const DecoratedName g_decorated[] = {
    {"_ZN8CKorvaneC1Ev", "ctor", "v"},
    {"_ZN8CKorvaneC2ERKS_", "ctor", "RKS_"},
    {"_ZN8CKorvaneD0Ev", "dtor", "v"},
    {"_ZN8CKorvaneaSERKS_", "operator=", "RKS_"},
    {"_ZN8CKorvane10CBProgressEjPvmS0_", "CBProgress", "jPvmS0_"},
    {"_ZNK8CKorvane4SizeEv", "Size", "v"},
    {"_ZTV8CKorvane", nullptr, nullptr},
    {"_ZN9CKorvaneX3FooEv", nullptr, nullptr},
    {"_ZN5FDescC1Ev", nullptr, nullptr},
    {"??0CKorvane@@QAE@XZ", "ctor", "QAE@XZ"},
    {"??1CKorvane@@UEAA@XZ", "dtor", "UEAA@XZ"},
    {"??4CKorvane@@QAEAAV0@ABV0@@Z", "operator=", "QAEAAV0@ABV0@@Z"},
    {"?CBProgress@CKorvane@@QAEKIPAXK0@Z", "CBProgress", "QAEKIPAXK0@Z"},
    {"??_7CKorvane@@6B@", nullptr, nullptr},
    {"?Other@CKorvaneX@@QAEXXZ", nullptr, nullptr},
    {"KorvaneFileChecksum", nullptr, nullptr},
};

TEST(ExportNameReader, SplitsBothCompilersDecorations)
{
    for (const DecoratedName& d : g_decorated) {
        MemberExports members = kvwintest::ExportedMembers({d.pszName}, "CKorvane");
        if (!d.pszMember) {
            EXPECT_TRUE(members.empty()) << d.pszName;
            continue;
        }
        ASSERT_EQ(1u, members.size()) << d.pszName;
        EXPECT_EQ(d.pszMember, members.begin()->first) << d.pszName;
        EXPECT_EQ(std::set<std::string>{d.pszSignature}, members.begin()->second) << d.pszName;
    }
}

} // namespace
