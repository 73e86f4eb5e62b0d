#include "transforms/resampling.h"

namespace rastelle::transforms {

Gdiplus::InterpolationMode InterpolationFor(ResizeQualityTypes quality) {
    switch (quality) {
    case rqtNearestNeighborMode: return Gdiplus::InterpolationModeNearestNeighbor;
    case rqtBilinearMode: return Gdiplus::InterpolationModeBilinear;
    case rqtHighQualityBilinearMode: return Gdiplus::InterpolationModeHighQualityBilinear;
    case rqtBicubicMode: return Gdiplus::InterpolationModeBicubic;
    case rqtHighQualityBicubicMode: return Gdiplus::InterpolationModeHighQualityBicubic;
    default: return Gdiplus::InterpolationModeDefault;
    }
}

}  // namespace rastelle::transforms
