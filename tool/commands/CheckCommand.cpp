#include "commands/CheckCommand.h"

#include "commands/CommandLine.h"
#include "commands/OutputFiles.h"
#include "description/DriveWalk.h"
#include "description/FileWalk.h"
#include "description/Manifest.h"
#include "host/CopySpelling.h"
#include "host/DriveMap.h"
#include "host/HostPath.h"
#include "host/Interrupt.h"
#include "host/NativeName.h"
#include "host/ProblemEvent.h"
#include "host/Sha256.h"
#include "output/Console.h"
#include "output/EventLog.h"
#include "output/ProblemLine.h"
#include "output/ProgressDisplay.h"
#include "output/Results.h"
#include "output/Summary.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <windows.h>

#include <chrono>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <system_error>

namespace kvtool {

namespace {

EProblemStatus StatusOf(EHashResult eResult)
{
    switch (eResult) {
    case EHashResult::Missing:
        return EProblemStatus::Missing;
    case EHashResult::NotAFile:
        return EProblemStatus::NotAFile;
    default:
        return EProblemStatus::Unreadable;
    }
}

#if !defined(_WIN32)
// A root that is a disc image or a disc's device is read as the disc of a
// drive the Win32 layer maps to it ("K:"); "" for a folder.
std::wstring DriveForRoot(const std::filesystem::path& root)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(root, ec);
    if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_block_file(status))
        return std::wstring();
    const std::wstring strDrive =
        std::wstring(1, MapFreeDrive("check", WideFromNative(root)).wcLetter) + L":";
    if (GetFileAttributesW((strDrive + L"\\").c_str()) == INVALID_FILE_ATTRIBUTES)
        throw CUsageError("check: root " + EscapeControls(ShownPath(root)) +
                          " holds no disc this build can read");
    return strDrive;
}

// The whole of a file on such a drive; false when it is not there or cannot
// be read, bMissing telling which.
bool ReadOnDrive(const std::wstring& strLibraryPath, std::string& strBytes, bool& bMissing)
{
    HANDLE h = CreateFileW(strLibraryPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    const DWORD dwError = GetLastError();
    bMissing =
        h == INVALID_HANDLE_VALUE && (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const std::unique_ptr<void, decltype(&CloseHandle)> closer(h, &CloseHandle);
    char buffer[64 * 1024];
    DWORD cb = 0;
    while (ReadFile(h, buffer, sizeof buffer, &cb, nullptr)) {
        if (cb == 0)
            return true;
        strBytes.append(buffer, cb);
    }
    return false;
}

#endif

} // namespace

int CheckCommand(const std::vector<std::wstring>& vecArgs)
{
    CParsedArgs args = ParseArgs(vecArgs, {{L"root", true, false},
                                           {L"quiet", false, false},
                                           {L"status", false, false},
                                           {L"events", true, false}});
    if (args.Positionals().size() != 1)
        throw CUsageError("check: give one MANIFEST");
    const bool bQuiet = args.Has(L"quiet");
    const bool bStatus = args.Has(L"status");
    if (bQuiet && bStatus)
        throw CUsageError("check: give --quiet or --status, not both");
    std::filesystem::path manifest = AbsoluteNative(args.Positionals().front());
    std::error_code ec;
    const std::filesystem::file_status manifestStatus = std::filesystem::status(manifest, ec);
    if (std::filesystem::is_directory(manifestStatus))
        throw CUsageError("check: " + EscapeControls(ShownPath(manifest)) +
                          " is a folder; give the manifest file in it");
    // A pipe (<(...)) or a device has no folder that could be the root.
    if (std::filesystem::exists(manifestStatus) && !std::filesystem::is_regular_file(manifestStatus) &&
        !args.Has(L"root"))
        throw CUsageError("check: " + EscapeControls(ShownPath(manifest)) +
                          " is not a file; give --root, the folder or disc it describes");
    std::ifstream file(manifest, std::ios::binary);
    const int iOpenError = errno;
    const std::filesystem::path root =
        args.Has(L"root") ? AbsoluteNative(*args.Value(L"root")) : manifest.parent_path();
    std::wstring strDrive; // the drive a disc image is read through; "" for a folder
#if !defined(_WIN32)
    strDrive = DriveForRoot(root);
#endif
    if (strDrive.empty() && !std::filesystem::is_directory(root, ec))
        throw CUsageError("check: root " + EscapeControls(ShownPath(root)) + " is not a folder");
    std::istringstream onDisc;
    std::istream* pIn = &file;
    if (!file) {
        std::string strAlso; // where else it was looked for
#if !defined(_WIN32)
        // A manifest burned with the disc, on an image or a device that is not
        // mounted: the path as given is read below the root.
        const std::filesystem::path given = NativePath(args.Positionals().front()).lexically_normal();
        const std::string strGiven = RelText(given);
        if (iOpenError == ENOENT && !strDrive.empty() && given.is_relative() &&
            strGiven.rfind("..", 0) != 0) {
            std::string strBytes;
            bool bMissing = false;
            const std::string strOnDisc = EscapeControls(ShownPath(root / given));
            if (ReadOnDrive(strDrive + L"\\" + LibraryRelPath(strGiven), strBytes, bMissing)) {
                manifest = root / given;
                onDisc.str(std::move(strBytes));
                pIn = &onDisc;
            } else {
                // What a damaged disc says on Linux.
                strAlso = bMissing ? ", nor " + strOnDisc : "; " + strOnDisc + ": " + SystemMessage(EIO);
            }
        }
#endif
        if (pIn != &onDisc)
            throw std::runtime_error("check: cannot open " + EscapeControls(ShownPath(manifest)) + ": " +
                                     std::strerror(iOpenError) + strAlso);
    }
    const std::string strManifest = ShownPath(manifest);

    std::wstring strEvents;
    if (const std::wstring* pstrEvents = args.Value(L"events"))
        strEvents = *pstrEvents == L"-" ? *pstrEvents : WideFromNative(AbsoluteNative(*pstrEvents));
    // Below the root, the events file would be read as one more file.
    RefuseInput("check", "events", strEvents,
                strDrive.empty() ? CRunInputs{{manifest}, {root}, {}} : CRunInputs{{manifest, root}, {}, {}});
    const COutputFile events = OpenOutput("check", "events", strEvents);
    // With events on standard output, the lines for people go to standard error.
    CFileSink out(events.get() == stdout ? stderr : stdout);
    CFileSink err(stderr);
    std::unique_ptr<CFileSink> eventSink;
    std::unique_ptr<CEventLog> eventLog;
    if (events) {
        eventSink = std::make_unique<CFileSink>(events.get(), Utf8FromWide(strEvents));
        eventLog = std::make_unique<CEventLog>(eventSink.get());
        CStartEvent start;
        start.strCommand = "check";
        start.iRevision = 0;
        start.list = manifest;
        start.root = root;
        start.pszChecksum = "sha256";
        eventLog->Start(start);
    }
    CNullSink nothing;
    CTextSink* pOut = bStatus ? static_cast<CTextSink*>(&nothing) : &out;
    CTextSink* pErr = bStatus ? static_cast<CTextSink*>(&nothing) : &err;
    CRunFacts facts;
    facts.pszList = "manifest";
    std::vector<CManifestEntry> vecEntries;
    std::vector<std::string> vecOtherDigests; // files that lines of another digest name
    std::string strLine;
    for (unsigned uLine = 1; std::getline(*pIn, strLine); ++uLine) {
        if (uLine == 1 && strLine.compare(0, 3, "\xEF\xBB\xBF") == 0)
            strLine.erase(0, 3);                  // UTF-8's byte order mark, as Windows editors may write it
        if (strLine.empty() || strLine[0] == '#') // sha256sum -c passes over comments too
            continue;
        CManifestEntry entry;
        std::string strDigest;
        const bool bParsed = ParseManifestLine(strLine, entry);
        const bool bOther = !bParsed && OtherDigestLine(strLine, entry, strDigest);
        const bool bOutside = (bParsed || bOther) && LeavesRoot(entry.strPath);
        if (bParsed && !bOutside)
            vecEntries.push_back(entry);
        else if (bOther && !bOutside)
            vecOtherDigests.push_back(entry.strPath);
        if ((!bParsed || bOutside) && facts.strUnreadable.empty())
            facts.strUnreadable = EscapeControls(strManifest) + ":" + std::to_string(uLine) + ": " +
                                  (bOutside ? "a path outside the root"
                                   : bOther ? "not a SHA-256 line (" + strDigest + ")"
                                            : "not a SHA-256 line");
    }

    const auto start = std::chrono::steady_clock::now();
    CatchInterrupt();
    CProgressDisplay progress(pErr, !bQuiet && !bStatus, IsTerminal(stderr),
                              IsTerminal(stderr) ? TerminalColumns() : 80);
    CRunSummary sum;
    sum.bLibrary = false;
    // strActual/strExpected: the digests, for the events; empty when unknown.
    auto report = [&](EProblemStatus eStatus, const std::filesystem::path& path, const std::string& strDetail,
                      const std::string& strActual = std::string(),
                      const std::string& strExpected = std::string()) {
        progress.Clear();
        ++sum.uProblemPairs;
        ++sum.auStatus[static_cast<int>(eStatus)];
        pOut->Write(FormatProblemLine(eStatus, ShownPath(path), strDetail) + "\n");
        progress.Redraw();
        if (eventLog) {
            CProblemEvent problem;
            problem.eStatus = eStatus;
            problem.strDetail = strDetail;
            problem.disc = EventFileOf(path, std::wstring());
            problem.disc.strChecksum = strActual;
            // The manifest stands for the source: its digest is all it knows.
            problem.source.strChecksum = strExpected;
            eventLog->Problem(problem);
        }
    };
    progress.Begin(static_cast<unsigned>(vecEntries.size()), true);
    std::set<std::string> setListed; // as the root spells them
    CCopySpelling spelling(strDrive + L"\\");
    // A disc matches names as Windows does; the walk below sees its spelling.
    const auto listed = [&](const std::string& strRel) {
        const std::string strFound = strDrive.empty() ? std::string() : spelling.Find(strRel);
        setListed.insert(strFound.empty() ? strRel : strFound);
    };
    // Not checked, and the run fails for them; but they are no EXTRA files.
    for (const std::string& strPath : vecOtherDigests)
        listed(RelText(NativeFromUtf8(strPath).lexically_normal()));
    unsigned long long ullBytes = 0;
    unsigned uGoneThrough = 0;
    for (const CManifestEntry& entry : vecEntries) {
        if ((facts.bInterrupted = Interrupted()))
            break;
        const std::filesystem::path rel = NativeFromUtf8(entry.strPath);
        const std::filesystem::path file = (root / rel).lexically_normal();
        const std::string strRel = RelText(rel.lexically_normal());
        std::string strHex, strError;
        unsigned long long ullHashed = 0;
        EHashResult eResult = EHashResult::Ok;
        listed(strRel);
        if (strDrive.empty())
            eResult = Sha256OfFile(file, strHex, strError, &ullHashed);
        else
            eResult =
                Sha256OfLibraryFile(strDrive + L"\\" + LibraryRelPath(strRel), strHex, strError, &ullHashed);
        if (eResult == EHashResult::Interrupted) {
            facts.bInterrupted = true;
            break;
        }
        if (eResult != EHashResult::Ok)
            report(StatusOf(eResult), file, eResult == EHashResult::Missing ? std::string() : strError);
        else if (strHex != entry.strHex)
            report(EProblemStatus::Content, file, std::string(), strHex, entry.strHex);
        // Only a file that was read was checked; a missing one was not.
        if (eResult == EHashResult::Ok) {
            ullBytes += ullHashed;
            ++sum.uFilesChecked;
        }
        progress.Update(++uGoneThrough);
        if (eventLog)
            eventLog->Progress(uGoneThrough, static_cast<unsigned>(vecEntries.size()), true);
    }
    // Ctrl-C after the last file still leaves the walk for EXTRA files undone.
    facts.bInterrupted = facts.bInterrupted || Interrupted();
    if (eventLog && !facts.bInterrupted)
        eventLog->End(static_cast<long long>(vecEntries.size()));
    // A manifest that names no file is the wrong one: everything below the
    // root would be EXTRA, and the reason lost among those lines.
    if (!facts.bInterrupted && !(vecEntries.empty() && vecOtherDigests.empty())) {
        // The manifest and the description describe wrote beside it, where they
        // lie below the root and at its top, where they are burned with the disc.
        const std::string strName = RelText(manifest.filename());
        const std::filesystem::path below = manifest.parent_path().lexically_relative(root);
        std::set<std::string> setBurnedWith;
        for (const std::string& strFile : {strName, DescriptionBeside(strName)})
            if (!strFile.empty()) {
                setBurnedWith.insert(strFile);
                setBurnedWith.insert(RelText((below / strFile).lexically_normal()));
            }
        const auto fnVisit = [&](const CWalkEntry& walked) {
            if (walked.bFolder) {
                // After Ctrl-C the folders not yet walked stay so, and the run says it.
                facts.bInterrupted = facts.bInterrupted || Interrupted();
                return !facts.bInterrupted;
            }
            if (!setListed.count(walked.strRel) && !setBurnedWith.count(walked.strRel))
                report(EProblemStatus::Extra, walked.Path(), std::string());
            return false;
        };
        // What such a folder holds beyond the manifest is not known.
        const auto fnUnlisted = [&](const CWalkEntry& folder, const std::string& strReason) {
            report(EProblemStatus::Unreadable, folder.Path(), strReason);
        };
#if !defined(_WIN32)
        if (!strDrive.empty())
            WalkDrive(strDrive, root, std::string(), fnVisit, fnUnlisted);
        else
#endif
            WalkTree(root, fnVisit, fnUnlisted);
    }
    progress.End();

    sum.llEntries = sum.llFilesListed = static_cast<long long>(vecEntries.size());
    sum.uReports = sum.uProblemPairs;
    sum.uDone = static_cast<unsigned>(ullBytes >> 20);
    sum.dElapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    facts.llEntries = sum.llEntries;
    facts.llFilesListed = sum.llFilesListed;
    facts.ullFilesChecked = sum.uFilesChecked;
    facts.uProblems = sum.uProblemPairs;
    facts.bReaderGone = OutputReaderGone();
    for (const CFileSink* pSink : {&out, &err, eventSink.get()})
        if (pSink && pSink->Failed() && facts.strWriteError.empty())
            facts.strWriteError = pSink->Error();
    sum.verdict = JudgeRun(facts);
    if (eventLog) {
        eventLog->Summary(sum);
        if (eventSink->Failed() && !facts.bInterrupted) {
            facts.strWriteError = eventSink->Error();
            sum.verdict = JudgeRun(facts);
        }
    }
    pOut->Write(FormatSummary(sum));
    // The summary itself may be what could not be written: say it where it can be read.
    if (out.Failed()) {
        TellWriteFailure(out);
        const bool bStopped = sum.verdict.iExit == EXIT_INTERRUPTED || sum.verdict.iExit == EXIT_READER_GONE;
        return bStopped ? sum.verdict.iExit : EXIT_OTHER;
    }
    return sum.verdict.iExit;
}

} // namespace kvtool
