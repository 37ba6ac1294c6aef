// What a loaded DLL shows the Windows loader: its export names and the DLLs
// it imports, read from the PE headers of the mapped image.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kvwintest {

std::vector<std::string> ExportNames(HMODULE hModule);
// DLL names as the image writes them ("KERNEL32.dll"), delay-loaded ones too.
std::vector<std::string> ImportedDlls(HMODULE hModule);

// Operation name -> the distinct signatures exported for it, for members of
// strClass, from GCC (Itanium) or Visual C++ decorated names. Constructors
// are "ctor", destructors "dtor", the assignment "operator=". Names of other
// classes and non-member symbols (vtables, type information) are left out.
typedef std::map<std::string, std::set<std::string>> MemberExports;
MemberExports ExportedMembers(const std::vector<std::string>& names, const std::string& strClass);

// Korvane.dll, loaded by name (and with it the support libraries) for the
// whole run: a program that calls nothing of it does not load it at start.
HMODULE KorvaneDll();

// The full path of a loaded module.
std::wstring ModulePath(HMODULE hModule);

} // namespace kvwintest
