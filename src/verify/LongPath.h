// Paths as the file calls take them: one of MAX_PATH characters or more is
// given in its extended-length form ("\\?\C:\...", "\\?\UNC\server\..."),
// which lifts the MAX_PATH limit. Reports and messages keep the path as given.
#pragma once

#include <windows.h>

#include "ZRString.h"

namespace korvane {

class FileCallPath {
  public:
    explicit FileCallPath(const wchar_t* pszPath);
    operator const wchar_t*() const { return m_pszPath; }

  private:
    CZRString m_strExtended;
    const wchar_t* m_pszPath;
};

// Whether the file or folder exists: PathFileExistsW for a path it takes, its
// attributes otherwise.
BOOL FileExists(const wchar_t* pszPath);

} // namespace korvane
