#include "ReportBuffer.h"

namespace korvane {

void CopyToReportBuffer(wchar_t (&szBuffer)[MAX_PATH], const wchar_t* pszPath)
{
    int i = 0;
    if (pszPath)
        for (; i < MAX_PATH - 1 && pszPath[i]; ++i)
            szBuffer[i] = pszPath[i];
    szBuffer[i] = L'\0';
}

} // namespace korvane
