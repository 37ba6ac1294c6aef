// --events: what a run did, one JSON object per line, in the versioned
// layout docs/events.md describes (docs/events.schema.json checks it).
// Every record carries "version" and "kind"; a run writes one start, its
// progress, one problem per file pair with a problem, an end when the list
// was gone through, and one summary last.
#pragma once

#include "output/Console.h"
#include "output/ProblemLine.h"
#include "output/Summary.h"

#include <filesystem>
#include <string>

namespace kvtool {

// Raised only when the layout changes in a way a reader must know about;
// fields may be added within a version.
const int kiEventsVersion = 1;

// One file of a pair, as far as it is known.
struct CEventFile {
    std::filesystem::path path; // native; empty: unknown
    std::wstring strWindows;    // as the library names it; empty: none
    long long llSize = -1;      // -1: unknown
    std::string strChecksum;    // empty: unknown
};

struct CProblemEvent {
    EProblemStatus eStatus = EProblemStatus::Content;
    std::string strDetail; // UTF-8; empty: none
    CEventFile disc;
    CEventFile source;
    // What the answer was: "skip", "fail", "abort"; null: no answer (a
    // problem the tool found itself).
    const char* pszAnswer = nullptr;
};

struct CStartEvent {
    std::string strCommand; // "verify", "compare", "check", "demo"
    int iRevision = 11;     // the library's; 0 for a run without it (check)
    // What lists the files: the description or the manifest.
    std::filesystem::path list;
    std::wstring strListWindows;
    wchar_t wcDrive = 0;         // 0: none
    std::filesystem::path drive; // the folder, image or device it is mapped to
    std::filesystem::path root;  // check: the folder the manifest's paths start at
    // "sha256" for a manifest, "crc32-sum" for the library's checksum.
    const char* pszChecksum = "crc32-sum";
};

class CEventLog {
  public:
    explicit CEventLog(CTextSink* pSink) : m_pSink(pSink) {}

    void Start(const CStartEvent& start);
    // bFiles: done and total count files (revision 1.0, check), else MiB.
    void Progress(unsigned uDone, unsigned uTotal, bool bFiles);
    void Problem(const CProblemEvent& problem);
    // The library's end of the list (command 2): the files it listed.
    void End(long long llFilesListed);
    void Summary(const CRunSummary& sum);

  private:
    void Write(const std::string& strFields);
    CTextSink* m_pSink;
};

// A CRCVERIF answer as the record names it: "skip", "fail", "abort", or
// null for one the protocol does not know.
const char* AnswerName(unsigned long dwAnswer, int iRevision);

} // namespace kvtool
