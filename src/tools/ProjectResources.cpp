#include "tools/ProjectResources.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>

#include "platform/posix/Files.h"
#include "script/Designators.h"
#include "tools/Builder.h"

namespace kestro::tools {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Faults in a project are reported with the file they were found in.
struct EProject : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& what) { throw EProject(what); }

// ---------------------------------------------------------------------------------------------
// Names of things in the project.

struct RKindInfo {
  const char* key;     // manifest key
  const char* folder;  // folder of the resource files
  const char* single;  // a resource of the kind, for messages and generated file names
};

const RKindInfo kSprites{"sprites", "sprites", "sprite"};
const RKindInfo kBackgrounds{"backgrounds", "backgrounds", "background"};
const RKindInfo kSounds{"sounds", "sounds", "sound"};
const RKindInfo kPaths{"paths", "paths", "path"};
const RKindInfo kScripts{"scripts", "scripts", "script"};
const RKindInfo kFonts{"fonts", "fonts", "font"};
const RKindInfo kTimeLines{"time_lines", "time_lines", "time line"};
const RKindInfo kObjects{"objects", "objects", "object"};
const RKindInfo kRooms{"rooms", "rooms", "room"};
const RKindInfo kTriggers{"triggers", "triggers", "trigger"};
const RKindInfo kExtensions{"extensions", "extensions", "extension package"};

const char* kActionKinds[] = {"normal", "begin", "end", "else", "exit", "repeat", "variable", "code"};
const char* kExecTypes[] = {"none", "function", "code"};
const char* kEventTypes[] = {"create", "destroy", "alarm", "step", "collision", "keyboard",
                             "mouse", "other", "draw", "key_press", "key_release", "trigger"};
const char* kMaskShapes[] = {"precise", "rectangle", "ellipse", "diamond"};
const char* kPathKinds[] = {"straight", "smooth"};
const char* kEffects[] = {"chorus", "echo", "flanger", "gargle", "reverb", "compressor",
                          "equalizer", "distortion", "i3dl2_reverb"};
const char* kExportActions[] = {"none", "temporary_folder", "working_folder", "folder"};

// A number of a project file that must fit in an int.
int Whole(const json& j, const std::string& what) {
  int v = 0;
  if (!JsonToInteger(j, v)) Fail(IntegerRangeMessage<int>(what));
  return v;
}

// A number written as a name from `names` when it has one, else as the number.
template <size_t N>
json EnumOut(int v, const char* (&names)[N]) {
  if (v >= 0 && size_t(v) < N) return names[v];
  return v;
}
template <size_t N>
int EnumIn(const json& j, const char* (&names)[N], const char* what) {
  if (j.is_number()) return Whole(j, what);
  if (j.is_string())
    for (size_t i = 0; i < N; ++i)
      if (j.get<std::string>() == names[i]) return int(i);
  Fail(std::string("unknown ") + what + " " + j.dump());
}

template <typename T>
T Get(const json& j, const char* key, T def) {
  auto it = j.find(key);
  if (it == j.end() || it->is_null()) return def;
  if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
    T v{};
    if (!JsonToInteger(*it, v)) Fail(IntegerRangeMessage<T>(key));
    return v;
  }
  try {
    return it->get<T>();
  } catch (const json::exception&) {
    Fail(std::string("\"") + key + "\" has the wrong type");
  }
}

// Multi-line texts (code) are written as arrays of lines, joined with the project's line break.
struct RText {
  bool crlf = false;
  const char* Break() const { return crlf ? "\r\n" : "\n"; }
};

json TextOut(const std::string& text, const RText& t) {
  if (text.find_first_of("\r\n") == std::string::npos) return text;
  std::vector<std::string> lines;
  std::string br = t.Break();
  size_t start = 0;
  for (;;) {
    size_t at = text.find(br, start);
    lines.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + br.size();
  }
  for (const std::string& l : lines)
    if (l.find_first_of("\r\n") != std::string::npos) return text;  // mixed line breaks: kept as is
  return lines;
}

std::string TextIn(const json& j, const RText& t) {
  if (j.is_null()) return {};
  if (j.is_string()) return j.get<std::string>();
  if (!j.is_array()) Fail("a text must be a string or a list of lines");
  std::string out;
  for (size_t i = 0; i < j.size(); ++i) {
    if (!j[i].is_string()) Fail("a text must be a string or a list of lines");
    if (i) out += t.Break();
    out += j[i].get<std::string>();
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Files.

std::vector<uint8_t> ReadFile(const fs::path& file) {
  std::vector<uint8_t> bytes;
  const os::ReadStatus status = os::ReadFile(file.string(), bytes);
  if (status != os::ReadStatus::kOk) Fail(file.string() + ": " + os::ReadStatusText(status));
  return bytes;
}

void WriteFile(const fs::path& file, const void* data, size_t n) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out || !out.write(static_cast<const char*>(data), std::streamsize(n)))
    Fail(file.string() + ": cannot be written");
}
void WriteFile(const fs::path& file, const std::string& s) { WriteFile(file, s.data(), s.size()); }
void WriteFile(const fs::path& file, const std::vector<uint8_t>& b) { WriteFile(file, b.data(), b.size()); }

json ReadJson(const fs::path& file) {
  std::ifstream in(file);
  if (!in) Fail(file.string() + ": cannot be read");
  try {
    return json::parse(in);
  } catch (const json::parse_error& e) {
    Fail(file.string() + ": " + e.what());
  }
}

fs::path Resolve(const CProject& p, const std::string& rel) {
  fs::path out;
  std::string error;
  if (!p.Resolve(rel, out, error)) Fail(error);
  return out;
}

TBitmap32 ReadPicture(const CProject& p, const json& j) {
  TBitmap32 bm;
  if (j.is_null()) return bm;
  if (!j.is_string()) Fail("a picture must name a PNG file");
  std::string error;
  if (!bm.LoadFromPng(Resolve(p, j.get<std::string>()), error)) Fail(error);
  return bm;
}

// ---------------------------------------------------------------------------------------------
// Resource lists in the manifest: one entry per slot, null for an empty slot, the name, or
// {"name": ..., "file": ...} when the name does not make a usable file name.

struct REntry {
  bool exists = false;
  std::string name;
  std::string stem;
};

bool UsableStem(const std::string& s) {
  if (s.empty() || s.size() > 100 || s[0] == '.' || s[0] == '-') return false;
  for (unsigned char c : s)
    if (!std::isalnum(c) && c != '_' && c != '-' && c != '.' && c != ' ') return false;
  return s.back() != ' ' && s.back() != '.';
}

std::vector<REntry> ReadEntries(const CProject& p, const RKindInfo& kind) {
  std::vector<REntry> out;
  auto it = p.manifest.find(kind.key);
  if (it == p.manifest.end() || it->is_null()) return out;
  if (!it->is_array()) Fail(std::string("\"") + kind.key + "\" must be a list");
  for (const json& e : *it) {
    REntry r;
    if (e.is_string()) {
      r.exists = true;
      r.name = r.stem = e.get<std::string>();
    } else if (e.is_object()) {
      r.exists = true;
      r.name = Get<std::string>(e, "name", "");
      r.stem = Get<std::string>(e, "file", r.name);
    } else if (!e.is_null()) {
      Fail(std::string("entries of \"") + kind.key + "\" must be names, objects or null");
    }
    if (r.exists && !UsableStem(r.stem))
      Fail(std::string(kind.single) + " '" + r.name + "' needs a \"file\" name made of letters, digits, '_', '-', '.'");
    out.push_back(r);
  }
  return out;
}

// File stems for unpacking: the name when usable and not taken (file systems may ignore case),
// else the kind and slot.
std::vector<json> MakeEntries(const std::vector<std::pair<bool, std::string>>& slots, const RKindInfo& kind,
                              std::vector<std::string>& stems) {
  std::set<std::string> taken;
  auto lower = [](std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  std::vector<json> out;
  stems.assign(slots.size(), "");
  for (size_t i = 0; i < slots.size(); ++i) {
    if (!slots[i].first) {
      out.push_back(nullptr);
      continue;
    }
    const std::string& name = slots[i].second;
    std::string stem = name;
    if (!UsableStem(stem) || taken.count(lower(stem))) {
      std::string base = std::string(kind.single) + "_" + std::to_string(i);
      for (char& c : base)
        if (c == ' ') c = '_';
      stem = base;
      for (int k = 2; taken.count(lower(stem)); ++k) stem = base + "_" + std::to_string(k);
    }
    taken.insert(lower(stem));
    stems[i] = stem;
    if (stem == name)
      out.push_back(name);
    else
      out.push_back(json{{"name", name}, {"file", stem}});
  }
  return out;
}

template <typename T>
std::vector<std::pair<bool, std::string>> Slots(const CResourceList<T>& list) {
  std::vector<std::pair<bool, std::string>> out;
  for (int i = 0; i < list.Count(); ++i) out.emplace_back(list.Exists(i), list.Exists(i) ? list.Name(i) : "");
  return out;
}

// References to other resources: a name, a slot number, or null for none (-1).
struct RNames {
  std::vector<REntry> entries;
  const char* what = "";
  int Find(const std::string& n) const {
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].exists && entries[i].name == n) return int(i);
    return -1;
  }
};

int RefIn(const json& j, const RNames& names) {
  if (j.is_null()) return -1;
  if (j.is_number()) return Whole(j, names.what);
  if (j.is_string()) {
    int i = names.Find(j.get<std::string>());
    if (i < 0) Fail(std::string("unknown ") + names.what + " '" + j.get<std::string>() + "'");
    return i;
  }
  Fail(std::string("a reference to a ") + names.what + " must be a name, a number or null");
}

template <typename T>
json RefOut(int i, const CResourceList<T>& list) {
  if (i == -1) return nullptr;
  if (list.Exists(i) && list.Find(list.Name(i)) == i) return list.Name(i);
  return i;
}

// ---------------------------------------------------------------------------------------------
// Reading the project.

struct CReader {
  const CProject& p;
  CGameResources& res;
  RText text;
  RNames sprites, backgrounds, sounds, paths, scripts, fonts, timelines, objects, rooms, triggers;
  std::string context;  // the file being read, for messages

  fs::path ResourceFile(const RKindInfo& kind, const REntry& e, const char* ext) const {
    return Resolve(p, std::string(kind.folder) + "/" + e.stem + ext);
  }

  template <typename T, typename F>
  void ReadList(const RKindInfo& kind, const RNames& names, CResourceList<T>& list, F read) {
    list.Clear();
    for (const REntry& e : names.entries) {
      if (!e.exists) {
        list.Add(nullptr, "");
        continue;
      }
      auto obj = std::make_unique<T>();
      read(*obj, e);
      list.Add(std::move(obj), e.name);
    }
    (void)kind;
  }

  json ResourceJson(const RKindInfo& kind, const REntry& e) {
    fs::path file = ResourceFile(kind, e, ".json");
    context = file.string();
    return ReadJson(file);
  }

  CAction ReadAction(const json& j) {
    CAction a;
    a.act_libid = Get<int>(j, "library", 0);
    a.act_id = Get<int>(j, "action", 0);
    a.act_kind = j.contains("kind") ? EnumIn(j["kind"], kActionKinds, "action kind") : kActNormal;
    a.act_userelative = Get<bool>(j, "has_relative", false);
    a.act_isquestion = Get<bool>(j, "question", false);
    a.act_useapplyto = Get<bool>(j, "has_applies_to", false);
    a.act_exetype = j.contains("exec") ? EnumIn(j["exec"], kExecTypes, "execution type") : kExeNone;
    a.act_funcname = Get<std::string>(j, "function", "");
    a.act_codestring = j.contains("code") ? TextIn(j["code"], text) : "";
    std::vector<int> kinds = Get<std::vector<int>>(j, "arg_kinds", {});
    json args = j.value("args", json::array());
    if (kinds.size() > kMaxActionArgs || !args.is_array() || args.size() > kMaxActionArgs)
      Fail("an action has at most 8 arguments");
    for (size_t i = 0; i < kinds.size(); ++i) a.act_argtype[i] = kinds[i];
    for (size_t i = 0; i < args.size(); ++i) a.act_argstring[i] = TextIn(args[i], text);
    a.storedArgTypes = int(kinds.size());
    a.storedArgStrings = int(args.size());
    a.act_argumentcount = Get<int>(j, "arg_count", int(std::max(kinds.size(), args.size())));
    if (a.act_argumentcount < 0 || a.act_argumentcount > kMaxActionArgs) Fail("\"arg_count\" must be 0 to 8");
    a.act_who = kDesignatorSelf;
    if (auto w = j.find("applies_to"); w != j.end()) {
      if (*w == "self")
        a.act_who = kDesignatorSelf;
      else if (*w == "other")
        a.act_who = kDesignatorOther;
      else
        a.act_who = RefIn(*w, objects);
    }
    a.act_relative = Get<bool>(j, "relative", false);
    a.act_isnot = Get<bool>(j, "not", false);
    return a;
  }

  CEvent ReadEvent(const json& actions) {
    CEvent ev;
    if (actions.is_null()) return ev;
    if (!actions.is_array()) Fail("\"actions\" must be a list");
    for (const json& a : actions) ev.e_actions.push_back(ReadAction(a));
    ev.e_number = int(ev.e_actions.size());
    return ev;
  }

  void ReadSprite(CSprite& spr, const REntry& e) {
    json j = ResourceJson(kSprites, e);
    std::vector<int> origin = Get<std::vector<int>>(j, "origin", {0, 0});
    if (origin.size() != 2) Fail("\"origin\" must be [x, y]");
    spr.i_xorig = origin[0];
    spr.i_yorig = origin[1];
    json frames = j.value("frames", json::array());
    if (!frames.is_array()) Fail("\"frames\" must be a list of PNG files");
    std::vector<std::string> treatments = Get<std::vector<std::string>>(j, "treatments", {});
    for (const json& f : frames) {
      TBitmap32 bm = ReadPicture(p, f);
      ApplyTreatments(bm, treatments);
      spr.i_bitmap.push_back(std::move(bm));
    }
    spr.i_numb = int(spr.i_bitmap.size());
    spr.i_tex.assign(size_t(spr.i_numb), -1);
    json m = j.value("mask", json::object());
    RMaskParams mp;
    mp.sepmasks = Get<bool>(m, "separate", false);
    if (auto ex = m.find("explicit"); ex != m.end()) {
      // Masks given as pictures (solid where opaque) with their boxes, as unpacked from a game
      // whose masks no settings reproduce.
      spr.i_sepmasks = mp.sepmasks;
      for (const json& mj : *ex) {
        TMask mask;
        TBitmap32 pic = ReadPicture(p, mj.value("file", json()));
        int w = Get<int>(mj, "width", pic.Width()), h = Get<int>(mj, "height", pic.Height());
        if (w < 0 || h < 0 || w > kMaxBitmapSide || h > kMaxBitmapSide) Fail("mask size out of range");
        mask.Resize(w, h);
        for (int x = 0; x < w; ++x)
          for (int y = 0; y < h; ++y) mask.Set(x, y, pic.GetPixel(x, y).a > 127);
        std::vector<int> b = Get<std::vector<int>>(mj, "bbox", {0, 0, 0, 0});
        if (b.size() != 4) Fail("\"bbox\" must be [left, top, right, bottom]");
        mask.i_bbox = {b[0], b[1], b[2], b[3]};
        spr.i_mask.push_back(std::move(mask));
      }
      size_t want = spr.i_numb == 0 ? 0 : spr.i_sepmasks ? size_t(spr.i_numb) : 1;
      if (spr.i_mask.size() != want) Fail("\"explicit\" must list " + std::to_string(want) + " masks");
      spr.ComputeBoundingBox();
      return;
    }
    mp.kind = m.contains("shape") ? EnumIn(m["shape"], kMaskShapes, "mask shape") : kMaskPrecise;
    mp.tolerance = Get<int>(m, "tolerance", 0);
    if (mp.tolerance < 0 || mp.tolerance > 255) Fail("\"tolerance\" must be 0 to 255");
    json box = m.value("bbox", json("automatic"));
    if (box == "automatic") {
      mp.bbmode = kBoxAutomatic;
    } else if (box == "full") {
      mp.bbmode = kBoxFull;
    } else {
      std::vector<int> b;
      try {
        b = box.get<std::vector<int>>();
      } catch (const json::exception&) {
      }
      if (b.size() != 4) Fail("\"bbox\" must be \"automatic\", \"full\" or [left, top, right, bottom]");
      mp.bbmode = kBoxManual;
      mp.bbox = {b[0], b[1], b[2], b[3]};
    }
    spr.ComputeMask(mp);
  }

  static void ApplyTreatments(TBitmap32& bm, const std::vector<std::string>& list) {
    for (const std::string& t : list) {
      if (t == "remove_background")
        bm.RemoveBackground();
      else if (t == "smooth_edges")
        bm.SmoothEdges();
      else if (t == "bleed_colours")
        bm.BleedColours();
      else if (t == "make_opaque")
        bm.MakeOpaque();
      else
        Fail("unknown picture treatment '" + t + "'");
    }
  }

  void ReadBackground(CBackground& bg, const REntry& e) {
    json j = ResourceJson(kBackgrounds, e);
    bg.i_bitmap = ReadPicture(p, j.value("image", json()));
    ApplyTreatments(bg.i_bitmap, Get<std::vector<std::string>>(j, "treatments", {}));
  }

  void ReadSound(CSound& s, const REntry& e) {
    json j = ResourceJson(kSounds, e);
    s.s_kind = Get<int>(j, "kind", 0);
    s.s_extension = Get<std::string>(j, "extension", "");
    s.s_origname = Get<std::string>(j, "original_name", "");
    if (auto f = j.find("file"); f != j.end() && !f->is_null()) {
      fs::path file = Resolve(p, f->get<std::string>());
      s.s_sound = ReadFile(file);
      if (!j.contains("extension")) s.s_extension = file.extension().string();
      if (!j.contains("original_name")) s.s_origname = file.filename().string();
    }
    s.s_effects = 0;
    for (const json& fx : j.value("effects", json::array())) {
      if (fx.is_number())
        s.s_effects |= Whole(fx, "sound effect");
      else
        s.s_effects |= 1 << EnumIn(fx, kEffects, "sound effect");
    }
    s.s_volume = Get<double>(j, "volume", 1);
    s.s_pan = Get<double>(j, "pan", 0);
    s.s_preload = Get<bool>(j, "preload", true);
  }

  void ReadPath(CPath& path, const REntry& e) {
    json j = ResourceJson(kPaths, e);
    path.i_kind = j.contains("kind") ? EnumIn(j["kind"], kPathKinds, "path kind") : 0;
    path.i_closed = Get<bool>(j, "closed", true);
    path.i_precision = Get<int>(j, "precision", 4);
    for (const std::vector<double>& pt : Get<std::vector<std::vector<double>>>(j, "points", {})) {
      if (pt.size() != 2 && pt.size() != 3) Fail("path points are [x, y] or [x, y, speed]");
      path.i_points.push_back({pt[0], pt[1], pt.size() == 3 ? pt[2] : 100.0});
    }
    path.i_count = int(path.i_points.size());
    path.Recompute();
  }

  void ReadScript(CScript& s, const REntry& e) {
    fs::path file = ResourceFile(kScripts, e, ".txt");
    context = file.string();
    std::vector<uint8_t> b = ReadFile(file);
    s.s_text.assign(b.begin(), b.end());
  }

  void ReadFont(CFont& f, const REntry& e) {
    json j = ResourceJson(kFonts, e);
    f.s_name = Get<std::string>(j, "typeface", "");
    f.s_size = Get<int>(j, "size", 12);
    f.s_bold = Get<bool>(j, "bold", false);
    f.s_italic = Get<bool>(j, "italic", false);
    f.s_charset = Get<int>(j, "charset", 1);
    f.s_AntiAlias = Get<int>(j, "antialias", 3);
    f.s_first = Get<int>(j, "first", 32);
    f.s_last = Get<int>(j, "last", 128);
    // A font that brings neither glyphs nor a sheet is rendered from its typeface, as the run-time
    // renders the fonts a game adds.
    if (!j.contains("glyphs") && (!j.contains("sheet") || j["sheet"].is_null()) && !j.contains("sheet_size")) {
      f.CreateFont(f.s_name, f.s_size, f.s_bold, f.s_italic, f.s_first, f.s_last);
      return;
    }
    for (const std::vector<int>& g : Get<std::vector<std::vector<int>>>(j, "glyphs", {})) {
      if (g.size() != 7 || g[0] < 0 || g[0] > 255) Fail("glyphs are [code, x, y, w, h, shift, offset]");
      size_t c = size_t(g[0]);
      f.s_x[c] = g[1], f.s_y[c] = g[2], f.s_w[c] = g[3], f.s_h[c] = g[4], f.s_shift[c] = g[5], f.s_offset[c] = g[6];
    }
    for (int c = 0; c < 256; ++c) f.s_FontHeight = std::max(f.s_FontHeight, int(f.s_h[size_t(c)]));
    TBitmap32 sheet = ReadPicture(p, j.value("sheet", json()));
    std::vector<int> size = Get<std::vector<int>>(j, "sheet_size", {sheet.Width(), sheet.Height()});
    if (size.size() != 2 || size[0] < 0 || size[1] < 0 || size[0] > kMaxBitmapSide || size[1] > kMaxBitmapSide)
      Fail("\"sheet_size\" must be [width, height]");
    f.s_bw = size[0];
    f.s_bh = size[1];
    f.s_bytes.assign(size_t(f.s_bw) * size_t(f.s_bh), 0);
    for (int y = 0; y < f.s_bh; ++y)
      for (int x = 0; x < f.s_bw; ++x) f.s_bytes[size_t(y) * size_t(f.s_bw) + size_t(x)] = sheet.GetPixel(x, y).a;
  }

  void ReadTimeLine(CTimeLine& tl, const REntry& e) {
    json j = ResourceJson(kTimeLines, e);
    for (const json& m : j.value("moments", json::array())) {
      tl.s_step.push_back(Get<int>(m, "step", 0));
      tl.s_event.push_back(ReadEvent(m.value("actions", json())));
    }
    tl.s_count = int(tl.s_step.size());
  }

  void ReadObject(CObject& o, const REntry& e) {
    json j = ResourceJson(kObjects, e);
    o.o_spriteindex = RefIn(j.value("sprite", json()), sprites);
    o.o_solid = Get<bool>(j, "solid", false);
    o.o_visible = Get<bool>(j, "visible", true);
    o.o_depth = Get<int>(j, "depth", 0);
    o.o_persistent = Get<bool>(j, "persistent", false);
    o.o_parent = RefIn(j.value("parent", json()), objects);
    o.o_mask = RefIn(j.value("mask", json()), sprites);
    for (const json& ev : j.value("events", json::array())) {
      int type = EnumIn(ev.value("type", json()), kEventTypes, "event type");
      json num = ev.value("number", json(0));
      int n = type == kEvCollision ? RefIn(num, objects) : type == kEvTrigger ? RefIn(num, triggers) : Whole(num, "event number");
      CEvent* slot = o.CreateEvent(type, n);
      if (!slot) Fail("event type must be 0 to 11 and its number 0 or more");
      *slot = ReadEvent(ev.value("actions", json()));
    }
  }

  void ReadRoom(CRoom& r, const REntry& e, int& nextInstance, int& nextTile) {
    json j = ResourceJson(kRooms, e);
    r.r_caption = Get<std::string>(j, "caption", "");
    r.r_width = Get<int>(j, "width", 640);
    r.r_height = Get<int>(j, "height", 480);
    r.r_speed = Get<int>(j, "speed", 30);
    r.r_persistent = Get<bool>(j, "persistent", false);
    r.r_color = Get<int>(j, "color", 0xC0C0C0);
    r.r_showcolor = Get<bool>(j, "show_color", true);
    r.r_code = TextIn(j.value("code", json()), text);
    json layers = j.value("backgrounds", json::array());
    if (!layers.is_array() || layers.size() > kRoomLayers) Fail("a room has at most 8 background layers");
    r.storedLayers = j.contains("backgrounds") ? int(layers.size()) : kRoomLayers;
    for (size_t i = 0; i < layers.size(); ++i) {
      const json& l = layers[i];
      CBack& b = r.r_background[i];
      b.visible = Get<bool>(l, "visible", false);
      b.foreground = Get<bool>(l, "foreground", false);
      b.index = RefIn(l.value("background", json()), backgrounds);
      b.x = Get<int>(l, "x", 0);
      b.y = Get<int>(l, "y", 0);
      b.htiled = Get<bool>(l, "htiled", true);
      b.vtiled = Get<bool>(l, "vtiled", true);
      b.hspeed = Get<int>(l, "hspeed", 0);
      b.vspeed = Get<int>(l, "vspeed", 0);
      b.stretch = Get<bool>(l, "stretch", false);
    }
    r.r_enableviews = Get<bool>(j, "views_enabled", false);
    json views = j.value("views", json::array());
    if (!views.is_array() || views.size() > kRoomViews) Fail("a room has at most 8 views");
    r.storedViews = j.contains("views") ? int(views.size()) : kRoomViews;
    for (size_t i = 0; i < views.size(); ++i) {
      const json& v = views[i];
      CView& w = r.r_view[i];
      w.visible = Get<bool>(v, "visible", false);
      std::vector<int> view = Get<std::vector<int>>(v, "view", {0, 0, 640, 480});
      std::vector<int> port = Get<std::vector<int>>(v, "port", {0, 0, 640, 480});
      std::vector<int> border = Get<std::vector<int>>(v, "border", {32, 32});
      std::vector<int> speed = Get<std::vector<int>>(v, "speed", {-1, -1});
      if (view.size() != 4 || port.size() != 4 || border.size() != 2 || speed.size() != 2)
        Fail("a view has \"view\" and \"port\" [x, y, w, h], \"border\" and \"speed\" [h, v]");
      w.xview = view[0], w.yview = view[1], w.wview = view[2], w.hview = view[3];
      w.xport = port[0], w.yport = port[1], w.wport = port[2], w.hport = port[3];
      w.hborder = border[0], w.vborder = border[1];
      w.hspeed = speed[0], w.vspeed = speed[1];
      w.index = RefIn(v.value("follow", json()), objects);
    }
    for (const json& in : j.value("instances", json::array())) {
      RRoomInstance ri;
      ri.x = Get<int>(in, "x", 0);
      ri.y = Get<int>(in, "y", 0);
      ri.object = RefIn(in.value("object", json()), objects);
      ri.id = in.contains("id") ? Get<int>(in, "id", 0) : nextInstance + 1;
      nextInstance = std::max(nextInstance, ri.id);
      ri.code = TextIn(in.value("code", json()), text);
      r.r_placed.push_back(std::move(ri));
    }
    for (const json& t : j.value("tiles", json::array())) {
      RTile tl;
      tl.x = Get<int>(t, "x", 0);
      tl.y = Get<int>(t, "y", 0);
      tl.index = RefIn(t.value("background", json()), backgrounds);
      tl.xo = Get<int>(t, "xo", 0);
      tl.yo = Get<int>(t, "yo", 0);
      tl.w = Get<int>(t, "w", 0);
      tl.h = Get<int>(t, "h", 0);
      tl.depth = Get<int>(t, "depth", 0);
      tl.id = t.contains("id") ? Get<int>(t, "id", 0) : nextTile + 1;
      nextTile = std::max(nextTile, tl.id);
      r.r_tile.push_back(tl);
    }
    r.r_tnumb = int(r.r_tile.size());
  }

  void ReadTrigger(CTrigger& t, const REntry& e) {
    json j = ResourceJson(kTriggers, e);
    t.i_name = e.name;
    t.i_condition = TextIn(j.value("condition", json()), text);
    t.i_moment = Get<int>(j, "moment", 1);
    t.i_constname = Get<std::string>(j, "constant", "");
  }

  void ReadExtension(CExtensionPackage& pkg, const REntry& e) {
    json j = ResourceJson(kExtensions, e);
    pkg.s_name = e.name;
    pkg.s_folder = Get<std::string>(j, "folder", "");
    pkg.contentKey = Get<int32_t>(j, "key", 0);
    for (const json& fj : j.value("files", json::array())) {
      CExtensionFile f;
      f.s_filename = Get<std::string>(fj, "name", "");
      f.s_kind = Get<int>(fj, "kind", kExtOther);
      f.s_init = Get<std::string>(fj, "init", "");
      f.s_final = Get<std::string>(fj, "final", "");
      if (f.HasContent()) {
        if (auto c = fj.find("content"); c != fj.end() && !c->is_null())
          f.s_data = ReadFile(Resolve(p, c->get<std::string>()));
        else
          f.s_data = std::vector<uint8_t>();
      }
      for (const json& fn : fj.value("functions", json::array())) {
        CExtensionFunction x;
        x.s_name = Get<std::string>(fn, "name", "");
        x.s_extname = Get<std::string>(fn, "external_name", "");
        x.s_kind = Get<int>(fn, "convention", 0);
        x.s_id = Get<int>(fn, "id", 0);
        x.s_argcount = Get<int>(fn, "arg_count", -1);
        std::vector<int> types = Get<std::vector<int>>(fn, "arg_types", {});
        if (types.size() > 17) Fail("\"arg_types\" has at most 17 entries");
        for (size_t i = 0; i < types.size(); ++i) x.s_argtype[i] = types[i];
        x.s_returntype = Get<int>(fn, "return_type", 2);
        if (x.s_returntype != 1 && x.s_returntype != 2) x.s_returntype = 2;
        f.s_functions.push_back(x);
      }
      for (const std::vector<std::string>& c : Get<std::vector<std::vector<std::string>>>(fj, "constants", {})) {
        if (c.size() != 2) Fail("extension constants are [name, value]");
        f.s_constants.push_back({c[0], c[1]});
      }
      pkg.s_includes.push_back(std::move(f));
    }
    pkg.Normalize();
  }

  void ReadAll() {
    const json& m = p.manifest;
    context = (p.dir / kManifestName).string();
    text.crlf = Get<std::string>(m, "line_breaks", "lf") == "crlf";
    auto names = [&](const RKindInfo& k, RNames& n) {
      n.entries = ReadEntries(p, k);
      n.what = k.single;
    };
    names(kSprites, sprites);
    names(kBackgrounds, backgrounds);
    names(kSounds, sounds);
    names(kPaths, paths);
    names(kScripts, scripts);
    names(kFonts, fonts);
    names(kTimeLines, timelines);
    names(kObjects, objects);
    names(kRooms, rooms);
    names(kTriggers, triggers);
    RNames extensions;
    names(kExtensions, extensions);
    // Every name becomes a constant of the game's code: one name, one resource.
    std::map<std::string, const char*> taken;
    for (const RNames* n : {&sprites, &backgrounds, &sounds, &paths, &scripts, &fonts, &timelines, &objects, &rooms,
                            &triggers})
      for (const REntry& e : n->entries) {
        if (!e.exists) continue;
        const auto [at, fresh] = taken.emplace(e.name, n->what);
        if (!fresh)
          Fail("the name '" + e.name + "' is given to two resources (" + at->second + " and " + n->what +
               "): every resource needs a name of its own");
      }

    res.Clear();
    for (const REntry& e : extensions.entries) {
      if (!e.exists) Fail("\"extensions\" has no empty entries");
      res.extensions.emplace_back();
      ReadExtension(res.extensions.back(), e);
    }
    ReadList(kTriggers, triggers, res.triggers, [&](CTrigger& t, const REntry& e) { ReadTrigger(t, e); });
    context = (p.dir / kManifestName).string();
    for (const json& c : m.value("constants", json::array())) {
      if (!c.is_array() || c.size() != 2 || !c[0].is_string())
        Fail("\"constants\" entries are [name, value]");
      res.constants.names.push_back(c[0].get<std::string>());
      res.constants.values.push_back(c[1].is_string() ? c[1].get<std::string>() : c[1].dump());
    }
    ReadList(kSounds, sounds, res.sounds, [&](CSound& s, const REntry& e) { ReadSound(s, e); });
    ReadList(kSprites, sprites, res.sprites, [&](CSprite& s, const REntry& e) { ReadSprite(s, e); });
    ReadList(kBackgrounds, backgrounds, res.backgrounds, [&](CBackground& b, const REntry& e) { ReadBackground(b, e); });
    ReadList(kPaths, paths, res.paths, [&](CPath& x, const REntry& e) { ReadPath(x, e); });
    ReadList(kScripts, scripts, res.scripts, [&](CScript& x, const REntry& e) { ReadScript(x, e); });
    ReadList(kFonts, fonts, res.fonts, [&](CFont& x, const REntry& e) { ReadFont(x, e); });
    ReadList(kTimeLines, timelines, res.timelines, [&](CTimeLine& x, const REntry& e) { ReadTimeLine(x, e); });
    ReadList(kObjects, objects, res.objects, [&](CObject& x, const REntry& e) { ReadObject(x, e); });

    context = (p.dir / kManifestName).string();
    bool fixedInstance = m.contains("last_instance_id"), fixedTile = m.contains("last_tile_id");
    int nextInstance = Get<int>(m, "last_instance_id", 100000);
    int nextTile = Get<int>(m, "last_tile_id", 10000000);
    ReadList(kRooms, rooms, res.rooms.rooms,
             [&](CRoom& x, const REntry& e) { ReadRoom(x, e, nextInstance, nextTile); });
    context = (p.dir / kManifestName).string();
    res.rooms.lastInstanceId = fixedInstance ? Get<int>(m, "last_instance_id", 100000) : nextInstance;
    res.rooms.lastTileId = fixedTile ? Get<int>(m, "last_tile_id", 10000000) : nextTile;

    for (const json& f : m.value("included_files", json::array())) {
      CDataFile d;
      d.s_filename = Get<std::string>(f, "name", "");
      d.s_origname = Get<std::string>(f, "original_name", fs::path(d.s_filename).filename().string());
      if (auto c = f.find("file"); c != f.end() && !c->is_null()) {
        d.s_data = ReadFile(Resolve(p, c->get<std::string>()));
        d.s_exists = d.s_store = true;
      }
      d.s_exists = Get<bool>(f, "exists", d.s_exists);
      d.s_store = Get<bool>(f, "store", d.s_store);
      d.s_size = Get<int>(f, "size", int(d.s_data.size()));
      d.s_exportaction = f.contains("export") ? EnumIn(f["export"], kExportActions, "export action") : 2;
      d.s_exportdir = Get<std::string>(f, "export_folder", "");
      d.s_overwrite = Get<bool>(f, "overwrite", false);
      d.s_freedata = Get<bool>(f, "free_data", true);
      d.s_removeend = Get<bool>(f, "remove_at_end", true);
      res.includedFiles.push_back(std::move(d));
    }

    CGameInformation& gi = res.gameInformation;
    if (auto g = m.find("game_information"); g != m.end()) {
      gi.backgroundColor = Get<int>(*g, "background_color", gi.backgroundColor);
      gi.showInGameWindow = Get<bool>(*g, "show_in_game_window", gi.showInGameWindow);
      gi.caption = Get<std::string>(*g, "caption", gi.caption);
      gi.left = Get<int>(*g, "left", gi.left);
      gi.top = Get<int>(*g, "top", gi.top);
      gi.width = Get<int>(*g, "width", gi.width);
      gi.height = Get<int>(*g, "height", gi.height);
      gi.showBorder = Get<bool>(*g, "show_border", gi.showBorder);
      gi.sizeable = Get<bool>(*g, "sizeable", gi.sizeable);
      gi.stayOnTop = Get<bool>(*g, "stay_on_top", gi.stayOnTop);
      gi.pauseGame = Get<bool>(*g, "pause_game", gi.pauseGame);
      if (auto t = g->find("text"); t != g->end() && !t->is_null()) {
        std::vector<uint8_t> b = ReadFile(Resolve(p, t->get<std::string>()));
        gi.text.assign(b.begin(), b.end());
      }
    }

    for (const json& piece : m.value("library_code", json::array())) {
      std::vector<uint8_t> b = ReadFile(Resolve(p, piece.get<std::string>()));
      res.libraryCode.pieces.emplace_back(b.begin(), b.end());
    }

    res.roomOrder.clear();
    if (auto it = m.find("room_order"); it != m.end()) {
      if (!it->is_array()) Fail("\"room_order\" must be a list");
      for (const json& r : *it) res.roomOrder.push_back(RefIn(r, rooms));
    } else {
      for (size_t i = 0; i < rooms.entries.size(); ++i)
        if (rooms.entries[i].exists) res.roomOrder.push_back(int(i));
      if (res.roomOrder.empty()) res.roomOrder.push_back(0);
    }
    if (res.roomOrder.empty()) Fail("a game needs at least one room in \"room_order\"");
  }
};

// ---------------------------------------------------------------------------------------------
// Writing a project from a game.

// The mask settings that rebuild exactly the stored masks, when there are such.
bool FindMaskParams(const CSprite& spr, RMaskParams& out) {
  if (spr.i_numb == 0) {
    out = RMaskParams();
    out.sepmasks = spr.i_sepmasks;
    return true;
  }
  // Precise masks are solid where alpha exceeds the tolerance: the largest alpha of a clear
  // pixel inside the boxes is the one tolerance that can match.
  int tolerance = 0;
  for (size_t i = 0; i < spr.i_bitmap.size(); ++i) {
    const TBitmap32& bm = spr.i_bitmap[i];
    const TMask& m = spr.i_mask[spr.i_sepmasks ? i : 0];
    for (int y = 0; y < std::min(bm.Height(), m.i_h); ++y)
      for (int x = 0; x < std::min(bm.Width(), m.i_w); ++x)
        if (!m.Get(x, y) && bm.Alpha(x, y) > tolerance && x >= m.i_bbox.Left && x <= m.i_bbox.Right &&
            y >= m.i_bbox.Top && y <= m.i_bbox.Bottom)
          tolerance = bm.Alpha(x, y);
  }
  std::vector<RMaskParams> candidates;
  for (int kind = 0; kind < 4; ++kind) {
    for (int t : {tolerance, 0}) {
      RMaskParams p;
      p.sepmasks = spr.i_sepmasks;
      p.kind = kind;
      p.tolerance = t;
      p.bbmode = kBoxAutomatic;
      candidates.push_back(p);
    }
    RMaskParams p;
    p.sepmasks = spr.i_sepmasks;
    p.kind = kind;
    p.bbmode = kBoxFull;
    candidates.push_back(p);
    p.bbmode = kBoxManual;
    p.bbox = spr.i_mask[0].i_bbox;
    candidates.push_back(p);
  }
  for (const RMaskParams& p : candidates)
    if (BuildSpriteMasks(spr.i_bitmap, p) == spr.i_mask) {
      out = p;
      return true;
    }
  return false;
}

struct CWriter {
  const CGameResources& res;
  fs::path dir;
  json& manifest;
  RText text;

  std::string Rel(const fs::path& p) const { return p.lexically_relative(dir).generic_string(); }

  void WriteJsonFile(const fs::path& file, const json& j) { WriteFile(file, DumpJson(j)); }

  json Picture(const TBitmap32& bm, const fs::path& file) {
    if (bm.Empty()) return nullptr;
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::string error;
    if (!bm.SaveToPng(file, error)) Fail(error);
    return Rel(file);
  }

  json Action(const CAction& a) {
    json j = json::object();
    j["library"] = a.act_libid;
    j["action"] = a.act_id;
    j["kind"] = EnumOut(a.act_kind, kActionKinds);
    if (a.act_exetype != kExeNone) j["exec"] = EnumOut(a.act_exetype, kExecTypes);
    if (!a.act_funcname.empty()) j["function"] = a.act_funcname;
    if (!a.act_codestring.empty()) j["code"] = TextOut(a.act_codestring, text);
    if (a.storedArgTypes > 0)
      j["arg_kinds"] = std::vector<int>(a.act_argtype.begin(), a.act_argtype.begin() + a.storedArgTypes);
    if (a.storedArgStrings > 0) {
      json args = json::array();
      for (int i = 0; i < a.storedArgStrings; ++i) args.push_back(TextOut(a.act_argstring[size_t(i)], text));
      j["args"] = args;
    }
    if (a.act_argumentcount != std::max(a.storedArgTypes, a.storedArgStrings)) j["arg_count"] = a.act_argumentcount;
    if (a.act_who != kDesignatorSelf)
      j["applies_to"] = a.act_who == kDesignatorOther ? json("other") : RefOut(a.act_who, res.objects);
    if (a.act_relative) j["relative"] = true;
    if (a.act_isnot) j["not"] = true;
    if (a.act_isquestion) j["question"] = true;
    if (a.act_userelative) j["has_relative"] = true;
    if (a.act_useapplyto) j["has_applies_to"] = true;
    return j;
  }

  json Actions(const CEvent& ev) {
    json out = json::array();
    for (int i = 0; i < ev.e_number; ++i) out.push_back(Action(ev.e_actions[size_t(i)]));
    return out;
  }

  json Sprite(const CSprite& s, const std::string& stem) {
    json j;
    j["origin"] = {s.i_xorig, s.i_yorig};
    json frames = json::array();
    for (int i = 0; i < s.i_numb; ++i)
      frames.push_back(Picture(s.i_bitmap[size_t(i)], dir / "sprites" / stem / (std::to_string(i) + ".png")));
    j["frames"] = frames;
    json m;
    m["separate"] = s.i_sepmasks;
    RMaskParams p;
    if (FindMaskParams(s, p)) {
      m["shape"] = EnumOut(p.kind, kMaskShapes);
      m["tolerance"] = p.tolerance;
      if (p.bbmode == kBoxAutomatic)
        m["bbox"] = "automatic";
      else if (p.bbmode == kBoxFull)
        m["bbox"] = "full";
      else
        m["bbox"] = {p.bbox.Left, p.bbox.Top, p.bbox.Right, p.bbox.Bottom};
    } else {
      json ex = json::array();
      for (size_t i = 0; i < s.i_mask.size(); ++i) {
        const TMask& mask = s.i_mask[i];
        TBitmap32 pic(mask.i_w, mask.i_h);
        for (int x = 0; x < mask.i_w; ++x)
          for (int y = 0; y < mask.i_h; ++y)
            if (mask.Get(x, y)) pic.SetPixel(x, y, TColor32::From(0xFFFFFFFF));
        json mj;
        mj["file"] = Picture(pic, dir / "sprites" / stem / ("mask" + std::to_string(i) + ".png"));
        mj["width"] = mask.i_w;
        mj["height"] = mask.i_h;
        mj["bbox"] = {mask.i_bbox.Left, mask.i_bbox.Top, mask.i_bbox.Right, mask.i_bbox.Bottom};
        ex.push_back(mj);
      }
      m["explicit"] = ex;
    }
    j["mask"] = m;
    return j;
  }

  json Sound(const CSound& s, const std::string& stem) {
    json j;
    j["kind"] = s.s_kind;
    j["extension"] = s.s_extension;
    j["original_name"] = s.s_origname;
    j["file"] = nullptr;
    if (s.s_sound) {
      std::string ext = s.s_extension;
      bool ok = ext.size() >= 2 && ext.size() <= 9 && ext[0] == '.';
      for (size_t i = 1; ok && i < ext.size(); ++i) ok = std::isalnum(static_cast<unsigned char>(ext[i]));
      fs::path file = dir / "sounds" / (stem + (ok ? ext : ".bin"));
      WriteFile(file, *s.s_sound);
      j["file"] = Rel(file);
    }
    json fx = json::array();
    for (int b = 0; b < 31; ++b)
      if (s.s_effects & (1 << b)) fx.push_back(b < 9 ? json(kEffects[b]) : json(1 << b));
    if (s.s_effects < 0) fx.push_back(int32_t(0x80000000u));
    j["effects"] = fx;
    j["volume"] = s.s_volume;
    j["pan"] = s.s_pan;
    j["preload"] = s.s_preload;
    return j;
  }

  json Font(const CFont& f, const std::string& stem) {
    json j;
    j["typeface"] = f.s_name;
    j["size"] = f.s_size;
    j["bold"] = f.s_bold;
    j["italic"] = f.s_italic;
    j["charset"] = f.s_charset;
    j["antialias"] = f.s_AntiAlias;
    j["first"] = f.s_first;
    j["last"] = f.s_last;
    json glyphs = json::array();
    for (size_t c = 0; c < 256; ++c) {
      std::vector<int> g = {int(c), f.s_x[c], f.s_y[c], f.s_w[c], f.s_h[c], f.s_shift[c], f.s_offset[c]};
      if (std::any_of(g.begin() + 1, g.end(), [](int v) { return v != 0; })) glyphs.push_back(g);
    }
    j["glyphs"] = glyphs;
    TBitmap32 sheet(f.s_bw, f.s_bh);
    for (int y = 0; y < sheet.Height(); ++y)
      for (int x = 0; x < sheet.Width(); ++x) {
        TColor32 c = TColor32::From(0x00FFFFFF);
        c.a = f.s_bytes[size_t(y) * size_t(f.s_bw) + size_t(x)];
        sheet.SetPixel(x, y, c);
      }
    j["sheet"] = Picture(sheet, dir / "fonts" / (stem + ".png"));
    if (sheet.Empty()) j["sheet_size"] = {f.s_bw, f.s_bh};
    return j;
  }

  json Room(const CRoom& r) {
    json j;
    j["caption"] = r.r_caption;
    j["width"] = r.r_width;
    j["height"] = r.r_height;
    j["speed"] = r.r_speed;
    j["persistent"] = r.r_persistent;
    j["color"] = r.r_color;
    j["show_color"] = r.r_showcolor;
    j["code"] = TextOut(r.r_code, text);
    json layers = json::array();
    for (int i = 0; i < r.storedLayers; ++i) {
      const CBack& b = r.r_background[size_t(i)];
      layers.push_back({{"visible", b.visible}, {"foreground", b.foreground},
                        {"background", RefOut(b.index, res.backgrounds)}, {"x", int(b.x)}, {"y", int(b.y)},
                        {"htiled", b.htiled}, {"vtiled", b.vtiled}, {"hspeed", int(b.hspeed)},
                        {"vspeed", int(b.vspeed)}, {"stretch", b.stretch}});
    }
    j["backgrounds"] = layers;
    j["views_enabled"] = r.r_enableviews;
    json views = json::array();
    for (int i = 0; i < r.storedViews; ++i) {
      const CView& w = r.r_view[size_t(i)];
      views.push_back({{"visible", w.visible}, {"view", {w.xview, w.yview, w.wview, w.hview}},
                       {"port", {w.xport, w.yport, w.wport, w.hport}}, {"border", {w.hborder, w.vborder}},
                       {"speed", {w.hspeed, w.vspeed}},
                       {"follow", w.index >= 0 && w.index < 100000 ? RefOut(w.index, res.objects) : json(w.index)}});
    }
    j["views"] = views;
    json inst = json::array();
    for (const RRoomInstance& in : r.r_placed) {
      json ij = {{"x", in.x}, {"y", in.y}, {"object", RefOut(in.object, res.objects)}, {"id", in.id}};
      if (!in.code.empty()) ij["code"] = TextOut(in.code, text);
      inst.push_back(ij);
    }
    j["instances"] = inst;
    json tiles = json::array();
    for (const RTile& t : r.r_tile)
      tiles.push_back({{"x", int(t.x)}, {"y", int(t.y)}, {"background", RefOut(t.index, res.backgrounds)},
                       {"xo", t.xo}, {"yo", t.yo}, {"w", t.w}, {"h", t.h}, {"depth", int(t.depth)}, {"id", t.id}});
    j["tiles"] = tiles;
    return j;
  }

  json Object(const CObject& o) {
    json j;
    j["sprite"] = RefOut(o.o_spriteindex, res.sprites);
    j["solid"] = o.o_solid;
    j["visible"] = o.o_visible;
    j["depth"] = o.o_depth;
    j["persistent"] = o.o_persistent;
    j["parent"] = RefOut(o.o_parent, res.objects);
    j["mask"] = RefOut(o.o_mask, res.sprites);
    json events = json::array();
    for (int t = 0; t < kEventTypeCount; ++t)
      for (const auto& [n, ev] : o.o_events[size_t(t)]) {
        json num = n;
        if (t == kEvCollision) num = RefOut(n, res.objects);
        if (t == kEvTrigger && res.triggers.Exists(n)) {
          const std::string& tn = res.triggers.Get(n)->i_name;
          int first = -1;
          for (int i = 0; i < res.triggers.Count() && first < 0; ++i)
            if (res.triggers.Exists(i) && res.triggers.Get(i)->i_name == tn) first = i;
          if (first == n) num = tn;
        }
        events.push_back({{"type", kEventTypes[t]}, {"number", num}, {"actions", Actions(ev)}});
      }
    j["events"] = events;
    return j;
  }

  template <typename T, typename F>
  void WriteList(const RKindInfo& kind, const CResourceList<T>& list,
                 const std::vector<std::pair<bool, std::string>>& slots, F write) {
    std::vector<std::string> stems;
    std::vector<json> entries = MakeEntries(slots, kind, stems);
    for (int i = 0; i < list.Count(); ++i)
      if (const T* obj = list.Get(i)) write(*obj, stems[size_t(i)]);
    manifest[kind.key] = entries;
  }

  void WriteAll() {
    // Code in the game uses one kind of line break throughout as a rule; arrays of lines use it.
    size_t crlf = 0, lf = 0;
    auto count = [&](const std::string& s) {
      for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == '\n') (i > 0 && s[i - 1] == '\r' ? crlf : lf)++;
    };
    for (int i = 0; i < res.objects.Count(); ++i)
      if (const CObject* o = res.objects.Get(i))
        for (const auto& evs : o->o_events)
          for (const auto& [n, ev] : evs)
            for (const CAction& a : ev.e_actions)
              for (const std::string& s : a.act_argstring) count(s);
    for (int i = 0; i < res.rooms.rooms.Count(); ++i)
      if (const CRoom* r = res.rooms.rooms.Get(i)) count(r->r_code);
    text.crlf = crlf > lf;
    manifest["line_breaks"] = text.crlf ? "crlf" : "lf";

    std::vector<std::pair<bool, std::string>> extSlots;
    for (const CExtensionPackage& p : res.extensions) extSlots.emplace_back(true, p.s_name);
    std::vector<std::string> extStems;
    manifest[kExtensions.key] = MakeEntries(extSlots, kExtensions, extStems);
    for (size_t i = 0; i < res.extensions.size(); ++i) {
      const CExtensionPackage& pkg = res.extensions[i];
      json j;
      j["folder"] = pkg.s_folder;
      j["key"] = pkg.contentKey;
      json files = json::array();
      std::set<std::string> used;
      for (size_t k = 0; k < pkg.s_includes.size(); ++k) {
        const CExtensionFile& f = pkg.s_includes[k];
        json fj;
        fj["name"] = f.s_filename;
        fj["kind"] = f.s_kind;
        fj["init"] = f.s_init;
        fj["final"] = f.s_final;
        if (f.HasContent() && f.s_data) {
          std::string safe = SafeRelativePath(f.s_filename).filename().string();
          if (safe.empty() || safe.size() > 100 || used.count(safe)) safe = "file_" + std::to_string(k);
          used.insert(safe);
          fs::path file = dir / "extensions" / extStems[i] / safe;
          WriteFile(file, *f.s_data);
          fj["content"] = Rel(file);
        }
        json fns = json::array();
        for (const CExtensionFunction& fn : f.s_functions)
          fns.push_back({{"name", fn.s_name}, {"external_name", fn.s_extname}, {"convention", fn.s_kind},
                         {"id", fn.s_id}, {"arg_count", fn.s_argcount},
                         {"arg_types", std::vector<int>(fn.s_argtype.begin(), fn.s_argtype.end())},
                         {"return_type", fn.s_returntype}});
        fj["functions"] = fns;
        json cs = json::array();
        for (const CExtensionConstant& c : f.s_constants) cs.push_back({c.s_name, c.s_value});
        fj["constants"] = cs;
        files.push_back(fj);
      }
      j["files"] = files;
      WriteJsonFile(dir / "extensions" / (extStems[i] + ".json"), j);
    }

    std::vector<std::pair<bool, std::string>> trigSlots;
    for (int i = 0; i < res.triggers.Count(); ++i)
      trigSlots.emplace_back(res.triggers.Exists(i), res.triggers.Exists(i) ? res.triggers.Get(i)->i_name : "");
    WriteList(kTriggers, res.triggers, trigSlots, [&](const CTrigger& t, const std::string& stem) {
      WriteJsonFile(dir / "triggers" / (stem + ".json"),
                    {{"condition", TextOut(t.i_condition, text)}, {"moment", t.i_moment}, {"constant", t.i_constname}});
    });

    json consts = json::array();
    for (int i = 0; i < res.constants.Count(); ++i)
      consts.push_back({res.constants.names[size_t(i)], res.constants.values[size_t(i)]});
    manifest["constants"] = consts;

    WriteList(kSounds, res.sounds, Slots(res.sounds), [&](const CSound& s, const std::string& stem) {
      WriteJsonFile(dir / "sounds" / (stem + ".json"), Sound(s, stem));
    });
    WriteList(kSprites, res.sprites, Slots(res.sprites), [&](const CSprite& s, const std::string& stem) {
      WriteJsonFile(dir / "sprites" / (stem + ".json"), Sprite(s, stem));
    });
    WriteList(kBackgrounds, res.backgrounds, Slots(res.backgrounds), [&](const CBackground& b, const std::string& stem) {
      WriteJsonFile(dir / "backgrounds" / (stem + ".json"),
                    {{"image", Picture(b.i_bitmap, dir / "backgrounds" / (stem + ".png"))}});
    });
    WriteList(kPaths, res.paths, Slots(res.paths), [&](const CPath& p, const std::string& stem) {
      json pts = json::array();
      for (const RWayPoint& w : p.i_points) pts.push_back({w.x, w.y, w.speed});
      WriteJsonFile(dir / "paths" / (stem + ".json"),
                    {{"kind", EnumOut(p.i_kind, kPathKinds)}, {"closed", p.i_closed},
                     {"precision", p.i_precision}, {"points", pts}});
    });
    WriteList(kScripts, res.scripts, Slots(res.scripts), [&](const CScript& s, const std::string& stem) {
      WriteFile(dir / "scripts" / (stem + ".txt"), s.s_text);
    });
    WriteList(kFonts, res.fonts, Slots(res.fonts), [&](const CFont& f, const std::string& stem) {
      WriteJsonFile(dir / "fonts" / (stem + ".json"), Font(f, stem));
    });
    WriteList(kTimeLines, res.timelines, Slots(res.timelines), [&](const CTimeLine& t, const std::string& stem) {
      json moments = json::array();
      for (int i = 0; i < t.s_count; ++i)
        moments.push_back({{"step", t.s_step[size_t(i)]}, {"actions", Actions(t.s_event[size_t(i)])}});
      WriteJsonFile(dir / "time_lines" / (stem + ".json"), {{"moments", moments}});
    });
    WriteList(kObjects, res.objects, Slots(res.objects), [&](const CObject& o, const std::string& stem) {
      WriteJsonFile(dir / "objects" / (stem + ".json"), Object(o));
    });
    WriteList(kRooms, res.rooms.rooms, Slots(res.rooms.rooms), [&](const CRoom& r, const std::string& stem) {
      WriteJsonFile(dir / "rooms" / (stem + ".json"), Room(r));
    });
    manifest["last_instance_id"] = res.rooms.lastInstanceId;
    manifest["last_tile_id"] = res.rooms.lastTileId;

    json files = json::array();
    std::set<std::string> used;
    for (size_t i = 0; i < res.includedFiles.size(); ++i) {
      const CDataFile& d = res.includedFiles[i];
      json fj;
      fj["name"] = d.s_filename;
      fj["original_name"] = d.s_origname;
      fj["exists"] = d.s_exists;
      fj["store"] = d.s_store;
      fj["size"] = d.s_size;
      if (d.s_exists && d.s_store) {
        // One flat folder: names like "x" and "x/y" cannot both be files, and a name may be
        // longer than a file name can be. The real name stays in "name".
        std::string safe = SafeRelativePath(d.s_filename).filename().string();
        std::string key = safe;
        for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (safe.empty() || safe.size() > 100 || used.count(key)) {
          safe = "file_" + std::to_string(i);
          key = safe;
        }
        used.insert(key);
        fs::path file = dir / "included" / safe;
        WriteFile(file, d.s_data);
        fj["file"] = Rel(file);
      }
      fj["export"] = EnumOut(d.s_exportaction, kExportActions);
      fj["export_folder"] = d.s_exportdir;
      fj["overwrite"] = d.s_overwrite;
      fj["free_data"] = d.s_freedata;
      fj["remove_at_end"] = d.s_removeend;
      files.push_back(fj);
    }
    manifest["included_files"] = files;

    const CGameInformation& gi = res.gameInformation;
    json g = {{"background_color", gi.backgroundColor}, {"show_in_game_window", gi.showInGameWindow},
              {"caption", gi.caption}, {"left", gi.left}, {"top", gi.top}, {"width", gi.width},
              {"height", gi.height}, {"show_border", gi.showBorder}, {"sizeable", gi.sizeable},
              {"stay_on_top", gi.stayOnTop}, {"pause_game", gi.pauseGame}, {"text", nullptr}};
    if (!gi.text.empty()) {
      WriteFile(dir / "game_information.rtf", gi.text);
      g["text"] = "game_information.rtf";
    }
    manifest["game_information"] = g;

    json lib = json::array();
    for (size_t i = 0; i < res.libraryCode.pieces.size(); ++i) {
      fs::path file = dir / "library_code" / (std::to_string(i) + ".txt");
      WriteFile(file, res.libraryCode.pieces[i]);
      lib.push_back(Rel(file));
    }
    manifest["library_code"] = lib;

    json order = json::array();
    for (int r : res.roomOrder) order.push_back(RefOut(r, res.rooms.rooms));
    manifest["room_order"] = order;
  }
};

void DumpTo(const json& j, std::string& out, int indent) {
  auto scalar = [](const json& v) { return !v.is_structured(); };
  auto flat = [&](const json& v) {
    if (v.is_array()) return std::all_of(v.begin(), v.end(), scalar);
    return v.is_object() && v.empty();
  };
  std::string pad(size_t(indent + 2), ' ');
  if (j.is_object() && !j.empty()) {
    out += "{\n";
    size_t i = 0;
    for (auto it = j.begin(); it != j.end(); ++it, ++i) {
      out += pad + json(it.key()).dump(-1, ' ', false, json::error_handler_t::replace) + ": ";
      DumpTo(it.value(), out, indent + 2);
      out += i + 1 < j.size() ? ",\n" : "\n";
    }
    out += std::string(size_t(indent), ' ') + "}";
  } else if (j.is_array() && !flat(j)) {
    out += "[\n";
    for (size_t i = 0; i < j.size(); ++i) {
      out += pad;
      DumpTo(j[i], out, indent + 2);
      out += i + 1 < j.size() ? ",\n" : "\n";
    }
    out += std::string(size_t(indent), ' ') + "]";
  } else if (j.is_array()) {
    out += "[";
    for (size_t i = 0; i < j.size(); ++i) out += (i ? ", " : "") + j[i].dump(-1, ' ', false, json::error_handler_t::replace);
    out += "]";
  } else {
    // Text that is not UTF-8 cannot be written as JSON; it is replaced rather than refused.
    out += j.dump(-1, ' ', false, json::error_handler_t::replace);
  }
}

}  // namespace

std::string DumpJson(const json& j) {
  std::string out;
  DumpTo(j, out, 0);
  return out + "\n";
}

bool ReadProjectResources(const CProject& project, CGameResources& res, std::string& error) {
  CReader r{project, res, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}};
  try {
    r.ReadAll();
    return true;
  } catch (const EProject& e) {
    error = r.context.empty() ? e.what() : r.context + ": " + e.what();
  } catch (const json::exception& e) {
    error = r.context + ": " + e.what();
  }
  return false;
}

bool WriteProjectResources(const CGameResources& res, const fs::path& dir, json& manifest, std::string& error) {
  CWriter w{res, dir, manifest, {}};
  try {
    w.WriteAll();
    return true;
  } catch (const EProject& e) {
    error = e.what();
  } catch (const json::exception& e) {
    error = e.what();
  }
  return false;
}

bool WriteResourceBlocks(const CProject& project, CStream& s, std::string& error) {
  CGameResources res;
  if (!ReadProjectResources(project, res, error)) return false;
  for (int k = 0; k < kResourceKindCount; ++k) SaveResourceBlock(ResourceKind(k), s, res);
  return true;
}

}  // namespace kestro::tools
