#include "runner/StateHash.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "script/Variables.h"
#include "world/Instance.h"
#include "world/World.h"

namespace kestro {

namespace {

class CHasher {
 public:
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) {
      h_ ^= b[i];
      h_ *= 0x100000001b3ull;
    }
  }
  void Int(int64_t v) {
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = uint8_t(uint64_t(v) >> (8 * i));
    Bytes(b, 8);
  }
  void Real(double v) {
    uint64_t bits = 0;
    if (std::isnan(v))
      bits = 0x7FF8000000000000ull;
    else if (v != 0)
      std::memcpy(&bits, &v, 8);
    Int(int64_t(bits));
  }
  void Text(std::string_view s) {
    Int(int64_t(s.size()));
    Bytes(s.data(), s.size());
  }
  void Value(const RValue& v) {
    if (v.kind == ty_string) {
      Int(1);
      Text(v.str.view());
    } else {
      Int(0);
      Real(v.val);
    }
  }
  void Variables(const CVariableList& list) {
    std::vector<std::pair<std::string, const RVariable*>> vars;
    vars.reserve(list.Vars().size());
    for (const RVariable& v : list.Vars()) vars.emplace_back(VariableName(v.ind), &v);
    std::sort(vars.begin(), vars.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    Int(int64_t(vars.size()));
    for (const auto& [name, v] : vars) {
      Text(name);
      Value(v->simplevalue);
      Int(int64_t(v->value.size()));
      for (const std::vector<RValue>& row : v->value) {
        Int(int64_t(row.size()));
        for (const RValue& e : row) Value(e);
      }
    }
  }
  void Instance(const CInstance& i, bool deactivated) {
    Int(i.i_id);
    Int(i.i_objectindex);
    Int(deactivated);
    Int(i.i_spriteindex);
    for (double d : {i.i_imageindex, i.i_imagespeed, i.i_imagescalex, i.i_imagescaley, i.i_imageangle,
                     i.i_imagealpha})
      Real(d);
    Int(i.i_imageblend);
    Int(i.i_maskindex);
    for (double d : {i.i_depth, i.i_x, i.i_y, i.i_xstart, i.i_ystart, i.i_xprevious, i.i_yprevious, i.i_direction,
                     i.i_speed, i.i_friction, i.i_gravitydir, i.i_gravity, i.i_hspeed, i.i_vspeed})
      Real(d);
    for (int32_t b : {i.i_bbox.Left, i.i_bbox.Top, i.i_bbox.Right, i.i_bbox.Bottom}) Int(b);
    Int(i.i_visible);
    Int(i.i_solid);
    Int(i.i_persistent);
    for (int t : i.i_timer) Int(t);
    Int(i.i_pathindex);
    for (double d : {i.i_pathposition, i.i_pathpositionprevious, i.i_pathspeed, i.i_pathscale, i.i_pathorientation})
      Real(d);
    Int(i.i_pathend);
    Real(i.i_pathxstart);
    Real(i.i_pathystart);
    Int(i.i_timelineindex);
    Real(i.i_timelineposition);
    Real(i.i_timelinespeed);
    Int(i.i_timelinerunning);
    Int(i.i_timelineloop);
    Variables(i.i_vars);
  }
  uint64_t Result() const { return h_; }

 private:
  uint64_t h_ = 0xcbf29ce484222325ull;
};

}  // namespace

uint64_t WorldStateHash() {
  CHasher h;
  CWorld& w = World();
  h.Int(w.roomIndex);
  h.Variables(GlobalVariables());
  std::vector<std::pair<const CInstance*, bool>> all;
  for (const auto& inst : w.Room().Active())
    if (!inst->i_marked) all.emplace_back(inst.get(), false);
  for (const auto& inst : w.Room().Deactivated())
    if (!inst->i_marked) all.emplace_back(inst.get(), true);
  std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first->i_id < b.first->i_id; });
  h.Int(int64_t(all.size()));
  for (const auto& [inst, deactivated] : all) h.Instance(*inst, deactivated);
  return h.Result();
}

std::string StateHashLine(int64_t step, uint64_t hash) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%lld %016llx", static_cast<long long>(step), static_cast<unsigned long long>(hash));
  return buf;
}

}  // namespace kestro
