// node_kinds.cpp: the kind-name and layout-string tables, and the visibility rule.
//
// Layout strings describe a stored node from its kind byte on: a digit is a field of that
// many bytes, x a 4-byte page coordinate, + a 14-byte parameter value, and a parenthesised
// group one byte of bit fields whose widths run from the most significant bit down. An empty
// string marks a kind that exists only at run time and is never written to a file.
#include "model/node_kinds.h"

#include "model/error_report.h"
#include "model/model_globals.h"

const char* const node_kind_names[KIND_COUNT] = {
    "NEST",   "CDDATA3", "BARSEP",    "XMLT",    "COPY",     "TSMOD",  "xxxNIFFX", "xxxFNAME",
    "VOICES", "NOTEPTR", "PLAY",      "ROD",     "SPRING",   "UNDO",   "MARK",     "COLOR",
    "RNOTE",  "GE_CHAR", "GE_STRING", "GE_LINE", "GE_CURVE", "RMOVE",  "SPACC",    "AMOVE",
    "VINFO",  "NOTE",    "CLEF",      "KEYSIG",  "TIMESIG",  "BAR",    "FREE",     "TPARAM",
    "TEXT",   "LINE",    "PARAM",     "TEMPO",   "NTDATA",   "CDDATA", "CDDATA2",  "ENDSYST",
    "PRINT",  "SDRAG",   "NA",        "BEAMING", "PDATA",    "SPACE",  "MIDI",     "CMOVE",
    "ZONE",   "NTVIEW",  "PVIEW",
};

const char* const node_layout_strings[KIND_COUNT] = {
    "11",                                                                   // NEST
    "114411",                                                               // CDDATA3
    "111",                                                                  // BARSEP
    "",                                                                     // XMLT
    "",                                                                     // COPY
    "11(11111111)(2111111)(116)",                                           // TSMOD
    "11x(17)1x",                                                            // xxxNIFFX
    "1121111111111111111",                                                  // xxxFNAME
    "",                                                                     // VOICES
    "114",                                                                  // NOTEPTR
    "",                                                                     // PLAY
    "",                                                                     // ROD
    "",                                                                     // SPRING
    "",                                                                     // UNDO
    "",                                                                     // MARK
    "112221",                                                               // COLOR
    "",                                                                     // RNOTE
    "1(22112)xx1121121(1421)11",                                            // GE_CHAR
    "1(22112)1111111111111111111111",                                       // GE_STRING
    "1(22112)xx11xxxxxx1(422)1(44)",                                        // GE_LINE
    "1(22112)xx11xxxx1(44)xx(143)1",                                        // GE_CURVE
    "11x",                                                                  // RMOVE
    "111111111111111111",                                                   // SPACC
    "11x",                                                                  // AMOVE
    "1111111111111111111(17)111",                                           // VINFO
    "111(11411)(1121111)(11132)(31121)(1112111)1(422)1(1111121)1(116)244",  // NOTE
    "111111xx",                                                             // CLEF
    "1111111111111111111(17)xx",                                            // KEYSIG
    "1122xx1(17)",                                                          // TIMESIG
    "1111111(11114)xx11x2112",                                              // BAR
    "",                                                                     // FREE
    "11xx2111(2111111)(2111111)(11111111)(44)111111(44)22",                 // TPARAM
    "111111111111111111111111",                                             // TEXT
    "11xxxx(44)(71)xxxx(1111121)1(44)(17)1(44)2",                           // LINE
    "1142(17)1+2",                                                          // PARAM
    "1122",                                                                 // TEMPO
    "11(1111121)(341)44xx1(221111)11xx",                                    // NTDATA
    "11xxxxxxxx(1112111)12(332)(332)211",                                   // CDDATA
    "114411112x11244",                                                      // CDDATA2
    "11111(111122)411111111111(1111112)",                                   // ENDSYST
    "1122221(2222)2(44)11",                                                 // PRINT
    "11x2",                                                                 // SDRAG
    "",                                                                     // NA
    "1144444",                                                              // BEAMING
    "11xxxx11xxxx2(17)",                                                    // PDATA
    "112",                                                                  // SPACE
    "111111111111114(116)1",                                                // MIDI
    "11x",                                                                  // CMOVE
    "112441",                                                               // ZONE
    "",                                                                     // NTVIEW
    "",                                                                     // PVIEW
};

const char* kind_name(int kind) {
  return is_node_kind(kind) ? node_kind_names[kind - FIRST_KIND] : "KIND_VALUE_OOR";
}

const char* layout_string(int kind) {
  return is_node_kind(kind) ? node_layout_strings[kind - FIRST_KIND] : "";
}

int effective_kind_in_context(Drosa node) {
  int kind = node->xkind;
  int context = node->xcontext;
  if (context == 0 || kind == NOTE || context == current_ncontext ||
      (context == -1 && current_ncontext != 1) || is_graphics_element_kind(kind))
    return kind;
  return NA;
}

const char* node_kind_name(Drosa node) {
  if (!drosa_handle_valid(node)) return debug_hook("NODE_ADDRESS_OOR");
  int kind = node->xkind;
  if (!is_node_kind(kind)) return debug_hook("KIND_VALUE_OOR");
  return debug_hook(kind_name(effective_kind(node)));
}
