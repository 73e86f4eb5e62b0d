#include "drawing/point_array.h"

#include "com/automation.h"
#include "com/errors.h"

#include <cmath>
#include <cstdint>
#include <new>
#include <stdexcept>

namespace rastelle::drawing {

namespace {

// By-reference variants nest at most this deep; deeper chains are refused
// rather than followed without end.
constexpr int kMaxVariantDepth = 16;

constexpr ULONG kMaxPoints = 1u << 24;

// The variant that a chain of by-reference variants ends at; null when the
// chain is broken or too long.
const VARIANT* Unwrap(const VARIANT* value) noexcept {
    for (int depth = 0; value && value->vt == (VT_BYREF | VT_VARIANT); ++depth) {
        if (depth == kMaxVariantDepth) return nullptr;
        value = value->pvarVal;
    }
    return value;
}

// The array a variant holds, by value or by reference; null for anything else.
SAFEARRAY* ArrayOf(const VARIANT& value) noexcept {
    if (!(value.vt & VT_ARRAY)) return nullptr;
    if (value.vt & VT_BYREF) return value.pparray ? *value.pparray : nullptr;
    return value.parray;
}

bool FromFloat(double value, LONG& out) noexcept {
    const double truncated = std::trunc(value);
    if (!(truncated >= -2147483648.0 && truncated <= 2147483647.0)) return false;  // NaN too
    out = static_cast<LONG>(truncated);
    return true;
}

bool ReadVariantNumber(const VARIANT& element, LONG& out) noexcept;

// One element of type vt at data.
bool ReadNumber(VARTYPE vt, const void* data, LONG& out) noexcept {
    switch (vt) {
        case VT_I1: out = *static_cast<const signed char*>(data); return true;
        case VT_UI1: out = *static_cast<const unsigned char*>(data); return true;
        case VT_I2: out = *static_cast<const SHORT*>(data); return true;
        case VT_UI2: out = *static_cast<const USHORT*>(data); return true;
        case VT_I4:
        case VT_INT: out = *static_cast<const LONG*>(data); return true;
        case VT_UI4:
        case VT_UINT: out = static_cast<LONG>(*static_cast<const ULONG*>(data)); return true;
        case VT_R4: return FromFloat(*static_cast<const float*>(data), out);
        case VT_R8: return FromFloat(*static_cast<const double*>(data), out);
        case VT_VARIANT: return ReadVariantNumber(*static_cast<const VARIANT*>(data), out);
        default: return false;
    }
}

bool ReadVariantNumber(const VARIANT& element, LONG& out) noexcept {
    const VARIANT* value = Unwrap(&element);
    if (!value || (value->vt & VT_ARRAY)) return false;
    if (value->vt & VT_BYREF) return value->byref && ReadNumber(value->vt & VT_TYPEMASK, value->byref, out);
    return ReadNumber(value->vt, &value->lVal, out);
}

// The size of an element of type vt, 0 for types no points array holds.
ULONG ElementSize(VARTYPE vt) noexcept {
    switch (vt) {
        case VT_I1:
        case VT_UI1: return 1;
        case VT_I2:
        case VT_UI2: return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4: return 4;
        case VT_R8: return 8;
        case VT_VARIANT: return sizeof(VARIANT);
        default: return 0;
    }
}

// The element type of an array: the variant's own type, checked against the
// size the descriptor records.
VARTYPE ElementType(const VARIANT& holder, const SAFEARRAY& array) noexcept {
    const VARTYPE vt = holder.vt & VT_TYPEMASK;
    const ULONG size = ElementSize(vt);
    return size != 0 && size == array.cbElements ? vt : static_cast<VARTYPE>(VT_EMPTY);
}

bool IsOuterType(VARTYPE vt) noexcept {
    return vt == VT_I1 || vt == VT_UI1 || vt == VT_I2 || vt == VT_UI2 || vt == VT_I4 || vt == VT_UI4 ||
           vt == VT_VARIANT;
}

PointArrayResult Fail(PointArrayFault fault, HRESULT code) noexcept { return {fault, code}; }

// The pair (x, y) held by one element of the one-dimensional shape.
PointArrayResult ReadPair(const VARIANT& element, ArrayPoint& point) noexcept {
    const VARIANT* value = Unwrap(&element);
    SAFEARRAY* pair = value ? ArrayOf(*value) : nullptr;
    if (!pair || pair->cDims != 1 || pair->rgsabound[0].cElements != 2)
        return Fail(PointArrayFault::WrongShape, E_INVALIDARG);
    const VARTYPE vt = ElementType(*value, *pair);
    com::SafeArrayDataLock lock(pair);
    if (!lock.data()) return Fail(PointArrayFault::NotANumber, com::kErrPointArray);
    const auto* bytes = static_cast<const std::uint8_t*>(lock.data());
    if (vt == VT_EMPTY || !ReadNumber(vt, bytes, point.x) || !ReadNumber(vt, bytes + pair->cbElements, point.y))
        return Fail(PointArrayFault::NotANumber, com::kErrPointArray);
    return {};
}

}  // namespace

PointArrayResult ParsePointArray(const VARIANT& argument, std::vector<ArrayPoint>& points) noexcept {
    points.clear();
    const VARIANT* holder = Unwrap(&argument);
    SAFEARRAY* array = holder ? ArrayOf(*holder) : nullptr;
    if (!array || !IsOuterType(holder->vt & VT_TYPEMASK) || ElementType(*holder, *array) == VT_EMPTY)
        return Fail(PointArrayFault::NotAnArray, E_INVALIDARG);
    const VARTYPE vt = holder->vt & VT_TYPEMASK;

    // The descriptor lists the dimensions from the rightmost: for an array
    // declared (N, 2) rgsabound[0] is the 2 and rgsabound[1] the N.
    const bool pairs = array->cDims == 1 && vt == VT_VARIANT;
    const bool table = array->cDims == 2 && array->rgsabound[0].cElements == 2;
    const ULONG count = array->cDims == 1 ? array->rgsabound[0].cElements : array->rgsabound[1].cElements;
    if ((!pairs && !table) || count == 0) return Fail(PointArrayFault::WrongShape, E_INVALIDARG);
    // Counts above the cap (far beyond what a figure of GDI+ holds) are
    // refused before anything is read, so N x 2 and the byte offsets below
    // never overflow, on 32-bit builds too.
    if (count > kMaxPoints) return Fail(PointArrayFault::OutOfMemory, E_OUTOFMEMORY);
    try {
        points.resize(count);
    } catch (const std::bad_alloc&) {
        return Fail(PointArrayFault::OutOfMemory, E_OUTOFMEMORY);
    } catch (const std::length_error&) {
        return Fail(PointArrayFault::OutOfMemory, E_OUTOFMEMORY);
    }

    com::SafeArrayDataLock lock(array);
    if (!lock.data()) return Fail(PointArrayFault::NotANumber, pairs ? com::kErrPointArray : E_FAIL);
    const auto* bytes = static_cast<const std::uint8_t*>(lock.data());
    const size_t size = array->cbElements;
    for (size_t i = 0; i < count; ++i) {
        if (pairs) {
            const PointArrayResult pair = ReadPair(reinterpret_cast<const VARIANT*>(bytes)[i], points[i]);
            if (pair.fault != PointArrayFault::None) {
                points.clear();
                return pair;
            }
        } else {
            // The leftmost index runs fastest: (i, 0) at i, (i, 1) at count + i.
            if (!ReadNumber(vt, bytes + i * size, points[i].x) ||
                !ReadNumber(vt, bytes + (count + i) * size, points[i].y)) {
                points.clear();
                return Fail(PointArrayFault::NotANumber, E_FAIL);
            }
        }
    }
    return {};
}

}  // namespace rastelle::drawing
