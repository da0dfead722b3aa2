// part_names.h: the names of the parts drawn before a system.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/ge_services.h"
#include "model/model_services.h"

// draw_part_names: the names of the parts shown in the system being drawn (first_pstaff ..
// last_pstaff): each part's full name at the piece's first system and its abbreviation at the
// others, where the part asks for it drawn (nothing in a piece of one part); right-aligned a staff
// space left of the leftmost ink drawn for the system after `system_drawn_after` (its staves,
// brackets, braces, bar line), centred up and down on the part's staves. Reads:  first_pstaff,
// last_pstaff, voice_data (PRINT, system start), staff_data, the part
//         names of the piece, current_page, the GE list after system_drawn_after.
// Writes: the GE list (text runs of var VAR_PART_NAME, owned by no note).
void draw_part_names(Drosa system_drawn_after);

// part_names_follow: whether the names of the page drawn last stay centred on their parts'
// staves when staff p moves by dy[p]: the staves of each block of names move alike.
// part_names_follow_braces: once the page's braces were drawn again for their staves, the names
// of each system moved to end a staff space left of its leftmost ink again.
// Reads: the current list, staff_data places, what each system's names were placed by.
// Writes: the names' x.
bool part_names_follow(const std::vector<int32_t>& dy);
void part_names_follow_braces();
