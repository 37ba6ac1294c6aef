#include "Revision.h"

#include "Korvane.h"

namespace korvane {

// Any negative result stops the walk, which then fails as a whole.
HRESULT FolderWalkStop(HRESULT hrEntry)
{
    return FAILED(hrEntry) ? E_FAIL : S_OK;
}

// Revision 1.0 knows no abort: every answer but "fail" skips.
HRESULT MissingFileAnswer(DWORD dwAnswer)
{
    return dwAnswer == CRCVERIF_ANSWER_FAIL ? E_FAIL : S_FALSE;
}

} // namespace korvane
