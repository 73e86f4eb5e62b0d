// The i686 fault guard of mingw builds: rastelle_guarded_invoke(fn, arg)
// links a registration record {next, handler} at the head of the thread's
// chain of frame-based handlers (fs:[0]) and calls fn(arg). A fault is
// offered to the handlers linked after it (GDI+, the C runtime, a client's
// code) first, and to this one only when none took it.
//
// g++ unwinds C++ exceptions here with DWARF tables, which cannot cross
// other compilers' frames, so a fault is not turned into a throw: the
// handler lets RtlUnwind run the inner frames' unwind handlers and pop them
// off the chain, then resumes the thunk with the registers it saved on
// entry. g++ frames inside the region lose their destructors.
#include "com/protected_region.h"

#if defined(__i386__) && defined(__MINGW32__)

extern "C" {
EXCEPTION_DISPOSITION __cdecl rastelle_guard_handler_x86(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                         void* dispatcher);
[[noreturn]] void __cdecl rastelle_guard_unwind_x86(void* frame, EXCEPTION_RECORD* record);
}

// The thunk's frame, from its registration record up: next, handler, the
// x87 control word and MXCSR as they were on entry (16 bytes, keeping the
// call to fn 16-byte aligned), edi, esi, ebx, the caller's ebp (ebp points
// here), return address, fn, arg. Recovery enters with esp at the record;
// it clears the x87 registers the abandoned code may have left in use and
// restores the control words. Both ways out unlink the record, so the chain
// head is what it was on entry.
//
// rastelle_guard_unwind_x86(frame, record) keeps the frame on the stack
// across RtlUnwind, which need not preserve ebx, esi and edi, and never
// returns to the dispatcher: the dispatcher would reinstate the records
// RtlUnwind just removed.
asm(R"(
    .text
    .p2align 4
    .globl _rastelle_guarded_invoke
    .def _rastelle_guarded_invoke; .scl 2; .type 32; .endef
_rastelle_guarded_invoke:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $16, %esp
    fnstcw (%esp)
    stmxcsr 4(%esp)
    pushl $_rastelle_guard_handler_x86
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    addl $4, %esp
    movl $1, %eax
    jmp 1f
.Lrastelle_guard_recovery:
    cld
    fnclex
    emms
    fldcw 8(%esp)
    ldmxcsr 12(%esp)
    xorl %eax, %eax
1:  popl %fs:0
    addl $20, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .p2align 4
    .globl _rastelle_guard_unwind_x86
    .def _rastelle_guard_unwind_x86; .scl 2; .type 32; .endef
_rastelle_guard_unwind_x86:
    movl 4(%esp), %eax
    movl 8(%esp), %ecx
    pushl %eax
    pushl $0
    pushl %ecx
    pushl $2f
    pushl %eax
    call _RtlUnwind@16
2:  popl %eax
    movl %eax, %esp
    leal 36(%esp), %ebp
    jmp .Lrastelle_guard_recovery
)");

// Called by the dispatcher with whatever stack alignment it has.
extern "C" __attribute__((force_align_arg_pointer)) EXCEPTION_DISPOSITION __cdecl rastelle_guard_handler_x86(
    EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) ||
        !rastelle::com::IsMachineFault(record->ExceptionCode))
        return ExceptionContinueSearch;
    rastelle_guard_unwind_x86(frame, record);
}

#endif
