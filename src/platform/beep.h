// beep.h: the system beep.
#pragma once

// Sounds the system beep (on the window system, when there is one). Any thread.
void platform_beep();

// Test double: the number of beeps sounded since the process started.
int platform_beeps_sounded();
