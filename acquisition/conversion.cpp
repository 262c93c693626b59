#include "conversion.h"
#include "Tessary_VideoThread.h"

#include <mutex>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TESSARY_X86_KERNELS 1
#endif

// How the kernels stay exact.
//
// Current: the formula's y (before rounding) is k * 2^-20 * A / B * 1000 *
// 10000 with k = raw - 4096, four roundings of at most 2^-53 each when k * A
// is exact (|A| < 2^21). The kernels take y' = k * C instead, C = A * 10^7 /
// (B * 2^20) rounded once, so |y - y'| < 2^-50 |y'|. Where y' lies further
// than that from a half, y and y' round to the same integer R; where it does
// not, the block is done again with the formula. Then R / 10000: R is a
// multiple of 1/10000 of the result, which puts the exact quotient at least
// 1/1250 of a unit in the last place from any halfway point (for R < 2^49),
// far more than the 2^-52 units that R * hi + R * lo in one fused
// multiply-add can be off (hi + lo = 1/10000 to 106 bits). So both roundings
// agree with the formula's.
//
// Gray: q = n / m with n = (raw - d) * 255 and m = b - d in 32 bits. An
// estimate from single-precision reciprocals is within 0.1 of q wherever the
// result is not clamped, so its nearest integer g0 is floor(q) or one above;
// n - g0 * m is then below 2^31 in magnitude, exact in wrapping 32-bit
// arithmetic, and its sign says which. Clamped lanes (estimate at or beyond
// -1 or 256) land outside 0..255 either way and saturate.

namespace {

// 1/10000 as hi + lo: hi the nearest double, lo the nearest to the rest.
constexpr double kTenThousandthHi = 0x1.a36e2eb1c432dp-14;
constexpr double kTenThousandthLo = -0x1.6a161e4f765fep-68;

// Pixels per check of the current estimate.
constexpr int kBlock = 64;

struct CurrentScale
{
    bool usable = false; // else the formula, pixel by pixel
    double C = 0;        // counts above the zero level to 10^-4 nA
    double limit = 0;    // largest safe distance of k * C from an integer
};

CurrentScale currentScale(int A, int B)
{
    CurrentScale s;
    // A negative quotient would need the sign of zero carried through.
    if (B <= 0 || A < 0 || A >= (1 << 21))
        return s;
    s.C = double(A) * 1e7 / double(B) * 9.5367431640625e-7;
    // 2^-50 |y| with y up to 2^32 C, and a margin of 1.6.
    const double tolerance = s.C * 0x1p-18;
    s.usable = tolerance < 0.25;
    s.limit = 0.5 - tolerance;
    return s;
}

void plainCurrents(const unsigned char* raw, int count, int A, int B, double* current)
{
    for (int i = 0; i < count; ++i)
        current[i] = pixelCurrentRounded(rawPixel(raw + 4 * i), A, B);
}

void plainGrays(const unsigned char* raw, const uint32_t* dark, const uint32_t* bright, int count,
                uint8_t* gray)
{
    for (int i = 0; i < count; ++i)
        gray[i] = grayLevel(rawPixel(raw + 4 * i), dark[i], bright[i]);
}

#ifdef TESSARY_X86_KERNELS

#define TESSARY_AVX2 __attribute__((target("avx2,fma")))
#define TESSARY_AVX512 __attribute__((target("avx512f,avx512dq")))

TESSARY_AVX2 void grayRunAvx2(const unsigned char* raw, const uint32_t* dark,
                              const uint32_t* bright, int count, uint8_t* gray)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi32(255);
    const __m256 low = _mm256_set1_ps(-1.0f);
    const __m256 high = _mm256_set1_ps(256.0f);
    for (int i = 0; i < count; i += 8) {
        const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(raw + 4 * i));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dark + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bright + i));
        const __m256i diff = _mm256_sub_epi32(r, d);
        const __m256i n = _mm256_sub_epi32(_mm256_slli_epi32(diff, 8), diff);
        const __m256i m = _mm256_sub_epi32(b, d);
        __m256 q = _mm256_mul_ps(_mm256_cvtepi32_ps(n), _mm256_rcp_ps(_mm256_cvtepi32_ps(m)));
        q = _mm256_min_ps(_mm256_max_ps(q, low), high);
        const __m256i g0 =
            _mm256_cvttps_epi32(_mm256_round_ps(q, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
        const __m256i rem = _mm256_sub_epi32(n, _mm256_mullo_epi32(g0, m));
        // All ones where the quotient is below g0.
        const __m256i below = _mm256_andnot_si256(_mm256_cmpeq_epi32(rem, zero),
                                                  _mm256_srai_epi32(_mm256_xor_si256(rem, m), 31));
        __m256i g = _mm256_add_epi32(g0, below);
        const __m256i equal = _mm256_cmpeq_epi32(m, zero);
        g = _mm256_blendv_epi8(g, _mm256_andnot_si256(_mm256_cmpeq_epi32(b, zero), full), equal);
        const __m128i words =
            _mm_packs_epi32(_mm256_castsi256_si128(g), _mm256_extracti128_si256(g, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(gray + i), _mm_packus_epi16(words, words));
    }
}

TESSARY_AVX2 void currentRunAvx2(const unsigned char* raw, int count, const CurrentScale& s, int A,
                                 int B, double* current)
{
    const __m128i zeroLevel = _mm_set1_epi32(int(kZeroLevel));
    const __m128i signBit = _mm_set1_epi32(INT32_MIN);
    const __m256d twoTo31 = _mm256_set1_pd(2147483648.0);
    const __m256d C = _mm256_set1_pd(s.C);
    const __m256d hi = _mm256_set1_pd(kTenThousandthHi);
    const __m256d lo = _mm256_set1_pd(kTenThousandthLo);
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(INT64_MAX));
    for (int block = 0; block < count; block += kBlock) {
        __m256d worst = _mm256_setzero_pd();
        for (int i = block; i < block + kBlock; i += 4) {
            const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + 4 * i));
            const __m128i k = _mm_sub_epi32(_mm_max_epu32(r, zeroLevel), zeroLevel);
            // Unsigned to double through the signed conversion, exactly.
            const __m256d kd =
                _mm256_add_pd(_mm256_cvtepi32_pd(_mm_xor_si128(k, signBit)), twoTo31);
            const __m256d y = _mm256_mul_pd(kd, C);
            const __m256d R = _mm256_round_pd(y, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
            worst = _mm256_max_pd(worst, _mm256_and_pd(_mm256_sub_pd(y, R), magnitude));
            _mm256_storeu_pd(current + i, _mm256_fmadd_pd(R, hi, _mm256_mul_pd(R, lo)));
        }
        if (_mm256_movemask_pd(_mm256_cmp_pd(worst, _mm256_set1_pd(s.limit), _CMP_GT_OQ)))
            plainCurrents(raw + 4 * block, kBlock, A, B, current + block);
    }
}

// GCC 12 takes the deliberately undefined vectors inside these intrinsics for
// uninitialised variables.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

TESSARY_AVX512 void grayRunAvx512(const unsigned char* raw, const uint32_t* dark,
                                  const uint32_t* bright, int count, uint8_t* gray)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i one = _mm512_set1_epi32(1);
    const __m512i full = _mm512_set1_epi32(255);
    const __m512 low = _mm512_set1_ps(-1.0f);
    const __m512 high = _mm512_set1_ps(256.0f);
    for (int i = 0; i < count; i += 16) {
        const __m512i r = _mm512_loadu_si512(raw + 4 * i);
        const __m512i d = _mm512_loadu_si512(dark + i);
        const __m512i b = _mm512_loadu_si512(bright + i);
        const __m512i diff = _mm512_sub_epi32(r, d);
        const __m512i n = _mm512_sub_epi32(_mm512_slli_epi32(diff, 8), diff);
        const __m512i m = _mm512_sub_epi32(b, d);
        __m512 q = _mm512_mul_ps(_mm512_cvtepi32_ps(n), _mm512_rcp14_ps(_mm512_cvtepi32_ps(m)));
        q = _mm512_min_ps(_mm512_max_ps(q, low), high);
        const __m512i g0 =
            _mm512_cvt_roundps_epi32(q, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
        const __m512i rem = _mm512_sub_epi32(n, _mm512_mullo_epi32(g0, m));
        const __mmask16 below = _mm512_mask_cmplt_epi32_mask(_mm512_cmpneq_epi32_mask(rem, zero),
                                                             _mm512_xor_si512(rem, m), zero);
        const __m512i g = _mm512_max_epi32(_mm512_mask_sub_epi32(g0, below, g0, one), zero);
        const __mmask16 equal = _mm512_cmpeq_epi32_mask(m, zero);
        const __m512i fixed = _mm512_maskz_mov_epi32(_mm512_test_epi32_mask(b, b), full);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(gray + i),
                         _mm512_cvtusepi32_epi8(_mm512_mask_blend_epi32(equal, g, fixed)));
    }
}

TESSARY_AVX512 void currentRunAvx512(const unsigned char* raw, int count, const CurrentScale& s,
                                     int A, int B, double* current)
{
    const __m512i zeroLevel = _mm512_set1_epi32(int(kZeroLevel));
    const __m512d C = _mm512_set1_pd(s.C);
    const __m512d hi = _mm512_set1_pd(kTenThousandthHi);
    const __m512d lo = _mm512_set1_pd(kTenThousandthLo);
    constexpr int kMaxMagnitude = 0xB; // vrangepd: the larger magnitude, sign cleared
    for (int block = 0; block < count; block += kBlock) {
        __m512d deviation[4];
        for (int j = 0; j < 4; ++j) {
            const int i = block + 16 * j;
            const __m512i r = _mm512_loadu_si512(raw + 4 * i);
            const __m512i k = _mm512_sub_epi32(_mm512_max_epu32(r, zeroLevel), zeroLevel);
            const __m512d y0 = _mm512_mul_pd(_mm512_cvtepu32_pd(_mm512_castsi512_si256(k)), C);
            const __m512d y1 =
                _mm512_mul_pd(_mm512_cvtepu32_pd(_mm512_extracti64x4_epi64(k, 1)), C);
            const __m512d R0 =
                _mm512_roundscale_pd(y0, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
            const __m512d R1 =
                _mm512_roundscale_pd(y1, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
            deviation[j] =
                _mm512_range_pd(_mm512_sub_pd(y0, R0), _mm512_sub_pd(y1, R1), kMaxMagnitude);
            _mm512_storeu_pd(current + i, _mm512_fmadd_pd(R0, hi, _mm512_mul_pd(R0, lo)));
            _mm512_storeu_pd(current + i + 8, _mm512_fmadd_pd(R1, hi, _mm512_mul_pd(R1, lo)));
        }
        const __m512d worst = _mm512_range_pd(
            _mm512_range_pd(deviation[0], deviation[1], kMaxMagnitude),
            _mm512_range_pd(deviation[2], deviation[3], kMaxMagnitude), kMaxMagnitude);
        if (_mm512_cmp_pd_mask(worst, _mm512_set1_pd(s.limit), _CMP_GT_OQ))
            plainCurrents(raw + 4 * block, kBlock, A, B, current + block);
    }
}

#pragma GCC diagnostic pop

#endif

} // namespace

std::vector<PixelKernel> availablePixelKernels()
{
    std::vector<PixelKernel> kernels{PixelKernel::Plain};
#ifdef TESSARY_X86_KERNELS
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        kernels.push_back(PixelKernel::Avx2);
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq"))
        kernels.push_back(PixelKernel::Avx512);
#endif
    return kernels;
}

void convertPixels(PixelKernel kernel, const unsigned char* raw, const uint32_t* dark,
                   const uint32_t* bright, int count, int A, int B, double* current, uint8_t* gray)
{
    // Whole blocks go to the kernel, what is left over to the formulas.
    const int whole = kernel == PixelKernel::Plain ? 0 : count / kBlock * kBlock;
    const CurrentScale scale = currentScale(A, B);
#ifdef TESSARY_X86_KERNELS
    if (kernel == PixelKernel::Avx512) {
        grayRunAvx512(raw, dark, bright, whole, gray);
        if (scale.usable)
            currentRunAvx512(raw, whole, scale, A, B, current);
        else
            plainCurrents(raw, whole, A, B, current);
    } else if (kernel == PixelKernel::Avx2) {
        grayRunAvx2(raw, dark, bright, whole, gray);
        if (scale.usable)
            currentRunAvx2(raw, whole, scale, A, B, current);
        else
            plainCurrents(raw, whole, A, B, current);
    }
#endif
    plainCurrents(raw + 4 * whole, count - whole, A, B, current + whole);
    plainGrays(raw + 4 * whole, dark + whole, bright + whole, count - whole, gray + whole);
}

cv::Mat Tessary_VideoThread::integratedData(unsigned char* chunk0, unsigned char* chunk1,
                                            unsigned char* chunk2, unsigned char* chunk3)
{
    static const PixelKernel kernel = availablePixelKernels().back();
    constexpr int pixelsPerChunk = kChunkBytes / 4;
    const unsigned char* chunks[4] = {chunk0, chunk1, chunk2, chunk3};

    // One reading of A and B per frame: a change from the GUI applies to
    // whole frames only.
    const int A = fullScaleCharge.load();
    const int B = integrationTime.load();

    cv::Mat display(kFrameSide, kFrameSide, CV_8UC1);
    {
        // One lock per frame: the frame is scaled with one consistent pair
        // of reference arrays, never a half-filled one.
        std::lock_guard<std::mutex> lock(rangeMutex);
        uchar* gray = display.ptr<uchar>(0);
        for (int j = 0; j < 4; ++j) {
            const int first = j * pixelsPerChunk;
            convertPixels(kernel, chunks[j], minRange + first, maxRange + first, pixelsPerChunk, A,
                          B, currentData + first, gray + first);
        }
    }

    // Read once: the kept gray levels must be filtered exactly when the
    // frame was.
    const bool filtered = isFft.load();
    if (filtered)
        removeRipple(display);

    if (isSaveData.load())
        keepFrame(chunk0, chunk1, chunk2, chunk3, filtered ? display : cv::Mat());

    return display;
}
