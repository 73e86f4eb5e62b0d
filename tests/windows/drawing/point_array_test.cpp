// The PointsArray parser on every shape, element type and wrapping a client
// can send, built here with the SAFEARRAY API as an automation host builds
// them.
#include "drawing/point_array.h"

#include "test_support.h"

#include <cmath>

namespace rastelle::test {
namespace {

using drawing::ArrayPoint;
using drawing::ParsePointArray;
using drawing::PointArrayFault;
using Points = std::vector<ArrayPoint>;

const Points kThree{{1, 2}, {30, 40}, {-5, 6}};

using Argument = ArrayArgument;

NumberPairs AsNumbers(const Points& points) {
    NumberPairs numbers;
    for (const auto& p : points) numbers.emplace_back(p.x, p.y);
    return numbers;
}
SAFEARRAY* PairsOf(const Points& points, VARTYPE vt = VT_VARIANT) { return PointPairs(AsNumbers(points), vt); }

struct Outcome {
    PointArrayFault fault;
    HRESULT code;
    Points points;
    bool operator==(const Outcome&) const = default;
};

Outcome Parse(const VARIANT& value) {
    Points points{{99, 99}};
    const auto result = ParsePointArray(value, points);
    return {result.fault, result.code, points};
}

Outcome Good(const Points& points) { return {PointArrayFault::None, S_OK, points}; }
Outcome Bad(PointArrayFault fault, HRESULT code) { return {fault, code, {}}; }

void PrintTo(const Outcome& outcome, std::ostream* os) {
    *os << "fault " << int(outcome.fault) << " code " << std::hex << outcome.code << std::dec << " points";
    for (const auto& p : outcome.points) *os << " (" << p.x << "," << p.y << ")";
}

// A table of every integer type or of variants, and pairs of every number
// type, read point by point.
TEST(PointArray, TablesAndPairsOfEveryElementTypeReadPointByPoint) {
    for (VARTYPE vt : {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_R4, VT_R8, VT_VARIANT}) {
        const bool unsignedType = vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4;
        const Points expected = unsignedType ? Points{{1, 2}, {30, 40}, {5, 6}} : kThree;
        Argument pairs(PairsOf(expected, vt), VT_VARIANT);
        EXPECT_EQ(Parse(pairs.value), Good(expected)) << "pairs of type " << vt;
        if (vt == VT_R4 || vt == VT_R8) continue;
        Argument table(PointTable(vt, AsNumbers(expected)), vt);
        EXPECT_EQ(Parse(table.value), Good(expected)) << "table of type " << vt;
    }
    // Unsigned 32-bit values are taken bit for bit.
    Argument argument(PointTable(VT_UI4, {{4294967295.0, 2147483648.0}}), VT_UI4);
    EXPECT_EQ(Parse(argument.value), Good({{-1, -2147483647 - 1}}));
}

TEST(PointArray, FloatsTruncateTowardZeroAndOutOfRangeFloatsAreNoNumbers) {
    Argument table(PointTable(VT_VARIANT, {{2.9, -2.9}, {-0.5, 0.5}, {2147483647.0, -2147483648.0}}), VT_VARIANT);
    EXPECT_EQ(Parse(table.value), Good({{2, -2}, {0, 0}, {2147483647, -2147483647 - 1}}));

    for (double bad : {2147483648.0, std::nan("")}) {
        Argument inTable(PointTable(VT_VARIANT, {{1, 1}, {bad, 0}}), VT_VARIANT);
        Argument inPair(VariantArray(1, [&](size_t, VARIANT& value) {
                            value.vt = VT_ARRAY | VT_R8, value.parray = PointPair(VT_R8, 0, bad);
                        }),
                        VT_VARIANT);
        EXPECT_EQ(Parse(inTable.value), Bad(PointArrayFault::NotANumber, E_FAIL)) << bad;
        EXPECT_EQ(Parse(inPair.value), Bad(PointArrayFault::NotANumber, static_cast<HRESULT>(0xE000020A))) << bad;
    }
}

TEST(PointArray, ArraysByReferenceNestedReferencesAndOtherLowerBoundsReadLikeArraysByValue) {
    // A script's array variable, wrapped in by-reference variants three deep.
    SAFEARRAY* array = PointTable(VT_I4, AsNumbers(kThree));
    VARIANT levels[4];
    levels[0].vt = VT_BYREF | VT_ARRAY | VT_I4, levels[0].pparray = &array;
    for (int i = 1; i < 4; ++i) levels[i].vt = VT_BYREF | VT_VARIANT, levels[i].pvarVal = &levels[i - 1];
    EXPECT_EQ(Parse(levels[3]), Good(kThree));
    SafeArrayDestroy(array);

    // Pairs held by reference, and numbers held by reference inside pairs.
    LONG x = 7, y = -8;
    SAFEARRAY* inner = PointPair(VT_I4, 7, -8);
    Argument argument(VariantArray(2, [&](size_t i, VARIANT& value) {
             if (i == 0) {
                 value.vt = VT_ARRAY | VT_VARIANT;
                 value.parray = VariantArray(2, [&](size_t j, VARIANT& number) {
                     number.vt = VT_BYREF | VT_I4, number.plVal = j == 0 ? &x : &y;
                 });
             } else {
                 value.vt = VT_BYREF | VT_ARRAY | VT_I4, value.pparray = &inner;
             }
         }),
         VT_VARIANT);
    EXPECT_EQ(Parse(argument.value), Good({{7, -8}, {7, -8}}));
    SafeArrayDestroy(inner);
    // Lower bounds other than zero are read by position.
    Argument lowered(PointTable(VT_I2, AsNumbers(kThree), -3), VT_I2);
    EXPECT_EQ(Parse(lowered.value), Good(kThree));
}

TEST(PointArray, AnythingButAnArrayOfIntegersOrVariantsIsNoPointsArray) {
    const Outcome notAnArray = Bad(PointArrayFault::NotAnArray, E_INVALIDARG);
    Argument empty, doubles(PointTable(VT_R8, {{1, 2}}), VT_R8), nullArray(nullptr, VT_I4);
    // A null reference, and a by-reference chain that never ends.
    VARIANT nullReference, loop;
    nullReference.vt = VT_BYREF | VT_ARRAY | VT_I4, nullReference.pparray = nullptr;
    loop.vt = VT_BYREF | VT_VARIANT, loop.pvarVal = &loop;
    for (const VARIANT* argument : {&empty.value, &doubles.value, &nullArray.value, &nullReference, &loop})
        EXPECT_EQ(Parse(*argument), notAnArray);
}

TEST(PointArray, OtherShapesEmptyArraysAndPairsOfOtherSizesAreTheWrongShape) {
    SAFEARRAYBOUND threeByThree[2] = {{3, 0}, {3, 0}}, flat{6, 0}, none{0, 0};
    std::vector<SAFEARRAY*> cases{SafeArrayCreate(VT_I4, 2, threeByThree),
                                  SafeArrayCreate(VT_I4, 1, &flat),  // x, y, x, y... in one dimension
                                  SafeArrayCreate(VT_VARIANT, 1, &none)};
    cases.push_back(VariantArray(2, [](size_t i, VARIANT& value) {  // a pair of three, then a bare number
        value.vt = VT_ARRAY | VT_I4;
        value.parray = PointPair(VT_I4, 1, 2, 3);
        if (i == 1) VariantClear(&value), value.vt = VT_I4, value.lVal = 5;
    }));
    for (size_t i = 0; i < cases.size(); ++i) {
        Argument argument(cases[i], cases[i]->cDims == 1 && i != 1 ? VT_VARIANT : VT_I4);
        EXPECT_EQ(Parse(argument.value), Bad(PointArrayFault::WrongShape, E_INVALIDARG)) << "case " << i;
    }
}

TEST(PointArray, HugeCountsAreRefusedBeforeAnythingIsRead) {
    // A descriptor that claims 2^31 rows over a tiny block: N x 2 overflows
    // 32 bits, and reading it would run far past the block.
    SAFEARRAY* array = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_I4, 2, &array), S_OK);
    LONG block[4] = {1, 2, 3, 4};
    array->cbElements = 4, array->rgsabound[0] = {2, 0}, array->rgsabound[1] = {0x80000000u, 0};
    array->pvData = block, array->fFeatures |= FADF_STATIC;
    VARIANT argument;
    argument.vt = VT_ARRAY | VT_I4, argument.parray = array;
    EXPECT_EQ(Parse(argument), Bad(PointArrayFault::OutOfMemory, E_OUTOFMEMORY));
    array->pvData = nullptr;
    SafeArrayDestroyDescriptor(array);
}

}  // namespace
}  // namespace rastelle::test
