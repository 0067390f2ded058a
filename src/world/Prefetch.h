// Asking memory for a cache line ahead of its use, in a form the compiler always keeps. A loop
// whose body is only __builtin_prefetch has no effect the optimizer must preserve, and GCC deletes
// such loops (and whole functions made of them) as dead code.
#pragma once

namespace kestro {

inline void PrefetchLine(const void* p) {
#if defined(__x86_64__) || defined(__i386__)
  asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
#else
  __builtin_prefetch(p);
  asm volatile("" : : "r"(p));
#endif
}

}  // namespace kestro
