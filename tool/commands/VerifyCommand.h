// korvane verify --drive E (--number N --folder DIR | --xml FILE)
//                [--on-error ask|skip|fail|abort] [--events FILE|-] [--log FILE]
//                [--map E=/folder]...
#pragma once

#include "host/DriveMap.h"
#include "host/VerifyHost.h"

#include <string>
#include <vector>

namespace kvtool {

struct CVerifyOptions {
    wchar_t wcDrive = 0;
    bool bByNumber = false;      // the folder-and-number overload
    int iNumber = 0;
    std::wstring strFolder;      // as the library takes it
    std::wstring strXml;         // as the library takes it
    EOnError eOnError = EOnError::Fail;
    std::wstring strEvents;      // empty: none; "-": standard output; else a native path
    std::wstring strLog;         // empty: leave the trace as ZRLOG_FILE says
    std::vector<CDriveMapping> vecMappings;
};

// Throws CUsageError. bInteractive: whether a person can answer prompts,
// which makes "ask" the default.
CVerifyOptions ParseVerifyOptions(const std::vector<std::wstring>& vecArgs, int iRevision, bool bInteractive);
// Runs the verification and prints its problems and summary; returns the
// exit code. Throws CUsageError for what only shows now (an unmapped drive,
// a missing description file, an events file that cannot be written).
int RunVerify(const CVerifyOptions& opt);
int VerifyCommand(const std::vector<std::wstring>& vecArgs);

} // namespace kvtool
