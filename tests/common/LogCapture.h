// Capture of the trace records a test provokes.
#pragma once

#include "ZRLog.h"

#include <string>
#include <vector>

namespace kvtest {

// Records every trace record written while it lives (one at a time).
class LogCapture {
  public:
    struct Record {
        ZRLogLevel eLevel;
        int iDepth;
        std::wstring strText;
    };
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<Record>& Records() const { return m_records; }
    // The texts of one level, in order.
    std::vector<std::wstring> Texts(ZRLogLevel eLevel) const;
    // ERROR and INFO texts, in order: the messages a run wrote.
    std::vector<std::wstring> Messages() const;
    void Clear() { m_records.clear(); }

  private:
    static void Sink(void* pContext, ZRLogLevel eLevel, int iDepth, const wchar_t* pszText);
    std::vector<Record> m_records;
};

} // namespace kvtest
