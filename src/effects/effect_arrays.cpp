#include "effects/effect_classes.h"

namespace rastelle::effects {

namespace {
constexpr VARTYPE kPixelArray = VT_ARRAY | VT_I4;
}

SAFEARRAY* PixelArrayArgument(const VARIANT& input) noexcept {
    switch (input.vt) {
    case kPixelArray:
        return input.parray;
    case VT_BYREF | kPixelArray:
        return input.pparray ? *input.pparray : nullptr;
    case VT_BYREF | VT_VARIANT:
        return input.pvarVal && input.pvarVal->vt != (VT_BYREF | VT_VARIANT) ? PixelArrayArgument(*input.pvarVal) : nullptr;
    default:
        return nullptr;
    }
}

void StoreArrayOut(SAFEARRAY* array, VARIANT& output) noexcept {
    VARIANT* target = output.pvarVal;
    if (!target) {
        SafeArrayDestroy(array);
        return;
    }
    VariantClear(target);
    target->vt = kPixelArray;
    target->parray = array;
}

}  // namespace rastelle::effects
