// Drive letters on Linux: the Win32 layer finds the folder of drive E in the
// environment variable KORVANE_DRIVE_E. "--map E=/media/cdrom" sets it for
// the run.
#pragma once

#include <string>
#include <vector>

namespace kvtool {

struct CDriveMapping {
    wchar_t wcLetter = 0;   // upper case
    std::wstring strFolder; // absolute native folder
};

// "E", "e" or "E:"; throws CUsageError otherwise.
wchar_t ParseDriveLetter(const std::wstring& strText);
// "E=/media/cdrom"; the folder must exist. Throws CUsageError.
CDriveMapping ParseMapping(const std::wstring& strText);
// Every --map of a command; one letter given twice is refused (CUsageError):
// the later mapping would silently win over the one the user meant.
std::vector<CDriveMapping> ParseMappings(const std::vector<std::wstring>& vecTexts);
// "KORVANE_DRIVE_E".
std::string DriveVariable(wchar_t wcLetter);
void ApplyMapping(const CDriveMapping& mapping);
// Whether the Win32 layer will find a folder for the letter: it reads the
// variable with the letter in upper case, whatever case the path has.
bool IsDriveMapped(wchar_t wcLetter);
// For a library path on a drive the Win32 layer does not map (a description
// made on Windows, "C:\Users\..."), ": drive C: is not mapped; give --map
// C=FOLDER"; else, and always on Windows, "".
std::string UnmappedDriveNote(const std::wstring& strLibraryPath);
// Maps the first free letter from K on to the folder (or disc image) for
// the run; throws CUsageError("COMMAND: every drive letter from K to Z is
// mapped already").
CDriveMapping MapFreeDrive(const std::string& strCommand, const std::wstring& strFolder);

} // namespace kvtool
