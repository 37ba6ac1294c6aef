// A whole VerifyBurning over a small generated medium: the input decides
// which files exist on the source disk (S:) and on the disc (T:), their
// bytes and how the disc copy differs, what the description lists and how
// it spells it, and every answer of the host. The target knows which pairs
// are bad and checks the run against that:
//   - no report names a pair that is fine, and each report tells the truth
//     (missing means missing);
//   - the first answer that stops a run (1 or 2 to a problem, 2 to command
//     4 or to progress) decides the result, and only progress reports of
//     the file being read may follow it;
//   - a run without such an answer returns S_OK, after every bad pair that
//     it checked was reported, with the start report first and the end
//     report last.
#include "FuzzCheck.h"

#include <kvutf/Utf.h>
#include <Korvane.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#if KORVANE_REVISION < 11
#error "the invariants here are those of revision 1.1"
#endif

namespace fs = std::filesystem;

namespace {

struct Drives {
    fs::path root; // S:
    fs::path disc; // T:
};

const Drives& TheDrives()
{
    static const Drives drives = [] {
        const char* pszTemp = std::getenv("TMPDIR");
        std::string strTemplate =
            std::string(pszTemp && *pszTemp ? pszTemp : "/tmp") + "/kvfuzz-verify-XXXXXX";
        FUZZ_CHECK(mkdtemp(strTemplate.data()) != nullptr);
        const char* szTemplate = strTemplate.c_str();
        Drives d{fs::path(szTemplate) / "src", fs::path(szTemplate) / "disc"};
        fs::create_directories(d.root);
        fs::create_directories(d.disc);
        setenv("KORVANE_DRIVE_S", d.root.c_str(), 1);
        setenv("KORVANE_DRIVE_T", d.disc.c_str(), 1);
        unsetenv("ZRLOG_FILE"); // no trace: it would only slow the runs down
        static std::string strTop = szTemplate;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(strTop, ec);
        });
        return d;
    }();
    return drives;
}

void Empty(const fs::path& dir)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        fs::remove_all(entry.path());
}

// The folders the files lie in, below the drive roots.
const wchar_t* const kFolders[] = {L"", L"data", L"data\\dir", L"data\\dir\\sub",
                                   L"data\\dir\\System Volume Information"};
const wchar_t* const kNames[] = {L"f%d.bin", L"F %d.TXT", L"\u00e9t\u00e9 %d", L"R&D %d", L"%d"};

struct File {
    std::wstring strFolder; // below the root, no leading "\"
    std::wstring strName;
    bool bSource = true;
    bool bTarget = true;
    bool bDiffers = false; // sizes or bytes, when both exist
    std::wstring Rel() const { return strFolder.empty() ? strName : strFolder + L"\\" + strName; }
    bool Bad() const { return !bSource || !bTarget || bDiffers; }
};

std::string Utf8(const std::wstring& str)
{
    return kvutf::Utf8FromWide(str);
}

fs::path Native(const fs::path& root, const std::wstring& strRel)
{
    fs::path p = root;
    std::wstring strPart;
    for (wchar_t wc : strRel + L"\\") {
        if (wc == L'\\') {
            if (!strPart.empty())
                p /= Utf8(strPart);
            strPart.clear();
        } else {
            strPart += wc;
        }
    }
    return p;
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::FILE* pFile = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(pFile);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), pFile) == bytes.size());
    FUZZ_CHECK(std::fclose(pFile) == 0);
}

std::string XmlEscaped(const std::wstring& str)
{
    std::string strOut;
    for (char c : Utf8(str)) {
        if (c == '&')
            strOut += "&amp;";
        else if (c == '<')
            strOut += "&lt;";
        else
            strOut += c;
    }
    return strOut;
}

// The child names as the reader accepts them, in any case.
std::string Spelled(FuzzedDataProvider& input, const std::string& strName)
{
    std::string strOut = strName;
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 1:
        for (char& c : strOut)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        break;
    case 2:
        for (char& c : strOut)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        break;
    default:
        break;
    }
    return strOut;
}

std::string Element(FuzzedDataProvider& input, const std::string& strName, const std::string& strText)
{
    const std::string strTag = Spelled(input, strName);
    return "<" + strTag + ">" + strText + "</" + strTag + ">";
}

// Attribute texts with the folder bit clear, and with it set.
const char* const kFileAttributes[] = {"32", "0", "", " 32", "0x10", "33", "-0", "128", "15abc"};
const char* const kFolderAttributes[] = {"16", " 16",        "+16", "48",        "16abc",
                                         "17", "2147483647", "-1",  "4294967295"};

struct Entry {
    bool bFolder;
    std::size_t nFile;      // a file entry: index into the files
    std::wstring strFolder; // a folder entry: the folder below S:\ and T:\ .
};

struct Medium {
    std::vector<File> vecFiles;
    std::vector<Entry> vecEntries;
    std::string strXml;
    DWORD dwTotalMiB = 0;
    DWORD dwFileCount = 0;
};

std::string Content(FuzzedDataProvider& input)
{
    static const std::size_t kSizes[] = {0, 1, 2, 100, 16383, 16384, 16385, 40000};
    std::size_t nSize;
    const int iPick = input.ConsumeIntegralInRange(0, 31);
    if (iPick == 0)
        nSize = 1100000; // enough for progress reports
    else if (iPick < 8)
        nSize = kSizes[iPick];
    else
        nSize = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    std::string bytes(nSize, '\0');
    std::uint32_t uState = input.ConsumeIntegral<std::uint32_t>() | 1;
    for (char& c : bytes) {
        uState = uState * 1664525u + 1013904223u;
        c = static_cast<char>(uState >> 24);
    }
    return bytes;
}

// Lays out the files and writes the description S:\Media1.xml.
Medium Generate(FuzzedDataProvider& input, const Drives& drives)
{
    Medium medium;
    const int iFiles = input.ConsumeIntegralInRange(0, 5);
    for (int i = 0; i < iFiles; ++i) {
        File file;
        file.strFolder = input.PickValueInArray(kFolders);
        wchar_t szName[32];
        std::swprintf(szName, 32, input.PickValueInArray(kNames), i);
        file.strName = szName;
        const std::string bytes = Content(input);
        std::string disc = bytes;
        switch (input.ConsumeIntegralInRange(0, 7)) {
        case 0:
            file.bSource = false;
            break;
        case 1:
            file.bTarget = false;
            break;
        case 2:
            if (!disc.empty()) {
                // One byte changed: a CRC-32 always sees it.
                const std::size_t n = input.ConsumeIntegralInRange<std::size_t>(0, disc.size() - 1);
                disc[n] = static_cast<char>(disc[n] ^ input.ConsumeIntegralInRange(1, 255));
                file.bDiffers = true;
            }
            break;
        case 3:
            if (!disc.empty()) {
                disc.pop_back();
                file.bDiffers = true;
            }
            break;
        case 4:
            disc += 'x';
            file.bDiffers = true;
            break;
        default:
            break;
        }
        if (file.bSource)
            WriteBytes(Native(drives.root, file.Rel()), bytes);
        if (file.bTarget)
            WriteBytes(Native(drives.disc, file.Rel()), disc);
        medium.vecFiles.push_back(file);
    }
    // A file that only the disc holds: nothing looks at it.
    if (input.ConsumeBool())
        WriteBytes(Native(drives.disc, L"data\\dir\\extra.bin"), "extra");

    for (std::size_t n = 0; n < medium.vecFiles.size(); ++n) {
        if (input.ConsumeIntegralInRange(0, 2) != 0)
            medium.vecEntries.push_back({false, n, L""});
    }
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 1:
        medium.vecEntries.insert(medium.vecEntries.begin(), {true, 0, L"data\\dir"});
        break;
    case 2:
        medium.vecEntries.push_back({true, 0, L"data"});
        break;
    default:
        break;
    }
    if (input.ConsumeIntegralInRange(0, 7) == 0) {
        // Listed, but on neither disk.
        File ghost;
        ghost.strFolder = L"data";
        ghost.strName = L"ghost.bin";
        ghost.bSource = ghost.bTarget = false;
        medium.vecFiles.push_back(ghost);
        medium.vecEntries.push_back({false, medium.vecFiles.size() - 1, L""});
    }

    std::string& x = medium.strXml;
    x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Factory>\n";
    if (input.ConsumeIntegralInRange(0, 7) != 0) {
        const long long llSize = input.ConsumeIntegralInRange<long long>(-(1LL << 40), 1LL << 50);
        medium.dwFileCount = input.ConsumeIntegralInRange<DWORD>(0, 0x7FFFFFFF);
        medium.dwTotalMiB = static_cast<DWORD>((llSize * 2) / 0x100000);
        x += "<Media><Info><Media_NumberFiles>" + std::to_string(medium.dwFileCount) +
             "</Media_NumberFiles><Media_Size>" + std::to_string(llSize) + "</Media_Size></Info></Media>\n";
    }
    const char chSource = input.ConsumeBool() ? 'S' : 's';
    for (const Entry& entry : medium.vecEntries) {
        x += "<FILE>";
        if (entry.bFolder) {
            const std::string strFolder = XmlEscaped(entry.strFolder);
            x += Element(input, "FullPath",
                         std::string(1, chSource) + ":\\" + strFolder +
                             (input.ConsumeBool() ? "\\*.*" : "\\"));
            x += Element(input, "TargetPath", "\\" + strFolder + (input.ConsumeBool() ? "\\" : ""));
            x += Element(input, "Attribute", input.PickValueInArray(kFolderAttributes));
        } else {
            const File& file = medium.vecFiles[entry.nFile];
            x += Element(input, "FullPath", std::string(1, chSource) + ":\\" + XmlEscaped(file.Rel()));
            if (!file.strFolder.empty() || input.ConsumeBool())
                x += Element(input, "TargetPath", "\\" + XmlEscaped(file.strFolder));
            x += Element(input, "Name", XmlEscaped(file.strName));
            if (input.ConsumeBool())
                x += Element(input, "Attribute", input.PickValueInArray(kFileAttributes));
        }
        if (input.ConsumeBool())
            x += "<Path>ignored</Path><WriteTime>2024-01-01 "
                 "00:00:00</WriteTime><FileSize>12</FileSize><Other/>";
        x += "</FILE>\n";
    }
    x += "</Factory>\n";
    WriteBytes(drives.root / "Media1.xml", x);
    return medium;
}

// The Windows paths of every pair the run checks, the bad ones marked.
struct Pair {
    std::wstring strSource;
    std::wstring strTarget;
    bool bSourceMissing;
    bool bTargetMissing;
    bool bBad;
};

bool Below(const std::wstring& strFolder, const std::wstring& strRel)
{
    return strRel.size() > strFolder.size() && strRel.compare(0, strFolder.size(), strFolder) == 0 &&
           strRel[strFolder.size()] == L'\\';
}

std::vector<Pair> CheckedPairs(const Medium& medium)
{
    std::vector<Pair> vecPairs;
    auto Add = [&](const File& file) {
        vecPairs.push_back(
            {L"S:\\" + file.Rel(), L"T:\\" + file.Rel(), !file.bSource, !file.bTarget, file.Bad()});
    };
    for (const Entry& entry : medium.vecEntries) {
        if (!entry.bFolder) {
            Add(medium.vecFiles[entry.nFile]);
            continue;
        }
        // The walk follows the source and leaves System Volume Information out.
        bool bListed = false;
        for (const File& file : medium.vecFiles) {
            if (!file.bSource || !Below(entry.strFolder, file.Rel()))
                continue;
            bListed = true; // the folder exists: it holds this file
            if (file.strFolder.find(L"System Volume Information") == std::wstring::npos)
                Add(file);
        }
        // A source folder that cannot be listed is reported as missing, not
        // taken for an empty one.
        if (!bListed)
            vecPairs.push_back({L"S:\\" + entry.strFolder, L"", true, false, true});
    }
    return vecPairs;
}

struct Call {
    UINT uiCmd;
    std::wstring strPath;
    DWORD dwParam2;
    DWORD dwAnswer;
};

struct Host {
    FuzzedDataProvider* pInput;
    std::vector<Call> vecCalls;
};

bool Stops(const Call& call)
{
    if (call.uiCmd == CRCVERIF_FILEERROR)
        return call.dwAnswer == CRCVERIF_ANSWER_FAIL || call.dwAnswer == CRCVERIF_ANSWER_ABORT;
    return (call.uiCmd == CRCVERIF_TARGETDONE || call.uiCmd == CRCVERIF_PROGRESS) &&
           call.dwAnswer == CRCVERIF_ANSWER_ABORT;
}

DWORD CALLBACK HostCallback(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3)
{
    Host* pHost = static_cast<Host*>(pParam3);
    FUZZ_CHECK(pHost && pHost->pInput);
    Call call{uiCmd, L"", dwParam2, 0};
    if (uiCmd == CRCVERIF_FILEERROR) {
        FUZZ_CHECK(pParam1);
        const wchar_t* pszPath = static_cast<const wchar_t*>(pParam1);
        call.strPath.assign(pszPath, wcsnlen(pszPath, MAX_PATH));
        FUZZ_CHECK(call.strPath.size() < MAX_PATH);
        // The disc's letter as the run was given it: compare in capitals.
        if (!call.strPath.empty())
            call.strPath[0] = static_cast<wchar_t>(std::towupper(call.strPath[0]));
    } else {
        FUZZ_CHECK(pParam1 == nullptr);
    }
    static const DWORD kSkips[] = {0, 3, 4, 100, 0xFFFFFFFF};
    const int iPick = pHost->pInput->ConsumeIntegralInRange(0, 15);
    switch (uiCmd) {
    case CRCVERIF_FILEERROR:
        call.dwAnswer = iPick == 0   ? CRCVERIF_ANSWER_FAIL
                        : iPick == 1 ? CRCVERIF_ANSWER_ABORT
                                     : kSkips[iPick % 5];
        break;
    case CRCVERIF_TARGETDONE:
    case CRCVERIF_PROGRESS:
        call.dwAnswer = iPick == 0 ? CRCVERIF_ANSWER_ABORT : kSkips[iPick % 5];
        break;
    default:
        call.dwAnswer = iPick;
        break; // ignored
    }
    pHost->vecCalls.push_back(call);
    return call.dwAnswer;
}

void CheckRun(const Medium& medium, const Host& host, HRESULT hr)
{
    const std::vector<Call>& calls = host.vecCalls;
    const std::vector<Pair> vecPairs = CheckedPairs(medium);

    FUZZ_CHECK(hr == S_OK || hr == E_FAIL || hr == E_ABORT);
    FUZZ_CHECK(!calls.empty() && calls[0].uiCmd == CRCVERIF_BEGIN);
    FUZZ_CHECK(calls[0].dwParam2 == medium.dwTotalMiB);

    std::size_t nStop = calls.size();
    DWORD dwLastMiB = 0;
    std::set<std::size_t> setReported;
    for (std::size_t i = 1; i < calls.size(); ++i) {
        const Call& call = calls[i];
        FUZZ_CHECK(call.uiCmd != CRCVERIF_BEGIN);
        if (nStop < calls.size())
            FUZZ_CHECK(call.uiCmd == CRCVERIF_PROGRESS); // only the rest of the file being read
        if (call.uiCmd == CRCVERIF_PROGRESS) {
            FUZZ_CHECK(call.dwParam2 > dwLastMiB);
            dwLastMiB = call.dwParam2;
        }
        if (call.uiCmd == CRCVERIF_END)
            FUZZ_CHECK(i + 1 == calls.size() && call.dwParam2 == medium.dwFileCount);
        if (call.uiCmd == CRCVERIF_TARGETDONE)
            FUZZ_CHECK(call.dwParam2 == 0);
        if (call.uiCmd == CRCVERIF_FILEERROR) {
            // The report names a bad pair that the run checks, truthfully.
            bool bKnown = false;
            for (std::size_t n = 0; n < vecPairs.size(); ++n) {
                const Pair& pair = vecPairs[n];
                const bool bSource = call.strPath == pair.strSource;
                const bool bTarget = call.strPath == pair.strTarget;
                if (!bSource && !bTarget)
                    continue;
                FUZZ_CHECK(pair.bBad);
                if (call.dwParam2 == CRCVERIF_ERROR_MISSING)
                    FUZZ_CHECK(bSource ? pair.bSourceMissing : pair.bTargetMissing);
                else
                    FUZZ_CHECK(call.dwParam2 == CRCVERIF_ERROR_DIFFERS && bSource);
                setReported.insert(n);
                bKnown = true;
            }
            if (!bKnown)
                std::fprintf(stderr, "report of a path the run does not check: %ls\n", call.strPath.c_str());
            FUZZ_CHECK(bKnown);
        }
        if (nStop == calls.size() && Stops(call))
            nStop = i;
    }

    if (nStop == calls.size()) {
        FUZZ_CHECK(hr == S_OK);
        FUZZ_CHECK(calls.back().uiCmd == CRCVERIF_END);
        for (std::size_t n = 0; n < vecPairs.size(); ++n) {
            if (vecPairs[n].bBad && !setReported.count(n)) {
                bool bSameFile = false; // listed twice, reported under the other listing
                for (std::size_t m : setReported)
                    bSameFile = bSameFile || vecPairs[m].strSource == vecPairs[n].strSource;
                if (!bSameFile)
                    std::fprintf(stderr, "bad pair never reported: %ls\n", vecPairs[n].strSource.c_str());
                FUZZ_CHECK(bSameFile);
            }
        }
    } else {
        const Call& stop = calls[nStop];
        const bool bFail = stop.uiCmd == CRCVERIF_FILEERROR && stop.dwAnswer == CRCVERIF_ANSWER_FAIL;
        FUZZ_CHECK(hr == (bFail ? E_FAIL : E_ABORT));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData)
{
    const Drives& drives = TheDrives();
    Empty(drives.root);
    Empty(drives.disc);

    FuzzedDataProvider input(pData, cbData);
    const Medium medium = Generate(input, drives);
    const wchar_t wcDisc = input.ConsumeBool() ? L'T' : L't';
    const bool bByNumber = input.ConsumeBool();

    Host host{&input, {}};
    HRESULT hr;
    {
        CKorvane verifier;
        hr = bByNumber ? verifier.VerifyBurning(wcDisc, 1, input.ConsumeBool() ? L"S:\\" : L"S:",
                                                HostCallback, &host)
                       : verifier.VerifyBurning(wcDisc, L"S:\\Media1.xml", HostCallback, &host);
    }
    if (std::getenv("KVFUZZ_VERBOSE")) {
        std::fprintf(stderr, "%s", medium.strXml.c_str());
        for (const Call& call : host.vecCalls)
            std::fprintf(stderr, "cmd %u %ls %u -> %u\n", call.uiCmd, call.strPath.c_str(), call.dwParam2,
                         call.dwAnswer);
        std::fprintf(stderr, "result 0x%08X\n", static_cast<unsigned>(hr));
    }
    CheckRun(medium, host, hr);
    return 0;
}
