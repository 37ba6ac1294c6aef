#include "commands/CompareCommand.h"

#include "commands/CommandLine.h"
#include "commands/DescribeCommand.h"
#include "commands/TempFolder.h"
#include "description/FileTime.h"
#include "description/DriveWalk.h"
#include "description/FileWalk.h"
#include "description/MediaDescription.h"
#include "commands/VerifyCommand.h"
#include "host/CopySpelling.h"
#include "host/DriveMap.h"
#include "host/HostPath.h"
#include "host/NativeName.h"
#include "output/Console.h"
#include "output/ProblemLine.h"
#include "output/Results.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <KorvaneRevision.h>

#if !defined(_WIN32)
#include <windows.h>
#endif

#include <algorithm>
#include <cerrno>
#include <functional>
#include <cwctype>
#include <map>
#include <set>
#include <system_error>

namespace kvtool {

namespace {

// A file of the source: its path below the copy root, and what the walk
// already knows of it.
struct CSourceFile {
    std::string strRel;
    std::filesystem::path::string_type strNative;
    bool bLooked = false; // ullSize and strWriteTime hold what WriteTimeText gives
    std::uintmax_t ullSize = 0;
    std::wstring strWriteTime;
};

#if !defined(_WIN32)
// The copy of a source file, its names as the source's bytes spell them
// (strRel has one name for each of the last names of strNative).
std::filesystem::path CopyOf(const std::filesystem::path& copyRoot, const CSourceFile& file)
{
    std::vector<std::filesystem::path> vecNames;
    std::filesystem::path native(file.strNative);
    for (std::size_t n = std::count(file.strRel.begin(), file.strRel.end(), '/') + 1; n > 0; --n) {
        vecNames.push_back(native.filename());
        native = native.parent_path();
    }
    std::filesystem::path copy = copyRoot;
    for (auto it = vecNames.rbegin(); it != vecNames.rend(); ++it)
        copy /= *it;
    return copy;
}
#endif

bool EndsInSeparator(const std::wstring& str)
{
    return !str.empty() && (str.back() == L'/' || str.back() == L'\\' ||
                            (str.size() >= 2 && str.compare(str.size() - 2, 2, L"/.") == 0));
}

std::filesystem::path Tidy(const std::wstring& strArg)
{
    std::filesystem::path path = AbsoluteNative(strArg);
    return !path.has_filename() && path.has_parent_path() ? path.parent_path() : path;
}

// The folders above a relative path ("a/b/c" gives "a/b/" and "a/"), as
// the path's own text: its folders are named as in it.
void InsertFolders(const std::string& strRel, std::set<std::string>& setFolders)
{
    for (size_t iSlash = strRel.rfind('/'); iSlash != std::string::npos && iSlash != 0;
         iSlash = strRel.rfind('/', iSlash - 1))
        if (!setFolders.insert(strRel.substr(0, iSlash + 1)).second)
            break; // and the ones above it are in already
}

std::wstring Lowered(const std::string& strUtf8)
{
    std::wstring str = WideFromUtf8(strUtf8);
    for (wchar_t& c : str)
        c = static_cast<wchar_t>(towlower(static_cast<wint_t>(c)));
    return str;
}

// Whether a copy entry ("a/b/c" or "a/b/") is one of the folders ("a/b/")
// or lies in one; with bFold, whatever the case of either.
bool BelowAny(const std::string& strKey, const std::vector<std::string>& vecFolders, bool bFold)
{
    for (const std::string& strFolder : vecFolders)
        if (bFold ? Lowered(strKey).rfind(Lowered(strFolder), 0) == 0 : strKey.rfind(strFolder, 0) == 0)
            return true;
    return false;
}

// The letter the library reads the copy through, and the copy root below
// it; on Linux the mapping that makes the letter.
wchar_t DriveFor(const std::filesystem::path& copyRoot, std::wstring& strBelow, CVerifyOptions& opt)
{
#if defined(_WIN32)
    const std::wstring strRoot = LibraryPathOf(copyRoot);
    if (!IsDrivePath(strRoot))
        throw CUsageError("compare: the copy " + EscapeControls(ShownPath(copyRoot)) +
                          " is not on a drive letter; give it one (net use X: \\\\server\\share, or subst)");
    (void)opt;
    strBelow = NormalizeTargetPath(strRoot.substr(2));
    return static_cast<wchar_t>(towupper(strRoot[0]));
#else
    opt.vecMappings.push_back(MapFreeDrive("compare", WideFromNative(copyRoot)));
    strBelow = L"\\";
    return opt.vecMappings.back().wcLetter;
#endif
}

// A copy that is the source itself would pass whatever it holds.
void RefuseSelf(const std::filesystem::path& source, const std::filesystem::path& compared)
{
    if (IsSamePlace(source, compared))
        throw CUsageError("compare: the copy " + EscapeControls(ShownPath(compared)) +
                          " is the source itself");
}

#if !defined(_WIN32)
// A copy that is a disc image or a disc's device: the Win32 layer reads it
// as the disc of the drive mapped to it.
bool IsDiscImage(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    return std::filesystem::is_regular_file(status) || std::filesystem::is_block_file(status);
}
#endif

} // namespace

int CompareCommand(const std::vector<std::wstring>& vecArgs)
{
    CParsedArgs args = ParseArgs(vecArgs, {{L"ignore-case", false, false},
                                           {L"on-error", true, false},
                                           {L"quiet", false, false},
                                           {L"status", false, false},
                                           {L"events", true, false},
                                           {L"events-raw", true, false},
                                           {L"log", true, false}});
    if (args.Positionals().size() != 2)
        throw CUsageError("compare: give SOURCE and COPY");
    CVerifyOptions opt;
    opt.strCommand = "compare";
    opt.eOnError = EOnError::Continue;
    if (const std::wstring* pstr = args.Value(L"on-error")) {
        if (!ParseOnError(*pstr, opt.eOnError) || opt.eOnError == EOnError::Ask ||
            opt.eOnError == EOnError::Skip)
            throw CUsageError("compare: --on-error takes continue, fail or abort");
        if (opt.eOnError == EOnError::Abort && KORVANE_REVISION < 11)
            opt.eOnError = EOnError::Fail;
    }
    ParseOutputOptions(args, opt);
    const bool bFold = args.Has(L"ignore-case");

    const std::wstring& strSourceArg = args.Positionals()[0];
    const std::filesystem::path source = Tidy(strSourceArg);
    const std::filesystem::path copy = Tidy(args.Positionals()[1]);
    std::error_code ec;
    if (!std::filesystem::exists(source, ec))
        throw CUsageError("compare: source " + Utf8FromWide(strSourceArg) + " not found");
    const bool bSourceFolder = std::filesystem::is_directory(source, ec);
    bool bCopyFolder = std::filesystem::is_directory(copy, ec);
    bool bCopyImage = false;
#if !defined(_WIN32)
    // A folder compared with a disc image: the image's files are the copy.
    bCopyImage = bSourceFolder && !bCopyFolder && IsDiscImage(copy);
    bCopyFolder = bCopyFolder || bCopyImage;
#endif

    // The pairs by path below the copy root, as the source spells them.
    std::vector<CSourceFile> vecSourceFiles;
    std::vector<std::string> vecUnlistedSource; // "docs/locked/": source folders that could not be listed
    // The source's folders, links to folders, FIFOs...: no file pair, but on the copy too.
    struct CSourceOther {
        std::string strRel; // below the copy root
        std::filesystem::path native;
        bool bFolder;
    };
    std::vector<CSourceOther> vecSourceOthers;
    std::filesystem::path copyRoot = copy;
    std::string strRegion; // the part of the copy root the source covers; "-": none
    if (bSourceFolder) {
        if (!bCopyFolder)
            throw CUsageError("compare: copy folder " + Utf8FromWide(args.Positionals()[1]) + " not found");
        const bool bContents = EndsInSeparator(strSourceArg);
        strRegion = bContents ? std::string() : RelText(source.filename());
        RefuseSelf(source, bContents ? copy : copy / source.filename());
        const std::string strPrefix = bContents ? std::string() : strRegion + "/";
        std::string strRootUnlisted;
        WalkTree(
            source,
            [&](const CWalkEntry& walked) {
                if (walked.bFile)
                    vecSourceFiles.push_back({strPrefix + walked.strRel, walked.strNative, walked.bLooked,
                                              walked.ullSize, walked.strWriteTime});
                else
                    vecSourceOthers.push_back({strPrefix + walked.strRel, walked.Path(), walked.bFolder});
                return true;
            },
            // Its files are never compared: a problem of the run, not a pass.
            [&](const CWalkEntry& folder, const std::string& strReason) {
                if (folder.strRel.empty())
                    strRootUnlisted = strReason;
                else {
                    opt.vecFound.push_back(
                        {EProblemStatus::Unreadable, folder.Path(), strReason, folder.Path()});
                    vecUnlistedSource.push_back(strPrefix + folder.strRel + "/");
                }
            },
            true);
        if (!strRootUnlisted.empty()) {
            CFileSink(stderr).Write("korvane: compare: cannot list " + Utf8FromWide(strSourceArg) + ": " +
                                    strRootUnlisted + "\n");
            return EXIT_FAILED;
        }
        opt.vecReadFolders.push_back(source);
    } else {
        strRegion = "-";
        std::string strName = RelText(source.filename());
        if (!bCopyFolder) {
            copyRoot = copy.parent_path();
            strName = RelText(copy.filename());
            if (!std::filesystem::is_directory(copyRoot, ec))
                throw CUsageError("compare: copy folder " + RelText(copyRoot) + " not found");
        }
        RefuseSelf(source, copyRoot / NativePath(WideFromUtf8(strName)));
        vecSourceFiles.push_back({strName, source.native(), false, 0, std::wstring()});
    }
    if (vecSourceFiles.empty() && !vecUnlistedSource.empty()) {
        const CFoundProblem& first = opt.vecFound.front(); // the first folder it could not list
        CFileSink(stderr).Write("korvane: compare: cannot list " + EscapeControls(ShownPath(first.path)) +
                                ": " + first.strDetail + "\n");
        return EXIT_FAILED;
    }
    if (vecSourceFiles.empty()) {
        CFileSink(stderr).Write("korvane: compare: " + Utf8FromWide(strSourceArg) + " holds no files\n");
        return EXIT_FAILED;
    }

    std::wstring strBelow;
    opt.wcDrive = DriveFor(copyRoot, strBelow, opt);
    CCopySpelling spelling(std::wstring(1, opt.wcDrive) + L":" + strBelow);
    // The copy as it is, every entry by its exact spelling ("/" after a folder's).
    std::map<std::string, std::filesystem::path::string_type> mapCopyEntries;
    std::set<std::string> setCopyFiles; // the regular files among them (a folder copy's)
    std::string strWalked = strRegion;  // the region as the copy spells it
    if (bFold && !strRegion.empty() && strRegion != "-" && !spelling.Find(strRegion).empty())
        strWalked = spelling.Find(strRegion);
    if (strRegion != "-") {
        const std::filesystem::path regionRoot =
            strWalked.empty() ? copyRoot : copyRoot / NativePath(WideFromUtf8(strWalked));
        const std::string strPrefix = strWalked.empty() ? std::string() : strWalked + "/";
        const auto fnAdd = [&](const CWalkEntry& walked) {
            mapCopyEntries.emplace(strPrefix + walked.strRel + (walked.bFolder ? "/" : ""), walked.strNative);
            if (walked.bFile)
                setCopyFiles.insert(strPrefix + walked.strRel);
            return true;
        };
        // What such a folder holds beyond the source is not known.
        const auto fnUnlisted = [&](const CWalkEntry& folder, const std::string& strReason) {
            opt.vecFound.push_back({EProblemStatus::Unreadable, folder.Path(), strReason, {}});
        };
        if (!bCopyImage) {
            if (std::filesystem::is_directory(regionRoot, ec))
                WalkTree(regionRoot, fnAdd, fnUnlisted);
            else if (!strRegion.empty() && !opt.bStatus)
                // Every file will be MISSING: most often the final '/' was meant.
                CFileSink(stderr).Write("korvane: compare: " + EscapeControls(ShownPath(regionRoot)) +
                                        " is not there; to compare what " +
                                        EscapeControls(Utf8FromWide(strSourceArg)) + " holds with what " +
                                        EscapeControls(Utf8FromWide(args.Positionals()[1])) +
                                        " holds, end SOURCE with '/'\n");
            opt.vecReadFolders.push_back(regionRoot);
        }
#if !defined(_WIN32)
        if (bCopyImage) {
            const std::wstring strDrive = std::wstring(1, opt.wcDrive) + L":";
            if (GetFileAttributesW((strDrive + L"\\").c_str()) == INVALID_FILE_ATTRIBUTES)
                throw CUsageError("compare: " + Utf8FromWide(args.Positionals()[1]) +
                                  " holds no disc this build can read");
            const std::wstring strRegionPath =
                strWalked.empty() ? strDrive : strDrive + LibraryRelPath("/" + strWalked);
            const DWORD dwAttributes = GetFileAttributesW(strRegionPath.c_str());
            if (strWalked.empty() ||
                (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)))
                WalkDrive(strRegionPath, regionRoot, std::string(), fnAdd, fnUnlisted);
        }
#endif
    }

    CMediaDescription desc;
    desc.vecEntries.reserve(vecSourceFiles.size());
    std::set<std::string> setExpected; // the files and folders the source has, as the copy spells them
    if (!strWalked.empty() && strWalked != "-")
        setExpected.insert(strWalked + "/");
    // With --ignore-case two source names may find one file of the copy, as
    // on a file system that folds case: it is the copy of one of them, the
    // one of its own spelling first. The other is not on the copy.
    std::map<std::string, std::string> mapClaimed; // copy file -> source path compared with it
    for (const CSourceFile& file : vecSourceFiles)
        if (mapCopyEntries.count(file.strRel))
            mapClaimed.emplace(file.strRel, file.strRel);
    // A source file compare judges itself, kept out of the description: its
    // folders are still the source's (not EXTRA for this); listed, and
    // checked when found missing, as the library counts its own pairs.
    const auto fnWithhold = [&](const CSourceFile& file, EProblemStatus eStatus, std::filesystem::path path,
                                std::string strDetail) {
        InsertFolders(file.strRel, setExpected);
        opt.vecFound.push_back({eStatus, std::move(path), std::move(strDetail), file.strNative});
        ++opt.llWithheld;
        opt.uWithheldChecked += eStatus == EProblemStatus::Missing ? 1 : 0;
    };
    for (const CSourceFile& file : vecSourceFiles) {
        const std::string& strRel = file.strRel;
        std::string strCopyRel = strRel;
#if !defined(_WIN32)
        // A description holds text: a path that is not UTF-8 cannot reach the
        // library, which would report it missing. Not compared, and said so.
        if (!IsUtf8(file.strNative)) {
            setExpected.insert(strRel);
            fnWithhold(file, EProblemStatus::Unreadable, CopyOf(copyRoot, file),
                       "its name is not UTF-8, so it was not compared");
            continue;
        }
#endif
        if (!mapCopyEntries.count(strRel) && !mapCopyEntries.count(strRel + "/")) {
            // The library would find a name spelled otherwise: a match only with --ignore-case.
            const std::string strFound = spelling.Find(strRel);
            if (!strFound.empty() && strFound != strRel) {
                const std::filesystem::path missing = copyRoot / NativePath(WideFromUtf8(strRel));
                if (!bFold) {
                    fnWithhold(file, EProblemStatus::Missing, missing, std::string());
                    continue;
                }
                const auto [itClaim, bFirst] = mapClaimed.emplace(strFound, strRel);
                if (!bFirst) {
                    fnWithhold(file, EProblemStatus::Missing, missing,
                               "its name differs from " + EscapeControls(itClaim->second) +
                                   "'s only in case: the copy holds one file for both");
                    continue;
                }
                strCopyRel = strFound;
            }
        }
        InsertFolders(strCopyRel, setExpected);
        setExpected.insert(strCopyRel);
        // Split as text: the relative path is '/'-separated already.
        const size_t iSlash = strCopyRel.rfind('/');
        const size_t iName = iSlash == std::string::npos ? 0 : iSlash + 1;
        CDescribedEntry entry;
        const std::filesystem::path sourcePath(file.strNative);
        entry.strFullPath = LibraryPathOf(sourcePath);
        entry.strTargetPath = NormalizeTargetPath(
            strBelow + L"\\" + LibraryRelPath(strCopyRel.substr(0, iName ? iName - 1 : 0)));
        entry.strName = LibraryTextFromUtf8(strCopyRel.substr(iName));
        entry.strPath = NormalizeTargetPath(entry.strTargetPath + L"\\" + entry.strName);
        entry.dwAttribute = FILE_ATTRIBUTE_ARCHIVE;
        std::uintmax_t ullSize = file.ullSize;
        entry.strWriteTime = file.bLooked ? file.strWriteTime : WriteTimeText(sourcePath, ullSize);
        entry.ullFileSize = ullSize;
        desc.ullFileCount += 1;
        desc.ullMediaSize += entry.ullFileSize;
        desc.vecEntries.push_back(std::move(entry));
    }
    // Each entry of the source that is no file pair is expected on the copy,
    // and MISSING when the copy lacks it, once for the highest such entry;
    // a folder only when no file below it is MISSING in its place already.
    std::set<std::string> setWithFiles; // "a/b/": source folders with a file below them
    for (const CSourceFile& file : vecSourceFiles)
        InsertFolders(file.strRel, setWithFiles);
    std::vector<std::string> vecMissing; // "a/": what is MISSING already, and all below it
    for (const auto& [strRel, sourceNative, bFolder] : vecSourceOthers) {
        const std::string strKey = strRel + (bFolder ? "/" : "");
        std::string strCopyKey = strKey;
        if (!mapCopyEntries.count(strKey)) {
            const std::string strFound = bFold ? spelling.Find(strRel) : std::string();
            if (strFound.empty()) {
                if (!(bFolder && setWithFiles.count(strKey)) && !BelowAny(strKey, vecMissing, false) &&
                    !BelowAny(strKey, vecUnlistedSource, false)) {
                    vecMissing.push_back(strRel + "/");
                    opt.vecFound.push_back({EProblemStatus::Missing,
                                            copyRoot / NativePath(WideFromUtf8(strRel)), std::string(),
                                            sourceNative});
                }
                continue;
            }
            strCopyKey = strFound + (bFolder ? "/" : "");
        }
        if (bFolder)
            InsertFolders(strCopyKey, setExpected);
        setExpected.insert(strCopyKey);
        // A regular file in the place of a FIFO, a link to a folder or a
        // device is not a copy of it. (An image lists such entries as files.)
        if (!bFolder && !bCopyImage && setCopyFiles.count(strCopyKey))
            opt.vecFound.push_back({EProblemStatus::Missing, copyRoot / NativePath(WideFromUtf8(strCopyKey)),
                                    "a regular file on the copy", sourceNative});
    }
    for (const auto& [strKey, strNative] : mapCopyEntries) {
        // An extra folder is one line, not one per file in it.
        const size_t iSlash = strKey.find_last_of('/', strKey.size() - 2);
        const bool bParentExtra =
            iSlash != std::string::npos && !setExpected.count(strKey.substr(0, iSlash + 1));
        // A folder where a file should be is NOT-A-FILE already.
        const bool bInPlaceOfFile =
            strKey.back() == '/' && setExpected.count(strKey.substr(0, strKey.size() - 1));
        if (!setExpected.count(strKey) && !bParentExtra && !bInPlaceOfFile &&
            !BelowAny(strKey, vecUnlistedSource, bFold))
            opt.vecFound.push_back(
                {EProblemStatus::Extra, std::filesystem::path(strNative), std::string(), {}});
    }

    // The description's private folder.
    const std::filesystem::path temp = MakeTempFolder("compare");
    const CTempFolderGuard guard({temp});
    opt.strXml = LibraryPathOf(WriteDescriptionFile(temp, 1, desc));
    opt.bEmptyFolders = false; // the walk above reported them
    return RunVerify(opt);
}

} // namespace kvtool
