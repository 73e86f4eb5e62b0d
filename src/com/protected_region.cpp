#include "com/protected_region.h"

#if defined(_MSC_VER)
#include <eh.h>
#endif

// mingw builds: calls fn(arg) under a frame-based exception handler and
// returns 1, or 0 when a machine fault that no handler inside fn took
// abandoned the call (fault_guard_x64.cpp, fault_guard_x86.cpp).
#if !defined(_MSC_VER)
extern "C" int rastelle_guarded_invoke(void (*fn)(void*), void* arg);
#endif

namespace rastelle::com {

void TranslateStructuredException(unsigned int code, EXCEPTION_POINTERS*) { throw SE_Exception{code}; }

bool IsMachineFault(DWORD code) noexcept {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
        return true;
    default:  // C++ exceptions, debugger notifications, stack overflow
        return false;
    }
}

void InstallFaultHandler() {}
void RemoveFaultHandler() {}

namespace {

// Calls fn and reports whether it returned normally; C++ exceptions end it.
bool CallCatchingExceptions(void (*fn)(void*), void* context) noexcept {
    try {
        fn(context);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

#if defined(_MSC_VER)

// Built with /EHa, so catch (...) also receives translated faults; the
// translator runs only after the handlers inside the region declined.
bool RunProtected(void (*fn)(void*), void* context) noexcept {
    _set_se_translator(&TranslateStructuredException);
    return CallCatchingExceptions(fn, context);
}

#else

namespace {

struct GuardedCall {
    void (*fn)(void*);
    void* context;
    bool completed;
};

// C++ exceptions stop here, so none ever crosses the assembly thunk.
void CallGuarded(void* call) noexcept {
    auto& guarded = *static_cast<GuardedCall*>(call);
    guarded.completed = CallCatchingExceptions(guarded.fn, guarded.context);
}

}  // namespace

bool RunProtected(void (*fn)(void*), void* context) noexcept {
    GuardedCall call{fn, context, false};
    return rastelle_guarded_invoke(&CallGuarded, &call) != 0 && call.completed;
}

#endif

}  // namespace rastelle::com
