#include "description/DriveWalk.h"

#include "output/Console.h"
#include "output/Text.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace kvtool {

#if !defined(_WIN32)
void WalkDrive(const std::wstring& strFolder, const std::filesystem::path& shownRoot,
               const std::string& strPrefix, const std::function<bool(const CWalkEntry&)>& fnVisit,
               const FnUnlisted& fnUnlisted)
{
    std::vector<CWalkEntry> vecEntries;
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE) {
        const DWORD dwError = GetLastError();
        if (dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_NO_MORE_FILES) {
            CWalkEntry folder;
            folder.strNative = shownRoot.native();
            folder.bFolder = true;
            fnUnlisted(folder, SystemMessage(EIO)); // what a damaged disc says on Linux
        }
        return;
    }
    do {
        const std::wstring strName = data.cFileName;
        if (strName == L"." || strName == L".." ||
            ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && strName == L"System Volume Information"))
            continue;
        CWalkEntry walked;
        walked.strRel = strPrefix + Utf8FromLibraryText(strName);
        walked.strNative = (shownRoot / NativeFromLibraryText(strName)).native();
        walked.bFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        walked.bFile = !walked.bFolder;
        vecEntries.push_back(std::move(walked));
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
    std::sort(vecEntries.begin(), vecEntries.end(),
              [](const CWalkEntry& a, const CWalkEntry& b) { return a.strRel < b.strRel; });
    for (const CWalkEntry& walked : vecEntries) {
        if (fnVisit(walked) && walked.bFolder) {
            const std::string strName = walked.strRel.substr(strPrefix.size());
            WalkDrive(strFolder + L"\\" + LibraryTextFromUtf8(strName), walked.Path(), walked.strRel + "/",
                      fnVisit, fnUnlisted);
        }
    }
}
#endif

} // namespace kvtool
