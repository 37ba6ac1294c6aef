#include "commands/VerifyCommand.h"

#include "commands/CommandLine.h"
#include "host/HostPath.h"
#include "output/Console.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <Korvane.h>
#include <KorvaneRevision.h>

namespace kvtool {

void ParseOutputOptions(const CParsedArgs& args, CVerifyOptions& opt)
{
    opt.bQuiet = args.Has(L"quiet");
    opt.bStatus = args.Has(L"status");
    if (opt.bQuiet && opt.bStatus)
        throw CUsageError(opt.strCommand + ": give --quiet or --status, not both");
    if (const std::wstring* pstrEvents = args.Value(L"events"))
        opt.strEvents = *pstrEvents == L"-" ? *pstrEvents : WideFromNative(AbsoluteNative(*pstrEvents));
    if (const std::wstring* pstrRaw = args.Value(L"events-raw"))
        opt.strEventsRaw = *pstrRaw == L"-" ? *pstrRaw : WideFromNative(AbsoluteNative(*pstrRaw));
    if (opt.strEvents == L"-" && opt.strEventsRaw == L"-")
        throw CUsageError(opt.strCommand + ": --events and --events-raw cannot both go to standard output");
    if (const std::wstring* pstrLog = args.Value(L"log"))
        opt.strLog = *pstrLog == L"-" ? *pstrLog : WideFromNative(AbsoluteNative(*pstrLog));
}

CVerifyOptions ParseVerifyOptions(const std::vector<std::wstring>& vecArgs, int iRevision, bool bInteractive)
{
    const std::vector<COptionDef> vecOptions = {
        {L"drive", true, false},      {L"number", true, false},   {L"folder", true, false},
        {L"xml", true, false},        {L"on-error", true, false}, {L"events", true, false},
        {L"events-raw", true, false}, {L"log", true, false},      {L"map", true, true},
        {L"quiet", false, false},     {L"status", false, false},
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
            throw CUsageError("verify: --number " + Utf8FromWide(*args.Value(L"number")) +
                              " is not a number");
        opt.bByNumber = true;
        opt.strFolder = LibraryPathFromArgument(*args.Value(L"folder"));
    }

    ParseOutputOptions(args, opt);
    opt.eOnError = bInteractive && !opt.bStatus ? EOnError::Ask : EOnError::Continue;
    if (const std::wstring* pstrOnError = args.Value(L"on-error")) {
        if (!ParseOnError(*pstrOnError, opt.eOnError))
            throw CUsageError("verify: --on-error takes ask, continue, skip, fail or abort, not '" +
                              Utf8FromWide(*pstrOnError) + "'");
        if (opt.eOnError == EOnError::Abort && iRevision < 11)
            throw CUsageError("verify: this library (revision 1.0) cannot abort; use --on-error fail");
    }

    const std::vector<std::wstring> vecMaps = args.Values(L"map");
#if defined(_WIN32)
    if (!vecMaps.empty())
        throw CUsageError(
            "verify: --map is for Linux; on Windows give a drive that exists (subst makes one)");
#endif
    opt.vecMappings = ParseMappings(vecMaps);
    return opt;
}

int VerifyCommand(const std::vector<std::wstring>& vecArgs)
{
    bool bInteractive = IsTerminal(stdin) && IsTerminal(stderr);
    return RunVerify(ParseVerifyOptions(vecArgs, KORVANE_REVISION, bInteractive));
}

} // namespace kvtool
