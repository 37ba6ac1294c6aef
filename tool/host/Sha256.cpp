#include "host/Sha256.h"

#include "host/FileState.h"
#include "host/Interrupt.h"

#include <openssl/evp.h>

#include <windows.h>

#include <cerrno>
#include <functional>
#include <cstring>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvtool {

namespace {

struct CCtxFree {
    void operator()(EVP_MD_CTX* pCtx) const { EVP_MD_CTX_free(pCtx); }
};

struct CFd {
    int fd;
    ~CFd()
    {
        if (fd >= 0)
            close(fd);
    }
};

// The digest of what fnRead gives until it gives 0 bytes, and their count;
// fnRead returns -1 with strError set when a read fails.
EHashResult Digest(const std::function<long(unsigned char*, std::size_t)>& fnRead, std::string& strHex,
                   std::string& strError, unsigned long long* pullBytes)
{
    static thread_local std::unique_ptr<EVP_MD_CTX, CCtxFree> ctx(EVP_MD_CTX_new());
    // Page-aligned: the kernel's copy into a buffer new[] places (16 bytes
    // past a page) measured four times slower.
    constexpr size_t cbBuffer = 256 * 1024;
    struct CBufferDelete {
        void operator()(unsigned char* p) const { ::operator delete[](p, std::align_val_t(4096)); }
    };
    static thread_local std::unique_ptr<unsigned char[], CBufferDelete> pBuffer(
        static_cast<unsigned char*>(::operator new[](cbBuffer, std::align_val_t(4096))));
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) {
        strError = "libcrypto cannot start a SHA-256 digest";
        return EHashResult::Unreadable;
    }
    unsigned long long ullBytes = 0;
    for (;;) {
        if (Interrupted()) {
            strError = "interrupted";
            return EHashResult::Interrupted;
        }
        const long n = fnRead(pBuffer.get(), cbBuffer);
        if (n < 0)
            return EHashResult::Unreadable;
        if (n == 0)
            break;
        EVP_DigestUpdate(ctx.get(), pBuffer.get(), static_cast<size_t>(n));
        ullBytes += static_cast<unsigned long long>(n);
    }
    if (pullBytes)
        *pullBytes = ullBytes;
    unsigned char abDigest[EVP_MAX_MD_SIZE];
    unsigned int uLength = 0;
    EVP_DigestFinal_ex(ctx.get(), abDigest, &uLength);
    static const char szHex[] = "0123456789abcdef";
    strHex.clear();
    for (unsigned i = 0; i < uLength; ++i) {
        strHex += szHex[abDigest[i] >> 4];
        strHex += szHex[abDigest[i] & 15];
    }
    return EHashResult::Ok;
}

} // namespace

EHashResult Sha256OfFile(const std::filesystem::path& path, std::string& strHex, std::string& strError,
                         unsigned long long* pullBytes)
{
    // O_NONBLOCK: a FIFO must not hang the open; it is refused below.
    CFd file{open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        strError = std::strerror(errno);
        return errno == ENOENT || errno == ENOTDIR ? EHashResult::Missing : EHashResult::Unreadable;
    }
    struct stat st;
    if (fstat(file.fd, &st) != 0) {
        strError = std::strerror(errno);
        return EHashResult::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        strError = FileTypeName(S_ISDIR(st.st_mode)    ? std::filesystem::file_type::directory
                                : S_ISFIFO(st.st_mode) ? std::filesystem::file_type::fifo
                                : S_ISSOCK(st.st_mode) ? std::filesystem::file_type::socket
                                : S_ISBLK(st.st_mode)  ? std::filesystem::file_type::block
                                : S_ISCHR(st.st_mode)  ? std::filesystem::file_type::character
                                                       : std::filesystem::file_type::unknown);
        return EHashResult::NotAFile;
    }
    // A short read at or past the size the file had when opened is its end:
    // asking again would only hear 0, a system call for each file. Growth
    // up to that read is still hashed; a file read on from later reads on.
    off_t offRead = 0;
    bool bEnded = false;
    return Digest(
        [&](unsigned char* pb, std::size_t cb) -> long {
            if (bEnded)
                return 0;
            for (;;) {
                const ssize_t n = read(file.fd, pb, cb);
                if (n >= 0 || errno != EINTR) {
                    if (n < 0)
                        strError = std::strerror(errno);
                    offRead += n > 0 ? n : 0;
                    bEnded = n >= 0 && static_cast<std::size_t>(n) < cb && offRead >= st.st_size;
                    return static_cast<long>(n);
                }
            }
        },
        strHex, strError, pullBytes);
}

EHashResult Sha256OfLibraryFile(const std::wstring& strLibraryPath, std::string& strHex,
                                std::string& strError, unsigned long long* pullBytes)
{
    // A disc image has no native files, and what it reports is what a damaged disc says.
    const DWORD dwAttributes = GetFileAttributesW(strLibraryPath.c_str());
    const DWORD dwError = GetLastError();
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        strError = FileTypeName(std::filesystem::file_type::directory);
        return EHashResult::NotAFile;
    }
    HANDLE hFile = dwAttributes == INVALID_FILE_ATTRIBUTES
                       ? INVALID_HANDLE_VALUE
                       : CreateFileW(strLibraryPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        const DWORD dwWhy = dwAttributes == INVALID_FILE_ATTRIBUTES ? dwError : GetLastError();
        const bool bMissing = dwWhy == ERROR_FILE_NOT_FOUND || dwWhy == ERROR_PATH_NOT_FOUND;
        strError = bMissing ? std::strerror(ENOENT) : std::strerror(EIO);
        return bMissing ? EHashResult::Missing : EHashResult::Unreadable;
    }
    const std::unique_ptr<void, decltype(&CloseHandle)> closer(hFile, &CloseHandle);
    return Digest(
        [&](unsigned char* pb, std::size_t cb) -> long {
            DWORD cbRead = 0;
            if (!ReadFile(hFile, pb, static_cast<DWORD>(cb), &cbRead, nullptr)) {
                strError = std::strerror(EIO);
                return -1;
            }
            return static_cast<long>(cbRead);
        },
        strHex, strError, pullBytes);
}

} // namespace kvtool
