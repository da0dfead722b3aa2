// editing_dialogs.cpp: the dialog tables of the staff symbol commands: Key Signature, Clef,
// Bar Line, Time Signature, System Bracket and Beaming Rule, and of the Layout, Options and
// Internal Fields dialogs. Every symbol dialog begins with the items
// the symbol dialogs share: OK (1), Cancel (2), Delete (3), the placement at the insertion
// point or at the end of the system (4, 5) and the scope, this staff or all staves (6, 7).
// The program addresses the items by number; the numbers are the comments' at each item.
#include <vector>

#include "platform/dialog_table_items.h"

namespace {

// Items 1 to 7 of a symbol dialog `width` by `height`: the buttons along the bottom, the
// placement pair at `scope_top` on the left and the scope pair beside it.
DialogSpec symbol_dialog(int16_t id, const char* title, int width, int height, int scope_top,
                         const char* this_staff = "This staff",
                         const char* all_staves = "All staves") {
  DialogSpec spec = dialog_with_buttons(id, title, width, height);  // 1, 2
  const int top = height - 12 - BUTTON_H;
  spec.items.push_back(button({MARGIN, top, MARGIN + BUTTON_W, top + BUTTON_H}, "Delete"));  // 3
  spec.items.push_back(radio({MARGIN, scope_top, 230, scope_top + 18}, "At the insertion point"));
  spec.items.push_back(
      radio({MARGIN, scope_top + 22, 230, scope_top + 40}, "At the end of the system"));      // 5
  spec.items.push_back(radio({240, scope_top, width - MARGIN, scope_top + 18}, this_staff));  // 6
  spec.items.push_back(
      radio({240, scope_top + 22, width - MARGIN, scope_top + 40}, all_staves));  // 7
  return spec;
}

DialogSpec key_signature_dialog() {
  DialogSpec spec = symbol_dialog(4126, "Key Signature", 520, 330, 250);
  spec.items.push_back(user({MARGIN, 96, 230, 160}));                                        // 8
  spec.items.push_back(edit({200, 38, 232, 56}));                                            // 9
  spec.items.push_back(radio({246, 38, 326, 56}, "Sharps"));                                 // 10
  spec.items.push_back(radio({330, 38, 410, 56}, "Flats"));                                  // 11
  spec.items.push_back(radio({MARGIN, 66, 36, 84}, ""));                                     // 12
  spec.items.push_back(label({38, 67, 200, 83}, ""));                                        // 13
  spec.items.push_back(radio({246, 66, 266, 84}, ""));                                       // 14
  spec.items.push_back(label({268, 67, 504, 83}, ""));                                       // 15
  spec.items.push_back(check({246, 96, 504, 114}, "Cancel the old key with naturals"));      // 16
  spec.items.push_back(check({MARGIN, 172, 170, 190}, "Transpose the notes"));               // 17
  spec.items.push_back(label({MARGIN + 20, 192, 170, 208}, "to the new key,"));              // 18
  spec.items.push_back(radio({176, 172, 236, 190}, "Up"));                                   // 19
  spec.items.push_back(radio({240, 172, 310, 190}, "Down"));                                 // 20
  spec.items.push_back(label({176, 192, 504, 208}, "by the distance between the keys"));     // 21
  spec.items.push_back(check({MARGIN, 216, 190, 234}, "Transposing instrument:"));           // 22
  spec.items.push_back(edit({194, 216, 230, 234}));                                          // 23
  spec.items.push_back(label({236, 217, 504, 233}, "half steps from concert pitch"));        // 24
  spec.items.push_back(check({246, 118, 504, 136}, "Notes keep their place on the staff"));  // 25
  spec.items.push_back(check({246, 140, 504, 158}, "Replace the later key signatures"));     // 26
  spec.items.push_back(label({MARGIN, 10, 504, 28}, "Key signature of ^0"));                 // 27
  spec.items.push_back(label({MARGIN, 39, 196, 55}, "Number of sharps or flats:"));          // 28
  return spec;
}

// The twelve clef buttons (9 to 20) stand in one row; the program lays them out and draws the
// clefs above them.
DialogSpec clef_dialog() {
  DialogSpec spec = symbol_dialog(20815, "Clef", 400, 262, 172);
  spec.items.push_back(check({MARGIN, 100, 380, 118}, "Hide this clef"));  // 8
  for (int k = 0; k < 12; ++k) {                                           // 9 .. 20
    const int left = 11 + k * 95 / 3;
    spec.items.push_back(radio({left, 72, left + 18, 90}, ""));
  }
  spec.items.push_back(label({MARGIN, 8, 380, 24}, "Clef of ^0"));  // 21
  spec.items.push_back(
      check({MARGIN, 122, 380, 140}, "Replace the later clefs of every notation context"));  // 22
  spec.items.push_back(
      check({MARGIN, 144, 380, 162}, "Notes after it keep their place on the staff"));  // 23
  return spec;
}

// The fourteen style buttons (8 to 21) stand in one row under their drawn samples.
DialogSpec bar_line_dialog() {
  DialogSpec spec = symbol_dialog(29854, "Bar Line", 440, 426, 338);
  for (int k = 0; k < 14; ++k) {  // 8 .. 21
    const int left = MARGIN + k * 29;
    spec.items.push_back(radio({left, 66, left + 18, 84}, ""));
  }
  spec.items.push_back(radio({MARGIN, 96, 230, 114}, "Only on this staff"));                  // 22
  spec.items.push_back(radio({MARGIN, 116, 230, 134}, "Through the staff below"));            // 23
  spec.items.push_back(radio({MARGIN, 136, 230, 154}, "Not drawn"));                          // 24
  spec.items.push_back(check({234, 96, 424, 114}, "Later bars take this joining"));           // 25
  spec.items.push_back(check({234, 116, 424, 134}, "Later bars take this style"));            // 26
  spec.items.push_back(check({MARGIN, 166, 230, 184}, "Numbered"));                           // 27
  spec.items.push_back(check({234, 166, 424, 184}, "Not counted"));                           // 28
  spec.items.push_back(check({MARGIN, 188, 230, 206}, "Bar number:"));                        // 29
  spec.items.push_back(edit({232, 188, 292, 206}));                                           // 30
  spec.items.push_back(check({MARGIN, 220, 230, 238}, "Playback:"));                          // 31
  spec.items.push_back(radio({36, 242, 424, 260}, "First ending: skipped the second time"));  // 32
  spec.items.push_back(radio({36, 264, 424, 282}, "Where the skipped ending comes back"));    // 33
  spec.items.push_back(radio({36, 286, 140, 304}, "Go to bar"));                              // 34
  spec.items.push_back(edit({142, 286, 196, 304}));                                           // 35
  spec.items.push_back(label({202, 287, 232, 303}, "the"));                                   // 36
  spec.items.push_back(edit({234, 286, 274, 304}));                                           // 37
  spec.items.push_back(label({280, 287, 424, 303}, "time through"));                          // 38
  spec.items.push_back(label({MARGIN, 8, 424, 24}, "Bar line of ^0"));                        // 39
  return spec;
}

DialogSpec time_signature_dialog() {
  DialogSpec spec = symbol_dialog(7801, "Time Signature", 400, 250, 160);
  spec.items.push_back(edit({100, 40, 136, 58}));                                   // 8
  spec.items.push_back(edit({100, 66, 136, 84}));                                   // 9
  spec.items.push_back(radio({MARGIN, 98, 130, 116}, "Numbers"));                   // 10
  spec.items.push_back(radio({134, 98, 250, 116}, "Alla breve"));                   // 11
  spec.items.push_back(radio({254, 98, 384, 116}, "Common time"));                  // 12
  spec.items.push_back(label({MARGIN, 8, 384, 24}, "Time signature of ^0"));        // 13
  spec.items.push_back(check({MARGIN, 124, 384, 142}, "Flag the time signature"));  // 14
  spec.items.push_back(label({MARGIN, 41, 96, 57}, "Beats:"));                      // 15
  spec.items.push_back(label({MARGIN, 67, 96, 83}, "Beat value:"));                 // 16
  return spec;
}

DialogSpec system_bracket_dialog() {
  DialogSpec spec = symbol_dialog(8992, "System Bracket", 420, 250, 160);
  spec.items.push_back(radio({MARGIN, 40, 404, 58}, "Bracket ends at this staff"));          // 8
  spec.items.push_back(radio({MARGIN, 62, 404, 80}, "Bracket goes on to the staff below"));  // 9
  spec.items.push_back(radio({MARGIN, 84, 404, 102}, "No bracket"));                         // 10
  spec.items.push_back(check({MARGIN, 110, 404, 128}, "Every later system too"));            // 11
  spec.items.push_back(
      check({MARGIN, 130, 404, 148}, "Draw Brace Between This Staff and Next"));        // 12
  spec.items.push_back(label({MARGIN, 10, 404, 28}, "System bracket at this staff:"));  // 13
  return spec;
}

DialogSpec beaming_rule_dialog() {
  DialogSpec spec = symbol_dialog(9685, "Beaming Rule", 420, 226, 138, "This voice", "All voices");
  spec.items.push_back(label({MARGIN, 10, 404, 42},
                             "Beam groups and the subbeam group, counted in eighth notes:"));  // 8
  for (int k = 0; k < 4; ++k) {  // 9 .. 12
    const int left = 110 + k * 50;
    spec.items.push_back(edit({left, 52, left + 40, 70}));
  }
  spec.items.push_back(label({MARGIN, 53, 106, 69}, "Groups:"));     // 13
  spec.items.push_back(edit({110, 84, 150, 102}));                   // 14
  spec.items.push_back(label({MARGIN, 85, 106, 101}, "Subbeams:"));  // 15
  return spec;
}

// Insert Measures (1085) and the first measures of a new piece (132): the number of measures
// (9), the time (11, 12), the systems and pages (14, 16), and two pairs of choices: whether the
// measures go into the present systems (18, 19) and whether a new piece keeps two voices
// (21, 22).
DialogSpec measures_dialog(int16_t id, const char* title, const char* heading) {
  DialogSpec spec = symbol_dialog(id, title, 460, 330, 226);
  spec.items.push_back(label({MARGIN, 10, 444, 28}, heading));                            // 8
  spec.items.push_back(edit({250, 38, 300, 56}));                                         // 9
  spec.items.push_back(label({MARGIN, 39, 246, 55}, "Number of measures:"));              // 10
  spec.items.push_back(edit({250, 64, 300, 82}));                                         // 11
  spec.items.push_back(edit({330, 64, 380, 82}));                                         // 12
  spec.items.push_back(label({MARGIN, 65, 246, 81}, "Beats per measure / beat value:"));  // 13
  spec.items.push_back(edit({250, 90, 300, 108}));                                        // 14
  spec.items.push_back(label({MARGIN, 91, 246, 107}, "Measures per system:"));            // 15
  spec.items.push_back(edit({250, 116, 300, 134}));                                       // 16
  spec.items.push_back(label({MARGIN, 117, 246, 133}, "Systems per page:"));              // 17
  spec.items.push_back(radio({MARGIN, 146, 230, 164}, "Keep the present systems"));       // 18
  spec.items.push_back(radio({240, 146, 444, 164}, "Make new systems"));                  // 19
  spec.items.push_back(label({306, 65, 326, 81}, "/"));                                   // 20
  spec.items.push_back(radio({MARGIN, 176, 230, 194}, "One voice"));                      // 21
  spec.items.push_back(radio({240, 176, 444, 194}, "Two voices"));                        // 22
  return spec;
}

// Delete Measures: the number of measures (9) from the insertion point's measure.
DialogSpec delete_measures_dialog() {
  DialogSpec spec = symbol_dialog(14298, "Delete Measures", 420, 170, 72);
  spec.items.push_back(label({MARGIN, 10, 404, 28}, "Delete measures of ^0"));  // 8
  spec.items.push_back(edit({250, 38, 300, 56}));                               // 9
  spec.items.push_back(label({MARGIN, 39, 246, 55}, "Number of measures:"));    // 10
  return spec;
}

// The Layout dialog: the margins on the left, the page, lines and zoom on the right.
DialogSpec layout_dialog() {
  constexpr int W = 600, H = 430;
  DialogSpec spec = dialog_with_buttons(27239, "Layout", W, H);  // 1, 2
  const int top = H - 12 - BUTTON_H;
  spec.items.push_back(label({MARGIN, top, 300, top + 18}, "^0"));  // 3
  static const char* const margins[10] = {"Points to left of staff lines on odd pages:",
                                          "Points to left of staff lines on even pages:",
                                          "Points to left of first staff lines:",
                                          "Points to right of staff lines on odd pages:",
                                          "Points to right of staff lines on even pages:",
                                          "Points to right of last staff lines:",
                                          "Points above top staff:",
                                          "Points above top staff on first page:",
                                          "Points below bottom staff:",
                                          "Points below bottom staff on first page:"};
  for (int k = 0; k < 10; ++k) {  // 4 .. 23: label, field
    const int y = 16 + k * 28;
    spec.items.push_back(label({MARGIN, y + 1, 276, y + 17}, margins[k]));
    spec.items.push_back(edit({280, y, 336, y + 18}));
  }
  constexpr int R = 356;
  spec.items.push_back(label({R, 17, 480, 33}, "Page width:"));            // 24
  spec.items.push_back(edit({484, 16, 560, 34}));                          // 25
  spec.items.push_back(label({R, 45, 480, 61}, "Page height:"));           // 26
  spec.items.push_back(edit({484, 44, 560, 62}));                          // 27
  spec.items.push_back(label({R, 101, 480, 117}, "Minimum line width:"));  // 28
  spec.items.push_back(edit({484, 100, 540, 118}));                        // 29
  spec.items.push_back(
      check({R, 124, W - MARGIN, 142}, "PostScript lines as thin as asked"));    // 30
  spec.items.push_back(radio({R, 208, 470, 226}, "37.5%"));                      // 31
  spec.items.push_back(radio({474, 296, W - MARGIN, 314}, "Fit the page"));      // 32
  spec.items.push_back(radio({474, 208, W - MARGIN, 226}, "400%"));              // 33
  spec.items.push_back(radio({474, 230, W - MARGIN, 248}, "200%"));              // 34
  spec.items.push_back(radio({R, 252, 470, 270}, "100%"));                       // 35
  spec.items.push_back(radio({R, 230, 470, 248}, "75%"));                        // 36
  spec.items.push_back(label({R, 149, 520, 165}, "Thinnest PostScript line:"));  // 37
  spec.items.push_back(edit({524, 148, 560, 166}));                              // 38
  spec.items.push_back(label({R, 184, W - MARGIN, 200}, "Zoom:"));               // 39
  spec.items.push_back(edit({470, 296, 470 - 4, 314}));                        // 40 (placed below)
  spec.items.push_back(radio({474, 252, W - MARGIN, 270}, "150%"));            // 41
  spec.items.push_back(radio({R, 274, 470, 292}, "Percent:"));                 // 42
  spec.items.push_back(label({R, 73, 420, 89}, "Unit:"));                      // 43
  spec.items.push_back(check({R, 322, W - MARGIN, 340}, "Resizable window"));  // 44
  spec.items.push_back(check({R, 346, W - MARGIN, 364}, "Show the console window"));  // 45
  spec.items.push_back(radio({424, 72, 500, 90}, "cm"));                              // 46
  spec.items.push_back(radio({504, 72, 580, 90}, "inches"));                          // 47
  spec.items[39].rect = Rect{R + 20, 296, R + 90, 314};  // item 40: the percentage typed
  return spec;
}

// The Options dialog: MIDI output and music font on the left, the switches of the page on the
// right, the numbers below.
DialogSpec options_dialog() {
  constexpr int W = 600, H = 420;
  DialogSpec spec = dialog_with_buttons(26609, "Options", W, H);           // 1, 2
  spec.items.push_back(label({MARGIN, 12, 280, 28}, "MIDI output:"));      // 3
  spec.items.push_back(radio({32, 34, 280, 52}, "Third output"));          // 4
  spec.items.push_back(radio({32, 56, 280, 74}, "ALSA sequencer"));        // 5
  spec.items.push_back(radio({32, 78, 280, 96}, "Built-in synthesizer"));  // 6
  spec.items.push_back(check({MARGIN, 104, 280, 122}, "Sound the keys of the piano window"));   // 7
  spec.items.push_back(check({MARGIN, 126, 36, 144}, ""));                                      // 8
  spec.items.push_back(label({38, 127, 280, 159}, "Three keys played together enter a rest"));  // 9
  spec.items.push_back(check({300, 34, W - MARGIN, 52}, "Key signature at each system"));  // 10
  spec.items.push_back(check({300, 12, W - MARGIN, 30}, "Clef at each system"));           // 11
  spec.items.push_back(check({300, 56, W - MARGIN, 74}, "Tuplet numbers"));                // 12
  spec.items.push_back(check({300, 144, W - MARGIN, 162}, "Marks between systems"));       // 13
  spec.items.push_back(check({300, 100, W - MARGIN, 118}, "Page numbers"));                // 14
  spec.items.push_back(
      check({300, 122, W - MARGIN, 140}, "The file's name as the page title"));             // 15
  spec.items.push_back(check({300, 78, W - MARGIN, 96}, "Bar numbers"));                    // 16
  spec.items.push_back(check({300, 166, W - MARGIN, 184}, "Spacing option"));               // 17
  spec.items.push_back(check({300, 188, W - MARGIN, 206}, "Notes in colour"));              // 18
  spec.items.push_back(label({MARGIN, 170, 280, 186}, "Music font:"));                      // 19
  spec.items.push_back(radio({32, 192, 280, 210}, "Standard"));                             // 20
  spec.items.push_back(radio({32, 214, 280, 232}, "Sonata"));                               // 21
  spec.items.push_back(label({MARGIN, 285, 236, 301}, "Number of the first page:"));        // 22
  spec.items.push_back(edit({240, 284, 300, 302}));                                         // 23
  spec.items.push_back(label({MARGIN, 257, 236, 273}, "Number of the first bar:"));         // 24
  spec.items.push_back(edit({240, 256, 300, 274}));                                         // 25
  spec.items.push_back(label({MARGIN, 313, 236, 329}, "Note spacing factor (0 to 0.9):"));  // 26
  spec.items.push_back(edit({240, 312, 300, 330}));                                         // 27
  spec.items.push_back(check({300, 210, W - MARGIN, 228}, "Piano-roll note heads"));        // 28
  spec.items.push_back(check({300, 232, W - MARGIN, 250}, "Notes locked"));                 // 29
  spec.items.push_back(
      check({320, 256, W - MARGIN, 274}, "Ask to save before changing contexts"));        // 30
  spec.items.push_back(check({320, 278, W - MARGIN, 296}, "Palette text entry option"));  // 31
  spec.items.push_back(label({MARGIN, 341, 236, 357}, "Default zoom (-16 to 16):"));      // 32
  spec.items.push_back(edit({240, 340, 300, 358}));                                       // 33
  return spec;
}

// The Internal Fields dialog: the number fields in two columns, the switches in three.
DialogSpec internal_fields_dialog() {
  constexpr int W = 700, H = 470;
  DialogSpec spec = dialog_with_buttons(26944, "Internal Fields", W, H);  // 1, 2
  spec.items.push_back(radio({MARGIN, 36, 100, 54}, "Note"));             // 3
  spec.items.push_back(radio({104, 36, 190, 54}, "Rest"));                // 4
  // A label and its field, in the left column (row 0..) or the right one.
  auto field = [&](int column, int row, const char* text) {
    const int x = column == 0 ? MARGIN : 280, y = 64 + row * 26;
    spec.items.push_back(label({x, y + 1, x + 110, y + 17}, text));
    spec.items.push_back(edit({x + 114, y, x + 184, y + 18}));
  };
  field(0, 0, "lgval");              // 5, 6
  field(0, 1, "dots");               // 7, 8
  field(0, 2, "mod7");               // 9, 10
  field(0, 3, "tremolo");            // 11, 12
  field(0, 4, "tab string");         // 13, 14
  field(0, 5, "accent");             // 15, 16
  field(0, 6, "tupl : in time of");  // 17, 18
  spec.items.push_back(edit({MARGIN + 188, 64 + 6 * 26, MARGIN + 240, 64 + 6 * 26 + 18}));  // 19
  field(0, 7, "acc");   // 20, 21
  field(0, 8, "slur");  // 22, 23
  field(0, 9, "tie");   // 24, 25
  field(0, 10, "dir");  // 26, 27
  static const char* const boxes1[10] = {"xaccplot",    "xnostem", "xgrace", "xnoslash",
                                         "xnachschlag", "xhider",  "xhidet", "xdashtie",
                                         "xdashslur",   "xbstem"};
  for (int k = 0; k < 10; ++k)  // 28 .. 37
    spec.items.push_back(check({490, 36 + k * 22, 600, 54 + k * 22}, boxes1[k]));
  field(1, 1, "notehead");  // 38, 39
  field(1, 2, "pitch");     // 40, 41
  field(1, 3, "length");    // 42, 43
  field(1, 4, "ttn");       // 44, 45
  static const char* const boxes2[12] = {"xgliss",  "xtrembeam", "xendvcd", "xseparate",
                                         "xcsbeam", "xesbeam",   "xcbeam",  "xebeam",
                                         "xferm",   "xcue",      "xstacc",  "xtenu"};
  for (int k = 0; k < 12; ++k) {  // 46 .. 57
    const int column = k < 6 ? 0 : 1, row = k % 6;
    spec.items.push_back(
        check({490 + column * 100, 262 + row * 22, 586 + column * 100, 280 + row * 22}, boxes2[k]));
  }
  field(1, 5, "volume");                                            // 58, 59
  field(1, 6, "voice");                                             // 60, 61
  spec.items.push_back(label({MARGIN, 10, W - MARGIN, 26}, "^0"));  // 62
  return spec;
}

// Copy Measures: how many (4), whose voices (5 this voice, 6 this staff, 7 all voices), which
// annotations (9 all, 10 all but those before the first note, 11 none) and the zones (12).
DialogSpec copy_measures_dialog() {
  DialogSpec spec = dialog_with_buttons(999, "Copy Measures", 420, 250);              // 1, 2
  spec.items.push_back(label({MARGIN, 13, 240, 29}, "Number of measures to copy:"));  // 3
  spec.items.push_back(edit({250, 12, 300, 30}));                                     // 4
  spec.items.push_back(radio({MARGIN, 44, 200, 62}, "This voice"));                   // 5
  spec.items.push_back(radio({MARGIN, 66, 200, 84}, "The voices of this staff"));     // 6
  spec.items.push_back(radio({MARGIN, 88, 200, 106}, "All voices"));                  // 7
  spec.items.push_back(label({210, 44, 404, 62}, "Annotations:"));                    // 8
  spec.items.push_back(radio({210, 66, 404, 84}, "All"));                             // 9
  spec.items.push_back(radio({210, 88, 404, 106}, "All but before the first note"));  // 10
  spec.items.push_back(radio({210, 110, 404, 128}, "None"));                          // 11
  spec.items.push_back(check({MARGIN, 140, 404, 158}, "Copy the relocation zones"));  // 12
  return spec;
}

// Three choices (radio buttons 4, 5, 6) under a prompt (3), with OK and Cancel; item 7, when
// given, is a sample that chooses the first.
DialogSpec three_choices(int16_t id, const char* title, const char* prompt, const char* a,
                         const char* b, const char* c, const char* sample) {
  constexpr int W = 420, H = 190;
  DialogSpec spec = dialog_with_buttons(id, title, W, H);                                // 1, 2
  spec.items.push_back(label({MARGIN, 10, W - MARGIN, 28}, prompt));                     // 3
  spec.items.push_back(radio({MARGIN, 40, W - MARGIN, 58}, a));                          // 4
  spec.items.push_back(radio({MARGIN, 64, W - MARGIN, 82}, b));                          // 5
  spec.items.push_back(radio({MARGIN, 88, W - MARGIN, 106}, c));                         // 6
  if (sample) spec.items.push_back(label({MARGIN + 20, 110, W - MARGIN, 126}, sample));  // 7
  return spec;
}

// Align Bars: spread each system's bar lines evenly (4), or line the selected ones up with the
// bar of the rightmost selected note (5), the leftmost (6) or the rightmost bar (7).
DialogSpec align_bars_dialog() {
  constexpr int W = 400, H = 200;
  DialogSpec spec = dialog_with_buttons(1000, "Align Bars", W, H);          // 1, 2
  spec.items.push_back(label({MARGIN, 10, W - MARGIN, 28}, "Bar lines:"));  // 3
  spec.items.push_back(radio({MARGIN, 36, W - MARGIN, 54}, "Spread evenly in each system"));  // 4
  spec.items.push_back(
      radio({MARGIN, 60, W - MARGIN, 78}, "Line up with the rightmost selected note's bar"));   // 5
  spec.items.push_back(radio({MARGIN, 84, W - MARGIN, 102}, "Line up with the leftmost bar"));  // 6
  spec.items.push_back(
      radio({MARGIN, 108, W - MARGIN, 126}, "Line up with the rightmost bar"));  // 7
  return spec;
}

}  // namespace

std::vector<DialogSpec> editing_dialog_tables() {
  return {key_signature_dialog(),
          clef_dialog(),
          bar_line_dialog(),
          time_signature_dialog(),
          system_bracket_dialog(),
          beaming_rule_dialog(),
          measures_dialog(1085, "Insert Measures", "Insert measures into ^0"),
          measures_dialog(132, "New Piece", "The new piece begins with these measures:"),
          delete_measures_dialog(),
          layout_dialog(),
          options_dialog(),
          internal_fields_dialog(),
          copy_measures_dialog(),
          three_choices(17680, "Chord Drag", "A Command-drag of a note:",
                        "Moves its chord within the line (a relocation zone)",
                        "Moves its chord between its neighbours", "Moves a rest up or down",
                        "(the bar lines and the chords after it follow)"),
          align_bars_dialog(),
          three_choices(137, "Staff Drag", "A Command-drag of a staff moves:", "This staff",
                        "This staff and the staves below it",
                        "This staff and those below, in this and every later system", nullptr)};
}
