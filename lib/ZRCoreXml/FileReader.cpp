#include "FileReader.h"

#include "XmlErrors.h"

#include <algorithm>

namespace zrxml {

namespace {

class CFileHandle {
  public:
    explicit CFileHandle(HANDLE h) : m_h(h) {}
    ~CFileHandle()
    {
        if (m_h != INVALID_HANDLE_VALUE)
            CloseHandle(m_h);
    }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    HANDLE Get() const { return m_h; }

  private:
    HANDLE m_h;
};

} // namespace

HRESULT ReadWholeFile(LPCWSTR pszPath, std::vector<unsigned char>& vecBytes)
{
    vecBytes.clear();
    CFileHandle file(CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return HrFromWin32(GetLastError());
    // Chunks that grow with what has been read: linear in the size without
    // asking for it first.
    constexpr size_t kMinChunk = 64 * 1024;
    constexpr size_t kMaxChunk = 64 * 1024 * 1024;
    size_t cbRead = 0;
    for (;;) {
        const size_t cbChunk = std::min(std::max(kMinChunk, cbRead), kMaxChunk);
        vecBytes.resize(cbRead + cbChunk);
        DWORD dwRead = 0;
        if (!ReadFile(file.Get(), vecBytes.data() + cbRead, static_cast<DWORD>(cbChunk), &dwRead, nullptr)) {
            const DWORD dwError = GetLastError();
            vecBytes.clear();
            return HrFromWin32(dwError);
        }
        if (dwRead == 0)
            break;
        cbRead += std::min<size_t>(dwRead, cbChunk);
    }
    vecBytes.resize(cbRead);
    return S_OK;
}

} // namespace zrxml
