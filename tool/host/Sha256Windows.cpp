// SHA-256 on Windows through the system's CNG (bcrypt.dll), which uses the
// CPU's SHA instructions where it has them; no library to ship.
#include "host/Sha256.h"

#include "host/FileState.h"
#include "host/Interrupt.h"

#include "output/Text.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

namespace kvtool {

namespace {

// The system's text for an error, without its line end and final stop.
std::string ErrorText(DWORD dwError)
{
    wchar_t* pszText = nullptr;
    const DWORD cch = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, dwError, 0, reinterpret_cast<wchar_t*>(&pszText), 0, nullptr);
    std::wstring strText = cch && pszText ? std::wstring(pszText, cch) : std::wstring();
    LocalFree(pszText);
    while (!strText.empty() && (strText.back() == L'\r' || strText.back() == L'\n' ||
                                strText.back() == L' ' || strText.back() == L'.'))
        strText.pop_back();
    return strText.empty() ? "error " + std::to_string(dwError) : Utf8FromWide(strText);
}

class CHandle {
  public:
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE Get() const { return m_h; }

  private:
    HANDLE m_h;
};

// One SHA-256 digest in progress.
class CDigest {
  public:
    CDigest()
    {
        if (!BCRYPT_SUCCESS(
                BCryptOpenAlgorithmProvider(&m_hAlgorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            m_hAlgorithm = nullptr;
            return;
        }
        DWORD cbObject = 0, cbGot = 0;
        if (!BCRYPT_SUCCESS(BCryptGetProperty(m_hAlgorithm, BCRYPT_OBJECT_LENGTH,
                                              reinterpret_cast<PUCHAR>(&cbObject), sizeof cbObject, &cbGot,
                                              0)))
            return;
        m_vecObject.resize(cbObject);
        if (!BCRYPT_SUCCESS(
                BCryptCreateHash(m_hAlgorithm, &m_hHash, m_vecObject.data(), cbObject, nullptr, 0, 0)))
            m_hHash = nullptr;
    }
    ~CDigest()
    {
        if (m_hHash)
            BCryptDestroyHash(m_hHash);
        if (m_hAlgorithm)
            BCryptCloseAlgorithmProvider(m_hAlgorithm, 0);
    }
    CDigest(const CDigest&) = delete;
    CDigest& operator=(const CDigest&) = delete;

    bool Started() const { return m_hHash != nullptr; }
    bool Add(const unsigned char* pb, DWORD cb)
    {
        return BCRYPT_SUCCESS(BCryptHashData(m_hHash, const_cast<PUCHAR>(pb), cb, 0));
    }
    bool Finish(unsigned char (&abDigest)[32])
    {
        return BCRYPT_SUCCESS(BCryptFinishHash(m_hHash, abDigest, 32, 0));
    }

  private:
    BCRYPT_ALG_HANDLE m_hAlgorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hHash = nullptr;
    std::vector<unsigned char> m_vecObject;
};

} // namespace

EHashResult Sha256OfFile(const std::filesystem::path& path, std::string& strHex, std::string& strError,
                         unsigned long long* pullBytes)
{
    const DWORD dwAttributes = GetFileAttributesW(path.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD dwError = GetLastError();
        strError = ErrorText(dwError);
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? EHashResult::Missing
                                                                                  : EHashResult::Unreadable;
    }
    if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        strError = FileTypeName(std::filesystem::file_type::directory);
        return EHashResult::NotAFile;
    }
    const CHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD dwError = GetLastError();
        strError = ErrorText(dwError);
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? EHashResult::Missing
                                                                                  : EHashResult::Unreadable;
    }
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        strError = "not a regular file";
        return EHashResult::NotAFile;
    }
    CDigest digest;
    if (!digest.Started()) {
        strError = "the system cannot start a SHA-256 digest";
        return EHashResult::Unreadable;
    }
    static thread_local std::vector<unsigned char> vecBuffer(256 * 1024);
    unsigned long long ullBytes = 0;
    for (;;) {
        if (Interrupted()) {
            strError = "interrupted";
            return EHashResult::Interrupted;
        }
        DWORD cbRead = 0;
        if (!ReadFile(file.Get(), vecBuffer.data(), static_cast<DWORD>(vecBuffer.size()), &cbRead, nullptr)) {
            strError = ErrorText(GetLastError());
            return EHashResult::Unreadable;
        }
        if (cbRead == 0)
            break;
        if (!digest.Add(vecBuffer.data(), cbRead)) {
            strError = "the system's SHA-256 digest failed";
            return EHashResult::Unreadable;
        }
        ullBytes += cbRead;
    }
    if (pullBytes)
        *pullBytes = ullBytes;
    unsigned char abDigest[32];
    if (!digest.Finish(abDigest)) {
        strError = "the system's SHA-256 digest failed";
        return EHashResult::Unreadable;
    }
    static const char szHex[] = "0123456789abcdef";
    strHex.clear();
    for (unsigned char b : abDigest) {
        strHex += szHex[b >> 4];
        strHex += szHex[b & 15];
    }
    return EHashResult::Ok;
}

EHashResult Sha256OfLibraryFile(const std::wstring& strLibraryPath, std::string& strHex,
                                std::string& strError, unsigned long long* pullBytes)
{
    return Sha256OfFile(NativePath(strLibraryPath), strHex, strError, pullBytes);
}

} // namespace kvtool
