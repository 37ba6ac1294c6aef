/* KorvaneHost as a host built by another compiler uses it: loaded by name at
 * run time, driven through its plain C calls only, on real files. Written in
 * C90, which proves the header is plain C too. Exit status 0 when every case
 * passes. */
#if !defined(_WIN32)
#define _POSIX_C_SOURCE 200112L
#endif

#include "KorvaneHost.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <direct.h>
#define SEP "\\"
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#define SEP "/"
#endif

#define E_FAIL_VALUE ((KORVANE_HRESULT)0x80004005L)
#define E_ABORT_VALUE ((KORVANE_HRESULT)0x80004004L)
#define E_INVALIDARG_VALUE ((KORVANE_HRESULT)0x80070057L)

typedef void (*GENERIC_FN)(void);

static int g_cFailed = 0;

static void Check(int bOk, const char* pszCase, const char* pszWhat)
{
    if (!bOk) {
        printf("FAILED %s: %s\n", pszCase, pszWhat);
        ++g_cFailed;
    }
}

static void* OpenHost(void)
{
#if defined(_WIN32)
    return (void*)LoadLibraryW(KORVANE_TEST_HOST_LIBRARY);
#else
    return dlopen(KORVANE_TEST_HOST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
#endif
}

static GENERIC_FN Lookup(void* hLibrary, const char* pszName)
{
    GENERIC_FN pfn;
#if defined(_WIN32)
    pfn = (GENERIC_FN)GetProcAddress((HMODULE)hLibrary, pszName);
#else
    void* p = dlsym(hLibrary, pszName);
    memcpy(&pfn, &p, sizeof pfn);
#endif
    if (!pfn)
        printf("no export %s\n", pszName);
    return pfn;
}

static void WriteText(const char* pszPath, const char* pszText)
{
    FILE* f = fopen(pszPath, "wb");
    if (!f) {
        printf("cannot write %s\n", pszPath);
        exit(2);
    }
    fputs(pszText, f);
    fclose(f);
}

static void MakeDir(const char* pszPath)
{
#if defined(_WIN32)
    _mkdir(pszPath);
#else
    mkdir(pszPath, 0777);
#endif
}

/* What the callback saw, and how it answers problems. */
struct Run {
    KORVANE_DWORD dwAnswer;
    int cBegin, cEnd, cProblems;
};

static KORVANE_DWORD KORVANE_HOST_CALL OnReport(KORVANE_UINT uiCmd, void* pParam1, KORVANE_DWORD dwParam2,
                                                void* pParam3)
{
    struct Run* pRun = (struct Run*)pParam3;
    (void)pParam1;
    (void)dwParam2;
    if (uiCmd == CRCVERIF_BEGIN)
        ++pRun->cBegin;
    else if (uiCmd == CRCVERIF_END)
        ++pRun->cEnd;
    else if (uiCmd == CRCVERIF_FILEERROR) {
        ++pRun->cProblems;
        return pRun->dwAnswer;
    }
    return CRCVERIF_ANSWER_SKIP;
}

struct Case {
    const char* pszName;
    int bByNumber; /* folder and number, else the description's path */
    int bDiffers;  /* the disc copy has other bytes of the same size */
    KORVANE_DWORD dwAnswer;
    KORVANE_HRESULT hrExpected;
    int cProblems;
};

static const struct Case g_cases[] = {
    {"good pair by number", 1, 0, CRCVERIF_ANSWER_FAIL, 0, 0},
    {"good pair by file", 0, 0, CRCVERIF_ANSWER_FAIL, 0, 0},
    {"bad pair, skip", 0, 1, CRCVERIF_ANSWER_SKIP, 0, 1},
    {"bad pair by number, fail", 1, 1, CRCVERIF_ANSWER_FAIL, E_FAIL_VALUE, 1},
#if KORVANE_REVISION >= 11
    {"bad pair, abort", 0, 1, CRCVERIF_ANSWER_ABORT, E_ABORT_VALUE, 1},
#else
    /* Revision 1.0 has no abort: 2 is a skip. */
    {"bad pair, abort", 0, 1, CRCVERIF_ANSWER_ABORT, 0, 1},
#endif
};

int main(void)
{
    char szCwd[1024], szRoot[1200], szPath[1400], szXml[4000];
    wchar_t wszFolder[1200], wszXml[1400];
    wchar_t wcDrive;
    const char* pszBelow; /* the work folder's path without its drive */
    void* hLibrary;
    PFN_KORVANEHOSTCREATE pfnCreate;
    PFN_KORVANEHOSTDESTROY pfnDestroy;
    PFN_KORVANEHOSTSETCALLBACK pfnSetCallback;
    PFN_KORVANEHOSTVERIFYBURNING pfnVerifyBurning;
    PFN_KORVANEHOSTVERIFYFILE pfnVerifyFile;
    PFN_KORVANEHOSTFILECHECKSUM pfnChecksum;
    size_t i;

    hLibrary = OpenHost();
    if (!hLibrary) {
        printf("cannot load the host library\n");
        return 1;
    }
    pfnCreate = (PFN_KORVANEHOSTCREATE)Lookup(hLibrary, "KorvaneHostCreate");
    pfnDestroy = (PFN_KORVANEHOSTDESTROY)Lookup(hLibrary, "KorvaneHostDestroy");
    pfnSetCallback = (PFN_KORVANEHOSTSETCALLBACK)Lookup(hLibrary, "KorvaneHostSetCallback");
    pfnVerifyBurning = (PFN_KORVANEHOSTVERIFYBURNING)Lookup(hLibrary, "KorvaneHostVerifyBurning");
    pfnVerifyFile = (PFN_KORVANEHOSTVERIFYFILE)Lookup(hLibrary, "KorvaneHostVerifyFile");
    pfnChecksum = (PFN_KORVANEHOSTFILECHECKSUM)Lookup(hLibrary, "KorvaneHostFileChecksum");
    if (!pfnCreate || !pfnDestroy || !pfnSetCallback || !pfnVerifyBurning || !pfnVerifyFile || !pfnChecksum)
        return 1;

        /* The work folder, below the current one. The disc is a folder in it,
         * reached through a drive letter: on Windows the current drive, on other
         * systems Z: mapped to the root. */
#if defined(_WIN32)
    if (!_getcwd(szCwd, sizeof szCwd))
        return 2;
    wcDrive = (wchar_t)szCwd[0];
    pszBelow = szCwd + 2;
#else
    if (!getcwd(szCwd, sizeof szCwd) || setenv("KORVANE_DRIVE_Z", "/", 1) != 0)
        return 2;
    wcDrive = L'Z';
    pszBelow = szCwd;
#endif
    sprintf(szRoot, "%s" SEP "korvane-host-c", szCwd);
    MakeDir(szRoot);
    sprintf(szPath, "%s" SEP "src", szRoot);
    MakeDir(szPath);
    sprintf(szPath, "%s" SEP "disc", szRoot);
    MakeDir(szPath);
    sprintf(szPath, "%s" SEP "src" SEP "a.txt", szRoot);
    WriteText(szPath, "abc");
    mbstowcs(wszXml, szPath, sizeof wszXml / sizeof wszXml[0]);
    Check(pfnChecksum(wszXml) == 0x736FDBF8u, "checksum", "\"abc\" sums to 736fdbf8");

    sprintf(szXml,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Factory><Media><Info><Media_NumberFiles>1</Media_NumberFiles>"
            "<Media_Size>3</Media_Size></Info></Media>\n"
            "<FILE><FullPath>%s" SEP "src" SEP "a.txt</FullPath><Path>\\a.txt</Path>"
            "<TargetPath>%s" SEP "korvane-host-c" SEP "disc</TargetPath><Name>a.txt</Name>"
            "<Attribute>32</Attribute><Exclusion>0</Exclusion><FileSize>3</FileSize>"
            "<WriteTime></WriteTime></FILE></Factory>\n",
            szRoot, pszBelow);
    sprintf(szPath, "%s" SEP "Media7.xml", szRoot);
    WriteText(szPath, szXml);
    mbstowcs(wszXml, szPath, sizeof wszXml / sizeof wszXml[0]);
    mbstowcs(wszFolder, szRoot, sizeof wszFolder / sizeof wszFolder[0]);

    Check(pfnSetCallback(NULL, &OnReport, NULL) == E_INVALIDARG_VALUE, "null verifier", "E_INVALIDARG");
    Check(pfnVerifyFile(NULL, wcDrive, wszXml) == E_INVALIDARG_VALUE, "null verifier", "E_INVALIDARG");

    for (i = 0; i < sizeof g_cases / sizeof g_cases[0]; ++i) {
        const struct Case* pCase = &g_cases[i];
        struct Run run;
        KORVANE_HOST hHost;
        KORVANE_HRESULT hr;

        sprintf(szPath, "%s" SEP "disc" SEP "a.txt", szRoot);
        WriteText(szPath, pCase->bDiffers ? "abd" : "abc");
        memset(&run, 0, sizeof run);
        run.dwAnswer = pCase->dwAnswer;

        hHost = pfnCreate();
        Check(hHost != NULL, pCase->pszName, "created");
        if (!hHost)
            continue;
        Check(pfnSetCallback(hHost, &OnReport, &run) == 0, pCase->pszName, "callback set");
        hr = pCase->bByNumber ? pfnVerifyBurning(hHost, wcDrive, 7, wszFolder)
                              : pfnVerifyFile(hHost, wcDrive, wszXml);
        pfnDestroy(hHost);

        if (hr != pCase->hrExpected)
            printf("%s: 0x%08lX, expected 0x%08lX\n", pCase->pszName, (unsigned long)hr,
                   (unsigned long)pCase->hrExpected);
        Check(hr == pCase->hrExpected, pCase->pszName, "result");
        Check(run.cBegin == 1, pCase->pszName, "one begin");
        Check(run.cProblems == pCase->cProblems, pCase->pszName, "problem reports");
        /* The end comes only when the run went through. */
        Check(run.cEnd == (pCase->hrExpected == 0), pCase->pszName, "end report");
    }
    pfnDestroy(NULL);

    printf("%s: %d failed\n", g_cFailed ? "FAILED" : "passed", g_cFailed);
    return g_cFailed ? 1 : 0;
}
