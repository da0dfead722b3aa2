// model_services.h: what the other subsystems may call of the piece model: the node store and
// node kinds, voice lists and their walks, chords, durations, systems and pages, undo, the edit
// primitives, parts, voices and notation contexts, the piece file, the error report and the
// dialog-item routines. Other folders include this header and no other header of model/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Editor/CString.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/geometry.h"
#include "platform/list_box.h"

// ==== change_flags.cpp ===========================================================================
// Saying that the piece changed, and which views must be reformatted.

// Change kinds: 4 marks the piece changed without flagging any view.
inline constexpr int CHANGE_NO_VIEWS = 4;

// Marks the piece changed (bit 0 of DrosaDirty), then as mark_views_changed.
void mark_piece_changed(int reformat, int kind, int context);
// A change that formatting made (systems cut to fit, nodes moved to their zones): saved with
// the piece, but no change of the user's that questions before changing pages or contexts
// would protect, and formatting makes it again when the piece is opened. Marks DIRTY_LAYOUT,
// then as mark_views_changed without a reformat.
void mark_layout_changed(int kind, int context);
// Requests a reformat when reformat is non-zero; unless kind is 4 flags the views of the
// context (context 0 or another context: the other views; the current context: its views).
void mark_views_changed(int reformat, int kind, int context);

// ==== check_lists.cpp ============================================================================
// A consistency check of the piece in memory, for tests and debug builds.

// Walks every voice list and the free list and checks what must always hold: links agree
// both ways, kinds are valid, each list starts with an ENDSYST marked as the piece start and
// ends with one marked as the piece end, no node of a list is free, a layout record follows
// its owner, and the store's counts match the free list. Returns the number of problems and
// describes each on its own line in `problems` (when given).
int check_voice_lists(std::string* problems);

// ==== drosa.cpp ==================================================================================
// The Drosa node, its 32-bit handle, and the node store that hands nodes out.

struct DrosaNode;

// Handles: the top 18 bits are the block number + 1, the low 14 bits the node's index in
// its block (a block holds at most 16,382 nodes).
inline constexpr int DROSA_INDEX_BITS = 14;
inline constexpr uint32_t DROSA_INDEX_MASK = (1u << DROSA_INDEX_BITS) - 1;
inline constexpr uint32_t DROSA_MAX_BLOCKS = (1u << (32 - DROSA_INDEX_BITS)) - 1;

// Address of the lowest node of each block, indexed by block number + 1 (entry 0 unused);
// nullptr for a block that does not exist. Owned by the node store.
extern DrosaNode* drosa_block_base[DROSA_MAX_BLOCKS + 1];

// Reaching a node through a link that names none (NIL, or a handle of no block) is a fault
// of the caller. Debug and sanitizer builds check every -> and * and stop there, naming the
// handle and the caller (drosa_link_fault). Release builds do not check: reaching NIL reads or
// writes the reservation's room below block 1, which is never committed, and the program
// crashes there.
#if !defined(NDEBUG) || defined(VESK_CHECKED_LINKS)
inline constexpr bool DROSA_CHECKED_LINKS = true;
#else
inline constexpr bool DROSA_CHECKED_LINKS = false;
#endif

// Reports an access (access: "->" or "*") through a handle that names no node, with the
// caller and the stack, and ends the program.
[[noreturn]] void drosa_link_fault(uint32_t handle, const char* access);

// A link to a node: behaves like a pointer to it (->, *, tests against NIL).
class Drosa {
 public:
  constexpr Drosa() = default;
  constexpr explicit Drosa(uint32_t handle) : handle_(handle) {}

  DrosaNode* operator->() const { return checked_address("->"); }
  DrosaNode& operator*() const { return *checked_address("*"); }
  constexpr explicit operator bool() const { return handle_ != 0; }
  constexpr uint32_t handle() const { return handle_; }
  friend constexpr bool operator==(Drosa a, Drosa b) = default;

  inline DrosaNode* address() const;

 private:
  inline DrosaNode* checked_address(const char* access) const;

  uint32_t handle_ = 0;
};

inline constexpr Drosa NIL{};

inline constexpr int DROSA_NODE_SIZE = 64;
inline constexpr int DROSA_PAYLOAD_OFFSET = 10;  // node byte of the first payload byte
inline constexpr int DROSA_PAYLOAD_SIZE = 54;

template <typename T>
struct Field;
template <typename T>
struct ArrayField;
struct TextField;
struct LinkField;

// The node. Node bytes: xnext 0-3, xback 4-7, xkind 8, xcontext 9, payload 10-63.
struct alignas(DROSA_NODE_SIZE) DrosaNode {
  Drosa xnext;      // next node of the list the node is in; NIL at the end
  Drosa xback;      // previous node; NIL at the head
  uint8_t xkind;    // node kind, 76..126
  int8_t xcontext;  // notation context: 0 all, n only context n, -1 all but the Score
  uint8_t payload[DROSA_PAYLOAD_SIZE];

  // The node's 64 bytes, addressed by node byte.
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }

  // Named payload fields, defined with their accessors in node_fields.h.
  template <typename T>
  T get(const Field<T>& field) const;
  template <typename T>
  void set(const Field<T>& field, std::type_identity_t<T> value);
  template <typename T>
  T get(const ArrayField<T>& field, int index) const;
  template <typename T>
  void set(const ArrayField<T>& field, int index, std::type_identity_t<T> value);
  std::string get(const TextField& field) const;
  // The text in place, up to its terminating zero or the field's end: valid while the node is.
  std::string_view view(const TextField& field) const;
  void set(const TextField& field, const char* text);
  Drosa get(const LinkField& field) const;
  void set(const LinkField& field, Drosa link);
};

// The node store's blocks lie in one reservation, block b (1-based) at drosa_node_base plus b
// times the 2^14 nodes a handle's index can name: a node is at its handle times 64 from there,
// found without reading the block table. The range below block 1 is never committed, so that
// NIL (and a handle of no block) still faults when reached. Owned by the node store.
extern uintptr_t drosa_node_base;

inline DrosaNode* Drosa::address() const {
  return reinterpret_cast<DrosaNode*>(drosa_node_base +
                                      uintptr_t(handle_) * uintptr_t(DROSA_NODE_SIZE));
}

inline DrosaNode* Drosa::checked_address(const char* access) const {
  if constexpr (DROSA_CHECKED_LINKS) {
    constexpr uint32_t most_nodes_in_a_block = 16382;
    if (!drosa_block_base[handle_ >> DROSA_INDEX_BITS] ||
        (handle_ & DROSA_INDEX_MASK) >= most_nodes_in_a_block) [[unlikely]]
      drosa_link_fault(handle_, access);
  }
  return address();
}

static_assert(sizeof(DrosaNode) == DROSA_NODE_SIZE, "a Drosa node is 64 bytes");
static_assert(alignof(DrosaNode) == DROSA_NODE_SIZE, "Drosa nodes lie on 64-byte boundaries");
static_assert(sizeof(Drosa) == 4, "node links are 32 bits");

// ---- The node store -------------------------------------------------------------------

// Makes the first block, the free list and the permanent template nodes; clears the
// graphics-list globals. Called once at start-up.
void VeskMemory_Init();

// A node of the given kind and context, links NIL, payload zero. Never NIL: a store that is
// empty and cannot grow is a fatal report. Counts an SDRAG in staff_drag_nodes, a NEST in
// nest_nodes.
Drosa newDrosa(int kind, int context);

// Returns one unlinked node to the store. NIL and an already free node are reported and
// change nothing. An SDRAG leaves staff_drag_nodes, a NEST nest_nodes.
void destroyDrosa(Drosa node);

// Returns the chain from first along xnext to its end, after detaching first from its
// predecessor, and says how many nodes it returned. NIL does nothing. Its SDRAGs leave
// staff_drag_nodes, its NESTs nest_nodes.
int32_t destroy_Drosa_list(Drosa first);

// A new node with node's kind, context and payload; links NIL.
Drosa copyDrosa(Drosa node);

// 1 when both nodes have the same effective kind in the current notation context and the
// same 54 payload bytes; links and xcontext are not compared.
int same_Drosa(Drosa a, Drosa b);

// Percentage of the 2,100,000,000-byte limit used by live nodes (the undo history counts
// as free). When limit is given it receives the limit.
int32_t memory_use_percent(int32_t* limit);

// A system allocation; on failure an out-of-memory report and nullptr.
void* NewPtr_or_alert(long size);

// True when handle names a node of an existing block.
bool drosa_handle_valid(Drosa node);

// room_for_edit: 1 when the node store has room for a command's change: grown when it can, old
// undo steps freed when it cannot; else 0 after a level 2 "Vesk is out of memory for this
// piece, so it cannot make this change; ..." (the command then changes nothing).
// Reads and writes: the free list, the undo and redo histories.
int room_for_edit();

// Writes the links of every free node a block has not built yet (a block's nodes are built as
// the free list reaches them), so that the free list can be walked to its end.
void drosa_build_free_nodes();

// ==== hooks.cpp ==================================================================================
// Hooks: the routines of later subsystems that the model, the parameters and the layout engine
// call, each registered by its own subsystem at start-up (connect_subsystems). A hook called
// before it is registered reports at level 4 and gives a zero result.

// Reports that the hook `name` was called unregistered.
void hook_missing(const char* name);

class AnyHook {
 public:
  explicit AnyHook(const char* hook_name);  // joins every_hook()
  AnyHook(const AnyHook&) = delete;
  AnyHook& operator=(const AnyHook&) = delete;
  virtual bool registered() const = 0;
  const char* name;  // the routine's own name

 protected:
  ~AnyHook();  // leaves every_hook()
};

// The routine hook_name, of result R and arguments A, as a later subsystem registers it.
template <class R, class... A>
class Hook final : public AnyHook {
 public:
  using AnyHook::AnyHook;
  R (*routine)(A...) = nullptr;
  bool registered() const override { return routine != nullptr; }
  R operator()(A... args) const {
    if (routine) return routine(args...);
    hook_missing(name);
    if constexpr (std::is_reference_v<R>) {
      static std::remove_cvref_t<R> none{};
      return none;
    } else if constexpr (!std::is_void_v<R>) {
      return R{};
    }
  }
};

// The names of the hooks no subsystem registered (none once start-up connected them).
std::vector<const char*> unregistered_hooks();

// A rectangle of the page in layout units; empty when x2 <= x1 or y2 <= y1.
struct VirtualRect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool empty() const { return x2 <= x1 || y2 <= y1; }
};

// A point of the page in layout units (tenths of a point, y upward).
struct PagePoint {
  int32_t x = 0;
  int32_t y = 0;
};

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

// The mouse cursors the model and the layout engine show (set_cursor).
inline constexpr int32_t CURSOR_ID_ARROW = -10;
inline constexpr int32_t CURSOR_ID_WATCH = 4;
inline constexpr int32_t CURSOR_ID_FORMATTING = 17380;  // shown while a page is being formatted

// The fonts looked up at start-up, by their number; 0 for an optional font not installed.
enum MusicFontSlot {
  FONT_SLOT_QUOR,
  FONT_SLOT_SAYL,
  FONT_SLOT_TIMES,
  FONT_SLOT_SYMBOL,
  FONT_SLOT_SONATA,
  FONT_SLOT_GENEVA,
  FONT_SLOT_SIMPLIFIED,
  FONT_SLOT_COUNT
};

// The kinds of file the save dialog offers (save_file_dialog).
enum FileKind { FILE_ANY = 0, FILE_PIECE = 1, FILE_MIDI = 2, FILE_MUSICXML = 3, FILE_SCRIPT = 4 };

// The most characters of one annotation style run that drawing and measuring read.
inline constexpr int ANNO_RUN_TEXT_LIMIT = 255;

// The operations of unary_node (editing/) on the nodes attached before a note, which the
// replace primitives ask for through model_hooks.unary_node.
inline constexpr int UNARY_COPY = 1, UNARY_DELETE = 2, UNARY_SKIP_FORWARD = 3, UNARY_SKIP_BACK = 4;

// The operations of adjust_accidentals (editing/), which the replace primitives ask for through
// model_hooks.adjust_accidentals.
inline constexpr int ACC_CHANGED = 102;   // after notes were inserted or changed
inline constexpr int ACC_REMOVING = 103;  // before notes are removed or re-pitched
inline constexpr int ACC_OWN_ONLY = 104;  // the notes' own display only

// What the subsystems above the model keep of a view's window while another view is current
// (app/view_frames.cpp).
struct ViewFrameState;

// What the model, the parameters and the layout engine call of the frame and the drawing.
struct ModelHooks {
  // The frame (app/).
  Hook<void, int32_t> set_cursor{"set_cursor"};
  Hook<void, int, const char*> display_win_title{"display_win_title"};
  Hook<void> save_cursor{"save_cursor"};
  Hook<void> restore_cursor{"restore_cursor"};
  Hook<void, int32_t> update_menus{"update_menus"};
  // The preferences read here: the second default set of the parameters, simplified notation.
  Hook<int16_t> use_sonata_font{"use_sonata_font"};
  Hook<uint32_t> use_simplified_notation{"use_simplified_notation"};
  // The font number found at start-up for a slot of MusicFontSlot (0 an optional font missing).
  Hook<int32_t, int> music_font_number{"music_font_number"};
  // The editing (editing/): the insertion point moved to a note or to the note nearest a point.
  Hook<void, Drosa, int, int> set_insertion_point{"set_insertion_point"};
  Hook<void, PagePoint, int, int, int> cursor_to_nearest_visnote{"cursor_to_nearest_visnote"};
  // The annotations (annotations/): the end of text editing and annotation selection; the
  // command kind of a text annotation.
  Hook<void, int, int> end_anno_selection{"end_anno_selection"};
  Hook<int, Drosa, Drosa*> midi_anno_kind{"midi_anno_kind"};
  // The frame (app/): the error report's Shift test and the end of the program, the version
  // texts of the about box, conversions made without questions, the save dialog.
  Hook<int> debug_modifier_down{"debug_modifier_down"};
  Hook<void, int> quit_program{"quit_program"};
  Hook<const char*> version_string{"version_string"};
  Hook<const char*> version_suffix{"version_suffix"};
  Hook<int16_t> quiet_convert_flag{"quiet_convert_flag"};
  Hook<int, int, int, int> save_file_dialog{"save_file_dialog"};
  // The drawing (graphics/): note colours kept in the file, font codes of older files.
  Hook<void> recolor_all_notes{"recolor_all_notes"};
  Hook<int32_t, int32_t> code_from_font{"code_from_font"};
  // The annotations (annotations/): older MIDI nodes as annotations; the part-name texts.
  Hook<void, Drosa> midi_nodes_to_annos{"midi_nodes_to_annos"};
  Hook<std::string, Drosa, int> anno_run_text{"anno_run_text"};
  Hook<Drosa, Drosa> delete_anno_nodes{"delete_anno_nodes"};
  Hook<Drosa, Drosa, int, int, int, const char*, int*> make_text_anno{"make_text_anno"};
  // The layout engine's object lookup (layout/).
  Hook<int16_t, Drosa> find_sstaff{"find_sstaff"};
  Hook<Drosa, int, Drosa> find_object{"find_object"};
  // The parameters (params/): the tempo multiplier of polytempo pieces.
  Hook<int, int> param_changed{"param_changed"};
  Hook<double, int, Drosa> param_float_value{"param_float_value"};
  // The drawing (graphics/).
  Hook<Drosa> flashing_node{"flashing_node"};  // the note being flashed; NIL none
  Hook<void, Drosa> stop_flashing{"stop_flashing"};
  Hook<float> zoom_factor{"zoom_factor"};  // the current view's screen scale divisor
  Hook<void> redraw_view{"redraw_view"};
  Hook<int32_t, int32_t> font_from_code{"font_from_code"};
  // The annotations (annotations/): parameter changes kept as annotations and as PARAM nodes.
  Hook<void, Drosa> param_annos_to_nodes{"param_annos_to_nodes"};
  Hook<void, Drosa> param_nodes_to_annos{"param_nodes_to_annos"};
  // The nodes other subsystems hold outside the piece, which the node store's leak check
  // counts: the editing's clipboard (editing/) and the playback queue (performance/), whose
  // nodes the timer task is done with go back to the store first.
  Hook<Drosa> clipboard_list{"clipboard_list"};  // NIL when empty
  Hook<int16_t> clipboard_kind{"clipboard_kind"};
  Hook<void> release_play_nodes{"release_play_nodes"};
  Hook<int32_t> play_queue_count{"play_queue_count"};
  // The annotations (annotations/): the class and style of a TPARAM (the text template's, when
  // the node store starts).
  Hook<int, int, int, int, Drosa, int> anno_set_class{"anno_set_class"};
  // The parameters (params/): the type of parameter pindex (-1 when no parameter has that
  // number), whether a PARAM node's value names a font, the duration multiplier counted as
  // unchanged again, and the rows of the parameter editor's lists (list type 5 its headings,
  // 6 the parameters under the selected heading) with the row selected.
  Hook<int, int> param_type{"param_type"};
  Hook<int, Drosa> param_node_has_font{"param_node_has_font"};
  // The text style of hidden text made by the parameter editor, which the font and part-name
  // records of a piece are made in.
  Hook<int> hidden_record_style{"hidden_record_style"};
  // The parameter that multiplies note durations under polytempo.
  Hook<int> polytempo_param{"polytempo_param"};
  Hook<void> forget_duration_multiplier_change{"forget_duration_multiplier_change"};
  Hook<int, int, std::vector<std::string>*> parameter_list_rows{"parameter_list_rows"};
  // What the replace primitives call above the model: the flash of the insertion point
  // (graphics/); the insertion point made visible, the printed accidentals and the nodes
  // attached before a note (editing/); the annotations that go with deleted notes
  // (annotations/); grace times and default playback data, recorded for undo
  // (performance/).
  Hook<void, Drosa> start_flashing{"start_flashing"};
  Hook<void> make_cursor_visible{"make_cursor_visible"};
  Hook<void, int, Drosa, Drosa> adjust_accidentals{"adjust_accidentals"};
  Hook<Drosa, int, Drosa> unary_node{"unary_node"};
  Hook<Drosa, Drosa> delete_marked_annos{"delete_marked_annos"};
  Hook<void, Drosa> record_grace_time{"record_grace_time"};
  Hook<void, Drosa, Drosa, int> change_grace_time{"change_grace_time"};
  Hook<void, Drosa, Drosa> record_default_performance{"record_default_performance"};
  Hook<void, Drosa, Drosa, int, int, int, int, int32_t> set_default_performance{
      "set_default_performance"};
  // Opening a piece and letting it go. The frame (app/): the piece's header was read into the
  // current view (from its own file or not): its page image made for the current context's
  // page size and scale, the window titled for a file, the piano palette drawn, 0 when the
  // page image cannot be made; the piece opened: its page prepared (only to print: for the
  // printer) and the insertion point at its start; the current piece let go of; Shift or
  // Option held (a damaged file is read for what it holds).
  Hook<int, bool> piece_header_read{"piece_header_read"};
  Hook<void, bool> piece_opened{"piece_opened"};
  Hook<void> clear_current_piece{"clear_current_piece"};
  Hook<int> shift_or_option_down{"shift_or_option_down"};
  // The parameters (params/): the table built anew and the PARAM nodes made from the piece's
  // annotations.
  Hook<void> rebuild_param_table{"rebuild_param_table"};
  // The layout engine (layout/): the pages fitted to the paper whose lists were freed forgotten.
  Hook<void> forget_fitted_pages_freed{"forget_fitted_pages_freed"};
  // The editing (editing/): the voices and first measures of a new piece, 0 when cancelled.
  Hook<int> make_new_piece{"make_new_piece"};
  // The MusicXML import (ImportExport/) of the document named by import_fsspec.
  Hook<int, bool> import_musicxml{"import_musicxml"};
  // The piano palette (performance/).
  Hook<void> draw_piano_window{"draw_piano_window"};
  // What the views (views.cpp) ask of the subsystems above the model as they open, switch and
  // close. The frame (app/): the state those subsystems keep of a view's window, made (nullptr
  // when it cannot be allocated), freed, parked for the view's slot (its page image then shows
  // the parked window) and restored; the music window of a parked state (nullptr: the current
  // view's); a parked view's page image and window disposed of; out of an annotation mode;
  // the window of the view left made inactive and its group selection cleared; the selection
  // of the view being closed cleared; the state of no current view (no graphics view, group
  // selection or selected voice); the music window activated and disposed of.
  Hook<ViewFrameState*> new_frame_state{"new_frame_state"};
  Hook<void, ViewFrameState*> free_frame_state{"free_frame_state"};
  Hook<void, ViewFrameState*, int> park_frame_state{"park_frame_state"};
  Hook<void, const ViewFrameState*> restore_frame_state{"restore_frame_state"};
  Hook<const Port*, const ViewFrameState*> frame_window{"frame_window"};
  Hook<void, ViewFrameState*> dispose_frame_window{"dispose_frame_window"};
  Hook<void> end_anno_mode{"end_anno_mode"};
  Hook<void> view_left{"view_left"};
  Hook<void> view_closing{"view_closing"};
  Hook<void> no_current_frame{"no_current_frame"};
  Hook<void> activate_window{"activate_window"};
  Hook<void> dispose_music_window{"dispose_music_window"};
  // The drawing (graphics/): the slot whose state the graphics globals hold (-1 none), a slot's
  // kept page image forgotten, the graphics list started, the page image disposed of.
  Hook<void, int> set_graphics_view{"set_graphics_view"};
  Hook<void, int> forget_view_graphics{"forget_view_graphics"};
  Hook<void, int> GEinit{"GEinit"};
  Hook<void> offscreen_dispose{"offscreen_dispose"};
  // The layout engine (layout/): the page index cleared, the pages counted (the count), a
  // page's starts found, the page of a view made current again formatted, every layout
  // record of the piece removed.
  Hook<void> clear_page_index{"clear_page_index"};
  Hook<int> count_pages{"count_pages"};
  Hook<int, int> locate_page{"locate_page"};
  Hook<void> format_view_page{"format_view_page"};
  Hook<void> remove_piece_layout_records{"remove_piece_layout_records"};
  // The piano palette (performance/): its drawing held back (true) while a view opens its
  // piece, then let go (false) and drawn once when it was asked for.
  Hook<void, bool> hold_palette_draws{"hold_palette_draws"};
  // The frame (app/): a dialog opened in front of every window, the cursor put aside, and
  // closed again.
  Hook<DialogRef, int> open_dialog_in_front{"open_dialog_in_front"};
  Hook<void, DialogRef> close_dialog_in_front{"close_dialog_in_front"};
  // The layout engine (layout/): the page on which measure n starts in the first shown voice.
  Hook<int32_t, int32_t> find_measure_any_voice{"find_measure_any_voice"};
  // The frame (app/): a row of the Parts and Voices dialog's staff list (dst holds 256 bytes).
  Hook<void, Drosa, char*> staff_list_text{"staff_list_text"};
  // The debug dumps. The one-line text of a node of a kind the parameters (PARAM), the layout
  // engine (ROD, SPRING), the performance subsystem (PLAY, RNOTE, MIDI) or the MusicXML
  // interchange (XMLT) own, appended to the line; 0 for a kind not theirs. The lists of rods and
  // springs (layout/), the play queue and the recorded keys (performance/); the slur and tie
  // buffers (layout/), the graphics elements and the beam buffer (graphics/) written to the debug
  // stream.
  Hook<int, Drosa, std::string*> param_node_text{"param_node_text"};
  Hook<int, Drosa, std::string*> layout_node_text{"layout_node_text"};
  Hook<int, Drosa, std::string*> performance_node_text{"performance_node_text"};
  Hook<int, Drosa, std::string*> musicxml_node_text{"musicxml_node_text"};
  Hook<Drosa> rod_list{"rod_list"};
  Hook<Drosa> spring_list{"spring_list"};
  Hook<Drosa> play_queue_first{"play_queue_first"};
  Hook<Drosa> recorded_notes_first{"recorded_notes_first"};
  Hook<void> dump_slur_buffer{"dump_slur_buffer"};
  Hook<void> dump_tie_buffer{"dump_tie_buffer"};
  Hook<void> debug_GE{"debug_GE"};
  Hook<void> dump_GE{"dump_GE"};
  Hook<void> print_beam_buffer{"print_beam_buffer"};
};
extern ModelHooks model_hooks;

// ==== debug_dump.cpp =============================================================================
// The debug stream, the text dumps that show the inside of a piece and of the layout while the
// program runs, and the chooser that writes them.

class CString;

// debug_out: writes the text to the debug stream. The first write after start-up or after
// the stream was closed sets it to standard output (which the console window shows) and, for
// a piece that has a file, names the piece first ("\nVesk Piece '%s'\n\n").
// Reads: piece_fsspec. Writes: debug_stream.
void debug_out(const char* text);

// append_dump_text: the text formatted as by printf (at most 319 characters) appended to the
// line: how the one-line texts of nodes in the dumps are made.
void append_dump_text(std::string* line, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// A node as the dumps name it: its handle, written with %p as an address ("(nil)" for NIL).
inline const void* dump_id(Drosa node) {
  return reinterpret_cast<const void*>(uintptr_t(node.handle()));
}

// debug_dump_menu: asks which dump to write (the message, when given, heads the question) and
// acts on the answer: closes the stream, toggles the debugging switches, or writes a dump.
// Reads, Writes: debug_last_choice, the switches, the debug stream.
// Failure: the switches' toggles are reported at level 4 with their new state.
void debug_dump_menu(const char* message);

// ==== dialog_items.cpp ===========================================================================
// Typed access to the items of modal dialogs: numbers read and written with range checks and fixed
// messages, highlighting, moving, hiding and showing items, pop-up menus, and the first drawing of
// a dialog.

// What a typed getter returns when no acceptable value was typed.
inline constexpr int32_t BAD_LONG_ITEM = INT32_MIN;  // 0x80000000
inline constexpr double BAD_DOUBLE_ITEM = 2147483648.0;

// Highlights an item (operation GRAY_OUT_ITEM: grays it out, a gray pattern cleared from it).
inline constexpr int GRAY_OUT_ITEM = 999;
void invert_item(DialogRef dialog, int item, int outset, int operation);

// Makes the item's control active (flag non-zero) or inactive.
void enable_item(DialogRef dialog, int item, int flag);
// Return and Enter choose item 1 and Escape item 2 on a key-down (not on auto-key).
bool dialog_key_filter(DialogRef dialog, EventRecord* event, int* item);

void set_long_item(DialogRef dialog, int item, int32_t value);
void set_hex_item(DialogRef dialog, int item, int32_t value);
void set_double_item(DialogRef dialog, int item, double value);

// The one integer typed, when it lies in low..high; else BAD_LONG_ITEM, after telling the
// user (when name is not null) what to type instead.
int32_t get_long_item(DialogRef dialog, int item, const char* name, int32_t low, int32_t high);
int32_t get_hex_item(DialogRef dialog, int item, const char* name, int32_t low, int32_t high);
// The number typed (with second given: "first,second", the second stored unchecked); else
// BAD_DOUBLE_ITEM, after telling the user when name is not null.
double get_double_item(DialogRef dialog, int item, const char* name, double low, double high,
                       double* second);

// The value with five decimals, trailing zeros and then a trailing point removed.
void format_float_trimmed(double value, char* out, size_t size);

// Draws the dialog when it needs it (with the prompt as ^0 when given, and the extra
// drawing), and makes item 1 the default and item 2 the cancel item.
void draw_dialog_frame(DialogRef dialog, void (*draw_extra)(), const char* prompt);
void move_dialog_control(DialogRef dialog, int item, int left, int top);
// Hides an item by moving it 500 pixels down, shows it by moving it back.
void show_hide_item(DialogRef dialog, int item, int show);

// ==== durashn.cpp ================================================================================
// Durations and times in time units: 65536 to a whole note; two times within 50 units of each other
// are the same time; 2100000000 stands for no time or no end.

inline constexpr int32_t WHOLE_NOTE_TIME = 65536;
inline constexpr int32_t TIME_TOLERANCE = 50;
inline constexpr int32_t NO_TIME = 2100000000;

// Beam types and places of beatbound.
inline constexpr int MAIN_BEAMS = 45, SECONDARY_BEAMS = 46, ANY_BEAMS = 47;
inline constexpr int NOTE_START = 83, NOTE_END = 84;

// The duration of a NOTE; with own_value 0 a whole-measure rest takes its measure.
int32_t note_duration(Drosa note, int own_value);
int get_tuplet(Drosa note, int32_t* tupl_out, int32_t* intimeof_out);
int same_tupl(Drosa a, Drosa b);
int32_t div_round50(int32_t a, int32_t b);
// Adds the duration of the vertical chord starting at note to *time, carrying rounding
// remainders so that tuplets add up exactly; returns the chord's last note.
Drosa chord_duration_carry(Drosa note, int32_t* time, int32_t* carry_num, int32_t* carry_den,
                           int32_t* dur_out);
int32_t find_time_abs(Drosa node);
int32_t find_time_in_system(Drosa node);
int32_t find_time_in_bar(Drosa node);
int32_t find_meas_time_left(Drosa note);
int beatbound(Drosa note, int32_t unit, int beamtype, int place);

// What is known of the bar being filled while chords are entered one after another (a
// recording or a MIDI file made into notes). While an EntryRun is open the voice lists change
// only by chords entered each at or after the end of the one before, with the rests that fill
// after them, so what was found of a bar up to a chord entered stays true: set_default_performance
// keeps, for each chord end it gave playing data to, the bar's time and sums up to there, and
// the next chord's times, and find_time_in_bar, go on from them instead of walking back to the
// bar line. Nothing is kept while no run is open; closing the run forgets everything.
struct KnownChord {
  Drosa end;                     // the chord's last note
  int32_t time;                  // the bar's chord times up to the end of this chord
  int32_t carry_num, carry_den;  // the rounding carry there (chord_duration_carry)
  bool exact;                    // no chord of the bar up to here carried a remainder
  int64_t played;                // the sum of xttn of the bar's notes up to here
  uint8_t volume;                // the volume in force after the chord
  // Set by keep_known_chord: how many of the bar's notes on lines (known_line_last) come up
  // to here, and whether they are all of them since the bar line: no key signature or system
  // break stands in the bar before the chord's end, and the bar begins at a bar line.
  int32_t lines = 0;
  bool lines_known = false;
};
class EntryRun {
 public:
  EntryRun();
  ~EntryRun();
  EntryRun(const EntryRun&) = delete;
  EntryRun& operator=(const EntryRun&) = delete;
};
bool entry_run_open();
// Test double: false, an open EntryRun keeps nothing of the bars entered, so that every chord
// finds what it needs from its bar line (the runs' results are compared with that). Owned by
// model_globals.cpp.
extern bool entry_runs_kept;
// The chord end's entry, when it is kept and still in its place; else nullptr.
const KnownChord* known_chord(Drosa end);
// Begins the bar's entries again, under a stamp of what they were found with (the caller's
// settings); nothing is kept when no run is open.
void begin_known_bar(const std::vector<uint8_t>& stamp);
// The stamp the entries were found with.
const std::vector<uint8_t>& known_bar_stamp();
// Drops the entries after the chord end's (whose chords were replaced).
void forget_known_chords_after(Drosa end);
// Keeps the entry of the chord that follows the last one kept.
void keep_known_chord(const KnownChord& chord);
void forget_known_bar();
// The notes (not rests) of the known bar by staff step (xmod7), for the walks along one step:
// the index of the last on `step` up to the chord's end, and of the one before a note's index;
// -1 none. Meaningful only when the chord's lines_known.
int32_t known_line_last(const KnownChord& chord, int32_t step);
int32_t known_line_prev(int32_t index);
Drosa known_line_note(int32_t index);

// ==== model_globals.cpp ==========================================================================
// The program-wide state of the piece model and its node store.

// ---- Node store ----------------------------------------------------------------------

extern Drosa freeHead;              // first node of the free list: takes and returns happen here
extern int32_t freeCount;           // nodes on the free list
extern int32_t total_Drosa_count;   // nodes made in all blocks together
extern uint32_t drosa_block_total;  // blocks built so far (the first is block 0)

// SDRAG nodes taken from the store (or read from a file) and not given back, wherever they
// lie: a piece, the undo lists, a clipboard. None means no list holds a staff drag.
extern int32_t staff_drag_nodes;

// ---- Permanent template nodes (made by VeskMemory_Init, never freed) --------------------

extern Drosa line_template;          // LINE: defaults of new line annotations
extern Drosa beaming_head;           // BEAMING: beams break at every quarter, secondary at eighths
extern Drosa current_note_template;  // NOTE: defaults of entered notes (an eighth)
extern Drosa text_template;          // TPARAM: defaults of new text annotations
extern Drosa spacc_template;  // SPACC held by the note-entry menu's special accidental; NIL none

// ---- The page being formatted (written by the layout engine) ------------------------------

inline constexpr int MAX_PSTAVES = 64;  // physical staves on a page
inline constexpr int LAYERS = 8;        // print chains per pstaff

// One physical staff of the page being formatted.
struct StaffData {
  Drosa ppnt[LAYERS];          // head of each layer's print chain (a dummy NOTE and its NTDATA)
  Drosa pending[LAYERS];       // each layer's last linked note, whose staff chord is open
  int32_t end_record[LAYERS];  // + end time (stems down), - end time (others), 0 none sounding
  int32_t middle_y;            // y of the middle line
  int32_t screen_middle_y;     // its copy made when a format completes
  int32_t distance_below;      // to the next pstaff
  int32_t least_below;         // what is kept of it when the page moves its staves closer
  int16_t staff_size;          // distance between lines, 50 normal
  uint8_t lines;               // number of lines
  uint8_t staff_type;          // 0 normal, 1 and 2 string tablature, 3 piano tablature
  uint8_t place;               // place in its system, 1 = first staff
  uint8_t screen_place;        // its copy made when a format completes
  int32_t chord_count;         // staff chords of the system
  int32_t first_note_x;        // x of the system's first note
  // Kept by the page drawing pass, per layer:
  Drosa cur_note[LAYERS];        // the last note handed to the beam buffer (the chain head first)
  int32_t next_time[LAYERS];     // start of the layer's next chord in the system
  Drosa rest_group[LAYERS];      // a whole-measure rest waiting for the bar that ends its measure
  int32_t rest_group_x[LAYERS];  // x where the measure of such a rest begins
  int32_t signs_end_x;           // x after the signs drawn at the system's start (its left end)
  uint8_t layers_with_notes;     // a bit for each layer that has notes to draw in the system
  // Kept by the layering pass for the walks back from the notes of the staff's chains, which
  // find nothing where these say none stands: a bit for each time point (its chord number
  // mod 64) at which a CLEF stands before a note, and whether a BEAMING stands before any.
  uint64_t clef_points;
  bool beamings_before_notes;
};

// One voice while its page is formatted (twelve words).
struct VoiceData {
  Drosa system_start;        // word 0: first node of the system being formatted
  Drosa system_end;          // word 1: the ENDSYST that ends it
  Drosa print;               // word 2: the PRINT in force
  int32_t switch_direction;  // word 3: staff switch, 1 down, 2 up, 3 none
  int32_t switch_active;     // word 4
  Drosa cursor;              // word 5: the cursor of the layering pass
  int32_t next_time;         // word 6: time of its next note; 2100000000 when done
  Drosa beaming_start;       // word 7: BEAMING in force at the system start
  Drosa beaming_end;         // word 8: BEAMING in force at the system end
  Drosa clef;                // word 9: CLEF in force
  Drosa timesig;             // word 10: TIMESIG in force
  Drosa keysig;              // word 11: KEYSIG in force
};

extern StaffData staff_data[MAX_PSTAVES];
extern VoiceData voice_data[64];

extern int32_t last_formatted_page;  // page last formatted in this context; -500 none
extern int reformat_pending;  // set while the current page is out of date and being formatted
extern int32_t pstaff_count;  // pstaves on the page

// ---- The insertion point (set by the selection and editing commands) -----------------------

extern Drosa insertion_point;          // the note single-note commands act on; NIL none
extern PagePoint insertion_point_pos;  // where the insertion point stands on the page
extern int insertion_point_flashing;   // the insertion point is flashing

// ---- The graphics-element lists (their elements are made and read by the drawing) --------

extern Drosa GE_head;         // head node of the current view's graphics-element list
extern Drosa old_GE_head;     // the previous list, kept until a new format completes
extern Drosa GE_tail;         // last element of the current list
extern int GE_list_complete;  // non-zero when the current list holds a whole formatted page

// ---- The piece -------------------------------------------------------------------------

inline constexpr int MAX_VOICES = 64;
extern int16_t voice_count;              // voices 0 .. voice_count - 1 exist
extern Drosa piece_start[MAX_VOICES];    // head ENDSYST of each voice list
extern Drosa page_start[MAX_VOICES];     // where the current page begins in each voice
extern Drosa system_cursor[MAX_VOICES];  // each shown voice's ENDSYST after voices_to_system
extern Drosa time_cursor[MAX_VOICES];    // each shown voice's node at a time of its system

// ---- The Parts and Voices dialog (while it is open) ----------------------------------------

extern Drosa staff_list_head;   // its staff records (VOICES nodes) in list order; else NIL
extern int32_t voices_removed;  // a voice with a staff was removed while it was open
extern int32_t voices_added;    // a part or voice was added while it was open

// ---- List changes ------------------------------------------------------------------------

// Counts the changes that may alter the order of the NOTE, ENDSYST, PARAM and KEYSIG nodes of
// a list, or their kinds, contexts and page or parameter fields (count_list_change,
// voice_lists.h); caches of what the lists hold compare it with the count they were built at.
extern uint64_t list_change_count;
// The part of list_change_count that came from NOTE nodes alone being linked, unlinked or
// changed in place (none freed). A note never is the key signature,
// system break, parameter change or annotation a walk back looks for, so caches of those
// compare changes_beside_notes() and outlive the entry and removal of notes.
extern uint64_t note_change_count;
inline uint64_t changes_beside_notes() { return list_change_count - note_change_count; }
// Links and unlinks of TPARAM and TEXT nodes (annotation texts), which list_change_count does
// not count; a change in place of one counts in list_change_count as for any node.
extern uint64_t text_change_count;
// Counts a change made in place to a linked node's kind, context, page flags or parameter
// fields, as the link primitives count theirs.
void count_list_change(Drosa node);
// Nodes whose place in their list a cache keeps, a table per cache and one slot per handle
// modulo the table's size. Linking, unlinking or freeing a node takes it out of every table
// (forget_place), so a cache that takes an answer only for a node still kept never takes it
// from a node that has moved or been reused.
enum KeptPlaceTable { KEPT_KEYSIGS, KEPT_DYNAMICS, KEPT_KNOWN_CHORDS, KEPT_PLACE_TABLES };
inline constexpr uint32_t KEPT_PLACE_SLOTS = 256;
extern Drosa kept_places[KEPT_PLACE_TABLES][KEPT_PLACE_SLOTS];
inline void keep_place(int table, Drosa node) {
  kept_places[table][node.handle() % KEPT_PLACE_SLOTS] = node;
}
inline bool kept_place(int table, Drosa node) {
  return node && kept_places[table][node.handle() % KEPT_PLACE_SLOTS] == node;
}

// ---- Undo history ----------------------------------------------------------------------

extern Drosa undo_heads[2];  // oldest node of the undo (0) and redo (1) lists
extern Drosa undo_tails[2];  // newest node of each list
// Nodes held by the undo and redo lists; the node store counts them as free.
extern int32_t undo_node_count;

// ---- Replace primitives -----------------------------------------------------------------

extern int32_t empty_measure_found;  // set when a delete would leave a measure without a note

// ---- Change flags ----------------------------------------------------------------------

extern uint8_t DrosaDirty;  // bit 0: the piece changed since it was saved;
                            // DIRTY_NEVER_SAVED: new or imported, never saved;
                            // DIRTY_LAYOUT: formatting changed it (systems cut to fit)
inline constexpr uint8_t DIRTY_CHANGED = 0x01;
inline constexpr uint8_t DIRTY_LAYOUT = 0x04;
extern int32_t current_page;  // page shown in the current view, from 1

// ---- Notation contexts -----------------------------------------------------------------

inline constexpr int MAX_NCONTEXTS = 65;
inline constexpr int NCONTEXT_NAME_SIZE = 16;  // a name of at most 15 characters and a NUL
extern int16_t current_ncontext;               // notation context in force; 1 is the Score
extern int16_t ncontext_count;                 // contexts 1 .. ncontext_count exist
extern char ncontext_name[MAX_NCONTEXTS + 1][NCONTEXT_NAME_SIZE];  // by context number from 1
inline constexpr int OPTIONS_SIZE = 102;       // options_struct of a context, big-endian
inline constexpr int PRINT_RECORD_SIZE = 144;  // print_record (page setup) of a context
extern uint8_t options_struct[MAX_NCONTEXTS + 1][OPTIONS_SIZE];     // by context from 1
extern uint8_t print_record[MAX_NCONTEXTS + 1][PRINT_RECORD_SIZE];  // by context from 1

// ---- The piece file -----------------------------------------------------------------------

inline constexpr int PERF_DEFAULTS_SIZE = 334;     // playback, tuning and notehead-colour record
extern uint8_t perf_defaults[PERF_DEFAULTS_SIZE];  // big-endian, as the piece file holds it
extern int16_t requested_page;  // page to show when the piece is next prepared; 0 or too big: 1
// Path of the current piece's file. A name (the part after the last '/') beginning with ':'
// marks an untitled piece that has no file of its own yet.
extern std::string piece_fsspec;

// ---- Debug dumps -------------------------------------------------------------------------

extern bool skip_relocate;      // the justification is skipped
extern bool dump_springs_next;  // the next justification dumps its springs

// ---- Reports and lists shared by dialogs --------------------------------------------

inline constexpr int REPORT_TEXT_SIZE = 512;   // a report is at most 511 characters
extern char message_buffer[REPORT_TEXT_SIZE];  // callers format a text here before handing it on
extern int16_t
    part_first_voices[MAX_VOICES];      // first voice of each part, from list_part_first_voices
extern int16_t part_first_voice_count;  // how many of part_first_voices are filled

// Puts every model global back to its state before start-up and releases the node blocks,
// so that VeskMemory_Init can run again (tests start each case from here).
void reset_model_globals();

// ==== error_report.cpp ===========================================================================
// The one route by which failures, inconsistencies and messages are reported, and the alerts that
// ask the user a question.

// Answers of yesnocan_alert: the character codes of V, W and X.
inline constexpr int ANSWER_YES = 86;
inline constexpr int ANSWER_NO = 87;
inline constexpr int ANSWER_CANCEL = 88;

inline constexpr int ALERT_YES_NO_CANCEL = 20062;

// Formats the report, shows it in the alert its level and length choose, and acts on the
// answer: item 1 of a shown alert (Quit) asks the program to quit through its quit path,
// which asks about every changed piece, once the command running now is over (a quit event);
// with Shift held it opens the debug dump chooser instead. Levels 1 and 3 end the program at
// once whatever the answer, writing changed pieces to recovery copies. A text
// that comes from data goes in as an argument ("%s"), never as the format.
void REPORT_ERROR(int16_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Returns p unchanged: the one place every reported message passes, for a debugger to
// stop at.
const char* debug_hook(const char* p);

// Questions. yesnocan_alert answers ANSWER_YES, ANSWER_NO or ANSWER_CANCEL (also when the
// alert cannot be shown); yesno_alert and really_alert answer 1 (yes, go ahead) or 0. A zero
// variant is for questions whose yes risks a loss: their alerts default to no.
int yesnocan_alert(const char* text);
int yesno_alert(const char* text, int variant);
int really_alert(const char* text, int variant);
void about_vesk_alert();

// Test double: while an observer is set, every report goes to it (after formatting)
// instead of an alert; fatal levels still end the program afterwards.
using ReportObserver = void (*)(int16_t level, const char* text);
void set_report_observer(ReportObserver observer);

// Between report_each_once(true) and report_each_once(false) (a page formatted again after
// its systems moved, say), a report of levels 2 and 4 whose text was already reported in
// that span is not reported again. Spans nest.
void report_each_once(bool on);

// ==== file_errors.cpp ============================================================================
// Result codes of file, resource, clipboard and printing operations as texts for the user.

// 1 when code is 0 (nothing is shown). Otherwise shows the code's text, after "context: "
// when the context is not empty, and returns 0; code -49 (the file is already open) asks
// instead and returns the answer (1 go ahead, 0 stop).
int report_file_error(int16_t code, const char* context);

// Words for what the system said (errno) went wrong with the file or folder at `path`, naming
// it: "you may not change the folder '/a'", "'/a/b' is a symbolic link that leads round in a
// loop". `folder` says which of the two `path` is, `writing` whether it was to be changed.
std::string file_problem_text(int error_number, const std::string& path, bool folder, bool writing);

// Words for an existing `path` that is not a regular file (st_mode from stat), or "" when it is
// one: "'/a' is a folder, not a file".
std::string not_a_file_text(const std::string& path, unsigned st_mode);

// Words for why the platform's file layer could not replace a file: one of the two above, or
// "the folder '/a' lets only the owner of 'b' replace it".
struct PlatformFileProblem;
std::string file_problem_text(const PlatformFileProblem& problem);

// ==== part_names.cpp =============================================================================
// The names a part shows before the systems: its full name before the piece's first system, its
// abbreviation before the later ones, each drawn or only kept. They are hidden text annotations
// before the first note of the part's top voice ("partname 1 Violino I.", "partabbr 0 Vl. I");
// a part without them (a piece made here, until asked) shows no name.

inline constexpr size_t PART_NAME_TEXT_MAX = 200;  // characters kept of a name

struct PartName {
  std::string text;  // "" none; a return between lines
  bool shown = false;
};
struct PartNames {
  PartName full, abbreviation;
};

// part_names_of_voice: the names of voice v's part: the records before the first note of the
// part's voices, the lowest voice first; empty names when there are none.
// Reads: voice_count, piece_start, the VINFO part names.
PartNames part_names_of_voice(int v);
// part_names_of_voices: part_names_of_voice of every voice, each voice's records read once.
std::vector<PartNames> part_names_of_voices();

// set_part_names: replaces the records of voice v (those before its first note) by the names
// given (an empty name gets none). False when v has no note to hold them.
// Writes: the annotations before v's first note, through the undo primitives
//         (delete_anno_nodes, make_text_anno).
bool set_part_names(int v, const PartNames& names);

// ==== font_table.cpp =============================================================================
// The font table of a piece: for every font it uses other than the six standard ones (which are
// stored as codes -1..-6), one hidden text annotation before the first note of voice 0 that reads
// `font <number> "<name>"`, so that the piece can be matched to the fonts of the machine that opens
// it.

// 1 when node is a visible annotation head (not a further style run, flag bit 0 clear) whose
// text is a font record; fills *number and *name. A name without its closing quote gives 0
// after the name is filled.
int parse_font_record(Drosa node, int* number, CString* name);

// ==== kept_pages.cpp =============================================================================
// Node lists kept by page number, so that a page formatted and not changed since is not formatted
// again. The lists hold for the state they were made in: a change of the piece (every change marker
// counts as one) or of the caller's key (the bytes of what else the pages depend on) forgets every
// list; a piece discarded takes them with it.

// Counts the changes of the piece (mark_piece_changed, mark_layout_changed, mark_views_changed
// and the other requests for a full reformat). Never goes back.
extern uint32_t piece_change_count;
void count_piece_change();

// Keeps a copy of the list that begins at `head` (its head node included) as page `page`'s,
// made in the state `key` at change count `count`; nothing when the piece has changed since
// `count`. A list kept for the page before is replaced. `until_replaced`: no copy is made
// now; the list's elements are taken over as they stand when take_waiting_list is told they
// leave it, or copied as they stand by settle_waiting_list, by a lookup of the page, or when
// another page is kept (nothing may change them meanwhile).
void keep_page_list(int32_t page, Drosa head, const std::string& key, uint32_t count,
                    bool until_replaced = false);
// Whether the elements of the list at `head` were waiting to be kept: they are then the kept
// page's, and `head` is left without elements. The page, 0 when they were not waiting.
int32_t take_waiting_list(Drosa head);
// A list still waiting to be kept is copied as it stands.
void settle_waiting_list();
// The head of the list kept for the page in the state `key`, NIL when there is none.
Drosa kept_page_list(int32_t page, const std::string& key);
// Forgets the lists of the page and of the pages after it, which a change made while the page
// was formatted (from change count `count` on) may have changed; the lists of earlier pages
// hold on. Every list goes when the piece had changed before `count`.
void forget_kept_pages_from(int32_t page, uint32_t count);
// Forgets every kept list (its nodes go back to the store).
void forget_kept_pages();
// The nodes the kept lists hold.
long kept_page_nodes();
// Lends the list kept for the page (NIL when there is none) to another thread to read: until it
// is given back (kept_page_give_back, on any thread) nothing destroys it, a forget waits for it.
// *serial tells this keeping of the page from any later one.
Drosa kept_page_lend(int32_t page, uint32_t* serial);
void kept_page_give_back(int32_t page);
// The serial of the list kept for the page (0 when there is none), as kept_page_lend gives it.
uint32_t kept_page_serial(int32_t page);

// ==== list_boxes.cpp =============================================================================
// The list boxes of the program's dialogs, filled from the piece or the parameter table.

// Makes, fills, selects, scrolls and shows a list of that type over the item rectangle in
// the dialog of the current port. `select` is the staff record to select (type 7 only).
// nullptr for an unknown type.
ListBox* list_create(short list_type, Rect item_rect, bool multiple, Drosa* select);

// Redraws the list and frames it (the frame encloses the scroll bar).
void list_draw(ListBox* list);

// True when the event is a mouse-down on the list (its view, scroll bar or a one-pixel
// margin above and below), after passing it to the list.
bool list_click(EventRecord* event, ListBox* list);

void list_dispose(ListBox* list);

// ==== ncontexts.cpp ==============================================================================
// Notation contexts: switching the current context, and keeping the PRINT nodes of the current
// context consistent when a part leaves it or systems are rebuilt.

// ---- Switching ----------------------------------------------------------------------------------

// set_notation_context: makes context n current without asking or redrawing: every layout
// record is removed, the page starts go back to the voices' heads, the annotation templates
// take the context, and the current page becomes the one where measure `where` (>= 0) starts
// in the first shown voice, or page -where (where < 0). The caller formats the page.
// Reads:  ncontext_count, the voice lists. Writes: current_ncontext, page_start, current_page,
//         last_formatted_page, the layout records, xcontext of text_template and line_template.
// Failure: level 4 "Bad notation context %hd in set_notation_context" for a context that does
//          not exist; nothing changes.
void set_notation_context(int n, int where);
// rebuild_print_nodes: where, at the time of a PRINT of the current context, no shown voice
// would print, the PRINTs in force there are removed with undo (the settings before them
// stay), except at the start of the first system, where the first voice with a PRINT prints
// on staff 0 again. A voice's head PRINT is never removed.
// Reads:  the voice lists, current_ncontext. Writes: system_cursor, time_cursor; PRINT nodes
//         (with undo).
void rebuild_print_nodes();

// ---- Parts leaving a context ------------------------------------------------------------------

// Renumbers the staff fields (xsstaff, xlist) of one PRINT as if the named part's staves were
// taken out of the system at the PRINT's time.
void ncontext_staff_range(const char* part_name, Drosa print);

// 1 when, at the PRINT's time, every printing voice belongs to the named part and at least one
// does; else 0 (also when the PRINT has no note after it in its system).
int ncontext_parts_present(const char* part_name, Drosa print);

// close_up_print_staves: makes the staff numbers of every PRINT of the current notation context
// run from 0 without gaps, keeping their order (a staff nobody prints on is closed up), and
// gives every voice that has none a PRINT after its VINFO.
// Reads:  voice_count, piece_start, current_ncontext.
// Writes: PRINT xsstaff (directly, without undo records); new PRINT nodes.
// Failure: none.
void close_up_print_staves();

// ==== node_kinds.cpp =============================================================================
// The 51 node kinds, their names and layout strings, and the effective kind of a node as the
// current notation context sees it.

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

// Name of a kind value, or "KIND_VALUE_OOR" outside 76..126.
const char* kind_name(int kind);

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

// ==== node_fields.cpp ============================================================================
// The named payload fields of the node kinds the piece model owns, and the accessors that read and
// write them.

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

// Big-endian words of the payload. A word of 2 or 4 bytes is moved as one load or store and
// one byte swap: put together byte by byte, a field read whose parts are used apart (a link's
// block and index) is left as four loads and their shifts.
inline uint32_t load_big_endian(const uint8_t* p, int bytes) {
  if (bytes == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return __builtin_bswap32(v);
  }
  if (bytes == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return __builtin_bswap16(v);
  }
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

inline void store_big_endian(uint8_t* p, int bytes, uint32_t v) {
  if (bytes == 4) {
    const uint32_t swapped = __builtin_bswap32(v);
    std::memcpy(p, &swapped, 4);
    return;
  }
  if (bytes == 2) {
    const uint16_t swapped = __builtin_bswap16(uint16_t(v));
    std::memcpy(p, &swapped, 2);
    return;
  }
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

// A field is read and written in place (its descriptor a constant), never through a call.
template <typename T>
[[gnu::always_inline]] inline T DrosaNode::get(const Field<T>& f) const {
  uint32_t mask = field_mask(f.bits);
  uint32_t v = (load_big_endian(bytes() + f.offset, f.bytes) >> f.shift) & mask;
  if (f.is_signed && f.bits < 32 && ((v >> (f.bits - 1)) & 1)) v |= ~mask;
  return static_cast<T>(v);
}

template <typename T>
[[gnu::always_inline]] inline void DrosaNode::set(const Field<T>& f,
                                                  std::type_identity_t<T> value) {
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
// The bracket of the tuplet that starts at the note: 0 as the layout decides (a bracket where
// its notes are not all under one beam), 1 shown, 2 not shown.
inline constexpr auto xtupl_bracket = bit_field("xtupl_bracket", TSMOD, 12, 5, 0);
inline constexpr int TUPLET_BRACKET_SHOWN = 1, TUPLET_BRACKET_HIDDEN = 2;

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

// ---- Fields of the layout records (their meaning is the layout engine's) -----------------

inline constexpr int32_t NOT_DRAWN = INT32_MIN;  // 0x80000000
inline constexpr int32_t EXTENT_HIGH_START = -2100000000;
inline constexpr int32_t EXTENT_LOW_START = 2100000000;
inline constexpr uint8_t NO_ACCIDENTAL_X = 255;

// clang-format off
// ---- NTDATA: after every NOTE of the formatted page ----------------------------------
inline constexpr auto xforced = bit_field("xforced", NTDATA, 10, 7, 7);      // stem direction forced
inline constexpr auto xendbeam = bit_field("xendbeam", NTDATA, 10, 6, 6);    // a beam ends here
inline constexpr auto xtmpbeam = bit_field("xtmpbeam", NTDATA, 10, 5, 5);    // may be beamed to the next chord
inline constexpr auto xcluster = bit_field("xcluster", NTDATA, 10, 4, 4);    // chord-drawing flag
inline constexpr auto xendscd = bit_field("xendscd", NTDATA, 10, 3, 3);      // last note of its staff chord
inline constexpr auto xstmdir = bit_field("xstmdir", NTDATA, 10, 2, 1);      // 1 down, 2 up, 3 none
inline constexpr auto xtmpdir = bit_field("xtmpdir", NTDATA, 10, 0, 0);      // grace copy bit
inline constexpr auto xtabtyp = bit_field("xtabtyp", NTDATA, 11, 7, 5);      // tablature kind of the staff
inline constexpr auto xtabstr = bit_field("xtabstr", NTDATA, 11, 4, 1);      // tablature string
inline constexpr LinkField xpback{"xpback", NTDATA, 12};  // previous note of the print chain
inline constexpr LinkField xpnext{"xpnext", NTDATA, 16};  // next note of the print chain
inline constexpr auto xhdx = word_field<int32_t>("xhdx", NTDATA, 20);        // note-head position
inline constexpr auto xhdy = word_field<int32_t>("xhdy", NTDATA, 24);
inline constexpr auto xaccx = word_field<uint8_t>("xaccx", NTDATA, 28);      // accidental distance / 5; 255 none
inline constexpr auto xrestchar = bit_field("xrestchar", NTDATA, 29, 7, 6);  // rest glyph choice
inline constexpr auto xscrrestchar = bit_field("xscrrestchar", NTDATA, 29, 5, 4);
// The last note of a stem group in a tuplet group of its voice; of the group's first and of
// its last stem group (two voices sharing a staff chord have groups of their own).
inline constexpr auto xtup_first = bit_field("xtup_first", NTDATA, 29, 3, 3);
inline constexpr auto xtup_last = bit_field("xtup_last", NTDATA, 29, 2, 2);
inline constexpr auto xtup_info = bit_field("xtup_info", NTDATA, 29, 1, 1);  // carries tuplet information
inline constexpr auto xother_staff = bit_field("xother_staff", NTDATA, 29, 0, 0);  // drawn on the next staff
inline constexpr auto xstemxoff = word_field<int8_t>("xstemxoff", NTDATA, 30);  // horizontal stem offset
inline constexpr auto xstsize = word_field<int8_t>("xstsize", NTDATA, 31);      // staff size of the note
inline constexpr auto xscrhdx = word_field<int32_t>("xscrhdx", NTDATA, 32);     // screen copy of the head
inline constexpr auto xscrhdy = word_field<int32_t>("xscrhdy", NTDATA, 36);

// ---- CDDATA: after the NTDATA of the last note of a staff chord ----------------------
inline constexpr auto xuphiy = word_field<int32_t>("xuphiy", CDDATA, 10);      // extents with stems up
inline constexpr auto xuploy = word_field<int32_t>("xuploy", CDDATA, 14);
inline constexpr auto xdownhiy = word_field<int32_t>("xdownhiy", CDDATA, 18);  // extents with stems down
inline constexpr auto xdownloy = word_field<int32_t>("xdownloy", CDDATA, 22);
inline constexpr auto xorigin = word_field<int32_t>("xorigin", CDDATA, 26);    // packed x of the chord
inline constexpr auto xprehiy = word_field<int32_t>("xprehiy", CDDATA, 30);    // what stands before the chord
inline constexpr auto xpreloy = word_field<int32_t>("xpreloy", CDDATA, 34);
inline constexpr auto xprex = word_field<int32_t>("xprex", CDDATA, 38);
inline constexpr auto xoppos = bit_field("xoppos", CDDATA, 42, 7, 7);          // shares the staff with the other direction
inline constexpr auto xtup_start = bit_field("xtup_start", CDDATA, 42, 6, 6);
inline constexpr auto xtup_end = bit_field("xtup_end", CDDATA, 42, 5, 5);
inline constexpr auto xtup_mark = bit_field("xtup_mark", CDDATA, 42, 4, 3);
inline constexpr auto xupbstem = bit_field("xupbstem", CDDATA, 42, 2, 2);
inline constexpr auto xdnbstem = bit_field("xdnbstem", CDDATA, 42, 1, 1);
inline constexpr auto xnewmeas = bit_field("xnewmeas", CDDATA, 42, 0, 0);      // first chord of a measure
inline constexpr auto xrcmeas = word_field<int16_t>("xrcmeas", CDDATA, 44);    // measures of a multi-measure rest
inline constexpr auto xcdleft = word_field<int16_t>("xcdleft", CDDATA, 48);    // left edge from the packed x, less 20
inline constexpr auto xcdoverhang = word_field<uint8_t>("xcdoverhang", CDDATA, 50);  // a displaced head's overhang

// ---- CDDATA2 ------------------------------------------------------------------------
inline constexpr auto xswholec = word_field<int32_t>("xswholec", CDDATA2, 10);  // time from the system start
inline constexpr auto xmwholec = word_field<int32_t>("xmwholec", CDDATA2, 14);  // time from the measure start
inline constexpr ArrayField<uint8_t> xabovebeam{"xabovebeam", CDDATA2, 18, 2};  // beams above, by direction
inline constexpr ArrayField<uint8_t> xbelowbeam{"xbelowbeam", CDDATA2, 20, 2};  // beams below, by direction
inline constexpr auto xidealx = word_field<int32_t>("xidealx", CDDATA2, 24);    // ideal x from spacing
inline constexpr auto xopposhide = bit_field("xopposhide", CDDATA2, 28, 7, 7);  // the other voice hides the rest
inline constexpr auto xreloc_zone = word_field<uint8_t>("xreloc_zone", CDDATA2, 29);
// A system may hold more time points and springs than 16 bits count: both are 32 bits wide.
inline constexpr auto xchordNum = word_field<int32_t>("xchordNum", CDDATA2, 32);  // time point in the system
inline constexpr auto xreloc_spring = word_field<int32_t>("xreloc_spring", CDDATA2, 36);

// ---- CDDATA3: the page's chord chain --------------------------------------------------
inline constexpr LinkField xnextchord{"xnextchord", CDDATA3, 10};  // CDDATA of the next chord closed
inline constexpr LinkField xprevchord{"xprevchord", CDDATA3, 14};  // CDDATA of the previous one
inline constexpr auto xpstaff = word_field<uint8_t>("xpstaff", CDDATA3, 18);
inline constexpr auto xcdlayer = word_field<uint8_t>("xcdlayer", CDDATA3, 19);   // layer 0..7

// ---- PDATA: after every annotation and staff-resizing mark ---------------------------
inline constexpr auto xpagex1 = word_field<int32_t>("xpagex1", PDATA, 10);  // page rectangle
inline constexpr auto xpagey1 = word_field<int32_t>("xpagey1", PDATA, 14);
inline constexpr auto xpagex2 = word_field<int32_t>("xpagex2", PDATA, 18);
inline constexpr auto xpagey2 = word_field<int32_t>("xpagey2", PDATA, 22);
inline constexpr auto xy1pstaff = word_field<int8_t>("xy1pstaff", PDATA, 26);  // pstaff of each end
inline constexpr auto xy2pstaff = word_field<int8_t>("xy2pstaff", PDATA, 27);
inline constexpr auto xscrx1 = word_field<int32_t>("xscrx1", PDATA, 28);    // screen rectangle
inline constexpr auto xscry1 = word_field<int32_t>("xscry1", PDATA, 32);
inline constexpr auto xscrx2 = word_field<int32_t>("xscrx2", PDATA, 36);
inline constexpr auto xscry2 = word_field<int32_t>("xscry2", PDATA, 40);
inline constexpr auto xchyphen = word_field<int16_t>("xchyphen", PDATA, 44);  // width of a centred hyphen
inline constexpr auto xanno_selected = bit_field("xanno_selected", PDATA, 46, 7, 7);
// ---- BAR: what page location and the formatter read and write ---------------------------
// A non-zero xunnumbered keeps the bar out of the count; xrestart_number (bit 0x40 of the
// flag word at byte 14) restarts the count at xbarnumber with the measure after the bar.
inline constexpr auto xunnumbered = word_field<uint8_t>("xunnumbered", BAR, 14);
inline constexpr auto xrestart_number = bit_field("xrestart_number", BAR, 15, 6, 6);
inline constexpr auto xscrbarx = word_field<int32_t>("xscrbarx", BAR, 20);  // screen copy of xbarx
// The sign bit of the flag byte makes the bar's lines thick (its repeat dots are the model's
// xrepeat_end and xrepeat_start).
inline constexpr auto xbarthick = bit_field("xbarthick", BAR, 15, 7, 7);
// How the bar's lines are drawn: without its number, as a short rule across the top line,
// not at all, dashed.
inline constexpr auto xbar_no_number = bit_field("xbar_no_number", BAR, 15, 5, 5);
inline constexpr auto xbar_chant = bit_field("xbar_chant", BAR, 15, 4, 4);
inline constexpr auto xbar_invisible = word_field<uint8_t>("xbar_invisible", BAR, 24);
inline constexpr auto xbar_dashed = word_field<uint8_t>("xbar_dashed", BAR, 25);

// ---- Signs spacing places: their x and what decides their width --------------------------
inline constexpr auto xclefchange = word_field<uint8_t>("xclefchange", CLEF, 11);  // drawn small
inline constexpr auto xclefhide = word_field<uint8_t>("xclefhide", CLEF, 12);      // not drawn
inline constexpr auto xkeyx = word_field<int32_t>("xkeyx", KEYSIG, 28);
inline constexpr auto xtimex = word_field<int32_t>("xtimex", TIMESIG, 14);
// clang-format on

// ---- Fields of the annotation nodes (their meaning is the annotations') ----------------

// clang-format off
// ---- TPARAM: head of a text annotation and of each further style run -----------------
inline constexpr auto xtextx = word_field<int32_t>("xtextx", TPARAM, 10);  // position of the text
inline constexpr auto xtexty = word_field<int32_t>("xtexty", TPARAM, 14);
inline constexpr auto xtextfont = word_field<int16_t>("xtextfont", TPARAM, 18);  // font code or number
inline constexpr auto xcharset = word_field<uint8_t>("xcharset", TPARAM, 20);    // character set
inline constexpr auto xtextsize = word_field<uint8_t>("xtextsize", TPARAM, 21);  // points
inline constexpr auto xtextface = word_field<uint8_t>("xtextface", TPARAM, 22);  // face bits
inline constexpr auto xtext_drawmode = bit_field("xtext_drawmode", TPARAM, 23, 7, 6);  // 0 drawn, 1 in white, 2 not drawn
inline constexpr auto xkeep_hyphen = bit_field("xkeep_hyphen", TPARAM, 23, 5, 5);  // "Center Hyphens"
inline constexpr auto xkeep_underline = bit_field("xkeep_underline", TPARAM, 23, 4, 4);  // "Extend Underlines"
inline constexpr auto xno_size_adjust = bit_field("xno_size_adjust", TPARAM, 23, 3, 3);  // "Staff Size Adjust"
inline constexpr auto xpslayout = bit_field("xpslayout", TPARAM, 23, 2, 2);  // line layout of the printed text
inline constexpr auto xspec_underline = bit_field("xspec_underline", TPARAM, 23, 1, 1);  // "Flat Underlines"
inline constexpr auto xbackslash = bit_field("xbackslash", TPARAM, 23, 0, 0);
inline constexpr auto xjustified = bit_field("xjustified", TPARAM, 24, 7, 6);  // 0 left, 2 right, else centred
inline constexpr auto xpagemargin = bit_field("xpagemargin", TPARAM, 24, 5, 5);  // "Horizontal Lock"
inline constexpr auto xboxed = bit_field("xboxed", TPARAM, 24, 4, 4);  // "Boxed"
inline constexpr auto xleavespace = bit_field("xleavespace", TPARAM, 24, 3, 3);  // "Leave Space"
inline constexpr auto xfromstaff = bit_field("xfromstaff", TPARAM, 24, 2, 2);  // "Vertical Lock"
inline constexpr auto xadjacent = bit_field("xadjacent", TPARAM, 24, 1, 1);  // a further style run
inline constexpr auto xfing = bit_field("xfing", TPARAM, 25, 7, 7);          // "Fingering": one character a line
inline constexpr auto xhidden = bit_field("xhidden", TPARAM, 25, 5, 5);      // "Hidden"
inline constexpr auto xdefault = bit_field("xdefault", TPARAM, 25, 4, 4);    // model of its class
inline constexpr auto xfooter = bit_field("xfooter", TPARAM, 25, 1, 1);      // "Position Lock"
inline constexpr auto xignore = bit_field("xignore", TPARAM, 25, 0, 0);      // "Do Not Interpret"
inline constexpr auto xclassify = word_field<uint8_t>("xclassify", TPARAM, 31);  // annotation class 0..24
inline constexpr auto xtext_stsize = bit_field("xtext_stsize", TPARAM, 26, 7, 4);  // staff size of the text
inline constexpr auto xtext_color = bit_field("xtext_color", TPARAM, 26, 3, 0);  // colour index, 0 default
inline constexpr auto xeocord = word_field<uint8_t>("xeocord", TPARAM, 27);  // ordinal of the element replaced
inline constexpr auto xeocvar = word_field<uint8_t>("xeocvar", TPARAM, 28);  // its variety; 0 an ordinary text
inline constexpr auto xsuper = word_field<uint8_t>("xsuper", TPARAM, 29);    // superscript value
inline constexpr auto xexpand = word_field<int8_t>("xexpand", TPARAM, 30);   // character expansion
inline constexpr auto xrelativey = bit_field("xrelativey", TPARAM, 33, 7, 4);  // pending reference modes
inline constexpr auto xrelativex = bit_field("xrelativex", TPARAM, 33, 3, 0);
// Three packed numbers p, v and s: bits 0-6 p + 1, bits 7-11 v + 1, bits 12-15 s.
inline constexpr auto xstyle_reference = word_field<uint16_t>("xstyle_reference", TPARAM, 36);

// ---- TEXT: up to 21 characters of a style run's text and a NUL -------------------------
inline constexpr TextField xtext{"xtext", TEXT, 10, 22};
inline constexpr int TEXT_NODE_CHARS = 21;
// In a lyric's text, the elision of two syllables sung on one note ("glo‿ry"): drawn as a
// blank with a small tie under it.
inline constexpr char LYRIC_ELISION = '\x1F';

// ---- LINE: a line or curve annotation -------------------------------------------------
inline constexpr auto xstartx = word_field<int32_t>("xstartx", LINE, 10);  // start, from the reference point
inline constexpr auto xstarty = word_field<int32_t>("xstarty", LINE, 14);
inline constexpr auto xendx = word_field<int32_t>("xendx", LINE, 18);      // end, from the start
inline constexpr auto xendy = word_field<int32_t>("xendy", LINE, 22);
inline constexpr auto xdashlth = bit_field("xdashlth", LINE, 26, 7, 4);    // dash length; 0 solid
inline constexpr auto xgaplth = bit_field("xgaplth", LINE, 26, 3, 0);
inline constexpr auto xcurve = bit_field("xcurve", LINE, 27, 0, 0);        // a curve, not a line
inline constexpr auto xc1x = word_field<int32_t>("xc1x", LINE, 28);  // control points (a line's clip
inline constexpr auto xc1y = word_field<int32_t>("xc1y", LINE, 32);  // box), from the start
inline constexpr auto xc2x = word_field<int32_t>("xc2x", LINE, 36);
inline constexpr auto xc2y = word_field<int32_t>("xc2y", LINE, 40);
inline constexpr auto xline_rely = bit_field("xline_rely", LINE, 49, 7, 4);
inline constexpr auto xline_styleref = word_field<uint16_t>("xline_styleref", LINE, 50);  // as xstyle_reference
inline constexpr auto xfattermid = bit_field("xfattermid", LINE, 44, 7, 7);  // thicker in the middle
inline constexpr auto xline_fromstaff = bit_field("xline_fromstaff", LINE, 44, 6, 6);  // placed from the staff
inline constexpr auto xline_eachsys = bit_field("xline_eachsys", LINE, 44, 5, 5);      // "At Each System"
inline constexpr auto xline_eachpage = bit_field("xline_eachpage", LINE, 44, 4, 4);    // "On Each Page"
inline constexpr auto xline_everypart = bit_field("xline_everypart", LINE, 44, 3, 3);  // "In Every Context"
inline constexpr auto xline_drawmode = bit_field("xline_drawmode", LINE, 44, 2, 1);    // as xdrawmode
inline constexpr auto xline_pagemargin = bit_field("xline_pagemargin", LINE, 44, 0, 0);  // "Horizontal Lock"
inline constexpr auto xlinewidth = word_field<uint8_t>("xlinewidth", LINE, 45);        // line width
inline constexpr auto xline_ord = bit_field("xline_ord", LINE, 27, 7, 1);  // piece of a broken line
inline constexpr auto xmetaline = bit_field("xmetaline", LINE, 46, 7, 4);   // line kind
inline constexpr auto xline_eocvar = bit_field("xline_eocvar", LINE, 47, 6, 0);
inline constexpr auto xline_color = bit_field("xline_color", LINE, 46, 3, 0);  // colour index, 0 default
// clang-format on

// ---- Fields of the graphics elements (their meaning is the drawing's) ------------------------

inline constexpr int BICMODE = 1;  // the element erases what lies under it

inline constexpr int GANNO_BOTH = 1;         // on screen and in print
inline constexpr int GANNO_SCREEN_ONLY = 2;  // not printed, not in pictures
inline constexpr int GANNO_PRINT_ONLY = 3;   // not on screen

// x and y of a text that continues at the pen where the previous text ended.
inline constexpr int32_t ADJACENT_TEXT = -32768;
// The default clip box and hit box reach this far beyond an element's ends.
inline constexpr int32_t GE_BOX_MARGIN = 280;

constexpr Field<int> ge_flag_field(const char* name, int high, int low) {
  return Field<int>{{name, uint8_t(GE_CHAR), uint8_t(GE_LINE), 9, 1, uint8_t(low),
                     uint8_t(high - low + 1), false}};
}

// clang-format off
// ---- Flags of every graphics element (byte 9) ------------------------------------------
inline constexpr auto xdrawmode = ge_flag_field("drawmode", 7, 6);  // 0 normal, 1 BICMODE
inline constexpr auto xganno = ge_flag_field("GANNO", 5, 4);        // annotation class 0-3
inline constexpr auto xgremove = ge_flag_field("GREMOVE", 3, 3);    // removed: not drawn, not hit
inline constexpr auto xgscreen = ge_flag_field("GSCREEN", 2, 2);    // screen twin of the next element

// ---- NOTEPTR: the owner of the elements that follow --------------------------------------
inline constexpr LinkField xnoteptr{"xnoteptr", NOTEPTR, 10};

// ---- GE_CHAR: one character, or the attribute node that closes a text run ---------------
inline constexpr auto xgc_x = word_field<int32_t>("xgc_x", GE_CHAR, 10);
inline constexpr auto xgc_y = word_field<int32_t>("xgc_y", GE_CHAR, 14);
inline constexpr auto xgc_pstaff = word_field<int8_t>("xgc_pstaff", GE_CHAR, 18);
inline constexpr auto xgc_var = word_field<uint8_t>("xgc_var", GE_CHAR, 19);      // 4 and up, else 0
inline constexpr auto xgc_font = word_field<int16_t>("xgc_font", GE_CHAR, 20);    // a font number
inline constexpr auto xgc_size = word_field<uint8_t>("xgc_size", GE_CHAR, 23);    // points
inline constexpr auto xgc_char = word_field<int16_t>("xgc_char", GE_CHAR, 24);    // 0 in an attribute node
inline constexpr auto xgc_style = word_field<uint8_t>("xgc_style", GE_CHAR, 26);  // face bits

// ---- GE_LINE and GE_CURVE: the two ends ------------------------------------------------
inline constexpr auto xge_x1 = word_field<int32_t>("xge_x1", GE_LINE, 10, GE_CURVE);
inline constexpr auto xge_y1 = word_field<int32_t>("xge_y1", GE_LINE, 14, GE_CURVE);
inline constexpr auto xge_pstaff1 = word_field<int8_t>("xge_pstaff1", GE_LINE, 18, GE_CURVE);
inline constexpr auto xge_pstaff2 = word_field<int8_t>("xge_pstaff2", GE_LINE, 19, GE_CURVE);
inline constexpr auto xge_x2 = word_field<int32_t>("xge_x2", GE_LINE, 20, GE_CURVE);
inline constexpr auto xge_y2 = word_field<int32_t>("xge_y2", GE_LINE, 24, GE_CURVE);

// ---- GE_LINE: a straight line with its clip box ----------------------------------------
inline constexpr auto xgl_clipx1 = word_field<int32_t>("xgl_clipx1", GE_LINE, 28);
inline constexpr auto xgl_clipx2 = word_field<int32_t>("xgl_clipx2", GE_LINE, 36);
inline constexpr auto xgl_width = word_field<uint8_t>("xgl_width", GE_LINE, 44);  // layout units
inline constexpr auto xgl_var = word_field<uint8_t>("xgl_var", GE_LINE, 46);
inline constexpr auto xgl_dash = bit_field("xgl_dash", GE_LINE, 47, 7, 4);  // points; 0 solid
inline constexpr auto xgl_gap = bit_field("xgl_gap", GE_LINE, 47, 3, 0);

// ---- GE_CURVE: a cubic Bezier curve ----------------------------------------------------
inline constexpr auto xgv_c1x = word_field<int32_t>("xgv_c1x", GE_CURVE, 28);  // first control point
inline constexpr auto xgv_c1y = word_field<int32_t>("xgv_c1y", GE_CURVE, 32);
inline constexpr auto xgv_dash = bit_field("xgv_dash", GE_CURVE, 37, 7, 4);
inline constexpr auto xgv_c2x = word_field<int32_t>("xgv_c2x", GE_CURVE, 38);  // second control point
inline constexpr auto xgv_c2y = word_field<int32_t>("xgv_c2y", GE_CURVE, 42);
inline constexpr auto xgv_var = word_field<uint8_t>("xgv_var", GE_CURVE, 47);
// clang-format on

// ==== number_dialogs.cpp =========================================================================
// Ready-made dialogs that ask for one number or one choice.

// 1 with the value in *result when the user confirmed a value in low..high (a bad entry is
// refused with a message naming what is asked for, "Illegal <name>; ...", and asked again);
// 0 after Cancel, with *result BAD_LONG_ITEM.
int number_dialog_long(const char* prompt, int32_t initial, int32_t low, int32_t high,
                       int32_t* result, const char* name = "number");
// As above for real numbers; second, when not null, receives a number typed after a comma.
int number_dialog_double(const char* prompt, double initial, double low, double high,
                         double* result, double* second, const char* name = "number");

// ==== piece_format.cpp ===========================================================================
// The bytes of the piece file that reading and writing share: the format numbers and record sizes,
// the layout strings of the header records, the file handle with its big-endian helpers, header
// field I/O (do_io), the widening of records of old formats (expand_XYPOS_fields) and the
// conversion applied to every node record (convert_node_io).

// The bytes of a parameter's value in a PARAM node and in the file.
inline constexpr int PARAM_VALUE_SIZE = 14;

// ---- The open file --------------------------------------------------------------------------

// A piece file being read or written: an open descriptor with a buffer of its own, or bytes
// in memory (read only). Results are the operating system's result codes (0 success).
struct PieceFile {
  int fd = -1;                    // the open file; -1 for bytes in memory
  const uint8_t* data = nullptr;  // bytes in memory
  size_t size = 0;                // their count
  size_t position = 0;            // bytes consumed (reading) or accepted (writing) so far
  bool writing = false;
  std::vector<uint8_t> buffer;  // read ahead or waiting to be written
  size_t buffer_start = 0;      // next unread byte of the buffer
  size_t buffer_end = 0;        // bytes in the buffer
};

// Opens a file to read (flags of open(2): O_RDONLY or O_RDWR); the result code. Anything but a
// regular file (a folder, a named pipe, a device) is refused with RESULT_BAD_NAME and errno
// EINVAL, without waiting for a pipe's writer.
int16_t piece_file_open(PieceFile* file, const char* path, int flags);
// Flushes a file being written, then closes it; the first failure's result code.
int16_t piece_file_close(PieceFile* file);

// ---- Big-endian numbers ---------------------------------------------------------------------

int16_t get_be16(const uint8_t* p);
int32_t get_be32(const uint8_t* p);
void put_be16(uint8_t* p, int16_t v);
void put_be32(uint8_t* p, int32_t v);

// ==== options.cpp ================================================================================
// Reading and writing the fields of a notation context's options record (options_struct), which is
// kept big-endian as the piece file holds it.

// Offsets of the fields the program reads by name.
inline constexpr int OPTIONS_PAGE_WIDTH = 0;         // x
inline constexpr int OPTIONS_PAGE_HEIGHT = 4;        // x
inline constexpr int OPTIONS_NOTE_SPACING = 18;      // float: 1 minus the spacing factor typed
inline constexpr int OPTIONS_PIANO_ROLL_HEADS = 66;  // i16: piano-roll note heads may be used
inline constexpr int OPTIONS_TITLE = 68;             // i16: the page title names the piece's file
inline constexpr int OPTIONS_CLUSTER_REST = 72;      // i16: three adjacent keys played enter a rest
inline constexpr int OPTIONS_DISPLAY = 76;           // u8: how the page is shown
inline constexpr int OPTIONS_CONTEXT_EDIT_LOCK =
    84;  // i16: context_edit_lock, its notes cannot change
inline constexpr int OPTIONS_MIN_LINE_WIDTH = 86;  // i16
inline constexpr int OPTIONS_SCALE = 96;           // float: the view's zoom (10.0 standard)
inline constexpr int OPTIONS_PUBLISHED = 100;      // i16: non-zero in a published piece

// Fields of the options record of a notation context (1..MAX_NCONTEXTS) or of record 0, the
// scratch copy the Layout and Options dialogs edit. Any other context, or a field past the
// record, is reported (level 4); a read then gives the field of a new piece's record (0 past
// the record), a write changes nothing.
int16_t options_i16(int context, int offset);
void set_options_i16(int context, int offset, int16_t value);
int32_t options_i32(int context, int offset);
void set_options_i32(int context, int offset, int32_t value);
float options_float(int context, int offset);
void set_options_float(int context, int offset, float value);

// The current notation context's minimum line width.
int32_t current_min_line_width();

// ==== page_systems.cpp ===========================================================================
// Systems and pages of the voice lists: voice cursors at a system or at a time, counting systems on
// a page, first and last tests, and a node's pstaff.

int voices_to_system(int n, int from_page);
int voices_to_system_at_time(int32_t t, int keep, int page_limit);
int32_t system_number_on_page(Drosa node, int on_page);
int check_first_note_of_voice_on_page(Drosa node);
int check_last_note_of_voice_on_page(Drosa node);
int last_system_of_page(Drosa node);
int first_system_of_page(Drosa node);
int32_t Find_pstaff(Drosa note, int partial);
int32_t pstaff_of_node(Drosa node);
int32_t goto_page_position(Drosa node);

// ==== parts_voices.cpp ===========================================================================
// Parts and the voices that make them up: creating a voice from another, removing a voice, the part
// and voice commands of the Parts and Voices dialog, and the small name and list routines the
// dialogs, the layout and the interchange code use.

// ---- VOICES: one staff of the Parts and Voices dialog's staff list (run time only) ------------

inline constexpr int PART_NAME_MAX = 15;               // characters of a part name
inline constexpr int STAFF_RECORD_VOICES = 15;         // entries one staff record holds
inline constexpr uint8_t STAFF_VOICE_NUMBER = 0x3F;    // bits of an entry: the voice number
inline constexpr uint8_t STAFF_VOICE_STEMS_UP = 0x40;  // bit of an entry: its stems go up
// clang-format off
inline constexpr auto xstaffrec_size = word_field<uint8_t>("xstaffrec_size", VOICES, 10);    // staff size, 50 normal
inline constexpr auto xstaffrec_lines = word_field<int8_t>("xstaffrec_lines", VOICES, 11);   // staff lines
inline constexpr auto xstaffrec_count = word_field<int8_t>("xstaffrec_count", VOICES, 12);   // voices on the staff
inline constexpr ArrayField<uint8_t> xstaffrec_voice{"xstaffrec_voice", VOICES, 13, STAFF_RECORD_VOICES};
inline constexpr auto xstaffrec_tablature = word_field<int8_t>("xstaffrec_tablature", VOICES, 28);  // 0 none
inline constexpr auto xstaffrec_printed = word_field<uint8_t>("xstaffrec_printed", VOICES, 29);  // the staff prints
inline constexpr auto xstaffrec_by_voice = word_field<uint8_t>("xstaffrec_by_voice", VOICES, 30);  // stems set per voice
// clang-format on

// ---- Commands of the Parts and Voices dialog: 1 when done, 0 when refused or cancelled --------

int create_new_part(Drosa staff);
int rename_part(Drosa staff);
int delete_part(Drosa staff, int* was_printing);
int start_additional_voice(Drosa staff);
int end_voice(Drosa staff, int* was_printing);

// ---- Lists of a staff record ------------------------------------------------------------------

// Display names, last entry first, of the staff's voices whose part has more than one voice on
// the staff.
std::vector<std::string> part_names_reverse_list(Drosa staff);
// The choices of "Start Additional Voice:": per part of the staff, its voices on no staff of the
// list, then a new voice of the part (while voices may be added here).
std::vector<std::string> voice_names_of_staff_list(Drosa staff);

// ---- Part names ---------------------------------------------------------------------------------

// The part name of voice v ("" when it has none).
std::string voice_part_name(int v);
int voice_part_is(int v, const char* name);
// Lists the first voice of every part (with all_voices false: only parts shown in the current
// context, that is with a PRINT before their first note) into part_first_voices.
void list_part_first_voices(bool all_voices);
// 1 when s has at most 15 characters, an ASCII letter and no '-'.
int valid_part_name(const char* s);
int voice_number_in_part(int v);  // xvoiceOnPart of voice v
int voices_same_part(int a, int b);
int names_equal16(const char* a, const char* b);
int max_voice_number_like(int v);

// ---- Display names of voices --------------------------------------------------------------------

// The part name for the only voice of a part, else "name-n" with n = xvoiceOnPart + 1.
std::string voice_display_name(int v);

// ==== readvesk.cpp ===============================================================================
// Reading a piece file into the piece globals and one voice list per voice, accepting every format
// from 318 through 347, and setting up the default piece and the lists of a new piece.

struct ViewData;  // the saved piece state of a view, shared by the views of one file

// ---- Reading a piece --------------------------------------------------------------------------

// read_piece: reads the file named by piece_fsspec, and makes the view's page image after its
// header. A file that cannot be opened for writing opens as an untitled copy (":from: " and
// its name). With `shared` (the ViewData of another view of the same file) only the header is
// read: the piece is that view's, whose voice lists both views then edit.
// Reads:  piece_fsspec, the node store's free room, the modifier keys (Shift or Option lets a
//         damaged file be read up to the damage), quiet_convert_flag, *shared.
// Writes: every piece global (voice_count, piece_start, contexts, their records, perf_defaults,
//         requested_page, DrosaDirty), piece_fsspec for an untitled copy, the parameter table,
//         the page image, the window title.
// Failure: the file's or the format's message; 0, with no voice list left and voice_count 0
//          (a shared piece is let go of, never freed).
int read_piece(ViewData* shared);
// The same from bytes in memory, without a page image, for tests and fuzzing.
int read_piece_from_memory(const uint8_t* data, size_t size);

// read_header: sets up the default piece; then, for a file, reads its header; then makes the
// view's page image for the current context (offscreen_create). Returns 0 on failure (also
// when the page image cannot be made), -1 when the stored page number is negative, else 1.
// file nullptr: a new piece.
int read_header(PieceFile* file);

// make_empty_voice: the list of voice v of a new piece: head ENDSYST, VINFO, PRINT, CLEF,
// KEYSIG, final ENDSYST. Returns the KEYSIG.
Drosa make_empty_voice(int v, int separate_parts);

// first_inconsistent_bar: the bar number at which the shown voices first disagree, or -1: at
// the first note of each measure of the first shown voice, some shown voice has no chord at
// that note's system and time, or a later one has no bar line before its chord there. One
// pass over each voice.
// Reads:  the voice lists, the current notation context. Writes: nothing.
int first_inconsistent_bar();

// Frees every voice list and sets voice_count to 0; the free nodes are put back in order
// (order_free_nodes), so that the next piece's lists lie as a first piece's do.
void discard_piece_lists();

// ==== replace.cpp ================================================================================
// The primitives through which editing changes the notes of a voice in time: replacing a stretch,
// turning it into rests, filling a gap of time with rests, inserting a note or chord at the
// insertion point, and deleting notes so that rests keep their time. Every change is recorded for
// undo.

// A kind of rest: the note value to start from, the tuplet and its NEST multipliers.
struct RestKind {
  int32_t value;
  int32_t tupl;
  int32_t intimeof;
  int32_t nest_tupl;
  int32_t nest_intimeof;
};
inline constexpr RestKind PLAIN_REST_KIND = {1, 1, 4, 1, 4};

// Appends rests filling `gap` after *tail (advanced to each new rest); 0 when no value fits.
// With document_gap the gap is one an imported document leaves in a voice: the rests are
// hidden, a gap that no value divides takes the longest plain rest that fits, and a rest too
// short to make ends the filling without a message (the rests made stay).
int make_fill_rests(int32_t gap, int32_t position, Drosa* tail, const RestKind* kinds, int count,
                    int document_gap = 0);
// The plain values (1 a whole to 8 a 128th) make_fill_rests fills a document's gap of `gap`
// with from `position`, in order; empty when the rests would not fill it. Changes no list: it
// takes two nodes of the store for the while and gives them back.
std::vector<int> document_gap_rest_values(int32_t gap, int32_t position);
void restify(Drosa old_start, Drosa old_end, int32_t duration, int adjust_acc);
int insert_note(Drosa first, Drosa last, int add_to_chord, int perf_mode, int keep_view, int report,
                int nachschlag_after);
void delete_to_rests(Drosa note, int no_rests, int adjust_acc);
void measure_keeps_a_note(Drosa node);

// ==== staffops.cpp ===============================================================================
// Staff chords: the notes of one pstaff and layer that stand at one time position, linked through
// their NTDATA records into the print chain of that staff.

// ---- Walking a print chain -------------------------------------------------------------------

// The NTDATA right after a note (a chain head too), as the current context sees it; NIL for
// anything that is not a NOTE and for a note the layout has not formatted. The layout links a
// note's NTDATA straight after it, so this is what find_next_kind_before_note(NTDATA, note)
// finds, without walking on past a note that has none.
inline Drosa note_ntdata(Drosa note) {
  if (!note) return Drosa();
  const DrosaNode& n = *note;
  if (n.xkind != NOTE || !n.xnext) return Drosa();
  const DrosaNode& nt = *n.xnext;
  const int kind = nt.xcontext == 0 ? nt.xkind : effective_kind_in_context(n.xnext);
  return kind == NTDATA ? n.xnext : Drosa();
}
// The next and the previous note of a note's print chain; NIL at its ends or without NTDATA.
Drosa chain_next(Drosa note);
Drosa chain_prev(Drosa note);
// The notes of the staff chord that begins with `first`, in chain order.
std::vector<Drosa> staff_chord_notes(Drosa first);
// The same into `notes`, whose room a walk over many chords keeps from chord to chord.
void staff_chord_notes(Drosa first, std::vector<Drosa>& notes);
// The CDDATA and CDDATA2 that follow the NTDATA of a staff chord's last note; NIL when they
// are not there.
Drosa last_note_cddata(Drosa last);
Drosa last_note_cddata2(Drosa last);

// ---- Staff chords ------------------------------------------------------------------------------

Drosa chord_first_note(Drosa node);
Drosa chord_last_note(Drosa node);
void chord_extent(Drosa node, Drosa* first, Drosa* last);
void stem_group_bounds(Drosa note, Drosa* first, Drosa* last);
Drosa stem_group_extreme(Drosa note, int* cue_out);
// The CDDATA of the staff chord of a visible note; NIL (reported unless quiet) otherwise.
Drosa cddatptr(Drosa note, int quiet);
Drosa layer_first(Drosa node);
Drosa layer_last(Drosa node);
void insertstf(Drosa note, Drosa place);
// Takes a note out of its staff chord and print chain; returns its NTDATA.
Drosa removestf(Drosa note);
Drosa beam_next(Drosa note, int* hand_out);
int precedingLHRH(Drosa first, Drosa last, Drosa* print_out);
int followingLHRH(Drosa first, Drosa last);
inline constexpr int ALL_VOICES = -100;
Drosa search_staff_chord(int kind, Drosa first, Drosa last, int voice);

// ==== undo.cpp ===================================================================================
// The undo and redo histories: every change to a voice list goes through the three recording
// primitives (insert a chain after a node, remove a chain, modify a node in place); commands are
// separated by MARK nodes.

inline constexpr LinkField xundo_prev{"xundo_prev", UNDO, 10};  // where, or the node modified

// Starts a step on the current list (when it is not empty, or always with force).
void set_undo_mark(int force);

// Links first..last (last NIL: to the chain's end) after anchor and records it; the UNDO.
Drosa insertvc_with_undo(Drosa first, Drosa last, Drosa anchor);
Drosa insertvc_node_with_undo(Drosa node, Drosa anchor);
// Inserts copies of source..stop after anchor as one record; returns the last copy.
Drosa insertvc_list_with_undo(Drosa source, Drosa stop, Drosa anchor);
// Unlinks first..last and records it.
void removevc_list_with_undo(Drosa first, Drosa last);
void removevc_with_undo(Drosa node);
// Records the node as it is now; the caller then changes it in place.
void modifyvc_with_undo(Drosa node);

void drop_last_mark();
// Empties the redo list, and the undo list too when also_undo.
void clear_undo(int also_undo);
// Undo (undo non-zero) or Redo of the newest step.
void undo_redo(int undo);

// Nodes on a history list (0 undo, 1 redo); steps on it.
int32_t undo_list_length(int list);
// MARKs made on a history list less those dropped again (drop_last_mark): a MARK met at the
// place of one seen earlier is that one when no MARK was made since.
uint64_t undo_marks_made(int list);

// ==== views.cpp ==================================================================================
// The views: up to twenty music windows, each showing a piece, which take turns at holding the
// program-wide globals. The piece state of an open file (ViewData) is shared by all views of that
// file; each view also keeps the state of its own window.

struct Port;
struct ViewWindowState;  // a view's window state while another view is current (views.cpp)

// The saved piece state of one open file, shared by every view of that file.
struct ViewData {
  std::string fsspec;  // the file's path; a name beginning with ':' is untitled
  uint8_t DrosaDirty = 0;
  int16_t requested_page = 0;
  uint8_t perf_defaults[PERF_DEFAULTS_SIZE] = {};
  uint8_t print_record[MAX_NCONTEXTS + 1][PRINT_RECORD_SIZE] = {};
  int16_t voice_count = 0;
  int16_t ncontext_count = 0;
  Drosa piece_start[MAX_VOICES];
  uint8_t options_struct[MAX_NCONTEXTS + 1][OPTIONS_SIZE] = {};
  char ncontext_name[MAX_NCONTEXTS + 1][NCONTEXT_NAME_SIZE] = {};
};

// ---- Globals of the views -----------------------------------------------------------------

extern int32_t current_view_index;  // slot of the current view; -1 none

// Frees every view's records (parked page images included) and frees every slot; the node
// store is left alone. For the tests.
void reset_views_globals();

// ---- Slots --------------------------------------------------------------------------------

// clear_view_array: every slot free. Called once at start-up.
void clear_view_array();
// Slots in use.
int count_open_views();
// The used slot made current last; -1 when none.
int most_recent_view();
// The slot of the view shown in a window: the current view's for the current music window,
// else the parked view whose window it is; -1 when none.
int view_index_of_window(const Port* window);
// The ViewData of another used view whose file is the current file specification (the whole
// path is compared); nullptr when there is none.
// Reads: piece_fsspec, current_view_index, view_array.
ViewData* find_view_same_piece();

// ---- Opening, switching, closing ------------------------------------------------------------

// open_view: opens a view of the file named by piece_fsspec in a free slot and makes it
// current: mode 0 a new piece, 1 the piece read from the file (sharing the piece of a view of
// the same file that is open already), 2 an imported MusicXML document; `file` goes to the
// header reader for modes 0 and 2 (nullptr: no file). 1 when the view holds its piece. The
// current view must have been left first.
// Writes: every global of the piece and of the window; view_array, current_view_index.
// Failure: level 2 "You cannot open so many windows!" and level 4 "Bad current_view_index
//          when calling open_view" while a view is current (nothing changes); the failure of
//          opening the piece, after which the slot is free again, nothing of the piece is
//          kept and there is no current view; 0.
int open_view(int mode, PieceFile* file);

// leave_view: parks the current view: its piece state into its ViewData, its window state into
// its record, the layout records of its page into NTVIEW and PVIEW copies; the undo history
// is cleared and the other views of the piece learn of its changes. No view is current after.
// Writes: view_array, the voice lists (layout records), the undo lists, the globals as
//         indicate_no_current_view. Failure: 0 when its records cannot be allocated (the
//         view stays current, nothing changed); level 4 "Bad current_view_index when calling
//         leave_view" with no current view.
int leave_view();

// copy_from_VIEW_nodes: makes the parked view of `slot` current again (slot -1: empties the
// file name only): restores its globals, finds its page again, turns its copies back into
// layout records, formats the page (prepared anew when another page was formatted last) and
// puts the insertion point on the drawn note nearest to where it stood.
// Failure: level 4 "Pre-existing NTDATA on voice %hd in copy_from_VIEW_nodes!", "Pre-existing
//          PDATA on voice %hd in copy_from_VIEW_nodes!", "Voice %hd has an orphaned PVIEW
//          node! ptr=%lx", "Voice %hd has a PVIEW node (%lx) before %s (%lx)!" (the copy is
//          deleted), "Bad view %hd in copy_from_VIEW_nodes!" for a slot that is not parked
//          or while another view is current (nothing changes).
void copy_from_VIEW_nodes(int slot);

// close_view: closes the current view, with `ask` asking to save a changed piece first. The
// last view of a file discards the piece; otherwise the piece stays with the other views.
// Runs the node store's leak check when no view is left. 0 when the user cancelled.
int close_view(int ask);

// renumber_view_contexts: after the current piece's notation contexts were deleted or moved,
// every other view of the piece shows its context under the number `map` gives it (a context
// that no longer exists maps to the Score, 1), its annotation templates take that number, and
// it is formatted anew when it comes back.
// Reads: piece_fsspec, ncontext_count, view_array. Writes: the other views' window records.
void renumber_view_contexts(int (*map)(int context, int from, int to), int from, int to);

// ---- Per-view copies ---------------------------------------------------------------------------

// Whether the node is an NTVIEW or PVIEW of the current view.
bool is_current_view_copy(Drosa node);

// ==== voice_chords.cpp ===========================================================================
// Vertical chords: runs of adjacent NOTE nodes of one voice that sound together, the last of them
// marked xendvcd; and the ends of a voice's system.

// From the node forward, itself included, the first NOTE with xendvcd.
Drosa chord_end_note(Drosa node);
// The first note of the vertical chord the node belongs to.
Drosa vchord_first_note(Drosa node);
// First and last note of the vertical chord, and as result the shortest duration of its
// notes (whole-measure rests by their own value; 2100000000 when there is none).
int32_t vchord_bounds(Drosa node, Drosa* first, Drosa* last);

// ==== voice_lists.cpp ============================================================================
// Voice lists as the current notation context sees them: the walks that find nodes forward and
// backward, the link primitives, and small predicates on nodes and voices.

// ---- Search walks (kinds are compared as each node's effective kind) -------------------

// Backward; gives up at a visible ENDSYST that starts the piece, or the list's start.
Drosa find_prev_kind(int kind, Drosa node);
// Backward; also gives up at a node of kind stop1 or stop2.
Drosa find_prev_kind_until(int kind, Drosa node, int stop1, int stop2);
// Backward by xkind, seeing every context; gives up at the list's start.
Drosa find_prev_kind_raw(int kind, Drosa node);
// Forward to the list's end.
Drosa find_next_kind(int kind, Drosa node);
// Forward; also gives up at a node of kind stop1 or stop2.
Drosa find_next_kind_until(int kind, Drosa node, int stop1, int stop2);
// Backward among the nodes attached before a note: stops at any NOTE, a visible ENDSYST, a
// node of kind stop, or the list's start. `_stop` gives the match farthest back, `_stop_2`
// the nearest.
Drosa find_prev_kind_stop(int kind, Drosa node, int stop);
Drosa find_prev_kind_stop_2(int kind, Drosa node, int stop);
// Forward to the next NOTE or visible ENDSYST (how a note's NTDATA is found).
Drosa find_next_kind_before_note(int kind, Drosa node);

// ---- Linking -----------------------------------------------------------------------------

// Puts node between anchor and its successor.
void link_after(Drosa node, Drosa anchor);
// Puts the chain first..last (last NIL: to the chain's end) after anchor; returns first.
Drosa link_chain_after(Drosa first, Drosa last, Drosa anchor);
// Unlinks one node and returns it to the store; a chord's last note hands xendvcd to the
// note before it.
void destroy_node(Drosa node);
// Copies source..stop (stop NIL: to the chain's end) into a new chain linked to nothing;
// returns its first node (NIL for a NIL source) and its last through *last.
Drosa copy_detached_chain(Drosa source, Drosa stop, Drosa* last);
// destroy_node on first..last (last NIL: to the list's end).
void destroy_chain(Drosa first, Drosa last);

// ---- Predicates and small routines -------------------------------------------------------

int is_NOTE(Drosa node);
// 1 when the node's kind is in a set of run-time kinds (subsets 1000 to 1004).
int temp_node(Drosa node, int subset);
int is_visible_note(Drosa node);
int is_plotted_note(Drosa node);
int voice_not_shown(int v);
int voice_list_empty(int v);
// Clears the layer chain heads of every pstaff and returns their nodes to the store.
void destroy_pstaff_lists();
const char* ncontext_name_of(int n);

// ==== writevesk.cpp ==============================================================================
// Writing the current piece to its file, and the save commands.

// write_piece_file: writes the piece into the file at `fsspec`: the header, then every stored
// node of every voice, then, when `with_graphics`, the published variant's run of graphics
// elements from `graphics_chain` (NIL: none). A symbolic link is followed to the file it
// names. The file is written beside the old one (unnamed where the file system allows, else
// under a hidden name), flushed, given the old file's permissions and then its name, so a
// failure leaves the old file as it was; hidden files that killed saves of the same file left
// are removed first.
// Reads:  every piece global. Writes: the font table (write_font_table), perf_defaults'
//         platform bytes, requested_page.
// Failure: a file the user may not write is refused before anything is written; the system's
//          text through report_file_error, or the page size that no file holds
//          (check_page_size_to_save); 0.
int write_piece_file(int with_graphics, Drosa graphics_chain, const std::string& fsspec);

// save_piece: saves the current piece into the file named by *fsspec, running the save dialog
// when asked, when the piece has no file yet, or when it was converted from a newer format.
// `with_graphics` writes the published variant, `published` marks the saved piece published.
// Returns 1 when the file was written, 0 when the user cancelled or writing failed; a page
// size that no file holds is reported before any dialog, and nothing is written.
// Writes: *fsspec (the name chosen, only when the file was written); when fsspec is
//         piece_fsspec itself (the piece's own file), DrosaDirty and the published flag.
int save_piece(int ask_name, int with_graphics, int published, std::string* fsspec);

// 1 when the file specification names no file of its own yet (its name begins with ':').
int is_untitled_file(const std::string& fsspec);
// untitled_file_name: the file proposed for a piece that has no file of its own yet: for a
// ":from: name" copy the document's name with the piece extension in place of its own (the
// document itself is no piece), else "New Piece.vesk" ("New Piece 2.vesk" and so on for
// ":New Piece:2"), in the same folder; a piece's own file stays as it is.
std::string untitled_file_name(const std::string& fsspec);
