// startup.cpp: start-up in its fixed order. The order matters where a step reads what an
// earlier one made: the console comes first so that it shows all later output, the font check
// reads the preferences' Sonata choice, and the menus read the preferences' shortcut tables and
// the MIDI devices the MIDI set-up found.
//
// The records the program keeps for voices, staves, contexts, options, page setups, views,
// ties and parameters are static storage of their subsystems, zeroed when the program loads;
// only the node store's first block is allocated here, and its failure ends the program.
#include "app/startup.h"

#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <thread>

#include "app/app_globals.h"
#include "app/command_line.h"
#include "app/cursors.h"
#include "app/menus.h"
#include "app/music_window.h"
#include "app/prefs.h"
#include "console/console_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/application.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/synth.h"
#include "platform/window.h"

void report_missing_fonts() {
  const bool quor = music_font_numbers[FONT_SLOT_QUOR] != 0;
  const bool sayl = music_font_numbers[FONT_SLOT_SAYL] != 0;
  const bool times = music_font_numbers[FONT_SLOT_TIMES] != 0;
  const bool symbol = music_font_numbers[FONT_SLOT_SYMBOL] != 0;
  if (!quor || !sayl)
    REPORT_ERROR(2, "Vesk's %s not installed in your system!",
                 !quor && !sayl ? "Quor and Sayl fonts are"
                 : !quor        ? "Quor font is"
                                : "Sayl font is");
  if (!times && !symbol) {
    char fonts[64];
    std::snprintf(fonts, sizeof fonts, "%s and Symbol fonts", "Times");
    REPORT_ERROR(2, "You must install the %s!", fonts);
  } else if (!times) {
    char fonts[64];
    std::snprintf(fonts, sizeof fonts, "%s font", "Times");
    REPORT_ERROR(2, "You must install the %s!", fonts);
  } else if (!symbol) {
    REPORT_ERROR(2, "You must install the %s!", "Symbol font");
  }
  if (!music_font_numbers[FONT_SLOT_SONATA] && prefs.use_sonata_font() == 1) {
    REPORT_ERROR(2, "%s", "Vesk will not use the Sonata font because it is not installed!");
    prefs.set_use_sonata_font(0);
  }
}

void check_part_name_phrases() {
  const char* numbered_short = debug_hook("UnnamedPart%hd");
  const char* numbered = debug_hook("UnnamedPart%d");
  const char* plain = debug_hook("UnnamedPart");
  const int a = int(std::strlen(numbered_short)), b = int(std::strlen(numbered)),
            c = int(std::strlen(plain));
  if (a > 15 || b > 14 || c > 13)
    REPORT_ERROR(4,
                 "Please report this error to the Vesk consultant:\nTranslation of the phrase "
                 "'UnnamedPart' has too many characters in foreign language (%d)! %d %d %d\n'%s'",
                 0, a, b, c, plain);
}

namespace {

void make_console() {
  console_ref = console_create(nullptr, "Vesk Console", "", 0x01120290);
  if (console_ref && console_ref->alive != 1) {
    console_dispose_and_free(console_ref);
    console_ref = nullptr;
  }
  if (!console_ref) {
    REPORT_ERROR(4, "Vesk Carbon Console creation error.");
  } else {
    main_thread_id = std::this_thread::get_id();
    console_banner(console_ref, nullptr, nullptr);
    console_keep_on_screen(console_ref);
  }
}

}  // namespace

void start_up(int argc, char** argv) {
  platform_start(argc, argv);
  // An option the program does not know ends it before any window opens (the window system
  // has taken its own options out of argv).
  if (report_unknown_option(argc, argv, stderr)) platform_exit(2);
  // The synthesizer is made on a thread of its own while the windows are made; the MIDI
  // set-up of step 14 takes what it became. Started only to print, the program quits before
  // it could sound a note: it makes none.
  const bool only_printing = platform_command_line_only_prints(argc, argv);
  if (!only_printing) platform_synth_start();
  // The console and the windows use fonts at once; started only to print, the program makes
  // no use of them before step 10, and their configuration is read meanwhile.
  if (!only_printing) platform_wait_font_configuration();
  // Started only to print, the program has nothing to show: its windows are never put on the
  // screen (what goes wrong is still said in alerts).
  platform_keep_windows_off_screen(only_printing);
  // 1. The console, which shows everything the program writes from now on.
  //    Hidden until text arrives, floating, without input; a console that could not be made
  //    whole shows nothing, and the program goes on without it. Started only to print there
  //    is none: what the program writes goes to its own standard output and error.
  if (!only_printing) make_console();
  // 2. The cursor: the watch while the program comes up.
  set_cursor(CURSOR_ID_ARROW);
  set_cursor(CURSOR_ID_WATCH);
  platform_flush_events(EVERY_EVENT);
  // 3. The frame's globals.
  current_view_index = -1;
  MODE = MUSIC_MODE;
  keyboard_shift = 0;
  zoom_factor = 10.0f;
  offscreen_page = nullptr;
  // 4. SIGTERM and SIGINT become quit events, handled by the main loop (never in the middle
  //    of a save).
  platform_catch_quit_signals();
  // 5. The screen the windows are placed on.
  screen_device = platform_screen_bounds();
  // 6. No files yet; the node store.
  piece_fsspec.clear();
  import_fsspec.clear();
  connect_subsystems();
  VeskMemory_Init();
  // 8. No views; the preferences, and the rulers they ask for.
  clear_view_array();
  init_version_and_prefs();
  invalidate_music_area(0);
  // 9. No undo history, fonts or music window yet.
  for (int32_t& font : music_font_numbers) font = 0;
  music_window_port = nullptr;
  // 10, 11. The fonts.
  platform_init_fonts();
  find_music_fonts();
  report_missing_fonts();
  // 12, 13. The parameter table and the glyphs it chooses.
  param_init();
  init_glyph_tables();
  // 14. MIDI output: the MIDI service, else the synthesizer. Started only to print, the program
  //     opens neither (it quits before it could play, and no sequencer client of its own comes
  //     and goes): the output chosen before stays chosen.
  midi_out_available = 0;
  if (!only_printing) {
    const bool synthesizer = qt_open_note_channels();  // ALSA's own set-up first
    if (midi_setup() == 0) midi_out_available |= MIDI_OUT_SERVICE;
    if (synthesizer) midi_out_available |= MIDI_OUT_SYNTH;
  }
  if (midi_out_available & MIDI_OUT_SERVICE)
    prefs.set_i16(PREFS_MIDI_OUTPUT_DEVICE, 2);
  else if (midi_out_available & MIDI_OUT_SYNTH)
    prefs.set_i16(PREFS_MIDI_OUTPUT_DEVICE, 0);
  // 15. Playback, the piano window (none when only printing: it shows nothing) and the menus
  //     (the printing session is made when first printing). Started only to print, the program
  //     plays nothing: the play timer's thread is not started.
  piano_idle(0);
  if (!only_printing) install_play_timer();
  stop_playing(1);
  if (!only_printing) create_piano_window();
  build_menus();
  // 16. The part-name phrases fit a part name.
  check_part_name_phrases();
  // 17. The documents of the command line, as open and print events.
  platform_post_command_line_events(argc, argv);
  // 18. The main loop takes over.
  quiet_convert_flag = 0;
  start_up_done = 1;
}
