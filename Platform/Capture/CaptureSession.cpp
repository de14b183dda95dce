#include "CaptureSession.h"

#include "Platform/Reactive/PassthroughSubject.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <pthread.h>

namespace faciward::platform {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Frames posted to the main scheduler and not yet delivered, at most. Beyond
// this the main loop is not keeping up, and new frames are dropped rather than
// queued without bound (a 640×480 frame is about 1 MB).
constexpr int maxFramesInFlight = 8;

struct Command
{
    enum class Type { select, start, stop };
    Type type;
    std::optional<CaptureDevice> device;
    std::uint64_t run = 0;
};

// What the callers, the capture thread and the work posted to the main
// scheduler share. Posted work holds it weakly, so it may outlive the session
// and then does nothing.
struct State
{
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Command> commands;
    bool quitting = false;
    // The latest request, as callers see it. `run` counts starts and stops: a
    // frame is delivered only if no stop or start came after the one that began
    // the run that captured it. A failure ends a run without voiding the frames
    // it captured before it failed.
    bool requested = false;
    std::uint64_t run = 0;
    std::optional<CaptureDevice> selected;
    std::atomic<int> framesInFlight{0};

    platform::PassthroughSubject<cv::Mat> frames;
    platform::PassthroughSubject<CaptureException> failures;
};

} // namespace

class CaptureSession::Private
{
public:
    Private(platform::Scheduler &main, DeviceList devices, FrameReaderFactory openReader)
        : main(main)
        , deviceList(std::move(devices))
        , openReader(std::move(openReader))
    {
        if (!deviceList)
            deviceList = [] { return CaptureDevice::discover(); };
        if (!this->openReader)
            this->openReader = [](const CaptureDevice &device) { return FrameReader::open(device); };
        thread = std::thread([this] { loop(); });
    }

    ~Private()
    {
        {
            std::lock_guard lock(state->mutex);
            state->quitting = true;
        }
        state->wake.notify_all();
        thread.join();
    }

    // Queued under the same lock that orders the requests, so the capture thread
    // sees commands in exactly the order the run counter gave them.
    void push(std::unique_lock<std::mutex> &lock, Command command)
    {
        state->commands.push_back(std::move(command));
        lock.unlock();
        state->wake.notify_all();
    }

    platform::Scheduler &main;
    DeviceList deviceList;
    FrameReaderFactory openReader;
    std::shared_ptr<State> state = std::make_shared<State>();
    std::thread thread;

private:
    // --- the capture thread only -------------------------------------------
    std::unique_ptr<FrameReader> reader;
    std::optional<CaptureDevice> device;
    std::uint64_t run = 0;
    SteadyClock::time_point due;

    void loop()
    {
        // Named for tools such as top and the capture benchmark (at most 15 characters).
        ::pthread_setname_np(::pthread_self(), "fw-capture");
        for (;;) {
            std::optional<Command> command;
            {
                std::unique_lock lock(state->mutex);
                auto ready = [this] { return state->quitting || !state->commands.empty(); };
                if (!reader)
                    state->wake.wait(lock, ready);
                else if (reader->frameInterval() > std::chrono::nanoseconds::zero())
                    state->wake.wait_until(lock, due, ready);
                if (state->quitting)
                    break;
                if (!state->commands.empty()) {
                    command = std::move(state->commands.front());
                    state->commands.pop_front();
                }
            }
            if (command)
                handle(*command);
            else if (reader)
                readOne();
        }
        reader.reset();
    }

    void handle(const Command &command)
    {
        switch (command.type) {
        case Command::Type::select:
            device = command.device;
            if (reader) {
                reader.reset();
                open();
            }
            break;
        case Command::Type::start:
            run = command.run;
            if (!reader)
                open();
            break;
        case Command::Type::stop:
            reader.reset();
            break;
        }
    }

    void open()
    {
        if (!device) {
            std::vector<CaptureDevice> available;
            try {
                available = deviceList();
            } catch (const std::exception &) {
            }
            if (available.empty()) {
                fail(CaptureException(CaptureError::deviceMissing, {}, "no camera found"));
                return;
            }
            device = available.front();
            std::lock_guard lock(state->mutex);
            if (!state->selected)
                state->selected = device;
        }
        try {
            reader = openReader(*device);
            due = SteadyClock::now();
        } catch (const CaptureException &e) {
            reader.reset();
            fail(e);
        } catch (const std::exception &e) {
            reader.reset();
            fail(CaptureException(CaptureError::openFailed, device->path, e.what()));
        }
    }

    void readOne()
    {
        cv::Mat frame;
        try {
            frame = reader->read();
        } catch (const CaptureException &e) {
            reader.reset();
            fail(e);
            return;
        } catch (const std::exception &e) {
            reader.reset();
            fail(CaptureException(CaptureError::deviceLost, device ? device->path : std::filesystem::path{}, e.what()));
            return;
        }
        const auto interval = reader->frameInterval();
        if (interval > std::chrono::nanoseconds::zero()) {
            // Keep the source's rate without bursting to catch up after a slow read.
            due += interval;
            due = std::max(due, SteadyClock::now());
        }
        if (!frame.empty())
            deliver(frame.clone());
    }

    void fail(const CaptureException &failure)
    {
        {
            std::lock_guard lock(state->mutex);
            if (state->run == run)
                state->requested = false;
        }
        std::weak_ptr<State> weak = state;
        main.post([weak, failure] {
            if (auto s = weak.lock())
                s->failures.send(failure);
        });
    }

    void deliver(cv::Mat frame)
    {
        if (state->framesInFlight.load() >= maxFramesInFlight)
            return;
        ++state->framesInFlight;
        std::weak_ptr<State> weak = state;
        main.post([weak, frame = std::move(frame), capturedIn = run] {
            auto s = weak.lock();
            if (!s)
                return;
            --s->framesInFlight;
            {
                std::lock_guard lock(s->mutex);
                if (s->run != capturedIn)
                    return;
            }
            s->frames.send(frame);
        });
    }
};

CaptureSession::CaptureSession(platform::Scheduler &main, DeviceList devices, FrameReaderFactory openReader)
    : d(std::make_unique<Private>(main, std::move(devices), std::move(openReader)))
{
}

CaptureSession::~CaptureSession() = default;

std::vector<CaptureDevice> CaptureSession::devices() const
{
    return d->deviceList();
}

CaptureAuthorization CaptureSession::authorization(const CaptureDevice &device) const
{
    return device.authorization();
}

void CaptureSession::select(const CaptureDevice &device)
{
    std::unique_lock lock(d->state->mutex);
    d->state->selected = device;
    d->push(lock, {Command::Type::select, device, 0});
}

std::optional<CaptureDevice> CaptureSession::selected() const
{
    std::lock_guard lock(d->state->mutex);
    return d->state->selected;
}

void CaptureSession::start()
{
    std::unique_lock lock(d->state->mutex);
    if (d->state->requested)
        return;
    d->state->requested = true;
    const auto run = ++d->state->run;
    d->push(lock, {Command::Type::start, std::nullopt, run});
}

void CaptureSession::stop()
{
    std::unique_lock lock(d->state->mutex);
    d->state->requested = false;
    ++d->state->run;
    d->push(lock, {Command::Type::stop, std::nullopt, 0});
}

bool CaptureSession::isRunning() const
{
    std::lock_guard lock(d->state->mutex);
    return d->state->requested;
}

platform::Publisher<cv::Mat> CaptureSession::frames() const
{
    return d->state->frames.publisher();
}

platform::Publisher<CaptureException> CaptureSession::failures() const
{
    return d->state->failures.publisher();
}

} // namespace faciward::platform
