// What a verify run tells, end to end: exit status by answer mode, runs
// that check nothing, one status line per fault, quiet and status, failed
// writes, refused outputs, and Ctrl-C through a real signal.
#include "Medium.h"
#include "ToolRunner.h"

#include "output/Text.h"

#include <KorvaneRevision.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#if !defined(_WIN32)
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace kvtooltest;
using kvtool::Utf8FromWide;
using kvtool::WideFromNative;

namespace {

bool Contains(const std::string& strText, const std::string& strPart)
{
    return strText.find(strPart) != std::string::npos;
}

std::string Shown(const std::filesystem::path& path)
{
    std::string strPath = Utf8FromWide(WideFromNative(path.lexically_normal()));
    for (char& c : strPath)
        if (c == '\\')
            c = '/';
    return strPath;
}

std::string ExitLine(const std::string& strOut)
{
    for (const std::string& strLine : Lines(strOut))
        if (strLine.compare(0, 14, "  exit status:") == 0)
            return strLine.substr(strLine.find_first_not_of(' ', 14));
    return std::string();
}

// Two files, one folder; the disc copy as good as its source.
void BuildGood(const CMedium& medium)
{
    medium.WriteBoth(L"a.txt", "abc");
    medium.WriteBoth(L"b.txt", "bcd");
    medium.WriteBoth(L"tree/c.txt", std::string(5000, 'c'));
    medium.Describe(1, {L"a.txt", L"b.txt", L"tree"});
}

void WriteText(const std::filesystem::path& path, const std::string& strText)
{
    std::ofstream(path, std::ios::binary) << strText;
}

} // namespace

TEST(ToolExitStatus, EachAnswerModeWithAndWithoutProblems)
{
    struct {
        const wchar_t* pszMode; // null: the default off a terminal
        bool bFaults;
        int iExit;
        size_t nLines; // problem lines before the summary
    } cases[] = {
        {nullptr, false, 0, 0}, {nullptr, true, 1, 2}, {L"continue", true, 1, 2},  {L"skip", false, 0, 0},
        {L"skip", true, 0, 2},  {L"fail", true, 1, 1}, {L"continue", false, 0, 0},
    };
    for (const auto& c : cases) {
        CMedium medium;
        BuildGood(medium);
        if (c.bFaults) {
            std::filesystem::remove(medium.Disc(L"a.txt"));
            medium.WriteDisc(L"tree/c.txt", std::string(5000, 'C'));
        }
        std::vector<std::wstring> vecExtra;
        if (c.pszMode)
            vecExtra = {L"--on-error", c.pszMode};
        CToolRun run = RunTool(medium.VerifyArgs(1, vecExtra));
        const std::string strCase =
            (c.pszMode ? Utf8FromWide(c.pszMode) : "default") + (c.bFaults ? " faults" : " clean");
        EXPECT_EQ(c.iExit, run.iExit) << strCase << "\n" << run.strOut << run.strErr;
        std::vector<std::string> vecOut = Lines(run.strOut);
        ASSERT_GT(vecOut.size(), c.nLines) << strCase;
        EXPECT_EQ("summary:", vecOut[c.nLines]) << strCase << "\n" << run.strOut;
        if (c.nLines) {
            EXPECT_EQ("MISSING  " + Shown(medium.Disc(L"a.txt")), vecOut[0]) << strCase;
        }
        if (c.nLines == 2) {
            EXPECT_EQ("CONTENT  " + Shown(medium.Disc(L"tree/c.txt")), vecOut[1]) << strCase;
        }
    }
}

TEST(ToolExitStatus, RunsThatCheckNothingFail)
{
    struct {
        const char* pszXml; // replaces Media1.xml; null: the good one with its file count raised
        const char* pszReason;
    } cases[] = {
        {"<Factory><Media><Info><Media_NumberFiles>0</Media_NumberFiles></Info></Media></Factory>",
         "the description lists no entries"},
        {"<Factory><Media><Info",
         "the description could not be read: line 1, column 17: the tag <Info never ends"},
        {"<Factory>\n  <Media x='>'></Info>\n</Factory>",
         "the description could not be read: line 2, column 16: </Info> closes <Media>"},
        {"<Factory><!-- \xc3\xa9 -->\n<Media/></Factory>\n<Factory/>",
         "the description could not be read: line 3, column 1: a second root element <Factory>"},
        {nullptr, "only 3 of the 9 files listed were checked"},
    };
    for (const auto& c : cases) {
        CMedium medium;
        BuildGood(medium);
        const std::filesystem::path xml = medium.Media() / "Media1.xml";
        std::string strXml = c.pszXml ? c.pszXml : kvtest::ReadBytes(xml);
        if (!c.pszXml)
            strXml.replace(strXml.find("<Media_NumberFiles>3<"), 21, "<Media_NumberFiles>9<");
        WriteText(xml, strXml);
        CToolRun run = RunTool(medium.VerifyArgs(1, {L"--on-error", L"skip"}));
        EXPECT_EQ(1, run.iExit) << c.pszReason << "\n" << run.strOut << run.strErr;
        EXPECT_EQ(std::string("1 (") + c.pszReason + ")", ExitLine(run.strOut)) << run.strOut;
    }
}

TEST(ToolReport, OneLinePerFaultInNativePaths)
{
    // Names the report buffer cuts: the path below the source is longer than it holds.
    const std::wstring strLong =
        L"deep/" + std::wstring(120, L'd') + L"/" + std::wstring(120, L'e') + L".bin";
    struct {
        const char* pszFault;
        std::wstring strRel;
        const char* pszStatus;
        const char* pszDetail;
    } cases[] = {
        {"missing", L"a.txt", "MISSING", ""},
        {"longer", L"a.txt", "SIZE", ""},
        {"altered", L"tree/c.txt", "CONTENT", ""},
        {"no source", L"b.txt", "MISSING-SOURCE", "source"},
        {"no source folder", L"tree", "MISSING-SOURCE", "source"},
        // The library never looks for a folder that holds nothing.
        {"empty folder", L"tree/empty", "MISSING", ""},
        {"file for a folder", L"tree/empty", "MISSING", "a file in its place"},
        {"cut", strLong, "CONTENT", ""},
#if !defined(_WIN32)
        {"fifo", L"a.txt", "NOT-A-FILE", "a FIFO"},
        {"dangling", L"a.txt", "NOT-A-FILE", "a link that leads nowhere"},
        {"controls", L"tree/n\nl\033.txt", "CONTENT", ""},
#endif
    };
    for (const auto& c : cases) {
        CMedium medium;
        medium.WriteBoth(L"a.txt", "abc");
        medium.WriteBoth(L"b.txt", "bcd");
        medium.WriteBoth(L"tree/c.txt", std::string(5000, 'c'));
        const std::string strFault = c.pszFault;
        if (strFault == "cut" || strFault == "controls")
            medium.WriteBoth(c.strRel, "same size");
        if (strFault == "cut")
            medium.Describe(1, {L"a.txt", L"b.txt", L"tree", L"deep"});
        else
            medium.Describe(1, {L"a.txt", L"b.txt", L"tree"});
        if (strFault == "longer")
            medium.WriteDisc(c.strRel, "abcd");
        else if (strFault == "no source")
            std::filesystem::remove(medium.Source(c.strRel));
        else if (strFault == "no source folder")
            std::filesystem::remove_all(medium.Source(c.strRel));
        else if (strFault == "empty folder")
            std::filesystem::create_directory(medium.Source(c.strRel));
        else if (strFault == "file for a folder") {
            std::filesystem::create_directory(medium.Source(c.strRel));
            medium.WriteDisc(c.strRel, "x");
        } else if (strFault == "altered")
            medium.WriteDisc(c.strRel, std::string(5000, 'C'));
        else if (strFault == "cut" || strFault == "controls")
            medium.WriteDisc(c.strRel, "SAME SIZE");
        else
            std::filesystem::remove(medium.Disc(c.strRel));
#if !defined(_WIN32)
        if (strFault == "fifo") {
            ASSERT_EQ(0, mkfifo(medium.Disc(c.strRel).c_str(), 0600));
        }
        if (strFault == "dangling")
            std::filesystem::create_symlink("nowhere", medium.Disc(c.strRel));
#endif
        CToolRun run = RunTool(medium.VerifyArgs(1));
        EXPECT_EQ(1, run.iExit) << strFault << "\n" << run.strOut << run.strErr;
        std::string strPath = Shown(medium.Disc(c.strRel));
        if (strFault == "controls")
            strPath.replace(strPath.find("n\nl\033"), 4, "n\\nl\\033");
        std::string strLine = std::string(c.pszStatus) + "  " + strPath;
        std::vector<std::string> vecOut = Lines(run.strOut);
        ASSERT_GE(vecOut.size(), 2u) << strFault;
        EXPECT_EQ(0u, vecOut[0].find(strLine)) << strFault << ": " << vecOut[0];
        EXPECT_TRUE(Contains(vecOut[0], c.pszDetail)) << strFault << ": " << vecOut[0];
        EXPECT_EQ("summary:", vecOut[1]) << strFault << ": one line per pair\n" << run.strOut;
    }
}

TEST(ToolReport, QuietAndStatus)
{
    CMedium medium;
    BuildGood(medium);
    std::filesystem::remove(medium.Disc(L"a.txt"));
    CToolRun quiet = RunTool(medium.VerifyArgs(1, {L"--quiet"}));
    EXPECT_EQ(1, quiet.iExit);
    EXPECT_EQ("", quiet.strErr);
    EXPECT_EQ(0u, quiet.strOut.find("MISSING  ")) << quiet.strOut;
    EXPECT_TRUE(Contains(quiet.strOut, "summary:\n"));
    CToolRun status = RunTool(medium.VerifyArgs(1, {L"--status"}));
    EXPECT_EQ(1, status.iExit);
    EXPECT_EQ("", status.strOut + status.strErr);
    medium.WriteDisc(L"a.txt", "abc");
    EXPECT_EQ(0, RunTool(medium.VerifyArgs(1, {L"--status"})).iExit);
}

TEST(ToolReport, OutputsThatAreInputsAreRefused)
{
    CMedium medium;
    BuildGood(medium);
    const std::filesystem::path xml = medium.Media() / "Media1.xml";
    const std::string strXml = kvtest::ReadBytes(xml);
    std::vector<std::filesystem::path> vecInputs = {xml, medium.Source(L"a.txt")};
#if !defined(_WIN32)
    vecInputs.push_back(medium.Disc(L"tree/c.txt")); // below the folder the drive is mapped to
#endif
    for (const std::filesystem::path& input : vecInputs) {
        for (const wchar_t* pszOption : {L"--events", L"--events-raw", L"--log"}) {
            CToolRun run = RunTool(medium.VerifyArgs(1, {pszOption, WideFromNative(input)}));
            EXPECT_EQ(3, run.iExit) << run.strErr;
            EXPECT_TRUE(Contains(run.strErr, "is one of the run's inputs")) << run.strErr;
        }
    }
    EXPECT_EQ(strXml, kvtest::ReadBytes(xml));
    EXPECT_EQ("abc", kvtest::ReadBytes(medium.Source(L"a.txt")));

    // describe keeps an existing description unless told.
    std::vector<std::wstring> vecDescribe = {L"describe",
                                             L"--number",
                                             L"1",
                                             L"--out",
                                             WideFromNative(medium.Media()),
                                             L"--target",
                                             medium.Target(),
                                             WideFromNative(medium.Source(L"a.txt"))};
    CToolRun kept = RunTool(vecDescribe);
    EXPECT_EQ(3, kept.iExit);
    EXPECT_TRUE(Contains(kept.strErr, "exists; give --force")) << kept.strErr;
    EXPECT_EQ(strXml, kvtest::ReadBytes(xml));
    vecDescribe.push_back(L"--force");
    EXPECT_EQ(0, RunTool(vecDescribe).iExit);
    EXPECT_NE(strXml, kvtest::ReadBytes(xml));
    // So is a manifest --sums would replace, and nothing is written then.
    const std::filesystem::path sums = medium.Media() / "Media2.sha256";
    kvtest::WriteBytes(sums, "kept");
    vecDescribe[2] = L"2";
    vecDescribe.back() = L"--sums";
    EXPECT_EQ(3, RunTool(vecDescribe).iExit);
    EXPECT_EQ("kept", kvtest::ReadBytes(sums));
    EXPECT_FALSE(std::filesystem::exists(medium.Media() / "Media2.xml"));
}

TEST(ToolChecksum, StandardInputAndFilesThatAreNot)
{
    CToolRun piped = RunTool({L"checksum", L"-"}, "abc");
    EXPECT_EQ(0, piped.iExit) << piped.strErr;
    EXPECT_EQ("736fdbf8  -\n", piped.strOut);
#if !defined(_WIN32)
    kvtest::TempDir dir;
    const std::filesystem::path fifo = dir.Path() / "fifo";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    for (const std::filesystem::path& path : {fifo, std::filesystem::path("/dev/zero")}) {
        CToolRun run = RunTool({L"checksum", WideFromNative(path)}); // must not wait on it
        EXPECT_EQ(1, run.iExit);
        EXPECT_TRUE(Contains(run.strErr, path == fifo ? ": a FIFO" : ": a character device")) << run.strErr;
    }
#endif
}

#if !defined(_WIN32)
TEST(ToolWrites, FailedWritesEndWithExit4)
{
    CMedium medium;
    BuildGood(medium);
    CToolRun events = RunTool(medium.VerifyArgs(1, {L"--events", L"/dev/full"}));
    EXPECT_EQ(4, events.iExit);
    EXPECT_EQ("4 (cannot write to /dev/full: No space left on device)", ExitLine(events.strOut));

    // A file that cannot be made is a failed write too, and says why.
    kvtest::TempDir elsewhere;
    const std::wstring strNowhere = WideFromNative(elsewhere.Path() / "no-such-folder" / "out");
    for (const auto& [pszOption, pszWhat] : {std::pair{L"--events", "events"}, std::pair{L"--log", "log"}}) {
        CToolRun run = RunTool(medium.VerifyArgs(1, {pszOption, strNowhere}));
        EXPECT_EQ(4, run.iExit) << pszWhat;
        EXPECT_TRUE(Contains(run.strErr, std::string("cannot write the ") + pszWhat + " file " +
                                             Utf8FromWide(strNowhere) + ": No such file or directory\n"))
            << run.strErr;
    }

    std::string strVerify;
    for (const std::wstring& strArg : medium.VerifyArgs(1))
        strVerify += " '" + Utf8FromWide(strArg) + "'";
    const std::string strTool = "'" + ToolPath().string() + "'";
    for (const std::string& strCommand :
         {strTool + " --version", strTool + " help", strTool + strVerify + " --quiet"}) {
        const int iStatus = std::system((strCommand + " >/dev/full 2>/dev/null").c_str());
        ASSERT_TRUE(WIFEXITED(iStatus)) << strCommand;
        EXPECT_EQ(4, WEXITSTATUS(iStatus)) << strCommand;
    }
}

// Starts the program and presses Ctrl-C (a real SIGINT) once standard
// error shows strCue; iExit is -1 when it was still running ten seconds on.
CToolRun InterruptWhenShown(const std::vector<std::string>& vecArgsIn, const std::string& strCue)
{
    std::vector<std::string> vecArgs = vecArgsIn;
    std::vector<char*> vecArgv;
    for (std::string& strArg : vecArgs)
        vecArgv.push_back(strArg.data());
    vecArgv.push_back(nullptr);
    kvtest::TempDir io;
    const std::filesystem::path out = io.Path() / "out.txt";
    const std::string strOutPath = out.string();
    CToolRun run;
    int aiIn[2], aiErr[2];
    if (pipe(aiIn) != 0 || pipe(aiErr) != 0)
        return run;
    const pid_t pid = fork();
    if (pid < 0)
        return run; // no kill(-1) below
    if (pid == 0) {
        dup2(aiIn[0], 0);
        dup2(aiErr[1], 2);
        dup2(open(strOutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        close(aiIn[1]);
        close(aiErr[0]);
        execv(vecArgv[0], vecArgv.data());
        _exit(127);
    }
    close(aiIn[0]);
    close(aiErr[1]);
    char ach[256];
    pollfd fd = {aiErr[0], POLLIN, 0};
    while (!Contains(run.strErr, strCue) && poll(&fd, 1, 10000) > 0) {
        ssize_t n = read(aiErr[0], ach, sizeof ach);
        if (n <= 0)
            break;
        run.strErr.append(ach, static_cast<size_t>(n));
    }
    usleep(200000); // into the wait or the read that follows the cue
    kill(pid, SIGINT);
    int iStatus = 0;
    pid_t waited = 0;
    for (int i = 0; i < 200 && waited == 0; ++i) {
        waited = waitpid(pid, &iStatus, WNOHANG);
        if (waited == 0)
            usleep(50000);
    }
    if (waited == 0) { // the Ctrl-C was not heard
        kill(pid, SIGKILL);
        waitpid(pid, &iStatus, 0);
    } else if (WIFEXITED(iStatus))
        run.iExit = WEXITSTATUS(iStatus);
    close(aiIn[1]);
    close(aiErr[0]);
    run.strOut = kvtest::ReadBytes(out);
    return run;
}

// The first Ctrl-C stops the run where it is (at the prompt inside the
// library's call; inside the digest of a large file) with its summary.
TEST(ToolInterrupt, FirstCtrlCPrintsTheSummaryAndExits130)
{
    CMedium medium;
    BuildGood(medium);
    std::filesystem::remove(medium.Disc(L"a.txt"));
    std::vector<std::string> vecVerify = {ToolPath().string()};
    for (const std::wstring& strArg : medium.VerifyArgs(1, {L"--on-error", L"ask"}))
        vecVerify.push_back(Utf8FromWide(strArg));
    // Sparse, so it costs no space, yet its digest takes seconds.
    kvtest::TempDir dir;
    {
        std::ofstream big(dir.Path() / "big.bin", std::ios::binary);
        big.seekp((8LL << 30) - 1);
        big.put('x');
    }
    kvtest::WriteBytes(dir.Path() / "sums", std::string(64, '0') + "  big.bin\n");
    const struct {
        const char* pszName;
        std::vector<std::string> vecArgs;
        const char* pszCue;
        const char* pszOut; // a line the summary must hold
    } aCases[] = {
        {"verify at its prompt", vecVerify, "? ", "MISSING  "},
        {"check inside a large file",
         {ToolPath().string(), "check", (dir.Path() / "sums").string()},
         "begin:",
         "files checked: 0"},
    };
    for (const auto& test : aCases) {
        SCOPED_TRACE(test.pszName);
        const CToolRun run = InterruptWhenShown(test.vecArgs, test.pszCue);
        ASSERT_EQ(130, run.iExit) << run.strErr << run.strOut;
        EXPECT_TRUE(Contains(run.strOut, test.pszOut)) << run.strOut;
        EXPECT_EQ("130 (interrupted)", ExitLine(run.strOut)) << run.strOut;
    }
}

// A reader that leaves early (korvane ... | head): the run stops, removes
// its temporary files and ends by SIGPIPE, with no error of its own.
TEST(ToolInterrupt, ReaderThatLeavesEndsTheRunBySigpipeLeavingNothing)
{
    kvtest::TempDir dir;
    kvtest::WriteBytes(dir.Path() / "src" / "a.txt", "alpha");
    kvtest::WriteBytes(dir.Path() / "src" / "b.txt", "beta");
    kvtest::WriteBytes(dir.Path() / "copy" / "a.txt", "alpha");
    kvtest::WriteBytes(dir.Path() / "input.txt", std::string(100000, 'x'));
    const std::string strSrc = (dir.Path() / "src").string() + "/";
    const std::string strCopy = (dir.Path() / "copy").string();
    const struct {
        const char* pszName;
        std::vector<std::string> vecArgs;
        const char* pszErr; // on standard error
    } aCases[] = {
        {"a problem line to a pipe nobody reads", {"compare", strSrc, strCopy}, ""},
        // The first write is at the run's start, where the run cannot be aborted;
        // the report is on standard error then.
        {"events to a pipe nobody reads",
         {"compare", "--events", "-", strSrc, strCopy},
         "exit status:   141 (standard output's reader has gone)\n"},
        {"the sum of standard input", {"checksum", "-"}, ""},
    };
    for (const auto& test : aCases) {
        SCOPED_TRACE(test.pszName);
        kvtest::TempDir temp; // the run's TMPDIR
        const std::filesystem::path err = dir.Path() / "err.txt";
        std::vector<std::string> vecArgs = {ToolPath().string()};
        vecArgs.insert(vecArgs.end(), test.vecArgs.begin(), test.vecArgs.end());
        std::vector<char*> vecArgv;
        for (std::string& strArg : vecArgs)
            vecArgv.push_back(strArg.data());
        vecArgv.push_back(nullptr);
        // Made before the fork: the child only opens, duplicates and executes.
        std::vector<std::string> vecEnv = {"TMPDIR=" + temp.Path().string()};
        for (char** ppsz = environ; *ppsz; ++ppsz)
            if (std::strncmp(*ppsz, "TMPDIR=", 7) != 0)
                vecEnv.push_back(*ppsz);
        std::vector<char*> vecEnvp;
        for (std::string& strVar : vecEnv)
            vecEnvp.push_back(strVar.data());
        vecEnvp.push_back(nullptr);
        const std::string strInput = (dir.Path() / "input.txt").string();
        int aiOut[2];
        ASSERT_EQ(0, pipe(aiOut));
        close(aiOut[0]); // the reader is gone before the first write
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            signal(SIGPIPE, SIG_DFL);
            dup2(open(strInput.c_str(), O_RDONLY), 0);
            dup2(aiOut[1], 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            execve(vecArgv[0], vecArgv.data(), vecEnvp.data());
            _exit(127);
        }
        close(aiOut[1]);
        int iStatus = 0;
        ASSERT_EQ(pid, waitpid(pid, &iStatus, 0));
        ASSERT_TRUE(WIFSIGNALED(iStatus)) << "exit " << WEXITSTATUS(iStatus);
        EXPECT_EQ(SIGPIPE, WTERMSIG(iStatus));
        const std::string strErr = kvtest::ReadBytes(err);
        EXPECT_FALSE(Contains(strErr, "cannot write")) << strErr;
        EXPECT_TRUE(Contains(strErr, test.pszErr)) << strErr;
        EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
    }
}
#endif
