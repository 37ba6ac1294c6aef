#include "commands/DescribeCommand.h"

#include "commands/CommandLine.h"
#include "commands/StagedFile.h"
#include "description/DescribedFiles.h"
#include "description/DescriptionWriter.h"
#if !defined(_WIN32)
#include "description/DriveDescription.h"
#include "host/DriveMap.h"
#endif
#include "description/Manifest.h"
#include "host/HostPath.h"
#include "host/NativeName.h"
#include "host/Sha256.h"
#include "output/Console.h"
#include "output/ProblemLine.h"
#include "output/Results.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <DescriptionRules.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <system_error>

namespace kvtool {

std::filesystem::path WriteDescriptionFile(const std::filesystem::path& outFolder, int iNumber,
                                           const CMediaDescription& desc)
{
    std::error_code ec;
    std::filesystem::create_directories(outFolder, ec);
    CStagedFile file("describe", outFolder / kvdesc::DescriptionFileName(iNumber), DescriptionXml(desc));
    file.Commit();
    return file.Path();
}

namespace {

// The folder on the disc is named below its root; "." and ".." name no
// folder of a disc, and a drive there would be read as a folder's name.
// Nor can a name on a disc hold what Windows keeps out of names: the
// library would look every file up under a wildcard or an invalid name.
void RefuseTarget(const std::wstring& strTarget)
{
    const std::wstring strTidy = NormalizeTargetPath(strTarget);
    for (size_t iStart = 1; iStart < strTidy.size();) {
        const size_t iEnd = std::min(strTidy.find(L'\\', iStart), strTidy.size());
        const std::wstring strName = strTidy.substr(iStart, iEnd - iStart);
        if (strName == L"." || strName == L".." || strName.find(L':') != std::wstring::npos)
            throw CUsageError("describe: --target " + Utf8FromWide(strTarget) +
                              ": give the folder below the disc's root, as \\Apps\\Tools");
        if (std::any_of(strName.begin(), strName.end(),
                        [](wchar_t c) { return c < 0x20 || std::wcschr(L"*?\"<>|", c); }))
            throw CUsageError("describe: --target: a name on a disc cannot hold * ? \" < > | or control "
                              "characters, as " +
                              EscapeControls(Utf8FromWide(strName)) + " does");
        iStart = iEnd + 1;
    }
}

} // namespace

int DescribeCommand(const std::vector<std::wstring>& vecArgs)
{
    const std::vector<COptionDef> vecOptions = {{L"number", true, false}, {L"out", true, false},
                                                {L"target", true, false}, {L"force", false, false},
                                                {L"sums", false, false},  {L"map", true, true}};
    CParsedArgs args = ParseArgs(vecArgs, vecOptions);
    for (const wchar_t* pszNeeded : {L"number", L"out", L"target"})
        if (!args.Has(pszNeeded))
            throw CUsageError("describe: --" + Utf8FromWide(pszNeeded) + " is missing");
    int iNumber = 0;
    if (!ParseInt(*args.Value(L"number"), iNumber))
        throw CUsageError("describe: --number " + Utf8FromWide(*args.Value(L"number")) + " is not a number");
    if (args.Positionals().empty())
        throw CUsageError("describe: no SOURCE given");
    RefuseTarget(*args.Value(L"target"));

#if defined(_WIN32)
    if (args.Has(L"map"))
        throw CUsageError(
            "describe: --map is for Linux; on Windows give a drive that exists (subst makes one)");
    std::vector<std::filesystem::path> vecSources;
    for (const std::wstring& strSource : args.Positionals())
        vecSources.push_back(NativePath(strSource));
    CMediaDescription desc = DescribeSources(vecSources, *args.Value(L"target"));
#else
    // A source given as a drive path is read through the drive's mapping: a
    // folder, or what a disc image holds.
    for (const CDriveMapping& mapping : ParseMappings(args.Values(L"map")))
        ApplyMapping(mapping);
    CMediaDescription desc;
    for (const std::wstring& strSource : args.Positionals()) {
        if (IsDrivePath(strSource) || (strSource.size() == 2 && strSource[1] == L':')) {
            DescribeDriveSource(strSource, *args.Value(L"target"), desc);
            continue;
        }
        const CMediaDescription one = DescribeSources({NativePath(strSource)}, *args.Value(L"target"));
        desc.ullFileCount += one.ullFileCount;
        desc.ullMediaSize += one.ullMediaSize;
        desc.vecEntries.insert(desc.vecEntries.end(), one.vecEntries.begin(), one.vecEntries.end());
    }
#endif
    RefuseCollisions(desc);
    const std::filesystem::path outFolder = AbsoluteNative(*args.Value(L"out"));
    const bool bSums = args.Has(L"sums");
    std::vector<std::filesystem::path> vecOutputs = {outFolder / kvdesc::DescriptionFileName(iNumber)};
    if (bSums)
        vecOutputs.push_back(outFolder / ManifestFileName(iNumber));
    std::error_code ec;
    for (const std::filesystem::path& output : vecOutputs)
        if (!args.Has(L"force") && std::filesystem::exists(output, ec))
            throw CUsageError("describe: " + Utf8FromWide(WideFromNative(output)) +
                              " exists; give --force to replace it");
    // Every source is read before anything is written: a run that cannot
    // hash a file leaves the folder as it found it.
    size_t nSums = 0;
    const std::string strSums = bSums ? ManifestText(desc, nSums) : std::string();
    std::filesystem::create_directories(outFolder, ec);
    CStagedFile description("describe", vecOutputs[0], DescriptionXml(desc));
    std::unique_ptr<CStagedFile> pSums;
    if (bSums)
        pSums = std::make_unique<CStagedFile>("describe", vecOutputs[1], strSums);
    if (pSums)
        pSums->Commit();
    description.Commit();

    const auto counted = [](unsigned long long n, const char* pszOne, const char* pszMany) {
        return std::to_string(n) + " " + (n == 1 ? pszOne : pszMany);
    };
    CFileSink out(stdout);
    out.Write("wrote " + EscapeControls(ShownPath(description.Path())) + ": " +
              counted(desc.vecEntries.size(), "entry", "entries") + ", " +
              counted(desc.ullFileCount, "file", "files") + ", " +
              counted(desc.ullMediaSize, "byte", "bytes") + "\n");
    if (pSums)
        out.Write("wrote " + EscapeControls(ShownPath(pSums->Path())) + ": " +
                  counted(nSums, "SHA-256 sum", "SHA-256 sums") + "\n");
    if (out.Failed()) {
        TellWriteFailure(out);
        return EXIT_OTHER;
    }
    return EXIT_OK;
}

} // namespace kvtool
