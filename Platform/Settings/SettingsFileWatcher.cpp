#include "SettingsFileWatcher.h"

#include "Platform/Settings/SettingsStore.h"

#include "Platform/Runtime/Diagnostics.h"

#include <QFile>
#include <QFileSystemWatcher>
#include <QString>
#include <QStringList>

#include <atomic>
#include <system_error>

namespace faciward::platform {

namespace {

QString qtPath(const std::filesystem::path &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

// Qt names files by text: a name whose bytes are not text in the locale's
// encoding would come back as another name.
bool qtCanName(const std::filesystem::path &path)
{
    return QFile::encodeName(qtPath(path)).toStdString() == path.native();
}

bool pathExists(const std::filesystem::path &path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// Shared with the reloads posted to the scheduler, which may run after the
// watcher is gone.
struct ReloadState
{
    std::shared_ptr<SettingsStore> store;
    std::atomic<bool> pending{false};
    // A reload that found the file half-written tries again after these pauses;
    // only the last failure is reported.
    platform::AnyCancellable retry;
};

constexpr std::chrono::milliseconds retryPauses[] = {std::chrono::milliseconds(50), std::chrono::milliseconds(100),
                                                     std::chrono::milliseconds(200), std::chrono::milliseconds(400),
                                                     std::chrono::milliseconds(800)};
constexpr std::size_t retryCount = std::size(retryPauses);

// Reloads @p state's store on @p scheduler's thread; when the file does not
// read (another program may be writing it in place), tries again with a
// growing pause. The values in memory stay meanwhile.
void reloadWithRetries(const std::weak_ptr<ReloadState> &weak, platform::Scheduler &scheduler, std::size_t attempt)
{
    auto s = weak.lock();
    if (!s)
        return;
    s->retry = {};
    if (s->store->reload(attempt == retryCount) || attempt == retryCount)
        return;
    s->retry = scheduler.postAfter(retryPauses[attempt], [weak, &scheduler, attempt] {
        reloadWithRetries(weak, scheduler, attempt + 1);
    });
}

} // namespace

class SettingsFileWatcher::Private
{
public:
    Private(std::shared_ptr<SettingsStore> store, platform::Scheduler &scheduler)
        : file(store->filePath())
        , scheduler(scheduler)
        , state(std::make_shared<ReloadState>())
    {
        state->store = std::move(store);
        if (!qtCanName(file)) {
            Diagnostics::print("the settings file " + file.string() +
                               " is not watched, as its name is not text in the locale's encoding; what other "
                               "programs write to it is taken in at the next change made here");
            return;
        }
        QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, &watcher, [this] { changed(); });
        QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &watcher, [this] { changed(); });
        rewatch();
    }

    // What should be watched now: the file and its folder when they exist; while
    // the folder is missing, its nearest existing ancestor, to see it appear.
    QStringList wanted() const
    {
        QStringList paths;
        const auto folder = file.parent_path();
        if (pathExists(folder)) {
            paths << qtPath(folder);
            if (pathExists(file))
                paths << qtPath(file);
            return paths;
        }
        for (auto ancestor = folder.parent_path(); !ancestor.empty(); ancestor = ancestor.parent_path()) {
            if (pathExists(ancestor)) {
                paths << qtPath(ancestor);
                break;
            }
            if (ancestor == ancestor.parent_path())
                break;
        }
        return paths;
    }

    void rewatch()
    {
        const QStringList paths = wanted();
        QStringList stale;
        for (const QString &path : watcher.files() + watcher.directories())
            if (!paths.contains(path))
                stale << path;
        if (!stale.isEmpty())
            watcher.removePaths(stale);
        QStringList missing;
        const QStringList watched = watcher.files() + watcher.directories();
        for (const QString &path : paths)
            if (!watched.contains(path))
                missing << path;
        // A path that vanished between the check and here is simply not added;
        // its folder's event brings the next look.
        if (!missing.isEmpty())
            watcher.addPaths(missing);
    }

    void changed()
    {
        rewatch();
        if (state->pending.exchange(true))
            return;
        std::weak_ptr<ReloadState> weak = state;
        scheduler.post([weak, &scheduler = scheduler] {
            auto s = weak.lock();
            if (!s)
                return;
            // Cleared first: an event during the reload asks for another one.
            s->pending.store(false);
            reloadWithRetries(weak, scheduler, 0);
        });
    }

    const std::filesystem::path file;
    platform::Scheduler &scheduler;
    std::shared_ptr<ReloadState> state;
    QFileSystemWatcher watcher;
};

SettingsFileWatcher::SettingsFileWatcher(std::shared_ptr<SettingsStore> store, platform::Scheduler &scheduler)
    : d(std::make_unique<Private>(std::move(store), scheduler))
{
}

SettingsFileWatcher::~SettingsFileWatcher() = default;

} // namespace faciward::platform
