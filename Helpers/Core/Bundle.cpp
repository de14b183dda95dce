#include "Bundle.h"

#include "BundleValues.h"

namespace faciward::helpers {

namespace {

std::optional<QString> present(const char *value)
{
    if (!*value)
        return std::nullopt;
    return QString::fromUtf8(value);
}

} // namespace

Bundle Bundle::main()
{
    return {present(FACIWARD_BUNDLE_NAME), present(FACIWARD_BUNDLE_SHORT_VERSION), present(FACIWARD_BUNDLE_VERSION)};
}

} // namespace faciward::helpers
