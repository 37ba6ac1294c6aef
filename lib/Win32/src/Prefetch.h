// The next piece of a regular file read on a thread of the layer's own
// while the caller sums the piece before it: the kernel's copy out of the
// page cache then overlaps the caller's work instead of adding to it.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>

namespace kvwin32 {
namespace detail {

class CPrefetch {
  public:
    using Clock = std::chrono::steady_clock;

    CPrefetch() = default;
    ~CPrefetch() { Cancel(); }
    CPrefetch(const CPrefetch&) = delete;
    CPrefetch& operator=(const CPrefetch&) = delete;

    // Reads cb bytes at qwAt of pSource into pch: the count read, or -1
    // when the read failed. Called on the worker thread.
    typedef long long (*PFNREAD)(void* pSource, ULONGLONG qwAt, char* pch, DWORD cb);

    // Starts a read of cb bytes at qwAt of pSource into pch, which must
    // stay untouched, as pSource must stay, until Take or Cancel. False
    // when no thread can be had; then the caller reads for itself.
    bool Start(PFNREAD pfnRead, void* pSource, ULONGLONG qwAt, char* pch, DWORD cb);
    // Ends the read started, waiting for it if it is under way. True when
    // it was the read of qwAt and read its whole count, at tRead or later.
    bool Take(ULONGLONG qwAt, Clock::time_point& tRead);
    // Ends the read started, if any, without its bytes: before the
    // descriptor is closed or the buffer freed.
    void Cancel();

    struct CJob {
        enum class EState { Idle, Queued, Running, Done };
        PFNREAD pfnRead = nullptr;
        void* pSource = nullptr;
        ULONGLONG qwAt = 0;
        char* pch = nullptr;
        DWORD cb = 0;
        long long cbRead = 0;
        Clock::time_point tRead;
        std::atomic<EState> eState{EState::Idle};
        unsigned uFork = 0; // the worker's count of forks when posted
        CJob* pNext = nullptr;
    };

  private:
    CJob m_job;
    bool m_bPosted = false; // m_job is the worker's until Take or Cancel
};

} // namespace detail
} // namespace kvwin32
