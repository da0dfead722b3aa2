// symbol_commands.h: the Clef, Bar Line, Time Signature, System Bracket and Beaming Rule
// commands (symbol_commands.cpp, beaming_rule.cpp) and their dialogs (symbol_dialogs.cpp).
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"

// What a dialog's Delete writes into a template's first field.
inline constexpr uint8_t CLEF_DELETED = 0xFF;   // CLEF xclef
inline constexpr uint8_t BAR_DELETED = 0xFF;    // BAR xdouble
inline constexpr int16_t TIMESIG_DELETED = -1;  // TIMESIG xbpm
inline constexpr int32_t BEAMING_DELETED = -1;  // BEAMING xsbvalue

// TIMESIG: the flag of the time signature dialog's check box 14.
inline constexpr auto xtimesig_flag = bit_field("xtimesig_flag", TIMESIG, 23, 7, 7);

// ---- The dialogs (symbol_dialogs.cpp) --------------------------------------------------------

// Each runs its dialog on the template and the state given: 1 after OK (the template and the
// options read) or Delete (the template's first field marked deleted), 0 after Cancel. A
// number out of range keeps the dialog open after a level-2 message.
int clef_dialog(Drosa clef, int32_t* all_staves, int32_t* at_insertion_point, int32_t* propagate,
                int32_t* clef_keep_position, int delete_here, int delete_at_end);
int barline_dialog(Drosa bar, int32_t* barsep_flag, int32_t* all_staves,
                   int32_t* at_insertion_point, int32_t* propagate, int delete_here,
                   int delete_at_end);
int tsig_dialog(Drosa tsig, int32_t* all_staves, int32_t* at_insertion_point, int delete_here,
                int delete_at_end);
// bracket_dialog: the bracket code (1 ends at this staff, 0 goes on to the next, 2 none) and
// the brace flag; Delete is never offered.
// Failure: level 2 "Do not select All Staves when you use Draw Brace Between This Staff and
//          Next." (the dialog stays open); level 4 "Bad Delete item in bracket_dialog".
int bracket_dialog(int32_t* bracket_code, int32_t* brace_flag, int32_t* all_staves,
                   int32_t* bracket_all_later);
// draw_bar_line_samples: the bar line dialog's samples above its style buttons (items 8 to 21)
// on one five-line staff, the repeat dots placed by parameters 186 and 187, the wings by 554,
// the dashes by 324 and 325. Returns 0.
int draw_bar_line_samples(DialogRef dialog);

// ---- The beaming rule (beaming_rule.cpp) -----------------------------------------------------

// beaming_rule_dialog: the rule's four group values and its subbeam value, in eighth notes
// (0 to 50). 1 after OK or Delete (xsbvalue BEAMING_DELETED), 0 after Cancel.
int beaming_rule_dialog(Drosa rule, int32_t* all_voices, int32_t* at_insertion_point,
                        int delete_allowed, int unused);
