#include "ModuleImage.h"

#include <cctype>
#include <stdexcept>

namespace kvwintest {

namespace {

const BYTE* ImageBase(HMODULE hModule)
{
    return reinterpret_cast<const BYTE*>(hModule);
}

const IMAGE_NT_HEADERS* NtHeaders(HMODULE hModule)
{
    if (!hModule)
        throw std::invalid_argument("no module");
    const BYTE* pBase = ImageBase(hModule);
    auto pDos = reinterpret_cast<const IMAGE_DOS_HEADER*>(pBase);
    if (pDos->e_magic != IMAGE_DOS_SIGNATURE)
        throw std::runtime_error("not a PE image");
    auto pNt = reinterpret_cast<const IMAGE_NT_HEADERS*>(pBase + pDos->e_lfanew);
    if (pNt->Signature != IMAGE_NT_SIGNATURE)
        throw std::runtime_error("not a PE image");
    return pNt;
}

const IMAGE_DATA_DIRECTORY& Directory(HMODULE hModule, int iEntry)
{
    return NtHeaders(hModule)->OptionalHeader.DataDirectory[iEntry];
}

// The nested name of an Itanium-mangled member: "_ZN[K]<len>Class<member>E<sig>".
bool ParseItanium(const std::string& strName, const std::string& strClass, std::string& strMember,
                  std::string& strSignature)
{
    size_t i = 0;
    if (strName.compare(0, 3, "_ZN") != 0)
        return false;
    i = 3;
    while (i < strName.size() &&
           (strName[i] == 'K' || strName[i] == 'V' || strName[i] == 'R' || strName[i] == 'O'))
        ++i;
    const std::string strPrefix = std::to_string(strClass.size()) + strClass;
    if (strName.compare(i, strPrefix.size(), strPrefix) != 0)
        return false;
    i += strPrefix.size();
    if (i + 2 > strName.size())
        return false;
    if (strName[i] == 'C' && std::isdigit(static_cast<unsigned char>(strName[i + 1]))) {
        strMember = "ctor";
        i += 2;
    } else if (strName[i] == 'D' && std::isdigit(static_cast<unsigned char>(strName[i + 1]))) {
        strMember = "dtor";
        i += 2;
    } else if (strName.compare(i, 2, "aS") == 0) {
        strMember = "operator=";
        i += 2;
    } else if (std::isdigit(static_cast<unsigned char>(strName[i]))) {
        size_t n = 0;
        while (i < strName.size() && std::isdigit(static_cast<unsigned char>(strName[i])))
            n = n * 10 + static_cast<size_t>(strName[i++] - '0');
        if (i + n > strName.size())
            return false;
        strMember = strName.substr(i, n);
        i += n;
    } else {
        return false;
    }
    if (i >= strName.size() || strName[i] != 'E')
        return false;
    strSignature = strName.substr(i + 1);
    return true;
}

// "?Member@Class@@<sig>", "??0Class@@<sig>" (constructor), "??1" (destructor),
// "??4" (assignment).
bool ParseVisualCpp(const std::string& strName, const std::string& strClass, std::string& strMember,
                    std::string& strSignature)
{
    const std::string strScope = strClass + "@@";
    size_t iScope;
    if (strName.compare(0, 2, "??") == 0) {
        static const std::pair<const char*, const char*> s_special[] = {
            {"??0", "ctor"}, {"??1", "dtor"}, {"??4", "operator="}};
        for (const auto& special : s_special) {
            if (strName.compare(0, 3, special.first) == 0 &&
                strName.compare(3, strScope.size(), strScope) == 0) {
                strMember = special.second;
                strSignature = strName.substr(3 + strScope.size());
                return true;
            }
        }
        return false;
    }
    if (strName.empty() || strName[0] != '?')
        return false;
    iScope = strName.find('@');
    if (iScope == std::string::npos || strName.compare(iScope + 1, strScope.size(), strScope) != 0)
        return false;
    strMember = strName.substr(1, iScope - 1);
    strSignature = strName.substr(iScope + 1 + strScope.size());
    return true;
}

} // namespace

std::vector<std::string> ExportNames(HMODULE hModule)
{
    std::vector<std::string> names;
    const IMAGE_DATA_DIRECTORY& dir = Directory(hModule, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (!dir.VirtualAddress)
        return names;
    const BYTE* pBase = ImageBase(hModule);
    auto pExports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(pBase + dir.VirtualAddress);
    auto pNames = reinterpret_cast<const DWORD*>(pBase + pExports->AddressOfNames);
    for (DWORD i = 0; i < pExports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(pBase + pNames[i]));
    return names;
}

std::vector<std::string> ImportedDlls(HMODULE hModule)
{
    std::vector<std::string> dlls;
    const BYTE* pBase = ImageBase(hModule);
    const IMAGE_DATA_DIRECTORY& dir = Directory(hModule, IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (dir.VirtualAddress) {
        for (auto pDesc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(pBase + dir.VirtualAddress);
             pDesc->Name; ++pDesc)
            dlls.emplace_back(reinterpret_cast<const char*>(pBase + pDesc->Name));
    }
    // Delay-load descriptors: eight DWORDs, the DLL name's RVA second.
    const IMAGE_DATA_DIRECTORY& delay = Directory(hModule, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);
    if (delay.VirtualAddress) {
        for (auto pDesc = reinterpret_cast<const DWORD*>(pBase + delay.VirtualAddress); pDesc[1]; pDesc += 8)
            dlls.emplace_back(reinterpret_cast<const char*>(pBase + pDesc[1]));
    }
    return dlls;
}

MemberExports ExportedMembers(const std::vector<std::string>& names, const std::string& strClass)
{
    MemberExports members;
    for (const std::string& strName : names) {
        std::string strMember, strSignature;
        if (ParseItanium(strName, strClass, strMember, strSignature) ||
            ParseVisualCpp(strName, strClass, strMember, strSignature))
            members[strMember].insert(strSignature);
    }
    return members;
}

HMODULE KorvaneDll()
{
    static const HMODULE s_hModule = LoadLibraryW(L"Korvane.dll");
    return s_hModule;
}

std::wstring ModulePath(HMODULE hModule)
{
    std::wstring strPath(MAX_PATH, L'\0');
    for (;;) {
        DWORD dwLen = GetModuleFileNameW(hModule, &strPath[0], static_cast<DWORD>(strPath.size()));
        if (dwLen == 0)
            throw std::runtime_error("GetModuleFileNameW failed");
        if (dwLen < strPath.size()) {
            strPath.resize(dwLen);
            return strPath;
        }
        strPath.resize(strPath.size() * 2);
    }
}

} // namespace kvwintest
