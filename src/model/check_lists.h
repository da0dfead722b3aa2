// check_lists.h: a consistency check of the piece in memory, for tests and debug builds.
#pragma once

#include <string>

// Walks every voice list and the free list and checks what must always hold: links agree
// both ways, kinds are valid, each list starts with an ENDSYST marked as the piece start and
// ends with one marked as the piece end, no node of a list is free, a layout record follows
// its owner, and the store's counts match the free list. Returns the number of problems and
// describes each on its own line in `problems` (when given).
int check_voice_lists(std::string* problems);
