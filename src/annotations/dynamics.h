// dynamics.h: what a text annotation says by its content: dynamics and the velocities they give
// the notes after them, the glyphs of trills, pedal marks and breath marks, and the class its
// content suggests.
#pragma once

#include "model/model_services.h"

// ---- Dynamics
// ------------------------------------------------------------------------------------
// dynamic_index: what dynamic the text headed by `tparam` is, from its first three characters
// (across its style runs, each in its run's font) and the glyphs of the dynamics parameters 41
// to 50 at `note` (may be NIL): 0..9 for the glyph of one of them (pppp..ffff); 11 sf, 12 sfz
// (or "s", f and any letter), 13 fz, 14 fp, 15 rf, 16 rfz, 17 sfp, 18 sfpp, 19 sff, where the
// letters are in a text font and f, p, pp and ff the glyphs; -1 for anything else (and for a
// node that is not a TPARAM heading a text, in any context). *glyph (may be null) receives the
// index 0..9 of the dynamic whose glyph is the third character, else -1.
// Reads: parameters 41-50 at the note.
int dynamic_index(Drosa note, Drosa tparam, int* glyph);
// dynamic_velocity_slot: the dynamic level (0..9) a dynamic_index plays at: itself for 0..9,
// 3 for 10, 6 (f) for 11..18, 7 (ff) for 19; -1 for none.
int dynamic_velocity_slot(int index);
// performed_dynamic_velocity: the velocity a TPARAM sets when it is a dynamic that is played
// (not Do Not Interpret): its level's volume of perf_defaults; -1 when it is none.
int performed_dynamic_velocity(Drosa tparam);
// dynamic_velocity_at: the velocity of the dynamic in force at a node: the first played
// dynamic walking back from it through the TPARAMs of every context, else the default (mf).
// The dynamic found is kept for the node (a kept place), so that a walk from a later node of
// its list stops there while only notes have changed.
// Reads: the voice list before the node, perf_defaults' dynamic levels. Writes: kept_places.
int dynamic_velocity_at(Drosa node);
// apply_dynamic_velocity: unless perf_defaults says every note plays at one level, gives every
// NOTE from `node` on the velocity of the dynamic in force at `node`, its hand-set mark
// cleared, up to the next played dynamic or the piece's end; each note changed is recorded for
// undo. Returns that next dynamic's index, -1 when none came.
// Writes: the notes' xvolume and xvolume_edited, the undo list.
int apply_dynamic_velocity(Drosa node);

// ---- Glyph tests -----------------------------------------------------------------------------
// anno_is_trill: 11 when the text's first character is the trill glyph (parameter 11 "tr")
// in its font, else 0.
int anno_is_trill(Drosa note, Drosa tparam);
// anno_is_pedal: 606 for the pedal-down glyph (parameter 606 "pedal marking") as the first
// character, 607 for the pedal-up glyph (607 "pedal up marking"); a release glyph followed by
// the press glyph (a pedal change) counts as down. Else 0; and 0 for a continuation run.
int anno_is_pedal(Drosa note, Drosa tparam);
// anno_is_style_670: 670 or 671 when the annotation, a TPARAM seen in the current context, is
// one character that is the single (670) or double (671) breath mark glyph in its font; else 0.
int anno_is_style_670(Drosa note, Drosa anno);

// ---- Classes by content ------------------------------------------------------------------------
// anno_kind_code: the text's class when it has one (a TPARAM seen in the current context that
// heads a text; else 0); *code (may be null) receives the class its content suggests: 7 a
// dynamic, then overriding, 9 a pedal mark, 15 a breath mark, 1 a parameter command, 12 any
// other command, 1 a font-table record, 6 a metronome mark; 0 none.
int anno_kind_code(Drosa tparam, Drosa note, int* code);
