#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>

#include <thread>

namespace {

int CountThreadsOfThisProcess()
{
    const HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int nThreads = 0;
    const DWORD dwProcess = GetCurrentProcessId();
    for (BOOL bMore = Thread32First(hSnapshot, &entry); bMore; bMore = Thread32Next(hSnapshot, &entry)) {
        if (entry.th32OwnerProcessID == dwProcess)
            ++nThreads;
    }
    CloseHandle(hSnapshot);
    return nThreads;
}

} // namespace
#endif

int main(int argc, char** argv)
{
#if defined(_WIN32)
    // No "no disk in drive" or crash dialogs: a test run has nobody to answer.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // Google Test gives each thread that uses its thread-local state (every
    // SCOPED_TRACE) a watcher thread that wakes when that thread ends. On the
    // main thread it wakes only as the process ends, and under Wine that
    // killed about one test program in 200 with SIGSEGV after all its tests
    // had passed (a one-test Google Test program without our code does the
    // same). So the tests run on a thread that ends first, and the process
    // ends once the watchers it left have finished.
    const int nThreadsBefore = CountThreadsOfThisProcess();
    int iResult = 1;
    std::thread tests([&] {
        testing::InitGoogleTest(&argc, argv);
        iResult = RUN_ALL_TESTS();
    });
    tests.join();
    for (int i = 0; i < 200 && CountThreadsOfThisProcess() > nThreadsBefore; ++i)
        Sleep(10);
    return iResult;
#else
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
#endif
}
