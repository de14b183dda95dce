#include "FatalError.h"

#include <cstdio>
#include <cstdlib>

namespace faciward::helpers {

void fatalError(std::string_view message, std::source_location where)
{
    std::fprintf(stderr, "Fatal error: %.*s: %s:%u\n", static_cast<int>(message.size()), message.data(),
                 where.file_name(), static_cast<unsigned>(where.line()));
    std::fflush(stderr);
    std::abort();
}

} // namespace faciward::helpers
