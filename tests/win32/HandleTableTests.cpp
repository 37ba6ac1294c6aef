// The handle table under churn: handles opened and closed in any order stay
// reachable, of their kind, until closed, and never afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <vector>

using kvtest::TestDrive;

namespace {

enum class EKind { File, Find };

// Whether h still answers as a live handle of that kind.
bool Answers(HANDLE h, EKind eKind)
{
    if (eKind == EKind::File) {
        char c;
        DWORD dwRead = 0;
        // Each file holds one byte, read once; after that a read gives 0 bytes but succeeds.
        return ReadFile(h, &c, 1, &dwRead, nullptr) != FALSE;
    }
    WIN32_FIND_DATAW data;
    SetLastError(0);
    return !FindNextFileW(h, &data) && GetLastError() == ERROR_NO_MORE_FILES;
}

bool Close(HANDLE h, EKind eKind)
{
    return (eKind == EKind::File ? CloseHandle(h) : FindClose(h)) != FALSE;
}

TEST(HandleTable, ChurnKeepsEveryLiveHandleAndNoClosedOne)
{
    TestDrive drive;
    drive.Write(L"one.bin", "1");
    const std::wstring strPath = drive.Win(L"one.bin");
    std::mt19937 rng(12345);
    std::map<HANDLE, EKind> mapLive;
    std::vector<std::pair<HANDLE, EKind>> vecClosed;
    std::set<HANDLE> setEver;
    int cFiles = 0;

    auto checkAll = [&] {
        for (const auto& live : mapLive)
            ASSERT_TRUE(Answers(live.first, live.second)) << "live handle lost";
        for (const auto& closed : vecClosed) {
            ASSERT_FALSE(Close(closed.first, closed.second)) << "closed handle still there";
            ASSERT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        }
    };

    auto open = [&](bool bFile) {
        HANDLE h;
        if (bFile) {
            h = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
            ++cFiles;
        } else {
            WIN32_FIND_DATAW data;
            h = FindFirstFileW(strPath.c_str(), &data);
        }
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        ASSERT_TRUE(setEver.insert(h).second) << "a handle value came back";
        mapLive[h] = bFile ? EKind::File : EKind::Find;
    };
    auto closeOne = [&](std::map<HANDLE, EKind>::iterator it) {
        // The wrong kind of close is refused and changes nothing.
        const EKind eOther = it->second == EKind::File ? EKind::Find : EKind::File;
        ASSERT_FALSE(Close(it->first, eOther));
        ASSERT_TRUE(Close(it->first, it->second));
        if (it->second == EKind::File)
            --cFiles;
        vecClosed.emplace_back(it->first, it->second);
        mapLive.erase(it);
    };

    // Handles that live through the whole test, among many that come and go
    // around them, so that newer values keep landing where older ones sit.
    for (int i = 0; i < 50; ++i)
        open(i % 5 == 0);
    std::set<HANDLE> setLongLived;
    for (const auto& live : mapLive)
        setLongLived.insert(live.first);

    for (int iStep = 0; iStep < 8000; ++iStep) {
        // Grow to a few hundred live handles, then mostly close, then grow again.
        const int iPhase = (iStep / 1000) % 2;
        const std::size_t cShortLived = mapLive.size() - setLongLived.size();
        const bool bOpen =
            cShortLived == 0 || std::uniform_int_distribution<int>(0, 9)(rng) < (iPhase ? 3 : 6);
        if (bOpen) {
            open(cFiles < 200 && std::uniform_int_distribution<int>(0, 3)(rng) == 0);
        } else {
            auto it = mapLive.begin();
            do {
                it = mapLive.begin();
                std::advance(it, std::uniform_int_distribution<std::size_t>(0, mapLive.size() - 1)(rng));
            } while (setLongLived.count(it->first) != 0);
            closeOne(it);
        }
        if (iStep % 100 == 0) {
            checkAll();
            // Keep the list of closed handles short; the oldest were checked already.
            if (vecClosed.size() > 400)
                vecClosed.erase(vecClosed.begin(), vecClosed.begin() + 200);
        }
        if (HasFatalFailure())
            return;
    }
    checkAll();
    for (const auto& live : mapLive)
        EXPECT_TRUE(Close(live.first, live.second));
}

} // namespace
