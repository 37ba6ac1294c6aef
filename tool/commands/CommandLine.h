// The options of one sub-command: "--name value", "--name=value", "--" to
// end the options; anything else is a positional argument.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kvtool {

struct COptionDef {
    const wchar_t* pszName; // without the leading "--"
    bool bTakesValue;
    bool bRepeatable;
};

class CParsedArgs {
  public:
    bool Has(const std::wstring& strName) const { return m_mapValues.count(strName) != 0; }
    // The value of an option given once; null when it was not given.
    const std::wstring* Value(const std::wstring& strName) const;
    // Every value of a repeatable option, in the order given.
    std::vector<std::wstring> Values(const std::wstring& strName) const;
    const std::vector<std::wstring>& Positionals() const { return m_vecPositionals; }

  private:
    friend CParsedArgs ParseArgs(const std::vector<std::wstring>&, const std::vector<COptionDef>&);
    std::map<std::wstring, std::vector<std::wstring>> m_mapValues;
    std::vector<std::wstring> m_vecPositionals;
};

// Throws CUsageError for an unknown option, a missing value, a value given to
// a flag, or an option given twice that may be given once.
CParsedArgs ParseArgs(const std::vector<std::wstring>& vecArgs, const std::vector<COptionDef>& vecOptions);

} // namespace kvtool
