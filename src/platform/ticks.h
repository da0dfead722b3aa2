// ticks.h: the program's clock in ticks of 1/60 second, and waiting by ticks.
#pragma once

#include <cstdint>

// Ticks since the clock started (60 per second).
uint32_t platform_ticks();

// Waits the given number of ticks; returns the tick count afterwards.
uint32_t platform_delay_ticks(uint32_t ticks);

// Test double: with virtual ticks on, the clock stands still except that waiting advances
// it at once by the ticks waited for; platform_advance_ticks moves it by hand.
void platform_use_virtual_ticks(bool on);
bool platform_ticks_virtual();
void platform_advance_ticks(uint32_t ticks);
