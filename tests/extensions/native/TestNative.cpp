// A small native library for the external function tests: exports taking and returning doubles
// and byte strings, with 0 to 16 arguments, and a counter its initialization and finalization
// functions change. Every sum weighs each argument by its place, so arguments passed in the
// wrong order give another number.
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
double kt_zero();
double kt_add(double a, double b);
double kt_sum8(double a, double b, double c, double d, double e, double f, double g, double h);
double kt_sum16(double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8, double a9,
                double a10, double a11, double a12, double a13, double a14, double a15, double a16);
double kt_mixed(const char* s, double x, const char* t, double y);
double kt_length(const char* s);
const char* kt_concat(const char* a, const char* b);
const char* kt_repeat(const char* s, double times);
const char* kt_null();
double kt_scribble(char* s);
double kt_init();
double kt_final();
double kt_counter();
}

namespace {
double g_counter = 0;
std::string g_text;  // the last string result: valid until the next call
}  // namespace

double kt_zero() { return 42; }
double kt_add(double a, double b) { return a + b; }
double kt_sum8(double a, double b, double c, double d, double e, double f, double g, double h) {
  return a + 2 * b + 3 * c + 4 * d + 5 * e + 6 * f + 7 * g + 8 * h;
}
double kt_sum16(double a1, double a2, double a3, double a4, double a5, double a6, double a7, double a8, double a9,
                double a10, double a11, double a12, double a13, double a14, double a15, double a16) {
  return a1 + 2 * a2 + 3 * a3 + 4 * a4 + 5 * a5 + 6 * a6 + 7 * a7 + 8 * a8 + 9 * a9 + 10 * a10 + 11 * a11 +
         12 * a12 + 13 * a13 + 14 * a14 + 15 * a15 + 16 * a16;
}
double kt_mixed(const char* s, double x, const char* t, double y) {
  return double(std::strlen(s)) * 1000 + x * 100 + double(std::strlen(t)) * 10 + y;
}
double kt_length(const char* s) { return double(std::strlen(s)); }
const char* kt_concat(const char* a, const char* b) {
  g_text = std::string(a) + b;
  return g_text.c_str();
}
const char* kt_repeat(const char* s, double times) {
  g_text.clear();
  for (int i = 0; i < int(times); ++i) g_text += s;
  return g_text.c_str();
}
const char* kt_null() { return nullptr; }
// Writes over its argument, as some native functions do with buffers they are given.
double kt_scribble(char* s) {
  for (char* p = s; *p; ++p) *p = '#';
  return 1;
}
double kt_init() {
  g_counter += 100;
  return 0;
}
// Leaves a mark in the working folder, where the test looks after the game has ended.
double kt_final() {
  if (std::FILE* f = std::fopen("kt_final.txt", "w")) {
    std::fprintf(f, "%g\n", g_counter);
    std::fclose(f);
  }
  return 0;
}
double kt_counter() { return ++g_counter; }
