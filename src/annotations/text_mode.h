// text_mode.h: text annotations typed and edited in place in text mode.
#pragma once

#include <cstdint>
#include <string>

#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/geometry.h"

struct TextRecord;

extern TextRecord* text_edit_record;    // the text being edited; null outside editing
extern int32_t text_pos_x, text_pos_y;  // where it starts on the page (page units, baseline)
extern int32_t text_finish_staff_y;     // the insertion point's staff when the last edit ended
extern int32_t text_finish_y;           // the y of the text finished last

void text_update();
// text_key: a typed key into the record (a new text is started when none is edited). A
// character that Mac OS Roman cannot hold is refused (level 2). Tab is typed as a blank when the
// text-entry option is set.
void text_key(const EventRecord& event);
// window_of: the music window's point of a point of the page image.
Point window_of(int32_t x, int32_t y);
// text_click: a press in text mode: 1 when it falls in the edited text (or the selected
// annotation, which then begins to be edited), widened by the text's size; 0 outside.
// Failure: level 4 "text_click called with MODE != TEXT_MODE"; 0.
int text_click(Point where, int extend);
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
