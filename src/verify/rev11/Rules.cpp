#include "Revision.h"

#include "Korvane.h"

namespace korvane {

// Only a failure or an abort stops the walk, and its code passes up.
HRESULT FolderWalkStop(HRESULT hrEntry)
{
    return (hrEntry == E_ABORT || hrEntry == E_FAIL) ? hrEntry : S_OK;
}

HRESULT MissingFileAnswer(DWORD dwAnswer)
{
    if (dwAnswer == CRCVERIF_ANSWER_ABORT)
        return E_ABORT;
    if (dwAnswer == CRCVERIF_ANSWER_FAIL)
        return E_FAIL;
    return S_FALSE;
}

} // namespace korvane
