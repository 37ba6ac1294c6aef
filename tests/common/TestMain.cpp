#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

int main(int argc, char** argv)
{
#if defined(_WIN32)
    // No "no disk in drive" or crash dialogs: a test run has nobody to answer.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
