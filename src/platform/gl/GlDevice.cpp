#include "platform/gl/GlDevice.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

namespace kestro::platform {

namespace {

// Sources follow a "#version" line and the switches (UNITS, TEXTURE, MODULATE, ALPHATEST, FOG,
// SHADE, LIGHTING).
const char* kVertexShader = R"(
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec4 aColour;
layout(location = 2) in vec2 aUV;
layout(location = 3) in int aSlot;
layout(location = 4) in vec3 aNormal;
uniform mat4 uMatrix;
uniform mat4 uWorldView;
uniform vec2 uPixel;
#if LIGHTING
// Lighting per vertex in world space: the global ambient light plus each light's diffuse colour
// times the vertex colour, by the angle to the normal and, for point lights, the distance.
uniform mat4 uWorld;
uniform mat3 uNormalMatrix;
uniform vec3 uAmbient;
uniform int uLightOn[8];
uniform int uLightPoint[8];
uniform vec3 uLightVec[8];
uniform vec3 uLightColour[8];
uniform vec3 uLightAtten[8];  // constant, linear, range
#endif
SHADE out vec4 vColour;
out vec2 vUV;
out float vDepth;
flat out int vSlot;
void main() {
  vSlot = aSlot;
  vec4 p = uMatrix * vec4(aPos, 1.0);
  // Rows are stored from the top, and pixel centres sit on whole coordinates as on the original
  // device: flip y and move by half a pixel. Depth goes from 0..w to OpenGL's -w..w.
  p.y = -p.y;
  p.xy += uPixel * p.w;
  p.z = 2.0 * p.z - p.w;
  gl_Position = p;
#if LIGHTING
  vec3 wp = (uWorld * vec4(aPos, 1.0)).xyz;
  vec3 n = uNormalMatrix * aNormal;
  float ln = length(n);
  if (ln > 0.0) n /= ln;
  vec3 diffuse = vec3(0.0);
  for (int i = 0; i < 8; ++i) {
    if (uLightOn[i] == 0) continue;
    vec3 l;
    float att = 1.0;
    if (uLightPoint[i] != 0) {
      vec3 d = uLightVec[i] - wp;
      float dist = length(d);
      if (dist > uLightAtten[i].z) continue;
      l = dist > 0.0 ? d / dist : vec3(0.0);
      att = 1.0 / max(uLightAtten[i].x + uLightAtten[i].y * dist, 1e-6);
    } else {
      float lv = length(uLightVec[i]);
      l = lv > 0.0 ? -uLightVec[i] / lv : vec3(0.0);
    }
    diffuse += att * uLightColour[i] * max(dot(n, l), 0.0);
  }
  vColour = vec4(clamp(uAmbient + aColour.rgb * diffuse, 0.0, 1.0), aColour.a);
#else
  vColour = aColour;
#endif
  vUV = aUV;
  vDepth = (uWorldView * vec4(aPos, 1.0)).z;
}
)";

// Compiled for each combination of the stage's switches (a program per state keeps the
// per-pixel work of the software rasterizers small), and for no texture, one texture on every
// vertex, or a texture chosen per vertex among up to eight.
const char* kFragmentShader = R"(
SHADE in vec4 vColour;
in vec2 vUV;
in float vDepth;
flat in int vSlot;
uniform sampler2D uTex[UNITS];
uniform vec4 uFogColour;
uniform vec2 uFogRange;
out vec4 oColour;
void main() {
  // Up to eight textures share a batch, each vertex naming its unit. Without a texture the
  // stage reads opaque white.
  vec4 t = vec4(1.0);
#if TEXTURE == 1
  t = texture(uTex[0], vUV);
#elif TEXTURE == 2
#if UNITS == 1
  if (vSlot == 0) t = texture(uTex[0], vUV);
#else
  // Only as many cases as the batch has units: software rasterizers pay for every case.
  switch (vSlot) {
    case 0: t = texture(uTex[0], vUV); break;
    case 1: t = texture(uTex[1], vUV); break;
#if UNITS > 2
    case 2: t = texture(uTex[2], vUV); break;
    case 3: t = texture(uTex[3], vUV); break;
#endif
#if UNITS > 4
    case 4: t = texture(uTex[4], vUV); break;
    case 5: t = texture(uTex[5], vUV); break;
    case 6: t = texture(uTex[6], vUV); break;
    case 7: t = texture(uTex[7], vUV); break;
#endif
  }
#endif
#endif
#if MODULATE
  vec4 c = t * vColour;
#else
  vec4 c = t;
#endif
#if ALPHATEST
  // The alpha test passes alpha above 0 in 8-bit terms.
  if (floor(c.a * 255.0 + 0.5) <= 0.0) discard;
#endif
#if FOG
  float f = clamp((uFogRange.y - vDepth) / max(uFogRange.y - uFogRange.x, 1e-6), 0.0, 1.0);
  c.rgb = mix(uFogColour.rgb, c.rgb, f);
#endif
  oColour = c;
}
)";

// Lines are drawn with their last pixel, as the original device did by default: each segment's
// end is moved one pixel further along its major axis, so the pixel holding the end point is
// left through its diamond and therefore drawn.
const char* kLineShader = R"(
layout(lines) in;
layout(line_strip, max_vertices = 2) out;
SHADE in vec4 vColour[];
in vec2 vUV[];
in float vDepth[];
flat in int vSlot[];
SHADE out vec4 gColour;
out vec2 gUV;
out float gDepth;
flat out int gSlot;
uniform vec2 uPixel;
void main() {
  vec4 a = gl_in[0].gl_Position, b = gl_in[1].gl_Position;
  vec4 e = b;
  if (a.w > 0.0 && b.w > 0.0) {
    vec2 pa = a.xy / a.w / (2.0 * uPixel), pb = b.xy / b.w / (2.0 * uPixel);
    vec2 d = pb - pa;
    float m = max(abs(d.x), abs(d.y));
    if (m > 0.0) e.xy = (pb + d / m) * (2.0 * uPixel) * b.w;
  }
  gl_Position = a; gColour = vColour[0]; gUV = vUV[0]; gDepth = vDepth[0]; gSlot = vSlot[0];
  EmitVertex();
  gl_Position = e; gColour = vColour[1]; gUV = vUV[1]; gDepth = vDepth[1]; gSlot = vSlot[1];
  EmitVertex();
  EndPrimitive();
}
)";

GLuint Compile(GLenum kind, const char* src, std::string& error) {
  GLuint s = glCreateShader(kind);
  glShaderSource(s, 1, &src, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    error = std::string("shader: ") + log;
    glDeleteShader(s);
    return 0;
  }
  return s;
}

GLenum GlBlend(int f) {
  switch (f) {
    case kBlendZero: return GL_ZERO;
    case kBlendOne: return GL_ONE;
    case kBlendSrcColor: return GL_SRC_COLOR;
    case kBlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case kBlendSrcAlpha: return GL_SRC_ALPHA;
    case kBlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case kBlendDestAlpha: return GL_DST_ALPHA;
    case kBlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case kBlendDestColor: return GL_DST_COLOR;
    case kBlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
    case kBlendSrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
  }
}

void ToFloats(const RMatrix& m, float out[16]) {
  // Row-vector matrices stored row by row are exactly OpenGL's column-major M^T, which is what
  // multiplying a column vector needs.
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[r * 4 + c] = float(m.m[r][c]);
}

}  // namespace

GlDevice::~GlDevice() { Destroy(); }

bool GlDevice::BuildProgram(int key, std::string& error) {
  int units = 1 << (key & kProgramUnits);
  bool lines = key & kProgramLines;
  std::string head = std::string("#version 330 core\n#define SHADE ") + ((key & kProgramFlat) ? "flat" : "smooth") +
                     "\n#define LIGHTING " + ((key & kProgramLit) ? "1" : "0") + "\n";
  std::string fsText = head + "#define UNITS " + std::to_string(units) + "\n";
  fsText += std::string("#define TEXTURE ") +
            ((key & kProgramNoTexture)    ? "0"
             : (key & kProgramOneTexture) ? "1"
                                          : "2") +
            "\n";
  fsText += std::string("#define MODULATE ") + ((key & kProgramModulate) ? "1" : "0") + "\n";
  fsText += std::string("#define ALPHATEST ") + ((key & kProgramAlphaTest) ? "1" : "0") + "\n";
  fsText += std::string("#define FOG ") + ((key & kProgramFog) ? "1" : "0") + "\n";
  if (lines) fsText += "#define vColour gColour\n#define vUV gUV\n#define vDepth gDepth\n#define vSlot gSlot\n";
  fsText += kFragmentShader;
  std::string vsText = head + kVertexShader, gsText = head + kLineShader;
  GLuint vs = Compile(GL_VERTEX_SHADER, vsText.c_str(), error);
  GLuint fs = Compile(GL_FRAGMENT_SHADER, fsText.c_str(), error);
  GLuint gs = lines ? Compile(GL_GEOMETRY_SHADER, gsText.c_str(), error) : 0;
  if (!vs || !fs || (lines && !gs)) {
    glDeleteShader(vs);
    glDeleteShader(fs);
    glDeleteShader(gs);
    return false;
  }
  RProgram& p = programs_[key];
  p.id = glCreateProgram();
  glAttachShader(p.id, vs);
  glAttachShader(p.id, fs);
  if (gs) glAttachShader(p.id, gs);
  glLinkProgram(p.id);
  glDeleteShader(vs);
  glDeleteShader(fs);
  glDeleteShader(gs);
  GLint ok = 0;
  glGetProgramiv(p.id, GL_LINK_STATUS, &ok);
  if (!ok) {
    error = "shader program does not link";
    glDeleteProgram(p.id);
    p.id = 0;
    return false;
  }
  p.uMatrix = glGetUniformLocation(p.id, "uMatrix");
  p.uWorldView = glGetUniformLocation(p.id, "uWorldView");
  p.uPixel = glGetUniformLocation(p.id, "uPixel");
  p.uFogColour = glGetUniformLocation(p.id, "uFogColour");
  p.uFogRange = glGetUniformLocation(p.id, "uFogRange");
  p.uWorld = glGetUniformLocation(p.id, "uWorld");
  p.uNormalMatrix = glGetUniformLocation(p.id, "uNormalMatrix");
  p.uAmbient = glGetUniformLocation(p.id, "uAmbient");
  p.uLightOn = glGetUniformLocation(p.id, "uLightOn");
  p.uLightPoint = glGetUniformLocation(p.id, "uLightPoint");
  p.uLightVec = glGetUniformLocation(p.id, "uLightVec");
  p.uLightColour = glGetUniformLocation(p.id, "uLightColour");
  p.uLightAtten = glGetUniformLocation(p.id, "uLightAtten");
  glUseProgram(p.id);
  for (int i = 0; i < units; ++i)
    glUniform1i(glGetUniformLocation(p.id, ("uTex[" + std::to_string(i) + "]").c_str()), i);
  return true;
}

bool GlDevice::Create(int backW, int backH, std::string& error) {
  Destroy();
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  if (major * 10 + minor < 33) {
    error = "OpenGL 3.3 is not available (version " + std::to_string(major) + "." + std::to_string(minor) + ")";
    return false;
  }
  backW_ = std::max(backW, 1);
  backH_ = std::max(backH, 1);
  GLint maxTex = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTex);
  GLint maxSamples = 0;
  glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
  maxSamples_ = maxSamples;
  maxTexture_ = std::clamp(int(maxTex), 64, 8192);

  if (!BuildProgram(kProgramModulate, error)) return false;

  glGenVertexArrays(1, &vao_);
  glBindVertexArray(vao_);
  glGenBuffers(1, &vbo_);
  glGenBuffers(1, &nbo_);
  glGenBuffers(1, &ibo_);
  glGenBuffers(1, &quadIbo_);
  glBindBuffer(GL_ARRAY_BUFFER, vbo_);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(RGpuVertex), reinterpret_cast<void*>(offsetof(RGpuVertex, x)));
  glEnableVertexAttribArray(1);
  // ARGB words are B, G, R, A in memory: exactly what the BGRA attribute size reads.
  glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(RGpuVertex),
                        reinterpret_cast<void*>(offsetof(RGpuVertex, colour)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(RGpuVertex), reinterpret_cast<void*>(offsetof(RGpuVertex, u)));
  glEnableVertexAttribArray(3);
  glVertexAttribIPointer(3, 1, GL_INT, sizeof(RGpuVertex), reinterpret_cast<void*>(offsetof(RGpuVertex, slot)));
  // Normals: enabled for lit batches only.
  glBindBuffer(GL_ARRAY_BUFFER, nbo_);
  glVertexAttribPointer(4, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), nullptr);

  // Samplers: bit 0 linear, bit 1 wrap.
  glGenSamplers(4, samplers_);
  for (int i = 0; i < 4; ++i) {
    GLint filter = (i & 1) ? GL_LINEAR : GL_NEAREST;
    GLint wrap = (i & 2) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glSamplerParameteri(samplers_[i], GL_TEXTURE_MIN_FILTER, filter);
    glSamplerParameteri(samplers_[i], GL_TEXTURE_MAG_FILTER, filter);
    glSamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_S, wrap);
    glSamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_T, wrap);
  }

  // The back buffer: colour with an alpha that stays opaque, depth and stencil.
  GLuint colour = 0;
  glGenTextures(1, &colour);
  glBindTexture(GL_TEXTURE_2D, colour);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, backW_, backH_, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  back_.w = backW_;
  back_.h = backH_;
  glGenFramebuffers(1, &back_.fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, back_.fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
  glGenRenderbuffers(1, &back_.depth);
  glBindRenderbuffer(GL_RENDERBUFFER, back_.depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, backW_, backH_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, back_.depth);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    error = "the back buffer cannot be made";
    return false;
  }
  sizes_[0] = {backW_, backH_};
  backColour_ = colour;
  target_ = 0;
  created_ = true;
  glDepthFunc(GL_LEQUAL);
  // Flat shading takes each triangle's first vertex, as the original device did.
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glEnable(GL_SCISSOR_TEST);
  glEnable(GL_BLEND);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  SetViewport({0, 0, backW_, backH_});
  RMatrix id = RMatrix::Identity();
  SetTransforms(id, id, id);
  Clear(0xFF000000u, true, true);
  return true;
}

void GlDevice::Destroy() {
  if (!created_) return;
  for (RBatch& b : batches_) b = RBatch{};
  for (auto& [h, t] : targets_) {
    glDeleteFramebuffers(1, &t.fbo);
    glDeleteRenderbuffers(1, &t.depth);
  }
  targets_.clear();
  for (auto& [h, s] : sizes_)
    if (h != 0) {
      GLuint name = h;
      glDeleteTextures(1, &name);
    }
  sizes_.clear();
  DeleteMultisample();
  glDeleteFramebuffers(1, &back_.fbo);
  glDeleteRenderbuffers(1, &back_.depth);
  glDeleteTextures(1, &backColour_);
  glDeleteSamplers(4, samplers_);
  GLuint buffers[4] = {vbo_, nbo_, ibo_, quadIbo_};
  glDeleteBuffers(4, buffers);
  vbo_ = nbo_ = ibo_ = quadIbo_ = 0;
  vboUsed_ = vboCapacity_ = iboUsed_ = iboCapacity_ = 0;
  quadIndices_ = 0;
  glDeleteVertexArrays(1, &vao_);
  for (RProgram& p : programs_) {
    if (p.id) glDeleteProgram(p.id);
    p = RProgram{};
  }
  back_ = RTarget{};
  created_ = false;
}

uint32_t GlDevice::CreateTexture(int wt, int ht, const uint8_t* bgra, bool renderTarget) {
  if (!created_ || wt <= 0 || ht <= 0 || wt > maxTexture_ || ht > maxTexture_) return 0;
  Flush();
  while (glGetError() != GL_NO_ERROR) {
  }
  GLuint t = 0;
  glGenTextures(1, &t);
  glBindTexture(GL_TEXTURE_2D, t);
  std::vector<uint8_t> zeros;
  if (!bgra) {
    zeros.assign(size_t(wt) * size_t(ht) * 4, 0);
    bgra = zeros.data();
  }
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, wt, ht, 0, GL_BGRA, GL_UNSIGNED_BYTE, bgra);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &t);
    return 0;
  }
  sizes_[t] = {wt, ht};
  if (renderTarget) targets_[t] = RTarget{0, 0, wt, ht};
  return t;
}

void GlDevice::FreeTexture(uint32_t handle) {
  if (!created_ || handle == 0 || !sizes_.count(handle)) return;
  Flush();
  if (target_ == handle) BindTarget(0);
  if (texture_ == handle) texture_ = 0;
  auto it = targets_.find(handle);
  if (it != targets_.end()) {
    glDeleteFramebuffers(1, &it->second.fbo);
    glDeleteRenderbuffers(1, &it->second.depth);
    targets_.erase(it);
  }
  sizes_.erase(handle);
  GLuint name = handle;
  glDeleteTextures(1, &name);
}

void GlDevice::SetState(const RRenderState& state) {
  if (state == state_) return;
  Flush();
  state_ = state;
}

void GlDevice::SetTexture(uint32_t handle) {
  if (handle != 0 && !sizes_.count(handle)) handle = 0;
  texture_ = handle;
}

void GlDevice::SetTransforms(const RMatrix& world, const RMatrix& view, const RMatrix& projection) {
  RMatrix wv = world * view;
  float matrix[16], worldView[16], worldOnly[16];
  ToFloats(wv * projection, matrix);
  ToFloats(wv, worldView);
  ToFloats(world, worldOnly);
  // The same transforms set again (each view and each surface sets them) keep the batches.
  if (std::equal(matrix, matrix + 16, matrix_) && std::equal(worldView, worldView + 16, worldView_) &&
      std::equal(worldOnly, worldOnly + 16, world_))
    return;
  Flush();
  std::copy(matrix, matrix + 16, matrix_);
  std::copy(worldView, worldView + 16, worldView_);
  std::copy(worldOnly, worldOnly + 16, world_);
  // Normals turn with the inverse of the world's 3 x 3 part (column-major for the shader).
  const auto& m = world.m;
  double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (det == 0) det = 1;
  double inv[3][3] = {
      {(m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det, (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det,
       (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det},
      {(m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det, (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det,
       (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det},
      {(m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det, (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det,
       (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) normalMatrix_[c * 3 + r] = float(inv[r][c]);
}

void GlDevice::SetLighting(const RLighting& l) {
  if (l == lighting_) return;
  Flush();
  lighting_ = l;
}

void GlDevice::SetViewport(const RPixelRect& r) {
  if (r == viewport_) return;
  Flush();
  viewport_ = r;
}

void GlDevice::ApplyBatchState(EBatch kind, const RBatch& b) {
  int unitClass = b.unitsUsed <= 1 ? 0 : b.unitsUsed <= 2 ? 1 : b.unitsUsed <= 4 ? 2 : 3;
  int texturing = !b.textured ? kProgramNoTexture : !b.untextured && b.unitsUsed == 1 ? kProgramOneTexture : 0;
  // Modulating by opaque white changes nothing, and without perspective the interpolated colour
  // is exactly white: such a batch (sprites drawn plainly) need not carry its colour to the pixels.
  bool affine = matrix_[3] == 0 && matrix_[7] == 0 && matrix_[11] == 0 && matrix_[15] == 1;
  bool modulate = state_.modulate && !(b.white && affine && !state_.lighting);
  int key = unitClass | texturing | (kind == kLines ? kProgramLines : 0) | (modulate ? kProgramModulate : 0) |
            (state_.alphaTest ? kProgramAlphaTest : 0) | (state_.fog ? kProgramFog : 0) |
            (state_.gouraud ? 0 : kProgramFlat) | (state_.lighting ? kProgramLit : 0);
  std::string error;
  if (!programs_[key].id && !BuildProgram(key, error)) key = kProgramModulate;
  const RProgram& p = programs_[key];
  glUseProgram(p.id);
  glBindVertexArray(vao_);
  glViewport(viewport_.x, viewport_.y, std::max(viewport_.w, 1), std::max(viewport_.h, 1));
  glScissor(viewport_.x, viewport_.y, std::max(viewport_.w, 0), std::max(viewport_.h, 0));
  glUniformMatrix4fv(p.uMatrix, 1, GL_FALSE, matrix_);
  glUniformMatrix4fv(p.uWorldView, 1, GL_FALSE, worldView_);
  glUniform2f(p.uPixel, 1.0f / float(std::max(viewport_.w, 1)), 1.0f / float(std::max(viewport_.h, 1)));
  uint32_t f = state_.fogColour;
  glUniform4f(p.uFogColour, float((f >> 16) & 255) / 255.f, float((f >> 8) & 255) / 255.f, float(f & 255) / 255.f, 1.f);
  glUniform2f(p.uFogRange, state_.fogStart, state_.fogEnd);
  if (state_.lighting) {
    glUniformMatrix4fv(p.uWorld, 1, GL_FALSE, world_);
    glUniformMatrix3fv(p.uNormalMatrix, 1, GL_FALSE, normalMatrix_);
    glUniform3f(p.uAmbient, lighting_.ambientR, lighting_.ambientG, lighting_.ambientB);
    GLint on[8], point[8];
    float vec[24], colour[24], att[24];
    for (int i = 0; i < 8; ++i) {
      const RLight& l = lighting_.lights[i];
      on[i] = l.enabled;
      point[i] = l.point;
      float v[3] = {l.x, l.y, l.z}, c[3] = {l.r, l.g, l.b}, a[3] = {l.att0, l.att1, l.range};
      for (int k = 0; k < 3; ++k) {
        vec[i * 3 + k] = v[k];
        colour[i * 3 + k] = c[k];
        att[i * 3 + k] = a[k];
      }
    }
    glUniform1iv(p.uLightOn, 8, on);
    glUniform1iv(p.uLightPoint, 8, point);
    glUniform3fv(p.uLightVec, 8, vec);
    glUniform3fv(p.uLightColour, 8, colour);
    glUniform3fv(p.uLightAtten, 8, att);
  }
  GLuint sampler = samplers_[(state_.linearFilter ? 1 : 0) | (state_.wrap ? 2 : 0)];
  if (state_.lighting)
    glEnableVertexAttribArray(4);
  else
    glDisableVertexAttribArray(4);
  for (int i = 0; i < b.unitsUsed; ++i) {
    glActiveTexture(GLenum(GL_TEXTURE0 + i));
    glBindTexture(GL_TEXTURE_2D, b.units[i]);
    glBindSampler(GLuint(i), sampler);
  }
  glActiveTexture(GL_TEXTURE0);
  GLenum src = GlBlend(state_.srcBlend), dst = GlBlend(state_.destBlend);
  if (state_.srcBlend == kBlendBothSrcAlpha || state_.destBlend == kBlendBothSrcAlpha) {
    src = GL_SRC_ALPHA;
    dst = GL_ONE_MINUS_SRC_ALPHA;
  } else if (state_.srcBlend == kBlendBothInvSrcAlpha || state_.destBlend == kBlendBothInvSrcAlpha) {
    src = GL_ONE_MINUS_SRC_ALPHA;
    dst = GL_SRC_ALPHA;
  }
  glBlendFunc(src, dst);
  if (state_.depthTest) {
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  if (state_.cullCCW) {
    // Rows run from the top, so a face clockwise on the screen is counter-clockwise to OpenGL.
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
  } else {
    glDisable(GL_CULL_FACE);
  }
  // The screen has no alpha of its own: it always reads as opaque.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, target_ != 0);
}

GlDevice::RCover GlDevice::CoverOf(const RVertex* v, int count) const {
  const RCover all{0, 0, kCells - 1, kCells - 1};
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  const float* m = matrix_;
  for (int i = 0; i < count; ++i) {
    const RVertex& a = v[i];
    float w = a.x * m[3] + a.y * m[7] + a.z * m[11] + m[15];
    float x = (a.x * m[0] + a.y * m[4] + a.z * m[8] + m[12]) / w;
    float y = (a.x * m[1] + a.y * m[5] + a.z * m[9] + m[13]) / w;
    // Behind the eye or not a number: anywhere.
    if (!(w > 1e-6f) || !std::isfinite(x) || !std::isfinite(y)) return all;
    if (i == 0) {
      x0 = x1 = x;
      y0 = y1 = y;
    } else {
      x0 = std::min(x0, x);
      x1 = std::max(x1, x);
      y0 = std::min(y0, y);
      y1 = std::max(y1, y);
    }
  }
  // Two pixels to spare on every side: the half-pixel shift, a line's last pixel, filtering.
  const float mx = 4.0f / float(std::max(viewport_.w, 1)), my = 4.0f / float(std::max(viewport_.h, 1));
  auto cell = [](float ndc) { return int(std::clamp((ndc + 1.0f) * 0.5f * float(kCells), 0.0f, float(kCells - 1))); };
  return RCover{cell(x0 - mx), cell(y0 - my), cell(x1 + mx), cell(y1 + my)};
}

bool GlDevice::Overlaps(const RBatch& b, const RCover& c) const {
  const uint64_t mask = c.Mask();
  for (int y = c.y0; y <= c.y1; ++y)
    if (b.rows[y] & mask) return true;
  return false;
}

bool GlDevice::TextureSlot(RBatch& b, int32_t& slot) {
  if (texture_ == 0) {
    slot = -1;
    b.untextured = true;
    return true;
  }
  int i = 0;
  while (i < b.unitsUsed && b.units[i] != texture_) ++i;
  if (i == kUnits) return false;
  if (i == b.unitsUsed) b.units[b.unitsUsed++] = texture_;
  slot = i;
  b.textured = true;
  return true;
}

void GlDevice::Push(RBatch& b, const RVertex& a, int32_t slot) {
  b.vertices.push_back(RGpuVertex{a.x, a.y, a.z, a.colour, a.u, a.v, slot});
  b.white = b.white && a.colour == 0xFFFFFFFFu;
  if (state_.lighting) b.normals.insert(b.normals.end(), {a.nx, a.ny, a.nz});
}

void GlDevice::Draw(EPrimitive type, const RVertex* v, int count) {
  if (!created_ || !v || count <= 0) return;
  EBatch kind = kTriangles;
  if (type == EPrimitive::PointList) kind = kPoints;
  if (type == EPrimitive::LineList || type == EPrimitive::LineStrip) kind = kLines;
  // The vertices that make whole primitives.
  int used = count;
  if (type == EPrimitive::LineList) used = count & ~1;
  if (type == EPrimitive::LineStrip && count < 2) used = 0;
  if (type == EPrimitive::TriangleList) used = count / 3 * 3;
  if ((type == EPrimitive::TriangleStrip || type == EPrimitive::TriangleFan) && count < 3) used = 0;
  if (used == 0) return;

  // Batches sent after this one hold primitives drawn earlier: where they may touch the same
  // pixels, the order of drawing decides, so everything waiting goes first.
  RCover cover;
  bool covered = false;
  for (int k = kind + 1; k < kBatches; ++k) {
    if (batches_[k].Empty()) continue;
    if (!covered) cover = CoverOf(v, used);
    covered = true;
    if (Overlaps(batches_[k], cover)) {
      Flush();
      break;
    }
  }
  RBatch& b = batches_[kind];
  int32_t slot = -1;
  if (!TextureSlot(b, slot)) {
    Flush();
    TextureSlot(b, slot);
  }
  if (kind != kTriangles) {
    if (!covered) cover = CoverOf(v, used);
    const uint64_t mask = cover.Mask();
    for (int y = cover.y0; y <= cover.y1; ++y) b.rows[y] |= mask;
  }

  switch (type) {
    case EPrimitive::PointList:
    case EPrimitive::LineList:
      for (int i = 0; i < used; ++i) Push(b, v[i], slot);
      return;
    case EPrimitive::LineStrip:
      for (int i = 0; i + 1 < used; ++i) {
        Push(b, v[i], slot);
        Push(b, v[i + 1], slot);
      }
      return;
    default: break;
  }
  // Sprites, text and rectangles come as fans of four: they need no indices of their own until
  // something else joins the batch.
  if (type == EPrimitive::TriangleFan && used == 4 && b.quads) {
    for (int i = 0; i < 4; ++i) Push(b, v[i], slot);
    return;
  }
  if (b.quads) {
    for (uint32_t q = 0; q < uint32_t(b.vertices.size()); q += 4)
      b.indices.insert(b.indices.end(), {q, q + 1, q + 2, q, q + 2, q + 3});
    b.quads = false;
  }
  const uint32_t base = uint32_t(b.vertices.size());
  for (int i = 0; i < used; ++i) Push(b, v[i], slot);
  switch (type) {
    case EPrimitive::TriangleList:
      for (uint32_t i = 0; i < uint32_t(used); ++i) b.indices.push_back(base + i);
      break;
    case EPrimitive::TriangleStrip:
      // Every other triangle turned back, so all face the same way and start where the
      // original device started them (the first vertex colours a flat triangle).
      for (uint32_t i = 0; i + 2 < uint32_t(used); ++i) {
        if (i & 1)
          b.indices.insert(b.indices.end(), {base + i + 1, base + i, base + i + 2});
        else
          b.indices.insert(b.indices.end(), {base + i, base + i + 1, base + i + 2});
      }
      break;
    default:  // fan
      for (uint32_t i = 1; i + 1 < uint32_t(used); ++i)
        b.indices.insert(b.indices.end(), {base, base + i, base + i + 1});
      break;
  }
}

void GlDevice::EnsureQuadIndices(int quads) {
  if (quads <= quadIndices_) return;
  quadIndices_ = std::min(std::max({quads, quadIndices_ * 2, 1024}), kQuadsPerDraw);
  std::vector<uint16_t> indices;
  indices.reserve(size_t(quadIndices_) * 6);
  for (int q = 0; q < quadIndices_; ++q) {
    const auto i = uint16_t(q * 4);
    indices.insert(indices.end(), {i, uint16_t(i + 1), uint16_t(i + 2), i, uint16_t(i + 2), uint16_t(i + 3)});
  }
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * sizeof(uint16_t)), indices.data(), GL_STATIC_DRAW);
}

void GlDevice::Send(EBatch kind, RBatch& b) {
  ApplyBatchState(kind, b);
  const size_t n = b.vertices.size();
  const bool lit = state_.lighting;
  // Batches are appended to the stream buffers, which are renewed only when full.
  if (vboUsed_ + n > vboCapacity_) {
    vboCapacity_ = std::max({n, vboCapacity_, (size_t(4) << 20) / sizeof(RGpuVertex)});
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vboCapacity_ * sizeof(RGpuVertex)), nullptr, GL_STREAM_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, nbo_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vboCapacity_ * 3 * sizeof(float)), nullptr, GL_STREAM_DRAW);
    vboUsed_ = 0;
  }
  glBindBuffer(GL_ARRAY_BUFFER, vbo_);
  glBufferSubData(GL_ARRAY_BUFFER, GLintptr(vboUsed_ * sizeof(RGpuVertex)), GLsizeiptr(n * sizeof(RGpuVertex)),
                  b.vertices.data());
  if (lit) {
    glBindBuffer(GL_ARRAY_BUFFER, nbo_);
    glBufferSubData(GL_ARRAY_BUFFER, GLintptr(vboUsed_ * 3 * sizeof(float)), GLsizeiptr(n * 3 * sizeof(float)),
                    b.normals.data());
  }
  const auto base = GLint(vboUsed_);
  if (kind != kTriangles) {
    glDrawArrays(kind == kLines ? GL_LINES : GL_POINTS, base, GLsizei(n));
    ++drawCalls_;
  } else if (b.quads) {
    const int quads = int(n / 4);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quadIbo_);
    EnsureQuadIndices(std::min(quads, int(kQuadsPerDraw)));
    for (int q = 0; q < quads; q += kQuadsPerDraw) {
      const int c = std::min(int(kQuadsPerDraw), quads - q);
      glDrawElementsBaseVertex(GL_TRIANGLES, c * 6, GL_UNSIGNED_SHORT, nullptr, base + q * 4);
      ++drawCalls_;
    }
  } else {
    const size_t ni = b.indices.size();
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo_);
    if (iboUsed_ + ni > iboCapacity_) {
      iboCapacity_ = std::max({ni, iboCapacity_, (size_t(1) << 20) / sizeof(uint32_t)});
      glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(iboCapacity_ * sizeof(uint32_t)), nullptr, GL_STREAM_DRAW);
      iboUsed_ = 0;
    }
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, GLintptr(iboUsed_ * sizeof(uint32_t)), GLsizeiptr(ni * sizeof(uint32_t)),
                    b.indices.data());
    glDrawElementsBaseVertex(GL_TRIANGLES, GLsizei(ni), GL_UNSIGNED_INT,
                             reinterpret_cast<void*>(iboUsed_ * sizeof(uint32_t)), base);
    iboUsed_ += ni;
    ++drawCalls_;
  }
  vboUsed_ += n;
  b.vertices.clear();
  b.normals.clear();
  b.indices.clear();
  b.quads = true;
  b.textured = b.untextured = false;
  b.white = true;
  b.unitsUsed = 0;
  if (kind != kTriangles) std::fill(std::begin(b.rows), std::end(b.rows), 0);
}

void GlDevice::Flush() {
  for (int k = 0; k < kBatches; ++k)
    if (!batches_[k].Empty()) Send(EBatch(k), batches_[k]);
}

bool GlDevice::BindTarget(uint32_t handle) {
  if (handle == 0) {
    glBindFramebuffer(GL_FRAMEBUFFER, BackDrawFbo());
    target_ = 0;
    return true;
  }
  auto it = targets_.find(handle);
  if (it == targets_.end()) return false;
  RTarget& t = it->second;
  if (!t.fbo) {
    glGenFramebuffers(1, &t.fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, t.fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, handle, 0);
    glGenRenderbuffers(1, &t.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, t.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, t.w, t.h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, t.depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      glBindFramebuffer(GL_FRAMEBUFFER, target_ == 0 ? BackDrawFbo() : targets_[target_].fbo);
      return false;
    }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, t.fbo);
  target_ = handle;
  return true;
}

bool GlDevice::SetRenderTarget(uint32_t handle) {
  if (!created_) return false;
  if (handle == target_) return true;
  Flush();
  if (!BindTarget(handle)) return false;
  auto [w, h] = sizes_[handle];
  SetViewport({0, 0, w, h});
  return true;
}

void GlDevice::Clear(uint32_t argb, bool target, bool depth) {
  if (!created_) return;
  Flush();
  glScissor(viewport_.x, viewport_.y, std::max(viewport_.w, 0), std::max(viewport_.h, 0));
  GLbitfield bits = 0;
  if (target) {
    float a = target_ == 0 ? 1.f : float(argb >> 24) / 255.f;
    glClearColor(float((argb >> 16) & 255) / 255.f, float((argb >> 8) & 255) / 255.f, float(argb & 255) / 255.f, a);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    bits |= GL_COLOR_BUFFER_BIT;
  }
  if (depth) {
    glDepthMask(GL_TRUE);
    glClearDepth(1.0);
    bits |= GL_DEPTH_BUFFER_BIT;
  }
  glClear(bits);
}

bool GlDevice::ReadPixels(uint32_t target, const RPixelRect& r, std::vector<uint8_t>& bgra) {
  if (!created_ || r.w <= 0 || r.h <= 0) return false;
  auto it = sizes_.find(target);
  if (it == sizes_.end()) return false;
  auto [tw, th] = it->second;
  if (r.x < 0 || r.y < 0 || r.x + r.w > tw || r.y + r.h > th) return false;
  Flush();
  uint32_t previous = target_;
  if (target != target_ && !BindTarget(target)) return false;
  // Read from the target's own framebuffer whatever else was bound for reading.
  if (target_ == 0) Resolve();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, target_ == 0 ? back_.fbo : targets_[target_].fbo);
  bgra.resize(size_t(r.w) * size_t(r.h) * 4);
  glReadPixels(r.x, r.y, r.w, r.h, GL_BGRA, GL_UNSIGNED_BYTE, bgra.data());
  if (previous != target_) BindTarget(previous);
  return true;
}

int GlDevice::MultisampleLevels() const {
  int bits = 0;
  for (int level : {2, 4, 8, 16})
    if (level <= maxSamples_) bits |= level;
  return bits;
}

void GlDevice::DeleteMultisample() {
  if (msaa_.fbo) glDeleteFramebuffers(1, &msaa_.fbo);
  if (msaa_.depth) glDeleteRenderbuffers(1, &msaa_.depth);
  if (msaaColour_) glDeleteRenderbuffers(1, &msaaColour_);
  msaa_ = RTarget{};
  msaaColour_ = 0;
  samples_ = 0;
}

bool GlDevice::SetMultisample(int level) {
  if (!created_) return false;
  Flush();
  DeleteMultisample();
  bool ok = true;
  if (level == 2 || level == 4 || level == 8) {
    if (level > maxSamples_) {
      ok = false;
    } else {
      glGenRenderbuffers(1, &msaaColour_);
      glBindRenderbuffer(GL_RENDERBUFFER, msaaColour_);
      glRenderbufferStorageMultisample(GL_RENDERBUFFER, level, GL_RGBA8, backW_, backH_);
      glGenRenderbuffers(1, &msaa_.depth);
      glBindRenderbuffer(GL_RENDERBUFFER, msaa_.depth);
      glRenderbufferStorageMultisample(GL_RENDERBUFFER, level, GL_DEPTH24_STENCIL8, backW_, backH_);
      glGenFramebuffers(1, &msaa_.fbo);
      glBindFramebuffer(GL_FRAMEBUFFER, msaa_.fbo);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, msaaColour_);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, msaa_.depth);
      if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        samples_ = level;
      } else {
        DeleteMultisample();
        ok = false;
      }
    }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, target_ == 0 ? BackDrawFbo() : targets_[target_].fbo);
  return ok;
}

void GlDevice::Resolve() {
  if (!samples_) return;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, msaa_.fbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, back_.fbo);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlitFramebuffer(0, 0, backW_, backH_, 0, 0, backW_, backH_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glEnable(GL_SCISSOR_TEST);
  glBindFramebuffer(GL_FRAMEBUFFER, target_ == 0 ? BackDrawFbo() : targets_[target_].fbo);
}

bool GlDevice::Present(const RPixelRect& source, const RPixelRect& destination, int32_t windowColour) {
  if (!created_) return false;
  Flush();
  // On a surface nobody sees, the scaled copy and the swap would cost the software rasterizer
  // more than the whole step of an idle game.
  if (!surface_ || !surface_->Displayed()) {
    glFlush();
    return true;
  }
  int dw = 0, dh = 0;
  surface_->DrawableSize(dw, dh);
  RPixelRect d = surface_->ClientToDrawable(destination);
  Resolve();
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.fbo);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  // Black where a virtual display leaves the screen uncovered, the window colour in the client
  // area around the region.
  int cw = 0, ch = 0;
  surface_->ClientSize(cw, ch);
  RPixelRect client = surface_->ClientToDrawable({0, 0, cw, ch});
  if (client.x > 0 || client.y > 0 || client.w < dw || client.h < dh) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(client.x, dh - client.y - client.h, client.w, client.h);
  }
  uint32_t c = uint32_t(windowColour);
  glClearColor(float(c & 255) / 255.f, float((c >> 8) & 255) / 255.f, float((c >> 16) & 255) / 255.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  // A whole-number enlargement keeps pixels sharp; any other size is filtered.
  bool exact = source.w > 0 && source.h > 0 && d.w % source.w == 0 && d.h % source.h == 0;
  glBlitFramebuffer(source.x, source.y, source.x + source.w, source.y + source.h, d.x, dh - d.y, d.x + d.w,
                    dh - d.y - d.h, GL_COLOR_BUFFER_BIT, exact ? GL_NEAREST : GL_LINEAR);
  glEnable(GL_SCISSOR_TEST);  // drawing is always clipped to the viewport
  surface_->Swap(sync_);
  glBindFramebuffer(GL_FRAMEBUFFER, target_ == 0 ? BackDrawFbo() : targets_[target_].fbo);
  return true;
}

}  // namespace kestro::platform
