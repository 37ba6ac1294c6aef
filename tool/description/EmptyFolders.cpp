#include "description/EmptyFolders.h"

#include "description/DriveWalk.h"
#include "description/FileWalk.h"
#include "host/HostPath.h"
#include "output/Text.h"

#include <set>

namespace kvtool {

namespace {

// "a/b/c" to "a/b"; "a" to "".
std::string ParentRel(const std::string& strRel)
{
    const size_t iSlash = strRel.rfind('/');
    return iSlash == std::string::npos ? std::string() : strRel.substr(0, iSlash);
}

// The library path of strRel ("a/b", "" for the folder itself) below a folder.
std::wstring Below(const std::wstring& strFolder, const std::string& strRel)
{
    if (strRel.empty())
        return strFolder;
    return strFolder + (strFolder.back() == L'\\' ? L"" : L"\\") + LibraryRelPath(strRel);
}

} // namespace

std::vector<CEmptyFolder> EmptySourceFolders(const CDescriptionIndex& index)
{
    std::vector<CEmptyFolder> vecEmpty;
    index.ForEachFolder([&vecEmpty](std::wstring_view svSource, std::wstring_view svTarget) {
        // The index keeps a drive root as "I:", which alone names the drive's current folder.
        std::wstring strSource(svSource);
        if (strSource.size() == 2 && strSource[1] == L':')
            strSource += L'\\';
        std::set<std::string> setFolders{std::string()}; // "" is the entry's own folder
        std::set<std::string> setHolding;                // folders with an entry in them
        const auto fnVisit = [&](const CWalkEntry& walked) {
            setHolding.insert(ParentRel(walked.strRel));
            if (walked.bFolder)
                setFolders.insert(walked.strRel);
            return true;
        };
        const FnUnlisted fnUnlisted = [&](const CWalkEntry& folder, const std::string&) {
            setHolding.insert(folder.strRel);
        };
#if !defined(_WIN32)
        if (IsDrivePath(strSource))
            WalkDrive(std::wstring(svSource), NativeFromLibraryText(strSource), std::string(), fnVisit,
                      fnUnlisted);
        else
#endif
            WalkTree(NativeFromLibraryText(strSource), fnVisit, fnUnlisted);
        const std::wstring strDisc(svTarget);
        for (const std::string& strRel : setFolders)
            if (!setHolding.count(strRel))
                vecEmpty.push_back({Below(strSource, strRel), Below(strDisc, strRel)});
    });
    return vecEmpty;
}

} // namespace kvtool
