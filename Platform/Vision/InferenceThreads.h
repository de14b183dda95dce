#pragma once

#include <cstddef>

namespace faciward::platform {

/// @brief The threads on which OpenCV runs its parallel loops (the layers of
/// the networks, resizing, colour conversion) in this process.
///
/// Recognition runs up to two frames at a time. With OpenCV's own pool, each
/// of two frames that run together also spreads its layers over every core,
/// so a two-core machine runs three or four busy threads and the frames slow
/// each other down; and a frame that runs alone gains little, because the pool
/// is asleep between layers. This pool shares the cores among the vision calls
/// in flight instead: while one call runs, its loops use every core; while
/// several run, they leave each other the cores (on two cores, each runs its
/// loops on its own thread). Its helper threads wait briefly for the next loop
/// before they sleep, so that the many small layers of a network in a row do
/// not each pay for waking a thread.
///
/// The pool is installed once, before main() runs, by any program that links
/// the networks of this library: OpenCV's loop back-end may not be replaced
/// while other threads use OpenCV.
class InferenceThreads
{
public:
    /// @brief Marks, for its lifetime, one vision call running on the calling
    /// thread (finding faces in a frame, embedding one face).
    class Call
    {
    public:
        Call();
        ~Call();
        Call(const Call &) = delete;
        Call &operator=(const Call &) = delete;
    };

    /// @brief Makes this pool OpenCV's loop back-end. Safe to call more than
    /// once; only the first call acts. Call it while no other thread uses OpenCV.
    static void install();

    /// @brief The cores this process may run on (its CPU affinity), at least 1.
    static std::size_t cores();

    /// @brief How many threads a loop started now may use: every core while at
    /// most one vision call runs, one core fewer for each further call, and
    /// never fewer than one.
    static std::size_t threadsForNextLoop();

    /// @brief The vision calls running now (see Call).
    static std::size_t callsInFlight();
};

} // namespace faciward::platform
