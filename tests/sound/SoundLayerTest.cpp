// The sound layer against a recording device: the playable-sound table, the kinds, the numbers
// levels become, effect ranges, 3-D settings, the sound functions and their messages, CD audio.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "io/RunState.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/FunctionRegistry.h"
#include "sound/CdAudio.h"
#include "sound/SoundLayer.h"
#include "sound/SoundResource.h"
#include "sound/FakeSoundDevice.h"
#include "support/TestSupport.h"

namespace kestro {
namespace {

using test::FakeSoundDevice;

const std::vector<uint8_t> kGood = {'R', 'I', 'F', 'F', 1, 2, 3};
const std::vector<uint8_t> kBad = {'B', 'A', 'D', 0};

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SoundLayer().Shutdown();
    SoundLayer().SetDeviceFactory([this] {
      ++made;
      auto d = std::make_unique<FakeSoundDevice>();
      d->openable = openable;
      device = d.get();
      return d;
    });
    SoundLayer().SetNotice([this](const std::string& t) { notices.push_back(t); });
    Sounds().Clear();
    RunState().tempFolder = temp.path().string();
    SetBuiltinErrorHandler([this](std::string_view m, bool) { errors.emplace_back(m); });
  }
  void TearDown() override {
    SoundLayer().Shutdown();
    SoundLayer().SetDeviceFactory(nullptr);
    SoundLayer().SetNotice(nullptr);
    Sounds().Clear();
    RunState().tempFolder.clear();
    SetBuiltinErrorHandler(nullptr);
  }
  // Adds a sound resource with the given kind and bytes; returns its index.
  int AddSound(int kind, const std::vector<uint8_t>& bytes, bool preload = true) {
    auto s = std::make_unique<CSound>();
    s->s_kind = kind;
    s->s_sound = bytes;
    s->s_extension = ".wav";
    s->s_preload = preload;
    return Sounds().Add(std::move(s), "snd" + std::to_string(Sounds().Count()));
  }
  RValue Call(const char* name, std::vector<RValue> args) {
    RValue slots[16];
    for (size_t i = 0; i < args.size(); ++i) slots[i] = args[i];
    RValue r;
    EXPECT_TRUE(BuiltinRegistry().Call(*BuiltinRegistry().Find(name), nullptr, nullptr, int32_t(args.size()), slots, r));
    return r;
  }
  static RValue N(double v) { return RValue::Real(v); }
  FakeSoundDevice::RSound& Dev(int snd) { return device->sounds[SoundLayer().Sample(Sounds().Get(snd)->s_soundid)->sound]; }

  bool openable = true;
  int made = 0;
  FakeSoundDevice* device = nullptr;
  std::vector<std::string> notices, errors;
  test::ScratchDir temp;
};

TEST_F(SoundTest, FreeEntriesAreReusedLowestFirstAndTheTableOnlyGrows) {
  ASSERT_TRUE(SoundLayer().Start(1));
  CSoundLayer& L = SoundLayer();
  int a = L.CreateFromMemory(kGood.data(), kGood.size(), 0);
  int b = L.CreateFromMemory(kGood.data(), kGood.size(), 1);
  int c = L.CreateFromMemory(kGood.data(), kGood.size(), 2);
  EXPECT_EQ(std::vector<int>({a, b, c}), std::vector<int>({0, 1, 2}));
  L.Free(b);
  L.Free(a);
  EXPECT_EQ(L.Sample(a), nullptr);
  EXPECT_EQ(L.CreateFromMemory(kGood.data(), kGood.size(), 0), 0);
  EXPECT_EQ(L.CreateFromMemory(kGood.data(), kGood.size(), 0), 1);
  EXPECT_EQ(L.CreateFromMemory(kGood.data(), kGood.size(), 0), 3);
  EXPECT_EQ(L.TableSize(), 4);
  // Undecodable bytes give no handle; the entry they were given is free again.
  EXPECT_EQ(L.CreateFromMemory(kBad.data(), kBad.size(), 0), -1);
  EXPECT_EQ(L.Sample(4), nullptr);
  EXPECT_EQ(L.CreateFromMemory(kGood.data(), kGood.size(), 0), 4);
  L.Free(4);
  // Operations on invalid handles do nothing.
  for (int h : {-1, 4, 1000}) {
    L.Play(h, false);
    L.SetVolume(h, 0.5, 0);
    EXPECT_FALSE(L.IsPlaying(h));
  }
  L.Free(1);
  const size_t logged = device->log.size();
  L.Play(1, false);
  L.Stop(1);
  EXPECT_EQ(device->log.size(), logged) << "a freed entry reaches the device no more";
}

TEST_F(SoundTest, KindsDecideOverlapAndReplacement) {
  const int normal = AddSound(0, kGood), music1 = AddSound(1, kGood), music2 = AddSound(1, kGood),
            three = AddSound(2, kGood);
  PrepareGameSounds();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->master, 1000) << "the layer starts at global volume 1";
  auto id = [&](int snd) { return std::to_string(SoundLayer().Sample(Sounds().Get(snd)->s_soundid)->sound); };
  EXPECT_EQ(Dev(three).path, ESoundPath::kThreeD);
  EXPECT_EQ(Dev(normal).path, ESoundPath::kStereo);
  device->log.clear();
  Call("sound_play", {N(normal)});
  Call("sound_play", {N(normal)});
  EXPECT_EQ(Dev(normal).playing, 2) << "normal sounds overlap";
  Call("sound_loop", {N(music1)});
  Call("sound_loop", {N(music2)});
  EXPECT_EQ(device->log, std::vector<std::string>({"play " + id(normal), "play " + id(normal), "loop " + id(music1),
                                                   "stop " + id(music1), "loop " + id(music2)}));
  EXPECT_EQ(Call("sound_isplaying", {N(music1)}).val, 0);
  EXPECT_EQ(Call("sound_isplaying", {N(music2)}).val, 1);
  Call("sound_stop", {N(normal)});
  EXPECT_EQ(Call("sound_isplaying", {N(normal)}).val, 0) << "one stop silences every instance";
  Call("sound_stop_all", {});
  EXPECT_EQ(Call("sound_isplaying", {N(music2)}).val, 0);
}

TEST_F(SoundTest, MultimediaSoundsPlayOneAtATimeFromATemporaryFile) {
  const int a = AddSound(3, kGood), b = AddSound(3, {'O', 'g', 'g', 'S'});
  PrepareGameSounds();
  const CSound& sa = *Sounds().Get(a);
  EXPECT_FALSE(sa.s_sound.has_value()) << "the bytes now live in the file";
  ASSERT_EQ(sa.s_fname.rfind(temp.path().string(), 0), 0u) << sa.s_fname;
  EXPECT_EQ(sa.s_fname.substr(sa.s_fname.size() - 4), ".wav");
  EXPECT_EQ(test::ReadBytes(sa.s_fname), kGood);
  Call("sound_loop", {N(a)});
  EXPECT_EQ(Call("sound_isplaying", {N(a)}).val, 1);
  Call("sound_play", {N(b)});
  EXPECT_EQ(Call("sound_isplaying", {N(a)}).val, 0) << "the player takes one file at a time";
  EXPECT_EQ(Call("sound_isplaying", {N(b)}).val, 1);
  Call("sound_stop", {N(a)});  // not the player's file: nothing
  EXPECT_EQ(Call("sound_isplaying", {N(b)}).val, 1);
  // Levels, pan, effects and 3-D leave the player alone.
  Call("sound_volume", {N(b), N(0.5)});
  Call("sound_pan", {N(b), N(1)});
  Call("sound_effect_set", {N(b), N(1)});
  EXPECT_EQ(SoundLayer().Sample(Sounds().Get(b)->s_soundid)->volume, 0);
  EXPECT_EQ(SoundLayer().Sample(Sounds().Get(b)->s_soundid)->effects, 0);
}

TEST_F(SoundTest, UndecodableSoundsFallBackToKindThreeAndNoDeviceMeansSilence) {
  const int bad = AddSound(0, kBad);
  PrepareGameSounds();
  const CSound& s = *Sounds().Get(bad);
  EXPECT_EQ(s.s_kind, 3);
  ASSERT_GE(s.s_soundid, 0);
  EXPECT_EQ(SoundLayer().Sample(s.s_soundid)->kind, 3);
  EXPECT_EQ(Call("sound_get_kind", {N(bad)}).val, 3);
  EXPECT_TRUE(notices.empty());

  // No device: one note however often the layer tries, every sound of kind 3, nothing plays.
  SoundLayer().Shutdown();
  openable = false;
  Sounds().Clear();
  const int a = AddSound(0, kGood), b = AddSound(2, kGood), none = AddSound(0, kGood, false);
  made = 0;
  PrepareGameSounds();
  Call("sound_play", {N(a)});
  for (int i = 0; i < 100; ++i) Call("sound_volume", {N(none), N(0.3)});
  EXPECT_EQ(made, 1) << "a machine without sound is not asked for a device on every call";
  EXPECT_EQ(notices, std::vector<std::string>({kNoSoundDevice}));
  EXPECT_EQ(Sounds().Get(a)->s_kind, 3);
  EXPECT_EQ(Sounds().Get(b)->s_kind, 3);
  EXPECT_EQ(Call("sound_isplaying", {N(a)}).val, 0);
  EXPECT_TRUE(errors.empty());
}

TEST_F(SoundTest, LevelsBecomeTheirHundredthsOfADecibel) {
  const int snd = AddSound(0, kGood), three = AddSound(2, kGood);
  PrepareGameSounds();
  struct Case {
    const char* fn;
    double value;
    int volume, pan, global;
    double tempo;
  };
  const Case cases[] = {
      {"sound_volume", 0.5, -4800, 0, 1000, 1},  {"sound_volume", 1, 0, 0, 1000, 1},
      {"sound_volume", 0, -9600, 0, 1000, 1},    {"sound_volume", 0.25, -7200, 0, 1000, 1},
      {"sound_pan", -1, 0, -10000, 1000, 1},     {"sound_pan", 0.25, 0, 2500, 1000, 1},
      {"sound_pan", 2, 0, 0, 1000, 1},  // outside the device's range: refused
      {"sound_global_volume", 0, 0, 0, -10000, 1}, {"sound_global_volume", 2, 0, 0, 1000, 1},
      {"sound_global_volume", 0.5, 0, 0, -4500, 1}, {"sound_background_tempo", 0, 0, 0, 1000, 0.01},
      {"sound_background_tempo", 500, 0, 0, 1000, 100}, {"sound_background_tempo", 1.5, 0, 0, 1000, 1.5},
  };
  for (const Case& c : cases) {
    SoundLayer().SetVolume(Sounds().Get(snd)->s_soundid, 1, 0);
    SoundLayer().SetPan(Sounds().Get(snd)->s_soundid, 0);
    SoundLayer().SetGlobalVolume(1);
    SoundLayer().SetTempo(1);
    if (std::string(c.fn) == "sound_global_volume" || std::string(c.fn) == "sound_background_tempo")
      Call(c.fn, {N(c.value)});
    else
      Call(c.fn, {N(snd), N(c.value)});
    EXPECT_EQ(Dev(snd).volume, c.volume) << c.fn << " " << c.value;
    EXPECT_EQ(Dev(snd).pan, c.pan) << c.fn << " " << c.value;
    EXPECT_EQ(device->master, c.global) << c.fn << " " << c.value;
    EXPECT_DOUBLE_EQ(device->tempo, c.tempo) << c.fn << " " << c.value;
  }
  Call("sound_fade", {N(snd), N(0.5), N(1500.4)});
  EXPECT_EQ(Dev(snd).fade, 1500);
  EXPECT_EQ(Dev(snd).volume, -4800);
  // The stored settings stay; a restored sound gets them back.
  EXPECT_EQ(Sounds().Get(snd)->s_volume, 1);
  Sounds().Get(snd)->s_volume = 0.75;
  Sounds().Get(snd)->s_pan = -0.5;
  Call("sound_discard", {N(snd)});
  EXPECT_EQ(Sounds().Get(snd)->s_soundid, -1);
  Call("sound_restore", {N(snd)});
  EXPECT_EQ(Dev(snd).volume, -2400);
  EXPECT_EQ(Dev(snd).pan, -5000);
  // 3-D settings reach only three-dimensional sounds.
  Call("sound_3d_set_sound_position", {N(snd), N(1), N(2), N(3)});
  EXPECT_EQ(Dev(snd).threeD, RSound3D());
  Call("sound_3d_set_sound_position", {N(three), N(1), N(2), N(3)});
  Call("sound_3d_set_sound_velocity", {N(three), N(-1), N(0), N(4)});
  Call("sound_3d_set_sound_distance", {N(three), N(-5), N(100)});
  Call("sound_3d_set_sound_cone", {N(three), N(0), N(0), N(-1), N(30.4), N(90.5), N(0.5)});
  const RSound3D& t = Dev(three).threeD;
  EXPECT_EQ(t.position[2], 3);
  EXPECT_EQ(t.velocity[0], -1);
  EXPECT_EQ(t.minDistance, 0) << "the minimum distance is at least 0";
  EXPECT_EQ(t.maxDistance, 100);
  EXPECT_EQ(t.coneOrientation[2], -1);
  EXPECT_EQ(t.coneInside, 30);
  EXPECT_EQ(t.coneOutside, 90) << "angles are rounded, halves to even";
  EXPECT_EQ(t.coneOutsideVolume, -5000);
}

TEST_F(SoundTest, EffectsInstallAsAChainAndTheirParametersKeepToTheirRanges) {
  const int snd = AddSound(0, kGood);
  PrepareGameSounds();
  Call("sound_effect_set", {N(snd), N(1 + 16)});
  EXPECT_EQ(Dev(snd).effects, 17);
  const RSoundSample& s = *SoundLayer().Sample(Sounds().Get(snd)->s_soundid);
  EXPECT_EQ(s.parameters[int(EEffectType::kChorus)].v[0], 50) << "installed with its defaults";
  // A parameter set within range reaches the device; outside it, or for an effect the sound does
  // not have, nothing changes.
  Call("sound_effect_chorus", {N(snd), N(30), N(20), N(-10), N(2), N(0.6), N(5), N(4)});
  REffectParameters expected{{30, 20, -10, 2, 1, 5, 4}};
  EXPECT_EQ(Dev(snd).parameters[int(EEffectType::kChorus)], expected);
  Call("sound_effect_chorus", {N(snd), N(30), N(20), N(-100), N(2), N(0), N(5), N(4)});
  EXPECT_EQ(Dev(snd).parameters[int(EEffectType::kChorus)], expected);
  Call("sound_effect_echo", {N(snd), N(50), N(50), N(500), N(500), N(0)});
  EXPECT_EQ(Dev(snd).parameters.count(int(EEffectType::kEcho)), 0u);
  Call("sound_effect_reverb", {N(snd), N(-3), N(-6), N(1500), N(0.5)});
  EXPECT_EQ(Dev(snd).parameters[int(EEffectType::kReverb)], (REffectParameters{{-3, -6, 1500, 0.5}}));
  Call("sound_effect_set", {N(snd), N(0)});
  EXPECT_EQ(Dev(snd).effects, 0);
  EXPECT_EQ(Sounds().Get(snd)->s_effects, 0);

  // Every effect's defaults lie in its ranges; one step past either end of any parameter is refused.
  for (int t = 0; t < kEffectTypeCount; ++t) {
    const REffectRange& r = EffectRange(EEffectType(t));
    REffectParameters p;
    for (int i = 0; i < r.count; ++i) p.v[size_t(i)] = r.defaults[size_t(i)];
    EXPECT_TRUE(EffectParametersValid(EEffectType(t), p)) << t;
    for (int i = 0; i < r.count; ++i) {
      REffectParameters q = p;
      q.v[size_t(i)] = r.min[size_t(i)] - (r.whole[size_t(i)] ? 1 : 0.0001);
      EXPECT_FALSE(EffectParametersValid(EEffectType(t), q)) << t << " " << i;
      q.v[size_t(i)] = r.max[size_t(i)] + (r.whole[size_t(i)] ? 1 : 0.0001);
      EXPECT_FALSE(EffectParametersValid(EEffectType(t), q)) << t << " " << i;
      q.v[size_t(i)] = std::nan("");
      EXPECT_FALSE(EffectParametersValid(EEffectType(t), q)) << t << " " << i;
    }
  }
}

TEST_F(SoundTest, FunctionsOnMissingSoundsAndTheResourceFunctions) {
  const int snd = AddSound(0, kGood, false);
  PrepareGameSounds();
  EXPECT_EQ(Sounds().Get(snd)->s_soundid, -1) << "not preloaded: made on first use";
  EXPECT_EQ(Call("sound_isplaying", {N(snd)}).val, 0);
  EXPECT_GE(Sounds().Get(snd)->s_soundid, 0);
  for (double missing : {-1.0, 1.0, 1.5, 1e300, -1e300}) {
    errors.clear();
    EXPECT_EQ(Call("sound_isplaying", {N(missing)}).val, 0);
    EXPECT_TRUE(errors.empty());
    Call("sound_play", {N(missing)});
    Call("sound_effect_chorus", {N(missing), N(0), N(0), N(0), N(0), N(0), N(0), N(0)});
    EXPECT_EQ(errors, std::vector<std::string>({"Sound does not exist.", "Sound does not exist."})) << missing;
  }
  errors.clear();
  EXPECT_EQ(Call("sound_exists", {N(snd)}).val, 1);
  EXPECT_EQ(Call("sound_exists", {N(7)}).val, 0);
  EXPECT_EQ(std::string(Call("sound_get_name", {N(snd)}).str.view()), "snd0");
  EXPECT_EQ(std::string(Call("sound_name", {N(9)}).str.view()), "<undefined>");
  EXPECT_EQ(Call("sound_get_kind", {N(9)}).val, -1);
  EXPECT_EQ(Call("sound_get_preload", {N(snd)}).val, 0);
  EXPECT_EQ(Call("sound_get_preload", {N(9)}).val, -1);

  const std::string file = (temp / "boom.ogg").string();
  test::WriteBytes(file, kGood);
  EXPECT_EQ(Call("sound_add", {RValue::String(RString((temp / "none.wav").string())), N(0), N(1)}).val, -1);
  EXPECT_EQ(Sounds().Count(), 1) << "a failed add leaves no slot";
  const int added = int(Call("sound_add", {RValue::String(RString(file)), N(2), N(1)}).val);
  EXPECT_EQ(added, 1);
  EXPECT_EQ(Sounds().Name(added), "__newsound1");
  EXPECT_EQ(Sounds().Get(added)->s_extension, ".ogg");
  EXPECT_EQ(Sounds().Get(added)->s_origname, "boom.ogg");
  EXPECT_EQ(Dev(added).path, ESoundPath::kThreeD);
  const int oldHandle = Sounds().Get(added)->s_soundid;
  EXPECT_EQ(Call("sound_replace", {N(added), RValue::String(RString(file)), N(0), N(1)}).val, 1);
  EXPECT_EQ(Sounds().Get(added)->s_soundid, oldHandle) << "the old playable sound was let go first";
  EXPECT_EQ(Dev(added).path, ESoundPath::kStereo);
  EXPECT_EQ(Call("sound_replace", {N(added), RValue::String(RString("/no/such")), N(0), N(1)}).val, 0);
  Call("sound_replace", {N(5), RValue::String(RString(file)), N(0), N(1)});
  EXPECT_EQ(Call("sound_delete", {N(added)}).val, 1);
  EXPECT_FALSE(Sounds().Exists(added));
  EXPECT_EQ(SoundLayer().Sample(oldHandle), nullptr);
  Call("sound_delete", {N(added)});
  EXPECT_EQ(errors, std::vector<std::string>({"Trying to replace non-existing sound.", "Trying to delete non-existing sound."}));
}

TEST_F(SoundTest, TheEndOfTheGameSilencesEverything) {
  const int a = AddSound(0, kGood), b = AddSound(1, kGood);
  PrepareGameSounds();
  Call("sound_loop", {N(a)});
  Call("sound_loop", {N(b)});
  FakeSoundDevice* d = device;
  ShutdownGameSounds();
  EXPECT_FALSE(SoundLayer().Started());
  EXPECT_EQ(Sounds().Get(a)->s_soundid, -1);
  EXPECT_EQ(Sounds().Get(b)->s_soundid, -1);
  (void)d;  // the device is gone with the layer; its closing is what silences the sounds
}

// A multimedia interface that answers from a table and records the commands.
class FakeMci : public IMciInterface {
 public:
  std::map<std::string, std::string> replies;
  std::vector<std::string> sent;
  std::string Send(const std::string& c, size_t max) override {
    sent.push_back(c);
    auto it = replies.find(c);
    return it == replies.end() ? "" : it->second.substr(0, max);
  }
  bool SentPlay() const {
    for (const auto& c : sent)
      if (c.rfind("play ", 0) == 0 || c.rfind("seek ", 0) == 0) return true;
    return false;
  }
  std::string Last(const char* prefix) const {
    for (auto it = sent.rbegin(); it != sent.rend(); ++it)
      if (it->rfind(prefix, 0) == 0) return *it;
    return "";
  }
};

TEST(CdAudio, CommandsAndRepliesOfADiscAndOfAMachineWithoutADrive) {
  RValue none[16];
  auto call = [&](const char* name, std::vector<double> args) {
    RValue slots[16];
    for (size_t i = 0; i < args.size(); ++i) slots[i] = RValue::Real(args[i]);
    RValue r;
    BuiltinRegistry().Call(*BuiltinRegistry().Find(name), nullptr, nullptr, int32_t(args.size()), slots, r);
    return r;
  };
  (void)none;
  // Without a command interface: no disc, numbers 0, empty replies.
  for (const char* fn : {"cd_present", "cd_number", "cd_playing", "cd_paused", "cd_track", "cd_length", "cd_position",
                         "cd_track_position"})
    EXPECT_EQ(call(fn, {}).val, 0) << fn;
  RValue slots[16];
  slots[0] = RValue::String(RString("status cdaudio mode"));
  RValue r;
  BuiltinRegistry().Call(*BuiltinRegistry().Find("MCI_command"), nullptr, nullptr, 1, slots, r);
  EXPECT_TRUE(r.IsString() && r.str.view().empty());

  FakeMci mci;
  SetMciInterface(&mci);
  mci.replies = {{"status cdaudio media present", "true"},
                 {"status cdaudio number of tracks", "10"},
                 {"status cdaudio mode", "stopped"},
                 {"status cdaudio position", "03:02:44:10"},
                 {"status cdaudio length track 4", "215000"}};
  EXPECT_EQ(call("cd_number", {}).val, 10);
  EXPECT_EQ(call("cd_paused", {}).val, 1) << "a stopped disc counts as paused";
  EXPECT_EQ(call("cd_playing", {}).val, 0);
  EXPECT_EQ(call("cd_track", {}).val, 3);
  EXPECT_EQ(call("cd_track_position", {}).val, 2 * 60000 + 44 * 1000);
  EXPECT_EQ(call("cd_track_length", {4}).val, 215000);
  EXPECT_EQ(call("cd_track_length", {11}).val, 0);
  mci.sent.clear();
  call("cd_play", {2, 4});
  EXPECT_EQ(mci.Last("play"), "play cdaudio from 2 to 5");
  call("cd_play", {3, 10});
  EXPECT_EQ(mci.Last("play"), "play cdaudio from 3");
  call("cd_play", {-2, 1});
  EXPECT_EQ(mci.Last("play"), "play cdaudio from 1 to 2");
  mci.sent.clear();
  call("cd_play", {5, 4});
  EXPECT_FALSE(mci.SentPlay());
  call("cd_set_track_position", {75000});
  EXPECT_EQ(mci.Last("seek"), "seek cdaudio to 3:1:15");
  EXPECT_EQ(mci.sent.back(), "set cdaudio time format tmsf");
  mci.replies["status cdaudio mode"] = "playing";
  call("cd_set_position", {1234});
  EXPECT_EQ(mci.Last("play"), "play cdaudio from 1234");
  call("cd_open_door", {});
  EXPECT_EQ(mci.sent.back(), "set cdaudio door open");
  mci.replies["status cdaudio media present"] = "false";
  mci.sent.clear();
  call("cd_stop", {});
  call("cd_play", {1, 2});
  EXPECT_FALSE(mci.SentPlay());
  EXPECT_EQ(mci.Last("stop"), "");
  SetMciInterface(nullptr);
}

}  // namespace
}  // namespace kestro
