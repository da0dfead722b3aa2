// node_fields.h: the named payload fields of the node kinds the piece model owns, and the
// accessors that read and write them.
//
// A field is described once, by its node byte, its width and its bit position; its
// descriptor is also its identity (commands that name a field pass the descriptor). Words
// are big-endian; bits are numbered 7 (most significant) to 0 within a byte. Setting a field
// changes only its own bits: every other bit of the payload, named or not, is carried.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "model/drosa.h"
#include "model/node_kinds.h"

// One named field of a node payload.
struct NodeField {
  const char* name;  // the field's name, as the program spells it
  uint8_t kind;      // the node kind it belongs to
  uint8_t kind2;     // a second kind with the same layout, or 0
  uint8_t offset;    // node byte of the field's first byte
  uint8_t bytes;     // the field is read as a big-endian word of this many bytes: 1, 2 or 4
  uint8_t shift;     // position of its lowest bit in that word
  uint8_t bits;      // width in bits
  bool is_signed;    // sign-extended when read
};

// A field read and written as a value of type T.
template <typename T>
struct Field : NodeField {};

// A run of equal fields (entries of a table inside the payload).
template <typename T>
struct ArrayField {
  const char* name;
  uint8_t kind;
  uint8_t offset;  // node byte of entry 0
  uint8_t count;   // number of entries of sizeof(T) bytes each
};

// A NUL-terminated text of at most size - 1 characters.
struct TextField {
  const char* name;
  uint8_t kind;
  uint8_t offset;
  uint8_t size;
};

// Big-endian words of the payload.
inline uint32_t load_big_endian(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

inline void store_big_endian(uint8_t* p, int bytes, uint32_t v) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = uint8_t(v);
}

// A link to another node kept in the payload (a 32-bit handle, big-endian).
struct LinkField {
  const char* name;
  uint8_t kind;
  uint8_t offset;
};

inline Drosa DrosaNode::get(const LinkField& f) const {
  return Drosa(load_big_endian(bytes() + f.offset, 4));
}
inline void DrosaNode::set(const LinkField& f, Drosa link) {
  store_big_endian(bytes() + f.offset, 4, link.handle());
}

// ---- Building descriptors -------------------------------------------------------------

// A whole byte, word or long word at a node byte.
template <typename T>
constexpr Field<T> word_field(const char* name, int kind, int offset, int kind2 = 0) {
  static_assert(std::is_integral_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4));
  return Field<T>{{name, uint8_t(kind), uint8_t(kind2), uint8_t(offset), uint8_t(sizeof(T)), 0,
                   uint8_t(8 * sizeof(T)), std::is_signed_v<T>}};
}

// Bits high..low of the byte at a node byte, read as an unsigned number.
constexpr Field<int> bit_field(const char* name, int kind, int offset, int high, int low) {
  return Field<int>{
      {name, uint8_t(kind), 0, uint8_t(offset), 1, uint8_t(low), uint8_t(high - low + 1), false}};
}

// ---- Access ---------------------------------------------------------------------------

inline uint32_t field_mask(int bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1; }

template <typename T>
T DrosaNode::get(const Field<T>& f) const {
  uint32_t mask = field_mask(f.bits);
  uint32_t v = (load_big_endian(bytes() + f.offset, f.bytes) >> f.shift) & mask;
  if (f.is_signed && f.bits < 32 && ((v >> (f.bits - 1)) & 1)) v |= ~mask;
  return static_cast<T>(v);
}

template <typename T>
void DrosaNode::set(const Field<T>& f, std::type_identity_t<T> value) {
  uint32_t mask = field_mask(f.bits) << f.shift;
  uint8_t* p = bytes() + f.offset;
  uint32_t word = load_big_endian(p, f.bytes);
  word = (word & ~mask) | ((static_cast<uint32_t>(value) << f.shift) & mask);
  store_big_endian(p, f.bytes, word);
}

// An entry index outside the table: reported; reads give 0 and writes are dropped.
void report_bad_field_index(const char* field, int index);

template <typename T>
T DrosaNode::get(const ArrayField<T>& f, int index) const {
  if (index < 0 || index >= f.count) {
    report_bad_field_index(f.name, index);
    return 0;
  }
  uint32_t v = load_big_endian(bytes() + f.offset + index * sizeof(T), sizeof(T));
  return static_cast<T>(static_cast<std::make_unsigned_t<T>>(v));
}

template <typename T>
void DrosaNode::set(const ArrayField<T>& f, int index, std::type_identity_t<T> value) {
  if (index < 0 || index >= f.count) {
    report_bad_field_index(f.name, index);
    return;
  }
  store_big_endian(bytes() + f.offset + index * sizeof(T), sizeof(T),
                   static_cast<std::make_unsigned_t<T>>(value));
}

// Raw access by node byte, for the bytes no field names (they are only carried).
inline uint8_t node_byte(Drosa node, int offset) { return node->bytes()[offset]; }
inline void set_node_byte(Drosa node, int offset, uint8_t value) { node->bytes()[offset] = value; }

// clang-format off
// ---- NOTE: a note or, with xrest, a rest ----------------------------------------------
inline constexpr auto xmod7 = word_field<int8_t>("xmod7", NOTE, 10);      // diatonic position of the head
inline constexpr auto xnostem = bit_field("xnostem", NOTE, 11, 7, 7);      // no stem
inline constexpr auto xseparate = bit_field("xseparate", NOTE, 11, 6, 6);  // set by the field commands
inline constexpr auto xlgval = bit_field("xlgval", NOTE, 11, 5, 2);          // 0 breve, 1 whole, 2 half...
inline constexpr auto xbstem = bit_field("xbstem", NOTE, 11, 1, 1);          // stem belongs to a beam
inline constexpr auto xtrembeam = bit_field("xtrembeam", NOTE, 11, 0, 0);    // tremolo beam
inline constexpr auto xendvcd = bit_field("xendvcd", NOTE, 12, 7, 7);        // last note of its vertical chord
inline constexpr auto xgliss = bit_field("xgliss", NOTE, 12, 6, 6);          // glissando
inline constexpr auto xtie = bit_field("xtie", NOTE, 12, 5, 4);              // tie
inline constexpr auto xtenu = bit_field("xtenu", NOTE, 12, 3, 3);            // tenuto
inline constexpr auto xstacc = bit_field("xstacc", NOTE, 12, 2, 2);          // staccato
inline constexpr auto xgrace = bit_field("xgrace", NOTE, 12, 1, 1);          // grace note: takes no time
inline constexpr auto xnoslash = bit_field("xnoslash", NOTE, 12, 0, 0);      // grace note without slash
inline constexpr auto xrest = bit_field("xrest", NOTE, 13, 7, 7);            // the node is a rest
inline constexpr auto xhider = bit_field("xhider", NOTE, 13, 6, 6);          // hide the rest
inline constexpr auto xhidet = bit_field("xhidet", NOTE, 13, 5, 5);          // hide the tie
inline constexpr auto xstring = bit_field("xstring", NOTE, 13, 4, 2);        // tablature string, 0 none
inline constexpr auto xdots = bit_field("xdots", NOTE, 13, 1, 0);            // augmentation dots, 0-3
inline constexpr auto xacc = bit_field("xacc", NOTE, 14, 7, 5);              // accidental
inline constexpr auto xaccplot = bit_field("xaccplot", NOTE, 14, 4, 4);      // accidental to be drawn
inline constexpr auto xferm = bit_field("xferm", NOTE, 14, 3, 3);            // fermata
inline constexpr auto xdir = bit_field("xdir", NOTE, 14, 2, 1);              // stem direction code
inline constexpr auto xcbeam = bit_field("xcbeam", NOTE, 14, 0, 0);          // continue beam
inline constexpr auto xebeam = bit_field("xebeam", NOTE, 15, 7, 7);          // end beam
inline constexpr auto xcsbeam = bit_field("xcsbeam", NOTE, 15, 6, 6);        // continue secondary beam
inline constexpr auto xesbeam = bit_field("xesbeam", NOTE, 15, 5, 5);        // end secondary beam
inline constexpr auto xaccent = bit_field("xaccent", NOTE, 15, 4, 3);        // accent
inline constexpr auto xselected = bit_field("xselected", NOTE, 15, 1, 1);    // note selected
inline constexpr auto xcue = bit_field("xcue", NOTE, 15, 0, 0);              // cue-size note
inline constexpr auto xtupl = word_field<uint8_t>("xtupl", NOTE, 16);        // tuplet number, 1 none
inline constexpr auto xnotehead = bit_field("xnotehead", NOTE, 17, 7, 4);    // note-head shape
inline constexpr auto xslur = bit_field("xslur", NOTE, 17, 3, 2);            // slur
inline constexpr auto xtremolo = bit_field("xtremolo", NOTE, 17, 1, 0);      // tremolo strokes
inline constexpr auto xintimeof = word_field<uint8_t>("xintimeof", NOTE, 18);  // in the time of x 4; 4 none
inline constexpr auto xdashtie = bit_field("xdashtie", NOTE, 19, 7, 7);      // dashed tie
inline constexpr auto xdashslur = bit_field("xdashslur", NOTE, 19, 6, 6);    // dashed slur
inline constexpr auto xthumb = bit_field("xthumb", NOTE, 19, 5, 5);          // thumb mark
inline constexpr auto xbendtie = bit_field("xbendtie", NOTE, 19, 3, 3);      // bent tie
inline constexpr auto xparen = bit_field("xparen", NOTE, 19, 2, 1);          // parentheses
inline constexpr auto xbendslur = bit_field("xbendslur", NOTE, 19, 0, 0);    // bent slur
inline constexpr auto xvolume = word_field<uint8_t>("xvolume", NOTE, 20);    // volume 0..200
inline constexpr auto xnachschlag = bit_field("xnachschlag", NOTE, 21, 7, 7);  // grace note after the note
inline constexpr auto xcrawlslur = bit_field("xcrawlslur", NOTE, 21, 6, 6);  // crawling slur
inline constexpr auto xvoice = bit_field("xvoice", NOTE, 21, 5, 0);          // voice number of the note
inline constexpr auto xpitch = word_field<uint16_t>("xpitch", NOTE, 22);     // key << 8 + 1/200 semitones
inline constexpr auto xlength = word_field<uint32_t>("xlength", NOTE, 24);   // performed length
inline constexpr auto xttn = word_field<uint32_t>("xttn", NOTE, 28);         // performed time to next note

// ---- NEST: tuplet nesting factor before its NOTE --------------------------------------
inline constexpr auto xnest_tupl = word_field<uint8_t>("xnest_tupl", NEST, 10);  // multiplies xtupl
inline constexpr auto xnest_intimeof = word_field<uint8_t>("xnest_intimeof", NEST, 11);  // multiplies xintimeof /4

// ---- TSMOD: tie and slur modifier before its NOTE (a TSMOD of all zero bits is removed) --
inline constexpr auto xhangRslur = bit_field("xhangRslur", TSMOD, 10, 7, 7);
inline constexpr auto xhangLslur = bit_field("xhangLslur", TSMOD, 10, 6, 6);
inline constexpr auto xleftonlyslur = bit_field("xleftonlyslur", TSMOD, 10, 5, 5);
inline constexpr auto xhangRtie = bit_field("xhangRtie", TSMOD, 10, 4, 4);
inline constexpr auto xhangLtie = bit_field("xhangLtie", TSMOD, 10, 3, 3);
inline constexpr auto xleftonlytie = bit_field("xleftonlytie", TSMOD, 10, 2, 2);
inline constexpr auto xsplitslur = bit_field("xsplitslur", TSMOD, 10, 1, 1);
inline constexpr auto xa_altslursize = bit_field("xa_altslursize", TSMOD, 10, 0, 0);
inline constexpr auto xa_slur = bit_field("xa_slur", TSMOD, 11, 7, 6);  // the additional slur
inline constexpr auto xa_crawlslur = bit_field("xa_crawlslur", TSMOD, 11, 5, 5);
inline constexpr auto xa_handRslur = bit_field("xa_handRslur", TSMOD, 11, 4, 4);
inline constexpr auto xa_hangLslur = bit_field("xa_hangLslur", TSMOD, 11, 3, 3);
inline constexpr auto xa_leftonlyslur = bit_field("xa_leftonlyslur", TSMOD, 11, 2, 2);
inline constexpr auto xa_splitslur = bit_field("xa_splitslur", TSMOD, 11, 1, 1);
inline constexpr auto xa_dashslur = bit_field("xa_dashslur", TSMOD, 11, 0, 0);
inline constexpr auto bendslur = bit_field("bendslur", TSMOD, 12, 7, 7);
inline constexpr auto xstacissimo = bit_field("xstacissimo", TSMOD, 12, 6, 6);

// ---- SPACC: special accidentals before their NOTE -------------------------------------
inline constexpr auto xnumspacc = word_field<uint8_t>("xnumspacc", SPACC, 10);  // entries in use
inline constexpr ArrayField<uint8_t> xspacc_entry{"xspacc_entry", SPACC, 11, 15};  // accidental codes

// ---- CLEF -----------------------------------------------------------------------------
inline constexpr auto xclef = word_field<uint8_t>("xclef", CLEF, 10);  // clef type
inline constexpr auto xclef_in_system = word_field<uint8_t>("xclef_in_system", CLEF, 11);  // 0 at a system start
inline constexpr auto xclefx = word_field<int32_t>("xclefx", CLEF, 14);
inline constexpr auto xcleforigin = word_field<int32_t>("xcleforigin", CLEF, 18);
inline constexpr auto xclef_change = word_field<uint8_t>("xclef_change", CLEF, 11);  // 1: not the voice's first clef

// ---- KEYSIG ---------------------------------------------------------------------------
inline constexpr auto xkeycnt = word_field<uint8_t>("xkeycnt", KEYSIG, 10);  // entries in use
inline constexpr ArrayField<uint8_t> xkeysig_entry{"xkeysig_entry", KEYSIG, 11, 14};  // codes; 14 up naturals
inline constexpr auto key_transposition = word_field<int8_t>("key_transposition", KEYSIG, 25);  // semitones
inline constexpr auto xkey = word_field<int8_t>("xkey", KEYSIG, 26);

// ---- TIMESIG: a measure lasts xbpm x 65536 / xbeat time units -------------------------
inline constexpr auto xbpm = word_field<int16_t>("xbpm", TIMESIG, 10);    // beats per measure
inline constexpr auto xbeat = word_field<int16_t>("xbeat", TIMESIG, 12);  // the beat's note value
inline constexpr auto xtimesig_symbol = word_field<uint8_t>("xtimesig_symbol", TIMESIG, 22);  // 1 cut, 2 common

// ---- BAR ------------------------------------------------------------------------------
inline constexpr auto xdouble = word_field<uint8_t>("xdouble", BAR, 10);          // double bar
inline constexpr auto xrepeat_end = word_field<uint8_t>("xrepeat_end", BAR, 12);    // dots on the left
inline constexpr auto xrepeat_start = word_field<uint8_t>("xrepeat_start", BAR, 13);  // dots on the right
inline constexpr auto xnumbering = word_field<uint8_t>("xnumbering", BAR, 14);    // numbering flags
inline constexpr auto xbarx = word_field<int32_t>("xbarx", BAR, 16);              // bar x
inline constexpr auto xbarnumber = word_field<int16_t>("xbarnumber", BAR, 30);    // explicit bar number

// ---- ENDSYST: end of a system; first and last node of every voice list ---------------
inline constexpr auto xendpage = word_field<uint8_t>("xendpage", ENDSYST, 10);        // ends a page
inline constexpr auto xendpiece = word_field<uint8_t>("xendpiece", ENDSYST, 11);      // last node of the voice
inline constexpr auto xstartpiece = word_field<uint8_t>("xstartpiece", ENDSYST, 12);  // first node of the voice
inline constexpr auto xbracket = bit_field("xbracket", ENDSYST, 13, 3, 2);  // 2 none; 1, 3 bracket ends
inline constexpr auto xbrace = bit_field("xbrace", ENDSYST, 13, 1, 0);      // brace code
// Ties continuing into the next system, five a side: diatonic position in bits 6-0, dashed in
// bit 7 (0 = empty); and the voice number the page locator writes.
inline constexpr ArrayField<uint8_t> xsys_tieup{"xsys_tieup", ENDSYST, 18, 5};
inline constexpr ArrayField<uint8_t> xsys_tiedown{"xsys_tiedown", ENDSYST, 23, 5};
inline constexpr auto xsys_voice = word_field<uint8_t>("xsys_voice", ENDSYST, 28);

// ---- PRINT: print settings of a voice -------------------------------------------------
inline constexpr auto xsstaff = word_field<int16_t>("xsstaff", PRINT, 10);      // staff in the system; -1 not printed
inline constexpr auto xprintdir = word_field<int16_t>("xprintdir", PRINT, 12);  // stems: 1 down, 2 up, 3 decided
inline constexpr auto xslines = word_field<int16_t>("xslines", PRINT, 14);      // staff lines
inline constexpr auto xlhrh = word_field<int16_t>("xlhrh", PRINT, 16);          // hand: 0 none, 1 one, else other
inline constexpr auto xfirst_bracket = bit_field("xfirst_bracket", PRINT, 19, 7, 6);  // bracket at the piece start
inline constexpr auto xfirst_brace = bit_field("xfirst_brace", PRINT, 19, 5, 4);      // brace at the piece start
inline constexpr auto xtablature = bit_field("xtablature", PRINT, 19, 3, 2);  // 1, 2 tablature; 3 piano tablature
inline constexpr auto xstaffsize = word_field<int16_t>("xstaffsize", PRINT, 20);  // 50 normal
inline constexpr auto xpartstaff = bit_field("xpartstaff", PRINT, 22, 7, 4);    // staff of its part used
inline constexpr auto xpartstaves = bit_field("xpartstaves", PRINT, 22, 3, 0);  // the part's staff count
inline constexpr auto xlist = word_field<uint8_t>("xlist", PRINT, 23);    // place in the staff list, 0 none
inline constexpr auto xlayer = word_field<uint8_t>("xlayer", PRINT, 24);

// ---- VINFO: voice information near the head of each voice list ------------------------
inline constexpr TextField xpname{"xpname", VINFO, 10, 16};                       // part name
inline constexpr auto xmidichan = word_field<uint8_t>("xmidichan", VINFO, 26);    // MIDI channel
inline constexpr auto xvoiceOnPart = word_field<int8_t>("xvoiceOnPart", VINFO, 30);  // 0 the part's first voice

// ---- BEAMING: beat values used in turn, repeated after the last non-zero one ---------
inline constexpr auto xsbvalue = word_field<int32_t>("xsbvalue", BEAMING, 10);  // secondary beat value
inline constexpr ArrayField<int32_t> xbvalue{"xbvalue", BEAMING, 14, 4};       // beat values

// ---- COLOR ----------------------------------------------------------------------------
inline constexpr auto xred = word_field<int16_t>("xred", COLOR, 10);
inline constexpr auto xgreen = word_field<int16_t>("xgreen", COLOR, 12);
inline constexpr auto xblue = word_field<int16_t>("xblue", COLOR, 14);
inline constexpr auto xcolor_index = word_field<uint8_t>("xcolor_index", COLOR, 16);

// ---- Moves, drags, zones and spaces ---------------------------------------------------
inline constexpr auto xmove = word_field<int32_t>("xmove", AMOVE, 10, RMOVE);  // absolute or relative move
inline constexpr auto xchordmove = word_field<int32_t>("xchordmove", CMOVE, 10);  // x offset of the chord
inline constexpr auto xstaffdrag = word_field<int32_t>("xstaffdrag", SDRAG, 10);  // move of the staff
inline constexpr auto xsdrag_sstaff = word_field<int16_t>("xsdrag_sstaff", SDRAG, 14);
inline constexpr auto xzone_xpermil = word_field<int16_t>("xzone_xpermil", ZONE, 10);  // x, per mille of the staff
inline constexpr auto xzone_wholec = word_field<int32_t>("xzone_wholec", ZONE, 12);    // time of its chord
inline constexpr auto xzone_sys_wholec = word_field<int32_t>("xzone_sys_wholec", ZONE, 16);  // system end time
inline constexpr auto xzone_bar = word_field<uint8_t>("xzone_bar", ZONE, 20);  // starts at the bar before
inline constexpr auto xspace = word_field<int16_t>("xspace", SPACE, 10);        // extra space
inline constexpr auto xtempo_lgval = word_field<int16_t>("xtempo_lgval", TEMPO, 10);  // note value (obsolete)
inline constexpr auto xtempo_bpm = word_field<int16_t>("xtempo_bpm", TEMPO, 12);      // beats per minute (obsolete)

// ---- NTVIEW, PVIEW: a parked view's layout records --------------------------------------
// An NTVIEW stands after a NOTE in place of its NTDATA: the view's slot, then the NTDATA's
// node bytes 10..57 (its links cleared), then the screen x of the BAR that starts the note's
// measure. A PVIEW stands before an annotation: the slot, then the PDATA's node bytes 10..61.
inline constexpr int VIEW_COPY_AT = 12;         // node byte where either copy begins
inline constexpr int NTVIEW_COPY_BYTES = 48;    // of the NTDATA
inline constexpr int PVIEW_COPY_BYTES = 52;     // of the PDATA
inline constexpr auto xntview = word_field<int16_t>("xntview", NTVIEW, 10);  // the view's slot
inline constexpr auto xvhdx = word_field<int32_t>("xvhdx", NTVIEW, 34);      // the head on the screen
inline constexpr auto xvhdy = word_field<int32_t>("xvhdy", NTVIEW, 38);
inline constexpr auto xvrestchar = bit_field("xvrestchar", NTVIEW, 31, 5, 4);  // the screen rest glyph
inline constexpr auto xvbarx = word_field<int32_t>("xvbarx", NTVIEW, 60);    // 0x80000000 none
inline constexpr auto xpview = word_field<int16_t>("xpview", PVIEW, 10);     // the view's slot
inline constexpr auto xvx1 = word_field<int32_t>("xvx1", PVIEW, 30);         // the screen rectangle
inline constexpr auto xvy1 = word_field<int32_t>("xvy1", PVIEW, 34);
inline constexpr auto xvx2 = word_field<int32_t>("xvx2", PVIEW, 38);
inline constexpr auto xvy2 = word_field<int32_t>("xvy2", PVIEW, 42);
inline constexpr auto xvanno_selected = bit_field("xvanno_selected", PVIEW, 48, 7, 7);
// clang-format on

// Every scalar field above, for checks and for finding a field by its name.
extern const NodeField* const model_node_fields[];
extern const int model_node_field_count;
