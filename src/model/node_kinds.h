// node_kinds.h: the 51 node kinds, their names and layout strings, and the effective kind
// of a node as the current notation context sees it.
#pragma once

#include <cstdint>

#include "model/drosa.h"

// Kinds are numbered 76..126, so that each is also a printable letter ('L'..'~').
enum NodeKind : uint8_t {
  NEST = 76,  // tuplet nesting factor before its NOTE
  CDDATA3,    // third layout record of a staff chord
  BARSEP,     // bar separator mark
  XMLT,       // MusicXML import timing record (run time only)
  COPY,       // copy and paste marker (run time only)
  TSMOD,      // tie and slur modifier before its NOTE
  xxxNIFFX,   // obsolete, kept for old files
  xxxFNAME,   // obsolete, kept for old files
  VOICES,     // staff record of the Parts and Voices dialog (run time only)
  NOTEPTR,    // graphics-list entry naming the node drawn by the following elements
  PLAY,       // playback queue entry (run time only)
  ROD,        // rod of the justification (run time only)
  SPRING,     // spring of the justification (run time only)
  UNDO,       // undo record (run time only)
  MARK,       // undo step boundary (run time only)
  COLOR,      // colour record
  RNOTE,      // recorded MIDI note (run time only)
  GE_CHAR,    // graphics element: one character
  GE_STRING,  // graphics element: a run of characters
  GE_LINE,    // graphics element: a line
  GE_CURVE,   // graphics element: a curve
  RMOVE,      // relative move, read from files only
  SPACC,      // special accidentals before their NOTE
  AMOVE,      // absolute move
  VINFO,      // voice information near the head of each voice list
  NOTE,       // a note or a rest
  CLEF,       // clef
  KEYSIG,     // key signature
  TIMESIG,    // time signature
  BAR,        // bar line
  FREE,       // a node on the free list
  TPARAM,     // head of a text annotation and of each further style run
  TEXT,       // annotation text: 21 characters and a NUL
  LINE,       // line or curve annotation
  PARAM,      // engraving parameter change
  TEMPO,      // obsolete, read from files only
  NTDATA,     // layout record after every NOTE
  CDDATA,     // first layout record of a staff chord
  CDDATA2,    // second layout record of a staff chord
  ENDSYST,    // end of a system; first and last node of every voice list
  PRINT,      // print settings of a voice
  SDRAG,      // staff drag
  NA,         // effective kind of a node of another notation context; a placeholder
  BEAMING,    // beaming pattern
  PDATA,      // layout record after an annotation or a staff-resizing mark
  SPACE,      // extra space, read from files only
  MIDI,       // raw MIDI bytes in a voice
  CMOVE,      // move record
  ZONE,       // relocation zone mark
  NTVIEW,     // per-view copy of a note's layout record (run time only)
  PVIEW,      // per-view copy of an annotation's layout record (run time only)
};

inline constexpr int FIRST_KIND = NEST;
inline constexpr int LAST_KIND = PVIEW;
inline constexpr int KIND_COUNT = LAST_KIND - FIRST_KIND + 1;  // 51

// Indexed by kind - FIRST_KIND.
extern const char* const node_kind_names[KIND_COUNT];
extern const char* const node_layout_strings[KIND_COUNT];

inline bool is_node_kind(int kind) { return kind >= FIRST_KIND && kind <= LAST_KIND; }

// Name of a kind value, or "KIND_VALUE_OOR" outside 76..126.
const char* kind_name(int kind);

// Layout string of a kind ("" for kinds that exist only at run time, and outside 76..126).
const char* layout_string(int kind);

// True for the four graphics-element kinds, which every notation context sees.
inline bool is_graphics_element_kind(int kind) { return kind >= GE_CHAR && kind <= GE_CURVE; }

// The node's kind as the current notation context sees it: its own kind when its context is
// 0 or the current one, or -1 outside the Score, or when it is a NOTE or a graphics element;
// NA otherwise. Inline for the common node of context 0, which list walks meet most.
int effective_kind_in_context(Drosa node);  // a node of a context other than 0
inline int effective_kind(Drosa node) {
  return node->xcontext == 0 ? node->xkind : effective_kind_in_context(node);
}

// The name of a node's kind for messages: "NODE_ADDRESS_OOR" for NIL or a link to no node,
// "KIND_VALUE_OOR" for a kind outside 76..126, "NA" for a node the current context does not
// see, else its kind's name.
const char* node_kind_name(Drosa node);
