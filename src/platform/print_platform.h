// print_platform.h: inside the platform layer, the toolkit's platform for a program that only
// prints, built into the program.
#pragma once

// Before the application object is made, in a program that only prints: when the toolkit is
// asked for the platform that keeps windows off the screen (and no folder of platforms is
// named), it takes the program's own, found without looking through the toolkit's folders of
// plug-ins. Its fonts are the toolkit's, listed by name alone until a family is first asked for.
void platform_use_print_platform();
