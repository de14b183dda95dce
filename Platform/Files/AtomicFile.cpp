#include "Platform/Files/AtomicFile.h"
#include "Platform/Error/ErrnoText.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

// The temporary file beside the target: removed unless it was renamed into place.
class Temporary
{
public:
    explicit Temporary(const std::filesystem::path &target)
        : m_path(target.native() + ".XXXXXX")
    {
        // A fresh name, created exclusively: nothing planted there can redirect it.
        m_fd = ::mkostemp(m_path.data(), O_CLOEXEC);
    }

    ~Temporary()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_fd >= 0 || m_closed)
            ::unlink(m_path.c_str());
    }

    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;

    int fd() const { return m_fd; }
    const std::string &path() const { return m_path; }

    // 0 or the error number of the first failing close.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        m_closed = true;
        return result == 0 ? 0 : errno;
    }

    void renamed() { m_closed = false; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_closed = false;
};

// @p what, then the system's text of @p errorNumber: read errno into it first.
[[noreturn]] void fail(FileError error, const std::filesystem::path &target, int errorNumber, const char *what)
{
    throw FileException(error, target, errorNumber, std::string(what) + ": " + errnoText(errorNumber));
}

} // namespace

void AtomicFile::write(const std::filesystem::path &target, std::string_view bytes, const Interruption &interruption)
{
    Temporary file(target);
    if (file.fd() < 0) {
        const int error = errno;
        fail(FileError::temporaryNotCreated, target, error, "cannot create a temporary file");
    }
    // What these files hold may be private: owner only, whatever the umask or an older file's mode.
    if (::fchmod(file.fd(), 0600) != 0) {
        const int error = errno;
        fail(FileError::permissionsNotRestricted, target, error, "cannot restrict the file's permissions");
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        // A full disk, a quota or a file-size limit: the system's own words.
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            fail(FileError::writeFailed, target, error, "cannot write the file");
        }
        done += static_cast<std::size_t>(n);
    }
    // Some file systems report a full disk only when the data goes out.
    if (::fsync(file.fd()) != 0 && errno != EINVAL) {
        const int error = errno;
        fail(FileError::writeFailed, target, error, "cannot write the file");
    }
    if (const int error = file.close(); error != 0)
        fail(FileError::writeFailed, target, error, "cannot write the file");
    if (interruption && interruption())
        throw FileException(FileError::interrupted, target, 0, "the write was interrupted before the file was replaced");
    // The rename replaces the name itself: a symbolic link planted there is
    // replaced, never followed.
    if (::rename(file.path().c_str(), target.c_str()) != 0) {
        const int error = errno;
        fail(FileError::replaceFailed, target, error, "cannot replace the file");
    }
    file.renamed();
    // Make the rename itself durable.
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace faciward::platform
