#include "host/DriveMap.h"

#include "host/HostPath.h"
#include "output/Console.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <cwctype>
#include <system_error>

namespace kvtool {

wchar_t ParseDriveLetter(const std::wstring& strText)
{
    bool bShape = (strText.size() == 1 || (strText.size() == 2 && strText[1] == L':')) && strText[0] < 0x80 &&
                  std::iswalpha(strText[0]);
    if (!bShape)
        throw CUsageError("'" + Utf8FromWide(strText) + "' is not a drive letter (give E or E:)");
    return static_cast<wchar_t>(std::towupper(strText[0]));
}

CDriveMapping ParseMapping(const std::wstring& strText)
{
    size_t iEquals = strText.find(L'=');
    if (iEquals == std::wstring::npos || iEquals + 1 == strText.size())
        throw CUsageError("--map needs LETTER=FOLDER, not '" + Utf8FromWide(strText) + "'");
    CDriveMapping mapping;
    mapping.wcLetter = ParseDriveLetter(strText.substr(0, iEquals));
    std::filesystem::path folder = AbsoluteNative(strText.substr(iEquals + 1));
    std::error_code ec;
    // A folder, or a disc image or a disc's device, which the Win32 layer reads as the disc.
    const std::filesystem::file_status status = std::filesystem::status(folder, ec);
    if (!std::filesystem::is_directory(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_block_file(status))
        throw CUsageError("--map " + Utf8FromWide(strText) +
                          (std::filesystem::exists(status) ? ": not a folder, a disc image or a disc's device"
                                                           : ": no such folder"));
    mapping.strFolder = WideFromNative(folder);
    return mapping;
}

std::vector<CDriveMapping> ParseMappings(const std::vector<std::wstring>& vecTexts)
{
    std::vector<CDriveMapping> vecMappings;
    for (size_t i = 0; i < vecTexts.size(); ++i) {
        vecMappings.push_back(ParseMapping(vecTexts[i]));
        for (size_t j = 0; j < i; ++j)
            if (vecMappings[j].wcLetter == vecMappings[i].wcLetter)
                throw CUsageError("--map gives drive " +
                                  Utf8FromWide(std::wstring(1, vecMappings[i].wcLetter)) + ": twice ('" +
                                  Utf8FromWide(vecTexts[j]) + "', '" + Utf8FromWide(vecTexts[i]) + "')");
    }
    return vecMappings;
}

std::string DriveVariable(wchar_t wcLetter)
{
    return std::string("KORVANE_DRIVE_") + static_cast<char>(std::towupper(wcLetter));
}

void ApplyMapping(const CDriveMapping& mapping)
{
    SetEnvironment(DriveVariable(mapping.wcLetter), mapping.strFolder);
}

bool IsDriveMapped(wchar_t wcLetter)
{
    std::wstring strValue;
    return GetEnvironment(DriveVariable(wcLetter), strValue);
}

std::string UnmappedDriveNote(const std::wstring& strLibraryPath)
{
#if defined(_WIN32)
    (void)strLibraryPath;
#else
    if (IsDrivePath(strLibraryPath) && !IsDriveMapped(strLibraryPath[0])) {
        const std::string strLetter =
            Utf8FromWide(std::wstring(1, static_cast<wchar_t>(std::towupper(strLibraryPath[0]))));
        return ": drive " + strLetter + ": is not mapped; give --map " + strLetter + "=FOLDER";
    }
#endif
    return std::string();
}

CDriveMapping MapFreeDrive(const std::string& strCommand, const std::wstring& strFolder)
{
    for (wchar_t wc = L'K'; wc <= L'Z'; ++wc)
        if (!IsDriveMapped(wc)) {
            const CDriveMapping mapping{wc, strFolder};
            ApplyMapping(mapping);
            return mapping;
        }
    throw CUsageError(strCommand + ": every drive letter from K to Z is mapped already");
}

} // namespace kvtool
