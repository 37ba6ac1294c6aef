#include "commands/CompareCommand.h"

#include "commands/CommandLine.h"
#include "commands/DescribeCommand.h"
#include "description/FileTime.h"
#include "description/FileWalk.h"
#include "description/MediaDescription.h"
#include "host/CompareHost.h"
#include "host/DriveMap.h"
#include "host/HostPath.h"
#include "output/Console.h"
#include "output/Results.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <Korvane.h>
#include <KorvaneRevision.h>

#include <chrono>
#include <cwctype>
#include <map>
#include <random>
#include <set>
#include <system_error>

namespace kvtool {

std::string FoldCase(const std::string& strUtf8)
{
    std::string str = strUtf8;
    for (char& c : str)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return str;
}

namespace {

// The private folder of the description, removed on every way out.
struct CTempFolder {
    std::filesystem::path path;
    CTempFolder()
    {
        std::random_device rd;
        auto ullTicks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
        path = std::filesystem::temp_directory_path() /
               ("korvane-compare-" + std::to_string((ullTicks ^ rd()) % 1000000000ULL));
        std::filesystem::create_directories(path);
    }
    ~CTempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

bool EndsInSeparator(const std::wstring& str)
{
    return !str.empty() && (str.back() == L'/' || str.back() == L'\\' || (str.size() >= 2 && str.compare(str.size() - 2, 2, L"/.") == 0));
}

std::filesystem::path Tidy(const std::wstring& strArg)
{
    std::filesystem::path path = AbsoluteNative(strArg);
    return !path.has_filename() && path.has_parent_path() ? path.parent_path() : path;
}

std::wstring Backslashed(std::string strRel)
{
    std::wstring str = WideFromUtf8(strRel);
    for (wchar_t& c : str)
        if (c == L'/')
            c = L'\\';
    return str;
}

// The letter the library reads the copy through, and the copy root below it.
wchar_t DriveFor(const std::filesystem::path& copyRoot, std::wstring& strBelow)
{
#if defined(_WIN32)
    const std::wstring strRoot = LibraryPathOf(copyRoot);
    if (!IsDrivePath(strRoot))
        throw CUsageError("compare: the copy is not on a drive letter");
    strBelow = NormalizeTargetPath(strRoot.substr(2));
    return static_cast<wchar_t>(towupper(strRoot[0]));
#else
    for (wchar_t wc = L'K'; wc <= L'Z'; ++wc)
        if (!IsDriveMapped(wc)) {
            ApplyMapping({wc, WideFromNative(copyRoot)});
            strBelow = L"\\";
            return wc;
        }
    throw CUsageError("compare: every drive letter from K to Z is mapped already");
#endif
}

} // namespace

int CompareCommand(const std::vector<std::wstring>& vecArgs)
{
    CParsedArgs args = ParseArgs(vecArgs, {{L"ignore-case", false, false}, {L"on-error", true, false}, {L"quiet", false, false}});
    if (args.Positionals().size() != 2)
        throw CUsageError("compare: give SOURCE and COPY");
    DWORD dwAnswer = CRCVERIF_ANSWER_SKIP;
    if (const std::wstring* pstr = args.Value(L"on-error")) {
        if (*pstr == L"fail" || (*pstr == L"abort" && KORVANE_REVISION < 11))
            dwAnswer = CRCVERIF_ANSWER_FAIL;
        else if (*pstr == L"abort")
            dwAnswer = CRCVERIF_ANSWER_ABORT;
        else if (*pstr != L"continue")
            throw CUsageError("compare: --on-error takes continue, fail or abort");
    }
    const bool bFold = args.Has(L"ignore-case");
    auto key = [bFold](const std::string& str) { return bFold ? FoldCase(str) : str; };

    const std::wstring& strSourceArg = args.Positionals()[0];
    const std::filesystem::path source = Tidy(strSourceArg);
    const std::filesystem::path copy = Tidy(args.Positionals()[1]);
    std::error_code ec;
    if (!std::filesystem::exists(source, ec))
        throw CUsageError("compare: source " + Utf8FromWide(strSourceArg) + " not found");
    const bool bSourceFolder = std::filesystem::is_directory(source, ec);
    const bool bCopyFolder = std::filesystem::is_directory(copy, ec);

    // The pairs by path below the copy root: the source's, then the copy's spelling.
    std::vector<std::pair<std::string, std::filesystem::path>> vecSourceFiles;
    std::filesystem::path copyRoot = copy;
    std::string strRegion; // the part of the copy root the source covers; "-": none
    std::string strLoneName;
    if (bSourceFolder) {
        if (!bCopyFolder)
            throw CUsageError("compare: copy folder " + Utf8FromWide(args.Positionals()[1]) + " not found");
        const bool bContents = EndsInSeparator(strSourceArg);
        const std::string strPrefix = bContents ? std::string() : RelText(source.filename()) + "/";
        strRegion = bContents ? std::string() : RelText(source.filename());
        WalkTree(source, [&](const CWalkEntry& walked) {
            if (walked.bFile)
                vecSourceFiles.emplace_back(strPrefix + walked.strRel, walked.path);
            return true;
        });
    } else {
        strRegion = "-";
        if (!bCopyFolder) {
            copyRoot = copy.parent_path();
            strLoneName = RelText(copy.filename());
            if (!std::filesystem::is_directory(copyRoot, ec))
                throw CUsageError("compare: copy folder " + RelText(copyRoot) + " not found");
        }
        vecSourceFiles.emplace_back(strLoneName.empty() ? RelText(source.filename()) : strLoneName, source);
    }

    // The copy as it is: its files' spellings, for --ignore-case and EXTRA.
    std::map<std::string, std::string> mapCopyFiles; // key -> spelling on the copy
    std::map<std::string, std::filesystem::path> mapCopyEntries;
    if (strRegion != "-") {
        const std::filesystem::path regionRoot = strRegion.empty() ? copyRoot : copyRoot / NativePath(WideFromUtf8(strRegion));
        const std::string strPrefix = strRegion.empty() ? std::string() : strRegion + "/";
        // Folded, the region's own folder may be spelled otherwise on the copy: walk from the root.
        if (bFold || std::filesystem::is_directory(regionRoot, ec))
            WalkTree(bFold ? copyRoot : regionRoot, [&](const CWalkEntry& walked) {
                const std::string strRel = (bFold ? std::string() : strPrefix) + walked.strRel;
                if (key(strRel).compare(0, strPrefix.size(), key(strPrefix)) != 0)
                    return walked.bFolder && key(strRel + "/") == key(strPrefix);
                mapCopyEntries.emplace(key(strRel) + (walked.bFolder ? "/" : ""), walked.path);
                if (!walked.bFolder)
                    mapCopyFiles.emplace(key(strRel), strRel);
                return true;
            });
    }

    std::wstring strBelow;
    const wchar_t wcDrive = DriveFor(copyRoot, strBelow);
    const std::wstring strDrive = std::wstring(1, wcDrive) + L":";
    CMediaDescription desc;
    std::vector<CCopyPair> vecPairs;
    std::set<std::string> setExpected; // keys of the files and folders the source has
    if (!strRegion.empty() && strRegion != "-")
        setExpected.insert(key(strRegion) + "/");
    for (const auto& [strRel, sourcePath] : vecSourceFiles) {
        auto it = mapCopyFiles.find(key(strRel));
        const std::string strCopyRel = bFold && it != mapCopyFiles.end() ? it->second : strRel;
        const std::filesystem::path copyRel = NativePath(WideFromUtf8(strCopyRel));
        for (std::filesystem::path parent = copyRel.parent_path(); !parent.empty(); parent = parent.parent_path())
            setExpected.insert(key(RelText(parent)) + "/");
        setExpected.insert(key(strCopyRel));
        CDescribedEntry entry;
        entry.strFullPath = LibraryPathOf(sourcePath);
        entry.strTargetPath = NormalizeTargetPath(strBelow + L"\\" + Backslashed(RelText(copyRel.parent_path())));
        entry.strName = WideFromNative(copyRel.filename());
        entry.strPath = NormalizeTargetPath(entry.strTargetPath + L"\\" + entry.strName);
        entry.dwAttribute = FILE_ATTRIBUTE_ARCHIVE;
        entry.ullFileSize = std::filesystem::file_size(sourcePath, ec);
        entry.strWriteTime = WriteTimeText(sourcePath);
        desc.ullFileCount += 1;
        desc.ullMediaSize += entry.ullFileSize;
        desc.vecEntries.push_back(entry);
        vecPairs.push_back({sourcePath, copyRoot / copyRel});
    }

    CTempFolder temp;
    const std::filesystem::path xml = WriteDescriptionFile(temp.path, 1, desc);
    CFileSink out(stdout);
    CFileSink err(stderr);
    CProgressLine progress(&err, IsTerminal(stderr), args.Has(L"quiet"), "compare");
    CCompareHost host(std::move(vecPairs), dwAnswer, &out, &progress);
    for (size_t i = 0; i < desc.vecEntries.size(); ++i) {
        host.AddReportPath(strDrive + desc.vecEntries[i].strPath, i);
        host.AddReportPath(desc.vecEntries[i].strFullPath, i);
    }
    CKorvane korvane;
    HRESULT hr = desc.vecEntries.empty() ? S_OK
                 : korvane.VerifyBurning(wcDrive, LibraryPathOf(xml).c_str(), &CCompareHost::Callback, &host);
    if (hr == S_OK)
        for (const auto& [strKey, path] : mapCopyEntries) {
            // An extra folder is one line, not one per file in it.
            const size_t iSlash = strKey.find_last_of('/', strKey.size() - 2);
            const bool bParentExtra = iSlash != std::string::npos && !setExpected.count(strKey.substr(0, iSlash + 1));
            // A folder where a file should be is NOT-A-FILE already.
            const bool bInPlaceOfFile = strKey.back() == '/' && setExpected.count(strKey.substr(0, strKey.size() - 1));
            if (!setExpected.count(strKey) && !bParentExtra && !bInPlaceOfFile)
                host.Report("EXTRA", path);
        }
    progress.Clear();
    const std::string strTotals = std::to_string(desc.vecEntries.size()) + " files, " +
                                  std::to_string(host.Problems()) + " problems";
    if (hr == E_ABORT) {
        err.Write("compare: aborted; " + strTotals + "\n");
        return EXIT_ABORTED;
    }
    if (hr != S_OK && !(hr == E_FAIL && host.Problems())) {
        err.Write("korvane: compare: the library ended with " + ResultText(hr) + "\n");
        return EXIT_OTHER;
    }
    if (!args.Has(L"quiet") || host.Problems())
        err.Write("compare: " + strTotals + "\n");
    return host.Problems() ? EXIT_FAILED : EXIT_OK;
}

} // namespace kvtool
