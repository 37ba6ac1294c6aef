// The read-ahead shared by file handles on folders and on disc images, and
// the buffers closed handles pass on.
#include "ReadAhead.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace kvwin32 {
namespace detail {
namespace {

// Bytes read ahead are handed out only this soon after they were read; a
// later call reads the file again, so no change older than this is missed.
constexpr CReadAhead::Clock::duration kReadAheadMaxAge = std::chrono::milliseconds(1);

// Buffers of closed handles, kept for the next: a fresh one of this size is
// a mapping of its own, whose pages each cost a fault when first written,
// and a verifier opens one file after another.
class CReadAheadPool {
  public:
    CAlignedBuffer Take()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_cSpare != 0)
                return std::move(m_apSpare[--m_cSpare]);
        }
        return NewAlignedBuffer(kReadAheadSize);
    }
    void Give(CAlignedBuffer pBuffer)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cSpare < kMaxSpare)
            m_apSpare[m_cSpare++] = std::move(pBuffer);
    }

  private:
    static constexpr std::size_t kMaxSpare = 4;
    std::mutex m_mutex;
    CAlignedBuffer m_apSpare[kMaxSpare];
    std::size_t m_cSpare = 0;
};

CReadAheadPool& ReadAheadPool()
{
    static CReadAheadPool* const s_pPool = new CReadAheadPool; // never destroyed: handles may outlive statics
    return *s_pPool;
}

bool IsFresh(CReadAhead::Clock::time_point tRead)
{
    return CReadAhead::Clock::now() - tRead <= kReadAheadMaxAge;
}

} // namespace

CReadAhead::~CReadAhead()
{
    m_prefetch.Cancel(); // the worker may be writing the spare buffer
    if (m_pBuffer)
        ReadAheadPool().Give(std::move(m_pBuffer));
    if (m_pSpare)
        ReadAheadPool().Give(std::move(m_pSpare));
}

DWORD CReadAhead::TakeFresh(char* pch, DWORD cb)
{
    if (m_ibNext == m_cbFilled || cb == 0)
        return 0;
    if (!IsFresh(m_tRead)) {
        m_ibNext = m_cbFilled = 0;
        return 0;
    }
    const DWORD cbTaken = std::min(cb, m_cbFilled - m_ibNext);
    std::memcpy(pch, m_pBuffer.get() + m_ibNext, cbTaken);
    m_ibNext += cbTaken;
    return cbTaken;
}

bool CReadAhead::ShouldReadAhead(DWORD cbWant, ULONGLONG qwAt, ULONGLONG qwEnd, bool& bFirstBuffer)
{
    bFirstBuffer = false;
    if (!m_bReadingOn || cbWant >= kDirectReadSize || qwAt + cbWant >= qwEnd || m_bNoMemory)
        return false;
    if (!m_pBuffer) {
        m_pBuffer = ReadAheadPool().Take();
        m_bNoMemory = !m_pBuffer;
        bFirstBuffer = !m_bNoMemory;
    }
    return !m_bNoMemory;
}

DWORD CReadAhead::Filled(Clock::time_point tRead, DWORD cbFilled, char* pch, DWORD cbWant)
{
    const DWORD cbTaken = std::min(cbWant, cbFilled);
    std::memcpy(pch, m_pBuffer.get(), cbTaken);
    m_tRead = tRead;
    m_ibNext = cbTaken;
    m_cbFilled = cbFilled;
    return cbTaken;
}

DWORD CReadAhead::TakePrefetched(ULONGLONG qwAt, char* pch, DWORD cbWant)
{
    Clock::time_point tRead;
    if (!m_prefetch.Take(qwAt, tRead) || !IsFresh(tRead))
        return 0;
    std::swap(m_pBuffer, m_pSpare);
    return Filled(tRead, kReadAheadSize, pch, cbWant);
}

void CReadAhead::PrefetchNext(CPrefetch::PFNREAD pfnRead, void* pSource, ULONGLONG qwAt, DWORD cbFilled,
                              ULONGLONG qwEnd)
{
    if (cbFilled != kReadAheadSize || qwAt + 2ull * kReadAheadSize > qwEnd || m_bNoMemory)
        return;
    if (!m_pSpare)
        m_pSpare = ReadAheadPool().Take();
    if (m_pSpare)
        m_prefetch.Start(pfnRead, pSource, qwAt + kReadAheadSize, m_pSpare.get(), kReadAheadSize);
}

void CReadAhead::CallDone(DWORD cbAsked, DWORD cbDone)
{
    if (cbAsked != 0)
        m_bReadingOn = cbDone == cbAsked;
}

} // namespace detail
} // namespace kvwin32
