// korvane verify --drive E (--number N --folder DIR | --xml FILE)
//                [--on-error ask|continue|skip|fail|abort] [--quiet|--status]
//                [--events FILE|-] [--events-raw FILE|-] [--log FILE] [--map E=/folder]...
#pragma once

#include "commands/CommandLine.h"
#include "host/DriveMap.h"
#include "host/VerifyHost.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kvtool {

// A problem a command found itself, beside the library's.
struct CFoundProblem {
    EProblemStatus eStatus;
    std::filesystem::path path;
    std::string strDetail;        // why, where it helps: "Permission denied"
    std::filesystem::path source; // the source it concerns, native; empty: none (EXTRA)
};

struct CVerifyOptions {
    wchar_t wcDrive = 0;
    bool bByNumber = false; // the folder-and-number overload
    int iNumber = 0;
    std::wstring strFolder; // as the library takes it
    std::wstring strXml;    // as the library takes it
    EOnError eOnError = EOnError::Continue;
    bool bQuiet = false;       // problems and the summary only
    bool bStatus = false;      // nothing at all: the exit status says it
    std::wstring strEvents;    // empty: none; "-": standard output; else a native path
    std::wstring strEventsRaw; // the callbacks as they came, same forms as strEvents
    std::wstring strLog;       // empty: leave the trace as ZRLOG_FILE says
    std::vector<CDriveMapping> vecMappings;
    // For a command that runs a verification of its own making (compare):
    std::string strCommand = "verify";                 // in its messages
    std::vector<std::filesystem::path> vecReadFolders; // no output may go below these
    // Problems the command found itself; printed and counted after a run
    // that was neither stopped nor failed.
    std::vector<CFoundProblem> vecFound;
    // Source files the command judged itself and kept out of the description
    // (compare: a name the copy spells otherwise): listed, and those found
    // missing checked, as the library counts its own.
    long long llWithheld = 0;
    unsigned uWithheldChecked = 0;
    // Whether to look on the disc for the source folders that hold nothing,
    // which the library never looks for (compare's own walk finds them).
    bool bEmptyFolders = true;
};

// --quiet, --status, --events, --events-raw and --log, as every command that verifies
// takes them. Throws CUsageError.
void ParseOutputOptions(const CParsedArgs& args, CVerifyOptions& opt);
// Throws CUsageError. bInteractive: whether a person can answer prompts,
// which makes "ask" the default ("continue" otherwise).
CVerifyOptions ParseVerifyOptions(const std::vector<std::wstring>& vecArgs, int iRevision, bool bInteractive);
// Runs the verification and prints its problems and summary; returns the
// exit status (ProblemLine.h). Throws CUsageError for what only shows now
// (an unmapped drive, a missing description file, an events or log file
// that cannot be written or is one of the run's inputs).
int RunVerify(const CVerifyOptions& opt);
int VerifyCommand(const std::vector<std::wstring>& vecArgs);

} // namespace kvtool
