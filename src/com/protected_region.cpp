#include "com/protected_region.h"

#if defined(_MSC_VER)
#include <eh.h>
#endif

namespace rastelle::com {

void TranslateStructuredException(unsigned int code, EXCEPTION_POINTERS*) { throw SE_Exception{code}; }

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

// Built with /EHa, so catch (...) also receives translated faults.
bool RunProtected(void (*fn)(void*), void* context) noexcept {
    _set_se_translator(&TranslateStructuredException);
    return CallCatchingExceptions(fn, context);
}

void InstallFaultHandler() {}
void RemoveFaultHandler() {}

#else  // mingw-w64: vectored handler plus a recovery point per region

namespace {

struct Region {
    void* jumpBuffer[5];  // __builtin_setjmp's buffer
    Region* outer;
};

DWORD g_regionSlot = TLS_OUT_OF_INDEXES;
PVOID g_handler = nullptr;

Region* CurrentRegion() {
    return g_regionSlot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<Region*>(TlsGetValue(g_regionSlot));
}

void SetCurrentRegion(Region* region) {
    // The barriers keep the compiler from moving or dropping the store: the
    // fault handler reads it from outside the normal control flow.
    __asm__ __volatile__("" ::: "memory");
    TlsSetValue(g_regionSlot, region);
    __asm__ __volatile__("" ::: "memory");
}

bool IsMachineFault(DWORD code) {
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

// Entered in place of the faulting instruction, on a clean stack frame below
// the fault: jumps back to the innermost region's recovery point.
[[noreturn]] __attribute__((noinline, used)) void ResumeAtRecoveryPoint() {
    Region* region = CurrentRegion();
    __builtin_longjmp(region->jumpBuffer, 1);
}

LONG CALLBACK FaultHandler(EXCEPTION_POINTERS* info) {
    if (!IsMachineFault(info->ExceptionRecord->ExceptionCode) || !CurrentRegion())
        return EXCEPTION_CONTINUE_SEARCH;
    // Resume at ResumeAtRecoveryPoint as if it had been called from the
    // faulting frame: leave the stack below the fault alone, align it as a
    // function entry expects (16 bytes minus the return address).
    CONTEXT* context = info->ContextRecord;
#if defined(_WIN64)
    context->Rsp = ((context->Rsp - 512) & ~static_cast<DWORD64>(15)) - 8;
    context->Rip = reinterpret_cast<DWORD64>(&ResumeAtRecoveryPoint);
#else
    context->Esp = ((context->Esp - 512) & ~static_cast<DWORD>(15)) - 4;
    context->Eip = reinterpret_cast<DWORD>(&ResumeAtRecoveryPoint);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Kept out of line so that the frame holding the recovery point is this one.
__attribute__((noinline)) bool RunInRegion(void (*fn)(void*), void* context) noexcept {
    Region region;
    region.outer = CurrentRegion();
    if (__builtin_setjmp(region.jumpBuffer) != 0) {
        // A fault abandoned the region; the stack is this frame's again.
        SetCurrentRegion(region.outer);
        return false;
    }
    SetCurrentRegion(&region);
    const bool completed = CallCatchingExceptions(fn, context);
    SetCurrentRegion(region.outer);
    return completed;
}

}  // namespace

void InstallFaultHandler() {
    if (g_regionSlot == TLS_OUT_OF_INDEXES) g_regionSlot = TlsAlloc();
    if (!g_handler) g_handler = AddVectoredExceptionHandler(1, &FaultHandler);
}

void RemoveFaultHandler() {
    if (g_handler) RemoveVectoredExceptionHandler(g_handler);
    g_handler = nullptr;
    if (g_regionSlot != TLS_OUT_OF_INDEXES) TlsFree(g_regionSlot);
    g_regionSlot = TLS_OUT_OF_INDEXES;
}

bool RunProtected(void (*fn)(void*), void* context) noexcept {
    if (g_regionSlot == TLS_OUT_OF_INDEXES || !g_handler) return CallCatchingExceptions(fn, context);
    return RunInRegion(fn, context);
}

#endif

}  // namespace rastelle::com
