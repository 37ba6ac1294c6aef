// What the verifier's tests share: a CKorvane with its protected parts
// reachable, a recorder of host callbacks with scripted answers, and a
// writer of description files.
#pragma once

#include "Korvane.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kvtest {

class TestKorvane : public CKorvane {
  public:
    using CKorvane::CheckDirCRC;
    using CKorvane::CheckFileCRC;
    using CKorvane::GetFileAttribute;
    using CKorvane::GetFileChild;
    using CKorvane::GetFileCount;
    using CKorvane::GetFileExclusion;
    using CKorvane::GetFileFullPath;
    using CKorvane::GetFileName;
    using CKorvane::GetFilePath;
    using CKorvane::GetFileSize;
    using CKorvane::GetFileTargetPath;
    using CKorvane::GetFileWriteTime;
#if KORVANE_REVISION >= 11
    using CKorvane::GetMediaSize;
    using CKorvane::m_bAbortVerif;
    using CKorvane::m_dwLastMiB;
    using CKorvane::m_llBytesDone;
#endif
    using CKorvane::m_dwFileCount;
    using CKorvane::m_lpCB;
    using CKorvane::m_lpUserParam;
    using CKorvane::m_pXml;
};

// One call the library made to the host.
struct Call {
    UINT uiCmd;
    bool bHasPath;
    std::wstring strPath; // copy of pParam1 when it was not null
    DWORD dwParam2;
    DWORD dwAnswer;
    bool operator==(const Call& o) const
    {
        return uiCmd == o.uiCmd && bHasPath == o.bHasPath && strPath == o.strPath && dwParam2 == o.dwParam2;
    }
};
std::ostream& operator<<(std::ostream& os, const Call& c);

Call Cmd(UINT uiCmd, DWORD dwParam2);                              // no path
Call Cmd(UINT uiCmd, const std::wstring& strPath, DWORD dwParam2); // with a path

// Records every callback; Answer decides what the host answers (0 unless set).
class Host {
  public:
    std::function<DWORD(const Call&)> Answer;
    std::vector<Call> calls;

    CRCVERIFCB Callback() const { return &Host::Thunk; }
    LPVOID User() { return this; }
    // Sets the callback and user pointer of k as a run would.
    void Attach(CKorvane& k);
    std::vector<Call> Only(UINT uiCmd) const;
    // Answers every command 3 with dwAnswer.
    void AnswerErrors(DWORD dwAnswer);

  private:
    static DWORD CALLBACK Thunk(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3);
};

// A FILE entry of a description.
struct Entry {
    std::wstring strFullPath;
    std::wstring strTargetPath;
    std::wstring strName;
    DWORD dwAttribute = 0;
    long long iSize = 0;
};
// A media description document (UTF-8).
std::string Description(const std::vector<Entry>& entries, DWORD dwNumberFiles, long long iMediaSize);

} // namespace kvtest

// The fault seam: tests of the paths where a file call fails.
#include "FaultScope.h"

namespace kvtest {

// A native path the test's own file calls can take at any length.
std::filesystem::path LongNative(const std::filesystem::path& path);

// A link to a folder (relative targets are taken from the link's folder);
// false where the platform refuses to make one.
bool MakeFolderLink(const std::filesystem::path& target, const std::filesystem::path& link);

// Sets a file's last write time (UTC) to the given calendar second.
void SetWriteTime(const std::filesystem::path& path, int iYear, int iMonth, int iDay, int iHour, int iMinute,
                  int iSecond);

} // namespace kvtest
