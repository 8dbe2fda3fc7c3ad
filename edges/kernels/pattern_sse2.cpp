// The plain and SSE2 pattern kernels, and the choice of a level.
//
// The SSE2 kernels work on 16 (Skinny lines) or 8 (Fine detail) pixels at a time and finish a row
// with the plain per-pixel rules; the loops over interleaved colour pixels stay plain (SSE2 has no
// byte shuffle to take them apart), except that the Skinny lines output whitens 16 background
// pixels at once. Their arithmetic is the plain arithmetic in other clothes:
// - the Sobel root: floor(sqrt(s)) for s = q div 5 equals floor(sqrt(q / 5)); for q up to 325125
//   (beyond it the value is 0 anyway) the float square root of q x 0.2f lies within 10^-4 of the
//   true root, so its integer part is off by at most one, and one correction step each way,
//   comparing 5 m^2 with q in floats that hold these integers exactly, makes it exact;
// - thinning: lanes settle only the background pixels (230 or more, which become 255); each edge
//   pixel gets the plain rule;
// - Fine detail: the nine responses are integer sums, the energies are formed in double precision
//   in the plain order, and the ratio is looked up in the ratio table (fine_detail.h) instead of
//   taking its square root and arc tangent.
#include "edges/kernels/pattern.h"

#include "edges/fine_detail.h"
#include "edges/kernels/pattern_rules.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// ---- plain ---------------------------------------------------------------------------------------

void GreyOfRgbPlain(const uint8_t* rgb, uint8_t* grey, int32_t width) { GreyOfRgbLoop(rgb, grey, width); }

void SkinnyGradientPlain(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                         int32_t width) {
    for (int32_t x = 1; x <= width; ++x) out[x] = SkinnyGradientAt(above, middle, below, x);
}

int32_t SkinnyThinningPlain(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                            int32_t width, int64_t* removals) {
    return SkinnyThinningColumns(above, middle, below, out, 1, width, removals);
}

void SkinnyOutputGreyPlain(const uint8_t* thinned, uint8_t* grey, int32_t width) {
    SkinnyOutputGreyLoop(thinned, grey, width);
}

void SkinnyOutputRgbPlain(const uint8_t* thinned, uint8_t* rgb, int32_t width) {
    SkinnyOutputRgbLoop(thinned, rgb, width);
}

void FineEdgeSharePlain(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                        int32_t width) {
    for (int32_t x = 1; x <= width; ++x) {
        const double ratio = EdgeEnergyRatioAt(above, middle, below, x);
        out[x] = uint8_t(EdgeShareValue(float(1.0 - std::sqrt(ratio))));
    }
}

void FineOutputGreyPlain(const uint8_t* edges, uint8_t* grey, int32_t width) { FineOutputGreyLoop(edges, grey, width); }

void FineOutputRgbPlain(const uint8_t* edges, uint8_t* rgb, int32_t width) { FineOutputRgbLoop(edges, rgb, width); }

constexpr PatternKernels kPlainKernels = {
    kKernelPlain,
    GreyOfRgbPlain,        SkinnyGradientPlain, SkinnyThinningPlain, SkinnyOutputGreyPlain, SkinnyOutputRgbPlain,
    FineEdgeSharePlain,    FineOutputGreyPlain, FineOutputRgbPlain,
};

#if defined(__SSE2__)

// ---- SSE2 ----------------------------------------------------------------------------------------

inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// floor(sqrt(min(q, 325125) / 5)) of four non-negative q below 2^24.
inline __m128i RootOfFifth(__m128i q) {
    const __m128 one = _mm_set1_ps(1.0f), five = _mm_set1_ps(5.0f);
    const __m128 qf = _mm_min_ps(_mm_cvtepi32_ps(q), _mm_set1_ps(325125.0f));
    __m128 m = _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_sqrt_ps(_mm_mul_ps(qf, _mm_set1_ps(0.2f)))));
    const __m128 over = _mm_cmpgt_ps(_mm_mul_ps(_mm_mul_ps(five, m), m), qf);
    m = _mm_sub_ps(m, _mm_and_ps(over, one));
    const __m128 next = _mm_add_ps(m, one);
    const __m128 under = _mm_cmple_ps(_mm_mul_ps(_mm_mul_ps(five, next), next), qf);
    m = _mm_add_ps(m, _mm_and_ps(under, one));
    return _mm_cvttps_epi32(m);
}

// The roots of eight pixels whose Sobel components are gx and gy (16-bit lanes), as 16-bit lanes.
inline __m128i SobelRoots8(__m128i gx, __m128i gy) {
    const __m128i low = _mm_unpacklo_epi16(gx, gy), high = _mm_unpackhi_epi16(gx, gy);
    return _mm_packs_epi32(RootOfFifth(_mm_madd_epi16(low, low)), RootOfFifth(_mm_madd_epi16(high, high)));
}

void SkinnyGradientSse2(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                        int32_t width) {
    const __m128i zero = _mm_setzero_si128(), white = _mm_set1_epi8(char(255));
    int32_t x = 1;
    for (; x + 16 <= width + 1; x += 16) {
        const __m128i nw = Load16(above + x - 1), n = Load16(above + x), ne = Load16(above + x + 1);
        const __m128i w = Load16(middle + x - 1), e = Load16(middle + x + 1);
        const __m128i sw = Load16(below + x - 1), s = Load16(below + x), se = Load16(below + x + 1);
        __m128i roots[2];
        for (int32_t half = 0; half < 2; ++half) {
            auto wide = [&](__m128i v) { return half ? _mm_unpackhi_epi8(v, zero) : _mm_unpacklo_epi8(v, zero); };
            const __m128i vnw = wide(nw), vn = wide(n), vne = wide(ne), vw = wide(w), ve = wide(e);
            const __m128i vsw = wide(sw), vs = wide(s), vse = wide(se);
            const __m128i gx = _mm_sub_epi16(_mm_add_epi16(_mm_add_epi16(vne, vse), _mm_add_epi16(ve, ve)),
                                             _mm_add_epi16(_mm_add_epi16(vnw, vsw), _mm_add_epi16(vw, vw)));
            const __m128i gy = _mm_sub_epi16(_mm_add_epi16(_mm_add_epi16(vnw, vne), _mm_add_epi16(vn, vn)),
                                             _mm_add_epi16(_mm_add_epi16(vsw, vse), _mm_add_epi16(vs, vs)));
            roots[half] = SobelRoots8(gx, gy);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_sub_epi8(white, _mm_packus_epi16(roots[0], roots[1])));
    }
    for (; x <= width; ++x) out[x] = SkinnyGradientAt(above, middle, below, x);
}

int32_t SkinnyThinningSse2(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                           int32_t width, int64_t* removals) {
    const __m128i lastEdge = _mm_set1_epi8(char(kBackgroundLevel - 1)), white = _mm_set1_epi8(char(255));
    int32_t changed = 0;
    int32_t x = 1;
    for (; x + 16 <= width + 1; x += 16) {
        const __m128i p = Load16(middle + x);
        const __m128i edge = _mm_cmpeq_epi8(_mm_min_epu8(p, lastEdge), p);
        // Background becomes 255, edge pixels stay until their rule says otherwise.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(p, _mm_andnot_si128(edge, white)));
        const int32_t edges = _mm_movemask_epi8(edge);
        const int32_t whites = _mm_movemask_epi8(_mm_cmpeq_epi8(p, white));
        changed |= (edges | whites) != 0xFFFF;
        for (int32_t open = edges; open != 0; open &= open - 1) {
            const int32_t at = x + __builtin_ctz(uint32_t(open));
            if (RemovesEdgePixel(above, middle, below, at)) {
                out[at] = 255;
                ++*removals;
                changed = 1;
            }
        }
    }
    changed |= SkinnyThinningColumns(above, middle, below, out, x, width, removals);
    return changed;
}

// Most of the picture is background: 16 pixels without a line pixel become white at once.
void SkinnyOutputRgbSse2(const uint8_t* thinned, uint8_t* rgb, int32_t width) {
    const __m128i lastEdge = _mm_set1_epi8(char(kBackgroundLevel - 1)), white = _mm_set1_epi8(char(255));
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i c = Load16(thinned + x);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(c, lastEdge), c)) == 0) {
            __m128i* pixels = reinterpret_cast<__m128i*>(rgb + 3 * x);
            _mm_storeu_si128(pixels, white);
            _mm_storeu_si128(pixels + 1, white);
            _mm_storeu_si128(pixels + 2, white);
        } else {
            SkinnyOutputRgbLoop(thinned + x, rgb + 3 * x, 16);
        }
    }
    SkinnyOutputRgbLoop(thinned + x, rgb + 3 * x, width - x);
}

// Eight pixels as 16-bit lanes.
inline __m128i Load8Wide(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

// 58 u + 41 w of eight 16-bit lane pairs, as two sets of four 32-bit lanes.
inline void RootTwoSum(__m128i u, __m128i w, __m128i* low, __m128i* high) {
    const __m128i weights = _mm_set_epi16(41, 58, 41, 58, 41, 58, 41, 58);
    *low = _mm_madd_epi16(_mm_unpacklo_epi16(u, w), weights);
    *high = _mm_madd_epi16(_mm_unpackhi_epi16(u, w), weights);
}

// The squares of eight 16-bit lanes, as two sets of four 32-bit lanes.
inline void Squares(__m128i f, __m128i* low, __m128i* high) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i l = _mm_unpacklo_epi16(f, zero), h = _mm_unpackhi_epi16(f, zero);
    *low = _mm_madd_epi16(l, l);
    *high = _mm_madd_epi16(h, h);
}

// Double lanes 0, 1 (part 0) or 2, 3 (part 1) of four 32-bit lanes.
inline __m128d Doubles(__m128i v, int32_t part) { return _mm_cvtepi32_pd(part ? _mm_srli_si128(v, 8) : v); }

// The nine responses of eight pixels in the lanes they fit: the four edge and line responses as 32-bit
// lanes (each twice four), the squares of the other five as 32-bit lanes.
struct FineResponses8 {
    __m128i f[4][2];
    __m128i square[5][2];  // F9, F5, F6, F7, F8: the order in which the total adds them
};

inline FineResponses8 Responses8(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t x) {
    const __m128i nw = Load8Wide(above + x - 1), n = Load8Wide(above + x), ne = Load8Wide(above + x + 1);
    const __m128i w = Load8Wide(middle + x - 1), p = Load8Wide(middle + x), e = Load8Wide(middle + x + 1);
    const __m128i sw = Load8Wide(below + x - 1), s = Load8Wide(below + x), se = Load8Wide(below + x + 1);
    FineResponses8 r;
    // F1 = 58 (S - N) + 41 (SW + SE - NW - NE), and so on: every u and w fits 16 bits.
    RootTwoSum(_mm_sub_epi16(s, n), _mm_sub_epi16(_mm_add_epi16(sw, se), _mm_add_epi16(nw, ne)), &r.f[0][0], &r.f[0][1]);
    RootTwoSum(_mm_sub_epi16(e, w), _mm_sub_epi16(_mm_add_epi16(ne, se), _mm_add_epi16(nw, sw)), &r.f[1][0], &r.f[1][1]);
    RootTwoSum(_mm_sub_epi16(ne, sw), _mm_sub_epi16(_mm_add_epi16(w, s), _mm_add_epi16(n, e)), &r.f[2][0], &r.f[2][1]);
    RootTwoSum(_mm_sub_epi16(nw, se), _mm_sub_epi16(_mm_add_epi16(e, s), _mm_add_epi16(n, w)), &r.f[3][0], &r.f[3][1]);
    const __m128i sides = _mm_add_epi16(_mm_add_epi16(n, s), _mm_add_epi16(e, w));
    const __m128i corners = _mm_add_epi16(_mm_add_epi16(nw, ne), _mm_add_epi16(sw, se));
    const __m128i p4 = _mm_slli_epi16(p, 2);
    const __m128i f5 = _mm_sub_epi16(_mm_add_epi16(n, e), _mm_add_epi16(s, w));
    const __m128i f6 = _mm_sub_epi16(_mm_add_epi16(_mm_add_epi16(ne, sw), se), nw);
    const __m128i f7 = _mm_sub_epi16(_mm_add_epi16(corners, p4), _mm_add_epi16(sides, sides));
    const __m128i f8 = _mm_sub_epi16(_mm_add_epi16(sides, p4), _mm_add_epi16(corners, corners));
    const __m128i f9 = _mm_add_epi16(_mm_add_epi16(sides, corners), p);
    Squares(f9, &r.square[0][0], &r.square[0][1]);
    Squares(f5, &r.square[1][0], &r.square[1][1]);
    Squares(f6, &r.square[2][0], &r.square[2][1]);
    Squares(f7, &r.square[3][0], &r.square[3][1]);
    Squares(f8, &r.square[4][0], &r.square[4][1]);
    return r;
}

void FineEdgeShareSse2(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                       int32_t width) {
    const __m128d k = _mm_set1_pd(double(kMaskScale)), one = _mm_set1_pd(1.0), zero = _mm_setzero_pd();
    int32_t x = 1;
    for (; x + 8 <= width + 1; x += 8) {
        const FineResponses8 r = Responses8(above, middle, below, x);
        alignas(16) double ratios[8];
        for (int32_t quad = 0; quad < 2; ++quad) {
            for (int32_t part = 0; part < 2; ++part) {
                auto scaled = [&](int32_t i) {
                    const __m128d f = Doubles(r.f[i][quad], part);
                    return _mm_mul_pd(_mm_mul_pd(f, f), k);
                };
                const __m128d edge = _mm_add_pd(scaled(0), scaled(1));
                __m128d total = _mm_add_pd(_mm_add_pd(edge, scaled(2)), scaled(3));
                for (int32_t i = 0; i < 5; ++i) total = _mm_add_pd(total, Doubles(r.square[i][quad], part));
                const __m128d empty = _mm_cmpeq_pd(total, zero);
                total = _mm_or_pd(_mm_andnot_pd(empty, total), _mm_and_pd(empty, one));
                _mm_store_pd(ratios + 4 * quad + 2 * part, _mm_div_pd(edge, total));
            }
        }
        for (int32_t i = 0; i < 8; ++i) out[x + i] = uint8_t(EdgeRatioValue(ratios[i]));
    }
    for (; x <= width; ++x) out[x] = uint8_t(EdgeRatioValue(EdgeEnergyRatioAt(above, middle, below, x)));
}

constexpr PatternKernels kSse2Kernels = {
    kKernelSse2,
    GreyOfRgbPlain,     SkinnyGradientSse2,  SkinnyThinningSse2, SkinnyOutputGreyPlain, SkinnyOutputRgbSse2,
    FineEdgeShareSse2,  FineOutputGreyPlain, FineOutputRgbPlain,
};

#endif  // __SSE2__

}  // namespace

const PatternKernels* ChoosePatternKernels(void) {
    const int32_t level = KernelLevel();
    if (level >= kKernelAvx512 && Avx512PatternKernels()) return Avx512PatternKernels();
    if (level >= kKernelAvx2 && Avx2PatternKernels()) return Avx2PatternKernels();
#if defined(__SSE2__)
    if (level >= kKernelSse2) return &kSse2Kernels;
#endif
    return &kPlainKernels;
}
