#include "commands/CheckCommand.h"

#include "commands/CommandLine.h"
#include "description/FileWalk.h"
#include "description/Manifest.h"
#include "host/HostPath.h"
#include "host/Sha256.h"
#include "output/Console.h"
#include "output/ProgressLine.h"
#include "output/Results.h"
#include "output/StatusLine.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <system_error>

namespace kvtool {

namespace {

const char* StatusOf(EHashResult eResult)
{
    switch (eResult) {
    case EHashResult::Missing: return "MISSING";
    case EHashResult::NotAFile: return "NOT-A-FILE";
    default: return "UNREADABLE";
    }
}

} // namespace

int CheckCommand(const std::vector<std::wstring>& vecArgs)
{
    CParsedArgs args = ParseArgs(vecArgs, {{L"root", true, false}, {L"quiet", false, false}});
    if (args.Positionals().size() != 1)
        throw CUsageError("check: give one MANIFEST");
    if (!Sha256Available()) {
        CFileSink(stderr).Write("korvane: check: this build has no SHA-256 (it needs OpenSSL's libcrypto)\n");
        return EXIT_OTHER;
    }
    const std::filesystem::path manifest = AbsoluteNative(args.Positionals().front());
    const std::string strManifest = Utf8FromWide(WideFromNative(manifest));
    std::ifstream in(manifest, std::ios::binary);
    if (!in)
        throw std::runtime_error("check: cannot open " + strManifest + ": " + std::strerror(errno));
    const std::filesystem::path root =
        args.Has(L"root") ? AbsoluteNative(*args.Value(L"root")) : manifest.parent_path();
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec))
        throw CUsageError("check: root " + Utf8FromWide(WideFromNative(root)) + " is not a folder");

    CFileSink out(stdout);
    CFileSink err(stderr);
    std::vector<CManifestEntry> vecEntries;
    unsigned uBadLines = 0;
    std::string strLine;
    for (unsigned uLine = 1; std::getline(in, strLine); ++uLine) {
        CManifestEntry entry;
        if (ParseManifestLine(strLine, entry)) {
            vecEntries.push_back(entry);
        } else if (!strLine.empty()) {
            ++uBadLines;
            err.Write("korvane: check: " + strManifest + ":" + std::to_string(uLine) + ": not a SHA-256 line\n");
        }
    }
    if (vecEntries.empty()) {
        err.Write("korvane: check: " + strManifest + " lists no files\n");
        return EXIT_FAILED;
    }

    CProgressLine progress(&err, IsTerminal(stderr), args.Has(L"quiet"), "check");
    unsigned uProblems = 0;
    unsigned long long ullDone = 0;
    std::set<std::string> setListed;
    auto report = [&](const char* pszStatus, const std::filesystem::path& path) {
        progress.Clear();
        ++uProblems;
        out.Write(StatusLine(pszStatus, Utf8FromWide(WideFromNative(path.generic_wstring()))));
    };
    for (const CManifestEntry& entry : vecEntries) {
        const std::filesystem::path rel = NativePath(WideFromUtf8(entry.strPath));
        const std::filesystem::path file = (root / rel).lexically_normal();
        setListed.insert(RelText(rel.lexically_normal()));
        std::string strHex, strError;
        EHashResult eResult = Sha256OfFile(file, strHex, strError);
        if (eResult == EHashResult::Unreadable) {
            progress.Clear();
            err.Write("korvane: check: " + EscapeControls(Utf8FromWide(WideFromNative(file))) + ": " + strError + "\n");
        }
        if (eResult != EHashResult::Ok)
            report(StatusOf(eResult), file);
        else if (strHex != entry.strHex)
            report("CONTENT", file);
        progress.Update(++ullDone, vecEntries.size());
    }
    const std::string strManifestRel = RelText(manifest.lexically_relative(root));
    WalkTree(root, [&](const CWalkEntry& walked) {
        if (walked.bFolder)
            return true;
        if (!setListed.count(walked.strRel) && walked.strRel != strManifestRel)
            report("EXTRA", walked.path);
        return false;
    });
    progress.Clear();
    if (!args.Has(L"quiet") || uProblems || uBadLines)
        err.Write("check: " + std::to_string(vecEntries.size()) + " files listed, " + std::to_string(uProblems) +
                  " problems" + (uBadLines ? ", " + std::to_string(uBadLines) + " lines not understood" : "") + "\n");
    return uProblems || uBadLines ? EXIT_FAILED : EXIT_OK;
}

} // namespace kvtool
