#pragma once

#include <cstddef>
#include <new>

#include <sys/mman.h>

namespace faciward::platform {

/// @brief An allocator for large arrays read at random places, such as a
/// model's weights: their memory starts on a 2 MB boundary and its whole
/// 2 MB pages are offered to the kernel as huge pages.
///
/// A face's landmarks read 7,500 leaves spread over 65 MB; in 4 KB pages
/// almost every one needs a page-table walk of its own, which a check after
/// minutes of idleness makes from main memory. The part past the last whole
/// 2 MB page stays in small pages, so no memory is added beyond the array.
template <typename T>
struct HugePageAllocator
{
    using value_type = T;
    static constexpr std::size_t hugePage = std::size_t(2) << 20;

    HugePageAllocator() = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U> &)
    {
    }

    T *allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        void *p = ::operator new(bytes, std::align_val_t(hugePage));
        // Advice only: without huge pages the array works the same.
        if (bytes >= hugePage)
            madvise(p, bytes / hugePage * hugePage, MADV_HUGEPAGE);
        return static_cast<T *>(p);
    }

    void deallocate(T *p, std::size_t) { ::operator delete(p, std::align_val_t(hugePage)); }

    friend bool operator==(const HugePageAllocator &, const HugePageAllocator &) { return true; }
};

} // namespace faciward::platform
