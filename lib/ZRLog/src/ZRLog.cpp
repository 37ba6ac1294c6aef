// The process-wide trace writer: one lock, a destination, a sink, and the
// open entries of each thread.
#include "ZRLogInternal.h"
#include "ZRString.h"

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

// CZRLog's exported layout is empty, so its state lives here.
struct CLogState {
    CLogState()
    {
        m_destination.OpenFromEnvironment();
        UpdateEnabled();
    }

    // Called under the lock after any change of destination or sink. When
    // nothing listens any more the open entries are dropped: while off the
    // logger keeps nothing, so when it comes back on, nesting starts at 0.
    void UpdateEnabled()
    {
        const bool bEnabled = m_destination.IsOpen() || m_pfnSink != nullptr;
        if (!bEnabled)
            m_mapOpenEntries.clear();
        m_bEnabled.store(bEnabled);
    }

    std::mutex m_mutex;
    // Read without the lock so that a disabled logger costs one load.
    std::atomic<bool> m_bEnabled{false};
    zrlog::CLogDestination m_destination;
    PFNZRLOGSINK m_pfnSink = nullptr;
    void* m_pSinkContext = nullptr;
    // The texts of each thread's open EnterFunction calls. Kept here rather
    // than in thread_local storage so that they can all be dropped when
    // logging goes off, and so that no per-thread destructor can outlive an
    // unloaded library. A thread that ends with entries still open leaves
    // them here until then.
    std::unordered_map<std::thread::id, std::vector<std::wstring>> m_mapOpenEntries;
};

// Never destroyed: destructors of static objects elsewhere may still trace
// while the process ends.
CLogState& State()
{
    static CLogState* const s_pState = new CLogState();
    return *s_pState;
}

// Set while this thread runs the sink: a sink that logs or changes the
// logger would otherwise deadlock on the lock it already holds.
thread_local bool t_bInSink = false;

bool IsListening(const CLogState& state)
{
    return !t_bInSink && state.m_bEnabled.load(std::memory_order_relaxed);
}

// Tracing must never break the caller: a failure to allocate or a throwing
// sink costs the record, nothing more.
template <typename TBody> void Guarded(TBody body)
{
    try {
        body();
    } catch (...) {
    }
}

// Writes one record to the destination and the sink; the lock is held.
void Emit(CLogState& state, ZRLogLevel eLevel, int iDepth, const wchar_t* pszText)
{
    if (state.m_destination.IsOpen())
        state.m_destination.Write(zrlog::FormatRecordLine(eLevel, iDepth, pszText));
    if (state.m_pfnSink) {
        struct CInSink {
            CInSink() { t_bInSink = true; }
            ~CInSink() { t_bInSink = false; }
        } inSink;
        state.m_pfnSink(state.m_pSinkContext, eLevel, iDepth, pszText);
    }
}

void FormatText(CZRString& strText, const wchar_t* pszFormat, va_list args)
{
    if (pszFormat)
        strText.FormatV(pszFormat, args);
}

// A message (ERROR, INFO) at the calling thread's current depth.
void WriteMessageV(ZRLogLevel eLevel, const wchar_t* pszFormat, va_list args)
{
    Guarded([&] {
        CZRString strText;
        FormatText(strText, pszFormat, args);
        CLogState& state = State();
        std::lock_guard<std::mutex> lock(state.m_mutex);
        if (!state.m_bEnabled.load())
            return;
        const auto it = state.m_mapOpenEntries.find(std::this_thread::get_id());
        const int iDepth = it == state.m_mapOpenEntries.end() ? 0 : static_cast<int>(it->second.size());
        Emit(state, eLevel, iDepth, strText);
    });
}

// Opens an entry on the calling thread and writes its ENTER record.
void WriteEnterV(const wchar_t* pszFormat, va_list args)
{
    Guarded([&] {
        CZRString strText;
        FormatText(strText, pszFormat, args);
        CLogState& state = State();
        std::lock_guard<std::mutex> lock(state.m_mutex);
        if (!state.m_bEnabled.load())
            return;
        std::vector<std::wstring>& vecEntries = state.m_mapOpenEntries[std::this_thread::get_id()];
        const int iDepth = static_cast<int>(vecEntries.size());
        vecEntries.emplace_back(static_cast<const wchar_t*>(strText));
        Emit(state, ZRLOG_ENTER, iDepth, strText);
    });
}

// Closes the calling thread's innermost entry and writes its EXIT record,
// whose text makeText builds from the entry's text. An exit without an open
// entry (unbalanced, or logging switched on in between) closes an empty
// entry at depth 0.
template <typename TMakeText> void WriteExit(TMakeText makeText)
{
    CLogState& state = State();
    std::lock_guard<std::mutex> lock(state.m_mutex);
    if (!state.m_bEnabled.load())
        return;
    std::wstring strEntry;
    int iDepth = 0;
    const auto it = state.m_mapOpenEntries.find(std::this_thread::get_id());
    if (it != state.m_mapOpenEntries.end()) {
        strEntry = std::move(it->second.back());
        it->second.pop_back();
        iDepth = static_cast<int>(it->second.size());
        if (it->second.empty())
            state.m_mapOpenEntries.erase(it);
    }
    const CZRString strText = makeText(strEntry.c_str());
    Emit(state, ZRLOG_EXIT, iDepth, strText);
}

} // namespace

CZRLog::CZRLog()
{
    State();
}

CZRLog* CZRLog::GetInstance()
{
    // Holds no data and has a trivial destructor: nothing to release.
    static CZRLog s_log;
    return &s_log;
}

void CZRLog::EnterFunction(const wchar_t* pszFormat, ...)
{
    if (!IsListening(State()))
        return;
    va_list args;
    va_start(args, pszFormat);
    WriteEnterV(pszFormat, args);
    va_end(args);
}

int CZRLog::ExitFunction(int iResult)
{
    if (IsListening(State())) {
        Guarded([&] {
            WriteExit([&](const wchar_t* pszEntry) {
                CZRString strText;
                strText.Format(L"%s -> 0x%08X", pszEntry, static_cast<unsigned int>(iResult));
                return strText;
            });
        });
    }
    return iResult;
}

__int64 CZRLog::ExitFunction(__int64 iResult)
{
    if (IsListening(State())) {
        Guarded([&] {
            WriteExit([&](const wchar_t* pszEntry) {
                CZRString strText;
                strText.Format(L"%s -> %lld", pszEntry, static_cast<long long>(iResult));
                return strText;
            });
        });
    }
    return iResult;
}

const wchar_t* CZRLog::ExitFunction(const wchar_t* pszText)
{
    if (IsListening(State())) {
        // The text is the entry's own, so the record shows it once.
        Guarded([&] { WriteExit([&](const wchar_t*) { return CZRString(pszText ? pszText : L""); }); });
    }
    return pszText;
}

void CZRLog::AddError(const wchar_t* pszFormat, ...)
{
    if (!IsListening(State()))
        return;
    va_list args;
    va_start(args, pszFormat);
    WriteMessageV(ZRLOG_ERROR, pszFormat, args);
    va_end(args);
}

void CZRLog::AddInfo(const wchar_t* pszFormat, ...)
{
    if (!IsListening(State()))
        return;
    va_list args;
    va_start(args, pszFormat);
    WriteMessageV(ZRLOG_INFO, pszFormat, args);
    va_end(args);
}

BOOL CZRLog::SetDestination(const wchar_t* pszPath)
{
    if (t_bInSink)
        return FALSE;
    CLogState& state = State();
    BOOL bOpened = FALSE;
    Guarded([&] {
        std::lock_guard<std::mutex> lock(state.m_mutex);
        bOpened = state.m_destination.Open(pszPath);
        state.UpdateEnabled();
    });
    return bOpened;
}

void CZRLog::SetSink(PFNZRLOGSINK pfnSink, void* pContext)
{
    if (t_bInSink)
        return;
    CLogState& state = State();
    std::lock_guard<std::mutex> lock(state.m_mutex);
    state.m_pfnSink = pfnSink;
    state.m_pSinkContext = pfnSink ? pContext : nullptr;
    state.UpdateEnabled();
}

BOOL CZRLog::IsEnabled() const
{
    return IsListening(State()) ? TRUE : FALSE;
}
