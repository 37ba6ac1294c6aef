#include "commands/DescribeCommand.h"

#include "commands/CommandLine.h"
#include "description/DescriptionWriter.h"
#if !defined(_WIN32)
#include "description/DriveDescription.h"
#include "host/DriveMap.h"
#endif
#include "description/Manifest.h"
#include "host/HostPath.h"
#include "host/Sha256.h"
#include "output/Console.h"
#include "output/Results.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <DescriptionRules.h>

#include <fstream>
#include <system_error>

namespace kvtool {

std::filesystem::path WriteDescriptionFile(const std::filesystem::path& outFolder, int iNumber,
                                           const CMediaDescription& desc)
{
    const std::string strXml = DescriptionXml(desc);
    std::error_code ec;
    std::filesystem::create_directories(outFolder, ec);
    std::filesystem::path file = outFolder / kvdesc::DescriptionFileName(iNumber);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(strXml.data(), static_cast<std::streamsize>(strXml.size()));
    out.close();
    if (!out)
        throw CUsageError("describe: cannot write " + Utf8FromWide(WideFromNative(file)));
    return file;
}

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
    for (const std::wstring& strMap : args.Values(L"map"))
        ApplyMapping(ParseMapping(strMap));
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
    const std::filesystem::path outFolder = AbsoluteNative(*args.Value(L"out"));
    std::error_code ec;
    if (!args.Has(L"force") && std::filesystem::exists(outFolder / kvdesc::DescriptionFileName(iNumber), ec))
        throw CUsageError(
            "describe: " + Utf8FromWide(WideFromNative(outFolder / kvdesc::DescriptionFileName(iNumber))) +
            " exists; give --force to replace it");
    std::filesystem::path file = WriteDescriptionFile(outFolder, iNumber, desc);

    CFileSink out(stdout);
    out.Write("wrote " + Utf8FromWide(WideFromNative(file)) + ": " + std::to_string(desc.vecEntries.size()) +
              " entries, " + std::to_string(desc.ullFileCount) + " files, " +
              std::to_string(desc.ullMediaSize) + " bytes\n");
    if (args.Has(L"sums")) {
        const std::filesystem::path sums = file.parent_path() / ManifestFileName(iNumber);
        const size_t nFiles = WriteManifest(desc, sums);
        out.Write("wrote " + Utf8FromWide(WideFromNative(sums)) + ": " + std::to_string(nFiles) +
                  " SHA-256 sums\n");
    }
    if (out.Failed()) {
        CFileSink(stderr).Write("korvane: " + out.Error() + "\n");
        return EXIT_OTHER;
    }
    return EXIT_OK;
}

} // namespace kvtool
