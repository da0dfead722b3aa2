// memory.cpp: system allocations for the node store and other long-lived records.
#include "platform/memory.h"

#include <cstdlib>

namespace {
long allocations_before_refusal = -1;  // negative: never refuse
}

void* platform_allocate(long size) {
  if (size < 0) return nullptr;
  if (allocations_before_refusal == 0) return nullptr;
  if (allocations_before_refusal > 0) --allocations_before_refusal;
  return std::malloc(size == 0 ? 1 : static_cast<size_t>(size));
}

void platform_release(void* memory) { std::free(memory); }

void platform_refuse_allocations_after(long count) { allocations_before_refusal = count; }
