#include "host/CompareHost.h"

#include "output/StatusLine.h"
#include "output/Text.h"

#include <Korvane.h>
#include <KorvaneRevision.h>

#include <cwchar>
#include <fstream>
#include <system_error>

namespace kvtool {

const char* ClassifyPair(const std::filesystem::path& source, const std::filesystem::path& copy)
{
    std::error_code ec;
    const std::filesystem::file_status copyStatus = std::filesystem::status(copy, ec);
    if (!std::filesystem::exists(copyStatus))
        return "MISSING";
    const std::filesystem::file_status sourceStatus = std::filesystem::status(source, ec);
    if (!std::filesystem::exists(sourceStatus))
        return "MISSING-SOURCE";
    if (!std::filesystem::is_regular_file(copyStatus))
        return "NOT-A-FILE";
    std::error_code ecSource, ecCopy;
    if (std::filesystem::file_size(source, ecSource) != std::filesystem::file_size(copy, ecCopy) && !ecSource && !ecCopy)
        return "SIZE";
    if (!std::ifstream(source, std::ios::binary) || !std::ifstream(copy, std::ios::binary))
        return "UNREADABLE";
    return "CONTENT";
}

CCompareHost::CCompareHost(std::vector<CCopyPair> vecPairs, DWORD dwAnswer, CTextSink* pOut, CProgressLine* pProgress)
    : m_vecPairs(std::move(vecPairs)), m_dwAnswer(dwAnswer), m_pOut(pOut), m_pProgress(pProgress)
{
}

void CCompareHost::AddReportPath(const std::wstring& strLibraryPath, size_t iPair)
{
    m_mapReportPaths.emplace(strLibraryPath, iPair);
}

DWORD CALLBACK CCompareHost::Callback(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3)
{
    return static_cast<CCompareHost*>(pParam3)->OnCommand(uiCmd, static_cast<const wchar_t*>(pParam1), dwParam2);
}

size_t CCompareHost::FindPair(const std::wstring& strReported) const
{
    auto it = m_mapReportPaths.find(strReported);
    if (it != m_mapReportPaths.end())
        return it->second;
    // The report buffer cuts a long path: the pair whose path begins so.
    if (strReported.size() + 1 >= MAX_PATH)
        for (const auto& [strPath, iPair] : m_mapReportPaths)
            if (strPath.compare(0, strReported.size(), strReported) == 0)
                return iPair;
    return m_vecPairs.size();
}

DWORD CCompareHost::OnCommand(UINT uiCmd, const wchar_t* pszParam1, DWORD dwParam2)
{
    // Revision 1.1 says a pair was read with command 4, 1.0 a match with command 1.
    const UINT uiPairDone = KORVANE_REVISION >= 11 ? CRCVERIF_TARGETDONE : CRCVERIF_PROGRESS;
    if (uiCmd == uiPairDone)
        m_pProgress->Update(++m_ullChecked, m_vecPairs.size());
    if (uiCmd != CRCVERIF_FILEERROR)
        return 0;
    const std::wstring strReported = pszParam1 ? std::wstring(pszParam1, wcsnlen(pszParam1, MAX_PATH)) : std::wstring();
    const size_t iPair = FindPair(strReported);
    if (iPair == m_vecPairs.size()) {
        Report(dwParam2 == CRCVERIF_ERROR_MISSING ? "MISSING" : "CONTENT", NativePath(strReported));
    } else if (!m_vecPairs[iPair].bReported) {
        CCopyPair& pair = m_vecPairs[iPair];
        pair.bReported = true;
        Report(ClassifyPair(pair.source, pair.copy), pair.copy);
    }
    return m_dwAnswer;
}

void CCompareHost::Report(const char* pszStatus, const std::filesystem::path& path)
{
    m_pProgress->Clear();
    ++m_uProblems;
    m_pOut->Write(StatusLine(pszStatus, Utf8FromWide(WideFromNative(path.generic_wstring()))));
}

} // namespace kvtool
