// Reference counts and lifetimes of documents and nodes.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace xmltest;

namespace {

TEST(XmlLifetime, OnlyTheCoreLibraryTypeGivesADocument)
{
    for (int iType : {int{XML_TYPE_LIBRARY_NONE}, 1, 3, -1})
        EXPECT_EQ(GetZRXmlInterface(iType), nullptr) << iType;
    IZRXml* pDoc = GetZRXmlInterface(XML_TYPE_LIBRARY_CORE);
    ASSERT_NE(pDoc, nullptr);
    EXPECT_EQ(pDoc->AddRef(), 2u);
    EXPECT_EQ(pDoc->Release(), 1u);
    EXPECT_EQ(pDoc->Release(), 0u);
}

TEST(XmlLifetime, NodeCountsItsOwnReferences)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<a><b>x</b></a>"));
    NodePtr pFirst = NodeAt(pDoc.get(), L"/a/b");
    NodePtr pSecond = NodeAt(pDoc.get(), L"/a/b");
    ASSERT_TRUE(pFirst && pSecond);
    EXPECT_EQ(pFirst->AddRef(), 2u);
    EXPECT_EQ(pFirst->Release(), 1u);
    pFirst.reset();
    EXPECT_EQ(Text(pSecond.get()), L"x");
}

TEST(XmlLifetime, NodeOutlivesItsDocument)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), MediaDescription(40, true)));
    NodePtr pEntry = NodeAt(pDoc.get(), L"/Factory/FILE[17]");
    NodePtr pRoot = NodeAt(pDoc.get(), L"/Factory");
    ASSERT_TRUE(pEntry && pRoot);
    pDoc.reset();
    EXPECT_EQ(Text(ChildNamed(pEntry.get(), L"Name").get()), ExpectedName(17));
    NodePtr pSize = ChildNamed(pEntry.get(), L"FileSize");
    ASSERT_TRUE(pSize);
    EXPECT_EQ(pSize->GetInt64Value(), ExpectedSize(17));
    EXPECT_EQ(pRoot->GetChildCount(), 41);
    NodePtr pLast = ChildAt(pRoot.get(), 40);
    pRoot.reset();
    pEntry.reset();
    EXPECT_EQ(Text(ChildNamed(pLast.get(), L"Name").get()), ExpectedName(40));
}

TEST(XmlLifetime, NodeOutlivesAReload)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<Factory><FILE><Name>old</Name></FILE></Factory>"));
    NodePtr pOld = NodeAt(pDoc.get(), L"/Factory/FILE[1]");
    ASSERT_TRUE(pOld);
    ASSERT_HR(S_OK, Load(pDoc.get(), "<Factory><FILE><Name>new</Name></FILE><FILE/></Factory>"));
    EXPECT_EQ(TextAt(pDoc.get(), L"/Factory/FILE[1]/Name"), L"new");
    EXPECT_EQ(Text(ChildNamed(pOld.get(), L"Name").get()), L"old");
    EXPECT_FALSE(NodeAt(pDoc.get(), L"/Factory/FILE[3]"));
    EXPECT_TRUE(NodeAt(pDoc.get(), L"/Factory/FILE[2]"));
    pDoc.reset();
    EXPECT_EQ(Text(ChildAt(pOld.get(), 0).get()), L"old");
}

// Separate documents on separate threads at once.
TEST(XmlLifetime, DocumentsOnSeveralThreads)
{
    const std::string strDescription = MediaDescription(300, true);
    std::atomic<int> nGood{0};
    std::vector<std::thread> vecThreads;
    NodePtr pShared;
    {
        DocPtr pDoc = NewDocument();
        ASSERT_HR(S_OK, Load(pDoc.get(), strDescription));
        pShared = NodeAt(pDoc.get(), L"/Factory/FILE[5]");
    }
    for (int iThread = 0; iThread < 4; ++iThread) {
        vecThreads.emplace_back([&, iThread] {
            DocPtr pDoc = NewDocument();
            bool bGood = SUCCEEDED(Load(pDoc.get(), strDescription));
            for (int i = 1 + iThread; bGood && i <= 300; i += 4) {
                IZRXmlNode* pEntry = nullptr;
                bGood = SUCCEEDED(
                    pDoc->GetNode((L"/Factory/FILE[" + std::to_wstring(i) + L"]").c_str(), &pEntry));
                IZRXmlNode* pSize = nullptr;
                bGood = bGood && SUCCEEDED(pEntry->GetChild(L"FileSize", &pSize)) &&
                        pSize->GetInt64Value() == ExpectedSize(i);
                if (pSize)
                    pSize->Release();
                if (pEntry)
                    pEntry->Release();
            }
            // Nodes of one tree taken and dropped from several threads.
            for (int i = 0; i < 1000; ++i) {
                pShared->AddRef();
                pShared->Release();
            }
            nGood += bGood ? 1 : 0;
        });
    }
    for (std::thread& thread : vecThreads)
        thread.join();
    EXPECT_EQ(nGood.load(), 4);
    EXPECT_EQ(pShared->AddRef(), 2u);
    pShared->Release();
}

} // namespace
