// text_mode.h: text annotations typed and edited in place in text mode.
#pragma once

#include <cstdint>
#include <string>

#include "model/model_services.h"
#include "platform/events.h"
#include "platform/geometry.h"

struct TextRecord;

extern TextRecord* text_edit_record;    // the text being edited; null outside editing
extern int32_t text_pos_x, text_pos_y;  // where it starts on the page (page units, baseline)
extern int32_t text_finish_staff_y;     // the insertion point's staff when the last edit ended
extern int32_t text_finish_y;           // the y of the text finished last

// text_start: starts editing at the insertion point: how 2 a new text at the class's place or
// where the template's locks put it; 3 a new text below the one finished last, following the
// staff; 4 the selected annotation, loaded with its style runs (a coded one as its codes) and
// taken out of the piece (with undo; one standing for an element is only set not drawn), so
// that the finished edit replaces it. The template's repetition flags are cleared for a new
// text. Nothing in a published piece or without a drawn insertion point.
// Failure: level 4 "non-NIL edit record in text_start (text.c)"; the old record is finished.
void text_start(int how);
// text_finish: ends editing; with convert and a text, its characters are parsed and made into
// a head TPARAM, its PDATA, TEXT nodes of 21 characters at most and a further TPARAM at each
// change of style, placed by its justification and inserted before the insertion point with
// undo; a dynamic gives the following notes its velocity. Returns the head, NIL for none.
// Failure: level 4 "called text_finish when not in TEXT_MODE"; finished all the same.
Drosa text_finish(int convert);
// text_set_style: in text mode, mode (1 font, 2 face, 4 size, 7 all) applies the template's
// style to the selection; the style at the selection (from_caret: before the caret) is read
// back into the template; the record is placed again and drawn (refresh: the window first).
void text_set_style(int mode, int refresh, int from_caret);
// text_redraw, text_update: the record drawn again over the window.
void text_redraw();
void text_update();
// text_idle: the caret's blink.
void text_idle();
// text_key: a typed key into the record (a new text is started when none is edited). A
// character that Mac OS Roman cannot hold is refused (level 2). Tab is typed as a blank when the
// text-entry option is set.
void text_key(const EventRecord& event);
// text_click: a press in text mode: 1 when it falls in the edited text (or the selected
// annotation, which then begins to be edited), widened by the text's size; 0 outside.
// Failure: level 4 "text_click called with MODE != TEXT_MODE"; 0.
int text_click(Point where, int extend);
// text_edit_command: the Edit menu's Cut (4), Copy (5), Paste (6) and Clear (7) on the record;
// a paste turns line breaks into blanks, and text Mac OS Roman cannot hold is refused (level 2).
void text_edit_command(int item);
// text_insert: a ready-made text at the caret in a font number and a pixel size (0: keep; no
// font while the template is in a music font: Times).
void text_insert(int font, int size, const std::string& text);
// change_text_position: the edited text moves by window pixels; change_text_position_by to a
// page point (2100000000: that coordinate unchanged).
// Failure: level 4 "NIL edit record in change_text_position (text.c)".
void change_text_position(TextRecord* record, int dx, int dy);
void change_text_position_by(int32_t x, int32_t y);
// text_mode_toggle: ends the present edit (or the annotation's selection) and starts a new
// text at the window point (a centred text only moves up or down).
void text_mode_toggle(Point where);
// text_edit_length: the length of the text being edited (0 none); text_has_selection: 1 when
// part of it is selected.
int text_edit_length();
int text_has_selection();
