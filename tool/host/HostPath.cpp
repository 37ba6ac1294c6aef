#include "host/HostPath.h"

#include "output/Text.h"

namespace kvtool {

bool IsDrivePath(const std::wstring& strPath)
{
    return strPath.size() >= 3 &&
           ((strPath[0] >= L'A' && strPath[0] <= L'Z') || (strPath[0] >= L'a' && strPath[0] <= L'z')) &&
           strPath[1] == L':' && (strPath[2] == L'\\' || strPath[2] == L'/');
}

std::filesystem::path AbsoluteNative(const std::wstring& strPath)
{
    return std::filesystem::absolute(NativePath(strPath)).lexically_normal();
}

std::wstring LibraryPathOf(const std::filesystem::path& pathNative)
{
    std::filesystem::path path = pathNative;
    return LibraryTextOf(path.make_preferred());
}

std::wstring LibraryPathFromArgument(const std::wstring& strArg)
{
#if !defined(_WIN32)
    if (IsDrivePath(strArg))
        return strArg;
#endif
    return LibraryPathOf(AbsoluteNative(strArg));
}

bool IsSamePlace(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    if (!std::filesystem::equivalent(a, b, ec))
        return false;
    return std::filesystem::is_directory(a, ec) ||
           std::filesystem::equivalent(a.parent_path(), b.parent_path(), ec);
}

} // namespace kvtool
