#include "commands/CommandLine.h"

#include "output/Text.h"
#include "output/UsageError.h"

namespace kvtool {

const std::wstring* CParsedArgs::Value(const std::wstring& strName) const
{
    auto it = m_mapValues.find(strName);
    if (it == m_mapValues.end() || it->second.empty())
        return nullptr;
    return &it->second.back();
}

std::vector<std::wstring> CParsedArgs::Values(const std::wstring& strName) const
{
    auto it = m_mapValues.find(strName);
    return it == m_mapValues.end() ? std::vector<std::wstring>() : it->second;
}

namespace {

bool LooksLikeOption(const std::wstring& strArg)
{
    return strArg.size() > 1 && strArg[0] == L'-';
}
bool IsLongOption(const std::wstring& strArg)
{
    return strArg.size() > 2 && strArg.compare(0, 2, L"--") == 0;
}

} // namespace

CParsedArgs ParseArgs(const std::vector<std::wstring>& vecArgs, const std::vector<COptionDef>& vecOptions)
{
    CParsedArgs args;
    bool bOptionsOver = false;
    for (size_t i = 0; i < vecArgs.size(); ++i) {
        const std::wstring& strArg = vecArgs[i];
        if (bOptionsOver || !LooksLikeOption(strArg)) {
            args.m_vecPositionals.push_back(strArg);
            continue;
        }
        if (strArg == L"--") {
            bOptionsOver = true;
            continue;
        }
        if (strArg.compare(0, 2, L"--") != 0)
            throw CUsageError("unknown option '" + Utf8FromWide(strArg) + "'");

        std::wstring strName = strArg.substr(2);
        std::wstring strValue;
        bool bInlineValue = false;
        size_t iEquals = strName.find(L'=');
        if (iEquals != std::wstring::npos) {
            strValue = strName.substr(iEquals + 1);
            strName.resize(iEquals);
            bInlineValue = true;
        }
        const COptionDef* pOption = nullptr;
        for (const COptionDef& option : vecOptions)
            if (strName == option.pszName)
                pOption = &option;
        const std::string strShown = "--" + Utf8FromWide(strName);
        if (!pOption)
            throw CUsageError("unknown option '" + strShown + "'");
        if (!pOption->bRepeatable && args.Has(strName))
            throw CUsageError("option " + strShown + " given more than once");
        if (pOption->bTakesValue && !bInlineValue) {
            // "-" (standard output) and "-3" are values; "--drive" is not.
            if (i + 1 >= vecArgs.size() || IsLongOption(vecArgs[i + 1]))
                throw CUsageError("option " + strShown + " needs a value");
            strValue = vecArgs[++i];
        } else if (!pOption->bTakesValue && bInlineValue) {
            throw CUsageError("option " + strShown + " takes no value");
        }
        args.m_mapValues[strName].push_back(strValue);
    }
    return args;
}

} // namespace kvtool
