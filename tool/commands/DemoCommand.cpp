#include "commands/DemoCommand.h"

#include "commands/CommandLine.h"
#include "commands/DescribeCommand.h"
#include "commands/TempFolder.h"
#include "commands/VerifyCommand.h"
#include "description/MediaDescription.h"
#include "host/DriveMap.h"
#include "host/HostPath.h"
#include "output/Console.h"
#include "output/Text.h"
#include "output/UsageError.h"

#include <cwctype>
#include <fstream>
#include <system_error>

namespace kvtool {

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& strBytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
    if (!out)
        throw std::runtime_error("demo: cannot write " + Utf8FromWide(WideFromNative(path)));
}

// Bytes that are not all alike, so that a changed byte changes the sum.
std::string Pattern(size_t iSize, unsigned uSeed)
{
    std::string str(iSize, '\0');
    for (size_t i = 0; i < iSize; ++i)
        str[i] = static_cast<char>((i * 31 + uSeed) % 251);
    return str;
}

#if !defined(_WIN32)
wchar_t FreeLetter()
{
    for (wchar_t wc = L'K'; wc <= L'Z'; ++wc)
        if (!IsDriveMapped(wc))
            return wc;
    throw CUsageError("demo: every drive letter from K to Z is mapped already; give --drive");
}
#endif

std::string Shown(const std::filesystem::path& path)
{
    return Utf8FromWide(WideFromNative(path));
}

} // namespace

CDemoTree BuildDemoTree(const std::filesystem::path& sourceRoot, const std::filesystem::path& discRoot)
{
    CDemoTree tree;
    tree.source = sourceRoot;
    tree.disc = discRoot;
    tree.strAltered = L"docs/notes.txt";
    tree.strMissing = L"setup.bin";
    WriteFile(sourceRoot / "readme.txt", "Welcome to the Korvane demo medium.\n");
    WriteFile(sourceRoot / "setup.bin", Pattern(40000, 7));
    WriteFile(sourceRoot / "docs" / "manual.txt", "1. Burn the medium.\n2. Verify it.\n");
    WriteFile(sourceRoot / "docs" / "notes.txt", "The disc copy of this file is altered by the demo.\n");
    WriteFile(sourceRoot / "docs" / "images" / "logo.bin", Pattern(20000, 3));

    // File by file: the "burn". (std::filesystem::copy of a tree onto a
    // folder that exists is refused by some standard libraries.)
    std::filesystem::create_directories(discRoot);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(sourceRoot)) {
        std::filesystem::path target = discRoot / entry.path().lexically_relative(sourceRoot);
        if (entry.is_directory())
            std::filesystem::create_directories(target);
        else
            std::filesystem::copy_file(entry.path(), target,
                                       std::filesystem::copy_options::overwrite_existing);
    }
    // Same size, one letter changed: only the checksums can tell.
    WriteFile(discRoot / "docs" / "notes.txt", "The disc copy of this file is ALTERED by the demo.\n");
    std::filesystem::remove(discRoot / "setup.bin");
    return tree;
}

int DemoCommand(const std::vector<std::wstring>& vecArgs)
{
    const std::vector<COptionDef> vecOptions = {{L"drive", true, false},
                                                {L"keep", false, false},
                                                {L"events", true, false},
                                                {L"events-raw", true, false},
                                                {L"log", true, false}};
    CParsedArgs args = ParseArgs(vecArgs, vecOptions);
    if (!args.Positionals().empty())
        throw CUsageError("demo: unexpected argument '" + Utf8FromWide(args.Positionals().front()) + "'");

    const std::filesystem::path work = MakeTempFolder("demo");
    CTempFolderGuard guard({work});
    std::filesystem::path disc = work / "disc";
    wchar_t wcDrive = 0;
    std::wstring strTarget; // where the disc folder lies below its drive's root
#if defined(_WIN32)
    if (const std::wstring* pstrDrive = args.Value(L"drive")) {
        wcDrive = ParseDriveLetter(*pstrDrive);
        std::wstring strName = work.filename().wstring();
        disc = std::filesystem::path(std::wstring(1, wcDrive) + L":\\" + strName);
        guard.Add(disc);
        strTarget = L"\\" + strName;
    } else {
        // The temporary folder's own drive serves as the disc drive.
        std::wstring strDisc = LibraryPathOf(std::filesystem::absolute(disc));
        if (!IsDrivePath(strDisc))
            throw CUsageError("demo: the temporary folder is not on a drive letter; give --drive");
        wcDrive = static_cast<wchar_t>(towupper(strDisc[0]));
        strTarget = strDisc.substr(2);
    }
#else
    wcDrive = args.Has(L"drive") ? ParseDriveLetter(*args.Value(L"drive")) : FreeLetter();
    strTarget = L"\\";
#endif
    CDemoTree tree = BuildDemoTree(work / "source", disc);
#if !defined(_WIN32)
    ApplyMapping({wcDrive, WideFromNative(disc)});
#endif

    CMediaDescription desc = DescribeSources(
        {tree.source / "readme.txt", tree.source / "setup.bin", tree.source / "docs"}, strTarget);
    std::filesystem::path file = WriteDescriptionFile(work / "media", 1, desc);

    const std::string strDrive = Utf8FromWide(std::wstring(1, wcDrive)) + ":";
    CVerifyOptions opt;
    opt.strCommand = "demo";
    ParseOutputOptions(args, opt);
    CFileSink out(opt.strEvents == L"-" || opt.strEventsRaw == L"-" ? stderr : stdout);
    out.Write("demo: source tree   " + Shown(tree.source) + "\n" + "demo: disc copy     " + Shown(disc) +
              " (drive " + strDrive + Utf8FromWide(strTarget) + ")\n" + "demo: description   " + Shown(file) +
              "\n" + "demo: on the disc, " + Utf8FromWide(tree.strAltered) + " is altered and " +
              Utf8FromWide(tree.strMissing) + " is missing\n" + "demo: korvane verify --drive " +
              Utf8FromWide(std::wstring(1, wcDrive)) + " --number 1 --folder " + Shown(work / "media") +
              " --on-error skip\n");

    opt.wcDrive = wcDrive;
    opt.bByNumber = true;
    opt.iNumber = 1;
    opt.strFolder = LibraryPathOf(work / "media");
    opt.eOnError = EOnError::Skip;
    // Kept only from here: a usage error above leaves nothing to look at.
    if (args.Has(L"keep"))
        guard.Keep();
    int iExit = RunVerify(opt);
    if (args.Has(L"keep"))
        out.Write("demo: kept " + Shown(work) + "\n");
    return iExit;
}

} // namespace kvtool
