#include "Platform/Vision/VectorUnit.h"

namespace faciward::platform {

bool runs(VectorUnit unit)
{
#if defined(__x86_64__) && defined(__GNUC__)
    // The compiler's probe asks the system too whether it saves the wider
    // registers, without which the instructions fault.
    switch (unit) {
    case VectorUnit::avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case VectorUnit::avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
               __builtin_cpu_supports("fma");
    }
#else
    (void)unit;
#endif
    return false;
}

} // namespace faciward::platform
