// Builds without libcrypto (the MinGW cross builds): no digests.
#include "host/Sha256.h"

namespace kvtool {

bool Sha256Available() { return false; }

EHashResult Sha256OfFile(const std::filesystem::path&, std::string&, std::string& strError)
{
    strError = "this build has no SHA-256 (it needs OpenSSL's libcrypto)";
    return EHashResult::Unreadable;
}

} // namespace kvtool
