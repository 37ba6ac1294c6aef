#include "commands/StagedFile.h"

#include "host/HostPath.h"
#include "output/Text.h"

#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace kvtool {

CStagedFile::CStagedFile(const std::string& strCommand, std::filesystem::path file,
                         const std::string& strText)
    : m_strCommand(strCommand), m_file(std::move(file)), m_part(m_file)
{
    m_part += ".part"; // in the name's own encoding: string() would lose a name outside the code page
    errno = 0;
    std::ofstream out(m_part, std::ios::binary | std::ios::trunc);
    out.write(strText.data(), static_cast<std::streamsize>(strText.size()));
    out.close();
    if (!out) {
        const int iErrno = errno;
        std::error_code ec;
        std::filesystem::remove(m_part, ec);
        // The streams do not always leave a reason behind.
        Fail(std::generic_category().message(iErrno ? iErrno : EIO));
    }
}

CStagedFile::~CStagedFile()
{
    if (m_bCommitted)
        return;
    std::error_code ec;
    std::filesystem::remove(m_part, ec);
}

void CStagedFile::Commit()
{
    std::error_code ec;
    std::filesystem::rename(m_part, m_file, ec);
    if (ec)
        Fail(ec.message());
    m_bCommitted = true;
}

void CStagedFile::Fail(const std::string& strReason) const
{
    throw std::runtime_error(m_strCommand + ": cannot write " + Utf8FromWide(WideFromNative(m_file)) + ": " +
                             strReason);
}

} // namespace kvtool
