// The background functions: which backgrounds exist, their names and sizes, and backgrounds made,
// replaced, copied, deleted and saved at run time (those taken from the screen or a surface are
// the drawing layer's, graphics/ScreenResourceFunctions.cpp).
#include <memory>
#include <string>

#include "resources/Bindings.h"
#include "resources/GameResources.h"
#include "resources/ResourceArgs.h"
#include "resources/SpriteFile.h"

namespace kestro {

namespace {

CBackground* Find(const RValue& v) { return Backgrounds().Get(ArgIndex(v)); }

// Appends a background made by `make`; gives its index.
template <typename Make>
int Append(Make make) {
  auto b = std::make_unique<CBackground>();
  make(*b);
  const int i = Backgrounds().Count();
  return Backgrounds().Add(std::move(b), NewSlotName<CBackground>(i));
}

KESTRO_BUILTIN(F_background_exists) { r.SetReal(Find(a[0]) ? 1 : 0); }
KESTRO_BUILTIN(F_background_get_name) { SetText(r, Backgrounds().Name(ArgIndex(a[0]))); }
KESTRO_BUILTIN(F_background_get_width) {
  const CBackground* b = Find(a[0]);
  r.SetReal(b ? b->GetWidth() : -1);
}
KESTRO_BUILTIN(F_background_get_height) {
  const CBackground* b = Find(a[0]);
  r.SetReal(b ? b->GetHeight() : -1);
}
KESTRO_BUILTIN(F_background_set_alpha_from_background) {
  CBackground* b = Find(a[0]);
  const CBackground* from = Find(a[1]);
  if (b && from) b->SetAlphaFromBackground(*from);
}
KESTRO_BUILTIN(F_background_create_color) {
  const int w = ArgInt32(a[0]), h = ArgInt32(a[1]), col = ArgInt32(a[2]);
  r.SetReal(Append([&](CBackground& b) { b.CreateColor(w, h, col); }));
}
KESTRO_BUILTIN(F_background_create_gradient) {
  const int w = ArgInt32(a[0]), h = ArgInt32(a[1]), c1 = ArgInt32(a[2]), c2 = ArgInt32(a[3]), kind = ArgInt32(a[4]);
  r.SetReal(Append([&](CBackground& b) { b.CreateGradient(w, h, c1, c2, kind); }));
}
KESTRO_BUILTIN(F_background_add) {
  r.SetReal(BackgroundAddFromFile(Backgrounds(), ArgText(a[0]), ArgBool(a[1]), ArgBool(a[2])));
}
KESTRO_BUILTIN(F_background_replace) {
  if (!Find(a[0])) return ReportBuiltinError("Trying to replace non-existing background.");
  r.SetReal(BackgroundReplaceFromFile(Backgrounds(), ArgIndex(a[0]), ArgText(a[1]), ArgBool(a[2]), ArgBool(a[3])) ? 1
                                                                                                                  : 0);
}
KESTRO_BUILTIN(F_background_add_background) {
  r.SetReal(BackgroundAddFromBackgroundFile(Backgrounds(), ArgText(a[0])));
}
KESTRO_BUILTIN(F_background_replace_background) {
  if (!Find(a[0])) return ReportBuiltinError("Trying to replace non-existing background.");
  r.SetReal(BackgroundReplaceFromBackgroundFile(Backgrounds(), ArgIndex(a[0]), ArgText(a[1])) ? 1 : 0);
}
KESTRO_BUILTIN(F_background_delete) {
  if (!ResourceDelete(Backgrounds(), ArgIndex(a[0])))
    return ReportBuiltinError("Trying to delete non-existing background.");
  r.SetReal(1);
}
KESTRO_BUILTIN(F_background_duplicate) {
  if (!Find(a[0])) return ReportBuiltinError("Trying to duplicate non-existing background.");
  r.SetReal(ResourceDuplicate(Backgrounds(), ArgIndex(a[0])));
}
KESTRO_BUILTIN(F_background_assign) {
  if (!ResourceAssign(Backgrounds(), ArgIndex(a[0]), ArgIndex(a[1])))
    ReportBuiltinError("Error assigning a background.");
}
KESTRO_BUILTIN(F_background_save) {
  const CBackground* b = Find(a[0]);
  if (!b) return ReportBuiltinError("Trying to save non-existing background bitmap.");
  const std::string fname = ArgText(a[1]);
  if (fname.empty()) return ReportBuiltinError("Trying to save background bitmap to empty image file name.");
  SaveImageFile(b->i_bitmap, fname);
}

constexpr RBinding kBackgroundFunctions[] = {
    {"background_name", F_background_get_name},
    {"background_exists", F_background_exists},
    {"background_get_name", F_background_get_name},
    {"background_get_width", F_background_get_width},
    {"background_get_height", F_background_get_height},
    {"background_set_alpha_from_background", F_background_set_alpha_from_background},
    {"background_create_color", F_background_create_color},
    {"background_create_gradient", F_background_create_gradient},
    {"background_add", F_background_add},
    {"background_replace", F_background_replace},
    {"background_add_background", F_background_add_background},
    {"background_replace_background", F_background_replace_background},
    {"background_delete", F_background_delete},
    {"background_duplicate", F_background_duplicate},
    {"background_assign", F_background_assign},
    {"background_save", F_background_save},
};

}  // namespace

RBindingTable BackgroundFunctions() { return kBackgroundFunctions; }

}  // namespace kestro
