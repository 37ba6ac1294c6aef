#include "output/EventLog.h"

#include "output/JsonEvent.h"
#include "output/Results.h"
#include "output/Text.h"

#include <cstdio>

namespace kvtool {

namespace {

// "name":value pairs, comma-separated, for one object.
class CFields {
  public:
    CFields& Raw(const char* pszName, const std::string& strJson)
    {
        m_str += (m_str.empty() ? "\"" : ",\"") + std::string(pszName) + "\":" + strJson;
        return *this;
    }
    CFields& Text(const char* pszName, const std::wstring& str) { return Raw(pszName, JsonString(str)); }
    CFields& Utf8(const char* pszName, const std::string& str) { return Text(pszName, WideFromUtf8(str)); }
    CFields& TextOrNull(const char* pszName, const std::wstring& str)
    {
        return str.empty() ? Raw(pszName, "null") : Text(pszName, str);
    }
    CFields& Utf8OrNull(const char* pszName, const std::string& str)
    {
        return str.empty() ? Raw(pszName, "null") : Utf8(pszName, str);
    }
    CFields& PathOrNull(const char* pszName, const std::filesystem::path& path)
    {
        return path.empty() ? Raw(pszName, "null") : Utf8(pszName, ShownNative(path));
    }
    CFields& Number(const char* pszName, long long ll) { return Raw(pszName, std::to_string(ll)); }
    // A count or size that may be unknown (negative).
    CFields& Count(const char* pszName, long long ll)
    {
        return ll < 0 ? Raw(pszName, "null") : Number(pszName, ll);
    }
    const std::string& Str() const { return m_str; }
    std::string Object() const { return "{" + m_str + "}"; }

  private:
    // The path with "/" as on Linux; Windows keeps its own separator, as
    // its users write paths.
    static std::string ShownNative(const std::filesystem::path& path)
    {
        return Utf8FromWide(WideFromNative(path));
    }
    std::string m_str;
};

std::string FileObject(const CEventFile& file)
{
    CFields f;
    f.PathOrNull("path", file.path)
        .TextOrNull("windows", file.strWindows)
        .Count("size", file.llSize)
        .Utf8OrNull("checksum", file.strChecksum);
    return f.Object();
}

} // namespace

const char* AnswerName(unsigned long dwAnswer, int iRevision)
{
    switch (dwAnswer) {
    case 0:
        return "skip";
    case 1:
        return "fail";
    // Revision 1.0 takes 2 as a skip.
    case 2:
        return iRevision >= 11 ? "abort" : "skip";
    default:
        return nullptr;
    }
}

void CEventLog::Write(const std::string& strFields)
{
    m_pSink->Write("{\"version\":" + std::to_string(kiEventsVersion) + "," + strFields + "}\n");
}

void CEventLog::Start(const CStartEvent& start)
{
    CFields f;
    f.Raw("kind", "\"start\"")
        .Utf8("command", start.strCommand)
        .Raw("tool_version", JsonString(WideFromUtf8(KORVANE_TOOL_VERSION)));
    if (start.iRevision)
        f.Number("revision", start.iRevision);
    else
        f.Raw("revision", "null");
    CFields list;
    list.PathOrNull("path", start.list).TextOrNull("windows", start.strListWindows);
    f.Raw("list", list.Object());
    if (start.wcDrive) {
        CFields drive;
        drive.Text("letter", std::wstring(1, start.wcDrive)).PathOrNull("path", start.drive);
        f.Raw("drive", drive.Object());
    } else {
        f.Raw("drive", "null");
    }
    f.PathOrNull("root", start.root).Raw("checksum_kind", JsonString(WideFromUtf8(start.pszChecksum)));
    Write(f.Str());
}

void CEventLog::Progress(unsigned uDone, unsigned uTotal, bool bFiles)
{
    CFields f;
    f.Raw("kind", "\"progress\"")
        .Number("done", uDone)
        .Number("total", uTotal)
        .Raw("unit", bFiles ? "\"files\"" : "\"MiB\"");
    Write(f.Str());
}

void CEventLog::Problem(const CProblemEvent& problem)
{
    CFields f;
    f.Raw("kind", "\"problem\"")
        .Utf8("status", ProblemStatusText(problem.eStatus))
        .Utf8OrNull("detail", problem.strDetail)
        .Raw("disc", FileObject(problem.disc))
        .Raw("source", FileObject(problem.source))
        .Raw("answer",
             problem.pszAnswer ? "\"" + std::string(problem.pszAnswer) + "\"" : std::string("null"));
    Write(f.Str());
}

void CEventLog::End(long long llFilesListed)
{
    CFields f;
    f.Raw("kind", "\"end\"").Count("files_listed", llFilesListed);
    Write(f.Str());
}

void CEventLog::Summary(const CRunSummary& sum)
{
    CFields byStatus;
    for (int i = 0; i < kiProblemStatuses; ++i)
        byStatus.Number(ProblemStatusText(static_cast<EProblemStatus>(i)), sum.auStatus[i]);
    char szElapsed[32];
    std::snprintf(szElapsed, sizeof szElapsed, "%.3f", sum.dElapsed);
    CFields f;
    f.Raw("kind", "\"summary\"")
        .Count("entries", sum.llEntries)
        .Count("files_listed", sum.llFilesListed)
        .Number("files_checked", sum.uFilesChecked)
        .Number("problems", sum.uProblemPairs)
        .Number("reports", sum.uReports)
        .Raw("by_status", byStatus.Object());
    // Revision 1.0 and check count files, not bytes.
    if (sum.bLibrary && sum.iRevision >= 11)
        f.Number("read_mib", sum.uDone);
    else
        f.Raw("read_mib", "null");
    f.Raw("elapsed_seconds", szElapsed);
    if (sum.bLibrary)
        f.Utf8("result", ResultText(sum.hr));
    else
        f.Raw("result", "null");
    f.Number("exit_status", sum.verdict.iExit).Utf8OrNull("reason", sum.verdict.strReason);
    Write(f.Str());
}

} // namespace kvtool
