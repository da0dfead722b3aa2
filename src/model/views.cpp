// views.cpp: the views: up to twenty music windows, each showing a piece, which take turns at
// holding the program-wide globals.
//
// The program edits one piece at a time through its globals. When another view becomes
// current, the current one is parked: the globals of its piece go into the ViewData of its
// file (shared by every view of that file, so that all of them edit the same voice lists), the
// globals of its window into its window-state record, and the layout records of the page it
// shows into per-view copies in the voice lists (an NTVIEW in place of each NTDATA, a PVIEW
// before each annotation), marked with the view's slot so that several views of one piece
// keep theirs side by side. Making a view current again reverses all three.
//
// Design notes:
//  - Views share a piece by holding the same ViewData; a piece is discarded only when the last
//    view holding its ViewData goes. Only a piece read from its file is shared (with another
//    view of the same path): a new or imported piece always has a piece of its own.
//  - A parked view's page may have changed meanwhile (another view of the piece edited it), and
//    chord records are not parked; so a view that comes back always finds its page again and
//    has it formatted before anything reads the page.
//  - A parked view keeps its page image and graphics lists; view_graphics[] points at them so
//    that the window can be copied from them while the view is not current.
#include "model/views.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "model/change_flags.h"
#include "model/drosa.h"
#include "model/file_errors.h"
#include "model/kept_pages.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/openpiece.h"
#include "model/undo.h"
#include "model/voice_lists.h"
#include "model/writevesk.h"
#include "platform/memory.h"
#include "platform/ticks.h"

// ---- Globals of the views -----------------------------------------------------------------

ViewSlot view_array[MAX_VIEWS];
int32_t current_view_index = -1;

// The state of a view's window, kept while another view is current.
struct ViewWindowState {
  // What the subsystems above the model keep of the window (model_hooks.new_frame_state):
  // its page image and graphics lists, selection, mode, page index and parameter lists.
  ViewFrameState* frame = nullptr;
  Drosa insertion_point;
  PagePoint insertion_point_pos;
  int insertion_point_flashing = 0;
  int32_t current_page = 1;
  // The permanent template nodes NOTE, TPARAM, LINE, PRINT and BEAMING, from the kind byte on.
  uint8_t templates[5][DROSA_NODE_SIZE - 8] = {};
  int32_t pstaff_count = 0;
  StaffData staff_data[MAX_PSTAVES];
  VoiceData voice_data[64];
  int32_t last_formatted_page = -500;
  int reformat_pending = 0;  // set: the piece changed in another view; reformat on return
  int16_t current_ncontext = 1;
  Drosa page_start[MAX_VOICES];
};

namespace {

constexpr int TEMPLATE_BYTES = DROSA_NODE_SIZE - 8;

Drosa* template_nodes[5] = {&current_note_template, &text_template, &line_template, &print_template,
                            &beaming_head};

bool slot_valid(int slot) { return slot >= 0 && slot < MAX_VIEWS; }
bool slot_used(int slot) { return slot_valid(slot) && view_array[slot].last_activation != -1; }
int32_t tick_now() { return int32_t(platform_ticks() & 0x7FFFFFFF); }

// Records from the system allocator, so that running out of memory is a failure to report.
template <typename T>
T* allocate_record() {
  void* memory = platform_allocate(long(sizeof(T)));
  return memory ? new (memory) T() : nullptr;
}

template <typename T>
void free_record(T* record) {
  if (!record) return;
  record->~T();
  platform_release(record);
}

// A window record with the record of the subsystems above the model in it; nullptr when
// either cannot be allocated.
ViewWindowState* allocate_window_record() {
  ViewWindowState* window = allocate_record<ViewWindowState>();
  if (!window) return nullptr;
  window->frame = model_hooks.new_frame_state();
  if (window->frame) return window;
  free_record(window);
  return nullptr;
}

void free_window_record(ViewWindowState* window) {
  if (window) model_hooks.free_frame_state(window->frame);
  free_record(window);
}

// While one is alive, the piano palette is drawn once at its end however often it is asked for.
struct PaletteHeldBack {
  PaletteHeldBack() { model_hooks.hold_palette_draws(true); }
  ~PaletteHeldBack() { model_hooks.hold_palette_draws(false); }
  PaletteHeldBack(const PaletteHeldBack&) = delete;
  PaletteHeldBack& operator=(const PaletteHeldBack&) = delete;
};

// ---- Piece and window state ---------------------------------------------------------------

void save_view_data(ViewData* d) {
  d->fsspec = piece_fsspec;
  d->DrosaDirty = DrosaDirty;
  d->requested_page = requested_page;
  std::memcpy(d->perf_defaults, perf_defaults, sizeof perf_defaults);
  std::memcpy(d->print_record, print_record, sizeof print_record);
  d->voice_count = voice_count;
  d->ncontext_count = ncontext_count;
  std::copy(piece_start, piece_start + MAX_VOICES, d->piece_start);
  std::memcpy(d->options_struct, options_struct, sizeof options_struct);
  std::memcpy(d->ncontext_name, ncontext_name, sizeof ncontext_name);
}

// Also parks the state of the subsystems above the model, whose page image and graphics lists
// the window of the parked view `slot` is then copied from.
void save_window_state(ViewWindowState* w, int slot) {
  model_hooks.park_frame_state(w->frame, slot);
  w->insertion_point = insertion_point;
  w->insertion_point_pos = insertion_point_pos;
  w->insertion_point_flashing = insertion_point_flashing;
  w->current_page = current_page;
  for (int i = 0; i < 5; ++i)
    if (*template_nodes[i])
      std::memcpy(w->templates[i], (*template_nodes[i])->bytes() + 8, TEMPLATE_BYTES);
  w->pstaff_count = pstaff_count;
  std::copy(staff_data, staff_data + MAX_PSTAVES, w->staff_data);
  std::copy(voice_data, voice_data + 64, w->voice_data);
  w->last_formatted_page = last_formatted_page;
  w->reformat_pending = reformat_pending;
  w->current_ncontext = current_ncontext;
  std::copy(page_start, page_start + MAX_VOICES, w->page_start);
}

void restore_window_state(const ViewWindowState& w) {
  model_hooks.restore_frame_state(w.frame);
  insertion_point = w.insertion_point;
  insertion_point_pos = w.insertion_point_pos;
  insertion_point_flashing = w.insertion_point_flashing;
  current_page = w.current_page;
  for (int i = 0; i < 5; ++i)
    if (*template_nodes[i])
      std::memcpy((*template_nodes[i])->bytes() + 8, w.templates[i], TEMPLATE_BYTES);
  pstaff_count = w.pstaff_count;
  std::copy(w.staff_data, w.staff_data + MAX_PSTAVES, staff_data);
  std::copy(w.voice_data, w.voice_data + 64, voice_data);
  last_formatted_page = w.last_formatted_page;
  reformat_pending = w.reformat_pending;
  current_ncontext = w.current_ncontext;
  std::copy(w.page_start, w.page_start + MAX_VOICES, page_start);
}

// ---- Per-view copies of the layout records ---------------------------------------------------

bool is_page_end(Drosa node) { return effective_kind(node) == ENDSYST && node->get(xendpage) != 0; }

int shown_voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

// The NTDATA becomes an NTVIEW of the slot in its place; returns the NTVIEW.
Drosa park_ntdata(Drosa nt, int slot, Drosa bar) {
  Drosa copy = newDrosa(NTVIEW, 0);
  copy->set(xntview, int16_t(slot));
  std::memcpy(copy->bytes() + VIEW_COPY_AT, nt->bytes() + DROSA_PAYLOAD_OFFSET, NTVIEW_COPY_BYTES);
  // The print chains are built anew by every format: their links are not kept.
  for (const LinkField* link : {&xpback, &xpnext})
    std::memset(copy->bytes() + VIEW_COPY_AT + (link->offset - DROSA_PAYLOAD_OFFSET), 0, 4);
  copy->set(xvbarx, bar ? bar->get(xscrbarx) : NOT_DRAWN);
  link_after(copy, nt);
  destroy_node(nt);
  return copy;
}

// The PDATA after an annotation head becomes a PVIEW of the slot just before the head.
void park_pdata(Drosa pd, int slot) {
  Drosa copy = newDrosa(PVIEW, 0);
  copy->set(xpview, int16_t(slot));
  std::memcpy(copy->bytes() + VIEW_COPY_AT, pd->bytes() + DROSA_PAYLOAD_OFFSET, PVIEW_COPY_BYTES);
  link_after(copy, pd->xback->xback);
  destroy_node(pd);
}

int copy_slot(Drosa node) {
  if (node->xkind == NTVIEW) return node->get(xntview);
  if (node->xkind == PVIEW) return node->get(xpview);
  return -1;
}

// Parks the layout records of the current page of voice v for the slot: its own old copies
// go, each NTDATA and PDATA becomes a copy, chord records are dropped.
void park_voice(int v, int slot) {
  Drosa bar = NIL;  // the BAR that starts the measure being walked, in its system
  for (Drosa p = page_start[v]->xnext; p && !is_page_end(p);) {
    Drosa next = p->xnext;
    const int seen = effective_kind(p);
    if (seen == ENDSYST) bar = NIL;
    if (seen == BAR) bar = p;
    switch (p->xkind) {
      case NTVIEW:
      case PVIEW:
        if (copy_slot(p) == slot) destroy_node(p);
        break;
      case NTDATA:
        if (p->xback && p->xback->xkind == NOTE)
          next = park_ntdata(p, slot, bar)->xnext;
        else
          destroy_node(p);
        break;
      case PDATA:
        if (p->xback && (p->xback->xkind == TPARAM || p->xback->xkind == LINE))
          park_pdata(p, slot);
        else
          destroy_node(p);
        break;
      case CDDATA:
      case CDDATA2:
      case CDDATA3:
        destroy_node(p);
        break;
      default:
        break;
    }
    p = next;
  }
}

// The NOTE whose layout records the node stands among; NIL when there is none.
Drosa owner_note(Drosa node) {
  for (Drosa p = node->xback; p; p = p->xback) {
    if (p->xkind == NOTE) return p;
    const int k = p->xkind;
    if (k != NTDATA && k != CDDATA && k != CDDATA2 && k != CDDATA3 && k != NTVIEW) return NIL;
  }
  return NIL;
}

// An NTVIEW of this view becomes the NTDATA after its note again.
void unpark_ntview(Drosa copy, Drosa bar) {
  Drosa note = owner_note(copy);
  if (note) {
    Drosa nt = note->xnext;
    if (nt->xkind != NTDATA) {
      nt = newDrosa(NTDATA, 0);
      link_after(nt, note);
    }
    std::memcpy(nt->bytes() + DROSA_PAYLOAD_OFFSET, copy->bytes() + VIEW_COPY_AT,
                NTVIEW_COPY_BYTES);
    if (bar && copy->get(xvbarx) != NOT_DRAWN) bar->set(xscrbarx, copy->get(xvbarx));
  }
  destroy_node(copy);
}

// A PVIEW of this view becomes the PDATA after its annotation's head again; returns the node
// to go on from (after that PDATA).
Drosa unpark_pview(int v, Drosa copy) {
  Drosa head = copy->xnext;
  while (head && head->xkind == PVIEW) head = head->xnext;
  Drosa next = copy->xnext;
  if (!head) {
    REPORT_ERROR(4, "Voice %hd has an orphaned PVIEW node! ptr=%lx", short(v),
                 static_cast<unsigned long>(copy.handle()));
  } else if (head->xkind != TPARAM && head->xkind != LINE) {
    REPORT_ERROR(4, "Voice %hd has a PVIEW node (%lx) before %s (%lx)!", short(v),
                 static_cast<unsigned long>(copy.handle()), node_kind_name(head),
                 static_cast<unsigned long>(head.handle()));
  } else {
    Drosa pd = head->xnext;
    if (!pd || pd->xkind != PDATA) {
      pd = newDrosa(PDATA, 0);
      link_after(pd, head);
    }
    std::memcpy(pd->bytes() + DROSA_PAYLOAD_OFFSET, copy->bytes() + VIEW_COPY_AT, PVIEW_COPY_BYTES);
    next = pd->xnext;
  }
  destroy_node(copy);
  return next;
}

// Turns the copies of the slot on the current page of voice v back into layout records.
void unpark_voice(int v, int slot) {
  Drosa bar = NIL;
  for (Drosa p = page_start[v]->xnext; p && !is_page_end(p);) {
    Drosa next = p->xnext;
    const int seen = effective_kind(p);
    if (seen == ENDSYST) bar = NIL;
    if (seen == BAR) bar = p;
    if (p->xkind == NTDATA)
      REPORT_ERROR(4, "Pre-existing NTDATA on voice %hd in copy_from_VIEW_nodes!", short(v));
    else if (p->xkind == PDATA)
      REPORT_ERROR(4, "Pre-existing PDATA on voice %hd in copy_from_VIEW_nodes!", short(v));
    else if (p->xkind == NTVIEW && copy_slot(p) == slot)
      unpark_ntview(p, bar);
    else if (p->xkind == PVIEW && copy_slot(p) == slot)
      next = unpark_pview(v, p);
    p = next;
  }
}

void for_each_shown_page_voice(void (*action)(int v, int slot), int slot) {
  for (int v = 0; v < shown_voices(); ++v)
    if (!voice_not_shown(v) && page_start[v]) action(v, slot);
}

// ---- Helpers of opening and closing --------------------------------------------------------

// The graphics lists of the current view go back to the store.
void free_graphics_lists() {
  if (old_GE_head) destroy_Drosa_list(old_GE_head);
  if (GE_head) destroy_Drosa_list(GE_head);
  GE_head = GE_tail = old_GE_head = NIL;
  GE_list_complete = 0;
}

// A new view starts with print chains and a graphics list of its own.
void start_view_lists() {
  for (StaffData& staff : staff_data) {
    std::fill(staff.ppnt, staff.ppnt + LAYERS, NIL);
    std::fill(staff.pending, staff.pending + LAYERS, NIL);
  }
  GE_head = newDrosa(GE_CHAR, 0);
  GE_tail = GE_head;
  old_GE_head = NIL;
  GE_list_complete = 0;
  model_hooks.GEinit(0);
}

}  // namespace

// ---- Slots --------------------------------------------------------------------------------

void clear_view_array() {
  for (ViewSlot& s : view_array) s = ViewSlot{};
  current_view_index = -1;
}

int count_open_views() {
  int n = 0;
  for (int slot = 0; slot < MAX_VIEWS; ++slot) n += slot_used(slot);
  return n;
}

int most_recent_view() {
  int best = -1;
  for (int slot = 0; slot < MAX_VIEWS; ++slot)
    if (slot_used(slot) &&
        (best < 0 || view_array[slot].last_activation > view_array[best].last_activation))
      best = slot;
  return best;
}

int view_index_of_window(const Port* window) {
  if (current_view_index >= 0 && window == model_hooks.frame_window(nullptr))
    return current_view_index;
  for (int slot = 0; slot < MAX_VIEWS; ++slot)
    if (slot != current_view_index && slot_used(slot) && view_array[slot].window &&
        model_hooks.frame_window(view_array[slot].window->frame) == window)
      return slot;
  return -1;
}

ViewData* find_view_same_piece() {
  for (int slot = 0; slot < MAX_VIEWS; ++slot) {
    ViewData* d = view_array[slot].piece;
    if (slot != current_view_index && slot_used(slot) && d && d->fsspec == piece_fsspec) return d;
  }
  return nullptr;
}

const ViewData* view_piece(int slot) { return slot_valid(slot) ? view_array[slot].piece : nullptr; }

int view_ncontext(int slot) {
  return slot_valid(slot) && view_array[slot].window ? view_array[slot].window->current_ncontext
                                                     : 0;
}

void renumber_view_contexts(int (*map)(int context, int from, int to), int from, int to) {
  for (int slot = 0; slot < MAX_VIEWS; ++slot) {
    ViewSlot& s = view_array[slot];
    if (slot == current_view_index || !slot_used(slot) || !s.window || !s.piece ||
        s.piece->fsspec != piece_fsspec)
      continue;
    ViewWindowState& w = *s.window;
    w.current_ncontext =
        int16_t(std::clamp(map(w.current_ncontext, from, to), 1, std::max<int>(ncontext_count, 1)));
    for (uint8_t(&bytes)[TEMPLATE_BYTES] : w.templates) {
      const int context = int8_t(bytes[1]);  // the byte after the kind
      if (context > 0) bytes[1] = uint8_t(std::clamp(map(context, from, to), 1, MAX_NCONTEXTS));
    }
    w.reformat_pending = 1;
    w.last_formatted_page = -500;
    count_piece_change();
  }
}

void mark_view_for_reformat(int slot) {
  count_piece_change();
  if (slot_valid(slot) && view_array[slot].window) view_array[slot].window->reformat_pending = 1;
}

int view_reformat_pending(int slot) {
  return slot_valid(slot) && view_array[slot].window ? view_array[slot].window->reformat_pending
                                                     : 0;
}

bool is_current_view_copy(Drosa node) {
  return current_view_index >= 0 && (node->xkind == NTVIEW || node->xkind == PVIEW) &&
         copy_slot(node) == current_view_index;
}

// ---- Piece state ------------------------------------------------------------------------------

void restore_view_data(const ViewData& d) {
  piece_fsspec = d.fsspec;
  DrosaDirty = d.DrosaDirty;
  requested_page = d.requested_page;
  std::memcpy(perf_defaults, d.perf_defaults, sizeof perf_defaults);
  std::memcpy(print_record, d.print_record, sizeof print_record);
  voice_count = d.voice_count;
  ncontext_count = d.ncontext_count;
  std::copy(d.piece_start, d.piece_start + MAX_VOICES, piece_start);
  std::memcpy(options_struct, d.options_struct, sizeof options_struct);
  std::memcpy(ncontext_name, d.ncontext_name, sizeof ncontext_name);
}

// ---- Opening --------------------------------------------------------------------------------

// Reads: piece_fsspec, view_array, the tick count. Writes: as openpiece, plus view_array,
// current_view_index, the graphics lists and staff chains of the view.
int open_view(int mode, PieceFile* file) {
  // Reading, formatting and placing the piece ask for the palette many times: it is drawn once,
  // as the piece is when the opening ends.
  PaletteHeldBack palette_held;
  if (current_view_index != -1) {
    // Going on would write the new piece over the globals of the view still current.
    REPORT_ERROR(4, "Bad current_view_index when calling open_view");
    return 0;
  }
  ViewData* shared = mode == 1 ? find_view_same_piece() : nullptr;
  int slot = 0;
  while (slot < MAX_VIEWS && slot_used(slot)) ++slot;
  if (slot == MAX_VIEWS) {
    REPORT_ERROR(2, "You cannot open so many windows!");
    return 0;
  }
  view_array[slot] = {shared, nullptr, tick_now()};
  current_view_index = slot;
  model_hooks.set_graphics_view(slot);
  start_view_lists();
  ++list_change_count;  // another piece's lists: what was known of the last one is gone
  model_hooks.clear_page_index();
  model_hooks.draw_piano_window();
  clear_view_changes();
  if (openpiece(shared, mode, file)) return 1;

  save_and_release_view(0);
  destroy_pstaff_lists();
  free_graphics_lists();
  indicate_no_current_view();
  if (count_open_views() == 0) CheckfreeDrosa();
  return 0;
}

// ---- Leaving and coming back ------------------------------------------------------------------

int leave_view() {
  const int slot = current_view_index;
  if (!slot_used(slot)) {
    REPORT_ERROR(4, "Bad current_view_index when calling leave_view");
    return 0;
  }
  model_hooks.end_anno_selection(0, 1);
  model_hooks.stop_flashing(model_hooks.flashing_node());
  ViewSlot& s = view_array[slot];
  ViewData* piece = s.piece ? s.piece : allocate_record<ViewData>();
  ViewWindowState* window = s.window ? s.window : allocate_window_record();
  if (!piece || !window) {
    if (piece != s.piece) free_record(piece);
    if (window != s.window) free_window_record(window);
    out_of_memory_alert();
    return 0;
  }
  s.piece = piece;
  s.window = window;
  save_view_data(piece);
  save_window_state(window, slot);
  for_each_shown_page_voice(park_voice, slot);
  clear_undo(1);
  propagate_view_changes();
  // The window goes inactive; the group selection, kept in the view's record, comes back with it.
  model_hooks.view_left();
  indicate_no_current_view();
  return 1;
}

// Reads: view_array[slot]. Writes: every global of the piece and the window, the voice lists
// (layout records, BAR screen positions), the page index, the parameter table when the piece
// changed in another view, the graphics list.
void copy_from_VIEW_nodes(int slot) {
  if (slot == -1) {
    piece_fsspec.clear();
    return;
  }
  if (!slot_used(slot) || current_view_index != -1 || !view_array[slot].piece ||
      !view_array[slot].window) {
    REPORT_ERROR(4, "Bad view %hd in copy_from_VIEW_nodes!", short(slot));
    return;
  }
  ViewSlot& s = view_array[slot];
  current_view_index = slot;
  s.last_activation = tick_now();
  restore_view_data(*s.piece);
  restore_window_state(*s.window);
  model_hooks.set_graphics_view(slot);
  ++list_change_count;  // another piece's lists may be current now
  model_hooks.clear_page_index();
  model_hooks.draw_piano_window();

  // Another view may have changed the piece: the page is found again in every case. The
  // copies stand on the page formatted last, which the view showed when it was left.
  std::fill(page_start, page_start + MAX_VOICES, NIL);
  const int pages = model_hooks.count_pages();
  current_page = std::clamp<int32_t>(current_page, 1, pages);
  if (reformat_pending) model_hooks.rebuild_param_table();
  const bool parked_page_left = last_formatted_page >= 1 && last_formatted_page <= pages;
  model_hooks.locate_page(parked_page_left ? last_formatted_page : current_page);
  for_each_shown_page_voice(unpark_voice, slot);

  model_hooks.activate_window();
  clear_view_changes();
  model_hooks.display_win_title(1, nullptr);
  // Formatted anew, so that its chord records are there again.
  model_hooks.format_view_page();
  const bool had_insertion_point = bool(insertion_point);
  insertion_point = NIL;  // its note may be gone: it is found again by its place on the page
  if (had_insertion_point) model_hooks.cursor_to_nearest_visnote(insertion_point_pos, 0, 0, 1);
}

// ---- Releasing and closing ---------------------------------------------------------------------

int save_and_release_view(int save) {
  const int slot = current_view_index;
  model_hooks.offscreen_dispose();
  if (!slot_valid(slot)) return 1;
  ViewSlot& s = view_array[slot];
  s.last_activation = -1;
  model_hooks.forget_view_graphics(slot);
  free_window_record(s.window);
  s.window = nullptr;
  ViewData* piece = s.piece;
  s.piece = nullptr;
  if (!piece) return 1;
  if (save) save_view_data(piece);
  for (int other = 0; other < MAX_VIEWS; ++other)
    if (slot_used(other) && view_array[other].piece == piece) return 0;
  free_record(piece);
  return 1;
}

int close_view(int ask) {
  model_hooks.end_anno_mode();
  if (ask && !ask_save_piece()) return 0;
  clear_undo(1);
  model_hooks.stop_flashing(model_hooks.flashing_node());
  insertion_point = NIL;
  model_hooks.view_closing();
  // The other views of the piece learn of its changes while this view still names it.
  propagate_view_changes();
  if (save_and_release_view(1)) {
    destroy_pstaff_lists();
    model_hooks.clear_current_piece();
  } else {
    // The piece stays with the other views: only this view's layout records and copies go,
    // wherever they are.
    model_hooks.remove_piece_layout_records();
    destroy_pstaff_lists();
    model_hooks.draw_piano_window();
  }
  free_graphics_lists();
  model_hooks.dispose_music_window();
  indicate_no_current_view();
  if (count_open_views() == 0) CheckfreeDrosa();
  return 1;
}

void indicate_no_current_view() {
  current_view_index = -1;
  // No graphics view, group selection, annotation mode, selected voice; the page image and
  // graphics lists now belong to a parked view, or are gone.
  model_hooks.no_current_frame();
  ncontext_count = 0;
  voice_count = 0;
  std::fill(piece_start, piece_start + MAX_VOICES, NIL);
  std::fill(page_start, page_start + MAX_VOICES, NIL);
  insertion_point = NIL;
  insertion_point_flashing = 0;
  piece_fsspec.clear();
  DrosaDirty = 0;
  reformat_pending = 0;
}

// ---- Tests ------------------------------------------------------------------------------------

void reset_views_globals() {
  ViewData* freed[MAX_VIEWS] = {};
  int freed_count = 0;
  for (int slot = 0; slot < MAX_VIEWS; ++slot) {
    ViewSlot& s = view_array[slot];
    if (s.window && slot != current_view_index) model_hooks.dispose_frame_window(s.window->frame);
    free_window_record(s.window);
    if (s.piece && std::find(freed, freed + freed_count, s.piece) == freed + freed_count) {
      freed[freed_count++] = s.piece;
      free_record(s.piece);
    }
    s = ViewSlot{};
    model_hooks.forget_view_graphics(slot);
  }
  model_hooks.dispose_music_window();  // the current view's, if one is open
  current_view_index = -1;
  model_hooks.set_graphics_view(-1);
}
