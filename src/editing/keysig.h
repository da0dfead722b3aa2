// keysig.h: key signatures: building a KEYSIG with the naturals that cancel the key before
// it, the Key Signature dialog with its preview, and the Insert Key Signature command that
// places the key in the chosen voices and brings the music after it into the new key.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"

// Order tables: the entry codes in the order accidentals are added to a key.
inline constexpr uint8_t SHARP_ORDER[7] = {10, 7, 11, 8, 12, 9, 13};  // F C G D A E B
inline constexpr uint8_t FLAT_ORDER[7] = {6, 2, 5, 1, 4, 0, 3};       // B E A D G C F
inline constexpr int KEY_NATURAL_OFFSET = 14;  // a natural cancelling entry c is c + 14
inline constexpr uint8_t KEY_REMOVED = 0xFF;   // xkeycnt of a key the command takes away

// The names shown beside the count: by count, sharps major, sharps minor, flats major, flats
// minor.
extern const char* const KEY_NAMES[8][4];

// A key code (xkey) read safely: sharps (or none) and their count 0..7, minor.
struct KeyCode {
  bool sharps = true;
  int count = 0;
  bool minor = false;
};
KeyCode decode_xkey(int xkey);

// ---- The dialog ---------------------------------------------------------------------------

// draw_key_preview: erases the dialog's preview (user item 8) or draws the key there on a
// staff with the clef in force at the command's first note.
void draw_key_preview(Drosa key, DialogRef dialog, int draw);
// key_dialog: the Key Signature dialog on `key` (a free-standing copy it edits): the scope in
// *all_staves and *at_insertion_point, the options in key_command_state; `before` and
// `at_end` are the keys whose accidentals the naturals cancel at the two placements; Delete is
// offered where delete_here / delete_at_end say a key stands. 1 after OK (the transposition,
// direction and options read) or Delete (xkeycnt KEY_REMOVED), 0 after Cancel.
// Failure: level 2 range messages for the count (0 to 7) and the transposition (-36 to 36),
//          the dialog staying open; level 4 "Unexpected item returned from keysig dialog".
int key_dialog(Drosa key, int32_t* all_staves, int32_t* at_insertion_point, Drosa before,
               Drosa at_end, int delete_here, int delete_at_end);

// ---- The command -------------------------------------------------------------------------

// The callbacks of the command: key_mismatch_cb and apply_key_cb per selected note;
// update_transpose_from_key on each key the new one replaces (it becomes the key the notes
// are moved from); apply_key_after_insert on each key placed (the notes after it are moved,
// later keys rebuilt or replaced).
void key_mismatch_cb(Drosa note);
void update_transpose_from_key(Drosa key);
void apply_key_after_insert(Drosa key);
