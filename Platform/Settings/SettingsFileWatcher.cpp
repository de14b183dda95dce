#include "SettingsFileWatcher.h"

#include "Platform/Settings/SettingsStore.h"

#include "Platform/Runtime/Diagnostics.h"
#include "Platform/Error/ErrnoText.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <map>
#include <set>
#include <system_error>
#include <vector>

#include <sys/inotify.h>
#include <unistd.h>

namespace faciward::platform {

namespace {

// What changes a folder's entries or a file's content, and the end of a watch.
constexpr std::uint32_t folderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                                       IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::uint32_t fileEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

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

// The file and its folder are watched with inotify directly, not with
// QFileSystemWatcher: Qt names files by text, and a name whose bytes are not
// text in the locale's encoding (a Latin-1 home folder) would be watched under
// another name. Qt only hears that the descriptor can be read.
class SettingsFileWatcher::Private
{
public:
    Private(std::shared_ptr<SettingsStore> store, platform::Scheduler &scheduler)
        : file(store->filePath())
        , scheduler(scheduler)
        , state(std::make_shared<ReloadState>())
        , inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        state->store = std::move(store);
        if (inotify < 0) {
            Diagnostics::print("the settings file " + file.string() + " is not watched (" +
                               errnoText(errno) +
                               "); what other programs write to it is taken in at the next change made here");
            return;
        }
        notifier = std::make_unique<QSocketNotifier>(inotify, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] {
            drain();
            changed();
        });
        rewatch();
    }

    ~Private()
    {
        notifier.reset();
        if (inotify >= 0)
            ::close(inotify);
    }

    // What should be watched now: the file and its folder when they exist; while
    // the folder is missing, its nearest existing ancestor, to see it appear.
    std::vector<std::pair<std::filesystem::path, std::uint32_t>> wanted() const
    {
        std::vector<std::pair<std::filesystem::path, std::uint32_t>> paths;
        const auto folder = file.parent_path();
        if (pathExists(folder)) {
            paths.emplace_back(folder, folderEvents);
            if (pathExists(file))
                paths.emplace_back(file, fileEvents);
            return paths;
        }
        for (auto ancestor = folder.parent_path(); !ancestor.empty(); ancestor = ancestor.parent_path()) {
            if (pathExists(ancestor)) {
                paths.emplace_back(ancestor, folderEvents);
                break;
            }
            if (ancestor == ancestor.parent_path())
                break;
        }
        return paths;
    }

    // Adding a path again gives the watch of what is there now (a replaced file
    // is a new one); watches no longer wanted are removed.
    void rewatch()
    {
        std::set<int> now;
        for (const auto &[path, events] : wanted()) {
            // A path that vanished since the check is simply not added; its
            // folder's event brings the next look.
            const int watch = ::inotify_add_watch(inotify, path.c_str(), events);
            if (watch >= 0)
                now.insert(watch);
        }
        for (const int watch : watches)
            if (!now.contains(watch))
                ::inotify_rm_watch(inotify, watch);
        watches = std::move(now);
    }

    // Reads every pending event: what they say is only that something changed.
    void drain()
    {
        alignas(inotify_event) char buffer[4096];
        while (::read(inotify, buffer, sizeof buffer) > 0) {
        }
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
    const int inotify;
    std::unique_ptr<QSocketNotifier> notifier;
    std::set<int> watches;
};

SettingsFileWatcher::SettingsFileWatcher(std::shared_ptr<SettingsStore> store, platform::Scheduler &scheduler)
    : d(std::make_unique<Private>(std::move(store), scheduler))
{
}

SettingsFileWatcher::~SettingsFileWatcher() = default;

} // namespace faciward::platform
