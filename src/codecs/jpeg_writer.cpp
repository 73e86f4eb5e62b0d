// No Windows header here: jpeglib.h and the SDK disagree about `boolean`.
#include "codecs/jpeg_writer.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <jpeglib.h>

namespace rastelle::codecs {

namespace {

// libjpeg reports errors through a callback that must not return; it jumps
// back to the encoding function, whose frame owns everything to free.
struct ErrorManager {
    jpeg_error_mgr base;
#if defined(__GNUC__)
    void* jump[5];
#else
    jmp_buf jump;
#endif
};

[[noreturn]] void OnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
#if defined(__GNUC__)
    __builtin_longjmp(manager->jump, 1);
#else
    longjmp(manager->jump, 1);
#endif
}

void IgnoreMessage(j_common_ptr, int) {}

std::uint16_t DensityOf(float dpi) { return static_cast<std::uint16_t>(std::clamp(std::lround(dpi), 1L, 65535L)); }

// The state that must survive a jump back, kept out of registers.
struct Encoding {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

}  // namespace

#if defined(__GNUC__)
#define RASTELLE_SETJMP(buffer) __builtin_setjmp(buffer)
#else
#define RASTELLE_SETJMP(buffer) setjmp(buffer)
#endif

bool EncodeJpeg(const kernels::ConstImageView& pixels, int quality, float horizontalDpi, float verticalDpi,
                std::vector<std::uint8_t>& out) {
    out.clear();
    if (pixels.width <= 0 || pixels.height <= 0) return false;
    std::vector<JSAMPLE> row(static_cast<size_t>(pixels.width) * 3);
    auto* volatile state = new (std::nothrow) Encoding;
    if (!state) return false;

    state->info.err = jpeg_std_error(&state->errors.base);
    state->errors.base.error_exit = &OnError;
    state->errors.base.emit_message = &IgnoreMessage;
    if (RASTELLE_SETJMP(state->errors.jump) != 0) {
        jpeg_destroy_compress(&state->info);
        std::free(state->buffer);
        delete state;
        return false;
    }

    jpeg_create_compress(&state->info);
    jpeg_mem_dest(&state->info, &state->buffer, &state->size);
    state->info.image_width = static_cast<JDIMENSION>(pixels.width);
    state->info.image_height = static_cast<JDIMENSION>(pixels.height);
    state->info.input_components = 3;
    state->info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&state->info);
    jpeg_set_quality(&state->info, std::clamp(quality, 0, 100), TRUE);
    state->info.write_JFIF_header = TRUE;
    if (horizontalDpi > 0 && verticalDpi > 0) {
        state->info.density_unit = 1;  // dots per inch
        state->info.X_density = DensityOf(horizontalDpi);
        state->info.Y_density = DensityOf(verticalDpi);
    }
    jpeg_start_compress(&state->info, TRUE);
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint32_t* source = pixels.row(y);
        for (int x = 0; x < pixels.width; ++x) {
            row[static_cast<size_t>(x) * 3 + 0] = static_cast<JSAMPLE>(source[x] >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<JSAMPLE>(source[x] >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(source[x]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&state->info, rows, 1);
    }
    jpeg_finish_compress(&state->info);
    jpeg_destroy_compress(&state->info);
    try {
        out.assign(state->buffer, state->buffer + state->size);
    } catch (...) {
        out.clear();
    }
    std::free(state->buffer);
    delete state;
    return !out.empty();
}

}  // namespace rastelle::codecs
