// Makes the test program's operator new fail on demand, on one thread: the
// system's code linked into the tests then sees std::bad_alloc where it
// allocates, as it would when memory runs out.
#pragma once

namespace rastelle::test {

// While alive, the calling thread's allocations after the first `allowed`
// ones throw std::bad_alloc (the nothrow forms return null).
class ScopedAllocationFailure {
public:
    explicit ScopedAllocationFailure(int allowed);
    ~ScopedAllocationFailure();
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
    // Whether an allocation was refused.
    bool Refused() const;
};

}  // namespace rastelle::test
