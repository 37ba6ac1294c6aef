#include "host/FileState.h"

#include "output/Console.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <vector>

namespace kvtool {

const char* FileTypeName(std::filesystem::file_type eType)
{
    switch (eType) {
    case std::filesystem::file_type::directory:
        return "a folder";
    case std::filesystem::file_type::fifo:
        return "a FIFO";
    case std::filesystem::file_type::socket:
        return "a socket";
    case std::filesystem::file_type::block:
        return "a block device";
    case std::filesystem::file_type::character:
        return "a character device";
    default:
        return "not a regular file";
    }
}

namespace {

struct CCloser {
    void operator()(FILE* pFile) const { std::fclose(pFile); }
};

// errno says why when null.
std::unique_ptr<FILE, CCloser> OpenToRead(const std::filesystem::path& pathNative)
{
    errno = 0;
#if defined(_WIN32)
    return std::unique_ptr<FILE, CCloser>(_wfopen(pathNative.c_str(), L"rb"));
#else
    return std::unique_ptr<FILE, CCloser>(std::fopen(pathNative.c_str(), "rb"));
#endif
}

} // namespace

EFileState ExamineFile(const std::filesystem::path& pathNative, std::string& strReason)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(pathNative, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(pathNative, ec))) {
            strReason = "a link that leads nowhere";
            return EFileState::NotAFile;
        }
        strReason = "no such file";
        return EFileState::Absent;
    }
    if (status.type() == std::filesystem::file_type::none) {
        strReason = ec.message(); // the name cannot even be looked up
        return EFileState::Unreadable;
    }
    if (status.type() != std::filesystem::file_type::regular &&
        status.type() != std::filesystem::file_type::unknown) {
        strReason = FileTypeName(status.type());
        return EFileState::NotAFile;
    }
    // Only a regular file is opened: a FIFO would wait for a writer.
    std::unique_ptr<FILE, CCloser> file = OpenToRead(pathNative);
    if (!file) {
        strReason = SystemMessage(errno ? errno : EACCES);
        return EFileState::Unreadable;
    }
    char c;
    if (std::fread(&c, 1, 1, file.get()) != 1 && std::ferror(file.get())) {
        strReason = SystemMessage(errno ? errno : EIO);
        return EFileState::Unreadable;
    }
    return EFileState::Fine;
}

bool ReadsThrough(const std::filesystem::path& pathNative, std::string& strReason)
{
    std::unique_ptr<FILE, CCloser> file = OpenToRead(pathNative);
    if (!file) {
        strReason = SystemMessage(errno ? errno : EACCES);
        return false;
    }
    std::vector<char> vecBuffer(256 * 1024);
    while (std::fread(vecBuffer.data(), 1, vecBuffer.size(), file.get()) == vecBuffer.size()) {
    }
    if (std::ferror(file.get())) {
        strReason = SystemMessage(errno ? errno : EIO);
        return false;
    }
    return true;
}

} // namespace kvtool
