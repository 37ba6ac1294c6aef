#include "host/ProblemEvent.h"

#include "host/FileState.h"
#include "host/NativeName.h"

#include <KorvaneChecksum.h>

#include <cstdio>
#include <system_error>

namespace kvtool {

namespace {

CEventFile FileOf(const std::wstring& strLibrary)
{
    return strLibrary.empty() ? CEventFile() : EventFileOf(NativeFromLibrary(strLibrary), strLibrary);
}

std::string ChecksumOf(const CEventFile& file)
{
    const DWORD dwSum = KorvaneFileChecksum(file.strWindows.c_str());
    // "Cannot open" is also a sum a file may have: ask the file itself.
    std::string strReason;
    if (dwSum == 0xFFFFFFFFUL && ExamineFile(file.path, strReason) != EFileState::Fine)
        return std::string();
    char sz[16];
    std::snprintf(sz, sizeof sz, "%08lx", static_cast<unsigned long>(dwSum));
    return sz;
}

} // namespace

CEventFile EventFileOf(const std::filesystem::path& pathNative, const std::wstring& strWindows)
{
    CEventFile file;
    file.path = pathNative;
    file.strWindows = strWindows;
    std::error_code ec;
    if (std::filesystem::is_regular_file(pathNative, ec)) {
        const auto ullSize = std::filesystem::file_size(pathNative, ec);
        if (!ec)
            file.llSize = static_cast<long long>(ullSize);
    }
    return file;
}

CProblemEvent ProblemEventFor(const CProblemReport& report, const char* pszAnswer)
{
    CProblemEvent event;
    event.eStatus = report.eStatus;
    event.strDetail = report.strDetail;
    event.pszAnswer = pszAnswer;
    event.disc = FileOf(report.strDisc);
    event.source = FileOf(report.strSource);
    // Same size, other content: the two sums show it. Otherwise the sizes say
    // it; and a file that did not read through has no sum, only a partial one.
    if (report.eStatus != EProblemStatus::Unreadable && event.disc.llSize >= 0 &&
        event.disc.llSize == event.source.llSize) {
        event.disc.strChecksum = ChecksumOf(event.disc);
        event.source.strChecksum = ChecksumOf(event.source);
    }
    return event;
}

} // namespace kvtool
