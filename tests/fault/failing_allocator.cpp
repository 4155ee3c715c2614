// The replaced allocation functions. Defined in the test program itself, they
// come before every shared library in symbol look-up, so the component, the
// graphics library and its codecs, FreeType, SQLite and the C++ runtime all
// allocate through them. In a sanitized build they hand on to the sanitizer's
// own entry points, so its checks and leak detection still see every block.
#include "fault/failing_allocator.h"

#include <cerrno>
#include <cstdint>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define REAL(name) __interceptor_##name
extern "C" {
void *__interceptor_malloc(size_t);
void *__interceptor_calloc(size_t, size_t);
void *__interceptor_realloc(void *, size_t);
void __interceptor_free(void *);
void *__interceptor_memalign(size_t, size_t);
}
#else
#define REAL(name) __libc_##name
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void __libc_free(void *);
void *__libc_memalign(size_t, size_t);
}
#endif

namespace morphel::fault {

// A place for a debugger's breakpoint.
__attribute__((noinline)) void OnRefused() {
  asm volatile("");
}

namespace {

// Plain globals: the test is single-threaded while armed, and the functions
// run before any constructor.
bool armed = false;
FaultModel armedModel = FaultModel::kEvery;
long failPoint = 0;
long counted = 0;
bool faulted = false;
long long live = 0;

// Counts an allocation of size bytes; true when it is the one to refuse.
bool Refuse(size_t size) {
  if (!armed || (armedModel == FaultModel::kLarge && size < kLargeAllocation)) return false;
  ++counted;
  if (counted != failPoint) return false;
  faulted = true;
  OnRefused();
  return true;
}

void *Counted(void *p) {
  if (p != nullptr) ++live;
  return p;
}

}  // namespace

void Arm(FaultModel model, long failAt) {
  armedModel = model;
  failPoint = failAt;
  counted = 0;
  faulted = false;
  armed = true;
}

long Disarm() {
  armed = false;
  return counted;
}

bool FaultHappened() {
  return faulted;
}

long long LiveAllocations() {
  return live;
}

}  // namespace morphel::fault

using morphel::fault::Counted;
using morphel::fault::live;
using morphel::fault::Refuse;

extern "C" {

void *malloc(size_t size) {
  if (Refuse(size)) return nullptr;
  return Counted(REAL(malloc)(size));
}

void *calloc(size_t count, size_t size) {
  const size_t total = size != 0 && count > SIZE_MAX / size ? SIZE_MAX : count * size;
  if (Refuse(total)) return nullptr;
  return Counted(REAL(calloc)(count, size));
}

// A shrink or a first allocation counts like any other; realloc(p, 0) frees.
void *realloc(void *old, size_t size) {
  if (old != nullptr && size == 0) {
    --live;
    REAL(free)(old);
    return nullptr;
  }
  if (Refuse(size)) return nullptr;
  void *p = REAL(realloc)(old, size);
  if (p != nullptr && old == nullptr) ++live;
  return p;
}

void free(void *p) {
  if (p == nullptr) return;
  --live;
  REAL(free)(p);
}

void *memalign(size_t alignment, size_t size) {
  if (Refuse(size)) return nullptr;
  return Counted(REAL(memalign)(alignment, size));
}

void *aligned_alloc(size_t alignment, size_t size) {
  return memalign(alignment, size);
}

int posix_memalign(void **out, size_t alignment, size_t size) {
  if (alignment < sizeof(void *) || (alignment & (alignment - 1)) != 0) return EINVAL;
  void *p = memalign(alignment, size);
  if (p == nullptr) return ENOMEM;
  *out = p;
  return 0;
}

void *valloc(size_t size) {
  return memalign(4096, size);
}

}  // extern "C"

// C++ allocations go through the same functions (the C++ runtime's own
// operator new calls malloc too, but a sanitizer runtime replaces it).
void *operator new(size_t size) {
  if (void *p = malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void *operator new[](size_t size) {
  return operator new(size);
}
void *operator new(size_t size, const std::nothrow_t &) noexcept {
  return malloc(size != 0 ? size : 1);
}
void *operator new[](size_t size, const std::nothrow_t &) noexcept {
  return malloc(size != 0 ? size : 1);
}
void *operator new(size_t size, std::align_val_t alignment) {
  if (void *p = memalign(static_cast<size_t>(alignment), size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void *operator new[](size_t size, std::align_val_t alignment) {
  return operator new(size, alignment);
}
void operator delete(void *p) noexcept {
  free(p);
}
void operator delete[](void *p) noexcept {
  free(p);
}
void operator delete(void *p, size_t) noexcept {
  free(p);
}
void operator delete[](void *p, size_t) noexcept {
  free(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept {
  free(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept {
  free(p);
}
void operator delete(void *p, std::align_val_t) noexcept {
  free(p);
}
void operator delete[](void *p, std::align_val_t) noexcept {
  free(p);
}
void operator delete(void *p, size_t, std::align_val_t) noexcept {
  free(p);
}
void operator delete[](void *p, size_t, std::align_val_t) noexcept {
  free(p);
}
