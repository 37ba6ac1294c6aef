// SHA-256 of a file, for manifests that outlive the sources. On Linux
// through OpenSSL's libcrypto (SHA-NI where the CPU has it); a build
// without it says so rather than guessing.
#pragma once

#include <filesystem>
#include <string>

namespace kvtool {

enum class EHashResult { Ok, Missing, NotAFile, Unreadable };

// Whether this build can compute digests at all.
bool Sha256Available();
// 64 lower-case hex digits in strHex; on failure strError holds the
// system's reason.
EHashResult Sha256OfFile(const std::filesystem::path& path, std::string& strHex, std::string& strError);

} // namespace kvtool
