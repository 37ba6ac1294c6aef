#include "commands/Usage.h"

namespace kvtool {

const char* UsageText()
{
    return "usage:\n"
           "  korvane verify --drive E (--number N --folder DIR | --xml FILE)\n"
           "                 [--on-error ask|skip|fail|abort] [--events FILE|-] [--log FILE]\n"
           "                 [--map E=FOLDER]...\n"
           "      Verifies the disc in drive E against its description file\n"
           "      (DIR\\MediaN.xml, or FILE). --on-error answers each problem: ask\n"
           "      (the default on a terminal), skip, fail (the default otherwise) or\n"
           "      abort. --events writes every callback as a JSON line. --log sets the\n"
           "      trace file (\"-\": standard error). --map (Linux) maps a drive letter\n"
           "      to a folder.\n"
           "  korvane checksum FILE...\n"
           "      Prints each file's disc checksum.\n"
           "  korvane describe --number N --out DIR --target \\PATH [--sums] SOURCE...\n"
           "      Writes DIR/MediaN.xml for files and folders that are burned into\n"
           "      \\PATH on the disc; --sums also DIR/MediaN.sha256 (sha256sum's layout).\n"
           "  korvane compare SOURCE COPY [--ignore-case] [--on-error continue|fail|abort]\n"
           "                  [--quiet]\n"
           "      Compares a copy with its source: SOURCE/ compares the folder's\n"
           "      contents with COPY, SOURCE the folder itself with COPY/NAME. One line\n"
           "      per problem: MISSING, SIZE, CONTENT, ... and EXTRA for files only on\n"
           "      the copy. Exit 1 when there is any.\n"
           "  korvane check MANIFEST [--root DIR] [--quiet]\n"
           "      Verifies the files below DIR (default: MANIFEST's folder) against a\n"
           "      SHA-256 manifest alone.\n"
           "  korvane demo [--drive X] [--keep] [--events FILE|-] [--log FILE]\n"
           "      Builds a sample medium with two faults and verifies it.\n"
           "exit codes: 0 S_OK, 1 E_FAIL, 2 E_ABORT, 3 bad usage or E_INVALIDARG, 4 other\n";
}

} // namespace kvtool
