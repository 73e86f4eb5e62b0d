// No Windows header here: jpeglib.h and the SDK disagree about `boolean`.
#include "codecs/jpeg_reader.h"

#include "codecs/jpeg_errors.h"

#include <cstdlib>
#include <new>

#include <jerror.h>
#include <lcms2.h>

namespace rastelle::codecs {

namespace {

// The state that must survive a jump back, kept out of registers.
struct Decoding {
    jpeg_decompress_struct info{};
    jpeg::ErrorManager errors{};
    JOCTET* profile = nullptr;
    unsigned int profileSize = 0;
    JSAMPLE* cmykRow = nullptr;
};

void Free(Decoding* state) {
    jpeg_destroy_decompress(&state->info);
    std::free(state->profile);
    std::free(state->cmykRow);
    delete state;
}

// One CMYK row to opaque BGRA. Adobe's files store the inks inverted.
void CmykToBgra(const JSAMPLE* cmyk, std::uint32_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        const std::uint32_t r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
        out[x] = 0xFF000000u | r << 16 | g << 8 | b;
    }
}

// A transform from the embedded profile to sRGB BGRA for pixels in format,
// or null: a profile of another colour space than space, or one Little CMS
// cannot read, is left unused, as a viewer leaves it.
cmsHTRANSFORM ProfileTransform(const Decoding& state, cmsColorSpaceSignature space, cmsUInt32Number format) {
    if (!state.profile) return nullptr;
    cmsHPROFILE source = cmsOpenProfileFromMem(state.profile, state.profileSize);
    if (!source) return nullptr;
    cmsHTRANSFORM transform = nullptr;
    if (cmsGetColorSpace(source) == space) {
        if (cmsHPROFILE srgb = cmsCreate_sRGBProfile()) {
            transform = cmsCreateTransform(source, format, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
            cmsCloseProfile(srgb);
        }
    }
    cmsCloseProfile(source);
    return transform;
}

}  // namespace

bool LooksLikeJpeg(const std::uint8_t* data, std::size_t size) noexcept {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

DecodeResult DecodeJpeg(const std::uint8_t* data, std::size_t size, DecodeTarget& target) noexcept {
    if (!LooksLikeJpeg(data, size)) return DecodeResult::NotDecodable;
    auto* volatile state = new (std::nothrow) Decoding;
    if (!state) return DecodeResult::OutOfMemory;
    cmsHTRANSFORM volatile cmykTransform = nullptr;
    jpeg::Install(state->errors, *reinterpret_cast<jpeg_common_struct*>(&state->info));
    if (RASTELLE_JPEG_SETJMP(state->errors.jump) != 0) {
        const bool outOfMemory = state->errors.base.msg_code == JERR_OUT_OF_MEMORY;
        if (cmykTransform) cmsDeleteTransform(cmykTransform);
        Free(state);
        return outOfMemory ? DecodeResult::OutOfMemory : DecodeResult::NotDecodable;
    }
    jpeg_create_decompress(&state->info);
    jpeg_mem_src(&state->info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&state->info, JPEG_APP0 + 2, 0xFFFF);  // ICC profile chunks
    jpeg_read_header(&state->info, TRUE);
    state->info.dct_method = JDCT_ISLOW;
    state->info.do_fancy_upsampling = TRUE;
    const bool cmyk = state->info.jpeg_color_space == JCS_CMYK || state->info.jpeg_color_space == JCS_YCCK;
    state->info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_read_icc_profile(&state->info, &state->profile, &state->profileSize);
    jpeg_start_decompress(&state->info);

    const int width = static_cast<int>(state->info.output_width);
    const int height = static_cast<int>(state->info.output_height);
    const kernels::ImageView view = target.Allocate(width, height);
    if (!view.pixels) {
        Free(state);
        return DecodeResult::OutOfMemory;
    }
    const bool inverted = state->info.saw_Adobe_marker;
    if (cmyk) {
        state->cmykRow = static_cast<JSAMPLE*>(std::malloc(static_cast<std::size_t>(width) * 4));
        if (!state->cmykRow) {
            Free(state);
            return DecodeResult::OutOfMemory;
        }
        cmykTransform = ProfileTransform(*state, cmsSigCmykData, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8);
    }
    while (state->info.output_scanline < state->info.output_height) {
        const int y = static_cast<int>(state->info.output_scanline);
        JSAMPROW row = cmyk ? state->cmykRow : reinterpret_cast<JSAMPROW>(view.row(y));
        if (jpeg_read_scanlines(&state->info, &row, 1) != 1) break;
        if (!cmyk) continue;
        if (cmykTransform) {
            std::uint32_t* out = view.row(y);
            for (int x = 0; x < width; ++x) out[x] = 0xFF000000u;
            cmsDoTransform(cmykTransform, state->cmykRow, out, static_cast<cmsUInt32Number>(width));
        } else {
            CmykToBgra(state->cmykRow, view.row(y), width, inverted);
        }
    }
    if (cmykTransform) cmsDeleteTransform(cmykTransform);
    // An RGB profile is applied to the decoded pixels in place.
    if (cmsHTRANSFORM rgbTransform = cmyk ? nullptr : ProfileTransform(*state, cmsSigRgbData, TYPE_BGRA_8)) {
        for (int y = 0; y < height; ++y)
            cmsDoTransform(rgbTransform, view.row(y), view.row(y), static_cast<cmsUInt32Number>(width));
        cmsDeleteTransform(rgbTransform);
    }
    Free(state);
    return DecodeResult::Decoded;
}

}  // namespace rastelle::codecs
