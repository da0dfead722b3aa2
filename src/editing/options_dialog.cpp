// options_dialog.cpp: the Options dialog: switches and numbers of the notation contexts'
// options records, with the program's choices of MIDI output, music font, default zoom and a
// few display flags.
//
// The dialog works on options record 0, which no context uses, as a scratch copy of the current
// context's record. Some fields are the piece's and go to every context; the others go to the
// contexts chosen first. Every number is read and checked before anything changes.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"

namespace {

constexpr int SCRATCH = 0;  // options record 0: the copy the dialog edits

constexpr int OPTIONS_DIALOG = 26609;
constexpr int THIRD_OUTPUT = 4, MIDI_SERVICE = 5, SYNTHESIZER = 6;  // devices 1, 2, 0
constexpr int PIANO_SOUND = 7, CLUSTER_REST = 8, CLUSTER_REST_LABEL = 9;
constexpr int STANDARD_FONT = 20, SONATA_FONT = 21;
constexpr int PAGE_NUMBER = 23, BAR_NUMBER = 25, NOTE_SPACING = 27, DEFAULT_ZOOM = 33;
constexpr int NO_BAR_NUMBERS_BOX = 16;    // shown on when the field is 0
constexpr uint16_t COLOUR_BITS = 0xC000;  // bits 14 and 15 of the preference word at 388

// The check boxes of the options record: the item, the field's offset, whether it goes to
// every context.
struct RecordBox {
  int item, offset;
  bool every_context;
};
constexpr RecordBox RECORD_BOXES[11] = {
    {11, 12, true},  {10, 14, true},  {12, 16, false}, {14, 38, false},
    {28, 66, false}, {15, 68, false}, {8, 72, true},   {17, 80, false},
    {13, 82, false}, {29, 84, true},  {16, 8, false},
};
// The other fields that go to the chosen contexts, and to every context.
constexpr int CHOSEN_FIELDS[3][2] = {{40, 2}, {18, 4}, {8, 2}};
constexpr int EVERY_CONTEXT_FIELDS[1][2] = {{10, 2}};

constexpr int OUTPUT_RADIOS[3] = {THIRD_OUTPUT, MIDI_SERVICE, SYNTHESIZER};
constexpr int OUTPUT_DEVICES[3] = {1, 2, 0};

bool output_usable(int device) {
  const int available = output_available.load();
  if (device == 2) return (available & 1) != 0;
  if (device == 0) return (available & 2) != 0;
  return false;  // no third output on this system
}

void show_output(DialogRef dialog, int device) {
  for (int i = 0; i < 3; ++i)
    platform_set_item_value(dialog, OUTPUT_RADIOS[i], OUTPUT_DEVICES[i] == device);
}

int32_t round_away(double x) { return int32_t(x < 0 ? x - 0.5 : x + 0.5); }

// Defaults of record 0 for a piece without voices.
void default_scratch_record() {
  std::memset(options_struct[0], 0, OPTIONS_SIZE);
  set_options_i16(SCRATCH, 8, 1);
  set_options_i16(SCRATCH, 10, 1);
  set_options_i16(SCRATCH, 40, 1);
  set_options_float(SCRATCH, OPTIONS_NOTE_SPACING, 1.0f);
}

// The numbers typed, read in order; false (the range message shown) at the first one out of
// range, with those read before it already in record 0.
bool read_numbers(DialogRef dialog, double* spacing, int* zoom_step) {
  auto refuse = [&](int item) {
    platform_select_item_text(dialog, item, 0, 32767);
    return false;
  };
  const int32_t bar = get_long_item(dialog, BAR_NUMBER, "bar number", 0, 32000);
  if (bar == BAD_LONG_ITEM) return refuse(BAR_NUMBER);
  set_options_i16(SCRATCH, 10, int16_t(bar));
  const int32_t page = get_long_item(dialog, PAGE_NUMBER, "page number", 1, 32000);
  if (page == BAD_LONG_ITEM) return refuse(PAGE_NUMBER);
  if (options_i16(SCRATCH, 40) != page) set_options_i16(SCRATCH, 40, int16_t(page));
  *spacing = get_double_item(dialog, NOTE_SPACING, "Note spacing factor", 0, 0.9, nullptr);
  if (*spacing == BAD_DOUBLE_ITEM) return refuse(NOTE_SPACING);
  set_options_float(SCRATCH, OPTIONS_NOTE_SPACING, float(1.0 - *spacing));
  const double zoom =
      get_double_item(dialog, DEFAULT_ZOOM, "default zoom factor", -16, 16, nullptr);
  if (zoom == BAD_DOUBLE_ITEM) return refuse(DEFAULT_ZOOM);
  // -16 and 16 stand for the step of the zoom commands, else the step is twice the value; the
  // preference holds steps -32 to 31.
  const int commands_step = std::abs(int(default_scale.step));
  const int step = zoom <= -16 ? -commands_step : zoom >= 16 ? commands_step : round_away(2 * zoom);
  *zoom_step = std::clamp(step, -32, 31);
  return true;
}

}  // namespace

int options_dialog() {
  save_cursor();
  set_cursor(CURSOR_ID_ARROW);
  const int context = current_ncontext > 0 ? current_ncontext : 1;
  uint8_t chosen[MAX_NCONTEXTS + 1] = {};
  const bool voices = voice_count > 0;
  if (voices) {
    if (!choose_contexts_dialog("Change Options for Which Notation Contexts?", nullptr, chosen)) {
      restore_cursor();
      return 0;
    }
    std::memcpy(options_struct[0], options_struct[context], OPTIONS_SIZE);
  } else {
    default_scratch_record();
  }
  DialogRef dialog = platform_open_dialog(OPTIONS_DIALOG, true);
  if (!dialog) {
    restore_cursor();
    REPORT_ERROR(4, "Dialog %d cannot be opened", OPTIONS_DIALOG);
    return 0;
  }
  // The output radios show the device in use; those the system has can be chosen.
  const int16_t opened_device = prefs.i16(PREFS_MIDI_OUTPUT_DEVICE);
  int device = opened_device;
  for (int i = 0; i < 3; ++i)
    enable_item(dialog, OUTPUT_RADIOS[i], output_usable(OUTPUT_DEVICES[i]));
  show_output(dialog, device);
  const bool sonata = prefs.use_sonata_font() == 1;
  platform_set_item_value(dialog, SONATA_FONT, sonata);
  platform_set_item_value(dialog, STANDARD_FONT, !sonata);
  enable_item(dialog, SONATA_FONT, music_font_numbers[FONT_SLOT_SONATA] != 0);
  platform_set_item_value(dialog, PIANO_SOUND, prefs.u8(PREFS_ECHO_MIDI_INPUT) != 0);
  for (const RecordBox& b : RECORD_BOXES) {
    const bool on = options_i16(SCRATCH, b.offset) != 0;
    platform_set_item_value(dialog, b.item, b.item == NO_BAR_NUMBERS_BOX ? !on : on);
  }
  platform_set_item_value(dialog, 30, prefs.i16(PREFS_ASK_SAVE_CONTEXT) != 0);
  platform_set_item_value(dialog, 18, (prefs.u16(PREFS_COLOUR_FLAGS) & 0x8000) != 0);
  platform_set_item_value(dialog, 31, prefs.u8(PREFS_TEXT_ENTRY_OPTION) != 0);
  set_long_item(dialog, BAR_NUMBER, options_i16(SCRATCH, 10));
  set_long_item(dialog, PAGE_NUMBER, options_i16(SCRATCH, 40));
  set_double_item(dialog, NOTE_SPACING, 1.0 - double(options_float(SCRATCH, OPTIONS_NOTE_SPACING)));
  set_double_item(dialog, DEFAULT_ZOOM, prefs.zoom_step() * 0.5);
  platform_select_item_text(dialog, BAR_NUMBER, 0, 32767);
  draw_dialog_frame(dialog, nullptr, nullptr);

  double spacing = 0;
  int zoom_step = 0;
  for (;;) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == 2) {
      close_dialog_in_front(dialog);
      return 0;
    }
    if (item == 1) {
      if (read_numbers(dialog, &spacing, &zoom_step)) break;
      continue;
    }
    if ((item >= 7 && item <= 18 && item != CLUSTER_REST_LABEL) || (item >= 28 && item <= 31)) {
      platform_set_item_value(dialog, item, !platform_item_value(dialog, item));
    } else if (item == CLUSTER_REST_LABEL) {
      platform_set_item_value(dialog, CLUSTER_REST, !platform_item_value(dialog, CLUSTER_REST));
    } else if (item == THIRD_OUTPUT || item == MIDI_SERVICE || item == SYNTHESIZER) {
      for (int i = 0; i < 3; ++i)
        if (OUTPUT_RADIOS[i] == item && output_usable(OUTPUT_DEVICES[i]))
          device = OUTPUT_DEVICES[i];
      show_output(dialog, device);
    } else if (item == STANDARD_FONT || item == SONATA_FONT) {
      platform_set_item_value(dialog, STANDARD_FONT, item == STANDARD_FONT);
      platform_set_item_value(dialog, SONATA_FONT, item == SONATA_FONT);
    }
  }

  // Every number is good: the program's choices, then the records.
  if (zoom_step != prefs.zoom_step()) {
    set_scale_factor(&default_scale, zoom_step);
    prefs.set_zoom_step(zoom_step);
  }
  param[P_EFFECT_OF_DURATION_ON_NOTE_SPACING].value.set_real(float(spacing));
  const int16_t font = platform_item_value(dialog, SONATA_FONT) ? 1 : 0;
  if (font != prefs.use_sonata_font()) {
    prefs.set_use_sonata_font(font);
    param_init();
  }
  if (device != opened_device) prefs.set_i16(PREFS_MIDI_OUTPUT_DEVICE, int16_t(device));
  prefs.set_u8(PREFS_ECHO_MIDI_INPUT, uint8_t(platform_item_value(dialog, PIANO_SOUND)));
  for (const RecordBox& b : RECORD_BOXES) {
    const bool on = platform_item_value(dialog, b.item) != 0;
    set_options_i16(SCRATCH, b.offset, int16_t(b.item == NO_BAR_NUMBERS_BOX ? !on : on));
  }
  prefs.set_i16(PREFS_ASK_SAVE_CONTEXT, int16_t(platform_item_value(dialog, 30)));
  const uint16_t colours = prefs.u16(PREFS_COLOUR_FLAGS);
  prefs.set_u16(
      PREFS_COLOUR_FLAGS,
      uint16_t(platform_item_value(dialog, 18) ? colours | COLOUR_BITS : colours & ~COLOUR_BITS));
  prefs.set_u8(PREFS_TEXT_ENTRY_OPTION, uint8_t(platform_item_value(dialog, 31)));
  if (voices) {
    for (int c = 1; c <= ncontext_count; ++c) {
      auto copy = [&](int offset, int bytes) {
        std::memcpy(options_struct[c] + offset, options_struct[0] + offset, size_t(bytes));
      };
      for (const auto& f : EVERY_CONTEXT_FIELDS) copy(f[0], f[1]);
      for (const RecordBox& b : RECORD_BOXES)
        if (b.every_context || chosen[c]) copy(b.offset, 2);
      if (chosen[c])
        for (const auto& f : CHOSEN_FIELDS) copy(f[0], f[1]);
    }
  }
  close_dialog_in_front(dialog);
  place_piano_window();
  return 1;
}
