#include "NodePath.h"

#include "Utf8.h"
#include "XmlErrors.h"

#include <string>
#include <string_view>
#include <vector>

namespace zrxml {

namespace {

struct PathStep {
    std::string_view svName;
    std::uint32_t nPosition; // 1-based
};

// Reads the step at svPath[iPos], leaving iPos after it.
HRESULT ReadStep(std::string_view svPath, size_t& iPos, PathStep& step)
{
    const size_t iStart = iPos;
    while (iPos < svPath.size() && svPath[iPos] != '/' && svPath[iPos] != '[' && svPath[iPos] != ']')
        ++iPos;
    if (iPos == iStart)
        return XML_E_BADPATH;
    step.svName = svPath.substr(iStart, iPos - iStart);
    step.nPosition = 1;
    if (iPos == svPath.size() || svPath[iPos] == '/')
        return S_OK;
    if (svPath[iPos] != '[')
        return XML_E_BADPATH;
    ++iPos;
    std::uint64_t qwPosition = 0;
    const size_t iDigits = iPos;
    while (iPos < svPath.size() && svPath[iPos] >= '0' && svPath[iPos] <= '9') {
        qwPosition = qwPosition * 10 + static_cast<unsigned>(svPath[iPos] - '0');
        if (qwPosition > CTree::kNone)
            return XML_E_BADPATH;
        ++iPos;
    }
    if (iPos == iDigits || iPos == svPath.size() || svPath[iPos] != ']' || qwPosition == 0)
        return XML_E_BADPATH;
    ++iPos;
    if (iPos < svPath.size() && svPath[iPos] != '/')
        return XML_E_BADPATH;
    step.nPosition = static_cast<std::uint32_t>(qwPosition);
    return S_OK;
}

} // namespace

HRESULT ResolveNodePath(const CTree& tree, LPCWSTR pszPath, std::uint32_t& nElement)
{
    std::string strPath;
    if (!WideToUtf8(pszPath, strPath))
        return XML_E_BADPATH;
    const std::string_view svPath = strPath;
    if (svPath.empty() || svPath[0] != '/')
        return XML_E_BADPATH;

    // The whole path is read before anything is looked up, so a malformed
    // path fails the same way whatever the document holds.
    std::vector<PathStep> vecSteps;
    for (size_t iPos = 0; iPos < svPath.size();) {
        ++iPos; // '/'
        PathStep step;
        const HRESULT hr = ReadStep(svPath, iPos, step);
        if (FAILED(hr))
            return hr;
        vecSteps.push_back(step);
    }

    const PathStep& root = vecSteps.front();
    if (root.nPosition != 1 || root.svName != tree.Name(tree.NameOf(CTree::kRoot)))
        return XML_E_NOTFOUND;
    std::uint32_t nCurrent = CTree::kRoot;
    for (size_t i = 1; i < vecSteps.size(); ++i) {
        std::uint32_t nName = 0;
        if (!tree.FindName(vecSteps[i].svName, nName) ||
            !tree.FindChild(nCurrent, nName, vecSteps[i].nPosition, nCurrent))
            return XML_E_NOTFOUND;
    }
    nElement = nCurrent;
    return S_OK;
}

} // namespace zrxml
