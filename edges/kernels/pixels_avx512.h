// Interleaved R, G, B pixels to channel vectors and back with AVX-512 (F, BW), 32 pixels at a
// time, for the AVX-512 kernel files, which include it after switching their target.
//
// Contract: SplitPixels32 widens the 96 bytes at `rgb` to 16-bit words and returns one vector of
// 32 lanes per channel, lane L holding pixel L. JoinPixels32 does the reverse, saturating each
// lane to 0..255. Both use word permutations only (no byte permutation, which needs VBMI).
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace {

// Splitting: lane L of channel c is word 3 L + c, taken from the first two word vectors by a
// two-source permutation when it lies there and from the third under `fromThird`. Joining: word j
// of output vector k is lane (32 k + j) div 3 of channel (32 k + j) mod 3, from red or green by a
// two-source permutation and from blue under `fromBlue`.
struct PixelWords {
    uint16_t split[3][32];
    uint16_t splitThird[3][32];
    uint32_t fromThird[3];
    uint16_t join[3][32];
    uint16_t joinBlue[3][32];
    uint32_t fromBlue[3];
};

constexpr PixelWords MakePixelWords() {
    PixelWords w{};
    for (int32_t c = 0; c < 3; ++c) {
        for (int32_t lane = 0; lane < 32; ++lane) {
            const int32_t word = 3 * lane + c;
            if (word < 64) {
                w.split[c][lane] = uint16_t(word);
            } else {
                w.splitThird[c][lane] = uint16_t(word - 64);
                w.fromThird[c] |= 1u << lane;
            }
        }
    }
    for (int32_t k = 0; k < 3; ++k) {
        for (int32_t j = 0; j < 32; ++j) {
            const int32_t word = 32 * k + j, channel = word % 3, lane = word / 3;
            if (channel == 2) {
                w.joinBlue[k][j] = uint16_t(lane);
                w.fromBlue[k] |= 1u << j;
            } else {
                w.join[k][j] = uint16_t(channel == 0 ? lane : 32 + lane);
            }
        }
    }
    return w;
}

constexpr PixelWords kPixelWords = MakePixelWords();

inline __attribute__((always_inline)) __m512i PixelWordsOf(const uint16_t (&words)[32]) {
    return _mm512_loadu_si512(words);
}

inline __attribute__((always_inline)) __m512i WidenBytes32(const uint8_t* p) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

// 32 words saturated to 0..255 as bytes.
inline __attribute__((always_inline)) void NarrowWords32(uint8_t* p, __m512i words) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                        _mm512_cvtusepi16_epi8(_mm512_max_epi16(words, _mm512_setzero_si512())));
}

inline __attribute__((always_inline)) void SplitPixels32(const uint8_t* rgb, __m512i plane[3]) {
    const __m512i first = WidenBytes32(rgb), second = WidenBytes32(rgb + 32), third = WidenBytes32(rgb + 64);
    for (int32_t c = 0; c < 3; ++c) {
        const __m512i twoSources = _mm512_permutex2var_epi16(first, PixelWordsOf(kPixelWords.split[c]), second);
        plane[c] = _mm512_mask_permutexvar_epi16(twoSources, __mmask32(kPixelWords.fromThird[c]),
                                                 PixelWordsOf(kPixelWords.splitThird[c]), third);
    }
}

inline __attribute__((always_inline)) void JoinPixels32(const __m512i plane[3], uint8_t* rgb) {
    for (int32_t k = 0; k < 3; ++k) {
        const __m512i redGreen = _mm512_permutex2var_epi16(plane[0], PixelWordsOf(kPixelWords.join[k]), plane[1]);
        const __m512i joined = _mm512_mask_permutexvar_epi16(redGreen, __mmask32(kPixelWords.fromBlue[k]),
                                                             PixelWordsOf(kPixelWords.joinBlue[k]), plane[2]);
        NarrowWords32(rgb + 32 * k, joined);
    }
}

}  // namespace
