// What the JPEG reader and writer share: libjpeg reports errors through a
// callback that must not return, so it jumps back to the function that set
// the jump, whose frame owns everything to free. No Windows header here:
// jpeglib.h and the SDK disagree about `boolean`.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace rastelle::codecs::jpeg {

struct ErrorManager {
    jpeg_error_mgr base;
#if defined(__GNUC__)
    void* jump[5];
#else
    jmp_buf jump;
#endif
};

[[noreturn]] inline void OnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
#if defined(__GNUC__)
    __builtin_longjmp(manager->jump, 1);
#else
    longjmp(manager->jump, 1);
#endif
}

// Warnings (a truncated file, say) are not failures: the decoder goes on.
inline void IgnoreMessage(j_common_ptr, int) {}

inline void Install(ErrorManager& manager, jpeg_common_struct& info) {
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = &OnError;
    manager.base.emit_message = &IgnoreMessage;
}

}  // namespace rastelle::codecs::jpeg

#if defined(__GNUC__)
#define RASTELLE_JPEG_SETJMP(buffer) __builtin_setjmp(buffer)
#else
#define RASTELLE_JPEG_SETJMP(buffer) setjmp(buffer)
#endif
