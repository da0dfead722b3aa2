// page_systems.h: systems and pages of the voice lists: voice cursors at a system or at a
// time, counting systems on a page, first and last tests, and a node's pstaff.
#pragma once

#include <cstdint>

#include "model/drosa.h"
#include "model/model_globals.h"

int voices_to_system(int n, int from_page);
int voices_to_system_at_time(int32_t t, int keep, int page_limit);
int32_t system_number_on_page(Drosa node, int on_page);
int check_first_note_of_voice_on_page(Drosa node);
int check_last_note_of_voice_on_page(Drosa node);
int last_system_of_page(Drosa node);
int first_system_of_page(Drosa node);
int32_t Find_pstaff(Drosa note, int partial);
int32_t pstaff_of_node(Drosa node);
int32_t goto_page_position(Drosa node);
