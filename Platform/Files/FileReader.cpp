#include "Platform/Files/FileReader.h"
#include "Platform/Error/ErrnoText.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

[[noreturn]] void fail(FileError error, const std::filesystem::path &path, int errorNumber)
{
    throw FileException(error, path, errorNumber, errnoText(errorNumber));
}

} // namespace

FileReader::Contents FileReader::read(const std::filesystem::path &path)
{
    // Never blocking: a FIFO or a device at the path is refused below, not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        fail(errno == ENOENT ? FileError::missing : FileError::readFailed, path, errno);
    Contents contents;
    if (::fstat(fd, &contents.info) != 0) {
        const int error = errno;
        ::close(fd);
        fail(FileError::readFailed, path, error);
    }
    if (!S_ISREG(contents.info.st_mode)) {
        ::close(fd);
        throw FileException(FileError::notRegularFile, path, S_ISDIR(contents.info.st_mode) ? EISDIR : EINVAL,
                            "it is not a regular file");
    }
    std::string &text = contents.bytes;
    text.resize(static_cast<std::size_t>(contents.info.st_size));
    std::size_t done = 0;
    for (;;) {
        // The size may have grown since fstat: read on until the end.
        if (done == text.size())
            text.resize(text.size() + 4096);
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            fail(FileError::readFailed, path, error);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(done);
    return contents;
}

} // namespace faciward::platform
