// app_services.h: what the other subsystems may call of the application frame: cursors, the
// preferences, the file dialogs, the music window, the main loop's services, the menu
// commands, start-up and quitting, and the frame's program-wide state.
// Other folders include this header and no other header of app/.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

#include "editing/editing_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/geometry.h"
#include "platform/menus.h"
#include "platform/port.h"

// ==== app_hooks.cpp ==============================================================================

// connect_subsystems: every subsystem built on the model, the parameters and the layout engine
// registers the hooks through which those call it (register_ge_hooks and the others), and the
// frame its own (the cursor, the window title, the poll of a format). Every start-up path runs
// it before the node store is made: start_up, the tests and the benchmarks.
void connect_subsystems();

// ==== app_globals.cpp ============================================================================
// The program-wide state of the application frame.

struct console_record;
struct Control;

// Editing modes of the music window.
enum Mode : int16_t { MUSIC_MODE = 0, TEXT_MODE = 1, LINE_MODE = 2, CURVE_MODE = 3 };
extern int16_t MODE;  // the music window's editing mode

extern int32_t current_cursor_id;  // the id last passed to set_cursor

extern char version_string[17];     // the program's version, "%3.2f"
extern const char* version_suffix;  // the release suffix shown after the version

// Set while documents are opened to be printed: the piece reader then asks none of its
// conversion questions (converting as if answered Yes) and shows no Page Setup notice.
extern int16_t quiet_convert_flag;

// Window number of the floating palette dialog; 0 while it is not open.
extern int palette_window;

// ---- Start-up ----------------------------------------------------------------------------

// The console window's record, or nullptr when creating it failed.
extern console_record* console_ref;
// The main thread's identity; no thread (the default id) until start-up stores it.
extern std::thread::id main_thread_id;
extern int16_t keyboard_shift;  // semitones the computer-key piano is shifted by
// What the MIDI set-up found usable (bits): output through the MIDI service, the synthesizer.
inline constexpr int MIDI_OUT_SERVICE = 1, MIDI_OUT_SYNTH = 2;
extern int midi_out_available;

// ---- The main loop ------------------------------------------------------------------------

extern int32_t note_entry_active;  // 1 after a double click in the music area, 0 after a single
extern uint32_t menu_modifiers;    // Shift and Option held when the menu bar was clicked

// ---- Page navigation ------------------------------------------------------------------------

extern int32_t pending_goto_bar;  // the bar the note-entry keys ask to go to (Page item 55)

// ---- The menus ------------------------------------------------------------------------------

// The menu state's flags read elsewhere: whether the front window may be closed and whether
// Delete may clear the selected notes; the others say which moves of the selection are
// enabled; the last two are only cleared.
struct ItemEnabledFlags {
  int32_t close = 1;  // File > Close (before the first menu pass: allowed)
  int32_t clear_note = 0;
  int32_t previous_voice = 0, next_voice = 0;  // Voice > Previous / Next Part or Voice
  int32_t previous_note = 0, next_note = 0;    // Note > Previous / Next Note
  int32_t previous_anno = 0, next_anno = 0;    // Annotation > Previous / Next Annotation
  int32_t spare[2] = {};
};
extern ItemEnabledFlags item_enabled_flags;
extern int32_t size_menu_sizes[10];     // the point sizes of the Size menu
extern int32_t duration_edits_enabled;  // Edit > Enable Duration Edits
extern int32_t voice_highlighted;       // Voice > Highlight Voice

// ---- The music window ---------------------------------------------------------------------

void reset_app_globals();

// ==== cursors.cpp ================================================================================
// The mouse cursor by id, the cursor while a dialog stands in front, and the modifier keys as the
// program asks for them. (adjust_cursor, which picks a cursor for the mouse's place, is the main
// loop's.)

// (The cursor ids the model shows, CURSOR_ID_ARROW and the others, are in model_services.h.)

// Shows the cursor of that id (-10 arrow, 1 I-beam, 4 watch, 17380 the program's own); any
// other id changes nothing on the screen. The id becomes current_cursor_id either way.
void set_cursor(int32_t id);

// Puts the current id aside and clears it, so that any following set_cursor takes effect.
void save_cursor();

// set_cursor with the id put aside.
void restore_cursor();

// open_dialog_in_front: opens the dialog of that number in front of every window, the cursor
// put aside (save_cursor) and the arrow shown; close it with close_dialog_in_front.
// Failure: nullptr, the cursor restored, after REPORT_ERROR level 4 "Dialog %d cannot be opened".
DialogRef open_dialog_in_front(int id);
// close_dialog_in_front: closes such a dialog and restores the cursor put aside.
void close_dialog_in_front(DialogRef dialog);

// DialogRun: a modal dialog for the length of a scope. Made, it puts the cursor aside
// (save_cursor), shows `cursor`, opens the dialog of number id shown and draws in its port; at
// the end of the scope it closes the dialog, draws in the port of before and restores the cursor.
// Writes: current_cursor_id, the current port.
// Failure: dialog stays nullptr after REPORT_ERROR level 4 "Dialog %d cannot be opened"; the
//          port and the cursor are still restored at the end of the scope.
class DialogRun {
 public:
  DialogRun(int id, int32_t cursor);
  ~DialogRun();
  DialogRun(const DialogRun&) = delete;
  DialogRun& operator=(const DialogRun&) = delete;
  // The next item hit, the filter taking events first (dialog_key_filter when null).
  int next_item(ModalFilter filter = nullptr);

  DialogRef dialog = nullptr;

 private:
  Port* saved_port_ = nullptr;
};

// Non-zero when either Shift key is held at the moment of the call.
int debug_modifier_down();

// Non-zero when Shift or Option is held.
int shift_or_option_down();

// ==== event_loop.cpp =============================================================================
// The main loop, the dispatch of every event to the windows and commands, the window updates and
// activation, reformatting a page an edit left out of date, group selections, and the modifier-key
// and double-click tests.

// ---- The main loop -------------------------------------------------------------------------

// One pass: idle time to playback, flashing, text editing, the cursor and the piano window;
// at most one event dispatched; the ruler marks; the menus; a pending reformat, or else a
// wait of 6 ticks for the next event when the pass did nothing; a deferred quit.
// Reads:  reformat_pending, first_format, deferred_quit, the event queue, insertion_point,
//         MODE, recording_active. Writes: what the handlers write; the cursor.
void main_event_pass();

// handle_event: dispatches one event by its kind; always 0.
int handle_event(EventRecord* event);

// update_window: redraws the current music window: the page from the page image, the rulers,
// the scroll bars and the grow box.
void update_window();
// activate_window: shows the current music window in front and activates it, then puts the
// palette (and the dialog, when given) in front of it.
void activate_window(DialogRef dialog);

// reformat_and_update: redraws the window and formats the page; 1 when the page was formatted
// to its end, 0 when input interrupted it (the reformat stays pending).
// Writes: everything format_page writes, page_graphics_stale, the piano window's key spelling.
int reformat_and_update(int32_t page, int keep);
// reformat_with_flag: the same without looking at input: the page is always formatted.
int reformat_with_flag(int32_t page, int keep);

// begin_group_selection: starts a group selection: the insertion point and text editing end,
// the note template's marks are cleared, the window retitled.
void begin_group_selection();
// end_group_selection: ends it: the template is reset, the selected marks cleared, the page
// redrawn; with flag set the palette is redrawn too.
void end_group_selection(int flag);

// ---- Modifier keys and double clicks -------------------------------------------------------

// is_double_click_at: within the double-click time of the last mouse-up and 5 pixels
// (|dh| + |dv|) of it.
int is_double_click_at(Point where, uint32_t when);
// is_double_keystroke: the same character's key went up within the double-click time.
int is_double_keystroke(int character, uint32_t when);

// The page point (layout units, y upward) under a point of the music window.
PagePoint window_to_page_point(Point where);

// ==== file_commands.cpp ==========================================================================
// The File menu's commands (New, Open, Close, the saves, Revert, Layout, the print commands and
// Quit) and opening a piece in a window of its own.

// Items of the File menu, counted with its separators; Quit is not shown in the menu.
enum FileCommand {
  FILE_COMMAND_NEW = 1,
  FILE_COMMAND_OPEN = 2,
  FILE_COMMAND_CLOSE = 4,
  FILE_COMMAND_SAVE = 6,
  FILE_COMMAND_SAVE_AS = 7,
  FILE_COMMAND_SAVE_PUBLISHED = 8,
  FILE_COMMAND_REVERT = 10,
  FILE_COMMAND_LAYOUT = 12,
  FILE_COMMAND_PRINT_SETUP = 13,
  FILE_COMMAND_PRINT = 14,
  FILE_COMMAND_PRINT_MULTIPLE = 15,
  FILE_COMMAND_QUIT = 17,
};

// file_menu: runs a File command after file_preamble. 1 when the command was carried out; 0
// when the user cancelled it, it was refused or failed (each after its own message), or the
// item is not a command.
// Reads:  the current view and its piece, menu_modifiers (through the dialogs),
//         recording_active, reformat_pending. Writes: the views, piece_fsspec, the piece file,
//         DrosaDirty, deferred_quit; Quit may end the program.
// Failure: level 4 "Item %hd in File menu unrecognized!"; Revert's level 2 "You must close
//          (without saving) the other windows on this piece before you can Revert!" and the
//          file's own error when it cannot be read again (nothing is closed then).
int file_menu(int item, int source);

// Makes the music window the view about to open shows its page in, when there is none;
// after the open, fits the window to the page (opened) or disposes of it (failed).
void prepare_window_for_view();
void finish_window_for_view(int opened);

// ==== file_dialogs.cpp ===========================================================================
// The dialogs in which the user chooses a file to open or a name to save under, for the five kinds
// of file the program reads and writes.

// File kinds: 0 any, 1 a piece, 2 a MIDI file, 3 MusicXML, 4 a script.

// The file specification a dialog of that kind fills: kind 1 is piece_fsspec, kind 3
// import_fsspec; a kind out of 0..4 counts as 0.
std::string* file_spec_of_kind(int kind);

// open_file_dialog: the open dialog of a kind (its absolute value; above 4 counts as 0); one
// file only. 1 with the file in file_spec_of_kind(kind), else 0 and nothing changed.
int open_file_dialog(int kind);

// save_file_dialog: the save dialog of a kind (negative: the folder is not preset), for a
// piece told whether it is saved published and with graphics. Exports (kinds 2 and 3) propose
// the piece's name with their extension; an empty name proposes "New Piece" and the kind's
// extension. 1 with the path in file_spec_of_kind(kind), else 0 and nothing changed. The file
// itself is made by the writer, not by the dialog.
int save_file_dialog(int kind, int published, int graphics);

// ==== menus.h ====================================================================================
// The program's 32 menus and their commands. Every command is a pair (menu id, item) run by
// do_menu_item; the item numbers are fixed (separators count), because the shortcut tables of the
// preferences, the enabling rules and several callers name items by number. update_menus brings
// every item's enabled state, check mark and text into line with the program's state after each
// event.

// ---- Menu ids ----------------------------------------------------------------------------------

inline constexpr int16_t FILE_MENU = 2;
inline constexpr int16_t EDIT_MENU = 3;
inline constexpr int16_t PAGE_MENU = 5;
inline constexpr int16_t VOICE_MENU = 6;
inline constexpr int16_t NOTE_MENU = 7;
inline constexpr int16_t STEM_MENU = 8;
inline constexpr int16_t SYMBOL_MENU = 9;
inline constexpr int16_t HEAR_MENU = 10;
inline constexpr int16_t ANNOTATION_MENU = 11;
inline constexpr int16_t STYLE_MENU = 13;
inline constexpr int16_t CLEAR_MENU = 16;
inline constexpr int16_t MODIFY_SLUR_MENU = 18;
inline constexpr int16_t TEXT_ASSISTANT_MENU = 25;
inline constexpr int16_t SIZE_MENU = 27;
inline constexpr int16_t EXPORT_MENU = 30;
inline constexpr int16_t IMPORT_MENU = 31;
inline constexpr int16_t ZOOM_MENU = 32;

// The source of a command: the menu bar, shortcut keys and the music window, or the parameter
// editor.
inline constexpr int32_t SOURCE_MENU_BAR = 'v';

int edit_options_item();  // "Options...": 19 or 20

// do_menu_item: runs the command (menu, item) from a source (SOURCE_MENU_BAR,
// SOURCE_PARAMETER_EDITOR), through the handler of its menu, and unhighlights the menu bar. Menu 0
// does nothing at all; APPLICATION_QUIT_MENU runs File item 17 (Quit).
// Failure: level 4 "Logic error in do_menu_item: menu %hd" for an unknown menu; each handler
//         reports an item it does not handle at level 4.
void do_menu_item(int16_t menu, int16_t item, int32_t source);

// ---- Menu state (menu_state.cpp) --------------------------------------------------------------

// update_menus: one full pass over the menus: the modifier keys (source 0 clears them), the
// insertion point's consistency, the cursor, the texts that follow the modifier keys and the
// selection, the Context menu's list of notation contexts, then every item of menus 2..32
// disabled and unmarked and enabled and marked again by its rule; the menu bar is redrawn when
// a music window came or went.
// Reads:  the piece, the selection, MODE, the undo lists, the preferences, the templates.
// Writes: menu_modifiers, insertion_point and note_entry_active (cleared when they cannot
//         stand), duplicate_warnings, item_enabled_flags, the templates' switches, the cursor,
//         menu_bar_state, the menus.
// Failure: level 4 "Menu.c: NIL MusicWindow but Nipoint = FALSE!" (the insertion point is
//          cleared); level 4 "ncontext inconsistency in menu.c %d %d" (the pass goes on).
void update_menus(int32_t source);

// do_menu_item: runs the command (menu id, item) from source ('v' for the main loop, 110 the
// parameter editor). The commands come with the menus; until then every command says so.
// Failure: level 2 "This command is not available yet." for commands not built yet.
void do_menu_item(int16_t menu, int16_t item, int32_t source);

// ==== music_window.cpp ===========================================================================
// The music window: its geometry, title, scroll bars, scrolling and growing, the ruler strips with
// their mouse marks, and the insertion cross.

struct Control;

// ---- The window and its geometry ----------------------------------------------------------

// The current music window (the window the current view's page is shown in), 0 when none.
int music_window();
// Widths of the left and top ruler strips: 16 with rulers, else 0.
int ruler_width();
int ruler_height();
// The music area of the current music window (empty when there is none).
Rect music_area_rect();
// Where page pixel (0, 0) lies in the window.
Point scroll_origin();

// new_music_window: creates the current music window (hidden, titled "New Piece"), its
// content w by h pixels, 22 pixels lower for every open view, with its two scroll bars.
// Reads: screen_device, the open views. Writes: music_window_port.
void new_music_window(int width, int height);
// Disposes of the current music window and its scroll bars; music_window_port becomes
// nullptr.
void dispose_music_window();
// grow_music_window: sizes the window (creating it when there is none) so that the music
// area's width is a multiple of 16; with (0, 0) the size follows the page and the screen. Sets
// grow_limits and redraws the window.
// Reads: page_pixel_width and _height, the rulers, screen_device, the open views,
//        default_scale. Writes: the window's size, grow_limits, the scroll bars.
void grow_music_window(int width, int height);
// invalidate_music_area: applies the ruler setting of the preferences; with flag set and the
// rulers changed, keeps the page where it was in the music area and resizes the window.
// Writes: music_window_rulers, insertion_cross (hidden without rulers).
void invalidate_music_area(int flag);

// ---- The title -----------------------------------------------------------------------------

// display_win_title: titles the music window from the file name, the notation context's name
// when the piece has several, and "page %hd of %hd" (not in mode 2), the selected voice's
// name, then `extra` when given. Mode 3 shows `extra` alone; a negative mode redraws the title
// at once.
// Reads:  piece_fsspec, ncontext_count, current_ncontext, current_page, page_count, the
//         selected voice. Writes: music_window_title, the window's title.
// Failure: level 4 "NIL call to display_win_title()" while a view is current but has no
//          window (the title is kept for when it has one).
void display_win_title(int mode, const char* extra);

// clear_current_piece: forgets the current piece: its file name, its voice lists and layout,
// the selection and the graphics list; the window is retitled.
void clear_current_piece();

// ---- Scrolling -----------------------------------------------------------------------------

// do_scroll: scrolls by a request (dx, dy) within the scroll bars' ranges, the horizontal step
// snapped to a multiple of 16, and writes back the steps taken.
// Failure: level 4 "xscroll logic error in event.c" (no horizontal step).
void do_scroll(int* dx, int* dy);

// ---- Rulers and the insertion cross ---------------------------------------------------------

// draw_ruler: erases both ruler strips and forgets the marks; with flag set draws the scales:
// a tick every 90 / zoom pixels, every eighth numbered.
void draw_ruler(int flag);
// toggle_insertion_cursor: mode 0 moves the cross to its place, 1 draws it into the page
// image, 2 takes it away.
void toggle_insertion_cursor(int mode);

// ==== parts_voices_dialog.cpp ====================================================================
// The Parts and Voices dialog, which shows how the voices lie on staves at the insertion point and
// changes that layout from there on.

// parts_and_voices_dialog: the "Parts and Voices..." command for the insertion point's time.
// On OK every shown voice gets a PRINT of the current context before its chord at that time
// (with undo), made from its staff record; parts and voices made or removed in the dialog
// are in the piece at once. When anything changed the voices are grouped by part in staff
// order (in the Score) and the piece is formatted again.
// Reads:  insertion_point, selected_voice, the voice lists, current_ncontext.
// Writes: the voice lists, voice_count, piece_start, page_start, staff_list_head (while open),
//         voices_removed, voices_added, insertion_point, selected_voice, the page; the undo
//         and redo histories are discarded when voices were added or removed.
// Failure: level 4 "Bad call on Parts and Voices... dialog (NIL insertion_point)" and nothing
//          is done; refused entries are level-2 messages after which the dialog stays.
void parts_and_voices_dialog();

// ==== play_follow.cpp ============================================================================
// The music window follows a piece while it plays.

// end_play_display: the marks of the notes sounding go, and the window shows again the page
// and the part of it it showed when the play began; the insertion point flashes again.
// Nothing when no play is followed.
// Writes: play_follow, current_page, the page, the scroll position, the title.
void end_play_display();

// ==== ncontext_dialog.cpp ========================================================================
// The notation-context dialog, where the user creates, names, deletes and reorders notation
// contexts and chooses the parts each one shows; and the dialog that asks which contexts a command
// is to act on.

// Items of the notation-context dialog.
inline constexpr int NCONTEXT_DONE = 1, NCONTEXT_NAME = 2, NCONTEXT_PARTS = 3;
inline constexpr int NCONTEXT_LIST = 7, NCONTEXT_NEW = 9, NCONTEXT_DELETE = 10;

// Items of the choose-contexts dialog.
inline constexpr int CHOOSE_LIST = 4, CHOOSE_ALL = 5, CHOOSE_NONE = 6, CHOOSE_CHECK = 7;

// ncontext_dialog: runs the notation-context dialog until Done. Every change is made on the
// voice lists at once; choosing a context switches to it. On Done the current context's page
// is prepared and the insertion point goes to the start of `measure`, whose page is shown.
// Reads:  the voice lists, the contexts and their records, selected_voice.
// Writes: current_ncontext, ncontext_count, ncontext_name, options_struct, print_record, the
//         voice lists (PRINT and ENDSYST nodes of contexts, node contexts), DrosaDirty, the
//         page, the page image, insertion_point, selected_voice; the undo and redo histories
//         are discarded when the voice lists changed.
// Failure: refusals are level-2 messages after which the dialog stays; a dialog that cannot
//          be opened is a level-4 report and nothing changes.
void ncontext_dialog(int32_t measure);

// choose_contexts_dialog: asks which notation contexts a command is to act on. `chosen` has an
// entry per context from 1 (at least ncontext_count + 1 bytes); after OK each entry is 1 for
// a chosen context and 0 otherwise, and the result is 1 when any was chosen. With one
// context and no check box nothing is asked: the current context is chosen. `check_value`
// (may be null) receives the check box's state after OK; without it the box is hidden.
// Cancel returns 0 and leaves `chosen` as it was.
// Reads: ncontext_count, current_ncontext, ncontext_name. Writes: choose_contexts_list (while
//        open), the cursor (restored).
int choose_contexts_dialog(const char* question, int* check_value, uint8_t* chosen);

// ==== ncontext_switch.cpp ========================================================================
// The user's switch to another notation context.

// change_ncontext: the user's switch to context n: unless no_ask, a changed piece may first be
// saved (when the preference asks for it); the page image follows the new context's page
// size and scale; the page is prepared, and the insertion point goes to `node` when it is
// drawn in the new context, else to the start of its measure (measure 1 for NIL).
// Reads:  prefs, DrosaDirty, the context's options. Writes: as set_notation_context, the page
//         image, the page, the insertion point, selected_voice; the file when saved.
// Failure: Cancel in the question changes nothing; a failed save is reported by the saving
//          code and the switch goes on.
void change_ncontext(Drosa node, int n, int no_ask);

// follow_context_page_size: re-creates the page image when the current context's page size
// differs from the one given, or its scale from the image's; 0 when that failed, else 1.
// Reads:  the current context's options record, zoom_factor.
// Writes: zoom_factor, the page image (offscreen_changesize).
int follow_context_page_size(int32_t old_width, int32_t old_height);

// ==== page_commands.cpp ==========================================================================
// Moving the music window to another page, a bar or the next measure whose notes do not fill its
// time signature.

// Items of the Page menu that move to another page or bar; item 55 is no menu item but the
// command the note-entry keys give after storing pending_goto_bar.
enum PageCommand {
  PAGE_COMMAND_PREVIOUS = 1,
  PAGE_COMMAND_NEXT = 2,
  PAGE_COMMAND_GO_TO_PAGE = 4,
  PAGE_COMMAND_GO_TO_BAR = 5,
  PAGE_COMMAND_NEXT_RHYTHM_ERROR = 6,
  PAGE_COMMAND_PENDING_BAR = 55,
};

// page_navigation_command: Previous Page, Next Page, Go To Page..., Go To Bar..., Next Rhythm
// Error and the pending bar of the note-entry keys. When the page changes, the user may first
// save a changed piece (when the preferences ask for it), the undo history is cleared and the
// new page is formatted under the title suffix "(working)". The insertion point then stands at
// the start of the page (the page commands) or on the bar and beat asked for.
// Reads:  current_page, page_count, insertion_point, insertion_point_pos, selected_voice,
//         pending_goto_bar, the voice lists, DrosaDirty, the preferences.
// Writes: current_page, the page, the undo lists, the insertion point, note_entry_active,
//         MODE, the window and its title; the piece file when the user saves.
// Failure: Cancel in a dialog or question changes nothing; level 2 "No time signature is
//          specified; cannot find rhythm errors." and "No more bars with rhythm errors.";
//          level 4 "Item %hd in Page menu unrecognized!" for another item.
void page_navigation_command(int item);

// ==== prefs.cpp ==================================================================================
// The preferences record of the program, its defaults and its file, the start-up zoom derived from
// it, and the fonts found at start-up.

inline constexpr int PREFS_SIZE = 2480;

// Field offsets (bytes) of the record.
enum PrefsOffset : int {
  PREFS_VERSION_TAG = 0,
  PREFS_MIDI_OUTPUT_DEVICE = 4,
  PREFS_ECHO_MIDI_INPUT = 7,
  PREFS_COMMAND_KEYS = 10,
  PREFS_USE_SONATA = 114,
  PREFS_ASK_SAVE_CONTEXT = 116,
  PREFS_COLOURS = 182,
  PREFS_CONTROL_KEYS = 278,
  PREFS_HIDE_FLAGS = 382,
  PREFS_PIANO_CORNER = 384,
  PREFS_COLOUR_FLAGS = 388,
  PREFS_METRONOME_CHANNEL = 389,
  PREFS_METRONOME_KEY = 390,
  PREFS_MIN_LINE_WIDTH = 393,
  PREFS_ZOOM_WORD = 394,
  PREFS_MIDI_INPUT_SOURCE = 396,
  PREFS_MIDI_OUTPUT_DEST = 400,
  PREFS_TEXT_ENTRY_OPTION = 405,
  PREFS_CHORD_DRAG_TYPE = 407,
  PREFS_STAFF_DRAG_MODE = 408,
  PREFS_KEY_PIANO = 412,
  PREFS_PIANO_SIZE = 2460,
  PREFS_SMF_TICKS = 2464,
  PREFS_USE_SIMPLIFIED = 2468,
};

// Colour flags, bits of the big-endian word at offset 388.
inline constexpr uint16_t COLOR_BY_PITCH_NAME = 0x2000;
inline constexpr uint16_t COLOR_SECOND_MARKED = 0x4000;
inline constexpr uint16_t COLOR_FIRST_MARKED = 0x8000;

// A command by menu id and item (menu 0: none).
struct MenuCommand {
  int16_t menu = 0;
  int16_t item = 0;
  friend bool operator==(const MenuCommand&, const MenuCommand&) = default;
};

// A point of the piano palette, vertical first; (0, 0) plays nothing.
struct PalettePoint {
  int16_t v = 0;
  int16_t h = 0;
  friend bool operator==(const PalettePoint&, const PalettePoint&) = default;
};

struct PrefsRecord {
  uint8_t bytes[PREFS_SIZE] = {};

  // Big-endian words at a byte offset.
  uint8_t u8(int offset) const { return bytes[offset]; }
  void set_u8(int offset, uint8_t v) { bytes[offset] = v; }
  uint16_t u16(int offset) const;
  void set_u16(int offset, uint16_t v);
  int16_t i16(int offset) const { return static_cast<int16_t>(u16(offset)); }
  void set_i16(int offset, int16_t v) { set_u16(offset, static_cast<uint16_t>(v)); }
  uint32_t u32(int offset) const;
  void set_u32(int offset, uint32_t v);
  int32_t i32(int offset) const { return static_cast<int32_t>(u32(offset)); }
  void set_i32(int offset, int32_t v) { set_u32(offset, static_cast<uint32_t>(v)); }

  // The fields other parts of the program read most.
  int16_t use_sonata_font() const { return i16(PREFS_USE_SONATA); }
  void set_use_sonata_font(int16_t v) { set_i16(PREFS_USE_SONATA, v); }
  int16_t ask_save_before_context_change() const { return i16(PREFS_ASK_SAVE_CONTEXT); }
  void set_ask_save_before_context_change(int16_t v) { set_i16(PREFS_ASK_SAVE_CONTEXT, v); }
  uint32_t use_simplified_notation() const { return u32(PREFS_USE_SIMPLIFIED); }
  void set_use_simplified_notation(uint32_t v) { set_u32(PREFS_USE_SIMPLIFIED, v); }
  uint16_t colour_flags() const { return u16(PREFS_COLOUR_FLAGS); }
  // Changes only the three colour bits, not the metronome channel in the low byte.
  void set_colour_flag(uint16_t flag, bool on);

  // Colour index 0..15 of the colour table.
  RgbColour colour(int index) const;
  void set_colour(int index, RgbColour c);
  // Letter 'A'..'Z' (either case) of the Command- and Control-letter tables; other
  // characters have no entry (reads give none, writes are ignored).
  MenuCommand command_key(int letter) const;
  void set_command_key(int letter, MenuCommand c);
  MenuCommand control_key(int letter) const;
  void set_control_key(int letter, MenuCommand c);
  // Character code 1..511 of the computer-key piano table (0 and others: nothing).
  PalettePoint key_piano(int code) const;
  void set_key_piano(int code, PalettePoint p);
  // The signed 6-bit default zoom step of the word at 394.
  int zoom_step() const;
  void set_zoom_step(int step);
};
extern PrefsRecord prefs;

// The zoom of a view: the divisor of page units per pixel, a flag for a negative step and
// the signed step.
struct ScaleRecord {
  float divisor = 10.0f;
  uint8_t negative = 0;
  int8_t step = 2;
};
extern ScaleRecord default_scale;  // the zoom a piece starts with when created or read

// Writes the defaults into prefs; fields marked "not set" keep their contents.
void set_default_prefs();

// Loads the record from the preferences file: 1 when a record of an accepted version was
// loaded, else 0 (and the defaults stand). Keeps the file's lock, which tells another
// instance that the file is in use, until the program ends.
// Reads:  $XDG_CONFIG_HOME/Vesk/Vesk Preferences. Writes: prefs.
// Failure: a damaged file is reported at level 2 ("... is damaged ...") and gives 0.
int open_prefs_file();

// The path of the preferences file ("$XDG_CONFIG_HOME/Vesk/Vesk Preferences", the config
// folder defaulting to ~/.config).
std::string prefs_file_path();

// Fills a scale record from a zoom step (|step| 0: divisor 10, over 20: 0, else 20/|step|).
void set_scale_factor(ScaleRecord* record, int step);

extern int32_t music_font_numbers[FONT_SLOT_COUNT];

// Tests: lets go of the preferences folder's lock, as if the program had just started.
void release_prefs_lock();

// Tests: a zeroed record with the defaults, every standard font found, the simplified
// notation font absent, the default zoom.
void reset_prefs();

// ==== quit.cpp ===================================================================================
// Ending the program.

// quit_program: the one way out of the process. With write_prefs (the Quit command, the quit
// event) the preferences are written and the exit status is 0. Without (a fatal report) every
// changed piece is first written to a recovery copy beside its file, never over it, and the
// user is told where; the exit status is 1. Then MIDI, printing and the console are closed
// (each only when it was set up). A fatal report during the quit ends the process at once.
// Reads: prefs, the open views, midi_out_available, console_ref.
// Writes: the preferences file, the recovery copies.
[[noreturn]] void quit_program(int write_prefs);

// ==== startup.cpp ================================================================================
// Bringing the program up in its fixed order.

// start_up: everything main does before the main loop, in this order: the console; the cursor
// (the watch); the frame's globals; the quit signals; the screen; the node store; the views
// and the preferences; the fonts (a missing one reported); the parameter table; MIDI output;
// the play timer, printing, the piano window and the menus; the part-name phrases checked;
// and the documents of the command line queued as open and print events.
// Writes: every subsystem's start-up state. Failure: a failed allocation of the node store
//         ends the program (level 3); missing fonts are level-2 messages; an option the
//         program does not know is named on the standard error and ends it (status 2).
void start_up(int argc, char** argv);
