#include "host/ProblemReport.h"

#include "host/DriveMap.h"
#include "host/FileSizes.h"
#include "host/FileState.h"
#include "host/NativeName.h"
#include "output/Text.h"
#if !defined(_WIN32)
#include "host/HostPath.h"
#include "output/Console.h"

#include <windows.h>
#endif

#include <algorithm>
#include <climits>
#include <system_error>
#include <vector>

namespace kvtool {

namespace {

#if !defined(_WIN32)
// A path on a drive mapped to a disc image or a disc's device: its files
// have no native path, and are looked at through the library's calls.
bool OnImageDrive(const std::wstring& strLibraryPath)
{
    std::wstring strValue;
    if (!IsDrivePath(strLibraryPath) || !GetEnvironment(DriveVariable(strLibraryPath[0]), strValue))
        return false;
    std::error_code ec;
    return !std::filesystem::is_directory(NativePath(strValue), ec);
}

// Whether the first cbAtLeast bytes of a file on such a drive read (all of
// them, to its end, for ULLONG_MAX); strReason says why not.
bool ReadsOnImage(const std::wstring& strLibraryPath, unsigned long long cbAtLeast, std::string& strReason)
{
    HANDLE h = CreateFileW(strLibraryPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    bool bRead = h != INVALID_HANDLE_VALUE;
    std::vector<char> vecBuffer(static_cast<std::size_t>(std::min(cbAtLeast, 256ull * 1024)));
    for (unsigned long long cbDone = 0; bRead && cbDone < cbAtLeast;) {
        DWORD cb = 0;
        bRead = ReadFile(h, vecBuffer.data(), static_cast<DWORD>(vecBuffer.size()), &cb, nullptr);
        if (cb == 0)
            break;
        cbDone += cb;
    }
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    if (!bRead)
        strReason = SystemMessage(EIO); // what a damaged disc says on Linux
    return bRead;
}

// ExamineFile for a file on such a drive.
EFileState ExamineOnImage(const std::wstring& strLibraryPath, std::string& strReason)
{
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW(strLibraryPath.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE) {
        const DWORD dwError = GetLastError();
        if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) {
            strReason = "no such file";
            return EFileState::Absent;
        }
        strReason = SystemMessage(EIO);
        return EFileState::Unreadable;
    }
    FindClose(hFind);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        strReason = "a folder";
        return EFileState::NotAFile;
    }
    return ReadsOnImage(strLibraryPath, 1, strReason) ? EFileState::Fine : EFileState::Unreadable;
}

#endif

// Whether the path is a folder that cannot be listed now, and why.
bool CannotList(const std::wstring& strLibraryPath, std::string& strReason)
{
#if !defined(_WIN32)
    if (OnImageDrive(strLibraryPath)) {
        const DWORD dwAttributes = GetFileAttributesW(strLibraryPath.c_str());
        if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return false;
        WIN32_FIND_DATAW data;
        HANDLE hFind = FindFirstFileW((strLibraryPath + L"\\*").c_str(), &data);
        if (hFind != INVALID_HANDLE_VALUE) {
            FindClose(hFind);
            return false;
        }
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            return false; // an empty drive root lists nothing, not even "."
        strReason = SystemMessage(EIO);
        return true;
    }
#endif
    const std::filesystem::path folder = NativeFromLibrary(strLibraryPath);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return false;
    std::filesystem::directory_iterator it(folder, ec);
    if (!ec)
        return false;
    strReason = ec.message();
    return true;
}

EFileState Examine(const std::wstring& strLibraryPath, std::string& strReason)
{
#if !defined(_WIN32)
    if (OnImageDrive(strLibraryPath))
        return ExamineOnImage(strLibraryPath, strReason);
#endif
    return ExamineFile(NativeFromLibrary(strLibraryPath), strReason);
}

bool ReadsThroughFile(const std::wstring& strLibraryPath, std::string& strReason)
{
#if !defined(_WIN32)
    if (OnImageDrive(strLibraryPath))
        return ReadsOnImage(strLibraryPath, ULLONG_MAX, strReason);
#endif
    return ReadsThrough(NativeFromLibrary(strLibraryPath), strReason);
}

bool SizeOf(const std::wstring& strLibraryPath, unsigned long long& ullSize)
{
#if !defined(_WIN32)
    if (OnImageDrive(strLibraryPath))
        return LibraryFileSize(strLibraryPath, ullSize);
#endif
    std::error_code ec;
    ullSize = std::filesystem::file_size(NativeFromLibrary(strLibraryPath), ec);
    return !ec;
}

EProblemStatus StatusOf(EFileState eState, bool bSource)
{
    switch (eState) {
    case EFileState::Absent:
        return bSource ? EProblemStatus::MissingSource : EProblemStatus::Missing;
    case EFileState::NotAFile:
        return EProblemStatus::NotAFile;
    default:
        return EProblemStatus::Unreadable;
    }
}

bool IsFolder(const std::wstring& strLibraryPath)
{
    const DWORD dwAttributes = GetFileAttributesW(strLibraryPath.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Looks at one file of the pair; true when it alone explains the problem.
bool Explains(const std::wstring& strFile, bool bSource, CProblemReport& report)
{
    if (strFile.empty())
        return false;
    std::string strReason;
    const EFileState eState = Examine(strFile, strReason);
    if (eState == EFileState::Fine)
        return false;
    report.eStatus = StatusOf(eState, bSource);
    if (bSource)
        report.strDetail = "source " + ShownPath(NativeFromLibrary(strFile)) +
                           (eState == EFileState::Absent ? UnmappedDriveNote(strFile) : ": " + strReason);
    else if (eState != EFileState::Absent)
        report.strDetail = strReason;
    return true;
}

} // namespace

CProblemReport DescribeProblem(EProblemKind eKind, const std::wstring& strReported,
                               const FnTargetFor& fnTargetFor)
{
    CProblemReport report;
    const std::wstring strTarget = fnTargetFor ? fnTargetFor(strReported) : std::wstring();
    // A source's report names the source; a missing disc copy names itself.
    if (!strTarget.empty()) {
        report.strSource = strReported;
        report.strDisc = strTarget;
    } else if (eKind == EProblemKind::Missing) {
        report.strDisc = strReported;
    } else {
        report.strSource = strReported;
    }
    // The layer lists a name that is not UTF-8 but cannot open it, so the
    // library never compared the file (it calls it missing).
    for (const std::wstring* pstr : {&report.strDisc, &report.strSource})
        if (HoldsBytesNotUtf8(*pstr)) {
            report.eStatus = EProblemStatus::Unreadable;
            report.strDetail = "its name is not UTF-8, so it was not compared";
            return report;
        }
    // The library reports a source folder it could not list as missing: its
    // disc copy is a folder too, which is no fault of the disc.
    std::string strReason;
    if (!strTarget.empty() && eKind == EProblemKind::Missing && CannotList(strReported, strReason)) {
        report.eStatus = EProblemStatus::Unreadable;
        report.strDetail = "source " + ShownPath(NativeFromLibrary(strReported)) + ": " + strReason;
        return report;
    }
    // A folder entry's source folder that is gone is reported missing too;
    // the disc's folder is as it should be.
    if (!strTarget.empty() && eKind == EProblemKind::Missing && IsFolder(report.strDisc) &&
        Explains(report.strSource, true, report))
        return report;
    if (Explains(report.strDisc, false, report) || Explains(report.strSource, true, report))
        return report;

    switch (eKind) {
    case EProblemKind::Missing:
        report.eStatus = report.strDisc.empty() || report.strDisc == strReported
                             ? EProblemStatus::Missing
                             : EProblemStatus::MissingSource;
        break;
    case EProblemKind::SizeDiffers:
        report.eStatus = EProblemStatus::Size;
        break;
    default: {
        // Revision 1.0 compares checksums alone, and a report after a command 4
        // may not tell: the sizes settle it.
        unsigned long long ullDisc = 0, ullSource = 0;
        const bool bSizes = SizeOf(report.strDisc, ullDisc) && SizeOf(report.strSource, ullSource);
        if (bSizes && ullDisc != ullSource) {
            report.eStatus = EProblemStatus::Size;
            break;
        }
        // Other bytes, or a read that failed part way (a bad sector).
        for (const std::wstring* pstr : {&report.strDisc, &report.strSource}) {
            std::string strReason;
            if (!pstr->empty() && !ReadsThroughFile(*pstr, strReason)) {
                report.eStatus = EProblemStatus::Unreadable;
                report.strDetail = pstr == &report.strDisc
                                       ? strReason
                                       : "source " + ShownPath(NativeFromLibrary(*pstr)) + ": " + strReason;
                return report;
            }
        }
        report.eStatus = EProblemStatus::Content;
        break;
    }
    }
    return report;
}

std::string ProblemLineFor(const CProblemReport& report)
{
    const std::wstring& strShown = report.strDisc.empty() ? report.strSource : report.strDisc;
    return FormatProblemLine(report.eStatus, ShownPath(NativeFromLibrary(strShown)), report.strDetail);
}

} // namespace kvtool
