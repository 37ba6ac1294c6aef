// One worker thread for the whole process serves every handle's next
// piece, in the order asked; it is made on first use and never ends, so a
// handle pays no thread of its own.
#include "Prefetch.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace kvwin32 {
namespace detail {
namespace {

using CJob = CPrefetch::CJob;
using EState = CJob::EState;

// A handoff through the kernel (a futex wait and wake, a switch of tasks)
// costs more than reading a piece, so both sides first wait this long
// without sleeping: about the time a piece takes to read.
constexpr auto kSpinTime = std::chrono::microseconds(100);

// Pauses before the first yield: a few microseconds.
constexpr unsigned kPauses = 256;

inline void CpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Spins until bDone() or kSpinTime has passed; whether bDone() held. Past
// the first microseconds it yields too: on a machine whose other cores are
// busy the side it waits for may need this very core.
template <class Pred> bool SpinFor(Pred bDone)
{
    const auto tEnd = CPrefetch::Clock::now() + kSpinTime;
    for (unsigned i = 0;; ++i) {
        if (bDone())
            return true;
        if (i < kPauses) {
            CpuRelax();
            continue;
        }
        std::this_thread::yield();
        if (CPrefetch::Clock::now() > tEnd)
            return false;
    }
}

// A wait that spun in vain is followed by kSleepsAfterMiss waits that
// sleep at once: the side waited for is short of a core (the machine is
// busy), and spinning would only take more from it.
constexpr unsigned kSleepsAfterMiss = 16;

class CSpinPolicy {
  public:
    // Whether bDone() came true while spinning; false: sleep on it.
    template <class Pred> bool Spin(Pred bDone)
    {
        const unsigned cSleeps = m_cSleeps.load(std::memory_order_relaxed);
        if (cSleeps != 0) {
            m_cSleeps.store(cSleeps - 1, std::memory_order_relaxed);
            return false;
        }
        if (SpinFor(bDone))
            return true;
        m_cSleeps.store(kSleepsAfterMiss, std::memory_order_relaxed);
        return false;
    }

  private:
    std::atomic<unsigned> m_cSleeps{0}; // a hint: a lost update costs nothing
};

class CWorker {
  public:
    // The worker, null when its thread cannot be made. The first call makes it.
    static CWorker* Instance()
    {
        static CWorker* const s_pWorker = Make(); // never destroyed: handles may outlive statics
        return s_pWorker;
    }
    // The worker to post to: none in the child of a fork.
    static CWorker* Get()
    {
        CWorker* pWorker = Instance();
        return pWorker && !pWorker->m_bGone ? pWorker : nullptr;
    }

    void Post(CJob& job)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            job.eState = EState::Queued;
            job.uFork = m_uFork;
            job.pNext = nullptr;
            *m_ppTail = &job;
            m_ppTail = &job.pNext;
            m_bQueued.store(true, std::memory_order_release);
        }
        m_cvWork.notify_one();
    }

    // Whether the job ran: one still queued is taken off the queue instead.
    bool Finish(CJob& job)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (job.uFork != m_uFork) { // posted in the parent of a fork
                job.eState = EState::Idle;
                return false;
            }
            if (job.eState == EState::Queued) {
                Unlink(job);
                job.eState = EState::Idle;
                return false;
            }
        }
        auto bDone = [&job] { return job.eState.load(std::memory_order_acquire) == EState::Done; };
        if (!m_callerSpin.Spin(bDone)) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cvDone.wait(lock, bDone);
        }
        job.eState = EState::Idle;
        return true;
    }

  private:
    static CWorker* Make()
    {
        CWorker* pWorker = new CWorker;
        try {
            std::thread(&CWorker::Run, pWorker).detach();
        } catch (const std::system_error&) {
            delete pWorker;
            return nullptr;
        }
        s_pForkable = pWorker;
        ::pthread_atfork(&BeforeFork, &AfterForkInParent, &AfterForkInChild);
        return pWorker;
    }

    // A fork copies the queue but not the thread: the child's handles must
    // not wait for reads nobody will make, nor find the queue locked.
    static void BeforeFork() { s_pForkable->m_mutex.lock(); }
    static void AfterForkInParent() { s_pForkable->m_mutex.unlock(); }
    static void AfterForkInChild()
    {
        // What the worker wrote while the process was copied may be there
        // in part: no job posted before the fork is used in the child.
        CWorker& worker = *s_pForkable;
        worker.m_pHead = nullptr;
        worker.m_ppTail = &worker.m_pHead;
        worker.m_bQueued.store(false, std::memory_order_relaxed);
        ++worker.m_uFork;
        worker.m_bGone = true;
        worker.m_mutex.unlock();
    }

    void Unlink(CJob& job)
    {
        CJob** pp = &m_pHead;
        while (*pp != &job)
            pp = &(*pp)->pNext;
        *pp = job.pNext;
        if (m_ppTail == &job.pNext)
            m_ppTail = pp;
        m_bQueued.store(m_pHead != nullptr, std::memory_order_relaxed);
    }

    [[noreturn]] void Run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            if (!m_pHead) {
                lock.unlock();
                m_workerSpin.Spin([this] { return m_bQueued.load(std::memory_order_acquire); });
                lock.lock();
            }
            m_cvWork.wait(lock, [this] { return m_pHead != nullptr; });
            CJob& job = *m_pHead;
            Unlink(job);
            job.eState = EState::Running;
            lock.unlock();
            job.tRead = CPrefetch::Clock::now();
            job.cbRead = job.pfnRead(job.pSource, job.qwAt, job.pch, job.cb);
            lock.lock();
            job.eState.store(EState::Done, std::memory_order_release);
            m_cvDone.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cvWork;
    std::condition_variable m_cvDone;
    CJob* m_pHead = nullptr;
    CJob** m_ppTail = &m_pHead;
    std::atomic<bool> m_bQueued{false}; // m_pHead is set: read while spinning
    unsigned m_uFork = 0;               // forks this process is the child of
    bool m_bGone = false;               // in the child of a fork: no thread
    static CWorker* s_pForkable;
    CSpinPolicy m_callerSpin;
    CSpinPolicy m_workerSpin;
};

CWorker* CWorker::s_pForkable = nullptr;

} // namespace

bool CPrefetch::Start(PFNREAD pfnRead, void* pSource, ULONGLONG qwAt, char* pch, DWORD cb)
{
    Cancel();
    CWorker* pWorker = CWorker::Get();
    if (!pWorker)
        return false;
    m_job.pfnRead = pfnRead;
    m_job.pSource = pSource;
    m_job.qwAt = qwAt;
    m_job.pch = pch;
    m_job.cb = cb;
    pWorker->Post(m_job);
    m_bPosted = true;
    return true;
}

bool CPrefetch::Take(ULONGLONG qwAt, Clock::time_point& tRead)
{
    if (!m_bPosted)
        return false;
    m_bPosted = false;
    const bool bRan = CWorker::Instance()->Finish(m_job);
    tRead = m_job.tRead;
    // A short read (the end, or a file that shrank) or a failed one is
    // read again by the caller, who then hears the end or the error itself.
    return bRan && m_job.qwAt == qwAt && m_job.cbRead == static_cast<long long>(m_job.cb);
}

void CPrefetch::Cancel()
{
    if (m_bPosted)
        CWorker::Instance()->Finish(m_job);
    m_bPosted = false;
}

} // namespace detail
} // namespace kvwin32
