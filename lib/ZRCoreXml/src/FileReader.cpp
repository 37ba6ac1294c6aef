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

// What the file holds now, as a first guess of what reading it will
// give; 0 when unknown.
size_t SizeHint(HANDLE hFile)
{
    LARGE_INTEGER liSize;
    if (GetFileSizeEx(hFile, &liSize) && liSize.QuadPart > 0 &&
        static_cast<unsigned long long>(liSize.QuadPart) < static_cast<size_t>(-1) / 2)
        return static_cast<size_t>(liSize.QuadPart);
    return 0;
}

} // namespace

HRESULT ReadWholeFile(LPCWSTR pszPath, CRawBuffer<unsigned char>& bytes)
{
    bytes.Release();
    CFileHandle file(CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return HrFromWin32(GetLastError());
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return XML_E_NOTAFILE;
    LARGE_INTEGER liSize;
    if (GetFileSizeEx(file.Get(), &liSize) &&
        static_cast<unsigned long long>(liSize.QuadPart) > kMaxDescriptionBytes)
        return XML_E_FILETOOBIG;
    // One byte more than the size, so that a file that did not change is
    // read whole by the first call and the second sees its end. Without a
    // size, or when the file grew, the buffer doubles: linear in the size.
    constexpr size_t kMinChunk = 64 * 1024;
    constexpr size_t kMaxChunk = 64 * 1024 * 1024;
    const size_t cbHint = SizeHint(file.Get());
    bytes.Reserve(cbHint != 0 ? cbHint + 1 : kMinChunk);
    for (;;) {
        if (bytes.Size() == bytes.Capacity())
            bytes.ReserveMore(std::max(kMinChunk, bytes.Size()));
        // One byte past the bound at most, which tells a file at the bound from a longer one.
        const size_t cbChunk = std::min({bytes.Capacity() - bytes.Size(), kMaxChunk,
                                         static_cast<size_t>(kMaxDescriptionBytes + 1 - bytes.Size())});
        DWORD dwRead = 0;
        if (!ReadFile(file.Get(), bytes.Data() + bytes.Size(), static_cast<DWORD>(cbChunk), &dwRead,
                      nullptr)) {
            const DWORD dwError = GetLastError();
            bytes.Release();
            return HrFromWin32(dwError);
        }
        if (dwRead == 0)
            break;
        bytes.ResizeUninitialized(bytes.Size() + std::min<size_t>(dwRead, cbChunk));
        // Grown past the bound while it was read.
        if (bytes.Size() > kMaxDescriptionBytes) {
            bytes.Release();
            return XML_E_FILETOOBIG;
        }
    }
    return S_OK;
}

} // namespace zrxml
