#pragma once

namespace faciward::platform {

/// @brief The vector units beyond the oldest x86-64 (which the build targets)
/// that our inner loops are built for too, each version run only on a
/// processor that has its unit.
///
/// Chosen at run time by hand rather than by the loader's function versions,
/// which the sanitizers cannot follow.
enum class VectorUnit
{
    avx2,   ///< AVX2 with FMA
    avx512, ///< AVX-512 F and VL, with FMA
};

/// @brief Whether this processor, and the system for its registers, runs
/// the instructions of @p unit. Always false off x86-64.
bool runs(VectorUnit unit);

/// @brief One build of a function's loops, and the name of the vector unit it
/// needs (for tests and benches).
template <typename Function>
struct KernelVersion
{
    const char *name;
    Function function;
};

} // namespace faciward::platform
