#include "commands/VerifyCommand.h"

#include "commands/CommandLine.h"
#include "description/DescriptionIndex.h"
#include "host/FileSizes.h"
#include "host/HostPath.h"
#include "output/Console.h"
#include "output/Results.h"
#include "output/Summary.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <DescriptionRules.h>
#include <Korvane.h>
#include <ZRLog.h>

#include <chrono>
#include <memory>

namespace kvtool {

CVerifyOptions ParseVerifyOptions(const std::vector<std::wstring>& vecArgs, int iRevision, bool bInteractive)
{
    const std::vector<COptionDef> vecOptions = {
        {L"drive", true, false},  {L"number", true, false}, {L"folder", true, false},
        {L"xml", true, false},    {L"on-error", true, false}, {L"events", true, false},
        {L"log", true, false},    {L"map", true, true},
    };
    CParsedArgs args = ParseArgs(vecArgs, vecOptions);
    if (!args.Positionals().empty())
        throw CUsageError("verify: unexpected argument '" + Utf8FromWide(args.Positionals().front()) + "'");

    CVerifyOptions opt;
    if (!args.Has(L"drive"))
        throw CUsageError("verify: --drive is missing");
    opt.wcDrive = ParseDriveLetter(*args.Value(L"drive"));

    const bool bXml = args.Has(L"xml");
    if (bXml == (args.Has(L"number") || args.Has(L"folder")))
        throw CUsageError("verify: give either --number and --folder, or --xml");
    if (bXml) {
        opt.strXml = LibraryPathFromArgument(*args.Value(L"xml"));
    } else {
        if (!args.Has(L"number") || !args.Has(L"folder"))
            throw CUsageError("verify: --number and --folder go together");
        if (!ParseInt(*args.Value(L"number"), opt.iNumber))
            throw CUsageError("verify: --number " + Utf8FromWide(*args.Value(L"number")) + " is not a number");
        opt.bByNumber = true;
        opt.strFolder = LibraryPathFromArgument(*args.Value(L"folder"));
    }

    opt.eOnError = bInteractive ? EOnError::Ask : EOnError::Fail;
    if (const std::wstring* pstrOnError = args.Value(L"on-error")) {
        if (!ParseOnError(*pstrOnError, opt.eOnError))
            throw CUsageError("verify: --on-error takes ask, skip, fail or abort, not '" + Utf8FromWide(*pstrOnError) +
                              "'");
        if (opt.eOnError == EOnError::Abort && iRevision < 11)
            throw CUsageError("verify: this library (revision 1.0) cannot abort; use --on-error fail");
    }
    if (const std::wstring* pstrEvents = args.Value(L"events"))
        opt.strEvents = *pstrEvents == L"-" ? *pstrEvents : WideFromNative(AbsoluteNative(*pstrEvents));
    if (const std::wstring* pstrLog = args.Value(L"log"))
        opt.strLog = *pstrLog == L"-" ? *pstrLog : WideFromNative(AbsoluteNative(*pstrLog));

    const std::vector<std::wstring> vecMaps = args.Values(L"map");
#if defined(_WIN32)
    if (!vecMaps.empty())
        throw CUsageError("verify: --map is for Linux; on Windows give a drive that exists (subst makes one)");
#endif
    for (const std::wstring& strMap : vecMaps)
        opt.vecMappings.push_back(ParseMapping(strMap));
    return opt;
}

namespace {

// Closes the events file, unless it is standard output.
struct CFileCloser {
    void operator()(FILE* pFile) const
    {
        if (pFile && pFile != stdout)
            std::fclose(pFile);
    }
};

} // namespace

int RunVerify(const CVerifyOptions& opt)
{
    for (const CDriveMapping& mapping : opt.vecMappings)
        ApplyMapping(mapping);
#if !defined(_WIN32)
    if (!IsDriveMapped(opt.wcDrive))
        throw CUsageError("verify: drive " + Utf8FromWide(std::wstring(1, opt.wcDrive)) + ": is not mapped; give --map " +
                          Utf8FromWide(std::wstring(1, opt.wcDrive)) + "=FOLDER or set " + DriveVariable(opt.wcDrive));
#endif
    const std::wstring strDescription = opt.bByNumber ? kvdesc::DescriptionPath(opt.strFolder, opt.iNumber) : opt.strXml;
    if (!LibraryFileExists(strDescription))
        throw CUsageError("verify: description file " + Utf8FromWide(strDescription) + " not found");

    std::unique_ptr<FILE, CFileCloser> events;
    if (!opt.strEvents.empty()) {
        events.reset(opt.strEvents == L"-" ? stdout : OpenForWriting(opt.strEvents));
        if (!events)
            throw CUsageError("verify: cannot write the events file " + Utf8FromWide(opt.strEvents));
    }
    if (!opt.strLog.empty() && !CZRLog::GetInstance()->SetDestination(opt.strLog.c_str()))
        throw CUsageError("verify: cannot write the log file " + Utf8FromWide(opt.strLog));

    // With the events on standard output, the lines for people go to standard error.
    CFileSink report(opt.strEvents == L"-" ? stderr : stdout);
    CFileSink progress(stderr);
    std::unique_ptr<CFileSink> eventSink;
    if (events)
        eventSink = std::make_unique<CFileSink>(events.get());

    CHostOutput output;
    output.pReport = &report;
    output.pProgress = &progress;
    output.bBar = IsTerminal(stderr);
    output.pEvents = eventSink.get();
    output.fnReadReply = ReadInputLine;
    CVerifyHost host(KORVANE_REVISION, opt.eOnError, output);

    CDescriptionIndex index;
    index.Load(strDescription, opt.wcDrive);
    host.Tracker().SetSizeProbe(
        [&index](const std::wstring& strSource) { return CompareFileSizes(strSource, index.TargetFor(strSource)); });

    CKorvane korvane;
    auto start = std::chrono::steady_clock::now();
    HRESULT hr = opt.bByNumber
                     ? korvane.VerifyBurning(opt.wcDrive, opt.iNumber, opt.strFolder.c_str(), &CVerifyHost::Callback, &host)
                     : korvane.VerifyBurning(opt.wcDrive, opt.strXml.c_str(), &CVerifyHost::Callback, &host);
    double dElapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    host.Finish();

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
    const CProblemTracker& tracker = host.Tracker();
    sum.uFilesChecked = tracker.PairsCompared();
    sum.uReports = tracker.Reports();
    sum.uProblemPairs = tracker.ProblemPairs();
    sum.uMissing = tracker.PairsOfKind(EProblemKind::Missing);
    sum.uSizeDiffers = tracker.PairsOfKind(EProblemKind::SizeDiffers);
    sum.uChecksumDiffers = tracker.PairsOfKind(EProblemKind::ChecksumDiffers);
    sum.uDiffers = tracker.PairsOfKind(EProblemKind::Differs);
    sum.uDone = host.Done();
    sum.dElapsed = dElapsed;
    sum.hr = hr;
    report.Write(FormatSummary(sum));
    return ExitCodeFor(hr);
}

int VerifyCommand(const std::vector<std::wstring>& vecArgs)
{
    bool bInteractive = IsTerminal(stdin) && IsTerminal(stderr);
    return RunVerify(ParseVerifyOptions(vecArgs, KORVANE_REVISION, bInteractive));
}

} // namespace kvtool
