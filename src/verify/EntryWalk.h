// The walk of a description's FILE entries, shared by both revisions'
// drivers: each entry fills the run's FDesc and goes to the file or folder
// comparison; the first failing entry ends the walk.
#pragma once

#include "Korvane.h"

class CEntryWalk {
  public:
    // The checks that open a run of the file-path overload: a null path
    // (E_INVALIDARG, nothing stored), then the callback stored, then no XML
    // interface (E_FAIL). S_OK when the run can go on.
    static HRESULT Open(CKorvane& rKorvane, LPCTSTR strXMLFilePath, CRCVERIFCB lpCB, LPVOID lpUserParam);

    // From the first query of "/Factory/FILE[1]" to the end report. The
    // description must be loaded in rKorvane's document.
    static HRESULT Run(CKorvane& rKorvane, TCHAR tchDrvLetter);

  private:
    static void FillEntry(CKorvane& rKorvane, TCHAR tchDrvLetter, IZRXmlNode* pNode, FDesc& desc,
                          CZRPathString& strScratch, CZRString& strName);
};

namespace korvane {

// Twice the media size (disc copy and source are both read) in whole MiB,
// low 32 bits.
DWORD TotalWorkMiB(__int64 iMediaSize);

} // namespace korvane
