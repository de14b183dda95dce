#include "Storage.h"

#include "FileStorageError.h"

#include <exception>

namespace faciward::storage {

void Storage::encode(const std::function<void()> &run)
{
    try {
        run();
    } catch (const platform::JsonException &) {
        std::throw_with_nested(FileStorageError(FileStorage::Error::couldNotEncodeValue));
    }
}

void Storage::decode(const std::function<void()> &run)
{
    try {
        run();
    } catch (const platform::JsonException &) {
        std::throw_with_nested(FileStorageError(FileStorage::Error::couldNotDecodeValue));
    }
}

} // namespace faciward::storage
