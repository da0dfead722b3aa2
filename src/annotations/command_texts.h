// command_texts.h: text annotations that are commands: their classification, the parameter
// changes held as "param " texts (turned into PARAM nodes and back), and the making of a
// hidden text annotation.
#pragma once

#include "model/model_services.h"

// Command kinds of a text annotation.
enum CommandKind {
  COMMAND_NONE = 0,
  COMMAND_PARAM = 1,  // "param "
  COMMAND_PROGRAM = 2,
  COMMAND_CONTROL = 3,
  COMMAND_PRESSURE = 4,
  COMMAND_MIDI = 5,
  COMMAND_CHANNEL = 6,
  COMMAND_NOTE = 7,
};

// midi_anno_kind: the command kind of the annotation headed by `node`, from the first
// characters of its first TEXT: "param " 1, "program" 2, "control" 3, "pressure" 4, "midi" 5,
// "channel" 6, "note" 7; 0 for any other text, for a text marked Do Not Interpret, and for
// anything but a TPARAM seen in the current context that heads an annotation. `next`, when
// given, receives the next annotation head before the same note, or NIL.
// Reads:  current_ncontext.
int midi_anno_kind(Drosa node, Drosa* next);

// param_annos_to_nodes: makes the PARAM nodes attached before `note` again from the "param "
// annotations attached there: the old ones go (without undo: they are derived), and each
// parameter text of any notation context becomes a PARAM node of that context, linked just
// before the note in the texts' order. A text that does not parse, names no parameter
// (outside 1..753, or a small-notes value of a parameter without one) or holds a number that
// does not fit is passed over.
// Reads:  param (types).
// Writes: the nodes before the note; param[].changed of every parameter made.
// Failure: none; nothing is reported.
void param_annos_to_nodes(Drosa note);

// param_nodes_to_annos: writes the PARAM nodes attached before the first NOTE at or after
// `node` as "param " annotations there, in their order and notation contexts, after deleting
// the parameter annotations it had (of every context, as the nodes are made again from those
// of every context). The PARAM nodes stay. Nothing happens without a NOTE.
// Reads:  param (types, descriptions), parameters 578, 579, 580 at the note.
// Writes: the annotations before the note, with undo; the change flags.
// Failure: none.
void param_nodes_to_annos(Drosa node);

// make_text_anno: a hidden text annotation (Vertical Lock and Hidden, nothing else) of the
// notation context given, just before `note`: in the font, character set, size and face of
// the character parameter style_pindex at the note, classified as given, at x = parameter
// 579 at the note (scaled) and y = *y (0 when y is null); *y then goes up by a line of the
// text's size. The TPARAM and TEXT nodes of at most 21 characters are inserted with undo.
// Returns the TPARAM; NIL for an empty text, and (reported) without a note.
// Reads:  param, current_ncontext.
// Writes: the list before the note, the undo history, *y.
// Failure: level 4 "Bad call to make_text_anno: no note"; nothing is made.
Drosa make_text_anno(Drosa note, int context, int classification, int style_pindex,
                     const char* text, int* y);
