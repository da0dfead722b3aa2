// anno_clipboard.h: annotations cut, copied, pasted and cleared; duplicates at each system, on
// each page and in every part, kept in step when systems are rebuilt.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// anno_cut_copy: Cut (4), Copy (5) or Clear (7) of the selected annotations (only_this_anno
// NIL) or of one; label 'M' for the Edit commands, 'B', 'I', 'K' for the copy a Duplicate In
// Every Part, At Each System or On Each Page starts from (those mark the annotation itself,
// with undo; a plain Cut or Copy leaves its repetition flags alone). Cut and Copy put copies on
// the annotation clipboard (clipboard_kind 1) with their places kept relative to their
// reference points; Clear leaves the clipboard alone. 1 when done, 0 when refused.
// Failure: level 2 "All the selected annotations must be from one note for %s." for a
// selection of several notes or a segment of an extended line; level 4 "bad menu_item on
// anno_cut_copy in annotate.c", "bad set_label on anno_cut_copy in annotate.c".
int anno_cut_copy(int item, int label, Drosa only_this_anno);
// anno_copy_one: one annotation of the command anno_cut_copy is running.
// Failure: level 4 "Annotation not visible for cut or copy." for one not placed (Cut, Copy).
void anno_copy_one(Drosa anno);
// anno_paste_one: the clipboard's annotations before a drawn note, each at its offsets from
// the new reference point, in one undo record; a dynamic gives the notes after it its velocity.
// Failure: level 4 "Paste type confusion for annotations." when the clipboard holds no
// annotations; nothing is pasted.
void anno_paste_one(Drosa note);
// The Duplicate commands: the annotation repeats at every later system, on every later page,
// or in every part (copies of context -1 at the same time in every shown voice, Score only).
void anno_duplicate_each_system(Drosa anno);
void anno_duplicate_each_page(Drosa anno);
void anno_duplicate_every_part(Drosa anno);
// everyparter: copies of `list` before the note at the note's time in every shown voice, or
// with NIL the In Every Part copies there deleted (and at the grace notes after it).
// Failure: level 4 "Bad call to everyparter; not in Score!" outside the Score; nothing done.
void everyparter(Drosa note, Drosa list);
// The Clear submenu: In Every Context (copies in every part deleted, the flag cleared), At
// Each System and On Each Page (copies deleted; on the first page the selected one stays,
// without its flag).
// Failure: level 4 "Not editing Score for anno_part_label_clear!" outside the Score.
void anno_part_label_clear(Drosa node);
void anno_remove_repeats_a(Drosa node);
void anno_remove_repeats_b(Drosa node);
// repeat_annos_at_system: for a system made or rebuilt at `node` (its ENDSYST, or the note it
// starts at): make 0 deletes the At Each System copies at its first chord; make 1 copies those
// of the previous system's first chord after the ENDSYST (before the note) and returns the
// last node inserted (`node` when none).
Drosa repeat_annos_at_system(Drosa node, int make);
// repeat_annos_at_page: the same for On Each Page, from the first system of the previous page.
void repeat_annos_at_page(Drosa endsyst, int make);
// count_annotations: nine flags: At Each System, On Each Page and In Every Context allowed;
// settings unusual for each; repetitions of each present (In Every Part only in the Score).
void count_annotations(int32_t flags[9]);
