#include "icc_jpeg.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <lcms2.h>

namespace rastelle::test {

namespace {

std::vector<std::uint8_t> WideGamutProfile() {
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

}  // namespace

ProfiledJpeg MakeProfiledJpeg(int width, int height) {
    ProfiledJpeg result;
    const std::vector<std::uint8_t> profile = WideGamutProfile();

    std::vector<std::uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<std::uint8_t>(x * 255 / (width - 1));
            p[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
            p[2] = static_cast<std::uint8_t>(255 - (x + y) * 255 / (width + height - 2));
        }
    jpeg_compress_struct compress{};
    jpeg_error_mgr errors{};
    compress.err = jpeg_std_error(&errors);
    jpeg_create_compress(&compress);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&compress, &buffer, &size);
    compress.image_width = static_cast<JDIMENSION>(width);
    compress.image_height = static_cast<JDIMENSION>(height);
    compress.input_components = 3;
    compress.in_color_space = JCS_RGB;
    jpeg_set_defaults(&compress);
    jpeg_set_quality(&compress, 90, TRUE);
    jpeg_start_compress(&compress, TRUE);
    jpeg_write_icc_profile(&compress, profile.data(), static_cast<unsigned>(profile.size()));
    while (compress.next_scanline < compress.image_height) {
        JSAMPROW row = &rgb[static_cast<size_t>(compress.next_scanline) * width * 3];
        jpeg_write_scanlines(&compress, &row, 1);
    }
    jpeg_finish_compress(&compress);
    jpeg_destroy_compress(&compress);
    result.file.assign(buffer, buffer + size);
    std::free(buffer);

    // Decoded as djpeg decodes, in the pixel memory's order.
    jpeg_decompress_struct decompress{};
    decompress.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&decompress);
    jpeg_mem_src(&decompress, result.file.data(), static_cast<unsigned long>(result.file.size()));
    jpeg_read_header(&decompress, TRUE);
    decompress.dct_method = JDCT_ISLOW;
    decompress.do_fancy_upsampling = TRUE;
    decompress.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&decompress);
    result.decoded.resize(static_cast<size_t>(width) * height);
    while (decompress.output_scanline < decompress.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(&result.decoded[static_cast<size_t>(decompress.output_scanline) * width]);
        jpeg_read_scanlines(&decompress, &row, 1);
    }
    jpeg_finish_decompress(&decompress);
    jpeg_destroy_decompress(&decompress);

    cmsHPROFILE source = cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = cmsCreateTransform(source, TYPE_BGRA_8, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
    result.converted = result.decoded;
    cmsDoTransform(transform, result.converted.data(), result.converted.data(),
                   static_cast<cmsUInt32Number>(result.converted.size()));
    cmsDeleteTransform(transform);
    cmsCloseProfile(srgb);
    cmsCloseProfile(source);
    return result;
}

}  // namespace rastelle::test
