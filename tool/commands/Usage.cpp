#include "commands/Usage.h"

namespace kvtool {

namespace {

struct CCommandHelp {
    const char* pszName;
    const char* pszText;
};

const CCommandHelp s_aHelp[] = {
    {"verify", "  korvane verify --drive E (--number N --folder DIR | --xml FILE)\n"
               "                 [--on-error ask|continue|skip|fail|abort] [--quiet | --status]\n"
               "                 [--events FILE|-] [--events-raw FILE|-] [--log FILE]\n"
               "                 [--map E=FOLDER]...\n"
               "      Verifies the disc in drive E against its description file\n"
               "      (DIR\\MediaN.xml, or FILE). Each file with a problem is one line,\n"
               "      \"STATUS  PATH\": MISSING, SIZE, CONTENT, UNREADABLE, NOT-A-FILE or\n"
               "      MISSING-SOURCE, the disc copy's path as this system names it.\n"
               "      --on-error answers each problem: ask (the default on a terminal),\n"
               "      continue (skip it, go on, fail at the end; the default otherwise),\n"
               "      skip (skip it and pass), fail, or abort. --quiet prints the problems\n"
               "      and the summary only; --status prints nothing. --events writes the\n"
               "      run as JSON Lines (docs/events.md); --events-raw every callback as\n"
               "      it came. --log sets the trace file (\"-\": standard\n"
               "      error). --map (Linux) maps a drive letter to a folder, a disc image\n"
               "      (.iso) or a disc's device (/dev/sr0), read unmounted. Ctrl-C stops\n"
               "      the run with its summary (exit status 130); a second one at once.\n"},
    {"checksum", "  korvane checksum FILE...\n"
                 "      Prints each file's disc checksum; \"-\" reads standard input.\n"},
    {"describe", "  korvane describe [--force] [--sums] [--map E=IMAGE]... --number N --out DIR\n"
                 "                   --target \\PATH SOURCE...\n"
                 "      Writes DIR/MediaN.xml for files and folders that are burned into\n"
                 "      \\PATH on the disc, a folder as itself (with or without a final /,\n"
                 "      its files go to \\PATH\\NAME\\...). An existing one is replaced only\n"
                 "      with --force. --sums also writes DIR/MediaN.sha256 (sha256sum's\n"
                 "      layout). A run that fails writes nothing. --map (Linux) maps a drive\n"
                 "      letter to a disc image, a device or a folder; a SOURCE E:\\docs is\n"
                 "      then read through it, and E:\\ names everything at its root. verify\n"
                 "      needs the same --map to read those sources.\n"},
    {"compare", "  korvane compare SOURCE COPY [--ignore-case] [--on-error continue|fail|abort]\n"
                "                  [--quiet | --status] [--events FILE|-] [--events-raw FILE|-]\n"
                "                  [--log FILE]\n"
                "      Compares a copy with its source: SOURCE/ compares the folder's\n"
                "      contents with COPY, SOURCE the folder itself with COPY/NAME. COPY may\n"
                "      be a disc image or a disc's device (Linux), read unmounted. One line\n"
                "      per problem: MISSING, SIZE, CONTENT, ... and EXTRA for files only on\n"
                "      the copy; then verify's summary. A name that differs only in case is\n"
                "      MISSING and EXTRA unless --ignore-case makes it the same file;\n"
                "      then two source names that find one file of the copy are one file\n"
                "      there, and the second is MISSING.\n"},
    {"check", "  korvane check MANIFEST [--root DIR] [--quiet | --status] [--events FILE|-]\n"
              "      Verifies the files below DIR (default: MANIFEST's folder) against a\n"
              "      SHA-256 manifest alone; the lines and summary as verify's. On Linux\n"
              "      DIR may be a disc image or a disc's device, read unmounted; a\n"
              "      MANIFEST not found here is then read from it (check Media1.sha256\n"
              "      --root /dev/sr0).\n"},
    {"demo", "  korvane demo [--drive X] [--keep] [--events FILE|-] [--events-raw FILE|-]\n"
             "               [--log FILE]\n"
             "      Builds a sample medium with two faults and verifies it.\n"},
};

const char* const s_pszExitStatus =
    "exit status:\n"
    "  0    every file listed was checked and passed (or its problem skipped by\n"
    "       --on-error skip)\n"
    "  1    a problem was reported, fewer files were checked than listed, the\n"
    "       description lists no entries or could not be read (E_FAIL)\n"
    "  2    the run was aborted by an answer (E_ABORT)\n"
    "  3    bad usage, or E_INVALIDARG\n"
    "  4    a write failed, or any other error\n"
    "  130  interrupted by Ctrl-C\n"
    "  141  standard output's reader went away (a pipe closed, as by head);\n"
    "       on Linux the process then ends by SIGPIPE\n"
    "'korvane COMMAND --help' shows one command; 'korvane --version' the versions.\n";

} // namespace

std::string UsageText()
{
    std::string strText = "usage:\n";
    for (const CCommandHelp& help : s_aHelp)
        strText += help.pszText;
    return strText + s_pszExitStatus;
}

std::string CommandUsage(const std::string& strCommand)
{
    for (const CCommandHelp& help : s_aHelp)
        if (strCommand == help.pszName)
            return std::string("usage:\n") + help.pszText + s_pszExitStatus;
    return std::string();
}

} // namespace kvtool
