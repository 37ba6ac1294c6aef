// SHA-256 of a file, for manifests that outlive the sources: on Linux
// through OpenSSL's libcrypto (Sha256.cpp), on Windows through the system's
// CNG (Sha256Windows.cpp); both use the CPU's SHA instructions where it has
// them.
#pragma once

#include <filesystem>
#include <string>

namespace kvtool {

// Interrupted: Ctrl-C (or standard output's reader gone) while the file was
// read, so that a large file does not hold the run; strError says so.
enum class EHashResult { Ok, Missing, NotAFile, Unreadable, Interrupted };

// 64 lower-case hex digits in strHex, and the number of bytes hashed in
// *pullBytes when given; on failure strError holds the system's reason.
EHashResult Sha256OfFile(const std::filesystem::path& path, std::string& strHex, std::string& strError,
                         unsigned long long* pullBytes = nullptr);
// The same for a file named by a library path, read through the library's
// calls: on Linux a file on a drive the Win32 layer maps, a disc image's
// included; on Windows the native file.
EHashResult Sha256OfLibraryFile(const std::wstring& strLibraryPath, std::string& strHex,
                                std::string& strError, unsigned long long* pullBytes = nullptr);

} // namespace kvtool
