// memory.cpp: system allocations for the node store and other long-lived records.
#include "platform/memory.h"

#include <cstdlib>
#include <sys/mman.h>

namespace {
long allocations_before_refusal = -1;  // negative: never refuse
long largest_reservation = -1;         // negative: no limit
}  // namespace

void* platform_allocate(long size) {
  if (size < 0) return nullptr;
  if (allocations_before_refusal == 0) return nullptr;
  if (allocations_before_refusal > 0) --allocations_before_refusal;
  return std::malloc(size == 0 ? 1 : static_cast<size_t>(size));
}

void platform_release(void* memory) { std::free(memory); }

void* platform_reserve(long size) {
  if (size <= 0 || (largest_reservation >= 0 && size > largest_reservation)) return nullptr;
  void* at = mmap(nullptr, static_cast<size_t>(size), PROT_NONE,
                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return at == MAP_FAILED ? nullptr : at;
}

bool platform_commit(void* at, long size) {
  if (size < 0 || !at) return false;
  if (allocations_before_refusal == 0) return false;
  if (allocations_before_refusal > 0) --allocations_before_refusal;
  return mprotect(at, static_cast<size_t>(size), PROT_READ | PROT_WRITE) == 0;
}

void platform_unreserve(void* at, long size) {
  if (at) munmap(at, static_cast<size_t>(size));
}

void platform_refuse_allocations_after(long count) { allocations_before_refusal = count; }

void platform_refuse_reservations_over(long size) { largest_reservation = size; }
