// The tool's few contacts with its process: standard streams, terminals,
// environment variables. Everything it prints is UTF-8.
#pragma once

#include <cstdio>
#include <string>

namespace kvtool {

// Where a piece of text goes; the verify run writes through these so that
// tests can read what it printed.
class CTextSink {
  public:
    virtual ~CTextSink() = default;
    virtual void Write(const std::string& strUtf8) = 0;
};

// A C stream, flushed after every write so that progress and events show at
// once. A write that fails is remembered (the first one's reason), never
// ignored: the command ends with an error for it.
class CFileSink : public CTextSink {
  public:
    // strName: what the stream is, for the message ("standard output", a path).
    explicit CFileSink(FILE* pFile, std::string strName = std::string())
        : m_pFile(pFile), m_strName(std::move(strName))
    {
    }
    void Write(const std::string& strUtf8) override;
    bool Failed() const { return !m_strError.empty(); }
    // "cannot write to standard output: No space left on device".
    const std::string& Error() const { return m_strError; }
    // The stream is standard output and its reader has gone (a pipe closed, as by head).
    bool OutputGone() const { return m_bOutputGone; }

  private:
    FILE* m_pFile;
    std::string m_strName;
    std::string m_strError;
    bool m_bOutputGone = false;
};

// A failed write said on standard error, "korvane: cannot write to ...";
// nothing when standard output's reader has gone, which is no news to it.
void TellWriteFailure(const CFileSink& sink);
// Whether a write found standard output's reader gone: nobody reads the
// run's lines, so a run stops as at Ctrl-C.
bool OutputReaderGone();
// Ends the process with iExit, or, once standard output's reader has gone,
// by SIGPIPE as a program ends in a pipe whose reader left (Linux; the
// signal is ignored before, so that a run removes its temporary files
// first). EndProcessNow runs no destructors and no exit handlers.
[[noreturn]] void EndProcess(int iExit);
[[noreturn]] void EndProcessNow(int iExit);

// Swallows everything: what --quiet and --status leave out.
class CNullSink : public CTextSink {
  public:
    void Write(const std::string&) override {}
};

class CStringSink : public CTextSink {
  public:
    void Write(const std::string& strUtf8) override { m_strText += strUtf8; }
    const std::string& Text() const { return m_strText; }

  private:
    std::string m_strText;
};

// Binary standard streams, UTF-8 console, and on Windows no "no disk in
// drive" message boxes: a verifier meets empty drives. On Linux SIGPIPE is
// ignored (see EndProcess).
void PrepareProcess();
bool IsTerminal(FILE* pFile);
// The width of the terminal on standard error: its window size, else
// COLUMNS, else 80.
int TerminalColumns();
// The operating system's message for an error number (errno).
std::string SystemMessage(int iError);
// One line from standard input without its line end; false at its end.
bool ReadInputLine(std::string& strLine);
// A file opened for writing (truncated), or null.
FILE* OpenForWriting(const std::wstring& strNativePath);

// The variable's value; false when it is unset or empty.
bool GetEnvironment(const std::string& strName, std::wstring& strValue);
void SetEnvironment(const std::string& strName, const std::wstring& strValue);

} // namespace kvtool
