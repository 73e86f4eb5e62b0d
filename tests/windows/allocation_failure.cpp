#include "allocation_failure.h"

#include <cstdlib>
#include <new>

namespace rastelle::test {
namespace {

thread_local int t_allowed = -1;  // -1: no failure armed
thread_local bool t_refused = false;

void* Allocate(std::size_t bytes) noexcept {
    if (t_allowed == 0) {
        t_refused = true;
        return nullptr;
    }
    if (t_allowed > 0) --t_allowed;
    return std::malloc(bytes ? bytes : 1);
}

void* AllocateOrThrow(std::size_t bytes) {
    if (void* p = Allocate(bytes)) return p;
    throw std::bad_alloc();
}

}  // namespace

ScopedAllocationFailure::ScopedAllocationFailure(int allowed) {
    t_allowed = allowed;
    t_refused = false;
}
ScopedAllocationFailure::~ScopedAllocationFailure() { t_allowed = -1; }
bool ScopedAllocationFailure::Refused() const { return t_refused; }

}  // namespace rastelle::test

// The replaceable allocation functions of the test program.
void* operator new(std::size_t bytes) { return rastelle::test::AllocateOrThrow(bytes); }
void* operator new[](std::size_t bytes) { return rastelle::test::AllocateOrThrow(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return rastelle::test::Allocate(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return rastelle::test::Allocate(bytes); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
