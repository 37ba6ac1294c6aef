/* The inputs of bench/compare.sh and the floors it measures korvane against.
 *
 *   BenchFiles pairs ROOT COUNT SIZE   COUNT files of SIZE bytes under
 *       ROOT/src/small and the same bytes under ROOT/disc/small, 200 to a
 *       folder; ROOT/Media2.xml with one file entry per pair (the disc is
 *       drive E, mapped to ROOT/disc); ROOT/files.txt lists both trees' files.
 *   BenchFiles same ROOT COUNT         ROOT/src/a.dat, ROOT/disc/t/a.dat and
 *       ROOT/Media<COUNT>.xml with COUNT file entries naming that one pair.
 *   BenchFiles read FILE...            reads each file to its end in 16 KiB
 *       reads: the floor of a checksum that reads 16 KiB at a time.
 *   BenchFiles list LISTFILE           for each path in LISTFILE (one a line):
 *       open, 16 KiB reads until a short one, close. The floor of checking
 *       many small files: only the calls that reading them needs.
 *
 * POSIX only; no error is silent (exit status 1 with a message). */
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define BLOCK_SIZE 16384
#define FILES_PER_FOLDER 200

static char g_achBlock[BLOCK_SIZE];

static void Die(const char* pszWhat, const char* pszPath)
{
    fprintf(stderr, "BenchFiles: %s %s: %s\n", pszWhat, pszPath, strerror(errno));
    exit(1);
}

static void MakeFolder(const char* pszPath)
{
    char szPath[4096];
    snprintf(szPath, sizeof szPath, "%s", pszPath);
    for (char* p = szPath + 1; *p; ++p) {
        if (*p != '/')
            continue;
        *p = '\0';
        if (mkdir(szPath, 0777) != 0 && errno != EEXIST)
            Die("cannot create", szPath);
        *p = '/';
    }
    if (mkdir(szPath, 0777) != 0 && errno != EEXIST)
        Die("cannot create", szPath);
}

static void WriteFile(const char* pszPath, const char* pchBytes, size_t cb)
{
    FILE* pFile = fopen(pszPath, "wb");
    if (!pFile || fwrite(pchBytes, 1, cb, pFile) != cb || fclose(pFile) != 0)
        Die("cannot write", pszPath);
}

static FILE* OpenOut(const char* pszPath)
{
    FILE* pFile = fopen(pszPath, "wb");
    if (!pFile)
        Die("cannot write", pszPath);
    return pFile;
}

static void CloseOut(FILE* pFile, const char* pszPath)
{
    if (fclose(pFile) != 0)
        Die("cannot write", pszPath);
}

static void WriteHead(FILE* pFile, long lFiles, long long llBytes)
{
    fprintf(pFile,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Factory>\n  <Media>\n    <Info>\n"
            "      <Media_NumberFiles>%ld</Media_NumberFiles>\n      <Media_Size>%lld</Media_Size>\n"
            "    </Info>\n  </Media>\n",
            lFiles, llBytes);
}

static void WriteEntry(FILE* pFile, const char* pszFullPath, const char* pszTargetPath, const char* pszName,
                       long lSize)
{
    fprintf(
        pFile,
        "  <FILE>\n    <FullPath>%s</FullPath>\n    <Path>%s\\%s</Path>\n    <TargetPath>%s</TargetPath>\n"
        "    <Name>%s</Name>\n    <Attribute>32</Attribute>\n    <Exclusion>0</Exclusion>\n"
        "    <FileSize>%ld</FileSize>\n    <WriteTime>2026-12-08T03:08:26Z</WriteTime>\n  </FILE>\n",
        pszFullPath, pszTargetPath, pszName, pszTargetPath, pszName, lSize);
}

static void MakePairs(const char* pszRoot, long lCount, long lSize)
{
    char* pchBytes = malloc(lSize > 0 ? (size_t)lSize : 1);
    char szPath[4096];
    char szDisc[4096];
    char szTarget[64];
    char szName[64];
    if (!pchBytes)
        exit(1);
    MakeFolder(pszRoot);
    snprintf(szPath, sizeof szPath, "%s/Media2.xml", pszRoot);
    FILE* pXml = OpenOut(szPath);
    snprintf(szDisc, sizeof szDisc, "%s/files.txt", pszRoot);
    FILE* pList = OpenOut(szDisc);
    WriteHead(pXml, lCount, (long long)lCount * lSize);
    for (long i = 0; i < lCount; ++i) {
        if (i % FILES_PER_FOLDER == 0) {
            snprintf(szPath, sizeof szPath, "%s/src/small/d%03ld", pszRoot, i / FILES_PER_FOLDER);
            MakeFolder(szPath);
            snprintf(szPath, sizeof szPath, "%s/disc/small/d%03ld", pszRoot, i / FILES_PER_FOLDER);
            MakeFolder(szPath);
        }
        /* Different bytes in every file, the same on both sides. */
        for (long j = 0; j < lSize; ++j)
            pchBytes[j] = (char)((i * 31 + j * 7) & 0xFF);
        snprintf(szName, sizeof szName, "f%06ld.dat", i);
        snprintf(szTarget, sizeof szTarget, "\\small\\d%03ld", i / FILES_PER_FOLDER);
        snprintf(szPath, sizeof szPath, "%s/src/small/d%03ld/%s", pszRoot, i / FILES_PER_FOLDER, szName);
        snprintf(szDisc, sizeof szDisc, "%s/disc/small/d%03ld/%s", pszRoot, i / FILES_PER_FOLDER, szName);
        WriteFile(szPath, pchBytes, (size_t)lSize);
        WriteFile(szDisc, pchBytes, (size_t)lSize);
        WriteEntry(pXml, szPath, szTarget, szName, lSize);
        fprintf(pList, "%s\n%s\n", szPath, szDisc);
    }
    fputs("</Factory>\n", pXml);
    snprintf(szPath, sizeof szPath, "%s/Media2.xml", pszRoot);
    CloseOut(pXml, szPath);
    snprintf(szPath, sizeof szPath, "%s/files.txt", pszRoot);
    CloseOut(pList, szPath);
    free(pchBytes);
}

static void MakeSame(const char* pszRoot, long lCount)
{
    static const char s_achBytes[] = "one small file, named by every entry\n";
    char szPath[4096];
    char szSource[4096];
    snprintf(szPath, sizeof szPath, "%s/disc/t", pszRoot);
    MakeFolder(szPath);
    snprintf(szPath, sizeof szPath, "%s/src", pszRoot);
    MakeFolder(szPath);
    snprintf(szSource, sizeof szSource, "%s/src/a.dat", pszRoot);
    WriteFile(szSource, s_achBytes, sizeof s_achBytes - 1);
    snprintf(szPath, sizeof szPath, "%s/disc/t/a.dat", pszRoot);
    WriteFile(szPath, s_achBytes, sizeof s_achBytes - 1);
    snprintf(szPath, sizeof szPath, "%s/Media%ld.xml", pszRoot, lCount);
    FILE* pXml = OpenOut(szPath);
    WriteHead(pXml, lCount, (long long)lCount * (long long)(sizeof s_achBytes - 1));
    for (long i = 0; i < lCount; ++i)
        WriteEntry(pXml, szSource, "\\t", "a.dat", (long)(sizeof s_achBytes - 1));
    fputs("</Factory>\n", pXml);
    CloseOut(pXml, szPath);
}

/* Reads the open file fd to its end; a read shorter than a block ends it,
 * as in the checksum. */
static void ReadToEnd(int fd, const char* pszPath)
{
    ssize_t cb;
    do {
        cb = read(fd, g_achBlock, BLOCK_SIZE);
        if (cb < 0 && errno != EINTR)
            Die("cannot read", pszPath);
    } while (cb == BLOCK_SIZE || (cb < 0 && errno == EINTR));
}

static void ReadOne(const char* pszPath)
{
    const int fd = open(pszPath, O_RDONLY);
    if (fd < 0)
        Die("cannot open", pszPath);
    ReadToEnd(fd, pszPath);
    close(fd);
}

static void ReadList(const char* pszList)
{
    /* The list is read whole first: only the files' own calls are timed. */
    FILE* pFile = fopen(pszList, "rb");
    if (!pFile)
        Die("cannot open", pszList);
    fseek(pFile, 0, SEEK_END);
    const long cb = ftell(pFile);
    fseek(pFile, 0, SEEK_SET);
    char* pchList = malloc((size_t)cb + 1);
    if (!pchList || fread(pchList, 1, (size_t)cb, pFile) != (size_t)cb)
        Die("cannot read", pszList);
    fclose(pFile);
    pchList[cb] = '\0';
    long lFiles = 0;
    for (char* p = pchList; *p;) {
        char* pEnd = strchr(p, '\n');
        if (pEnd)
            *pEnd = '\0';
        if (*p) {
            ReadOne(p);
            ++lFiles;
        }
        if (!pEnd)
            break;
        p = pEnd + 1;
    }
    free(pchList);
    if (lFiles == 0) {
        fprintf(stderr, "BenchFiles: %s lists no file\n", pszList);
        exit(1);
    }
}

int main(int argc, char** argv)
{
    if (argc >= 5 && strcmp(argv[1], "pairs") == 0) {
        MakePairs(argv[2], atol(argv[3]), atol(argv[4]));
        return 0;
    }
    if (argc >= 4 && strcmp(argv[1], "same") == 0) {
        MakeSame(argv[2], atol(argv[3]));
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "read") == 0) {
        for (int i = 2; i < argc; ++i)
            ReadOne(argv[i]);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "list") == 0) {
        ReadList(argv[2]);
        return 0;
    }
    fprintf(stderr,
            "usage: BenchFiles pairs ROOT COUNT SIZE | same ROOT COUNT | read FILE... | list LISTFILE\n");
    return 2;
}
