// How the names of a copy are found through the layer the library reads
// with. On Linux that layer finds a name the copy holds under another case,
// as Windows does; compare must know which spelling it matched, so that a
// name that differs only in case is neither passed unnoticed nor reported
// EXTRA for a file the library did compare.
#pragma once

#include <map>
#include <string>

namespace kvtool {

class CCopySpelling {
  public:
    // strRoot: the library path of the copy root ("K:\", "D:\backup").
    explicit CCopySpelling(std::wstring strRoot) : m_strRoot(std::move(strRoot)) {}
    // The spelling the copy holds for strRel ('/'-separated UTF-8), each
    // part as the layer found it; empty when the layer finds none.
    std::string Find(const std::string& strRel);

  private:
    std::wstring m_strRoot;
    std::map<std::string, std::string> m_mapFolders; // folder as asked -> as found ("" for none)
};

} // namespace kvtool
