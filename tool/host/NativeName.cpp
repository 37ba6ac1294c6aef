#include "host/NativeName.h"

#include "host/HostPath.h"
#include "output/Console.h"
#include "output/Text.h"

#include <windows.h>
#if !defined(_WIN32)
#include <kvwin32.h>
#endif

#include <algorithm>
#include <system_error>

namespace kvtool {

std::filesystem::path NativeFromLibrary(const std::wstring& strLibraryPath)
{
#if defined(_WIN32)
    return NativePath(strLibraryPath);
#else
    // The layer's own mapping, so that the tool looks at the file the library read.
    const std::string strHost = kvwin32::MapPath(strLibraryPath.c_str());
    if (!strHost.empty())
        return std::filesystem::path(strHost);
    // A disc path completed past the report buffer is longer than a plain
    // drive path may be; the long form still names the file.
    if (IsDrivePath(strLibraryPath)) {
        const std::string strLong = kvwin32::MapPath((L"\\\\?\\" + strLibraryPath).c_str());
        if (!strLong.empty())
            return std::filesystem::path(strLong);
    }
    // A name the layer lists for bytes that are not UTF-8 cannot be opened
    // through it, but the folder above it can, and the name's bytes are known.
    const auto itFirst = std::find_if(strLibraryPath.begin(), strLibraryPath.end(), IsByteNotUtf8);
    if (itFirst != strLibraryPath.end()) {
        const size_t iSep =
            strLibraryPath.find_last_of(L"\\/", static_cast<size_t>(itFirst - strLibraryPath.begin()));
        if (iSep != std::wstring::npos) {
            const std::string strFolder = kvwin32::MapPath(strLibraryPath.substr(0, iSep + 1).c_str());
            std::wstring strRest = strLibraryPath.substr(iSep + 1);
            std::replace(strRest.begin(), strRest.end(), L'\\', L'/');
            if (!strFolder.empty())
                return (std::filesystem::path(strFolder) / NativeFromLibraryText(strRest)).lexically_normal();
        }
    }
    std::wstring strPath = strLibraryPath;
    for (wchar_t& c : strPath)
        if (c == L'\\')
            c = L'/';
    return NativeFromLibraryText(strPath).lexically_normal();
#endif
}

std::string ShownPath(const std::filesystem::path& pathNative)
{
#if defined(_WIN32)
    std::wstring strPath = WideFromNative(pathNative);
    for (wchar_t& c : strPath)
        if (c == L'\\')
            c = L'/';
    return Utf8FromWide(strPath);
#else
    // The name's own bytes: one that is no UTF-8 is escaped when shown, not
    // replaced, so the user can still find the file.
    return pathNative.string();
#endif
}

bool MayBeCut(const std::wstring& strReported)
{
    return strReported.size() >= MAX_PATH - 1;
}

std::wstring CompleteCutPath(const std::wstring& strReported)
{
    // The folder part up to the last separator is whole; the rest begins a
    // name, perhaps of a folder with more below it.
    const size_t iSep = strReported.find_last_of(L"\\/");
    if (iSep == std::wstring::npos)
        return strReported;
    const std::wstring strFolder = strReported.substr(0, iSep);
    const std::filesystem::path folder = NativeFromLibrary(strFolder);
    const std::wstring strStart = strReported.substr(iSep + 1);
    // The rest is joined as the report separates, so that it names the file as the description does.
    const wchar_t wcSep = strReported[iSep];
    std::wstring strFound;
    int iFound = 0;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->is_directory(ec))
            continue;
        std::wstring strRel = LibraryTextOf(it->path().lexically_relative(folder));
        for (wchar_t& c : strRel)
            if (c == L'/')
                c = wcSep;
        if (strRel.compare(0, strStart.size(), strStart) == 0) {
            strFound = strFolder + wcSep + strRel;
            if (++iFound > 1)
                return strReported;
        }
    }
    return iFound == 1 ? strFound : strReported;
}

} // namespace kvtool
