#include "platform/al/SoundDecoder.h"

#include <sndfile.h>
#include <fluidsynth.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace kestro::platform {

namespace {

// Limits that keep damaged headers from asking for absurd work.
constexpr int kMaxChannels = 8;
constexpr int kMaxRate = 384000;

// libsndfile reading from bytes in memory.
struct RMemoryFile {
  const uint8_t* data;
  sf_count_t size;
  sf_count_t pos = 0;
};

sf_count_t MemLength(void* u) { return static_cast<RMemoryFile*>(u)->size; }
sf_count_t MemSeek(sf_count_t offset, int whence, void* u) {
  auto* m = static_cast<RMemoryFile*>(u);
  sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->size;
  sf_count_t p = base + offset;
  if (offset > 0 && p < base) return -1;  // overflow
  if (p < 0 || p > m->size) return -1;
  m->pos = p;
  return p;
}
sf_count_t MemRead(void* ptr, sf_count_t count, void* u) {
  auto* m = static_cast<RMemoryFile*>(u);
  if (count <= 0) return 0;
  sf_count_t n = std::min(count, m->size - m->pos);
  if (n <= 0) return 0;
  std::memcpy(ptr, m->data + m->pos, size_t(n));
  m->pos += n;
  return n;
}
sf_count_t MemWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t MemTell(void* u) { return static_cast<RMemoryFile*>(u)->pos; }

SF_VIRTUAL_IO g_memoryIo = {MemLength, MemSeek, MemRead, MemWrite, MemTell};

// RIFF WAVE data whose header cannot be right never reaches libsndfile: some such headers keep it
// busy for minutes.
bool DamagedWav(const uint8_t* data, size_t size) {
  RWavData wav;
  return ReadPlainWav(data, size, wav) == EWavCheck::kDamaged;
}

bool Sensible(const SF_INFO& info) {
  return info.channels >= 1 && info.channels <= kMaxChannels && info.samplerate >= 1 && info.samplerate <= kMaxRate &&
         info.frames >= 0;
}

// An open libsndfile handle with the memory it reads from.
class CSndStream : public IPcmStream {
 public:
  // From memory: the bytes are shared so a stream outlives the sound that made it.
  explicit CSndStream(std::shared_ptr<const std::vector<uint8_t>> bytes) : bytes_(std::move(bytes)) {
    mem_ = {bytes_->data(), sf_count_t(bytes_->size())};
    if (DamagedWav(bytes_->data(), bytes_->size())) return;
    file_ = sf_open_virtual(&g_memoryIo, SFM_READ, &info_, &mem_);
    Check();
  }
  explicit CSndStream(const std::string& path) {
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    Check();
  }
  ~CSndStream() override {
    if (file_) sf_close(file_);
  }
  bool ok() const { return file_ != nullptr; }
  const SF_INFO& info() const { return info_; }
  int Channels() const override { return info_.channels; }
  int Rate() const override { return info_.samplerate; }
  int64_t Read(int16_t* out, int64_t frames) override {
    if (!file_ || frames <= 0) return 0;
    sf_count_t n = sf_readf_short(file_, out, frames);
    return n > 0 ? n : 0;
  }
  bool Rewind() override { return file_ && sf_seek(file_, 0, SEEK_SET) == 0; }

 private:
  void Check() {
    if (file_ && !Sensible(info_)) {
      sf_close(file_);
      file_ = nullptr;
    }
  }
  std::shared_ptr<const std::vector<uint8_t>> bytes_;
  RMemoryFile mem_{nullptr, 0};
  SF_INFO info_{};
  SNDFILE* file_ = nullptr;
};

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// A variable-length quantity inside [p, end); false when it runs past the end or over 4 bytes.
bool ReadVarLen(const uint8_t*& p, const uint8_t* end, uint32_t& v) {
  v = 0;
  for (int i = 0; i < 4; ++i) {
    if (p >= end) return false;
    uint8_t b = *p++;
    v = (v << 7) | (b & 0x7f);
    if (!(b & 0x80)) return true;
  }
  return false;
}

bool TrackValid(const uint8_t* p, const uint8_t* end) {
  uint8_t status = 0;
  while (p < end) {
    uint32_t delta;
    if (!ReadVarLen(p, end, delta) || p >= end) return false;
    uint8_t b = *p;
    if (b == 0xff) {  // meta event
      if (end - p < 2) return false;
      uint8_t type = p[1];
      p += 2;
      uint32_t len;
      if (!ReadVarLen(p, end, len) || len > uint32_t(end - p)) return false;
      p += len;
      if (type == 0x2f) return true;  // end of track
      continue;
    }
    if (b == 0xf0 || b == 0xf7) {  // system exclusive
      ++p;
      uint32_t len;
      if (!ReadVarLen(p, end, len) || len > uint32_t(end - p)) return false;
      p += len;
      continue;
    }
    if (b & 0x80) {
      if (b >= 0xf0) return false;  // system messages do not belong in a file
      status = b;
      ++p;
    } else if (!status) {
      return false;  // running status without a status
    }
    const int hi = status & 0xf0;
    const int bytes = (hi == 0xc0 || hi == 0xd0) ? 1 : 2;
    if (end - p < bytes) return false;
    for (int i = 0; i < bytes; ++i)
      if (p[i] & 0x80) return false;
    p += bytes;
  }
  return true;  // a track without its end marker is still playable
}

void QuietFluidSynth() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = 0; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
  });
}

}  // namespace

bool MidiFileValid(const uint8_t* data, size_t size) {
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0 || Be32(data + 4) < 6) return false;
  const uint8_t* p = data + 8;
  const uint8_t* end = data + size;
  uint32_t headerLen = Be32(data + 4);
  if (headerLen > size_t(end - p)) return false;
  const int format = p[0] << 8 | p[1];
  const int tracks = p[2] << 8 | p[3];
  const int division = p[4] << 8 | p[5];
  if (format > 2 || tracks < 1 || division == 0) return false;
  p += headerLen;
  int found = 0;
  while (end - p >= 8 && found < tracks) {
    uint32_t len = Be32(p + 4);
    bool isTrack = std::memcmp(p, "MTrk", 4) == 0;
    p += 8;
    if (len > size_t(end - p)) return false;
    if (isTrack) {
      if (!TrackValid(p, p + len)) return false;
      ++found;
    }
    p += len;
  }
  return found == tracks;
}

EWavCheck ReadPlainWav(const uint8_t* data, size_t size, RWavData& out, uint64_t total) {
  out = RWavData();
  if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    return EWavCheck::kOther;
  total = std::max<uint64_t>(total, size);
  // The RIFF size is not trusted (writers that stream leave it wrong): the chunks are read up to the end
  // of the bytes. A chunk before the samples that runs past the end leaves the file without samples;
  // past the part given (of a longer file), nothing more is known.
  const uint8_t* fmt = nullptr;
  size_t pos = 12;
  auto runsPast = [&](uint64_t end) { return end > total ? EWavCheck::kDamaged : EWavCheck::kOther; };
  while (size - pos >= 8) {
    const uint8_t* chunk = data + pos;
    const uint32_t length = Le32(chunk + 4);
    const size_t body = pos + 8;
    const size_t left = size - body;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length > left) return runsPast(uint64_t(body) + length);
      // A second format, or a short one: libsndfile's verdict.
      if (fmt || length < 16) return EWavCheck::kOther;
      fmt = data + body;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!fmt) return EWavCheck::kOther;  // samples before their format
      const unsigned tag = Le16(fmt), channels = Le16(fmt + 2), blockAlign = Le16(fmt + 12), bits = Le16(fmt + 14);
      const uint32_t rate = Le32(fmt + 4);
      if (tag != 1 && tag != 3) return EWavCheck::kOther;
      if (channels == 0 || rate == 0 || rate > uint32_t(kMaxRate) || bits == 0 ||
          blockAlign != channels * ((bits + 7) / 8))
        return EWavCheck::kDamaged;
      const uint64_t frames = std::min<uint64_t>(length, total - body) / blockAlign;
      if (frames == 0) return EWavCheck::kDamaged;
      const bool plain = tag == 1 ? bits == 8 || bits == 16 : bits == 32;
      // The samples are handed on as they lie: little-endian machines only; others go through libsndfile.
      if (!plain || channels > 2 || std::endian::native != std::endian::little || frames * blockAlign > left)
        return EWavCheck::kOther;
      out.sample = tag == 3 ? EWavSample::kF32 : bits == 8 ? EWavSample::kU8 : EWavSample::kS16;
      out.channels = int(channels);
      out.rate = int(rate);
      out.samples = data + body;
      out.frames = int64_t(frames);
      return EWavCheck::kPlain;
    }
    // Chunks are padded to an even length.
    const uint64_t step = uint64_t(length) + (length & 1);
    if (step >= left) return runsPast(uint64_t(body) + step);
    pos = body + size_t(step);
  }
  // No data chunk: none in the file, or none in the part given.
  return size < total ? EWavCheck::kOther : EWavCheck::kDamaged;
}

ESoundData ProbeSound(const uint8_t* data, size_t size, int64_t* frames, int* rate) {
  if (!data || size == 0 || DamagedWav(data, size)) return ESoundData::kUnknown;
  if (size >= 4 && std::memcmp(data, "MThd", 4) == 0)
    return MidiFileValid(data, size) ? ESoundData::kMidi : ESoundData::kUnknown;
  RMemoryFile mem{data, sf_count_t(size)};
  SF_INFO info{};
  SNDFILE* f = sf_open_virtual(&g_memoryIo, SFM_READ, &info, &mem);
  if (!f) return ESoundData::kUnknown;
  sf_close(f);
  if (!Sensible(info)) return ESoundData::kUnknown;
  if (frames) *frames = info.frames;
  if (rate) *rate = info.samplerate;
  return ESoundData::kSampled;
}

bool DecodeSound(const uint8_t* data, size_t size, RPcm& out, int64_t maxFrames, int64_t streamSeconds,
                 bool* longSound) {
  out = RPcm();
  if (longSound) *longSound = false;
  if (!data || size == 0 || DamagedWav(data, size)) return false;
  RMemoryFile mem{data, sf_count_t(size)};
  SF_INFO info{};
  SNDFILE* f = sf_open_virtual(&g_memoryIo, SFM_READ, &info, &mem);
  if (!f) return false;
  if (!Sensible(info)) {
    sf_close(f);
    return false;
  }
  if (streamSeconds > 0 && info.frames > streamSeconds * info.samplerate) {
    sf_close(f);
    if (longSound) *longSound = true;
    return false;
  }
  out.channels = info.channels;
  out.rate = info.samplerate;
  // The header's frame count is a hint only (it may be unknown or lie): read in chunks, never
  // more than maxFrames, and stop at the first read that gives nothing.
  constexpr int64_t kChunk = 16384;
  if (info.frames > 0 && info.frames <= maxFrames) out.samples.reserve(size_t(info.frames) * size_t(info.channels));
  int64_t total = 0;
  bool tooLong = false;
  while (true) {
    int64_t want = std::min(kChunk, maxFrames + 1 - total);
    if (want <= 0) {
      tooLong = true;
      break;
    }
    const int64_t room = int64_t(out.samples.capacity() / size_t(info.channels)) - total;
    if (room <= 0) {
      // The announced length is read (or none was announced): one frame says whether more follows,
      // without growing the samples for a read that gives nothing.
      int16_t frame[kMaxChannels];
      if (sf_readf_short(f, frame, 1) != 1) break;
      out.samples.insert(out.samples.end(), frame, frame + info.channels);
      ++total;
      continue;
    }
    want = std::min(want, room);
    size_t at = out.samples.size();
    out.samples.resize(at + size_t(want) * size_t(info.channels));
    sf_count_t n = sf_readf_short(f, out.samples.data() + at, want);
    if (n <= 0) {
      out.samples.resize(at);
      break;
    }
    out.samples.resize(at + size_t(n) * size_t(info.channels));
    total += n;
  }
  sf_close(f);
  if (tooLong || total == 0) {
    out = RPcm();
    return false;
  }
  return true;
}

std::unique_ptr<IPcmStream> OpenSampledStream(std::shared_ptr<const std::vector<uint8_t>> bytes) {
  if (!bytes || bytes->empty()) return nullptr;
  auto s = std::make_unique<CSndStream>(std::move(bytes));
  if (!s->ok()) return nullptr;
  return s;
}

std::unique_ptr<IPcmStream> OpenSampledFile(const std::string& file) {
  auto s = std::make_unique<CSndStream>(file);
  if (!s->ok()) return nullptr;
  return s;
}

std::string FindSoundFont() {
  std::error_code ec;
  if (const char* env = std::getenv("KESTRO_SOUNDFONT"); env && *env) return env;
  for (const char* p : {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
                        "/usr/share/soundfonts/default.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"})
    if (std::filesystem::is_regular_file(p, ec)) return p;
  return {};
}

struct CMidiSynth::RImpl {
  int rate;
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  bool triedFont = false;
  bool hasFont = false;
};

namespace {

// A MIDI file played by the device's synthesizer; rendering advances its player.
class CMidiStream : public IPcmStream {
 public:
  CMidiStream(fluid_synth_t* synth, int rate, std::shared_ptr<const std::vector<uint8_t>> bytes, double tempo)
      : synth_(synth), rate_(rate), bytes_(std::move(bytes)), tempo_(tempo) {
    Start();
  }
  ~CMidiStream() override { Drop(); }
  bool ok() const { return player_ != nullptr; }
  int Channels() const override { return 2; }
  int Rate() const override { return rate_; }
  int64_t Read(int16_t* out, int64_t frames) override {
    if (!player_ || fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) return 0;
    // The player reports the end of a file seconds after its last event; the music is over once
    // the last tick is reached and its notes have had half a second to fade.
    const int total = fluid_player_get_total_ticks(player_);
    if (total > 0 && fluid_player_get_current_tick(player_) >= total) {
      if (tail_ >= rate_ / 2) return 0;
      tail_ += std::min<int64_t>(frames, 8192);
    }
    // The synthesizer renders at most this many frames per call.
    const int64_t n = std::min<int64_t>(frames, 8192);
    if (fluid_synth_write_s16(synth_, int(n), out, 0, 2, out, 1, 2) != FLUID_OK) return 0;
    return n;
  }
  bool Rewind() override {
    Drop();
    Start();
    return player_ != nullptr;
  }
  void SetTempo(double factor) override {
    tempo_ = factor;
    if (player_) fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, factor);
  }

 private:
  void Start() {
    tail_ = 0;
    fluid_synth_system_reset(synth_);
    player_ = new_fluid_player(synth_);
    if (!player_) return;
    if (fluid_player_add_mem(player_, bytes_->data(), bytes_->size()) != FLUID_OK || fluid_player_play(player_) != FLUID_OK) {
      Drop();
      return;
    }
    fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, tempo_);
  }
  void Drop() {
    if (!player_) return;
    fluid_player_stop(player_);
    delete_fluid_player(player_);
    player_ = nullptr;
    fluid_synth_all_sounds_off(synth_, -1);
  }
  fluid_synth_t* synth_;
  int rate_;
  std::shared_ptr<const std::vector<uint8_t>> bytes_;
  double tempo_;
  fluid_player_t* player_ = nullptr;
  int64_t tail_ = 0;
};

}  // namespace

CMidiSynth::CMidiSynth(int rate) : impl_(std::make_unique<RImpl>()) {
  QuietFluidSynth();
  impl_->rate = rate;
  impl_->settings = new_fluid_settings();
  if (!impl_->settings) return;
  fluid_settings_setnum(impl_->settings, "synth.sample-rate", rate);
  // The player follows the rendered samples, not the wall clock, so a stream renders the same
  // music however fast it is read.
  fluid_settings_setstr(impl_->settings, "player.timing-source", "sample");
  fluid_settings_setint(impl_->settings, "synth.lock-memory", 0);
  fluid_settings_setint(impl_->settings, "synth.threadsafe-api", 1);
  impl_->synth = new_fluid_synth(impl_->settings);
}

CMidiSynth::~CMidiSynth() {
  if (impl_->synth) delete_fluid_synth(impl_->synth);
  if (impl_->settings) delete_fluid_settings(impl_->settings);
}

bool CMidiSynth::HasSoundFont() {
  if (!impl_->triedFont && impl_->synth) {
    impl_->triedFont = true;
    std::string font = FindSoundFont();
    impl_->hasFont = !font.empty() && fluid_synth_sfload(impl_->synth, font.c_str(), 1) != FLUID_FAILED;
  }
  return impl_->hasFont;
}

std::unique_ptr<IPcmStream> CMidiSynth::Open(std::shared_ptr<const std::vector<uint8_t>> bytes, double tempo) {
  if (!impl_->synth || !bytes || !MidiFileValid(bytes->data(), bytes->size())) return nullptr;
  HasSoundFont();  // without a font the music plays silently, with its right length
  auto s = std::make_unique<CMidiStream>(impl_->synth, impl_->rate, std::move(bytes), tempo);
  if (!s->ok()) return nullptr;
  return s;
}

}  // namespace kestro::platform
