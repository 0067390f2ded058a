// A built game with a sound, run headless by the `kestro` program: the sound plays, stops, and a
// machine without an audio device runs the game silently with one note under --verbose.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/TestSupport.h"

namespace kestro {
namespace {

std::string Wav() {
  const int frames = 8000;
  std::string b = "RIFF";
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(char((v >> (8 * i)) & 0xff));
  };
  put(36 + frames * 2, 4);
  b += "WAVEfmt ";
  put(16, 4), put(1, 2), put(1, 2), put(8000, 4), put(16000, 4), put(2, 2), put(16, 2);
  b += "data";
  put(frames * 2, 4);
  for (int i = 0; i < frames; ++i) put(uint16_t(int16_t(9000 * std::sin(i * 0.3))), 2);
  return b;
}

nlohmann::json Code(const std::string& code) {
  return {{"library", 1}, {"action", 603}, {"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}},
          {"args", {code}}, {"applies_to", "self"}};
}

TEST(SoundRun, ABuiltGamePlaysAndStopsItsSoundHeadless) {
  test::ScratchDir dir;
  nlohmann::json obj = {
      {"events",
       {{{"type", "create"},
         {"actions",
          {Code("sound_loop(snd_beep); sound_volume(snd_beep, 0.5); sound_pan(snd_beep, -0.5);"
                "show_debug_message('playing ' + string(sound_isplaying(snd_beep)) + ' kind ' + "
                "string(sound_get_kind(snd_beep))); t = 0;")}}},
        {{"type", "step"},
         {"number", 0},
         {"actions",
          {Code("t += 1; if (t == 3) { sound_stop(snd_beep); show_debug_message('stopped ' + "
                "string(sound_isplaying(snd_beep))); }")}}}}}};
  nlohmann::json room = {{"width", 32}, {"height", 32}, {"speed", 60},
                         {"instances", {{{"x", 0}, {"y", 0}, {"object", "obj"}, {"id", 100001}}}}, {"tiles", nlohmann::json::array()}};
  test::WriteProject(dir.path(),
                     {{"game_id", 3}, {"debug", true}, {"room_order", {"rm"}}, {"sounds", {"snd_beep"}},
                      {"objects", {"obj"}}, {"rooms", {"rm"}}},
                     {{"sounds/snd_beep.wav", Wav()},
                      {"sounds/snd_beep.json", R"({"kind": 0, "file": "sounds/snd_beep.wav"})"},
                      {"objects/obj.json", obj.dump()},
                      {"rooms/rm.json", room.dump()}});
  const std::string game = test::BuildDataOnly(dir.path()).string();
  const std::string run = std::string("cd ") + dir.path().string() + " && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ";
  std::string out;
  ASSERT_EQ(test::RunProcess(run + "ALSOFT_DRIVERS=null " KESTRO_BINARY " run --steps 5 " + game + " 2>&1", &out), 0) << out;
  EXPECT_NE(out.find("playing 1 kind 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("stopped 0\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("No sound device"), std::string::npos) << out;

  // No audio device: silence, kind 3, the note once and only with --verbose.
  ASSERT_EQ(test::RunProcess(run + "ALSOFT_DRIVERS=none " KESTRO_BINARY " run --steps 5 " + game + " --verbose 2>&1", &out), 0)
      << out;
  EXPECT_NE(out.find("playing 0 kind 3\n"), std::string::npos) << out;
  const size_t note = out.find("No sound device detected. Sounds might not play.");
  EXPECT_NE(note, std::string::npos) << out;
  EXPECT_EQ(out.find("No sound device", note + 1), std::string::npos) << out;
  ASSERT_EQ(test::RunProcess(run + "ALSOFT_DRIVERS=none " KESTRO_BINARY " run --steps 5 " + game + " 2>&1", &out), 0) << out;
  EXPECT_EQ(out.find("No sound device"), std::string::npos) << out;
}

}  // namespace
}  // namespace kestro
