// anno_select.h: the editing modes of the music window, the annotation palette, the selected
// annotation, and the clicks and keys that reach annotations first.
#pragma once

#include <cstdint>
#include <string>

#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "platform/events.h"

extern int palette_icon;          // the palette's icon shown inverted (3..6); -1 none
extern int palette_drawn_mode;    // the MODE the piano window's content was last drawn for
extern int drag_phase;            // 22 start, 23 move, 24 finish of an annotation drag
extern int32_t drag_dx, drag_dy;  // the drag's movement since its previous step (page units)
extern std::string anno_info;     // the palette's information text, lines split by '\n'

// icon_update_for_mode: only the icon's highlight.
void icon_update_for_mode();
// invert_icon: op 777 inverts a mode icon (items 3 text, 4 line, 5 curve, 6 music), 888
// paints it. Failure: level 4 "Illegal operation for invert_icon()!".
void invert_icon(int item, int op);
// anno_info_text: rebuilds the information text (anno_info) of MODE: the title (or that
// annotations are disabled in a published piece), "∆X" and "∆Y" of the point (h, v) from the
// annotation's reference point when v is not -1, the repetition and context lines of the
// template, and "    command-drag to create" when nothing is selected. ∆ is the byte 0xC6.
const std::string& anno_info_text(int32_t h, int32_t v, Drosa anno, Drosa note);
// anno_unhighlight: the selected annotation loses its marks and becomes previous_anno; with
// refresh the palette follows.
void anno_unhighlight(int refresh);
// step_to_page: the insertion point to the next drawn note (forward) or the previous one on
// the page; nothing at the page's end.
void step_to_page(int forward);
// text_update_if_editing: in text mode the text being edited is drawn again.
void text_update_if_editing();
// anno_move_step: one step of drag_phase for one selected annotation (the undo record at 22,
// the move by drag_dx, drag_dy at 23, the reference point again at 24 when it moved).
void anno_move_step(Drosa anno);
// anno_drag: follows the mouse from the window point, moving the selected annotations
// together; 1 when they moved (one undo step), 0 for a click.
int anno_drag(Point where);
