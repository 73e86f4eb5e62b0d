#include "simd.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "blur_detail.h"
#include "cpu_features.h"

// The byte path of the blur. A window whose pixels are all opaque (and which
// no border cuts) has the alpha sum 255 * S and the colour sums 255 * U, U
// the tent sum of the colour bytes themselves: its colour bytes are
// trunc(255 U * (1 / (255 S))), the reciprocal rounded to double, and its
// alpha 255; a window of transparent pixels gives 0.
//
// For running radii up to 10 the doubled sums U fit 16 bits, so such windows
// are a 16-bit tent over the bytes (taps added directly up to radius 4,
// running sums beyond) and a division by a constant (a high multiply and a
// shift), many lanes at a time, less one at the exact multiples where the
// rounded reciprocal comes out below the quotient. Both the constant and
// those multiples are derived from the double formula and checked against it
// for every U that can occur at set-up; the path is taken only where they
// agree. The lanes' alpha sums tell which windows were wholly opaque or
// transparent. Every other window (at a border, or mixing alphas) is summed
// on its own in double precision, as the direct path does, so the path pays
// where such windows are few (ByteWindowsPay). The horizontal pass keeps
// finished pixels as they are, not premultiplied, for the vertical one to
// sum the same way.

namespace rastelle::kernels::blur_detail {
namespace {

struct ByteTent {
    int hi = 0;                          // taps at distances -hi..hi
    bool edgeWeighsTwo = false;          // the running update's rule (see Taps)
    std::uint16_t weight[5] = {};        // doubled weight at distance 0..hi (direct sums)
    std::uint16_t total = 0;             // the doubled weights' total T
    std::uint16_t opaqueSum = 0;         // 255 * T
    int preShift = 0;                    // floor(U / T) = ((U >> preShift) * magic) >> (16 + shift)
    std::uint16_t magic = 0;
    int shift = 0;
    bool anyLower = false;               // some lower[q] is set
    bool lower[256] = {};                // U = q * T gives q - 1
};

// Radii up to this many taps each side sum their taps directly; wider ones
// (up to kByteTentMaxHi) slide running sums.
constexpr int kByteTentMaxDirectHi = 4;
constexpr int kByteTentMaxHi = 10;

std::optional<ByteTent> ByteTentFor(const Taps& taps) {
    if (!taps.running || taps.Empty() || taps.hi > kByteTentMaxHi || taps.lo != -taps.hi) return std::nullopt;
    ByteTent tent;
    tent.hi = taps.hi;
    tent.edgeWeighsTwo = taps.EdgeWeighsTwo();
    std::uint32_t total = 0;
    for (int d = 0; d <= taps.hi; ++d) {
        const auto w = static_cast<std::uint16_t>(taps.Weight2(d));
        if (d <= kByteTentMaxDirectHi) tent.weight[d] = w;
        total += (d == 0 ? 1 : 2) * w;
    }
    if (255 * total >= 0xFFFF) return std::nullopt;
    tent.total = static_cast<std::uint16_t>(total);
    tent.opaqueSum = static_cast<std::uint16_t>(255 * total);
    // The colour of a wholly opaque window: its undoubled sums are 255 U / 2
    // and 255 T / 2, formed exactly in doubles; the quotient is floor(U / T)
    // except at some exact multiples, where the rounded reciprocal gives one
    // less.
    const double inverse = 1.0 / (255.0 * total / 2);
    auto colour = [&](std::uint32_t u) { return static_cast<std::uint32_t>((255.0 * u / 2) * inverse); };
    for (std::uint32_t q = 1; q < 256; ++q) tent.anyLower |= tent.lower[q] = colour(q * total) < q;
    // floor(U / T) = floor(floor(U / 2^p) / (T / 2^p)): the powers of two in
    // T first, as a plain shift, leave fewer bits to the multiply (whose
    // factor must stay below 2^16, so the divisor left stays above 1).
    while (total % (2u << tent.preShift) == 0 && (total >> (tent.preShift + 1)) > 1) ++tent.preShift;
    const std::uint32_t divisor = total >> tent.preShift;
    for (tent.shift = 0; tent.shift < 16; ++tent.shift) {
        const std::uint64_t magic = ((std::uint64_t{1} << (16 + tent.shift)) + divisor - 1) / divisor;
        if (magic > 0xFFFF) break;
        bool exact = true;
        for (std::uint32_t u = 0; u <= tent.opaqueSum && exact; ++u) {
            const auto q = static_cast<std::uint32_t>(((u >> tent.preShift) * magic) >> (16 + tent.shift));
            exact = q - (q * total == u && tent.lower[q]) == colour(u);
        }
        if (exact) {
            tent.magic = static_cast<std::uint16_t>(magic);
            return tent;
        }
    }
    return std::nullopt;
}

// The vector types the row loops are built for, each with its own copy of
// the loops. The AVX2 copy's functions carry RASTELLE_TARGET_AVX2: the rest
// of the binary stays SSE2.
#define RASTELLE_BLUR_TARGET
namespace sse2 {
struct Vec {
    using V = __m128i;
    static constexpr int kPixels = 2;
    static constexpr int kAllAlpha = 0xC0C0;
    static int AlphaBit(int pixel) { return 0xC0 << (8 * pixel); }
    static V Set1(std::uint16_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static V SetAlpha(std::uint16_t alpha, std::uint16_t colour) {
        const short a = static_cast<short>(alpha), c = static_cast<short>(colour);
        return _mm_set_epi16(a, c, c, c, a, c, c, c);
    }
    static V Widen(const std::uint8_t* p) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    static V Add(V a, V b) { return _mm_add_epi16(a, b); }
    static V Mul(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V MulHigh(V a, V b) { return _mm_mulhi_epu16(a, b); }
    static V ShiftRight(V a, __m128i count) { return _mm_srl_epi16(a, count); }
    static V Equal(V a, V b) { return _mm_cmpeq_epi16(a, b); }
    static V Sub(V a, V b) { return _mm_sub_epi16(a, b); }
    static int AlphaMask(V m) { return _mm_movemask_epi8(m) & kAllAlpha; }
    static int ColourMask(V m) { return _mm_movemask_epi8(m) & ~kAllAlpha & 0xFFFF; }
    static V Load(const std::uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(std::uint16_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static void StoreLanes(std::uint16_t* p, V v) { Store(p, v); }
    static void StoreBytes(std::uint32_t* out, V v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
    }
};
#include "blur_byte_rows.inl"
}  // namespace sse2
#undef RASTELLE_BLUR_TARGET

#define RASTELLE_BLUR_TARGET RASTELLE_TARGET_AVX2

namespace avx2 {
struct Vec {
    using V = __m256i;
    static constexpr int kPixels = 4;
    static constexpr int kAllAlpha = static_cast<int>(0xC0C0C0C0u);
    RASTELLE_TARGET_AVX2 static int AlphaBit(int pixel) { return static_cast<int>(0xC0u << (8 * pixel)); }
    RASTELLE_TARGET_AVX2 static V Set1(std::uint16_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    RASTELLE_TARGET_AVX2 static V SetAlpha(std::uint16_t alpha, std::uint16_t colour) {
        const short a = static_cast<short>(alpha), c = static_cast<short>(colour);
        return _mm256_set_epi16(a, c, c, c, a, c, c, c, a, c, c, c, a, c, c, c);
    }
    RASTELLE_TARGET_AVX2 static V Widen(const std::uint8_t* p) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    RASTELLE_TARGET_AVX2 static V Add(V a, V b) { return _mm256_add_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static V Mul(V a, V b) { return _mm256_mullo_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static V MulHigh(V a, V b) { return _mm256_mulhi_epu16(a, b); }
    RASTELLE_TARGET_AVX2 static V ShiftRight(V a, __m128i count) { return _mm256_srl_epi16(a, count); }
    RASTELLE_TARGET_AVX2 static V Equal(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static V Sub(V a, V b) { return _mm256_sub_epi16(a, b); }
    RASTELLE_TARGET_AVX2 static int AlphaMask(V m) { return _mm256_movemask_epi8(m) & kAllAlpha; }
    RASTELLE_TARGET_AVX2 static int ColourMask(V m) { return _mm256_movemask_epi8(m) & ~kAllAlpha; }
    RASTELLE_TARGET_AVX2 static V Load(const std::uint16_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    RASTELLE_TARGET_AVX2 static void Store(std::uint16_t* p, V v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    RASTELLE_TARGET_AVX2 static void StoreLanes(std::uint16_t* p, V v) { Store(p, v); }
    RASTELLE_TARGET_AVX2 static void StoreBytes(std::uint32_t* out, V v) {
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), _MM_SHUFFLE(3, 1, 2, 0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
    }
};
#include "blur_byte_rows.inl"
}  // namespace avx2
#undef RASTELLE_BLUR_TARGET

// The row loops of one instruction set.
struct RowLoops {
    int (*tentRow)(int, const std::uint8_t* const*, int, const ByteTent&, std::uint32_t*, int*, int);
    int (*finishRow)(const std::uint16_t*, int, const ByteTent&, std::uint32_t*, int*, int);
    void (*slideDown)(std::uint16_t*, std::uint16_t*, const std::uint8_t*, const std::uint8_t*, const std::uint8_t*,
                      int, bool);
};

RowLoops RowLoopsForThisProcessor() {
    if (ActiveSimdLevel() == SimdLevel::Avx2) return {&avx2::TentRowFor, &avx2::FinishRow, &avx2::SlideDown};
    return {&sse2::TentRowFor, &sse2::FinishRow, &sse2::SlideDown};
}

// Pixels the row loops may write or read beyond a row's end (the widest
// vector's pixels).
constexpr int kRowSlack = 4;

// The pixel of one window summed term by term in double precision, in index
// order: pixelAt(j) for j in the window centred on c, cut to 0..n-1.
template <class PixelAt>
std::uint32_t DirectPixel(PixelAt pixelAt, std::int64_t n, std::int64_t c, const Taps& taps) {
    const std::int64_t j0 = std::max<std::int64_t>(0, c + taps.lo), j1 = std::min<std::int64_t>(n - 1, c + taps.hi);
    __m128d bg = _mm_setzero_pd(), ra = _mm_setzero_pd();
    for (std::int64_t j = j0; j <= j1; ++j) {
        const __m128i p = Premultiply(pixelAt(j));
        const __m128d k = _mm_set1_pd(taps.Weight(j - c));
        bg = _mm_add_pd(bg, _mm_mul_pd(_mm_cvtepi32_pd(p), k));
        ra = _mm_add_pd(ra, _mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(p, p)), k));
    }
    alignas(16) double s[4];
    _mm_store_pd(s, bg);
    _mm_store_pd(s + 2, ra);
    return Finish(s[0], s[1], s[2], s[3], taps.norm);
}

// One pixel as four 16-bit lanes (the low half of the register).
__m128i Widen(std::uint32_t pixel) {
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(pixel)), _mm_setzero_si128());
}

// The horizontal pass of the byte path: one source row into one row of
// finished pixels (W + kRowSlack long).
class ByteHorizontalPass {
public:
    ByteHorizontalPass(const ConstImageView& src, const Taps& taps, const ByteTent& tent, int offX,
                       const RowLoops& loops)
        : src_(src), taps_(taps), tent_(tent), offX_(offX), loops_(loops),
          line_(static_cast<size_t>(src.width) + 2 * kPad + kRowSlack, 0),
          sums_(4 * (static_cast<size_t>(src.width) + kRowSlack)),
          others_(static_cast<size_t>(src.width) + kRowSlack) {
        active_ = ActiveRange(src.width, offX, taps, first_, last_);
    }

    void Row(int y, std::uint32_t* out) {
        const int w = src_.width;
        if (!active_) {
            std::memset(out, 0, static_cast<size_t>(w) * 4);
            return;
        }
        // Output i (0 <= i < count) lies at first_ + i and is centred on
        // source pixel firstCentre + i (from -hi to w - 1 + hi).
        const std::uint32_t* in = src_.row(y);
        const std::int64_t firstCentre = std::int64_t{first_} - offX_;
        const int count = last_ - first_ + 1;
        const int others = tent_.hi <= kByteTentMaxDirectHi ? DirectSums(in, firstCentre, count, out + first_)
                                                             : RunningSums(in, firstCentre, count, out + first_);
        // The row loops wrote up to kRowSlack pixels past the last; clear the
        // rest of the row after them.
        std::memset(out, 0, static_cast<size_t>(first_) * 4);
        std::memset(out + last_ + 1, 0, static_cast<size_t>(w - 1 - last_) * 4);
        for (int i = 0; i < others; ++i) {
            const int x = first_ + others_[i];
            out[x] = DirectPixel([in](std::int64_t j) { return in[j]; }, w, std::int64_t{x} - offX_, taps_);
        }
    }

private:
    // line_ holds source pixel j at j + kPad, with transparent padding: the
    // centres reach hi beyond the image, their taps 2 hi, the running
    // update one more.
    static constexpr int kPad = 2 * kByteTentMaxHi + 1;

    // Outputs whose group of taps stays inside the row read it in place;
    // those near its ends read the ends copied into line_. Returns the
    // number of others_.
    int DirectSums(const std::uint32_t* in, std::int64_t firstCentre, int count, std::uint32_t* out) {
        const int w = src_.width, hi = tent_.hi;
        const int inner0 = static_cast<int>(std::clamp<std::int64_t>(hi - firstCentre, 0, count));
        const int inner1 =
            static_cast<int>(std::clamp<std::int64_t>(w - hi - kRowSlack + 1 - firstCentre, inner0, count));
        if (inner0 > 0) {
            const std::int64_t n = std::min<std::int64_t>(w, firstCentre + inner0 + kRowSlack + hi);
            std::memcpy(line_.data() + kPad, in, static_cast<size_t>(n) * 4);
        }
        if (inner1 < count) {
            const std::int64_t j = std::max<std::int64_t>(0, firstCentre + inner1 - hi);
            std::memcpy(line_.data() + kPad + j, in + j, static_cast<size_t>(w - j) * 4);
        }
        int others = 0;
        // Outputs begin..end-1 from `pixels`, whose element j - origin is
        // source pixel j; in that order, each span overwrites what the one
        // before wrote past its end.
        auto span = [&](int begin, int end, const std::uint32_t* pixels, std::int64_t origin) {
            if (begin >= end) return;
            const std::uint8_t* taps[2 * kByteTentMaxDirectHi + 1];
            for (int k = 0; k <= 2 * hi; ++k)
                taps[k] = reinterpret_cast<const std::uint8_t*>(pixels + (firstCentre + begin + k - hi - origin));
            const int before = others;
            others = loops_.tentRow(hi, taps, end - begin, tent_, out + begin, others_.data(), others);
            for (int i = before; i < others; ++i) others_[i] += begin;
        };
        span(0, inner0, line_.data(), -kPad);
        span(inner0, inner1, in, 0);
        span(inner1, count, line_.data(), -kPad);
        return others;
    }

    // The tent T and the difference D (the sum right of the centre minus
    // the sum up to it) of the first window, then both slid one pixel at a
    // time, in 16-bit lanes (exact modulo 2^16, and every T fits).
    int RunningSums(const std::uint32_t* in, std::int64_t firstCentre, int count, std::uint32_t* out) {
        const int hi = tent_.hi;
        std::memcpy(line_.data() + kPad, in, static_cast<size_t>(src_.width) * 4);
        const std::uint32_t* pixel = line_.data() + kPad;  // pixel[j], -kPad <= j < w + kPad
        __m128i t = _mm_setzero_si128(), d = _mm_setzero_si128();
        std::int64_t c = firstCentre;
        for (std::int64_t j = c - hi; j <= c + hi; ++j) {
            const __m128i v = Widen(pixel[j]);
            t = _mm_add_epi16(t, _mm_mullo_epi16(v, _mm_set1_epi16(static_cast<short>(taps_.Weight2(j - c)))));
            d = j <= c ? _mm_sub_epi16(d, v) : _mm_add_epi16(d, v);
        }
        std::uint16_t* sums = sums_.data();
        _mm_storel_epi64(reinterpret_cast<__m128i*>(sums), t);
        for (int i = 1; i < count; ++i, ++c) {
            const __m128i va = Widen(pixel[c - hi]), vm = Widen(pixel[c + 1]), vb = Widen(pixel[c + hi + 1]);
            const __m128i ends = tent_.edgeWeighsTwo ? _mm_add_epi16(vb, vb) : _mm_add_epi16(va, vb);
            t = _mm_add_epi16(_mm_add_epi16(t, _mm_add_epi16(d, d)), ends);
            d = _mm_sub_epi16(_mm_add_epi16(d, _mm_add_epi16(va, vb)), _mm_add_epi16(vm, vm));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(sums + 4 * static_cast<size_t>(i)), t);
        }
        return loops_.finishRow(sums, count, tent_, out, others_.data(), 0);
    }

    const ConstImageView& src_;
    const Taps& taps_;
    const ByteTent& tent_;
    int offX_;
    RowLoops loops_;
    bool active_ = false;
    int first_ = 0, last_ = -1;
    std::vector<std::uint32_t> line_;
    std::vector<std::uint16_t> sums_;
    std::vector<int> others_;
};

// The byte path's horizontal rows, finished pixels, for its vertical pass.
using ByteRows = RowRing<std::uint32_t, ByteHorizontalPass>;

// Lays a row of blurred pixels onto dst. Runs of four transparent blurred
// pixels lay nothing; four opaque ones of a plain blur replace dst's, and of
// an opaque glow colour give that colour.
void LayRow(std::uint32_t* out, const std::uint32_t* blurred, int width, const Layer& layer) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const bool opaqueGlow = layer.glow && (*layer.glow >> 24) == 255;
    const __m128i glow = _mm_set1_epi32(static_cast<int>(0xFF000000u | (layer.glow ? *layer.glow : 0)));
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blurred + x));
        const __m128i a = _mm_and_si128(b, alpha);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF) continue;
        if ((!layer.glow || opaqueGlow) && _mm_movemask_epi8(_mm_cmpeq_epi32(a, alpha)) == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), layer.glow ? glow : b);
            continue;
        }
        for (int i = x; i < x + 4; ++i) out[i] = layer(out[i], blurred[i]);
    }
    for (; x < width; ++x) out[x] = layer(out[x], blurred[x]);
}

// Whether the byte path pays on src, judged on up to 64 evenly spaced rows.
// It sums the windows that mix alphas one by one, at a cost that grows with
// the window: those around each partly transparent pixel and around each
// change between transparent and opaque, (2 hx + 1) (2 hy + 1) of them. The
// running path costs the same for every window.
bool ByteWindowsPay(const ConstImageView& src, int hx, int hy) {
    const int rows = std::min(src.height, 64);
    std::int64_t partial = 0, changes = 0;
    for (int i = 0; i < rows; ++i) {
        const std::uint32_t* in = src.row(static_cast<int>(std::int64_t{i} * src.height / rows));
        for (int x = 0; x < src.width; ++x) {
            const std::uint32_t a = in[x] >> 24;
            partial += ((a + 1) & 0xFE) ? 1 : 0;
            changes += x > 0 && a != in[x - 1] >> 24 ? 1 : 0;
        }
    }
    const std::int64_t sampled = std::int64_t{rows} * src.width;
    const std::int64_t windows = (2 * std::int64_t{hx} + 1) * (2 * std::int64_t{hy} + 1);
    return partial * 16 <= sampled && (partial + changes) * windows * 2 <= sampled;
}

void BytePathBlur(const ConstImageView& src, const ImageView& dst, const BlurParams& params, const Taps& horizontal,
                  const ByteTent& horizontalTent, const Taps& vertical, const ByteTent& verticalTent) {
    const int w = dst.width, h = dst.height, hi = verticalTent.hi;
    int first = 0, last = -1;
    if (!ActiveRange(h, params.offsetY, vertical, first, last)) return;
    const RowLoops loops = RowLoopsForThisProcessor();
    ByteHorizontalPass pass(src, horizontal, horizontalTent, params.offsetX, loops);
    // The windows' 2 hi + 1 rows, and the row the running update drops.
    ByteRows rows(pass, static_cast<size_t>(w) + kRowSlack, h, std::min(h, 2 * hi + 2));
    auto bytes = [&rows](std::int64_t k) { return reinterpret_cast<const std::uint8_t*>(rows.Get(k)); };
    const Layer layer{params.glowColor};
    const size_t rowLength = static_cast<size_t>(w) + kRowSlack;
    std::vector<std::uint32_t> blurred(rowLength);
    std::vector<int> others(rowLength);
    const bool running = hi > kByteTentMaxDirectHi;
    // Running sums per column: T and D as in the horizontal pass.
    std::vector<std::uint16_t> t(running ? 4 * rowLength : 0), d(t.size());
    std::int64_t c = std::int64_t{first} - params.offsetY;
    if (running) {
        for (std::int64_t k = c - hi; k <= c + hi; ++k) {
            const std::uint8_t* row = bytes(k);
            const auto weight = static_cast<std::uint16_t>(vertical.Weight2(k - c));
            for (size_t i = 0; i < 4 * static_cast<size_t>(w); ++i) {
                t[i] = static_cast<std::uint16_t>(t[i] + weight * row[i]);
                d[i] = static_cast<std::uint16_t>(k <= c ? d[i] - row[i] : d[i] + row[i]);
            }
        }
    }
    for (int y = first;; ++y, ++c) {
        int count = 0;
        if (running) {
            count = loops.finishRow(t.data(), w, verticalTent, blurred.data(), others.data(), 0);
        } else {
            const std::uint8_t* taps[2 * kByteTentMaxDirectHi + 1];
            for (int k = 0; k <= 2 * hi; ++k) taps[k] = bytes(c - hi + k);
            count = loops.tentRow(hi, taps, w, verticalTent, blurred.data(), others.data(), 0);
        }
        for (int i = 0; i < count; ++i) {
            const int x = others[i];
            blurred[x] = DirectPixel([&rows, x](std::int64_t k) { return rows.Get(k)[x]; }, h, c, vertical);
        }
        LayRow(dst.row(y), blurred.data(), w, layer);
        if (y == last) break;
        if (running) {
            const std::uint8_t* leaving = bytes(c - hi);
            const std::uint8_t* centre = bytes(c + 1);
            const std::uint8_t* entering = bytes(c + hi + 1);  // may make a row, over the one before `leaving`
            loops.slideDown(t.data(), d.data(), leaving, centre, entering, w, verticalTent.edgeWeighsTwo);
        }
    }
}

std::atomic<BytePathChoice> g_choice{BytePathChoice::WhenItPays};

}  // namespace

bool BytePathTakesRadius(double radius) { return ByteTentFor(Taps(radius, 1.0)).has_value(); }

void SetBytePathChoice(BytePathChoice choice) { g_choice.store(choice, std::memory_order_relaxed); }

bool TryBytePathBlur(const ConstImageView& src, const ImageView& dst, const BlurParams& params, const Taps& horizontal,
                     const Taps& vertical) {
    const auto horizontalTent = ByteTentFor(horizontal), verticalTent = ByteTentFor(vertical);
    if (!horizontalTent || !verticalTent) return false;
    if (g_choice.load(std::memory_order_relaxed) == BytePathChoice::WhenItPays &&
        !ByteWindowsPay(src, horizontalTent->hi, verticalTent->hi))
        return false;
    BytePathBlur(src, dst, params, horizontal, *horizontalTent, vertical, *verticalTent);
    return true;
}

}  // namespace rastelle::kernels::blur_detail
