// The OpenAL device rendered through a loopback device: the samples show where a sound is heard,
// how loud, on which side, for how long, and what an effect or a 3-D position does to it. Bad
// sound data and missing files never play and never crash.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/al/AlSoundDevice.h"
#include "io/RunState.h"
#include "platform/al/SoundDecoder.h"
#include "resources/GameResources.h"
#include "script/builtins/FunctionRegistry.h"
#include "sound/SoundLayer.h"
#include "sound/SoundResource.h"
#include "support/TestSupport.h"

namespace kestro {
namespace {

using platform::AlSoundDevice;
constexpr int kRate = 44100;
// The device dithers its 16-bit output: silence is noise of about half a step.
constexpr double kSilence = 2;

void Put16(std::vector<uint8_t>& b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void Put32(std::vector<uint8_t>& b, uint32_t v) { Put16(b, v & 0xffff), Put16(b, v >> 16); }

// A 16-bit PCM WAV file of a sine wave (mono) or a sine on the left and silence on the right.
std::vector<uint8_t> Wav(double seconds, int rate = kRate, int channels = 1, double amplitude = 12000) {
  const uint32_t frames = uint32_t(seconds * rate);
  std::vector<uint8_t> b;
  b.reserve(44 + size_t(frames) * 2 * size_t(channels));
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i]));
  };
  tag("RIFF");
  Put32(b, 36 + frames * 2 * uint32_t(channels));
  tag("WAVE");
  tag("fmt ");
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, uint32_t(channels));
  Put32(b, uint32_t(rate));
  Put32(b, uint32_t(rate * 2 * channels));
  Put16(b, uint32_t(2 * channels));
  Put16(b, 16);
  tag("data");
  Put32(b, frames * 2 * uint32_t(channels));
  for (uint32_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      Put16(b, uint16_t(int16_t(c == 0 ? amplitude * std::sin(2 * M_PI * 440 * i / rate) : 0)));
  return b;
}

// A WAV file from its parts: the format chunk's fields, raw chunks between the format and the data,
// the sample bytes and the sizes the header announces (-1: the true ones).
struct RWavParts {
  int tag = 1, channels = 1, rate = kRate, bits = 16;
  int blockAlign = -1;
  std::vector<uint8_t> between;
  std::vector<uint8_t> samples;
  int64_t dataSize = -1, riffSize = -1, fmtSize = 16;
};
std::vector<uint8_t> MakeWav(const RWavParts& p) {
  std::vector<uint8_t> b;
  b.reserve(64 + p.between.size() + p.samples.size());
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i]));
  };
  const int blockAlign = p.blockAlign >= 0 ? p.blockAlign : p.channels * ((p.bits + 7) / 8);
  tag("RIFF");
  Put32(b, uint32_t(p.riffSize >= 0 ? p.riffSize : int64_t(36 + p.between.size() + p.samples.size())));
  tag("WAVE");
  tag("fmt ");
  Put32(b, uint32_t(p.fmtSize));
  Put16(b, uint32_t(p.tag));
  Put16(b, uint32_t(p.channels));
  Put32(b, uint32_t(p.rate));
  Put32(b, uint32_t(p.rate * blockAlign));
  Put16(b, uint32_t(blockAlign));
  Put16(b, uint32_t(p.bits));
  b.insert(b.end(), p.between.begin(), p.between.end());
  tag("data");
  Put32(b, uint32_t(p.dataSize >= 0 ? p.dataSize : int64_t(p.samples.size())));
  b.insert(b.end(), p.samples.begin(), p.samples.end());
  return b;
}

// Samples of a 440 Hz sine for each channel at the given amplitude (full scale 1; 0 silent, a negative
// amplitude the opposite phase), in the file's sample format: 8-bit unsigned, 16- or 24-bit integers or
// 32-bit floats.
std::vector<uint8_t> Sine(double seconds, int bits, bool isFloat, std::vector<double> amplitudes) {
  std::vector<uint8_t> b;
  const int frames = int(seconds * kRate);
  for (int i = 0; i < frames; ++i)
    for (double a : amplitudes) {
      const double v = a * std::sin(2 * M_PI * 440 * i / kRate);
      if (isFloat) {
        const float f = float(v);
        uint32_t u;
        std::memcpy(&u, &f, 4);
        Put32(b, u);
      } else if (bits == 8) {
        b.push_back(uint8_t(std::lround(128 + 127 * v)));
      } else {
        const int32_t x = int32_t(std::lround(v * ((1 << (bits - 1)) - 1)));
        for (int k = 0; k < bits / 8; ++k) b.push_back(uint8_t(uint32_t(x) >> (8 * k)));
      }
    }
  return b;
}

// A MIDI file: one note held for `beats` beats at the default 120 beats a minute.
std::vector<uint8_t> Midi(int beats) {
  std::vector<uint8_t> track = {0x00, 0xC0, 0x00, 0x00, 0x90, 60, 100};
  uint32_t ticks = uint32_t(beats) * 480;
  // The delta time as a variable-length quantity, most significant group first.
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = uint8_t(ticks & 0x7f);
    ticks >>= 7;
  } while (ticks);
  while (n-- > 0) track.push_back(uint8_t(groups[n] | (n > 0 ? 0x80 : 0)));
  for (uint8_t x : {0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}) track.push_back(x);
  std::vector<uint8_t> m = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
  for (int shift = 24; shift >= 0; shift -= 8) m.push_back(uint8_t(track.size() >> shift));
  for (uint8_t x : track) m.push_back(x);
  return m;
}

double Rms(const std::vector<int16_t>& s, int channel, int from, int to) {
  double sum = 0;
  for (int f = from; f < to; ++f) sum += double(s[size_t(f) * 2 + size_t(channel)]) * s[size_t(f) * 2 + size_t(channel)];
  return std::sqrt(sum / std::max(1, to - from));
}

class SoundLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    // Music in these tests needs the synthesizer's timing, not a sound font's voices.
    setenv("KESTRO_SOUNDFONT", "/nonexistent.sf2", 1);
    SoundLayer().Shutdown();
    SoundLayer().SetDeviceFactory([this] {
      auto d = std::make_unique<AlSoundDevice>(options);
      device = d.get();
      return d;
    });
    Sounds().Clear();
    RunState().tempFolder = temp.path().string();
    ASSERT_TRUE(SoundLayer().Start(1)) << "OpenAL Soft's loopback device";
  }
  // A new device of these options in place of the running one.
  void Restart(bool mapBuffers) {
    SoundLayer().Shutdown();
    options.mapBuffers = mapBuffers;
    ASSERT_TRUE(SoundLayer().Start(1));
  }
  void TearDown() override {
    SoundLayer().Shutdown();
    SoundLayer().SetDeviceFactory(nullptr);
    Sounds().Clear();
    RunState().tempFolder.clear();
    unsetenv("KESTRO_SOUNDFONT");
  }
  int Add(int kind, std::vector<uint8_t> bytes) {
    auto s = std::make_unique<CSound>();
    s->s_kind = kind;
    s->s_sound = std::move(bytes);
    s->s_extension = ".wav";
    const int i = Sounds().Add(std::move(s), "snd");
    GetSoundId(*Sounds().Get(i));
    return i;
  }
  void Call(const char* name, std::vector<double> args) {
    RValue slots[16];
    for (size_t i = 0; i < args.size(); ++i) slots[i] = RValue::Real(args[i]);
    RValue r;
    BuiltinRegistry().Call(*BuiltinRegistry().Find(name), nullptr, nullptr, int32_t(args.size()), slots, r);
  }
  bool Playing(int snd) { return SoundLayer().IsPlaying(Sounds().Get(snd)->s_soundid); }
  std::vector<int16_t> Render(double seconds) {
    std::vector<int16_t> out(size_t(seconds * kRate) * 2);
    device->Render(out.data(), int(out.size() / 2));
    return out;
  }
  // The RMS of the left and right channels of a short render of one play of the sound.
  std::pair<double, double> Level(int snd) {
    Call("sound_play", {double(snd)});
    auto s = Render(0.1);
    Call("sound_stop", {double(snd)});
    return {Rms(s, 0, 441, 4410), Rms(s, 1, 441, 4410)};
  }

  platform::RAlDeviceOptions options{true, kRate};
  AlSoundDevice* device = nullptr;
  test::ScratchDir temp;
};

TEST_F(SoundLoopback, APlayedSoundSoundsUntilStoppedOrOver) {
  const int snd = Add(0, Wav(1));
  Call("sound_play", {double(snd)});
  auto s = Render(0.2);
  EXPECT_GT(Rms(s, 0, 441, 8820), 1000);
  EXPECT_NEAR(Rms(s, 0, 441, 8820), Rms(s, 1, 441, 8820), 1) << "a mono sound is heard on both sides alike";
  EXPECT_TRUE(Playing(snd));
  Call("sound_stop", {double(snd)});
  s = Render(0.1);
  EXPECT_LT(Rms(s, 0, 64, 4410) + Rms(s, 1, 64, 4410), kSilence) << "silence after sound_stop";
  EXPECT_FALSE(Playing(snd));

  // Played twice, two voices sound together; a short sound ends by itself.
  const int blip = Add(0, Wav(0.05));
  Call("sound_play", {double(blip)});
  s = Render(0.2);
  EXPECT_GT(Rms(s, 0, 100, 2000), 1000);
  EXPECT_LT(Rms(s, 0, 2300, 8820), kSilence);
  EXPECT_FALSE(Playing(blip));
  Call("sound_loop", {double(blip)});
  s = Render(0.5);
  EXPECT_GT(Rms(s, 0, 20000, 22050), 1000) << "a looping sound goes on";
  EXPECT_TRUE(Playing(blip));
}

TEST_F(SoundLoopback, VolumePanAndGlobalVolumeScaleTheSides) {
  const int snd = Add(0, Wav(1));
  auto [l0, r0] = Level(snd);
  ASSERT_GT(l0, 1000);
  struct Case {
    const char* fn;
    double value, left, right;  // expected gains against the sound at full volume in the centre
  };
  const Case cases[] = {
      {"sound_pan", -1, 1, 0},
      {"sound_pan", 1, 0, 1},
      {"sound_pan", 0.25, std::pow(10, -2500 / 2000.0), 1},
      {"sound_pan", -0.1, 1, std::pow(10, -1000 / 2000.0)},
      {"sound_volume", 0.9, std::pow(10, -960 / 2000.0), std::pow(10, -960 / 2000.0)},
      {"sound_volume", 0.5, std::pow(10, -4800 / 2000.0), std::pow(10, -4800 / 2000.0)},
      {"sound_volume", 0, 0, 0},
      {"sound_global_volume", 0.9, std::pow(10, -1100 / 2000.0), std::pow(10, -1100 / 2000.0)},
  };
  for (const Case& c : cases) {
    Call("sound_pan", {double(snd), 0});
    Call("sound_volume", {double(snd), 1});
    Call("sound_global_volume", {1});
    if (std::string(c.fn) == "sound_global_volume")
      Call(c.fn, {c.value});
    else
      Call(c.fn, {double(snd), c.value});
    auto [l, r] = Level(snd);
    EXPECT_NEAR(l / l0, c.left, 0.02 * c.left + 0.002) << c.fn << " " << c.value;
    EXPECT_NEAR(r / r0, c.right, 0.02 * c.right + 0.002) << c.fn << " " << c.value;
  }
  // A stereo sound keeps its sides: the right channel of this one is silent.
  const int stereo = Add(0, Wav(1, kRate, 2));
  auto [ls, rs] = Level(stereo);
  EXPECT_GT(ls, 1000);
  EXPECT_LT(rs, kSilence);
}

TEST_F(SoundLoopback, AnEffectChangesTheSignal) {
  // A short tone: without effects it is silent after 50 ms; the echo repeats it later.
  const int dry = Add(0, Wav(0.05)), wet = Add(0, Wav(0.05));
  Call("sound_effect_set", {double(wet), 2});
  Call("sound_play", {double(dry)});
  auto s = Render(0.6);
  EXPECT_LT(Rms(s, 0, 4410, 26460), kSilence);
  Call("sound_play", {double(wet)});
  s = Render(0.6);
  EXPECT_GT(Rms(s, 0, 4410, 26460), 20) << "the echo sounds after the tone";
}

TEST_F(SoundLoopback, DistortionReplacesTheToneUntilTheEffectsAreRemoved) {
  const int clean = Add(0, Wav(0.1)), distorted = Add(0, Wav(0.1));
  Call("sound_effect_set", {double(distorted), 128});
  Call("sound_play", {double(clean)});
  auto a = Render(0.15);
  Call("sound_play", {double(distorted)});
  auto b = Render(0.15);
  double diff = 0;
  for (size_t i = 882; i < 7938; ++i) diff += std::abs(a[i] - b[i]);
  EXPECT_GT(diff / 7056, 200);
  Call("sound_effect_set", {double(distorted), 0});
  Call("sound_play", {double(distorted)});
  b = Render(0.15);
  diff = 0;
  for (size_t i = 882; i < 7938; ++i) diff += std::abs(a[i] - b[i]);
  EXPECT_LT(diff / 7056, 2);
}

TEST_F(SoundLoopback, ThreeDSoundsFallOffWithDistance) {
  const int snd = Add(2, Wav(1));
  auto at = [&](double z) {
    Call("sound_3d_set_sound_position", {double(snd), 0, 0, z});
    auto [l, r] = Level(snd);
    return l + r;
  };
  Call("sound_3d_set_sound_distance", {double(snd), 1, 3});
  const double one = at(1);
  ASSERT_GT(one, 500);
  EXPECT_NEAR(at(0.5) / one, 1, 0.02) << "inside the minimum distance: full volume";
  EXPECT_NEAR(at(2) / one, 0.5, 0.02);
  EXPECT_NEAR(at(3) / one, 1 / 3.0, 0.02);
  EXPECT_NEAR(at(6) / one, 1 / 3.0, 0.02) << "beyond the maximum distance it falls no further";
  // To the right of the listener it is heard on the right.
  Call("sound_3d_set_sound_position", {double(snd), 1, 0, 0});
  auto [l, r] = Level(snd);
  EXPECT_GT(r, 10 * std::max(l, 1.0));
}

TEST_F(SoundLoopback, TempoChangesTheLengthOfMusicAndLongSoundsStream) {
  auto length = [&](int snd) {
    Call("sound_play", {double(snd)});
    int frames = 0;
    while (Playing(snd) && frames < 10 * kRate) {
      Render(1024.0 / kRate);
      frames += 1024;
    }
    return frames / double(kRate);
  };
  const int music = Add(1, Midi(4));  // two seconds at 120 beats a minute
  const double normal = length(music);
  Call("sound_background_tempo", {2});
  const double fast = length(music);
  EXPECT_NEAR(normal, 2.5, 0.3) << "two seconds of music and the notes' fading";
  EXPECT_NEAR(normal - fast, 1, 0.2) << normal << " " << fast;

  // A sound too long to decode whole streams from memory; a multimedia sound from its file.
  const int longSound = Add(0, Wav(31, 8000));
  Call("sound_play", {double(longSound)});
  auto s = Render(0.5);
  EXPECT_GT(Rms(s, 0, 4410, 22050), 1000);
  Call("sound_stop", {double(longSound)});
  s = Render(0.1);
  EXPECT_LT(Rms(s, 0, 64, 4410), kSilence);
  const int file = Add(3, Wav(0.5));
  ASSERT_FALSE(Sounds().Get(file)->s_fname.empty());
  EXPECT_NEAR(length(file), 0.5, 0.2);
}

TEST_F(SoundLoopback, MusicSoundsWithTheGeneralMidiFont) {
  const char* font = "/usr/share/sounds/sf2/TimGM6mb.sf2";  // the small font of the set-up script
  if (!std::filesystem::exists(font)) GTEST_SKIP() << "no sound font";
  setenv("KESTRO_SOUNDFONT", font, 1);
  const int music = Add(1, Midi(1));
  Call("sound_play", {double(music)});
  auto s = Render(0.3);
  EXPECT_GT(Rms(s, 0, 0, 13230), 50);
  Call("sound_stop", {double(music)});
  s = Render(0.1);
  EXPECT_LT(Rms(s, 0, 64, 4410), kSilence);
}

// Every sampled format the device takes, written by libsndfile itself.
TEST_F(SoundLoopback, SampledFormatsDecode) {
  struct Format {
    const char* ext;
    int format;
  };
  const Format formats[] = {{".wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                            {".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                            {".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                            {".mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}};
  for (const Format& f : formats) {
    const std::string path = (temp / (std::string("tone") + f.ext)).string();
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = f.format;
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(out, nullptr) << f.ext << ": " << sf_strerror(nullptr);
    std::vector<int16_t> tone(kRate / 2);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = int16_t(12000 * std::sin(2 * M_PI * 440 * double(i) / kRate));
    sf_writef_short(out, tone.data(), sf_count_t(tone.size()));
    sf_close(out);
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    platform::RPcm pcm;
    ASSERT_TRUE(platform::DecodeSound(bytes.data(), bytes.size(), pcm, 1 << 20)) << f.ext;
    EXPECT_NEAR(double(pcm.Frames()), kRate / 2, kRate / 10) << f.ext;
    const int snd = Add(0, bytes);
    EXPECT_EQ(Sounds().Get(snd)->s_kind, 0) << f.ext;
    EXPECT_GT(Level(snd).first, 1000) << f.ext;
  }
}

TEST_F(SoundLoopback, BadSoundDataNeverPlays) {
  const std::vector<uint8_t> wav = Wav(0.1);
  const std::vector<uint8_t> midi = Midi(2);
  std::vector<std::vector<uint8_t>> bad = {
      {}, {'R', 'I', 'F', 'F'}, std::vector<uint8_t>(1000, 0),
      {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 13, 'I', 'H', 'D', 'R'},
      std::vector<uint8_t>(wav.begin(), wav.begin() + 44),  // a header and no samples
  };
  // Cut at every length of the header and a few beyond; the MIDI file at every length.
  for (size_t n = 1; n < 46; ++n) bad.emplace_back(wav.begin(), wav.begin() + long(n));
  for (size_t n = 1; n < midi.size(); ++n) bad.emplace_back(midi.begin(), midi.begin() + long(n));
  // A header claiming far more than there is, a zero channel count and a rate of 0.
  std::vector<uint8_t> lying = wav;
  lying[40] = lying[41] = lying[42] = lying[43] = 0xff;
  std::vector<uint8_t> noChannels = wav;
  noChannels[22] = 0;
  std::vector<uint8_t> noRate = wav;
  noRate[24] = noRate[25] = noRate[26] = noRate[27] = 0;
  std::vector<uint8_t> badMidiEvent = midi;
  badMidiEvent[badMidiEvent.size() - 6] = 0xF3;
  for (auto* v : {&noChannels, &noRate, &badMidiEvent}) bad.push_back(*v);
  for (size_t i = 0; i < bad.size(); ++i) {
    const std::vector<uint8_t>& b = bad[i];
    EXPECT_EQ(device->CreateFromMemory(b.data(), b.size(), ESoundPath::kStereo), 0u) << "case " << i << " size " << b.size();
  }
  // A lying length plays what is there.
  const uint32_t h = device->CreateFromMemory(lying.data(), lying.size(), ESoundPath::kStereo);
  ASSERT_NE(h, 0u);
  device->Play(h, false);
  Render(0.2);
  EXPECT_FALSE(device->IsPlaying(h));

  // Missing and unreadable files give no sound; the resource stays silent with handle -1.
  EXPECT_EQ(device->CreateFromFile((temp / "missing.wav").string()), 0u);
  test::WriteBytes(temp / "junk.mp3", std::vector<uint8_t>(300, 0x55));
  EXPECT_EQ(device->CreateFromFile((temp / "junk.mp3").string()), 0u);
  const int snd = Add(0, std::vector<uint8_t>(64, 0x55));
  EXPECT_EQ(Sounds().Get(snd)->s_kind, 3) << "played from a file when the device cannot take the data";
  Call("sound_play", {double(snd)});
  auto s = Render(0.1);
  EXPECT_LT(Rms(s, 0, 0, 4410), kSilence);
  EXPECT_FALSE(Playing(snd));
}

// Plain integer and float WAV samples go to the device as they lie in the file, other formats through
// the decoders: every one is heard at its level, on its sides; two channels on a 3-D path are mixed down.
TEST_F(SoundLoopback, WavSampleFormatsPlayAtTheirLevel) {
  struct Case {
    const char* name;
    int tag, bits;
    std::vector<double> amplitudes;
    ESoundPath path;
    double left, right;  // the RMS expected on each side
  };
  const double full = 32767 / std::sqrt(2.0);  // a full-scale sine
  const Case cases[] = {
      {"8-bit mono", 1, 8, {0.5}, ESoundPath::kStereo, full / 2, full / 2},
      {"16-bit mono", 1, 16, {0.5}, ESoundPath::kStereo, full / 2, full / 2},
      {"16-bit stereo", 1, 16, {0.5, 0.25}, ESoundPath::kStereo, full / 2, full / 4},
      {"8-bit stereo", 1, 8, {0, 0.5}, ESoundPath::kStereo, 0, full / 2},
      {"float mono", 3, 32, {0.5}, ESoundPath::kStereo, full / 2, full / 2},
      {"float stereo", 3, 32, {0.25, 0.5}, ESoundPath::kStereo, full / 4, full / 2},
      {"24-bit stereo (decoded)", 1, 24, {0.5, 0.25}, ESoundPath::kStereo, full / 2, full / 4},
      {"16-bit, 3 channels (decoded)", 1, 16, {0.5, 0.25, 0}, ESoundPath::kStereo, full / 2, full / 4},
      // Mixed down for one 3-D source: opposite phases cancel out.
      {"16-bit stereo, 3-D", 1, 16, {0.5, 0.5}, ESoundPath::kThreeD, -1, -1},
      {"16-bit opposite phases, 3-D", 1, 16, {0.5, -0.5}, ESoundPath::kThreeD, 0, 0},
      {"8-bit opposite phases, 3-D", 1, 8, {0.5, -0.5}, ESoundPath::kThreeD, 0, 0},
      {"float opposite phases, 3-D", 3, 32, {0.5, -0.5}, ESoundPath::kThreeD, 0, 0},
  };
  // A mono sound at half scale on the 3-D path: what a mix-down of two such channels must match.
  RWavParts mono;
  mono.samples = Sine(0.2, 16, false, {0.5});
  const std::vector<uint8_t> monoBytes = MakeWav(mono);
  auto levels = [&](const std::vector<uint8_t>& bytes, ESoundPath path) -> std::pair<double, double> {
    const uint32_t h = device->CreateFromMemory(bytes.data(), bytes.size(), path);
    if (!h) return {-1, -1};
    device->Play(h, false);
    auto s = Render(0.1);
    device->Free(h);
    return {Rms(s, 0, 441, 4410), Rms(s, 1, 441, 4410)};
  };
  const auto [mono3dLeft, mono3dRight] = levels(monoBytes, ESoundPath::kThreeD);
  ASSERT_GT(mono3dLeft, 1000);
  // Written into the device's mapped buffers, and through a block of the device's own where it has none.
  for (bool mapped : {true, false}) {
    Restart(mapped);
    SCOPED_TRACE(mapped ? "mapped buffers" : "copied buffers");
    for (const Case& c : cases) {
      RWavParts p;
      p.tag = c.tag;
      p.bits = c.bits;
      p.channels = int(c.amplitudes.size());
      p.samples = Sine(0.2, c.bits, c.tag == 3, c.amplitudes);
      const auto [l, r] = levels(MakeWav(p), c.path);
      ASSERT_GE(l, 0) << c.name << ": refused";
      const double wantLeft = c.left < 0 ? mono3dLeft : c.left, wantRight = c.right < 0 ? mono3dRight : c.right;
      // 8-bit samples are coarse: their noise is about 70 steps of the 16-bit scale.
      const double noise = c.bits == 8 ? 150 : kSilence;
      EXPECT_NEAR(l, wantLeft, 0.02 * wantLeft + noise) << c.name;
      EXPECT_NEAR(r, wantRight, 0.02 * wantRight + noise) << c.name;
    }
  }
}

// The samples keep their order and their side: a stereo file with a different tone on each channel
// sounds on each side as a mono file of that side's tone does (and as a mono file of their mix on a
// 3-D path): the two outputs correlate to nearly 1.
TEST_F(SoundLoopback, WavSamplesKeepTheirOrder) {
  auto tone = [](double hz, int i) { return 0.5 * std::sin(2 * M_PI * hz * i / kRate); };
  auto render = [&](const std::vector<uint8_t>& bytes, ESoundPath path) {
    const uint32_t h = device->CreateFromMemory(bytes.data(), bytes.size(), path);
    EXPECT_NE(h, 0u);
    device->Play(h, false);
    auto s = Render(0.1);
    device->Free(h);
    return s;
  };
  auto correlation = [](const std::vector<int16_t>& a, const std::vector<int16_t>& b, int channel) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t f = 441; f < 4410; ++f) {
      const double x = a[f * 2 + size_t(channel)], y = b[f * 2 + size_t(channel)];
      ab += x * y, aa += x * x, bb += y * y;
    }
    return ab / std::sqrt(aa * bb + 1e-9);
  };
  // Mono 16-bit files of each tone and of their mix: their samples go to the device untouched.
  auto mono = [&](auto wave) {
    RWavParts p;
    for (int i = 0; i < int(0.2 * kRate); ++i) Put16(p.samples, uint16_t(int16_t(std::lround(wave(i) * 32767))));
    return MakeWav(p);
  };
  const auto low = render(mono([&](int i) { return tone(440, i); }), ESoundPath::kStereo);
  const auto high = render(mono([&](int i) { return tone(660, i); }), ESoundPath::kStereo);
  const auto mix = render(mono([&](int i) { return (tone(440, i) + tone(660, i)) / 2; }), ESoundPath::kThreeD);
  for (bool mapped : {true, false}) {
    Restart(mapped);
    SCOPED_TRACE(mapped ? "mapped buffers" : "copied buffers");
    for (int bits : {8, 16, 32}) {
      const bool isFloat = bits == 32;
      RWavParts p;
      p.channels = 2;
      p.bits = bits;
      p.tag = isFloat ? 3 : 1;
      // 440 Hz on the left, 660 Hz on the right, each sample written in the file's format.
      for (int i = 0; i < int(0.2 * kRate); ++i)
        for (double hz : {440.0, 660.0}) {
          const double v = tone(hz, i);
          if (isFloat) {
            const float fv = float(v);
            uint32_t u;
            std::memcpy(&u, &fv, 4);
            Put32(p.samples, u);
          } else if (bits == 8) {
            p.samples.push_back(uint8_t(std::lround(128 + 127 * v)));
          } else {
            Put16(p.samples, uint16_t(int16_t(std::lround(v * 32767))));
          }
        }
      const std::vector<uint8_t> bytes = MakeWav(p);
      const std::string name = isFloat ? "float" : std::to_string(bits) + "-bit";
      const double close = bits == 8 ? 0.999 : 0.9999;  // 8-bit samples are coarse
      const auto both = render(bytes, ESoundPath::kStereo);
      EXPECT_GT(correlation(both, low, 0), close) << name << ", left";
      EXPECT_GT(correlation(both, high, 1), close) << name << ", right";
      EXPECT_GT(correlation(render(bytes, ESoundPath::kThreeD), mix, 0), close) << name << ", 3-D";
    }
  }
}

// The WAV header is read before any sample is taken: damaged headers never play, headers that only
// misstate lengths play the whole frames that are there.
TEST_F(SoundLoopback, DamagedWavHeadersNeverPlay) {
  const std::vector<uint8_t> tone = Sine(0.1, 16, false, {0.5});
  auto with = [&](auto change) {
    RWavParts p;
    p.samples = tone;
    change(p);
    return MakeWav(p);
  };
  auto list = [](std::vector<uint8_t> chunk, uint32_t size) {
    std::vector<uint8_t> b = {'L', 'I', 'S', 'T'};
    Put32(b, size);
    b.insert(b.end(), chunk.begin(), chunk.end());
    return b;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool plays;
  };
  std::vector<Case> cases = {
      {"plain", with([](RWavParts&) {}), true},
      {"no samples", with([](RWavParts& p) { p.samples.clear(); }), false},
      {"a data size of 0", with([](RWavParts& p) { p.dataSize = 0; }), false},
      {"less than one frame", with([](RWavParts& p) { p.channels = 2, p.samples.resize(3); }), false},
      {"odd block alignment", with([](RWavParts& p) { p.blockAlign = 3; }), false},
      {"block alignment of one sample of two channels", with([](RWavParts& p) { p.channels = 2, p.blockAlign = 2; }),
       false},
      {"block alignment 0", with([](RWavParts& p) { p.blockAlign = 0; }), false},
      {"0 bits a sample", with([](RWavParts& p) { p.bits = 0, p.blockAlign = 2; }), false},
      {"a rate far past any device", with([](RWavParts& p) { p.rate = -1; }), false},
      {"16-bit floats", with([](RWavParts& p) { p.tag = 3; }), false},
      {"a format chunk past the end", with([](RWavParts& p) { p.fmtSize = 0xffffffff; }), false},
      {"a short format chunk", with([](RWavParts& p) { p.fmtSize = 14; }), false},
      {"a chunk before the data past the end", with([&](RWavParts& p) {
         p.between = list({1, 2}, 0xffffffff);
       }),
       false},
      {"a chunk before the data missing its pad byte", with([&](RWavParts& p) {
         p.between = list({1, 2, 3}, 3);
       }),
       false},
      {"a padded chunk before the data", with([&](RWavParts& p) {
         p.between = list({1, 2, 3, 0}, 3);
       }),
       true},
      {"a RIFF size of 0", with([](RWavParts& p) { p.riffSize = 0; }), true},
      {"a RIFF size past the end", with([](RWavParts& p) { p.riffSize = 0xffffffff; }), true},
      {"a data size past the end", with([](RWavParts& p) { p.dataSize = 0x7fffffff; }), true},
      {"a data size that ends inside a frame", with([](RWavParts& p) { p.dataSize = int64_t(p.samples.size()) - 1; }),
       true},
  };
  // Found by the fuzz target: a 24-bit format with a wrong block alignment and a list chunk running past
  // the end, which kept libsndfile busy for minutes.
  const std::string stall =
      "5249464600f0000057415645666d742010000000010001002200012066020100040018004c495354ffffffffffffffff"
      "fffffffffffffffffffffffffffffffff7ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
      "ffffffff00000000ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff016403000000"
      "616263006461746117000055555555555555554d";
  std::vector<uint8_t> stallBytes;
  for (size_t i = 0; i + 1 < stall.size(); i += 2) stallBytes.push_back(uint8_t(std::stoi(stall.substr(i, 2), nullptr, 16)));
  cases.push_back({"a list chunk past the end that stalled libsndfile", stallBytes, false});
  // The samples ahead of their format; cut at every length of a header with a chunk before the data.
  std::vector<uint8_t> dataFirst = with([](RWavParts&) {});
  std::rotate(dataFirst.begin() + 12, dataFirst.begin() + 36, dataFirst.end());
  cases.push_back({"samples before the format", dataFirst, false});
  const std::vector<uint8_t> long_ = with([&](RWavParts& p) { p.between = list({1, 2, 3, 4}, 4); });
  for (size_t n = 0; n < 56; ++n)
    cases.push_back({"cut", std::vector<uint8_t>(long_.begin(), long_.begin() + long(n)), false});
  for (const Case& c : cases) {
    for (ESoundPath path : {ESoundPath::kStereo, ESoundPath::kThreeD}) {
      const uint32_t h = device->CreateFromMemory(c.bytes.data(), c.bytes.size(), path);
      EXPECT_EQ(h != 0, c.plays) << c.name << " (" << c.bytes.size() << " bytes)";
      if (!h) continue;
      device->Play(h, false);
      auto s = Render(0.2);
      EXPECT_GT(Rms(s, 0, 441, 3528), 1000) << c.name;
      EXPECT_LT(Rms(s, 0, 5292, 8820), kSilence) << c.name << ": the sound ends with its samples";
      EXPECT_FALSE(device->IsPlaying(h)) << c.name;
      device->Free(h);
    }
    // As a game's sound, refused data is played from a file: the header is checked there too.
    if (c.plays || std::string(c.name) == "cut") continue;
    const int snd = Add(0, c.bytes);
    Call("sound_play", {double(snd)});
    auto s = Render(0.05);
    EXPECT_LT(Rms(s, 0, 0, 2205), kSilence) << c.name << ", from a file";
    EXPECT_FALSE(Playing(snd)) << c.name << ", from a file";
  }
}

// sound_fade(snd, value, time): the level moves from where it is to the new volume over time
// milliseconds of the sound's output, evenly in decibels, and stays there; a new fade or volume takes
// over from the level reached.
TEST_F(SoundLoopback, FadesMoveTheLevelOverTheirTimeAndStay) {
  const int snd = Add(0, Wav(1));
  const double full = Level(snd).first;
  ASSERT_GT(full, 1000);
  struct Step {
    double atSeconds;  // of the render
    const char* fn;    // sound_volume or sound_fade
    double value, ms;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<double> checks;  // seconds of the render
  };
  // The level the steps give at a time, in decibels against full volume (0.75 is -24 dB, 0 is -96).
  auto expected = [](const std::vector<Step>& steps, double t) {
    double from = 0, to = 0, start = 0, ms = 0;
    auto at = [&](double x) {
      return ms <= 0 || (x - start) * 1000 >= ms ? to : from + (to - from) * (x - start) * 1000 / ms;
    };
    for (const Step& step : steps) {
      if (step.atSeconds > t) break;
      from = at(step.atSeconds);
      to = (9600 * step.value - 9600) / 100;
      start = step.atSeconds;
      ms = std::string(step.fn) == "sound_fade" ? step.ms : 0;
    }
    return at(t);
  };
  const Case cases[] = {
      {"down over a second", {{0, "sound_fade", 0.75, 1000}}, {0.02, 0.25, 0.5, 0.75, 1.05, 1.5, 1.95}},
      {"up over 400 ms", {{0, "sound_volume", 0.75, 0}, {0.2, "sound_fade", 1, 400}}, {0.1, 0.3, 0.4, 0.5, 0.7, 1.9}},
      {"to nothing", {{0, "sound_fade", 0, 500}}, {0.1, 0.25, 0.55, 1.0, 1.9}},
      {"a second fade from where the first left the level",
       {{0, "sound_fade", 0.5, 1000}, {0.5, "sound_fade", 1, 500}},
       {0.25, 0.45, 0.75, 1.05, 1.9}},
      {"a volume during a fade ends it",
       {{0, "sound_fade", 0, 1000}, {0.3, "sound_volume", 0.75, 0}},
       {0.15, 0.35, 1.5}},
      {"a fade of 0 ms", {{0, "sound_fade", 0.75, 0}}, {0.02, 1}},
  };
  for (const Case& c : cases) {
    Call("sound_volume", {double(snd), 1});
    Call("sound_loop", {double(snd)});
    std::vector<int16_t> s;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      if (std::string(step.fn) == "sound_fade")
        Call("sound_fade", {double(snd), step.value, step.ms});
      else
        Call("sound_volume", {double(snd), step.value});
      const double until = i + 1 < c.steps.size() ? c.steps[i + 1].atSeconds : 2;
      auto part = Render(until - step.atSeconds);
      s.insert(s.end(), part.begin(), part.end());
    }
    Call("sound_stop", {double(snd)});
    Render(0.05);
    for (double t : c.checks) {
      // Over 20 ms around the time. The level is set before each piece the device renders (1024
      // frames here), so it may be up to one piece behind the fade.
      const double rms = Rms(s, 0, int(t * kRate) - 441, int(t * kRate) + 441);
      const double now = expected(c.steps, t), before = expected(c.steps, t - 0.03);
      if (now <= -90) {
        EXPECT_LT(rms, kSilence) << c.name << " at " << t << " s";
        continue;
      }
      const double db = 20 * std::log10(std::max(rms, 1e-3) / full);
      EXPECT_GE(db, std::min(now, before) - 0.75) << c.name << " at " << t << " s";
      EXPECT_LE(db, std::max(now, before) + 0.75) << c.name << " at " << t << " s";
    }
  }
}

}  // namespace
}  // namespace kestro
