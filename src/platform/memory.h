// memory.h: long-lived allocations and reserved address space from the system, with a test
// double that can refuse them.
#pragma once

#include <cstddef>

// size bytes from the system allocator, or nullptr when the system (or the test double)
// refuses. The memory is not cleared.
void* platform_allocate(long size);

// Gives back memory that platform_allocate returned; nullptr does nothing.
void platform_release(void* memory);

// Address space of size bytes that holds no memory yet: reaching it is a fault until a part
// of it is committed. nullptr when the system refuses.
void* platform_reserve(long size);

// Makes size bytes at `at`, inside a reservation, readable and writable (cleared when first
// touched); false when the system (or the test double, counting it as an allocation) refuses.
bool platform_commit(void* at, long size);

// Gives back a whole reservation (with what is committed in it); nullptr does nothing.
void platform_unreserve(void* at, long size);

// Test double: the next `count` allocations succeed and every later one is refused, until
// called again; a negative count never refuses (the normal state).
void platform_refuse_allocations_after(long count);

// Test double: a reservation of more than `size` bytes is refused, as in a process limited to
// that much address space; a negative size refuses none (the normal state).
void platform_refuse_reservations_over(long size);
