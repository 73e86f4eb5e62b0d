// No Windows header here: jpeglib.h and the SDK disagree about `boolean`.
#include "codecs/jpeg_writer.h"

#include "codecs/jpeg_errors.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

namespace rastelle::codecs {

namespace {

std::uint16_t DensityOf(float dpi) { return static_cast<std::uint16_t>(std::clamp(std::lround(dpi), 1L, 65535L)); }

// The state that must survive a jump back, kept out of registers.
struct Encoding {
    jpeg_compress_struct info{};
    jpeg::ErrorManager errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

}  // namespace

bool EncodeJpeg(const kernels::ConstImageView& pixels, int quality, float horizontalDpi, float verticalDpi,
                std::vector<std::uint8_t>& out) {
    out.clear();
    if (pixels.width <= 0 || pixels.height <= 0) return false;
    auto* volatile state = new (std::nothrow) Encoding;
    if (!state) return false;

    jpeg::Install(state->errors, *reinterpret_cast<jpeg_common_struct*>(&state->info));
    if (RASTELLE_JPEG_SETJMP(state->errors.jump) != 0) {
        jpeg_destroy_compress(&state->info);
        std::free(state->buffer);
        delete state;
        return false;
    }

    jpeg_create_compress(&state->info);
    jpeg_mem_dest(&state->info, &state->buffer, &state->size);
    state->info.image_width = static_cast<JDIMENSION>(pixels.width);
    state->info.image_height = static_cast<JDIMENSION>(pixels.height);
    // The rows go in as they are in memory: blue, green, red and a byte that
    // is dropped.
    state->info.input_components = 4;
    state->info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&state->info);
    jpeg_set_quality(&state->info, std::clamp(quality, 0, 100), TRUE);
    state->info.write_JFIF_header = TRUE;
    if (horizontalDpi > 0 && verticalDpi > 0) {
        state->info.density_unit = 1;  // dots per inch
        state->info.X_density = DensityOf(horizontalDpi);
        state->info.Y_density = DensityOf(verticalDpi);
    }
    jpeg_start_compress(&state->info, TRUE);
    while (state->info.next_scanline < state->info.image_height) {
        const int y = static_cast<int>(state->info.next_scanline);
        JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(const_cast<std::uint32_t*>(pixels.row(y)))};
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
