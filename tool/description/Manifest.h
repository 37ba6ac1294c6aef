// The digest manifest that goes with a disc: one line per file in the
// layout `sha256sum` writes and `sha256sum -c` reads, "<64 hex>  <path>",
// the path relative to the disc root with '/'. A name holding a backslash,
// a line feed or a carriage return is written as sha256sum writes it: the
// line starts with '\' and those three are escaped.
#pragma once

#include "description/MediaDescription.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kvtool {

struct CManifestEntry {
    std::string strHex;  // lower case
    std::string strPath; // UTF-8 as listed, without a leading "./"
};

std::string ManifestLine(const std::string& strHex, const std::string& strPath);
// One line without its line end ("\n"; a CR before it is dropped too); "*"
// (binary) before the path is accepted, "./" at its start dropped, and so is
// the form sha256sum --tag writes, "SHA256 (PATH) = <64 hex>". False for a
// line that is not one of these.
bool ParseManifestLine(const std::string& strLine, CManifestEntry& entry);
// A line of another digest's manifest ("<32 hex>  a.txt" as md5sum writes
// it, "SHA1 (a.txt) = ..."): the file it names, so that the file is not
// taken for one the manifest leaves out, and what its digest is ("its
// digest is SHA1"). False for a SHA-256 line and for one that is no
// digest line at all.
bool OtherDigestLine(const std::string& strLine, CManifestEntry& entry, std::string& strDigest);
// Whether a manifest path names something outside the folder it is read
// below: absolute ("/etc/x", and on Windows "C:x", "\\x"), or with a ".."
// component. A disc's manifest is checked against that disc alone.
bool LeavesRoot(const std::string& strPath);
// "Media<N>.sha256".
std::string ManifestFileName(int iNumber);
// For "Media<N>.sha256" the description describe writes beside it,
// "Media<N>.xml", which goes on the disc with it; "" for another name.
// Any case is taken, and ".XML" given for ".SHA256".
std::string DescriptionBeside(const std::string& strManifestName);
// The manifest of the files a description lists, their paths below the
// disc root; nFiles is how many it holds. Throws std::runtime_error naming
// the file or folder that cannot be read.
std::string ManifestText(const CMediaDescription& desc, size_t& nFiles);

} // namespace kvtool
