// The 3-D functions of game code: the mode and its switches, cameras, the world transformation
// and its stack, primitives with normals and texture coordinates, the six shapes, lights, fog and
// models. Coordinates are reals; kinds, indices, colours and counts are rounded, flags true from
// 0.5, angles in degrees. Models that do not exist are passed over in silence.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/Bindings.h"
#include "graphics/D3d.h"
#include "graphics/Graphics.h"
#include "graphics/Model3d.h"
#include "io/RunState.h"
#include "platform/posix/Files.h"
#include "platform/posix/GameNames.h"
#include "platform/posix/HostFiles.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

// A model file larger than this is not read: no model of the 32001-vertex primitives the run
// draws comes near it.
constexpr uint64_t kMaxModelFileBytes = uint64_t(256) << 20;

double D(const RValue& v) { return v.val; }
int32_t Col(const RValue& v) { return int32_t(ArgInt(v)); }
int Texture(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), -1, INT32_MAX)); }
void SetReal(RValue& r, double v) { r = RValue::Real(v); }
CGraphics& G() { return Graphics(); }
C3DMode& M() { return ThreeD(); }
double Radians(double degrees) { return degrees * std::numbers::pi / 180; }
RVector3 Vec(const RValue* a) { return {D(a[0]), D(a[1]), D(a[2])}; }
RBox Box(const RValue* a) { return {D(a[0]), D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5])}; }

// --- mode and states ---

KESTRO_BUILTIN(D3dStart) {
  M().Start(G());
  SetReal(r, 1);
}
KESTRO_BUILTIN(D3dEnd) {
  M().End(G());
  SetReal(r, 1);
}
KESTRO_BUILTIN(D3dSetPerspective) { M().SetPerspective(G(), ArgBool(a[0])); }
KESTRO_BUILTIN(D3dSetHidden) { M().SetHidden(G(), ArgBool(a[0])); }
KESTRO_BUILTIN(D3dSetDepth) { G().SetDepth(D(a[0])); }
KESTRO_BUILTIN(D3dSetLighting) { G().SetLightingOn(ArgBool(a[0])); }
KESTRO_BUILTIN(D3dSetShading) { G().SetShading(ArgBool(a[0])); }
KESTRO_BUILTIN(D3dSetCulling) { G().SetCulling(ArgBool(a[0])); }
KESTRO_BUILTIN(D3dSetFog) { G().SetFog(ArgBool(a[0]), Col(a[1]), float(D(a[2])), float(D(a[3]))); }

// --- cameras ---

KESTRO_BUILTIN(D3dSetProjection) { M().SetProjection(G(), Vec(a), Vec(a + 3), Vec(a + 6)); }
KESTRO_BUILTIN(D3dSetProjectionExt) {
  M().SetProjectionExt(G(), Vec(a), Vec(a + 3), Vec(a + 6), D(a[9]), D(a[10]), D(a[11]), D(a[12]));
}
KESTRO_BUILTIN(D3dSetProjectionOrtho) { M().SetProjectionOrtho(G(), D(a[0]), D(a[1]), D(a[2]), D(a[3]), D(a[4])); }
KESTRO_BUILTIN(D3dSetProjectionPerspective) {
  M().SetProjectionPerspective(G(), D(a[0]), D(a[1]), D(a[2]), D(a[3]), D(a[4]));
}

// --- the world transformation: rotations turn by -angle ---

RMatrix Rotation(int axis, double angle) {
  const double t = Radians(-angle);
  return axis == 0 ? RMatrix::RotationX(t) : axis == 1 ? RMatrix::RotationY(t) : RMatrix::RotationZ(t);
}
RMatrix AxisRotation(const RValue* a) { return RMatrix::RotationAxis(Vec(a), Radians(-D(a[3]))); }

KESTRO_BUILTIN(D3dTransformSetIdentity) { M().TransformSet(G(), RMatrix::Identity()); }
KESTRO_BUILTIN(D3dTransformSetTranslation) { M().TransformSet(G(), RMatrix::Translation(D(a[0]), D(a[1]), D(a[2]))); }
KESTRO_BUILTIN(D3dTransformSetScaling) { M().TransformSet(G(), RMatrix::Scaling(D(a[0]), D(a[1]), D(a[2]))); }
KESTRO_BUILTIN(D3dTransformSetRotationX) { M().TransformSet(G(), Rotation(0, D(a[0]))); }
KESTRO_BUILTIN(D3dTransformSetRotationY) { M().TransformSet(G(), Rotation(1, D(a[0]))); }
KESTRO_BUILTIN(D3dTransformSetRotationZ) { M().TransformSet(G(), Rotation(2, D(a[0]))); }
KESTRO_BUILTIN(D3dTransformSetRotationAxis) { M().TransformSet(G(), AxisRotation(a)); }
KESTRO_BUILTIN(D3dTransformAddTranslation) { M().TransformAdd(G(), RMatrix::Translation(D(a[0]), D(a[1]), D(a[2]))); }
KESTRO_BUILTIN(D3dTransformAddScaling) { M().TransformAdd(G(), RMatrix::Scaling(D(a[0]), D(a[1]), D(a[2]))); }
KESTRO_BUILTIN(D3dTransformAddRotationX) { M().TransformAdd(G(), Rotation(0, D(a[0]))); }
KESTRO_BUILTIN(D3dTransformAddRotationY) { M().TransformAdd(G(), Rotation(1, D(a[0]))); }
KESTRO_BUILTIN(D3dTransformAddRotationZ) { M().TransformAdd(G(), Rotation(2, D(a[0]))); }
KESTRO_BUILTIN(D3dTransformAddRotationAxis) { M().TransformAdd(G(), AxisRotation(a)); }

// --- the transformation stack ---

KESTRO_BUILTIN(D3dTransformStackClear) { M().Stack().Clear(); }
KESTRO_BUILTIN(D3dTransformStackEmpty) { SetReal(r, M().Stack().Empty() ? 1 : 0); }
KESTRO_BUILTIN(D3dTransformStackPush) { SetReal(r, M().Stack().Push(G().World()) ? 1 : 0); }
KESTRO_BUILTIN(D3dTransformStackPop) {
  RMatrix m;
  if (!M().Stack().Pop(m)) return;
  G().SetWorld(m);
  SetReal(r, 1);
}
KESTRO_BUILTIN(D3dTransformStackTop) {
  RMatrix m;
  if (!M().Stack().Top(m)) return;
  G().SetWorld(m);
  SetReal(r, 1);
}
KESTRO_BUILTIN(D3dTransformStackDiscard) { SetReal(r, M().Stack().Discard() ? 1 : 0); }

// --- primitives ---

// The vertex functions' arguments from `first` on, as reals.
void Reals(const RValue* a, int first, int count, double* out) {
  for (int i = 0; i < count; ++i) out[i] = D(a[first + i]);
}
// The number of arguments of the vertex function of each form, without the model index.
constexpr int kVertexArguments[8] = {3, 5, 5, 7, 6, 8, 8, 10};

template <int Form>
KESTRO_BUILTIN(D3dVertex) {
  double v[10];
  Reals(a, 0, kVertexArguments[Form], v);
  M().Primitive().Add(VertexFromArguments(Form, v, DrawingVertexColour(G())));
}

KESTRO_BUILTIN(D3dPrimitiveBegin) { M().Primitive().Begin(ArgInt(a[0]), -1); }
KESTRO_BUILTIN(D3dPrimitiveBeginTexture) { M().Primitive().Begin(ArgInt(a[0]), Texture(a[1])); }
KESTRO_BUILTIN(D3dPrimitiveEnd) { M().EndPrimitive(G()); }

// --- shapes: corners, texture, repeats, then closed and steps ---

KESTRO_BUILTIN(D3dDrawBlock) {
  M().DrawShape(G(), C3DMode::EShape::kBlock, Box(a), Texture(a[6]), D(a[7]), D(a[8]));
}
KESTRO_BUILTIN(D3dDrawCylinder) {
  M().DrawShape(G(), C3DMode::EShape::kCylinder, Box(a), Texture(a[6]), D(a[7]), D(a[8]), ArgBool(a[9]),
                ArgInt(a[10]));
}
KESTRO_BUILTIN(D3dDrawCone) {
  M().DrawShape(G(), C3DMode::EShape::kCone, Box(a), Texture(a[6]), D(a[7]), D(a[8]), ArgBool(a[9]), ArgInt(a[10]));
}
KESTRO_BUILTIN(D3dDrawEllipsoid) {
  M().DrawShape(G(), C3DMode::EShape::kEllipsoid, Box(a), Texture(a[6]), D(a[7]), D(a[8]), true, ArgInt(a[9]));
}
KESTRO_BUILTIN(D3dDrawWall) { M().DrawShape(G(), C3DMode::EShape::kWall, Box(a), Texture(a[6]), D(a[7]), D(a[8])); }
KESTRO_BUILTIN(D3dDrawFloor) {
  M().DrawShape(G(), C3DMode::EShape::kFloor, Box(a), Texture(a[6]), D(a[7]), D(a[8]));
}

// --- lights ---

KESTRO_BUILTIN(D3dLightDefineAmbient) {
  if (a[0].IsString()) return;
  // The ambient colour is the truncated argument, unlike the rounded colours elsewhere.
  const double t = std::isfinite(D(a[0])) ? std::clamp(std::trunc(D(a[0])), -2147483648.0, 2147483647.0) : 0;
  G().SetAmbient(int32_t(t));
}
void Diffuse(RLight& l, int32_t colour) {
  l.r = float(colour & 0xFF) / 255.f;
  l.g = float((colour >> 8) & 0xFF) / 255.f;
  l.b = float((colour >> 16) & 0xFF) / 255.f;
}
int LightIndex(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), -1, RLighting::kLights)); }
KESTRO_BUILTIN(D3dLightDefineDirection) {
  RLight l;
  l.x = float(D(a[1]));
  l.y = float(D(a[2]));
  l.z = float(D(a[3]));
  Diffuse(l, Col(a[4]));
  G().SetLight(LightIndex(a[0]), l);
}
KESTRO_BUILTIN(D3dLightDefinePoint) {
  RLight l;
  l.point = true;
  l.x = float(D(a[1]));
  l.y = float(D(a[2]));
  l.z = float(D(a[3]));
  const double range = D(a[4]);
  l.range = float(range);
  l.att0 = 1;
  l.att1 = range > 0 ? float(4 / range) : 0;
  Diffuse(l, Col(a[5]));
  G().SetLight(LightIndex(a[0]), l);
}
KESTRO_BUILTIN(D3dLightEnable) { G().EnableLight(LightIndex(a[0]), ArgBool(a[1])); }

// --- models ---

C3D_Model* Model(const RValue& v) { return Models3D().Get(ArgInt(v)); }

KESTRO_BUILTIN(D3dModelCreate) { SetReal(r, Models3D().Create()); }
KESTRO_BUILTIN(D3dModelDestroy) { Models3D().Destroy(ArgInt(a[0])); }
KESTRO_BUILTIN(D3dModelClear) {
  if (C3D_Model* m = Model(a[0])) m->Clear();
}

// Gives 1 when the model was saved. In secure mode a name with a folder part is refused.
KESTRO_BUILTIN(D3dModelSave) {
  C3D_Model* m = Model(a[0]);
  if (!m) return;
  const std::string name = ArgText(a[1]);
  if (RunState().secureMode && name.find_first_of("\\/") != std::string::npos)
    return ReportBuiltinError("In secure mode you cannot save a model to file " + name);
  const std::string path = os::HostPath(name);
  if (path.empty() || !os::WriteFileAtomically(path, ModelFileText(m->i_val)))
    return ReportBuiltinError("Failed to save model to file " + name);
  SetReal(r, 1);
}

// Gives 1 when the model was loaded. The model is emptied first and stays empty when the file
// cannot be read: a file that does not exist gives 0 in silence, one that is not a model file is
// reported with the line where it went wrong.
KESTRO_BUILTIN(D3dModelLoad) {
  C3D_Model* m = Model(a[0]);
  if (!m) return;
  m->Clear();
  const std::string name = ArgText(a[1]);
  const std::string path = os::HostPath(name);
  if (path.empty() || !os::IsFile(path)) return;
  std::vector<uint8_t> bytes;
  const os::ReadStatus status = os::ReadFile(path, bytes, kMaxModelFileBytes);
  if (status != os::ReadStatus::kOk)
    return ReportBuiltinError("Failed to load model from file " + name + ": " + os::ReadStatusText(status));
  std::vector<R3DModelEntry> entries;
  std::string error;
  if (!ParseModelFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), entries, error))
    return ReportBuiltinError("Failed to load model from file " + name + ": " + error + ".");
  m->i_val = std::move(entries);
  SetReal(r, 1);
}

KESTRO_BUILTIN(D3dModelDraw) {
  if (C3D_Model* m = Model(a[0])) m->Draw(G(), M(), D(a[1]), D(a[2]), D(a[3]), Texture(a[4]));
}

KESTRO_BUILTIN(D3dModelPrimitiveBegin) {
  if (C3D_Model* m = Model(a[0])) m->Add(kModelPrimitiveBegin, {double(ArgInt(a[1]))});
}
KESTRO_BUILTIN(D3dModelPrimitiveEnd) {
  if (C3D_Model* m = Model(a[0])) m->Add(kModelPrimitiveEnd, {});
}

template <int Form>
KESTRO_BUILTIN(D3dModelVertex) {
  C3D_Model* m = Model(a[0]);
  if (!m) return;
  R3DModelEntry e;
  e.kind = kModelVertex + Form;
  const int n = kVertexArguments[Form];
  Reals(a, 1, n, e.a);
  if (Form & 1) e.a[n - 2] = double(RoundToInt64(e.a[n - 2]));  // the colour
  m->i_val.push_back(e);
}

// A shape entry: the corners and the repeats, then closed (1 or 0) and steps where it has them.
void AddShape(const RValue* a, int32_t kind, int extra) {
  C3D_Model* m = Model(a[0]);
  if (!m) return;
  R3DModelEntry e;
  e.kind = kind;
  Reals(a, 1, 8, e.a);
  if (extra == 2) {
    e.a[8] = ArgBool(a[9]) ? 1 : 0;
    e.a[9] = double(ArgInt(a[10]));
  } else if (extra == 1) {
    e.a[8] = double(ArgInt(a[9]));
  }
  m->i_val.push_back(e);
}
KESTRO_BUILTIN(D3dModelBlock) { AddShape(a, kModelBlock, 0); }
KESTRO_BUILTIN(D3dModelCylinder) { AddShape(a, kModelCylinder, 2); }
KESTRO_BUILTIN(D3dModelCone) { AddShape(a, kModelCone, 2); }
KESTRO_BUILTIN(D3dModelEllipsoid) { AddShape(a, kModelEllipsoid, 1); }
KESTRO_BUILTIN(D3dModelWall) { AddShape(a, kModelWall, 0); }
KESTRO_BUILTIN(D3dModelFloor) { AddShape(a, kModelFloor, 0); }

const RBinding kD3dFunctions[] = {
    {"d3d_start", D3dStart},
    {"d3d_end", D3dEnd},
    {"d3d_set_perspective", D3dSetPerspective},
    {"d3d_set_hidden", D3dSetHidden},
    {"d3d_set_depth", D3dSetDepth},
    {"d3d_set_lighting", D3dSetLighting},
    {"d3d_set_shading", D3dSetShading},
    {"d3d_set_fog", D3dSetFog},
    {"d3d_set_culling", D3dSetCulling},
    {"d3d_primitive_begin", D3dPrimitiveBegin},
    {"d3d_primitive_begin_texture", D3dPrimitiveBeginTexture},
    {"d3d_primitive_end", D3dPrimitiveEnd},
    {"d3d_vertex", D3dVertex<0>},
    {"d3d_vertex_color", D3dVertex<1>},
    {"d3d_vertex_texture", D3dVertex<2>},
    {"d3d_vertex_texture_color", D3dVertex<3>},
    {"d3d_vertex_normal", D3dVertex<4>},
    {"d3d_vertex_normal_color", D3dVertex<5>},
    {"d3d_vertex_normal_texture", D3dVertex<6>},
    {"d3d_vertex_normal_texture_color", D3dVertex<7>},
    {"d3d_draw_block", D3dDrawBlock},
    {"d3d_draw_cylinder", D3dDrawCylinder},
    {"d3d_draw_cone", D3dDrawCone},
    {"d3d_draw_ellipsoid", D3dDrawEllipsoid},
    {"d3d_draw_wall", D3dDrawWall},
    {"d3d_draw_floor", D3dDrawFloor},
    {"d3d_set_projection", D3dSetProjection},
    {"d3d_set_projection_ext", D3dSetProjectionExt},
    {"d3d_set_projection_ortho", D3dSetProjectionOrtho},
    {"d3d_set_projection_perspective", D3dSetProjectionPerspective},
    {"d3d_transform_set_identity", D3dTransformSetIdentity},
    {"d3d_transform_set_translation", D3dTransformSetTranslation},
    {"d3d_transform_set_scaling", D3dTransformSetScaling},
    {"d3d_transform_set_rotation_x", D3dTransformSetRotationX},
    {"d3d_transform_set_rotation_y", D3dTransformSetRotationY},
    {"d3d_transform_set_rotation_z", D3dTransformSetRotationZ},
    {"d3d_transform_set_rotation_axis", D3dTransformSetRotationAxis},
    {"d3d_transform_add_translation", D3dTransformAddTranslation},
    {"d3d_transform_add_scaling", D3dTransformAddScaling},
    {"d3d_transform_add_rotation_x", D3dTransformAddRotationX},
    {"d3d_transform_add_rotation_y", D3dTransformAddRotationY},
    {"d3d_transform_add_rotation_z", D3dTransformAddRotationZ},
    {"d3d_transform_add_rotation_axis", D3dTransformAddRotationAxis},
    {"d3d_transform_stack_clear", D3dTransformStackClear},
    {"d3d_transform_stack_empty", D3dTransformStackEmpty},
    {"d3d_transform_stack_push", D3dTransformStackPush},
    {"d3d_transform_stack_pop", D3dTransformStackPop},
    {"d3d_transform_stack_top", D3dTransformStackTop},
    {"d3d_transform_stack_discard", D3dTransformStackDiscard},
    {"d3d_light_define_ambient", D3dLightDefineAmbient},
    {"d3d_light_define_direction", D3dLightDefineDirection},
    {"d3d_light_define_point", D3dLightDefinePoint},
    {"d3d_light_enable", D3dLightEnable},
    {"d3d_model_create", D3dModelCreate},
    {"d3d_model_destroy", D3dModelDestroy},
    {"d3d_model_clear", D3dModelClear},
    {"d3d_model_load", D3dModelLoad},
    {"d3d_model_save", D3dModelSave},
    {"d3d_model_draw", D3dModelDraw},
    {"d3d_model_primitive_begin", D3dModelPrimitiveBegin},
    {"d3d_model_primitive_end", D3dModelPrimitiveEnd},
    {"d3d_model_vertex", D3dModelVertex<0>},
    {"d3d_model_vertex_color", D3dModelVertex<1>},
    {"d3d_model_vertex_texture", D3dModelVertex<2>},
    {"d3d_model_vertex_texture_color", D3dModelVertex<3>},
    {"d3d_model_vertex_normal", D3dModelVertex<4>},
    {"d3d_model_vertex_normal_color", D3dModelVertex<5>},
    {"d3d_model_vertex_normal_texture", D3dModelVertex<6>},
    {"d3d_model_vertex_normal_texture_color", D3dModelVertex<7>},
    {"d3d_model_block", D3dModelBlock},
    {"d3d_model_cylinder", D3dModelCylinder},
    {"d3d_model_cone", D3dModelCone},
    {"d3d_model_ellipsoid", D3dModelEllipsoid},
    {"d3d_model_wall", D3dModelWall},
    {"d3d_model_floor", D3dModelFloor},
};

}  // namespace

RBindingTable D3dFunctions() { return kD3dFunctions; }

}  // namespace kestro
