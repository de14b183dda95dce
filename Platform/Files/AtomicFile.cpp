#include "Platform/Files/AtomicFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

// Qt keeps errno from the failing call; 0 when it failed for a reason of its own.
[[noreturn]] void fail(FileError error, const std::filesystem::path &target, int errorNumber,
                       const std::string &detail)
{
    throw FileException(error, target, errorNumber, detail);
}

} // namespace

void AtomicFile::write(const std::filesystem::path &target, std::string_view bytes, const Interruption &interruption)
{
    QSaveFile file(QFile::decodeName(QByteArray(target.c_str())));
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        fail(FileError::temporaryNotCreated, target, errno, file.errorString().toStdString());
    // What these files hold may be private: owner only, whatever the umask or an older file's mode.
    if (::fchmod(file.handle(), 0600) != 0) {
        const int error = errno;
        file.cancelWriting();
        fail(FileError::permissionsNotRestricted, target, error,
             "cannot restrict the file's permissions: " + std::generic_category().message(error));
    }
    errno = 0;
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        const int error = errno;
        file.cancelWriting();
        fail(FileError::writeFailed, target, error, file.errorString().toStdString());
    }
    if (interruption && interruption()) {
        file.cancelWriting();
        fail(FileError::interrupted, target, 0, "the write was interrupted before the file was replaced");
    }
    errno = 0;
    if (!file.commit())
        fail(FileError::replaceFailed, target, errno, file.errorString().toStdString());
    // Make the rename itself durable.
    const auto folder = target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace faciward::platform
