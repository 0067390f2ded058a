#include "world/LiveRoom.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "resources/GameResources.h"

namespace kestro {

uint64_t CLiveRoom::NextStamp() {
  static uint64_t counter = 0;
  return ++counter;
}

void CLiveRoom::MakeFrom(const CRoom& design) {
  ClearInstances();
  CRoom::operator=(design);
  r_lasttile = -1;
  for (const RRoomInstance& placed : design.r_placed) {
    CInstance* inst = placed.exact ? AddInstanceWithId(placed.id, placed.object, placed.xExact, placed.yExact)
                                   : AddInstanceWithId(placed.id, placed.object, placed.x, placed.y);
    inst->i_initcode = placed.code;
  }
}

void CLiveRoom::Assign(const CLiveRoom& room) {
  ClearInstances();
  CRoom::operator=(room);
  r_lasttile = -1;
  auto copy = [](const std::vector<std::unique_ptr<CInstance>>& from, std::vector<std::unique_ptr<CInstance>>& to) {
    for (const auto& inst : from) {
      to.push_back(std::make_unique<CInstance>());
      to.back()->Assign(*inst);
    }
  };
  copy(room.r_instance, r_instance);
  copy(room.r_instance_deact, r_instance_deact);
  RebuildObjectLists();
}

CInstance* CLiveRoom::AddInstance(int objectind, double x, double y, int& lastId) {
  return AddInstanceWithId(++lastId, objectind, x, y);
}

CInstance* CLiveRoom::AddInstanceWithId(int id, int objectind, double x, double y) {
  r_instance.push_back(std::make_unique<CInstance>());
  CInstance* inst = r_instance.back().get();
  inst->Create(id, objectind, x, y);
  // Before the lists: a rebuild they start takes the whole active list, this instance included.
  listOrder_.push_back(inst);
  AppendToLists(inst);
  Index(inst);
  return inst;
}

void CLiveRoom::ClearInstances() {
  r_instance.clear();
  r_instance_deact.clear();
  r_obj_instance.clear();
  r_obj_instance_recursive.clear();
  byId_.clear();
  listOrder_.clear();
  generation_ = orderStamp_ = NextStamp();
}

int CLiveRoom::Obj_Number(int objind) const {
  return objind >= 0 && size_t(objind) < r_obj_instance.size() ? int(r_obj_instance[size_t(objind)].size()) : 0;
}

CInstance* CLiveRoom::Obj_Instance(int objind, int numb) const {
  if (numb < 0 || numb >= Obj_Number(objind)) return nullptr;
  return r_obj_instance[size_t(objind)][size_t(numb)];
}

int CLiveRoom::Obj_Number_Recursive(int objind) const {
  return objind >= 0 && size_t(objind) < r_obj_instance_recursive.size()
             ? int(r_obj_instance_recursive[size_t(objind)].size())
             : 0;
}

CInstance* CLiveRoom::Obj_Instance_Recursive(int objind, int numb) const {
  if (numb < 0 || numb >= Obj_Number_Recursive(objind)) return nullptr;
  return r_obj_instance_recursive[size_t(objind)][size_t(numb)];
}

CInstance* CLiveRoom::FindId(int id) const {
  auto it = byId_.find(id);
  if (it == byId_.end()) return nullptr;
  CInstance* inst = it->second;
  return inst->i_marked || inst->i_deactivated ? nullptr : inst;
}

void CLiveRoom::Mark(CInstance* inst) { inst->SetMarked(); }

void CLiveRoom::Replace(CInstance* old, CInstance* replacement, int formerId) {
  old->SetMarked();
  Reindex(replacement, formerId);
}

void CLiveRoom::Reindex(CInstance* inst, int formerId) {
  if (auto it = byId_.find(formerId); it != byId_.end() && it->second == inst) byId_.erase(it);
  byId_[inst->i_id] = inst;
}

void CLiveRoom::Index(CInstance* inst) { byId_[inst->i_id] = inst; }

void CLiveRoom::AppendToLists(CInstance* inst) {
  const int count = Objects().Count();
  if (int(r_obj_instance.size()) != count) {
    // The object list changed size (objects added at run time): start the lists again.
    RebuildObjectLists();
    return;
  }
  const int own = inst->i_objectindex;
  if (own < 0 || own >= count) return;
  r_obj_instance[size_t(own)].push_back(inst);
  AppendToRecursiveLists(inst, count);
}

void CLiveRoom::AppendToRecursiveLists(CInstance* inst, int count) {
  // The instance's object, then each ancestor; the walk is bounded so a cycle in damaged data
  // cannot loop.
  const int own = inst->i_objectindex;
  int obj = own;
  for (int depth = 0; depth <= count && obj >= 0 && obj < count; ++depth) {
    const CObject* o = Objects().Get(obj);
    if (o == nullptr) break;
    r_obj_instance_recursive[size_t(obj)].push_back(inst);
    obj = o->o_parent;
    if (obj == own) break;
  }
}

void CLiveRoom::RebuildObjectLists() {
  const size_t count = size_t(std::max(0, Objects().Count()));
  r_obj_instance.assign(count, {});
  r_obj_instance_recursive.assign(count, {});
  byId_.clear();
  listOrder_.clear();
  listOrder_.reserve(r_instance.size());
  for (const auto& inst : r_instance) listOrder_.push_back(inst.get());
  generation_ = orderStamp_ = NextStamp();
  for (const auto& inst : r_instance_deact) Index(inst.get());
  for (const auto& inst : r_instance) {
    if (inst->i_objectindex >= 0 && size_t(inst->i_objectindex) < count) AppendToLists(inst.get());
    // Marked copies left by a change keep their id for the one that replaced them.
    if (!inst->i_marked || byId_.find(inst->i_id) == byId_.end()) Index(inst.get());
  }
}

void CLiveRoom::RebuildRecursiveLists() {
  const int count = Objects().Count();
  if (int(r_obj_instance_recursive.size()) != count) return RebuildObjectLists();
  for (auto& list : r_obj_instance_recursive) list.clear();
  for (CInstance* inst : listOrder_) {
    const int own = inst->i_objectindex;
    if (own < 0 || own >= count || !Objects().Exists(own)) continue;
    AppendToRecursiveLists(inst, count);
  }
  generation_ = NextStamp();
}

void CLiveRoom::SortInstances() {
  const size_t n = r_instance.size();
  bool sorted = true, nan = false;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && r_instance[i]->i_depth > r_instance[i - 1]->i_depth) sorted = false;
    if (std::isnan(r_instance[i]->i_depth)) nan = true;
  }
  if (sorted) return;
  orderStamp_ = NextStamp();
  // The order is that of an insertion sort which moves an instance forward only past shallower
  // ones: by depth, deeper first, equal depths in their order. A nearly sorted room (a few
  // instances changed their depth) is sorted that way while it takes at most n moves; anything
  // else by depth and position, in n log n. Both keep equal depths in their order, so the second
  // may go on from where the first stopped.
  size_t budget = nan ? SIZE_MAX : n;
  bool done = true;
  for (size_t i = 1; i < n && done; ++i)
    for (size_t j = i; j > 0 && r_instance[j]->i_depth > r_instance[j - 1]->i_depth; --j) {
      std::swap(r_instance[j], r_instance[j - 1]);
      if (--budget == 0) {
        done = false;
        break;
      }
    }
  if (done) return;
  std::vector<std::pair<double, uint32_t>> keys(n);
  for (size_t i = 0; i < n; ++i) keys[i] = {r_instance[i]->i_depth, uint32_t(i)};
  std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
    return a.first > b.first || (a.first == b.first && a.second < b.second);
  });
  std::vector<std::unique_ptr<CInstance>> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = std::move(r_instance[keys[i].second]);
  r_instance.swap(order);
}

void CLiveRoom::RemoveMarked() {
  bool freed = false;
  for (const auto& inst : r_instance)
    if (inst->i_marked) {
      freed = true;
      auto it = byId_.find(inst->i_id);
      if (it != byId_.end() && it->second == inst.get()) byId_.erase(it);
    }
  if (!freed) return;
  std::erase_if(r_instance, [](const std::unique_ptr<CInstance>& inst) { return inst->i_marked; });
  RebuildObjectLists();
}

void CLiveRoom::UpdateActive() {
  const bool toDeactivate = std::any_of(r_instance.begin(), r_instance.end(),
                                        [](const auto& inst) { return inst->i_deactivated; });
  const bool toActivate = std::any_of(r_instance_deact.begin(), r_instance_deact.end(),
                                      [](const auto& inst) { return !inst->i_deactivated; });
  if (!toDeactivate && !toActivate) return;
  std::vector<std::unique_ptr<CInstance>> active, deact;
  for (auto& inst : r_instance)
    if (!inst->i_deactivated) active.push_back(std::move(inst));
  for (auto& inst : r_instance_deact)
    (inst->i_deactivated ? deact : active).push_back(std::move(inst));
  for (auto& inst : r_instance)
    if (inst) deact.push_back(std::move(inst));
  r_instance = std::move(active);
  r_instance_deact = std::move(deact);
  RebuildObjectLists();
}

}  // namespace kestro
