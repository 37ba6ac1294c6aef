#include "Harness.h"

#include "TestSupport.h"

#include <ostream>
#include <stdexcept>

namespace kvtest {

std::ostream& operator<<(std::ostream& os, const Call& c)
{
    os << "{cmd " << c.uiCmd;
    if (c.bHasPath)
        os << ", \"" << Narrow(c.strPath) << "\"";
    return os << ", " << c.dwParam2 << "}";
}

Call Cmd(UINT uiCmd, DWORD dwParam2)
{
    return {uiCmd, false, L"", dwParam2, 0};
}
Call Cmd(UINT uiCmd, const std::wstring& strPath, DWORD dwParam2)
{
    return {uiCmd, true, strPath, dwParam2, 0};
}

DWORD CALLBACK Host::Thunk(UINT uiCmd, LPVOID pParam1, DWORD dwParam2, LPVOID pParam3)
{
    Host* pHost = static_cast<Host*>(pParam3);
    Call call{uiCmd, pParam1 != nullptr, pParam1 ? static_cast<const wchar_t*>(pParam1) : L"", dwParam2, 0};
    call.dwAnswer = pHost->Answer ? pHost->Answer(call) : 0;
    pHost->calls.push_back(call);
    return call.dwAnswer;
}

void Host::Attach(CKorvane& k)
{
    TestKorvane& t = static_cast<TestKorvane&>(k);
    t.m_lpCB = Callback();
    t.m_lpUserParam = User();
}

std::vector<Call> Host::Only(UINT uiCmd) const
{
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.uiCmd == uiCmd)
            out.push_back(c);
    return out;
}

void Host::AnswerErrors(DWORD dwAnswer)
{
    Answer = [dwAnswer](const Call& c) { return c.uiCmd == CRCVERIF_FILEERROR ? dwAnswer : 0u; };
}

namespace {
std::string Escape(const std::wstring& s)
{
    std::string out;
    for (char c : Narrow(s)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}
} // namespace

std::string Description(const std::vector<Entry>& entries, DWORD dwNumberFiles, long long iMediaSize)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Factory>\n  <Media>\n    <Info>\n";
    xml += "      <Media_NumberFiles>" + std::to_string(dwNumberFiles) + "</Media_NumberFiles>\n";
    xml += "      <Media_Size>" + std::to_string(iMediaSize) + "</Media_Size>\n    </Info>\n  </Media>\n";
    for (const Entry& e : entries) {
        xml += "  <FILE>\n";
        xml += "    <FullPath>" + Escape(e.strFullPath) + "</FullPath>\n";
        xml += "    <Path>" + Escape(e.strTargetPath) + "</Path>\n";
        xml += "    <TargetPath>" + Escape(e.strTargetPath) + "</TargetPath>\n";
        xml += "    <Name>" + Escape(e.strName) + "</Name>\n";
        xml += "    <Attribute>" + std::to_string(e.dwAttribute) + "</Attribute>\n";
        xml += "    <Exclusion>0</Exclusion>\n";
        xml += "    <WriteTime>2026-01-01T00:00:00Z</WriteTime>\n";
        xml += "    <FileSize>" + std::to_string(e.iSize) + "</FileSize>\n";
        xml += "  </FILE>\n";
    }
    return xml + "</Factory>\n";
}

} // namespace kvtest

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/time.h>
#include <ctime>
#endif

namespace kvtest {

void SetWriteTime(const std::filesystem::path& path, int iYear, int iMonth, int iDay, int iHour, int iMinute,
                  int iSecond)
{
#if defined(_WIN32)
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(iYear);
    st.wMonth = static_cast<WORD>(iMonth);
    st.wDay = static_cast<WORD>(iDay);
    st.wHour = static_cast<WORD>(iHour);
    st.wMinute = static_cast<WORD>(iMinute);
    st.wSecond = static_cast<WORD>(iSecond);
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE h = CreateFileW(path.wstring().c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + path.string());
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
#else
    std::tm tm = {};
    tm.tm_year = iYear - 1900;
    tm.tm_mon = iMonth - 1;
    tm.tm_mday = iDay;
    tm.tm_hour = iHour;
    tm.tm_min = iMinute;
    tm.tm_sec = iSecond;
    const time_t t = timegm(&tm);
    struct timeval tv[2] = {{t, 0}, {t, 0}};
    if (utimes(path.c_str(), tv) != 0)
        throw std::runtime_error("cannot set the time of " + path.string());
#endif
}

} // namespace kvtest

namespace kvtest {

std::filesystem::path LongNative(const std::filesystem::path& path)
{
#if defined(_WIN32)
    return std::filesystem::path(L"\\\\?\\" + std::filesystem::absolute(path).make_preferred().wstring());
#else
    return path;
#endif
}

bool MakeFolderLink(const std::filesystem::path& target, const std::filesystem::path& link)
{
    std::error_code ec;
    std::filesystem::create_directory_symlink(target, link, ec);
    return !ec;
}

} // namespace kvtest
