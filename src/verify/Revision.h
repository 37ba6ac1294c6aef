// The few rules in which revisions 1.0 and 1.1 differ inside operations
// they otherwise share. Each revision defines these in its own folder.
#pragma once

#include <windows.h>

namespace korvane {

// What the folder walk makes of an entry's result: the code that stops the
// walk, or S_OK to go on.
HRESULT FolderWalkStop(HRESULT hrEntry);

// The host's answer to a missing-file report turned into a result: E_ABORT,
// E_FAIL, or S_FALSE for a skip.
HRESULT MissingFileAnswer(DWORD dwAnswer);

} // namespace korvane
