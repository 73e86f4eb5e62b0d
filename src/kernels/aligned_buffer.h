// Heap memory for vector types. The C runtime's malloc, and so the default
// operator new, aligns to 8 bytes on 32-bit Windows: less than an SSE or AVX
// register needs, and the compiler uses aligned moves for such elements. Every
// container of vector types takes this allocator.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace rastelle::kernels {

// An AVX2 register.
inline constexpr std::size_t kVectorAlignment = 32;

template <class T, std::size_t Alignment = (alignof(T) > kVectorAlignment ? alignof(T) : kVectorAlignment)>
struct AlignedAllocator {
    static_assert((Alignment & (Alignment - 1)) == 0, "alignment must be a power of two");
    using value_type = T;
    template <class U>
    struct rebind {
        using other = AlignedAllocator<U, Alignment>;
    };

    AlignedAllocator() noexcept = default;
    template <class U>
    AlignedAllocator(const AlignedAllocator<U, Alignment>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t{Alignment}));
    }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete(p, std::align_val_t{Alignment}); }

    template <class U>
    bool operator==(const AlignedAllocator<U, Alignment>&) const noexcept {
        return true;
    }
};

template <class T>
using AlignedVector = std::vector<T, AlignedAllocator<T>>;

}  // namespace rastelle::kernels
