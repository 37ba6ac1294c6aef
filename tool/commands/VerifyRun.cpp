// One verify run: the output it was asked for, the library's call, the
// summary and the exit status.
#include "commands/VerifyCommand.h"

#include "commands/OutputFiles.h"
#include "commands/TempFolder.h"

#include "description/DescriptionIndex.h"
#include "description/EmptyFolders.h"
#include "description/XmlFault.h"
#include "host/FileSizes.h"
#include "host/FileState.h"
#include "host/HostPath.h"
#include "host/Interrupt.h"
#include "host/NativeName.h"
#include "host/ProblemEvent.h"
#include "output/Console.h"
#include "output/EventLog.h"
#include "output/ProblemLine.h"
#include "output/Results.h"
#include "output/Summary.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <DescriptionRules.h>
#include <Korvane.h>
#include <KorvaneRevision.h>
#include <ZRLog.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

namespace kvtool {

namespace {

// What a verify run reads: the description, the sources it lists, the
// folders it walks (on Linux the disc's too).
CRunInputs InputsOf(const CVerifyOptions& opt, const std::wstring& strDescription, CDescriptionIndex& index)
{
    CRunInputs inputs;
    inputs.vecFiles.push_back(NativeFromLibrary(strDescription));
    inputs.vecFolders = opt.vecReadFolders;
#if !defined(_WIN32)
    // On Windows the drive may well be the one everything else is on.
    inputs.vecFolders.push_back(NativeFromLibrary(std::wstring(1, opt.wcDrive) + L":\\"));
#endif
    inputs.fnListed = [&index](const std::filesystem::path& file) {
        return !index.TargetFor(LibraryPathOf(file)).empty();
    };
    return inputs;
}

// Why the description could not be read.
std::string WhyUnreadable(const std::wstring& strDescription)
{
    std::string strReason;
    const std::filesystem::path file = NativeFromLibrary(strDescription);
    if (ExamineFile(file, strReason) != EFileState::Fine)
        return strReason;
    std::ifstream in(file, std::ios::binary);
    const std::string strBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    strReason = FindXmlFault(strBytes);
    return strReason.empty() ? std::string("it is not a well-formed XML document") : strReason;
}

// A native file below the drive's folder as the drive names it ("K:\\a\\b");
// else the path the library would take for it.
std::wstring DiscPathOf(const std::filesystem::path& file, wchar_t wcDrive)
{
    const std::wstring strRoot = std::wstring(1, wcDrive) + L":\\";
    const std::filesystem::path rel = file.lexically_relative(NativeFromLibrary(strRoot));
    const std::wstring strRel = LibraryTextOf(rel);
    if (rel.empty() || strRel.compare(0, 2, L"..") == 0)
        return LibraryPathOf(file);
    std::wstring strPath = strRoot + strRel;
    for (wchar_t& c : strPath)
        if (c == L'/')
            c = L'\\';
    return strPath;
}

struct CRun {
    const CVerifyOptions& opt;
    CDescriptionIndex& index;
    CVerifyHost& host;
    std::chrono::steady_clock::time_point start;
    std::string strUnreadable;
    unsigned auFound[kiProblemStatuses] = {}; // the command's own problems, once printed

    CRunSummary Summary(HRESULT hr, const std::string& strWriteError) const
    {
        CRunSummary sum;
        sum.iRevision = KORVANE_REVISION;
        if (index.IsLoaded()) {
            sum.llEntries = static_cast<long long>(index.EntryCount());
            sum.llFilesListed = index.FileCount();
        }
        // What the library itself read counts over the tool's own reading.
        if (host.HasEnded())
            sum.llFilesListed = host.EndCount();
        else if (host.HasBegun() && KORVANE_REVISION < 11)
            sum.llFilesListed = host.BeginTotal();
        if (index.IsLoaded()) {
            sum.llEntries += opt.llWithheld;
            sum.llFilesListed += opt.llWithheld;
        }
        const CProblemTracker& tracker = host.Tracker();
        sum.uFilesChecked = tracker.PairsCompared() + (index.IsLoaded() ? opt.uWithheldChecked : 0);
        sum.uReports = tracker.Reports();
        sum.uProblemPairs = tracker.ProblemPairs();
        for (int i = 0; i < kiProblemStatuses; ++i) {
            sum.auStatus[i] = host.PairsOfStatus(static_cast<EProblemStatus>(i)) + auFound[i];
            sum.uProblemPairs += auFound[i];
            sum.uReports += auFound[i];
        }
        sum.uDone = host.Done();
        sum.dElapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        sum.hr = hr;

        CRunFacts facts;
        facts.hr = hr;
        facts.strUnreadable = strUnreadable;
        facts.llEntries = sum.llEntries;
        facts.llFilesListed = sum.llFilesListed;
        facts.ullFilesChecked = sum.uFilesChecked;
        facts.uProblems = sum.uProblemPairs;
        facts.bSkipAccepts = opt.eOnError == EOnError::Skip;
        facts.bInterrupted = host.Stopped();
        facts.bReaderGone = OutputReaderGone();
        facts.strWriteError = strWriteError;
        sum.verdict = JudgeRun(facts);
        return sum;
    }
};

// A drive mapped to the sources' own folder compares each file with itself
// and passes whatever the disc holds. The first entry shows it; reading the
// others would cost a run of a million entries their fields.
void RefuseSourcesAsDisc(const CVerifyOptions& opt, const CDescriptionIndex& index)
{
    std::wstring strSource, strTarget;
    if (index.FirstPair(strSource, strTarget) &&
        IsSamePlace(NativeFromLibrary(strTarget), NativeFromLibrary(strSource)))
        throw CUsageError(opt.strCommand + ": drive " + Utf8FromWide(std::wstring(1, opt.wcDrive)) +
                          ": holds the sources themselves (" +
                          EscapeControls(ShownPath(NativeFromLibrary(strTarget))) +
                          " is the source itself); map it to the disc");
}

// A source folder that holds nothing has no file the library would look
// for below it: whether the disc has it is asked here.
void FindMissingEmptyFolders(const CDescriptionIndex& index, std::vector<CFoundProblem>& vecFound)
{
    for (const CEmptyFolder& folder : EmptySourceFolders(index)) {
        const DWORD dwAttributes = GetFileAttributesW(folder.strDisc.c_str());
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        vecFound.push_back({EProblemStatus::Missing, NativeFromLibrary(folder.strDisc),
                            dwAttributes == INVALID_FILE_ATTRIBUTES ? std::string() : "a file in its place",
                            NativeFromLibrary(folder.strSource)});
    }
}

} // namespace

int RunVerify(const CVerifyOptions& opt)
{
    for (const CDriveMapping& mapping : opt.vecMappings)
        ApplyMapping(mapping);
#if !defined(_WIN32)
    if (!IsDriveMapped(opt.wcDrive))
        throw CUsageError("verify: drive " + Utf8FromWide(std::wstring(1, opt.wcDrive)) +
                          ": is not mapped; give --map " + Utf8FromWide(std::wstring(1, opt.wcDrive)) +
                          "=FOLDER or set " + DriveVariable(opt.wcDrive));
    // A mapping to a file or device that holds no disc the layer reads
    // would make every file of the run UNREADABLE, for one reason.
    std::wstring strMapped;
    if (GetFileAttributesW((std::wstring(1, opt.wcDrive) + L":\\").c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetEnvironment(DriveVariable(opt.wcDrive), strMapped))
        throw CUsageError(opt.strCommand + ": drive " + Utf8FromWide(std::wstring(1, opt.wcDrive)) + ": (" +
                          EscapeControls(Utf8FromWide(strMapped)) + ") holds no disc this build can read");
#endif
    const std::wstring strDescription =
        opt.bByNumber ? kvdesc::DescriptionPath(opt.strFolder, opt.iNumber) : opt.strXml;
    const DWORD dwListAttributes = GetFileAttributesW(strDescription.c_str());
    if (dwListAttributes == INVALID_FILE_ATTRIBUTES)
        throw CUsageError("verify: description file " +
                          EscapeControls(ShownPath(NativeFromLibrary(strDescription))) + " not found");
    if (dwListAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw CUsageError("verify: description file " +
                          EscapeControls(ShownPath(NativeFromLibrary(strDescription))) +
                          " is a folder; give --xml the file in it, or --number N --folder for it");

    CDescriptionIndex index;
    const bool bLoaded = index.Load(strDescription, opt.wcDrive);
    RefuseSourcesAsDisc(opt, index);
    const CRunInputs inputs = InputsOf(opt, strDescription, index);
    RefuseInput(opt.strCommand, "events", opt.strEvents, inputs);
    RefuseInput(opt.strCommand, "raw events", opt.strEventsRaw, inputs);
    RefuseInput(opt.strCommand, "log", opt.strLog, inputs);

    const COutputFile events = OpenOutput(opt.strCommand, "events", opt.strEvents);
    const COutputFile rawEvents = OpenOutput(opt.strCommand, "raw events", opt.strEventsRaw);
    if (!opt.strLog.empty()) {
        errno = 0; // the log opens its file with fopen, which says why it could not
        if (!CZRLog::GetInstance()->SetDestination(opt.strLog.c_str()))
            throw CannotWrite(opt.strCommand, "log", opt.strLog, errno);
    }

    // With events on standard output, the lines for people go to standard error.
    CFileSink report(opt.strEvents == L"-" || opt.strEventsRaw == L"-" ? stderr : stdout);
    CFileSink progress(stderr);
    CNullSink nothing;
    std::unique_ptr<CFileSink> eventSink, rawEventSink;
    std::unique_ptr<CEventLog> eventLog;
    if (events) {
        eventSink = std::make_unique<CFileSink>(events.get(), Utf8FromWide(opt.strEvents));
        eventLog = std::make_unique<CEventLog>(eventSink.get());
        CStartEvent start;
        start.strCommand = opt.strCommand;
        start.iRevision = KORVANE_REVISION;
        start.list = NativeFromLibrary(strDescription);
        start.strListWindows = strDescription;
        start.wcDrive = opt.wcDrive;
        start.drive = NativeFromLibrary(std::wstring(1, opt.wcDrive) + L":\\");
        eventLog->Start(start);
    }
    if (rawEvents)
        rawEventSink = std::make_unique<CFileSink>(rawEvents.get(), Utf8FromWide(opt.strEventsRaw));

    CHostOutput output;
    output.pReport = opt.bStatus ? static_cast<CTextSink*>(&nothing) : &report;
    output.pProgress = opt.bStatus ? static_cast<CTextSink*>(&nothing) : &progress;
    output.bShowProgress = !opt.bQuiet && !opt.bStatus;
    output.bBar = IsTerminal(stderr);
    output.iColumns = output.bBar ? TerminalColumns() : 80;
    output.pEvents = rawEventSink.get();
    output.pEventLog = eventLog.get();
    output.fnReadReply = ReadInputLine;
    output.fnTargetFor = [&index](const std::wstring& strSource) { return index.TargetFor(strSource); };
    output.fnSourceFor = [&index](const std::wstring& strTarget) { return index.SourceFor(strTarget); };
    output.fnInterrupted = Interrupted;
    output.llListedBeside = opt.llWithheld;
    // A library that cannot be stopped where Ctrl-C finds it: the run ends there.
    CRun* pRun = nullptr;
    CTextSink* pReport = output.pReport;
    std::function<std::string()> fnWriteError;
    CEventLog* pEventLog = eventLog.get();
    output.fnStopNow = [&pRun, pReport, pEventLog, &fnWriteError]() {
        pRun->host.Finish();
        const CRunSummary sum = pRun->Summary(E_ABORT, fnWriteError());
        if (pEventLog)
            pEventLog->Summary(sum);
        pReport->Write(FormatSummary(sum));
        RemoveTempFolders();
        EndProcessNow(EXIT_INTERRUPTED);
    };
    CVerifyHost host(KORVANE_REVISION, opt.eOnError, output);
    host.Tracker().SetSizeProbe([&index](const std::wstring& strSource) {
        return CompareFileSizes(strSource, index.TargetFor(strSource));
    });
    host.Tracker().SetTargetLookup(
        [&index](const std::wstring& strSource) { return index.TargetFor(strSource); });

    CRun run{opt, index, host, std::chrono::steady_clock::now(),
             bLoaded ? std::string() : WhyUnreadable(strDescription)};
    pRun = &run;
    fnWriteError = [&]() -> std::string {
        for (const CFileSink* pSink : {&report, &progress, eventSink.get(), rawEventSink.get()})
            if (pSink && pSink->Failed())
                return pSink->Error();
        return std::string();
    };
    CatchInterrupt();

    CKorvane korvane;
    HRESULT hr = opt.bByNumber
                     ? korvane.VerifyBurning(opt.wcDrive, opt.iNumber, opt.strFolder.c_str(),
                                             &CVerifyHost::Callback, &host)
                     : korvane.VerifyBurning(opt.wcDrive, opt.strXml.c_str(), &CVerifyHost::Callback, &host);
    host.Finish();
    std::vector<CFoundProblem> vecFound = opt.vecFound;
    if (hr == S_OK && !host.Stopped() && opt.bEmptyFolders)
        FindMissingEmptyFolders(index, vecFound);
    if (hr == S_OK && !host.Stopped())
        for (const auto& [eStatus, path, strDetail, source] : vecFound) {
            ++run.auFound[static_cast<int>(eStatus)];
            output.pReport->Write(FormatProblemLine(eStatus, ShownPath(path), strDetail) + "\n");
            if (eventLog) {
                CProblemEvent problem;
                problem.eStatus = eStatus;
                problem.strDetail = strDetail;
                problem.disc = EventFileOf(path, DiscPathOf(path, opt.wcDrive));
                if (!source.empty())
                    problem.source = EventFileOf(source, LibraryPathOf(source));
                eventLog->Problem(problem);
            }
        }
    // The summary record is the last line, and its own write may fail: look once more after it.
    CRunSummary sum = run.Summary(hr, fnWriteError());
    if (eventLog) {
        eventLog->Summary(sum);
        if (eventSink->Failed() && sum.verdict.iExit != EXIT_INTERRUPTED)
            sum = run.Summary(hr, fnWriteError());
    }
    if (!opt.bStatus)
        report.Write(FormatSummary(sum));
    // The summary itself may be what could not be written: say it where it can be read.
    if (report.Failed()) {
        TellWriteFailure(report);
        if (sum.verdict.iExit != EXIT_INTERRUPTED && sum.verdict.iExit != EXIT_READER_GONE)
            return EXIT_OTHER;
    }
    return sum.verdict.iExit;
}

} // namespace kvtool
