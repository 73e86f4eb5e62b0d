// The rank filters' vector passes for one register type. rank_filter.cpp
// includes this file once per instruction set, with RASTELLE_RANK_PASS (the
// namespace), RASTELLE_RANK_VECTOR (the register traits) and
// RASTELLE_RANK_TARGET (the mark of every function here: empty, or
// RASTELLE_TARGET_AVX2) defined.

namespace rastelle::kernels {
namespace {
namespace RASTELLE_RANK_PASS {

using V = RASTELLE_RANK_VECTOR;
using Reg = V::R;
template <size_t N>
using Regs = std::array<Reg, N>;
constexpr size_t kW = V::kBytes;

// Stores the first n (< kW) bytes of v.
RASTELLE_RANK_TARGET void StorePart(std::byte* p, Reg v, size_t n) {
    std::byte tmp[kW];
    V::Store(tmp, v);
    std::memcpy(p, tmp, n);
}

// Stores v at offset o of a row of `bytes` bytes, cut at the row's end.
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE void StoreInRow(std::byte* row, size_t o, size_t bytes, Reg v) {
    if (o + kW <= bytes) V::Store(row + o, v);
    else StorePart(row + o, v, bytes - o);
}

// Reads kW bytes of a row at offsets that are multiples of kW; the last read
// of a row, past its end, gives the filler's bytes there.
class RowReader {
public:
    RowReader(const Rows& rows, const std::byte* filler) : rows_(rows), bytes_(rows.rowBytes()) {
        if (filler != nullptr) std::memcpy(tail_, filler, kW);
        else std::memset(tail_, 0, kW);
    }
    RASTELLE_RANK_TARGET Reg At(int y, size_t o) {
        if (o + kW <= bytes_) return V::Load(rows_.row(y) + o);
        std::memcpy(tail_, rows_.row(y) + o, bytes_ - o);
        return V::Load(tail_);
    }

private:
    const Rows& rows_;
    size_t bytes_;
    std::byte tail_[kW];
};

// f(0), ..., f(N - 1), unrolled.
template <size_t N, class F, size_t... I>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE auto Gather(F f, std::index_sequence<I...>) {
    return std::array<decltype(f(size_t{0})), N>{f(I)...};
}

template <size_t N, class F>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE auto Gather(F f) {
    return Gather<N>(f, std::make_index_sequence<N>());
}

// Whether every pixel of the row has the alpha: then the AND and the OR of
// all its pixels both have it.
RASTELLE_RANK_TARGET bool RowHasAlpha(const std::uint32_t* row, int width, std::uint32_t alpha) {
    const auto* bytes = reinterpret_cast<const std::byte*>(row);
    const size_t n = static_cast<size_t>(width), perVector = kW / 4;
    Reg all = V::AllOnes(), any = V::Zero();
    size_t x = 0;
    for (; x + perVector <= n; x += perVector) {
        const Reg v = V::Load(bytes + 4 * x);
        all = V::And(all, v);
        any = V::Or(any, v);
    }
    std::uint32_t lanesAll[kW / 4], lanesAny[kW / 4];
    V::Store(reinterpret_cast<std::byte*>(lanesAll), all);
    V::Store(reinterpret_cast<std::byte*>(lanesAny), any);
    std::uint32_t a = ~0u, o = 0;
    for (size_t i = 0; i < perVector; ++i) a &= lanesAll[i], o |= lanesAny[i];
    for (; x < n; ++x) a &= row[x], o |= row[x];
    return (a & 0xFF000000u) == alpha && (o & 0xFF000000u) == alpha;
}

// --- Minimum and maximum ---------------------------------------------------

template <class E, bool kMax>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE Reg Pick(Reg a, Reg b) {
    return kMax ? E::Max(a, b) : E::Min(a, b);
}

template <class E, bool kMax>
RASTELLE_RANK_TARGET bool ExtremumFilter(const Rows& in, const Rows& out, int r, OutputRows range) {
    using T = typename E::T;
    const int h = in.height;
    const size_t unit = static_cast<size_t>(in.unit), rowBytes = in.rowBytes();
    const size_t vectorBytes = (rowBytes + kW - 1) / kW * kW;  // a row in whole registers
    // The identity of the operation fills whatever lies past a row's end.
    std::byte identity[kW];
    const T neutral = kMax ? E::kLowest : E::kHighest;
    for (size_t i = 0; i < kW; i += sizeof(T)) std::memcpy(identity + i, &neutral, sizeof(T));
    RowReader source(in, identity);

    // The column pass first, from the source rows into a padded row. Small
    // windows take the extremum of their 2r + 1 rows; larger ones use van
    // Herk/Gil-Werman blocks of 2r + 1 rows aligned at row 0: the window of a
    // row reaches into at most two blocks, and its extremum is that of the
    // suffix of the first block (from the window's first row) and of the
    // prefix of the second (up to its last row). The prefix is kept running,
    // the suffixes of a block are made when the block is complete.
    const int k = 2 * r + 1;
    const bool blocks = r > kDirectRadius;
    const size_t suffixRows = blocks ? static_cast<size_t>(std::min(h, k)) : 0;
    std::vector<std::byte> prefix(blocks ? vectorBytes : 0), suffixes(vectorBytes * suffixRows);
    auto suffix = [&](int y) { return suffixes.data() + static_cast<size_t>(y % k) * vectorBytes; };
    int next = std::max(0, range.first - r) / k * k;  // the next source row the prefix takes

    // Then the row pass. With 2r + 1 neighbours for small windows; otherwise
    // by doubling: with P the largest power of two up to 2r + 1, the extremum
    // over P neighbours is built in log2(P) passes over the padded row, and
    // two such spans, overlapping, cover the window.
    int span = 1;
    while (2 * span <= k) span *= 2;
    PaddedRow padded(rowBytes, static_cast<size_t>(r) * unit, kW, identity, in.unit);
    const size_t paddedBytes = rowBytes + 2 * static_cast<size_t>(r) * unit;
    const size_t second = static_cast<size_t>(k - span) * unit;

    for (int y = range.first; y <= range.last; ++y) {
        const int first = std::max(0, y - r), last = std::min(h - 1, y + r);
        // Columns; the stores past the row's end put the identity into the
        // padding.
        std::byte* row = padded.row();
        if (blocks) {
            for (; next <= last; ++next) {
                const int start = next / k * k, end = std::min(h - 1, start + (k - 1));
                if (next == end) {
                    std::byte* to = suffix(end);
                    for (size_t o = 0; o < rowBytes; o += kW) V::Store(to + o, source.At(end, o));
                    for (int i = end - 1; i >= start; --i) {
                        const std::byte* from = to;
                        to = suffix(i);
                        for (size_t o = 0; o < rowBytes; o += kW)
                            V::Store(to + o, Pick<E, kMax>(V::Load(from + o), source.At(i, o)));
                    }
                }
                std::byte* pre = prefix.data();
                if (next == start) {
                    for (size_t o = 0; o < rowBytes; o += kW) V::Store(pre + o, source.At(next, o));
                } else {
                    for (size_t o = 0; o < rowBytes; o += kW)
                        V::Store(pre + o, Pick<E, kMax>(V::Load(pre + o), source.At(next, o)));
                }
            }
            const std::byte* suf = suffix(first);
            const std::byte* pre = prefix.data();
            if (first / k == last / k) {
                // One block: its prefix up to `last` if the window starts the
                // block, otherwise the window ends it, a suffix.
                std::memcpy(row, first % k == 0 ? pre : suf, vectorBytes);
            } else {
                for (size_t o = 0; o < rowBytes; o += kW)
                    V::Store(row + o, Pick<E, kMax>(V::Load(suf + o), V::Load(pre + o)));
            }
        } else {
            for (size_t o = 0; o < rowBytes; o += kW) {
                Reg v = source.At(first, o);
                for (int i = first + 1; i <= last; ++i) v = Pick<E, kMax>(v, source.At(i, o));
                V::Store(row + o, v);
            }
        }
        if (!in.admit(last)) return false;

        // Rows: the window of output x starts at x * unit in buf.
        std::byte* buf = row - static_cast<size_t>(r) * unit;
        std::byte* dst = out.row(y);
        if (r <= kDirectRadius) {
            for (size_t o = 0; o < rowBytes; o += kW) {
                Reg v = V::Load(buf + o);
                for (int t = 1; t < k; ++t) v = Pick<E, kMax>(v, V::Load(buf + o + static_cast<size_t>(t) * unit));
                StoreInRow(dst, o, rowBytes, v);
            }
        } else {
            for (int step = 1; step < span; step *= 2) {
                const size_t shift = static_cast<size_t>(step) * unit;
                for (size_t o = 0; o + shift < paddedBytes; o += kW)
                    V::Store(buf + o, Pick<E, kMax>(V::Load(buf + o), V::Load(buf + o + shift)));
            }
            for (size_t o = 0; o < rowBytes; o += kW)
                StoreInRow(dst, o, rowBytes, Pick<E, kMax>(V::Load(buf + o), V::Load(buf + o + second)));
            padded.Refill();  // the doubling ran into the padding
        }
    }
    return true;
}

// --- Median networks ------------------------------------------------------------

// Registers kStart, kStart + kStep, ... of a, kCount of them.
template <size_t kStart, size_t kStep, size_t N, size_t... I>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE Regs<sizeof...(I)> Part(const Regs<N>& a, std::index_sequence<I...>) {
    return {a[kStart + kStep * I]...};
}

template <size_t kStart, size_t kStep, size_t kCount, size_t N>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE Regs<kCount> Part(const Regs<N>& a) {
    return Part<kStart, kStep>(a, std::make_index_sequence<kCount>());
}

// Batcher's odd-even merge of two sorted lists of registers, any lengths,
// unrolled at compile time; whatever the caller does not use of the result
// the compiler drops.
template <class E, size_t NV, size_t NW, size_t N, size_t... I>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE void MeetPairs(Regs<N>& z, const Regs<NV>& v, const Regs<NW>& w,
                                                           std::index_sequence<I...>) {
    ((z[2 * I + 1] = E::Min(v[I + 1], w[I]), z[2 * I + 2] = E::Max(v[I + 1], w[I])), ...);
}

template <class E, size_t N, size_t M>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE Regs<N + M> MergeSorted(const Regs<N>& a, const Regs<M>& b) {
    if constexpr (N == 0) {
        return b;
    } else if constexpr (M == 0) {
        return a;
    } else if constexpr (N == 1 && M == 1) {
        return {E::Min(a[0], b[0]), E::Max(a[0], b[0])};
    } else {
        // v: the even-indexed elements merged, w: the odd-indexed ones; then
        // each v[i + 1] meets w[i].
        const auto v = MergeSorted<E>(Part<0, 2, (N + 1) / 2>(a), Part<0, 2, (M + 1) / 2>(b));
        const auto w = MergeSorted<E>(Part<1, 2, N / 2>(a), Part<1, 2, M / 2>(b));
        constexpr size_t kPairs = std::min(v.size() - 1, w.size());
        Regs<N + M> z;
        z[0] = v[0];
        MeetPairs<E>(z, v, w, std::make_index_sequence<kPairs>());
        if constexpr (v.size() - 1 > kPairs) z[2 * kPairs + 1] = v[kPairs + 1];
        if constexpr (w.size() > kPairs) z[2 * kPairs + 1] = w[kPairs];
        return z;
    }
}

// A list of registers sorted: merge sort with Batcher's merges.
template <class E, size_t N>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE Regs<N> Sorted(const Regs<N>& a) {
    if constexpr (N == 1) {
        return a;
    } else {
        constexpr size_t kHalf = (N + 1) / 2;
        return MergeSorted<E>(Sorted<E>(Part<0, 1, kHalf>(a)), Sorted<E>(Part<kHalf, 1, N - kHalf>(a)));
    }
}

template <int R>
using Levels = std::array<std::byte*, 2 * R + 1>;

// The columns of M rows from y0, at offset o, sorted into the levels.
template <class E, int R, int M>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE void SortColumns(RowReader& source, int y0, size_t o,
                                                             const Levels<R>& levels, size_t rowBytes) {
    const Regs<M> s = Sorted<E>(Gather<M>([&](size_t i) RASTELLE_RANK_TARGET {
        return source.At(y0 + static_cast<int>(i), o);
    }));
    Gather<M>([&](size_t i) RASTELLE_RANK_TARGET {
        StoreInRow(levels[i], o, rowBytes, s[i]);
        return 0;
    });
}

// The medians of the windows from offset o: element M (2R + 1) / 2 of the
// values of their 2R + 1 sorted columns of M.
template <class E, int R, int M>
RASTELLE_RANK_TARGET RASTELLE_ALWAYS_INLINE Reg WindowMedians(const Levels<R>& levels, size_t o, std::ptrdiff_t unit) {
    auto column = [&](std::ptrdiff_t j) RASTELLE_RANK_TARGET {
        return Gather<M>([&](size_t i) RASTELLE_RANK_TARGET { return V::Load(levels[i] + o + (j - R) * unit); });
    };
    if constexpr (R == 1 && M == 3) {
        // The median of (largest low, median of the middles, smallest high)
        // of three sorted columns.
        const auto c0 = column(0), c1 = column(1), c2 = column(2);
        const Reg lowMax = E::Max(E::Max(c0[0], c1[0]), c2[0]);
        const Reg highMin = E::Min(E::Min(c0[2], c1[2]), c2[2]);
        const Reg midMed = E::Max(E::Min(c0[1], c1[1]), E::Min(E::Max(c0[1], c1[1]), c2[1]));
        return E::Max(E::Min(lowMax, midMed), E::Min(E::Max(lowMax, midMed), highMin));
    } else if constexpr (R == 1) {
        return MergeSorted<E>(MergeSorted<E>(column(0), column(1)), column(2))[3 * M / 2];
    } else {
        const auto left = MergeSorted<E>(MergeSorted<E>(column(0), column(1)), column(4));
        return MergeSorted<E>(left, MergeSorted<E>(column(2), column(3)))[5 * M / 2];
    }
}

// One row of medians whose windows hold M rows of the image, from row y0,
// and the 2R + 1 columns of the padded levels (see MedianNetwork).
template <class E, int R, int M>
RASTELLE_RANK_TARGET void NetworkRow(const Rows& in, int y0, RowReader& source, const Levels<R>& levels,
                                     std::byte* dst) {
    const size_t rowBytes = in.rowBytes();
    // The columns are sorted a stretch ahead of the medians that read them:
    // a load that straddles two stores still in flight would wait for them.
    constexpr size_t kStretch = 32 * kW;
    for (size_t at = 0; at < rowBytes + kStretch; at += kStretch) {
        for (size_t o = at; o < std::min(rowBytes, at + kStretch); o += kW)
            SortColumns<E, R, M>(source, y0, o, levels, rowBytes);
        if (at == 0) continue;
        for (size_t o = at - kStretch; o < std::min(rowBytes, at); o += kW)
            StoreInRow(dst, o, rowBytes, WindowMedians<E, R, M>(levels, o, in.unit));
    }
}

template <class E, int R, int M = 1>
RASTELLE_RANK_TARGET void NetworkRowOf(int rows, const Rows& in, int y0, RowReader& source, const Levels<R>& levels,
                                       std::byte* dst) {
    if constexpr (M <= 2 * R + 1) {
        if (rows == M) NetworkRow<E, R, M>(in, y0, source, levels, dst);
        else NetworkRowOf<E, R, M + 1>(rows, in, y0, source, levels, dst);
    }
}

// Medians of (2R + 1)^2 windows, R = 1 or 2, by sorting networks: each
// column of a row's windows is sorted once and shared by the 2R + 1 windows
// it belongs to.
//
// Windows cut by a border. The windows of one row of outputs all have the
// same m rows of the image (2R + 1 but near the top and bottom), so the
// columns are sorted over those m rows. A window that the left or right
// border cuts to n < m (2R + 1) values is filled up with L lowest values and
// the rest highest: its element n / 2 becomes element L + n / 2 of the
// filled one, and with L = m (2R + 1) / 2 - n / 2 that is the element
// m (2R + 1) / 2 which the network takes of every window of the row. The
// filling comes from R virtual columns on either side of the row, whose
// sorted values are constants: the j-th from the border holds l_j lowest
// values, l_j being how much L grows when the window loses that column too.
// This needs no window cut on both sides: images at least 2R + 1 wide.
template <class E, int R>
RASTELLE_RANK_TARGET bool MedianNetwork(const Rows& in, const Rows& out, OutputRows range) {
    using T = typename E::T;
    constexpr int kSide = 2 * R + 1;
    const int h = in.height;
    if (in.width < kSide) {
        StraightMedians<E, R>(in, out, range);
        return in.admit(std::min(h - 1, range.last + R));
    }
    const size_t unit = static_cast<size_t>(in.unit), rowBytes = in.rowBytes(), pad = R * unit;
    const size_t stride = pad + (rowBytes + kW - 1) / kW * kW + pad + kW;
    std::vector<std::byte> sorted(stride * kSide);
    Levels<R> levels;  // level i: the i-th smallest of each column, from column 0
    for (size_t i = 0; i < kSide; ++i) levels[i] = sorted.data() + stride * i + pad;
    RowReader source(in, nullptr);
    int virtualRows = 0;  // the m the virtual columns were made for
    for (int y = range.first; y <= range.last; ++y) {
        const int y0 = std::max(0, y - R), y1 = std::min(h - 1, y + R), m = y1 - y0 + 1;
        if (m != virtualRows) {
            auto fill = [&](int columns) { return m * kSide / 2 - m * columns / 2; };  // L of a window of that many
            for (int j = 1; j <= R; ++j) {
                const int lows = fill(kSide - j) - fill(kSide - j + 1);
                for (int i = 0; i < m; ++i) {
                    const T v = i < lows ? E::kLowest : E::kHighest;
                    std::byte* left = levels[static_cast<size_t>(i)] - static_cast<size_t>(j) * unit;
                    std::byte* right = levels[static_cast<size_t>(i)] + rowBytes + static_cast<size_t>(j - 1) * unit;
                    for (size_t b = 0; b < unit; b += sizeof(T)) {
                        std::memcpy(left + b, &v, sizeof(T));
                        std::memcpy(right + b, &v, sizeof(T));
                    }
                }
            }
            virtualRows = m;
        }
        NetworkRowOf<E, R>(m, in, y0, source, levels, out.row(y));
        if (!in.admit(y1)) return false;
    }
    return true;
}

}  // namespace RASTELLE_RANK_PASS
}  // namespace
}  // namespace rastelle::kernels
