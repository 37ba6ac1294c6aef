// Arbitrary bytes as a disc image on drive Z:, walked as the verifier walks
// a disc: every folder searched, every file opened, read in 16 KiB pieces to
// its end and asked for its identity. Any answer is fine; a crash, a hang or
// a read past what the file claims is not.
#include <windows.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int g_cFiles = 0;

void ReadThrough(const std::wstring& strPath)
{
    HANDLE h =
        CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size))
        std::abort();
    BY_HANDLE_FILE_INFORMATION info;
    GetFileInformationByHandle(h, &info);
    static char s_ach[16384];
    unsigned long long cbTotal = 0;
    // Enough to cross a few sectors and extents; a claimed size of terabytes
    // in a few bytes of image must not make one input run for ever.
    for (int i = 0; i < 64; ++i) {
        DWORD cb = 0;
        if (!ReadFile(h, s_ach, sizeof s_ach, &cb, nullptr) || cb == 0)
            break;
        cbTotal += cb;
        if (cbTotal > static_cast<unsigned long long>(size.QuadPart))
            std::abort(); // more bytes than the file has
    }
    CloseHandle(h);
}

void Walk(const std::wstring& strFolder, int iDepth)
{
    if (iDepth > 8)
        return;
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring strName = data.cFileName;
        if (strName == L"." || strName == L"..")
            continue;
        if (++g_cFiles > 2000)
            break;
        const std::wstring strPath = strFolder + L"\\" + strName;
        GetFileAttributesW(strPath.c_str());
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(strPath, iDepth + 1);
        else
            ReadThrough(strPath);
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pb, size_t cb)
{
    // A new file each time: the layer reads a changed image afresh.
    const int iFd = ::memfd_create("image", MFD_CLOEXEC);
    if (iFd < 0)
        return 0;
    if (::write(iFd, pb, cb) == static_cast<ssize_t>(cb)) {
        const std::string strPath = "/proc/self/fd/" + std::to_string(iFd);
        ::setenv("KORVANE_DRIVE_Z", strPath.c_str(), 1);
        g_cFiles = 0;
        Walk(L"Z:", 0);
        ReadThrough(L"Z:\\A\\B.TXT");
    }
    ::close(iFd);
    return 0;
}
