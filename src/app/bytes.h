// The byte arrays files are read into: their elements are not zeroed when the array grows,
// so a file is read straight into fresh memory without a second pass over it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kt {

template <typename T>
struct DefaultInitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    using std::allocator<T>::allocator;
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using ByteArray = std::vector<uint8_t, DefaultInitAllocator<uint8_t>>;

}  // namespace kt
