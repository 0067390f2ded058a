// Splitting two interleaved 16-bit channels into one block per side: every kernel the processor has gives
// what the plain loop gives, for every length around its step (the frames after the last whole step
// included), wherever the frames lie in the file and whether the blocks are aligned or not.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/al/SampleSplit.h"

namespace kestro {
namespace {

using platform::ESplitKernel;

TEST(SampleSplit, EveryKernelKeepsEachSampleOnItsSideInOrder) {
  std::mt19937 random(18);
  const ESplitKernel kernels[] = {ESplitKernel::kPlain, ESplitKernel::kSse2, ESplitKernel::kAvx2};
  const char* names[] = {"plain", "SSE2", "AVX2"};
  int checked = 0;
  for (size_t frames : {0, 1, 7, 8, 9, 15, 16, 17, 23, 31, 32, 33, 47, 1000, 44100})
    for (size_t offset : {0, 1, 2, 3}) {
      // The file's bytes: frames after `offset` bytes, their samples spread over the whole 16-bit range.
      std::vector<uint8_t> file(offset + frames * 4 + 8);
      for (auto& b : file) b = uint8_t(random());
      std::vector<int16_t> wantLeft(frames), wantRight(frames);
      for (size_t f = 0; f < frames; ++f) {
        std::memcpy(&wantLeft[f], &file[offset + f * 4], 2);
        std::memcpy(&wantRight[f], &file[offset + f * 4 + 2], 2);
      }
      // The blocks written aligned (as the device's storage is) and not.
      for (int k = 0; k < 3; ++k)
        for (size_t skew : {0, 1}) {
          if (!platform::SplitKernelAvailable(kernels[k])) continue;
          // One guard sample past each side: nothing is written beyond the frames.
          std::vector<int16_t> left(skew + frames + 1, 0x5a5a), right(skew + frames + 1, 0x5a5a);
          platform::SplitS16(kernels[k], file.data() + offset, frames, reinterpret_cast<uint8_t*>(left.data() + skew),
                             reinterpret_cast<uint8_t*>(right.data() + skew));
          const std::string where = std::string(names[k]) + ", " + std::to_string(frames) + " frames at " +
                                    std::to_string(offset) + (skew ? ", blocks not aligned" : "");
          EXPECT_EQ(std::vector<int16_t>(left.begin() + long(skew), left.end() - 1), wantLeft) << where;
          EXPECT_EQ(std::vector<int16_t>(right.begin() + long(skew), right.end() - 1), wantRight) << where;
          EXPECT_EQ(left.back(), 0x5a5a) << where;
          EXPECT_EQ(right.back(), 0x5a5a) << where;
          ++checked;
        }
    }
  EXPECT_GE(checked, 60 * 2 * 2) << "the plain loop and at least one vector kernel";
}

}  // namespace
}  // namespace kestro
