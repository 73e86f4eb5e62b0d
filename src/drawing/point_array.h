// Reads the points of a drawing method's PointsArray argument.
//
// Two shapes are accepted: a two-dimensional N x 2 array (element (i, 0) is
// the x and (i, 1) the y of point i) of integers or variants, and a
// one-dimensional array of N variants each holding a two-element array
// (x, y). By-reference variants are followed, and an array held by reference
// reads like the same array held by value. Elements are read by position, so
// lower bounds other than 0 shift nothing. At most 2^24 points. Integers of 8, 16 and 32 bits are
// taken as they are; floats are truncated toward zero.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

namespace rastelle::drawing {

struct ArrayPoint {
    LONG x;
    LONG y;
    bool operator==(const ArrayPoint&) const = default;
};

enum class PointArrayFault {
    None,
    NotAnArray,  // not an array of integers or variants
    WrongShape,  // neither shape, no points, or a pair of another size
    NotANumber,  // an element that is no number (or a float out of range)
    OutOfMemory,
};

struct PointArrayResult {
    PointArrayFault fault = PointArrayFault::None;
    // The code a failure carries: E_INVALIDARG for the shape faults;
    // 0xE000020A for a bad number in a pair, E_FAIL in the two-dimensional
    // shape; E_OUTOFMEMORY.
    HRESULT code = S_OK;
};

PointArrayResult ParsePointArray(const VARIANT& argument, std::vector<ArrayPoint>& points) noexcept;

}  // namespace rastelle::drawing
