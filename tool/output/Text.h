// Conversions between the library's wide text and the UTF-8 the tool
// reads and writes (arguments on Linux, every byte it prints).
#pragma once

#include <filesystem>
#include <string>

namespace kvtool {

// UTF-16 (Windows) or UTF-32 (Linux) to UTF-8. A lone surrogate or a value
// beyond U+10FFFF becomes U+FFFD.
std::string Utf8FromWide(const std::wstring& strText);
// UTF-8 to wide text; a malformed sequence becomes U+FFFD.
std::wstring WideFromUtf8(const std::string& strText);

// A native path for the tool's own file operations, and back.
std::filesystem::path NativePath(const std::wstring& strPath);
std::wstring WideFromNative(const std::filesystem::path& path);

// Native names and paths as the library takes them, and back. No Windows
// name holds \ * ? : " < > |; on Linux a name that does goes to the library
// with U+F000 plus the character in its place, as the Win32 layer lists it,
// so that it is read neither as a separator nor as a wildcard. The layer lists the bytes of a Linux name that
// are not UTF-8 as U+DC80..U+DCFF, and NativeFromLibraryText gives those bytes back. Elsewhere these are the
// conversions above.
std::wstring LibraryTextOf(const std::filesystem::path& path);
std::wstring LibraryTextFromUtf8(const std::string& strNative);
std::filesystem::path NativeFromLibraryText(const std::wstring& strText);
std::string Utf8FromLibraryText(const std::wstring& strText);
// The library path of a '/'-separated relative path: "\\"-separated, each
// name as the library takes it.
std::wstring LibraryRelPath(const std::string& strRel);
// Whether library text holds bytes of a Linux name that are not UTF-8: such
// a name can be listed through the layer but not opened.
bool IsByteNotUtf8(wchar_t c);
bool HoldsBytesNotUtf8(const std::wstring& strText);
// Whether the bytes are UTF-8 throughout.
bool IsUtf8(const std::string& strBytes);
// A native path from the UTF-8 of one: on Linux the bytes as they are, so
// that a name that is not UTF-8 still names its file.
std::filesystem::path NativeFromUtf8(const std::string& strUtf8);

// Decimal integer with an optional sign and nothing else; false on any other
// text or a value outside int.
bool ParseInt(const std::wstring& strText, int& iValue);

} // namespace kvtool
