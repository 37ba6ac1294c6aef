// The media description file as both its readers see it: where the file of
// a medium lies, what its elements are called, and how an entry names its
// source and its place on the disc. The verifier and the tool must agree on
// each of these to the character, so each is written here once.
#pragma once

#include <windows.h>

#include <ZRString.h>

#include <string>

namespace kvdesc {

// Node paths. kEntryQuery is a Format pattern taking the 1-based number.
inline constexpr wchar_t kInfoNode[] = L"/Factory/Media/Info";
inline constexpr wchar_t kEntryQuery[] = L"/Factory/FILE[%d]";

// Children of Info.
inline constexpr wchar_t kFileCount[] = L"Media_NumberFiles";
inline constexpr wchar_t kMediaSize[] = L"Media_Size";

// Children of FILE.
inline constexpr wchar_t kFullPath[] = L"FullPath";
inline constexpr wchar_t kPath[] = L"Path";
inline constexpr wchar_t kTargetPath[] = L"TargetPath";
inline constexpr wchar_t kName[] = L"Name";
inline constexpr wchar_t kAttribute[] = L"Attribute";
inline constexpr wchar_t kExclusion[] = L"Exclusion";
inline constexpr wchar_t kFileSize[] = L"FileSize";
inline constexpr wchar_t kWriteTime[] = L"WriteTime";

// What a folder entry's FullPath ends with after its folder and a "\".
inline constexpr wchar_t kEveryFile[] = L"*.*";

// The file of medium iNumber: "<folder>\Media<n>.xml" with one trailing "\"
// of the folder dropped, or "c:\Temp\Media<n>.xml" when pszFolder is null.
void DescriptionPath(CZRString& strOut, int iNumber, const wchar_t* pszFolder);
std::wstring DescriptionPath(const std::wstring& strFolder, int iNumber);
// "Media<n>.xml", the name alone.
std::wstring DescriptionFileName(int iNumber);

// "/Factory/FILE[<n>]".
void EntryQuery(CZRString& strOut, int iNumber);

bool IsFolderEntry(DWORD dwAttribute);

// An entry's source from its FullPath, in place: every kEveryFile removed,
// and for a folder entry the last component after that, which leaves the
// folder itself.
void EntrySource(CZRPathString& strFullPath, DWORD dwAttribute);

// Where the entry lies on the disc in drive wcDrive:
// "<drive>:<TargetPath>\" and, for a file entry, its Name after that. A
// folder entry's pszName is not read.
void EntryTarget(CZRPathString& strOut, wchar_t wcDrive, const wchar_t* pszTargetPath, DWORD dwAttribute,
                 const wchar_t* pszName);

} // namespace kvdesc
