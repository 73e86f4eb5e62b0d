// Separation of sRGB pixels into CMYK ink amounts through an ICC output
// profile, with Little CMS 2. Used where the platform has no output channels.
#pragma once

#include "kernels/image_view.h"

#include <cstdint>

#include <memory>
#include <vector>

namespace rastelle::codecs {

class CmykProfileTransform {
public:
    ~CmykProfileTransform();
    CmykProfileTransform(const CmykProfileTransform&) = delete;
    CmykProfileTransform& operator=(const CmykProfileTransform&) = delete;

    // The transform from sRGB to the CMYK profile in the file named; null when the file cannot be opened, is no ICC
    // profile, is not a CMYK profile, or no transform can be built from it.
    static std::unique_ptr<CmykProfileTransform> Open(const std::vector<std::uint8_t>& profile) noexcept;

    // Writes the ink amounts of src's pixels into dst's in the byte order
    // cyan, magenta, yellow, black (0 = no ink). Alpha takes no part. The
    // views have the same size and do not overlap.
    void Separate(const kernels::ConstImageView& src, const kernels::ImageView& dst) const noexcept;

private:
    explicit CmykProfileTransform(void* transform) noexcept : transform_(transform) {}
    void* transform_;  // cmsHTRANSFORM
};

}  // namespace rastelle::codecs
