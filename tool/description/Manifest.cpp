#include "description/Manifest.h"

#include "description/DescribedFiles.h"
#include "host/NativeName.h"
#include "host/Sha256.h"
#include "output/ProblemLine.h"
#include "output/Text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace kvtool {

std::string ManifestLine(const std::string& strHex, const std::string& strPath)
{
    if (strPath.find_first_of("\\\n\r") == std::string::npos)
        return strHex + "  " + strPath + "\n";
    std::string strOut = "\\" + strHex + "  ";
    for (char c : strPath)
        strOut += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    return strOut + "\n";
}

namespace {

// A line in either layout a digest tool writes, whatever its algorithm:
// "HEX  PATH" ("HEX *PATH") or the tagged "ALGO (PATH) = HEX". svAlgo is
// the tag's name, empty for the first layout; the hex digits are checked
// only to be hex.
bool SplitDigestLine(const std::string& strLineRead, std::string_view& svAlgo, CManifestEntry& entry)
{
    // A manifest saved with CRLF line ends, as sha256sum -c reads it; a name
    // ending in CR is written escaped, so this CR is never one.
    std::string_view svLine(strLineRead);
    if (!svLine.empty() && svLine.back() == '\r')
        svLine.remove_suffix(1);
    const bool bEscaped = !svLine.empty() && svLine[0] == '\\';
    const std::string_view svBody = svLine.substr(bEscaped ? 1 : 0);
    std::string_view svHex, svPath;
    const size_t iTagEnd = svBody.find(" (");
    const bool bTagged =
        iTagEnd != std::string_view::npos && iTagEnd > 0 &&
        std::all_of(svBody.begin(), svBody.begin() + static_cast<std::ptrdiff_t>(iTagEnd),
                    [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; });
    if (bTagged) {
        // The name runs to the last ") = ", as it may hold one itself.
        const size_t iClose = svBody.rfind(") = ");
        if (iClose == std::string_view::npos || iClose < iTagEnd + 2)
            return false;
        svAlgo = svBody.substr(0, iTagEnd);
        svPath = svBody.substr(iTagEnd + 2, iClose - iTagEnd - 2);
        svHex = svBody.substr(iClose + 4);
    } else {
        const size_t iSpace = svBody.find(' ');
        if (iSpace == std::string_view::npos || iSpace + 1 == svBody.size() ||
            (svBody[iSpace + 1] != ' ' && svBody[iSpace + 1] != '*'))
            return false;
        svAlgo = std::string_view();
        svHex = svBody.substr(0, iSpace);
        svPath = svBody.substr(iSpace + 2);
    }
    if (svHex.empty())
        return false;
    entry.strHex.clear();
    for (char c : svHex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        entry.strHex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::string strPath;
    for (size_t i = 0; i < svPath.size(); ++i) {
        if (!bEscaped || svPath[i] != '\\') {
            strPath += svPath[i];
            continue;
        }
        if (++i == svPath.size())
            return false;
        const char c = svPath[i];
        if (c != '\\' && c != 'n' && c != 'r')
            return false;
        strPath += c == 'n' ? '\n' : c == 'r' ? '\r' : '\\';
    }
    while (strPath.compare(0, 2, "./") == 0)
        strPath.erase(0, 2);
    if (strPath.empty())
        return false;
    entry.strPath = strPath;
    return true;
}

} // namespace

bool ParseManifestLine(const std::string& strLine, CManifestEntry& entry)
{
    std::string_view svAlgo;
    CManifestEntry parsed;
    if (!SplitDigestLine(strLine, svAlgo, parsed) || (!svAlgo.empty() && svAlgo != "SHA256") ||
        parsed.strHex.size() != 64)
        return false;
    entry = std::move(parsed);
    return true;
}

bool OtherDigestLine(const std::string& strLine, CManifestEntry& entry, std::string& strDigest)
{
    std::string_view svAlgo;
    CManifestEntry parsed;
    if (!SplitDigestLine(strLine, svAlgo, parsed) || svAlgo == "SHA256" ||
        (svAlgo.empty() && parsed.strHex.size() == 64))
        return false;
    // The lengths md5sum, sha1sum, sha224sum, sha384sum and sha512sum (or b2sum) write.
    static const size_t anLengths[] = {32, 40, 56, 96, 128};
    if (svAlgo.empty() &&
        std::find(std::begin(anLengths), std::end(anLengths), parsed.strHex.size()) == std::end(anLengths))
        return false;
    strDigest = svAlgo.empty()
                    ? "its digest has " + std::to_string(parsed.strHex.size()) + " hex digits, not 64"
                    : "its digest is " + std::string(svAlgo);
    entry = std::move(parsed);
    return true;
}

bool LeavesRoot(const std::string& strPath)
{
    if (strPath.empty())
        return false;
#if defined(_WIN32)
    const char* pszSeparators = "/\\";
    if (strPath.size() >= 2 && strPath[1] == ':')
        return true;
#else
    const char* pszSeparators = "/";
#endif
    if (std::strchr(pszSeparators, strPath[0]))
        return true;
    for (size_t iStart = 0; iStart <= strPath.size();) {
        size_t iEnd = strPath.find_first_of(pszSeparators, iStart);
        if (iEnd == std::string::npos)
            iEnd = strPath.size();
        if (strPath.compare(iStart, iEnd - iStart, "..") == 0)
            return true;
        iStart = iEnd + 1;
    }
    return false;
}

std::string ManifestFileName(int iNumber)
{
    return "Media" + std::to_string(iNumber) + ".sha256";
}

std::string DescriptionBeside(const std::string& strManifestName)
{
    // Any case: a plain ISO 9660 disc shows "MEDIA1.SHA256", or "media1.sha256" once mounted.
    const auto fnSameText = [](const std::string& strText, const char* psz) {
        return std::equal(strText.begin(), strText.end(), psz, psz + std::strlen(psz),
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    };
    const std::size_t nStart = 5, nEnd = 7; // "media", ".sha256"
    if (strManifestName.size() <= nStart + nEnd || !fnSameText(strManifestName.substr(0, nStart), "media") ||
        !fnSameText(strManifestName.substr(strManifestName.size() - nEnd), ".sha256"))
        return std::string();
    const std::string strNumber = strManifestName.substr(nStart, strManifestName.size() - nStart - nEnd);
    if (strNumber.find_first_not_of("0123456789") != std::string::npos)
        return std::string();
    const bool bUpper = strManifestName.compare(strManifestName.size() - nEnd, nEnd, ".SHA256") == 0;
    return strManifestName.substr(0, nStart) + strNumber + (bUpper ? ".XML" : ".xml");
}

std::string ManifestText(const CMediaDescription& desc, size_t& nFiles)
{
    std::vector<CDescribedFile> vecFiles;
    const FnUnlisted fnUnlisted = [](const CWalkEntry& folder, const std::string& strReason) {
        throw std::runtime_error("describe: cannot list " + EscapeControls(ShownPath(folder.Path())) + ": " +
                                 strReason);
    };
    for (const CDescribedEntry& entry : desc.vecEntries) {
#if defined(_WIN32)
        ListEntryFiles(entry, vecFiles, fnUnlisted);
#else
        const size_t iFirst = vecFiles.size();
        ListEntryFiles(entry, vecFiles, fnUnlisted);
        // Its disc path would name another file.
        for (size_t i = iFirst; i < vecFiles.size(); ++i)
            if (vecFiles[i].strLibrary.empty() && !IsUtf8(vecFiles[i].native.string()))
                throw std::runtime_error(
                    "describe: " + ShownSource(vecFiles[i]) +
                    ": its path is not UTF-8, which a manifest of disc paths cannot hold");
#endif
    }
    std::sort(vecFiles.begin(), vecFiles.end(),
              [](const CDescribedFile& a, const CDescribedFile& b) { return a.strRel < b.strRel; });
    std::string strText;
    for (const CDescribedFile& source : vecFiles) {
        std::string strHex, strError;
        const EHashResult eResult = source.strLibrary.empty()
                                        ? Sha256OfFile(source.native, strHex, strError)
                                        : Sha256OfLibraryFile(source.strLibrary, strHex, strError);
        if (eResult != EHashResult::Ok)
            throw std::runtime_error("describe: " + ShownSource(source) + ": " + strError);
        strText += ManifestLine(strHex, source.strRel);
    }
    nFiles = vecFiles.size();
    return strText;
}

} // namespace kvtool
