// playback_dialogs.cpp: the dialog tables of playback: Hear, Tuning, Dynamic Levels, Default
// Playback, Recompute Playback, the MIDI channel of a voice and the spelling of entered notes;
// and of note entry: the piano window's items, the tuplet and grace-note dialogs of its palette
// and the dialog that gives a computer key to a point of the piano window.
// The program addresses their items by number; the numbers are the comments' at each item.
#include <initializer_list>
#include <vector>

#include "platform/dialog_table_items.h"

namespace {

DialogSpec hear_dialog() {
  DialogSpec spec = dialog_with_buttons(9384, "Hear", 420, 300);
  spec.items.push_back(label({16, 12, 240, 28}, "^0 these parts:"));              // 3
  spec.items.push_back(user({16, 32, 240, 220}));                                 // 4
  spec.items.push_back(button({252, 32, 330, 52}, "All"));                        // 5
  spec.items.push_back(button({252, 60, 330, 80}, "None"));                       // 6
  spec.items.push_back(label({16, 232, 196, 250}, "Tempo, percent of normal:"));  // 7
  spec.items.push_back(edit({200, 230, 250, 250}));                               // 8
  spec.items.push_back(check({252, 100, 404, 120}, "Ignore repeats"));            // 9
  return spec;
}

DialogSpec tuning_dialog() {
  constexpr int LEFT = 48, COLUMN = 80, ROW = 26, TOP = 56;
  DialogSpec spec = dialog_with_buttons(20202, "Tuning", LEFT + 5 * COLUMN + 16, 300);
  spec.items.push_back(label({16, 10, 384, 26}, "Offset of each note in cents:"));  // 3
  spec.items.push_back(label({0, 0, 0, 0}, ""));                                    // 4
  spec.items.push_back(label({0, 0, 0, 0}, ""));                                    // 5
  static const char* const steps[7] = {"C", "D", "E", "F", "G", "A", "B"};
  for (int s = 0; s < 7; ++s) {
    const int top = TOP + s * ROW;
    for (int a = 0; a < 5; ++a)  // 6 + 6s .. 10 + 6s
      spec.items.push_back(edit({LEFT + a * COLUMN, top, LEFT + a * COLUMN + 62, top + 20}));
    spec.items.push_back(label({16, top + 2, 44, top + 20}, steps[s]));  // 11 + 6s
  }
  static const char* const accidentals[5] = {"double flat", "flat", "natural", "sharp",
                                             "double sharp"};
  for (int a = 0; a < 5; ++a)  // 48 .. 52
    spec.items.push_back(
        label({LEFT + a * COLUMN, 34, LEFT + a * COLUMN + COLUMN - 2, 50}, accidentals[a]));
  return spec;
}

DialogSpec volume_dialog() {
  DialogSpec spec = dialog_with_buttons(21178, "Dynamic Levels", 360, 380);
  spec.items.push_back(label({16, 10, 344, 26}, "Volume of each dynamic level, in percent:"));  // 3
  for (int i = 0; i < 10; ++i) {  // 4 .. 13
    const int top = 34 + i * 26;
    spec.items.push_back(edit({40, top, 100, top + 20}));
  }
  spec.items.push_back(user({100, 34, 200, 34 + 10 * 26}));                        // 14
  spec.items.push_back(check({16, 304, 344, 322}, "Every note at the mf level"));  // 15
  return spec;
}

DialogSpec lengths_dialog() {
  constexpr int FIELD = 300;
  DialogSpec spec = dialog_with_buttons(7273, "Default Playback", 420, 420);
  auto row = [](int i) { return 34 + i * 24; };
  spec.items.push_back(
      label({16, 10, 404, 26}, "Sounding length, percent of the written length:"));  // 3
  spec.items.push_back(label({32, row(0), 290, row(0) + 18}, "Staccato notes"));     // 4
  spec.items.push_back(label({32, row(1), 290, row(1) + 18}, "Tenuto notes"));       // 5
  spec.items.push_back(label({32, row(2), 290, row(2) + 18}, "Other notes"));        // 6
  spec.items.push_back(label({32, row(3), 290, row(3) + 18}, "Slurred notes"));      // 7
  for (int i = 0; i < 4; ++i)                                                        // 8 .. 11
    spec.items.push_back(edit({FIELD, row(i) - 2, FIELD + 50, row(i) + 18}));
  spec.items.push_back(
      check({32, row(4), 404, row(4) + 18}, "Every note sounds its written length"));          // 12
  spec.items.push_back(radio({32, row(5), 228, row(5) + 18}, "Grace notes before the beat"));  // 13
  spec.items.push_back(radio({232, row(5), 404, row(5) + 18}, "Grace notes on the beat"));     // 14
  spec.items.push_back(
      label({32, row(6), 290, row(6) + 18}, "Grace notes, percent of a sixteenth"));  // 15
  spec.items.push_back(edit({FIELD, row(6) - 2, FIELD + 50, row(6) + 18}));           // 16
  spec.items.push_back(
      label({16, row(7) + 6, 404, row(7) + 22}, "Steps of Modify Playback:"));  // 17
  spec.items.push_back(
      label({32, row(8) + 6, 290, row(8) + 24}, "Softer, Louder (percent)"));  // 18
  spec.items.push_back(
      label({32, row(9) + 6, 290, row(9) + 24}, "Shorter, Longer (percent)"));                 // 19
  spec.items.push_back(label({32, row(10) + 6, 290, row(10) + 24}, "Lower, Higher (cents)"));  // 20
  spec.items.push_back(label({32, row(11) + 6, 290, row(11) + 24},
                             "Earlier, Later (percent of a sixteenth)"));  // 21
  for (int i = 8; i <= 11; ++i)                                            // 22 .. 25
    spec.items.push_back(edit({FIELD, row(i) + 4, FIELD + 50, row(i) + 24}));
  return spec;
}

DialogSpec recompute_dialog() {
  DialogSpec spec = dialog_with_buttons(129, "Recompute Playback", 380, 200);
  spec.items.push_back(
      label({16, 10, 364, 26}, "Recompute the playback of the selected notes:"));      // 3
  spec.items.push_back(check({32, 34, 364, 52}, "Start times and sounding lengths"));  // 4
  spec.items.push_back(check({32, 56, 364, 74}, "Volumes"));                           // 5
  spec.items.push_back(check({32, 78, 364, 96}, "Pitches"));                           // 6
  spec.items.push_back(radio({48, 104, 364, 122}, "Later notes move"));                // 7
  spec.items.push_back(radio({48, 126, 364, 144}, "Keep the length of the passage"));  // 8
  return spec;
}

DialogSpec midi_channel_dialog() {
  DialogSpec spec = dialog_with_buttons(131, "Voice on Channel", 440, 230);
  spec.items.push_back(label({16, 10, 424, 26}, "How ^0 is played:"));                         // 3
  spec.items.push_back(label({16, 38, 120, 56}, "MIDI channel:"));                             // 4
  spec.items.push_back(edit({124, 36, 164, 56}));                                              // 5
  spec.items.push_back(radio({32, 66, 424, 84}, "One channel"));                               // 6
  spec.items.push_back(radio({32, 88, 424, 106}, "Microtones in a system-exclusive stream"));  // 7
  spec.items.push_back(
      radio({32, 110, 424, 128}, "Microtones by pitch bend, over several channels"));  // 8
  spec.items.push_back(label({0, 0, 0, 0}, ""));                                       // 9
  spec.items.push_back(label({48, 134, 190, 152}, "Number of channels:"));             // 10
  spec.items.push_back(edit({194, 132, 234, 152}));                                    // 11
  spec.items.push_back(label({240, 134, 424, 152}, ""));                               // 12
  spec.items.push_back(label({0, 0, 0, 0}, ""));                                       // 13
  spec.items.push_back(radio({32, 160, 424, 178}, "Silent"));                          // 14
  return spec;
}

DialogSpec spelling_dialog() {
  constexpr int LEFT = 20, COLUMN = 34, TOP = 40, HEIGHT = 110;
  DialogSpec spec = dialog_with_buttons(23407, "Default Accidentals", 460, 220);
  spec.items.push_back(
      label({16, 10, 444, 26}, "Click a note to choose how notes of its pitch are spelled:"));  // 3
  for (int pc = 0; pc < 12; ++pc)  // 4 .. 15
    spec.items.push_back(user({LEFT + pc * COLUMN, TOP, LEFT + (pc + 1) * COLUMN, TOP + HEIGHT}));
  spec.items.push_back(user({LEFT, TOP, LEFT + 12 * COLUMN, TOP + HEIGHT}));  // 16
  return spec;
}

// The piano window is a floating window of its own, not a dialog: its table only gives the
// places of its items, in pixels of the window (503 wide; 60 high, 100 with the special
// accidentals). The strip left of the keyboard holds the annotation palette's mode icons.
DialogSpec piano_window_items() {
  DialogSpec spec{4460, ALERT_NONE, "Piano", {0, 0, 503, 100}, {}, 0, 0};
  spec.items.push_back(user({0, 0, 0, 0}));        // 1
  spec.items.push_back(user({0, 0, 0, 0}));        // 2
  spec.items.push_back(user({0, 0, 17, 15}));      // 3 the text-mode icon
  spec.items.push_back(user({0, 15, 17, 30}));     // 4 the line-mode icon
  spec.items.push_back(user({18, 0, 505, 31}));    // 5 the keyboard with its rest key
  spec.items.push_back(user({0, 45, 17, 60}));     // 6 the music-mode icon
  spec.items.push_back(user({0, 62, 14, 80}));     // 7 special accidentals: shown
  spec.items.push_back(user({0, 82, 14, 100}));    // 8 special accidentals: applied
  spec.items.push_back(user({418, 63, 500, 98}));  // 9 the special-accidental group chosen
  spec.items.push_back(user({0, 30, 17, 45}));     // 10 the curve-mode icon
  return spec;
}

DialogSpec tuplet_dialog() {
  DialogSpec spec = dialog_with_buttons(29349, "Tuplet", 320, 190);
  spec.items.push_back(label({16, 12, 304, 30}, "Notes entered as tuplets:"));    // 3
  spec.items.push_back(edit({32, 40, 72, 60}));                                   // 4
  spec.items.push_back(edit({160, 40, 200, 60}));                                 // 5
  spec.items.push_back(label({80, 42, 156, 60}, "in the time of"));               // 6
  spec.items.push_back(check({16, 76, 304, 94}, "Nested in a further tuplet:"));  // 7
  spec.items.push_back(edit({32, 104, 72, 124}));                                 // 8
  spec.items.push_back(edit({160, 104, 200, 124}));                               // 9
  spec.items.push_back(label({80, 106, 156, 124}, "in the time of"));             // 10
  return spec;
}

DialogSpec grace_dialog() {
  DialogSpec spec = dialog_with_buttons(29350, "Grace Notes", 320, 130);
  spec.items.push_back(label({16, 12, 304, 30}, "Grace notes entered:"));    // 3
  spec.items.push_back(radio({32, 36, 304, 54}, "Before their main note"));  // 4
  spec.items.push_back(radio({32, 58, 304, 76}, "After their main note"));   // 5
  return spec;
}

DialogSpec key_equivalent_dialog() {
  DialogSpec spec = dialog_with_buttons(136, "Computer Key", 340, 120);
  spec.items.push_back(edit({270, 28, 310, 48}));  // 3
  spec.items.push_back(
      label({16, 12, 262, 64}, "Type the computer key that plays this point of the piano window:"));
  return spec;
}

// The items both recording dialogs share: the beat and its pictures (18..21), the subdivision,
// triplets, start with first note, tap beats, cluster rest, kept durations and velocity.
void record_common_items(DialogSpec* spec) {
  auto& it = spec->items;
  it.push_back(label({16, 12, 96, 28}, "Beat:"));                      // 3
  it.push_back(label({0, 0, 0, 0}, ""));                               // 4
  it.push_back(button({200, 10, 290, 30}, "Next Beat"));               // 5
  it.push_back(label({16, 40, 120, 56}, "Shortest value:"));           // 6
  it.push_back(button({200, 38, 290, 58}, "Next Value"));              // 7
  it.push_back(check({16, 66, 190, 84}, "Triplets"));                  // 8
  it.push_back(check({200, 66, 390, 84}, "Triplet pairs"));            // 9
  it.push_back(check({16, 92, 190, 110}, "Start with first note"));    // 10
  it.push_back(check({200, 92, 390, 110}, "Tap beats"));               // 11
  it.push_back(check({16, 118, 36, 136}, ""));                         // 12
  it.push_back(label({38, 118, 190, 136}, "Cluster makes a rest"));    // 13
  it.push_back(check({200, 118, 220, 136}, ""));                       // 14
  it.push_back(label({222, 118, 390, 136}, "Keep played durations"));  // 15
  it.push_back(check({16, 144, 36, 162}, ""));                         // 16
  it.push_back(label({38, 144, 190, 162}, "Volume from velocity"));    // 17
  it.push_back(user({100, 6, 196, 32}));                               // 18
  it.push_back(user({124, 34, 196, 60}));                              // 19
  it.push_back(user({16, 164, 190, 194}));                             // 20
  it.push_back(user({200, 164, 390, 194}));                            // 21
}

DialogSpec record_dialog() {
  DialogSpec spec = dialog_with_buttons(27029, "Record", 420, 340, "Done");
  record_common_items(&spec);
  auto& it = spec.items;
  it.push_back(check({16, 196, 190, 214}, "Silent metronome"));  // 22
  it.push_back(edit({300, 196, 350, 214}));                      // 23
  it.push_back(check({16, 222, 36, 240}, ""));                   // 24
  it.push_back(label({38, 222, 190, 240}, "Play along"));        // 25
  it.push_back(check({200, 222, 220, 240}, ""));                 // 26
  it.push_back(label({222, 222, 390, 240}, "MIDI monitor"));     // 27
  // The MIDI monitor's two lines stand last, above the buttons: empty while it is off.
  it.push_back(user({10, 274, 418, 304}));                       // 28
  it.push_back(label({200, 196, 296, 214}, "Beats a minute:"));  // 29
  it.push_back(label({16, 250, 110, 266}, "Click channel:"));    // 30
  it.push_back(edit({112, 248, 150, 266}));                      // 31
  it.push_back(label({160, 250, 230, 266}, "Click key:"));       // 32
  it.push_back(edit({232, 248, 270, 266}));                      // 33
  return spec;
}

DialogSpec import_midi_dialog() {
  DialogSpec spec = dialog_with_buttons(134, "Import MIDI", 420, 300);
  record_common_items(&spec);
  auto& it = spec.items;
  it.push_back(label({0, 0, 0, 0}, ""));                       // 22
  it.push_back(label({16, 198, 150, 214}, "First channel:"));  // 23
  it.push_back(edit({152, 196, 190, 214}));                    // 24
  it.push_back(label({200, 198, 340, 214}, "Last channel:"));  // 25
  it.push_back(edit({342, 196, 380, 214}));                    // 26
  it.push_back(label({0, 0, 0, 0}, ""));                       // 27
  it.push_back(label({16, 224, 150, 240}, "Lowest key:"));     // 28
  it.push_back(edit({152, 222, 190, 240}));                    // 29
  it.push_back(label({200, 224, 340, 240}, "Highest key:"));   // 30
  it.push_back(edit({342, 222, 380, 240}));                    // 31
  it.push_back(label({16, 250, 150, 266}, "Track:"));          // 32
  it.push_back(edit({152, 248, 190, 266}));                    // 33
  return spec;
}

}  // namespace

std::vector<DialogSpec> playback_dialog_tables() {
  return {hear_dialog(),       tuning_dialog(),       volume_dialog(),         lengths_dialog(),
          recompute_dialog(),  midi_channel_dialog(), spelling_dialog(),       piano_window_items(),
          tuplet_dialog(),     grace_dialog(),        key_equivalent_dialog(), record_dialog(),
          import_midi_dialog()};
}
