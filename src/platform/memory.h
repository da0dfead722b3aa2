// memory.h: long-lived allocations from the system, with a test double that can refuse them.
#pragma once

#include <cstddef>

// size bytes from the system allocator, or nullptr when the system (or the test double)
// refuses. The memory is not cleared.
void* platform_allocate(long size);

// Gives back memory that platform_allocate returned; nullptr does nothing.
void platform_release(void* memory);

// Test double: the next `count` allocations succeed and every later one is refused, until
// called again; a negative count never refuses (the normal state).
void platform_refuse_allocations_after(long count);
