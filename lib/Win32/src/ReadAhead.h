// What one handle has read ahead of its caller, for files on a folder and
// files on a disc image alike: one system call costs about as much as
// copying 16 KiB from the page cache, so a handle that reads on takes
// kReadAheadSize at a time and hands it out from memory.
#pragma once

#include "AlignedBuffer.h"
#include "Prefetch.h"

#include <windows.h>

#include <chrono>

namespace kvwin32 {
namespace detail {

// With the next piece read on the worker thread (Prefetch.h) 1 MiB
// measured faster than 256 or 512 KiB (256 KiB had been best without it):
// fewer handoffs between the threads.
constexpr DWORD kReadAheadSize = 1024 * 1024;
// A request this large goes straight into the caller's buffer: copying it
// again would cost more than the calls saved.
constexpr DWORD kDirectReadSize = 256 * 1024;

class CReadAhead {
  public:
    using Clock = std::chrono::steady_clock;

    CReadAhead() = default;
    ~CReadAhead();
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    // Copies into pch up to cb of the bytes read ahead that are still fresh
    // (they follow the handle's position); the count copied.
    DWORD TakeFresh(char* pch, DWORD cb);
    // Whether a read of cbWant at qwAt, of a file that ends at qwEnd, is
    // to be served by reading ahead into Buffer(): only once the handle
    // reads on, for pieces smaller than the read-ahead that the file does
    // not end within (there it would only add a copy), and with a buffer.
    // bFirstBuffer is set when the buffer was taken just now.
    bool ShouldReadAhead(DWORD cbWant, ULONGLONG qwAt, ULONGLONG qwEnd, bool& bFirstBuffer);
    char* Buffer() const { return m_pBuffer.get(); }
    // The buffer now holds cbFilled bytes read at tRead or later: copies the
    // first of them, up to cbWant, into pch and keeps the rest; the count
    // copied.
    DWORD Filled(Clock::time_point tRead, DWORD cbFilled, char* pch, DWORD cbWant);
    // A call asked for cbAsked and got cbDone: whether the handle reads on.
    void CallDone(DWORD cbAsked, DWORD cbDone);

    // The piece at qwAt, if the worker read it whole and it is still fresh:
    // it becomes the buffer and its first bytes, up to cbWant, go to pch;
    // the count copied. 0: the caller reads the piece itself.
    DWORD TakePrefetched(ULONGLONG qwAt, char* pch, DWORD cbWant);
    // After cbFilled bytes were read ahead at qwAt: if they filled the
    // buffer and a file of qwEnd bytes holds the next piece whole, the
    // worker reads it with pfnRead from pSource, which must outlive the read.
    void PrefetchNext(CPrefetch::PFNREAD pfnRead, void* pSource, ULONGLONG qwAt, DWORD cbFilled,
                      ULONGLONG qwEnd);
    // Waits for the worker's read, if any: before its source goes.
    void CancelPrefetch() { m_prefetch.Cancel(); }

  private:
    // m_pBuffer[m_ibNext, m_cbFilled) are the file's bytes from the handle's
    // position on, read at m_tRead or later.
    CAlignedBuffer m_pBuffer;
    DWORD m_ibNext = 0;
    DWORD m_cbFilled = 0;
    Clock::time_point m_tRead;
    // The last call filled its request. The first read of a handle is never
    // read ahead, so a small file costs one read, into the caller's buffer.
    bool m_bReadingOn = false;
    bool m_bNoMemory = false; // then every read goes straight to the file
    // The next piece, read by the worker into m_pSpare; the destructor
    // ends it before the buffers go back to the pool.
    CAlignedBuffer m_pSpare;
    CPrefetch m_prefetch;
};

} // namespace detail
} // namespace kvwin32
