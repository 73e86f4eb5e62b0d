// Protected regions: code that walks pixel memory or calls into a client's
// object runs inside one, so that a machine fault (access violation, integer
// division by zero, ...) or a C++ exception abandons the region instead of
// ending the host process. The caller then returns the region's own failure
// result.
//
// A fault belongs first to the code that raised it: a handler installed by
// code inside the region (GDI+'s own guards, IsBadReadPtr, a client's
// __try) sees it before the region does and keeps it if it handles it. Only
// a fault that no inner handler takes abandons the region.
//
// What runs when a fault abandons a region:
// - MSVC builds (/EHa): the structured-exception translator throws
//   SE_Exception, so every destructor inside the region runs.
// - mingw builds, x86_64 and i686: the region's frame-based handler unwinds
//   the system's way. Frames of other compilers inside the region (GDI+, the
//   C runtime, a client's code) run their termination handlers (__finally);
//   frames of our own g++ code are abandoned without their destructors
//   running. So keep objects that own resources outside the region (or in
//   frames that cannot fault), and never reuse a GDI+ object that was in use
//   when the fault hit.
// A C++ exception that leaves the region body ends it the usual way, with
// destructors, on every build.
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
// fault or an exception abandoned it. Regions nest and run on any thread.
bool RunProtected(void (*fn)(void*), void* context) noexcept;

template <class F>
bool RunProtected(F&& f) noexcept {
    using Fn = std::remove_reference_t<F>;
    return RunProtected([](void* c) { (*static_cast<Fn*>(c))(); }, static_cast<void*>(&f));
}

// Module load and unload hooks; regions need no process-wide set-up.
void InstallFaultHandler();
void RemoveFaultHandler();

// True for the exception codes of machine faults that abandon a region:
// never C++ exceptions, stack overflow or debugger notifications.
bool IsMachineFault(DWORD code) noexcept;

}  // namespace rastelle::com
