#include "description/DescribedFiles.h"

#include "description/DriveWalk.h"
#include "host/HostPath.h"
#include "host/NativeName.h"
#include "output/ProblemLine.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <map>

namespace kvtool {

namespace {

std::string Joined(const std::string& strFolder, const std::string& strRel)
{
    return strFolder.empty() ? strRel : strFolder + "/" + strRel;
}

std::wstring FoldedKey(const std::string& strRel)
{
    std::wstring str = WideFromUtf8(strRel);
    for (wchar_t& c : str)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return str;
}

bool IsFolderEntry(const CDescribedEntry& entry)
{
    return (entry.dwAttribute & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// An entry's source as the user gave it: the file, or the folder.
std::string ShownSource(const CDescribedEntry& entry)
{
    std::wstring strSource = entry.strFullPath;
    if (IsFolderEntry(entry))
        strSource.resize(strSource.size() - 4); // "<folder>\*.*"
#if !defined(_WIN32)
    if (IsDrivePath(strSource))
        return Utf8FromLibraryText(strSource);
#endif
    return EscapeControls(ShownPath(NativeFromLibraryText(strSource)));
}

[[noreturn]] void Collide(const std::string& strFirst, const std::string& strSecond,
                          const std::string& strRel)
{
    throw CUsageError("describe: " + strFirst + " and " + strSecond + " would both be " + strRel +
                      " on the disc");
}

} // namespace

std::string ShownSource(const CDescribedFile& file)
{
    return file.strLibrary.empty() ? EscapeControls(ShownPath(file.native))
                                   : Utf8FromLibraryText(file.strLibrary);
}

std::string DiscRel(const std::wstring& strDiscPath)
{
    std::wstring str = strDiscPath;
    std::replace(str.begin(), str.end(), L'\\', L'/');
    while (!str.empty() && str[0] == L'/')
        str.erase(0, 1);
    return Utf8FromLibraryText(str);
}

void ListEntryFiles(const CDescribedEntry& entry, std::vector<CDescribedFile>& vecFiles,
                    const FnUnlisted& fnUnlisted)
{
#if defined(_WIN32)
    const bool bThroughLibrary = false;
#else
    const bool bThroughLibrary = IsDrivePath(entry.strFullPath);
#endif
    if (!IsFolderEntry(entry)) {
        if (bThroughLibrary)
            vecFiles.push_back({DiscRel(entry.strPath), {}, entry.strFullPath});
        else
            vecFiles.push_back({DiscRel(entry.strPath), NativeFromLibraryText(entry.strFullPath), {}});
        return;
    }
    // The folder entry's source is "<folder>\*.*".
    const std::wstring strFolder = entry.strFullPath.substr(0, entry.strFullPath.size() - 4);
    const std::string strBelow = DiscRel(entry.strTargetPath);
    const auto fnVisit = [&](const CWalkEntry& walked) {
        if (walked.bFile)
            vecFiles.push_back(
                {Joined(strBelow, walked.strRel), walked.Path(),
                 bThroughLibrary ? strFolder + L"\\" + LibraryRelPath(walked.strRel) : std::wstring()});
        return true;
    };
#if !defined(_WIN32)
    if (bThroughLibrary) {
        WalkDrive(strFolder, NativeFromLibraryText(strFolder), std::string(), fnVisit, fnUnlisted);
        return;
    }
#endif
    WalkTree(NativeFromLibraryText(strFolder), fnVisit, fnUnlisted);
}

void RefuseCollisions(const CMediaDescription& desc)
{
    // Entries by their place on the disc; folders sharing one merge there.
    std::map<std::wstring, std::vector<const CDescribedEntry*>> mapPlaces;
    for (const CDescribedEntry& entry : desc.vecEntries)
        mapPlaces[FoldedKey(DiscRel(entry.strPath))].push_back(&entry);
    // Only a folder that cannot be listed hides a collision, and the run reports it.
    const FnUnlisted fnSkip = [](const CWalkEntry&, const std::string&) {};
    for (const auto& place : mapPlaces) {
        const std::vector<const CDescribedEntry*>& vecEntries = place.second;
        if (vecEntries.size() < 2)
            continue;
        const auto itFile = std::find_if(vecEntries.begin(), vecEntries.end(),
                                         [](const CDescribedEntry* p) { return !IsFolderEntry(*p); });
        if (itFile != vecEntries.end()) {
            const CDescribedEntry& second = itFile == vecEntries.begin() ? *vecEntries[1] : **itFile;
            Collide(ShownSource(*vecEntries.front()), ShownSource(second), DiscRel(second.strPath));
        }
        // Folders merge: a file may lie at the same place in two of them.
        std::map<std::wstring, std::pair<const CDescribedEntry*, std::string>> mapFiles;
        for (const CDescribedEntry* pEntry : vecEntries) {
            std::vector<CDescribedFile> vecFiles;
            ListEntryFiles(*pEntry, vecFiles, fnSkip);
            for (const CDescribedFile& file : vecFiles) {
                const auto [it, bNew] =
                    mapFiles.emplace(FoldedKey(file.strRel), std::pair(pEntry, ShownSource(file)));
                if (!bNew && it->second.first != pEntry)
                    Collide(it->second.second, ShownSource(file), file.strRel);
            }
        }
    }
}

} // namespace kvtool
