#include "output/StatusLine.h"

namespace kvtool {

std::string EscapeControls(const std::string& strUtf8)
{
    static const char szNamed[] = "\\\\\nn\rr\tt\aa\bb\ff\vv";
    std::string strOut;
    strOut.reserve(strUtf8.size());
    for (char c : strUtf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        const char* pNamed = nullptr;
        for (const char* p = szNamed; *p; p += 2)
            if (*p == c)
                pNamed = p;
        if (pNamed) {
            strOut += '\\';
            strOut += pNamed[1];
        } else if (u < 0x20 || u == 0x7F) {
            strOut += '\\';
            strOut += static_cast<char>('0' + (u >> 6));
            strOut += static_cast<char>('0' + ((u >> 3) & 7));
            strOut += static_cast<char>('0' + (u & 7));
        } else {
            strOut += c;
        }
    }
    return strOut;
}

std::string StatusLine(const char* pszStatus, const std::string& strPathUtf8)
{
    return std::string(pszStatus) + "  " + EscapeControls(strPathUtf8) + "\n";
}

} // namespace kvtool
