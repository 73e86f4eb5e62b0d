// The x86_64 fault guard of mingw builds: rastelle_guarded_invoke(fn, arg)
// calls fn(arg) in a frame whose unwind information names a handler, so the
// system's dispatcher offers a fault to every handler below it first (GDI+,
// the C runtime, a client's code) and to this one only when none took it.
//
// The handler unwinds to the thunk with RtlUnwindEx rather than turning the
// fault into a C++ throw. A throw from a faulting instruction needs that
// instruction inside its function's call-site table, which g++ only keeps
// for calls: a fault between two calls in a function with destructors would
// end in std::terminate. The unwind cannot fail that way. Its price is that
// g++ frames inside the region lose their destructors (libgcc's unwinder
// ignores exceptions it did not raise), while other compilers' __finally
// blocks run.
#include "com/protected_region.h"

#if defined(__x86_64__) && defined(__MINGW32__)

extern "C" {
void rastelle_guard_recovery_x64();
EXCEPTION_DISPOSITION rastelle_guard_handler_x64(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                 DISPATCHER_CONTEXT* dispatcher);
}

// Returns 1 after fn returns; the handler's unwind lands on the recovery
// label with RAX = 0 and RSP as the body left it. The frame keeps 32 bytes
// of home space for fn, then the x87 control word and MXCSR as they were on
// entry: the abandoned code may have left either changed, and x87
// registers in use.
asm(R"(
    .text
    .p2align 4
    .globl rastelle_guarded_invoke
    .def rastelle_guarded_invoke; .scl 2; .type 32; .endef
    .seh_proc rastelle_guarded_invoke
rastelle_guarded_invoke:
    subq $56, %rsp
    .seh_stackalloc 56
    .seh_endprologue
    .seh_handler rastelle_guard_handler_x64, @except
    fnstcw 32(%rsp)
    stmxcsr 36(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    movl $1, %eax
    jmp 1f
    .globl rastelle_guard_recovery_x64
rastelle_guard_recovery_x64:
    fnclex
    emms
    fldcw 32(%rsp)
    ldmxcsr 36(%rsp)
    xorl %eax, %eax
1:  addq $56, %rsp
    ret
    .seh_endproc
)");

extern "C" EXCEPTION_DISPOSITION rastelle_guard_handler_x64(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                            DISPATCHER_CONTEXT* dispatcher) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) ||
        !rastelle::com::IsMachineFault(record->ExceptionCode))
        return ExceptionContinueSearch;
    // Runs the termination handlers of the frames between the fault and the
    // thunk, then restores the thunk's frame at the recovery label.
    RtlUnwindEx(frame, reinterpret_cast<void*>(&rastelle_guard_recovery_x64), record, nullptr, context,
                dispatcher->HistoryTable);
    return ExceptionContinueSearch;  // not reached
}

#endif
