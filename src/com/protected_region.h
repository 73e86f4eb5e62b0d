// Protected regions: code that walks pixel memory or calls into a client's
// object runs inside one, so that a machine fault (access violation, integer
// division by zero, ...) or a C++ exception abandons the region instead of
// ending the host process. The caller then returns the region's own failure
// result.
//
// With MSVC the structured-exception translator turns faults into
// SE_Exception. mingw's g++ cannot do that, so there a vectored exception
// handler sees the fault, checks the thread's innermost region and resumes
// the thread at that region's recovery point. Destructors of objects created
// inside the region do not run when a fault abandons it, so keep regions free
// of objects that own resources; a GDI+ object in use when the fault hit must
// not be used again.
#pragma once

#include <windows.h>

#include <type_traits>

namespace rastelle::com {

// A structured exception translated into a C++ exception.
struct SE_Exception {
    unsigned int code;
};

// The translator installed on a thread (MSVC builds): throws SE_Exception.
[[noreturn]] void TranslateStructuredException(unsigned int code, EXCEPTION_POINTERS* pointers);

// Runs fn(context); returns true when it completed, false when a machine
// fault or an exception abandoned it.
bool RunProtected(void (*fn)(void*), void* context) noexcept;

template <class F>
bool RunProtected(F&& f) noexcept {
    using Fn = std::remove_reference_t<F>;
    return RunProtected([](void* c) { (*static_cast<Fn*>(c))(); }, static_cast<void*>(&f));
}

// Sets up and tears down the process-wide fault handler (module load/unload).
void InstallFaultHandler();
void RemoveFaultHandler();

}  // namespace rastelle::com
