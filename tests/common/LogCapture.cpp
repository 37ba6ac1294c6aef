#include "LogCapture.h"

namespace kvtest {

LogCapture::LogCapture()
{
    CZRLog::GetInstance()->SetSink(&LogCapture::Sink, this);
}
LogCapture::~LogCapture()
{
    CZRLog::GetInstance()->SetSink(nullptr, nullptr);
}

void LogCapture::Sink(void* pContext, ZRLogLevel eLevel, int iDepth, const wchar_t* pszText)
{
    static_cast<LogCapture*>(pContext)->m_records.push_back({eLevel, iDepth, pszText});
}

std::vector<std::wstring> LogCapture::Texts(ZRLogLevel eLevel) const
{
    std::vector<std::wstring> out;
    for (const Record& r : m_records)
        if (r.eLevel == eLevel)
            out.push_back(r.strText);
    return out;
}

std::vector<std::wstring> LogCapture::Messages() const
{
    std::vector<std::wstring> out;
    for (const Record& r : m_records)
        if (r.eLevel == ZRLOG_ERROR || r.eLevel == ZRLOG_INFO)
            out.push_back(r.strText);
    return out;
}

} // namespace kvtest
