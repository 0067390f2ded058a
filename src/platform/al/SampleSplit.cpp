#include "platform/al/SampleSplit.h"

#include <cstring>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KESTRO_X86 1
#endif

namespace kestro::platform {

namespace {

// The frames are loaded with memcpy: they need not be aligned inside the file.
template <typename T>
void Split(const uint8_t* in, size_t frames, uint8_t* left, uint8_t* right) {
  for (size_t f = 0; f < frames; ++f) {
    T s[2];
    std::memcpy(s, in + f * sizeof s, sizeof s);
    std::memcpy(left + f * sizeof(T), &s[0], sizeof(T));
    std::memcpy(right + f * sizeof(T), &s[1], sizeof(T));
  }
}

template <typename T, typename Wide>
void MixDown(const uint8_t* in, size_t frames, uint8_t* out) {
  for (size_t f = 0; f < frames; ++f) {
    T s[2];
    std::memcpy(s, in + f * sizeof s, sizeof s);
    const T m = T((Wide(s[0]) + Wide(s[1])) / 2);
    std::memcpy(out + f * sizeof(T), &m, sizeof(T));
  }
}

#if KESTRO_X86
// Each 32-bit lane holds a frame, the left sample in its low half.
__attribute__((target("sse2"))) void SplitSse2(const uint8_t* in, size_t frames, uint8_t* left, uint8_t* right) {
  size_t f = 0;
  for (; f + 8 <= frames; f += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + f * 4));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + f * 4 + 16));
    const __m128i l =
        _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16), _mm_srai_epi32(_mm_slli_epi32(b, 16), 16));
    const __m128i r = _mm_packs_epi32(_mm_srai_epi32(a, 16), _mm_srai_epi32(b, 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(left + f * 2), l);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(right + f * 2), r);
  }
  Split<int16_t>(in + f * 4, frames - f, left + f * 2, right + f * 2);
}

// Sixteen frames a step: within each 128-bit half the left samples are gathered into the low 64 bits and
// the right ones into the high 64 bits; the 64-bit quarters are then put in order, left samples first.
// The sides are written past the caches where both blocks are 16-byte aligned (the device's storage is):
// they are not read again until they play, and writing them this way costs less than copying the
// samples once, which must read each line of the block before it writes it.
__attribute__((target("avx2"))) void SplitAvx2(const uint8_t* in, size_t frames, uint8_t* left, uint8_t* right) {
  const __m256i gather = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15,  //
                                          0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
  const bool stream = ((uintptr_t(left) | uintptr_t(right)) & 15) == 0;
  size_t f = 0;
  for (; f + 16 <= frames; f += 16) {
    // a: frames 0-3 | 4-7, b: frames 8-11 | 12-15.
    __m256i a = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + f * 4)), gather);
    __m256i b = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + f * 4 + 32)), gather);
    // Quarters L0-3 R0-3 L4-7 R4-7 into L0-3 L4-7 R0-3 R4-7.
    a = _mm256_permute4x64_epi64(a, 0xD8);
    b = _mm256_permute4x64_epi64(b, 0xD8);
    const __m256i l = _mm256_permute2x128_si256(a, b, 0x20), r = _mm256_permute2x128_si256(a, b, 0x31);
    if (stream) {
      __m128i* lo = reinterpret_cast<__m128i*>(left + f * 2);
      __m128i* ro = reinterpret_cast<__m128i*>(right + f * 2);
      _mm_stream_si128(lo, _mm256_castsi256_si128(l));
      _mm_stream_si128(lo + 1, _mm256_extracti128_si256(l, 1));
      _mm_stream_si128(ro, _mm256_castsi256_si128(r));
      _mm_stream_si128(ro + 1, _mm256_extracti128_si256(r, 1));
    } else {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(left + f * 2), l);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(right + f * 2), r);
    }
  }
  // Writes past the caches are ordered with the ones that follow.
  if (stream) _mm_sfence();
  SplitSse2(in + f * 4, frames - f, left + f * 2, right + f * 2);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

bool SplitKernelAvailable(ESplitKernel kernel) {
  switch (kernel) {
    case ESplitKernel::kPlain: return true;
#if KESTRO_X86
    case ESplitKernel::kSse2: return __builtin_cpu_supports("sse2");
    case ESplitKernel::kAvx2: return HasAvx2();
#else
    default: return false;
#endif
  }
  return false;
}

void SplitS16(ESplitKernel kernel, const uint8_t* in, size_t frames, uint8_t* left, uint8_t* right) {
#if KESTRO_X86
  if (kernel == ESplitKernel::kAvx2 && HasAvx2()) return SplitAvx2(in, frames, left, right);
  if (kernel != ESplitKernel::kPlain && __builtin_cpu_supports("sse2")) return SplitSse2(in, frames, left, right);
#endif
  (void)kernel;
  Split<int16_t>(in, frames, left, right);
}

void SplitFrames(EWavSample sample, const uint8_t* in, size_t frames, uint8_t* left, uint8_t* right) {
  switch (sample) {
    case EWavSample::kU8: return Split<uint8_t>(in, frames, left, right);
    case EWavSample::kS16: return SplitS16(ESplitKernel::kAvx2, in, frames, left, right);
    case EWavSample::kF32: return Split<float>(in, frames, left, right);
  }
}

void MixDownFrames(EWavSample sample, const uint8_t* in, size_t frames, uint8_t* out) {
  switch (sample) {
    case EWavSample::kU8: return MixDown<uint8_t, int>(in, frames, out);
    case EWavSample::kS16: return MixDown<int16_t, int32_t>(in, frames, out);
    case EWavSample::kF32: return MixDown<float, float>(in, frames, out);
  }
}

}  // namespace kestro::platform
