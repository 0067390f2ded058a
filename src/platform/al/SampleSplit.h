// Two interleaved channels of plain samples made into what the device's sources play: one block per
// side, or one block of their mix for a 3-D source. The frames are read as they lie in the file (they
// need not be aligned); the blocks are written whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/al/SoundDecoder.h"

namespace kestro::platform {

void SplitFrames(EWavSample sample, const uint8_t* in, size_t frames, uint8_t* left, uint8_t* right);
void MixDownFrames(EWavSample sample, const uint8_t* in, size_t frames, uint8_t* out);

// The ways 16-bit frames are split: the plain loop, eight frames at a time with SSE2, sixteen at a time
// with AVX2. SplitFrames takes the fastest the processor has; each gives what the plain loop gives.
enum class ESplitKernel { kPlain, kSse2, kAvx2 };
bool SplitKernelAvailable(ESplitKernel kernel);
void SplitS16(ESplitKernel kernel, const uint8_t* in, size_t frames, uint8_t* left, uint8_t* right);

}  // namespace kestro::platform
