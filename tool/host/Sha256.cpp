#include "host/Sha256.h"

#include <openssl/evp.h>

#include <cerrno>
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

} // namespace

EHashResult Sha256OfFile(const std::filesystem::path& path, std::string& strHex, std::string& strError)
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
        strError = S_ISDIR(st.st_mode) ? "Is a directory" : "not a regular file";
        return EHashResult::NotAFile;
    }
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
    for (;;) {
        ssize_t n = read(file.fd, pBuffer.get(), cbBuffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            strError = std::strerror(errno);
            return EHashResult::Unreadable;
        }
        if (n == 0)
            break;
        EVP_DigestUpdate(ctx.get(), pBuffer.get(), static_cast<size_t>(n));
    }
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

} // namespace kvtool
