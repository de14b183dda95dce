#include "Platform/Vision/HugePageAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using faciward::platform::HugePageAllocator;

// Small and large arrays, and one grown past its first allocation, all start
// on a huge-page boundary and keep their contents.
TEST(HugePageAllocator, arraysStartOnAHugePageAndKeepTheirContents)
{
    for (const std::size_t count : {std::size_t(1), std::size_t(1000), std::size_t(3) << 20}) {
        std::vector<float, HugePageAllocator<float>> floats(count, 1.5f);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(floats.data()) % HugePageAllocator<float>::hugePage, 0u) << count;
        floats.push_back(2.5f); // past the capacity: a new array, the old one freed
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(floats.data()) % HugePageAllocator<float>::hugePage, 0u) << count;
        EXPECT_EQ(floats.front(), 1.5f);
        EXPECT_EQ(floats[count - 1], 1.5f);
        EXPECT_EQ(floats.back(), 2.5f);
    }
    EXPECT_THROW(HugePageAllocator<float>().allocate(std::size_t(-1) / 2), std::bad_array_new_length);
}
