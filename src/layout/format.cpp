// format.cpp: the page formatter: format_page and its steps, format_all_pages, and the
// interrupt poll.
//
// format_page lays out one page: it locates the page, gives every note its layout record,
// finds the physical staves (pstaves) of every system and their heights on the page, then
// runs the layout passes system by system in a fixed order, each of which reads and writes
// layout records, and last copies what the screen shows into the records' screen fields.
//
// Design notes:
//  - Interrupting: every pass polls format_interrupted between units of work and returns 0
//    when it says stop; format_page then returns 0 at once, leaving reformat_pending set, the
//    old graphics list on the screen and the records half rebuilt. Only a reformat of the page
//    formatted last can be interrupted; another page, the first format of a piece and
//    format_all_pages switch interrupts off, and every completed format switches them on.
//  - At most 64 pstaves fit a page: the page is cut before the first system that does not
//    fit. A first system that alone needs more is laid out with its first 64 staves: cutting
//    before it would leave an empty page and meet the same system again on the next.
//  - Staves are only ever moved closer together to fit the page, never spread apart.
//  - A voice's system is empty when it starts and ends at the same ENDSYST (a voice that
//    ended before this page, or whose page has fewer systems).
#include "layout/format.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "layout/beam_ends.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/layout_records.h"
#include "layout/layout_services.h"
#include "layout/object_lookup.h"
#include "layout/page_index.h"
#include "layout/pages.h"
#include "layout/relocate.h"
#include "layout/setprint.h"
#include "layout/slurs.h"
#include "layout/spacing.h"
#include "layout/staff_shift.h"
#include "layout/system_fit.h"
#include "layout/system_records.h"
#include "layout/tuplets.h"
#include "layout/vertical_fit.h"
#include "params/param_services.h"
#include "platform/events.h"

namespace {

// Set once a format of the whole piece has said that a page is split.
bool split_said = false;

// The systems cut for their width on the page when its format came to its systems.
int cuts_before_systems = 0;

// Fields of the context's options record read here (tenths of a point, tenths of an inch).
constexpr int OPTIONS_TOP_MARGIN = 50, OPTIONS_TOP_MARGIN_FIRST_PAGE = 54;
constexpr int OPTIONS_BOTTOM_MARGIN = 58, OPTIONS_BOTTOM_MARGIN_FIRST_PAGE = 62;
constexpr int OPTIONS_SYSTEM_SEPARATORS = 82;  // i16: systems are separated by symbols

constexpr int LAYERING_STEPS = 8;  // setprint runs at most this often per system

// The chain-head mark of a layer's dummy NOTE (a bit no note of a voice list uses).

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

bool shown(int v) { return !voice_not_shown(v) && page_start[v]; }

bool is_visible_endsyst(Drosa node) { return effective_kind(node) == ENDSYST; }

bool ends_page(Drosa node) {
  return is_visible_endsyst(node) && (node->get(xendpage) || node->get(xendpiece));
}

// The next visible ENDSYST after a system's start; the start itself for a broken list that
// has none.
Drosa next_system_end(Drosa start) {
  Drosa end = find_next_kind(ENDSYST, start);
  return end ? end : start;
}

int16_t context_option(int offset) { return options_i16(current_ncontext, offset); }
int32_t context_option_i32(int offset) { return options_i32(current_ncontext, offset); }

// ---- Steps 1 to 5: starting the format -----------------------------------------------------

// Step 1. Returns whether the page differs from the page formatted last.
bool begin_format(int32_t page) {
  reformat_pending = 1;
  bool other_page = page != last_formatted_page;
  if (other_page || first_format) disable_format_interrupts();
  model_hooks.set_cursor(format_interrupts_disabled() ? CURSOR_ID_WATCH : CURSOR_ID_FORMATTING);
  return other_page;
}

// Step 2: the table's line widths follow the context's minimum line width.
void follow_min_line_width() {
  if (current_min_line_width() != min_line_width) param_init();
}

// Step 4. A rebuild of everything forgets what was known of the pages.
int32_t locate(int32_t page) {
  if (last_formatted_page == -500) clear_page_index();
  page = locate_page_to_format(page);  // the page is read into the index again at step 5
  last_chord = NIL;
  last_formatted_page = page;
  return page;
}

// Step 5. The page's PARAM nodes are made anew here, so the page index reads the page again.
bool prepare_records(int32_t page, bool other_page) {
  int32_t done = prepare_layout_nodes(other_page);
  page_index_reread_page(page);
  return done;
}

// ---- Steps 6 and 7: the staves of every system -----------------------------------------------

// Raises the staff count of system s (0-based) to what the PRINT needs.
void raise_staff_count(std::vector<int32_t>& counts, size_t s, Drosa print) {
  if (counts.size() <= s) counts.resize(s + 1, 1);
  if (print) counts[s] = std::max(counts[s], int32_t(print->get(xsstaff)) + 1);
}

// What the walk of a voice's page found at each of its system ends: the ENDSYST, the last
// PRINT on the page before it (NIL: none) and the last note of its system (NIL: none). The
// PRINT in force and the node the distances below the staff are read at follow from these
// where they are read (set_staff_distances).
struct SystemEndSeen {
  Drosa end, print, note;
  ParamWalk distances;  // the distance parameters in force at `note`
};

// The parameter of the distance between systems: another when systems are drawn with
// separators.
int system_distance_parameter() {
  return context_option(OPTIONS_SYSTEM_SEPARATORS) != 0
             ? P_DISTANCE_BETWEEN_SYSTEMS_WITH_SEPARATOR_SYMBOLS
             : P_DEFAULT_VERTICAL_DISTANCE_BETWEEN_SYSTEMS;
}

// The system ends of every voice's page as step 6 walked them, for step 9 to read the
// distances at; a voice not walked has none. Good while the page's systems stay as the walk
// found them: `changes` is the piece's change count then, `systems` the systems counted.
struct PageWalk {
  std::vector<std::vector<SystemEndSeen>> ends;
  uint32_t changes = 0;
  size_t systems = 0;
  uint64_t lists = 0;  // list_change_count then: the distances seen hold while it stays
};

// Step 6: the staves each system of the page needs; false when interrupted. Keeps the system
// ends its walks pass in `walk`.
bool count_staves(std::vector<int32_t>& counts, PageWalk& walk) {
  counts.assign(1, 1);
  walk.ends.assign(size_t(voices()), {});
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v) || page_start[v]->get(xendpiece)) continue;
    if (format_interrupted()) return false;
    std::vector<SystemEndSeen>& ends = walk.ends[size_t(v)];
    Drosa print = voice_data[v].print;
    Drosa print_seen = NIL, note = NIL;  // on the page, in the system
    ParamWalk distances(system_distance_parameter(),
                        P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT, page_start[v]),
        at_note;
    size_t system = 0;
    raise_staff_count(counts, system, print);
    Drosa p = page_start[v]->xnext;
    for (; p && !ends_page(p); p = p->xnext) {
      distances.pass(p);
      switch (effective_kind(p)) {
        case PRINT:
          print = print_seen = p;
          raise_staff_count(counts, system, print);
          break;
        case ENDSYST: {
          ends.push_back({p, print_seen, note, at_note});
          note = NIL;
          at_note = ParamWalk();
          Drosa next_print = find_next_kind_before_note(PRINT, p);
          raise_staff_count(counts, ++system, next_print ? next_print : print);
          break;
        }
        case BAR:  // placed anew by this format's spacing, if at all
          p->set(xbarx, NOT_DRAWN);
          p->set(xscrbarx, NOT_DRAWN);
          break;
        default:
          break;
      }
      if (p->xkind == NOTE) {
        note = p;
        at_note = distances;
      }
    }
    if (p) ends.push_back({p, print_seen, note, at_note});
  }
  walk.changes = piece_change_count;
  walk.systems = counts.size();
  walk.lists = list_change_count;
  return true;
}

// Step 7: keeps the systems whose staves fit the page, cutting the page before the first
// that does not, and numbers the pstaves. false when interrupted.
bool number_pstaves(std::vector<int32_t>& counts, bool other_page) {
  int32_t sum = 0;
  bool reported = false;
  for (size_t s = 0; s < counts.size(); ++s) {
    if (sum + counts[s] <= MAX_PSTAVES) {
      sum += counts[s];
      continue;
    }
    // Formatting a whole piece says it once, not once for every page it splits.
    if (!reported && !split_said && (s > 0 || other_page || first_format))
      REPORT_ERROR(2, "Too many staves on the page; the page will be split.");
    reported = true;
    split_said = whole_piece_format != 0;
    if (s == 0) {
      if (other_page || first_format)
        REPORT_ERROR(4, "format: trying to use %hd staves for system 1; max staves %hd",
                     short(std::min<int32_t>(counts[0], INT16_MAX)), short(MAX_PSTAVES));
      counts[0] = sum = MAX_PSTAVES;
      continue;
    }
    layout_hooks.split_page(int(s));
    model_hooks.display_win_title(1, nullptr);
    counts.resize(s);
    break;
  }
  system_count = int32_t(counts.size());
  pstaff_count = sum;
  int32_t p = 0;
  for (int32_t staves : counts)
    for (int32_t place = 1; place <= staves && p < MAX_PSTAVES; ++place)
      staff_data[p++].place = uint8_t(place);
  if (p != pstaff_count) REPORT_ERROR(4, "format: pstaff logic error in find_staves...");
  return !format_interrupted();
}

// ---- Steps 8 to 10: chain heads and the height of every staff ---------------------------------

// Step 8: every pstaff's layer chain heads, made when missing and reset; the distance below
// every pstaff starts as the default.
void reset_chain_heads() {
  int32_t distance =
      param_value(P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT, NIL, nullptr)->integer() *
      10;
  for (int p = 0; p < pstaff_count; ++p) {
    StaffData& staff = staff_data[p];
    for (Drosa& head : staff.ppnt) {
      if (!head)
        head = new_chain_head();
      else
        reset_chain_head(head);
    }
    staff.distance_below = distance;
    staff.least_below = 0;
  }
}

// The PRINT in force for voice v at the end of the system that ends at `end`: the last one
// in the system or before it on the page, else the one in force at the page start.
Drosa print_in_force(int v, Drosa end) {
  for (Drosa p = end->xback; p && p != page_start[v]; p = p->xback)
    if (effective_kind(p) == PRINT) return p;
  return voice_data[v].print;
}

// The room a system (0 the first) takes beyond its natural place for what it holds.
int32_t ink_room(size_t s) {
  return s < page_fitting.ink_room.size() ? page_fitting.ink_room[s] : 0;
}

// The least distance below staff n of system s (0 the first) for the marks and lyrics under it.
int32_t staff_room(size_t s, size_t n) {
  const auto& room = page_fitting.staff_room;
  return s < room.size() && n < room[s].size() ? room[s][n] : 0;
}

// Where the distances below a voice's staff in a system are read: its last note in the system
// (a change made anywhere in the system counts for the room below it, and one made at an
// earlier system goes on counting), else the PRINT that places it.
Drosa distance_node(Drosa end, Drosa print) {
  for (Drosa p = end->xback; p && !is_visible_endsyst(p); p = p->xback)
    if (p->xkind == NOTE) return p;
  return print;
}

// Where a voice's system on the page ends, as voices_to_system leaves the voice's cursor for it
// (where the voice stops when it has fewer systems), with the PRINT in force and the node the
// distances below its staff are read at there.
struct SystemEnd {
  Drosa end, print, at;
  ParamWalk distances;  // the distance parameters in force at `at`
};

// The ends of voice v's first `systems` systems on the page (at least one), found in one walk
// of its page. A voice whose page start ends the piece, and a system without a note, have
// theirs found by walking back from the end, as any system's once were.
std::vector<SystemEnd> system_ends(int v, int32_t systems, const ParamWalk& walk_start) {
  std::vector<SystemEnd> ends;
  Drosa start = page_start[v];
  Drosa print = NIL, note = NIL;  // the last PRINT on the page, the last note of the system
  ParamWalk walk = walk_start, at_note;
  for (Drosa p = start->get(xendpiece) ? NIL : start->xnext; p && int32_t(ends.size()) < systems;
       p = p->xnext) {
    walk.pass(p);
    if (is_visible_endsyst(p)) {
      Drosa in_force = print ? print : voice_data[v].print;
      ends.push_back({p, in_force, note ? note : distance_node(p, in_force), at_note});
      if (p->get(xendpiece) || p->get(xendpage)) break;
      note = NIL;
      at_note = ParamWalk();
    } else if (effective_kind(p) == PRINT) {
      print = p;
    }
    if (p->xkind == NOTE) {
      note = p;
      at_note = walk;
    }
  }
  if (ends.empty()) {
    Drosa in_force = print_in_force(v, start);
    ends.push_back({start, in_force, distance_node(start, in_force), ParamWalk()});
  }
  ends.resize(size_t(std::max<int32_t>(systems, 1)), ends.back());
  return ends;
}

// The ends of voice v's first `systems` systems on the page from what step 6's walk saw of
// them, as system_ends finds them; empty when the walk saw none.
std::vector<SystemEnd> system_ends_seen(int v, int32_t systems, const PageWalk& walk) {
  std::vector<SystemEnd> ends;
  if (size_t(v) >= walk.ends.size()) return ends;
  for (const SystemEndSeen& seen : walk.ends[size_t(v)]) {
    if (int32_t(ends.size()) >= systems) break;
    Drosa in_force = seen.print ? seen.print : voice_data[v].print;
    ends.push_back({seen.end, in_force, seen.note ? seen.note : distance_node(seen.end, in_force),
                    seen.distances});
  }
  if (!ends.empty()) ends.resize(size_t(std::max<int32_t>(systems, 1)), ends.back());
  return ends;
}

// Step 9: the distance below each pstaff from the PRINT of the voice printed on it; below a
// system's last staff, the distance to the next system, and more where the next system holds
// what reaches up to this one. Both are read at the voice's last note in the system, so that
// a piece can change them from system to system. Leaves system_cursor at the end of the
// page's last system, as voices_to_system does. The system ends are taken from `walk` when
// the page's systems are still those it walked, else found by walking the voices again.
void set_staff_distances(const std::vector<int32_t>& counts, const PageWalk* walk = nullptr) {
  const int system_parameter = system_distance_parameter();
  page_fitting.system_distance = param_value(system_parameter, NIL, nullptr)->integer() * 10;
  auto& read = page_fitting.read_distances;
  read.assign(size_t(std::max(pstaff_count, 0)), {});
  // The records made since (step 5) may have made a note's parameter changes again: the
  // voices are then walked again for the distances in force.
  if (walk && (walk->changes != piece_change_count || walk->systems != size_t(system_count) ||
               walk->lists != list_change_count))
    walk = nullptr;
  std::vector<std::vector<SystemEnd>> ends(static_cast<size_t>(voices()));
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    if (walk) ends[size_t(v)] = system_ends_seen(v, system_count, *walk);
    if (ends[size_t(v)].empty())
      ends[size_t(v)] = system_ends(
          v, system_count,
          ParamWalk(system_parameter, P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT,
                    page_start[v]));
  }
  // The staff n of system s a voice prints on there; -1 none.
  auto staff_of = [&](int v, int32_t s) {
    Drosa print = ends[size_t(v)][size_t(s - 1)].print;
    const int32_t n = print ? print->get(xsstaff) : -1;
    return n >= 0 && n < counts[size_t(s - 1)] ? n : -1;
  };
  // What a voice reads is written over by the next voice on its staff: the last voice of each
  // staff alone reads the distances below it.
  std::vector<int> last_voice;
  for (int32_t s = 1, first = 0; s <= system_count; first += counts[size_t(s - 1)], ++s)
    for (int v = 0; v < voices(); ++v)
      if (const int32_t n = shown(v) ? staff_of(v, s) : -1; n >= 0) {
        if (last_voice.size() <= size_t(first + n)) last_voice.resize(size_t(first + n) + 1, -1);
        last_voice[size_t(first + n)] = v;
      }
  int32_t first = 0;
  for (int32_t s = 1; s <= system_count; ++s) {
    for (int v = 0; v < voices(); ++v) {
      if (!shown(v)) continue;
      const SystemEnd& end = ends[size_t(v)][size_t(s - 1)];
      Drosa print = end.print;
      if (!print) {
        REPORT_ERROR(4, "PRINT node not found in format: sys %hd voice %hd xkind(%lx) %hd",
                     short(s), short(v), static_cast<unsigned long>(end.end.handle()),
                     short(end.end->xkind));
        continue;
      }
      int32_t n = print->get(xsstaff);
      if (n < 0 || n >= counts[s - 1] || last_voice[size_t(first + n)] != v) continue;
      Drosa at = end.at;
      StaffData& staff = staff_data[first + n];
      PageFitting::ReadDistance* r =
          size_t(first + n) < read.size() ? &read[size_t(first + n)] : nullptr;
      if (n == counts[s - 1] - 1) {
        const int32_t between_systems = end.distances.value(system_parameter, at)->integer() * 10;
        if (s < system_count) {
          staff.distance_below = between_systems + ink_room(size_t(s));
          if (r) *r = {PageFitting::ReadDistance::TO_SYSTEM, s, n, between_systems};
          continue;
        }
        // Below the page's last system: the room another system would stand in.
        page_fitting.system_distance = between_systems;
      }
      const int32_t own =
          end.distances.value(P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT, at)
              ->integer() *
          10;
      staff.least_below = staff_room(size_t(s - 1), size_t(n));
      staff.distance_below = std::max(own, staff.least_below);
      if (r) *r = {PageFitting::ReadDistance::TO_STAFF, s, n, own};
    }
    first += counts[s - 1];
  }
  if (system_count < 1) return;
  for (int v = 0; v < voices(); ++v) system_cursor[v] = shown(v) ? ends[size_t(v)].back().end : NIL;
}

// The distances below the staves as the page's format read them (set_staff_distances), with
// the room the ink of its systems and staves takes now: what a format of the page again reads,
// where the voices as a format leaves them could read another.
void apply_staff_distances() {
  const auto& read = page_fitting.read_distances;
  for (int p = 0; p < pstaff_count && p < int(read.size()); ++p) {
    const PageFitting::ReadDistance& r = read[size_t(p)];
    StaffData& staff = staff_data[p];
    if (r.kind == PageFitting::ReadDistance::TO_SYSTEM) {
      staff.distance_below = r.distance + ink_room(size_t(r.system));
    } else if (r.kind == PageFitting::ReadDistance::TO_STAFF) {
      staff.least_below = staff_room(size_t(r.system - 1), size_t(r.staff));
      staff.distance_below = std::max(r.distance, staff.least_below);
    }
  }
}

// The page's height in layout units: its height in pixels on the view, times the layout
// units of a pixel.
int32_t page_height_units() {
  double zoom = model_hooks.zoom_factor() > 0 ? model_hooks.zoom_factor() : 10.0;
  double inches = context_option_i32(OPTIONS_PAGE_HEIGHT) / 10.0;
  double pixels = std::lround(inches * 72.0 * 10.0 / zoom);
  return int32_t(pixels * zoom + 0.5);
}

int64_t round_down_to_ten(int64_t y) { return y >= 0 ? y - y % 10 : -((-y + 9) / 10 * 10); }

// The y of the first staff's middle line under the top margins (lower when what stands above
// it needs the room), and the height from there to the bottom margins.
void page_height_between_margins(int32_t page, int64_t* y0, int64_t* available) {
  int64_t top = param_length(P_MARGIN_WIDTH_AT_TOP_OF_PAGE, NIL, nullptr) + page_top_offset;
  int64_t bottom = param_length(P_MARGIN_WIDTH_AT_BOTTOM_OF_PAGE, NIL, nullptr);
  bool first_page = page == 1;
  int64_t options_top =
      context_option_i32(first_page ? OPTIONS_TOP_MARGIN_FIRST_PAGE : OPTIONS_TOP_MARGIN);
  int64_t options_bottom =
      context_option_i32(first_page ? OPTIONS_BOTTOM_MARGIN_FIRST_PAGE : OPTIONS_BOTTOM_MARGIN);
  *y0 = page_height_units() - options_top - top - ink_room(0);
  *available = *y0 - options_bottom - bottom -
               (page_fitting.ink_room.size() > 1 ? page_fitting.ink_room.back() : 0);
}

// The least part of their distances that staves moved closer keep of what lies beyond what
// the marks and lyrics between them need.
constexpr double MOST_SQUEEZED = 0.5;

// Step 10: the middle line of every pstaff. The first lies under the top margins; with
// several, the staves keep their natural distances when these fit above the bottom margins
// and are moved closer together in proportion when they do not.
void distribute_staves(int32_t page) {
  if (pstaff_count <= 0) return;
  int64_t y0, available;
  page_height_between_margins(page, &y0, &available);
  int64_t natural = 0;
  for (int p = 0; p + 1 < pstaff_count; ++p) natural += staff_data[p].distance_below;
  page_fitting.room = available - natural;
  page_fitting.natural_height = natural;
  // Distances and margins of 0 and less give no height to share: then nothing moves.
  int64_t shared = std::max({natural, available, int64_t(1)});
  // Staves moved closer give up first what lies beyond their least distances (what the marks
  // and lyrics between them need), down to half of it; then the least distances give way too,
  // never more than the rest.
  int64_t least = 0;
  for (int p = 0; p + 1 < pstaff_count; ++p) least += staff_data[p].least_below;
  double keep_least = 1, keep_rest = 1;
  if (natural > available && available > 0) {
    keep_least = keep_rest = double(available) / double(natural);
    if (least > 0 && least < natural) {
      const double rest = double(natural - least);
      keep_rest = std::max(double(available - least) / rest, MOST_SQUEEZED);
      keep_least = std::max((double(available) - keep_rest * rest) / double(least), keep_rest);
      keep_rest = (double(available) - keep_least * double(least)) / rest;
    }
  }
  int64_t y = y0;
  page_fitting.placed_middle_y.clear();
  for (int p = 0; p < pstaff_count; ++p) {
    StaffData& staff = staff_data[p];
    staff.middle_y = staff.screen_middle_y = int32_t(pstaff_count == 1 ? y0 : round_down_to_ten(y));
    page_fitting.placed_middle_y.push_back(staff.middle_y);
    if (least > 0 && natural > available)
      y -= int64_t(staff.least_below * keep_least +
                   (int64_t(staff.distance_below) - staff.least_below) * keep_rest);
    else
      y -= int64_t(staff.distance_below) * available / shared;
  }
}

// The staves placed again for the distances below them as they now stand: each moves from
// where it was laid out to its new place, with what the page drew and placed on it
// (shift_page_staves); false when something cannot follow, and the page is formatted again.
bool place_staves_again(int32_t page) {
  if (int(page_fitting.placed_middle_y.size()) != pstaff_count) return false;
  const std::vector<int32_t> before = page_fitting.placed_middle_y;
  std::vector<int32_t> drawn;  // the middle lines the page was laid out at
  for (int p = 0; p < pstaff_count; ++p) drawn.push_back(staff_data[p].middle_y);
  distribute_staves(page);
  std::vector<int32_t> dy(static_cast<size_t>(pstaff_count));
  for (int p = 0; p < pstaff_count; ++p) {
    dy[size_t(p)] = staff_data[p].middle_y - before[size_t(p)];
    staff_data[p].middle_y = drawn[size_t(p)];
  }
  return shift_page_staves(dy);
}

// ---- Steps 11 to 13: the systems ------------------------------------------------------------

// Step 11.
void start_first_system(int32_t page) {
  printed_page_number = page + context_option(OPTIONS_FIRST_PAGE) - 1;
  system_number = 1;
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    Drosa start = page_start[v];
    voice_data[v].system_start = start;
    voice_data[v].system_end = start->get(xendpiece) ? start : next_system_end(start);
  }
}

// The staff a voice prints on in the system: first_pstaff + its PRINT's staff number, -1
// when it is not printed here.
int32_t pstaff_in_system(Drosa print) {
  if (!print) return -1;
  int32_t p = first_pstaff + print->get(xsstaff);
  return print->get(xsstaff) >= 0 && p <= last_pstaff ? p : -1;
}

// Step 13.1: lines, size and type of each staff from the PRINT of its voices at the system
// start; staff drags; tablature staves of odd size half a step up.
void apply_staff_settings() {
  std::vector<bool> dragged(MAX_PSTAVES, false);
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    const VoiceData& voice = voice_data[v];
    if (voice.system_start == voice.system_end) continue;  // nothing of the voice here
    Drosa print = find_next_kind_before_note(PRINT, voice.system_start);
    if (!print) print = voice.print;
    int32_t p = pstaff_in_system(print);
    if (p < 0) continue;
    StaffData& staff = staff_data[p];
    staff.lines = uint8_t(std::clamp<int16_t>(print->get(xslines), 0, 255));
    staff.staff_size = print->get(xstaffsize);
    staff.staff_type = uint8_t(print->get(xtablature));
    for (Drosa q = voice.system_start->xnext; q && q != voice.system_end; q = q->xnext) {
      if (effective_kind(q) != SDRAG || q->get(xsdrag_sstaff) != print->get(xsstaff)) continue;
      if (!dragged[p]) staff.middle_y -= q->get(xstaffdrag);
      dragged[p] = true;
      break;
    }
  }
  for (int32_t p = first_pstaff; p <= last_pstaff; ++p) {
    StaffData& staff = staff_data[p];
    if (staff.lines == 8 && staff.staff_type == 3 && staff.staff_size % 20 == 10)
      staff.middle_y += 5;
  }
}

// Step 13.2: print chains, with voices that cannot share chords moved to further layers. The
// steps it took (0 when interrupted).
int assign_layers() {
  Drosa chained_before = last_chord;
  int r = 0;
  for (; r < LAYERING_STEPS; ++r) {
    last_chord = chained_before;  // the chords of a discarded step are not chained
    if (!setprint()) return 0;
    if (r == LAYERING_STEPS - 1 || !split_voices_to_layers(r + 1)) break;
  }
  return r + 1;
}

constexpr int MAX_RESTARTS = 64;  // formats of one page again after its systems changed

void forget_changed_pages(int32_t page, uint32_t changes);
void keep_drawn_staves(int32_t page, uint32_t changes);

// What was measured of the ink of a page whose systems changed (cut for their width, or the
// page cut for its height): its systems are spaced and squeezed anew, so a room measured
// with the old would stay with them although the page no longer needs it, and a format of
// the page as it now stands would not find it. It is measured again, as for a page formatted
// the first time.
void forget_page_ink() {
  page_fitting.ink_room.clear();
  page_fitting.staff_room.clear();
  page_fitting.last_overlaps.clear();
  page_fitting.last_staff_overlaps.clear();
  page_fitting.ink_passes = 0;
}

bool end_page_at(const std::vector<int>& cuts);

// Whether the page's one system, cut once with the rest joining the next system, can go on
// with the work its passes did for the bars it keeps: a format of those bars alone would give
// them the same records. It can when the layering took one step (no voice moved to another
// layer, which is decided over the whole system), the music cut off changes nothing before it
// (`cut.plain`), no chord cut off at the cut's time holds a grace note, no chord a rest
// (unless the spacing goes on from the last chords kept), and the page has no room kept for
// ink that a format again would forget. The distances below its staves are read again where
// the system now ends: where the music cut off changed them, the staves move to where they
// place them, and what the passes laid out on them with them, as a format again would place
// it. Its chains and voices then end at the cut, as a layering of the bars kept leaves them,
// and the page counts as formatted again from the cut on; the spacing goes on from the last
// chords kept (`spaced`), else the bars are spaced again. A system cut into
// even parts instead is kept so where the page would be cut to hold its first part alone
// (`page_cuts`, the cuts of the page that leave it so): the page's end is moved there once its
// chains end before the cut, since the move takes the records of what it sends on.
bool keep_bars_before_cut(const JoinedCut& cut, bool layered_once, bool* spaced,
                          const std::vector<int>& page_cuts) {
  // Nothing is drawn before the system's passes reach the drawing.
  if (!cut.note || !cut.plain || !layered_once || system_count != 1 ||
      !page_fitting.ink_room.empty() || !page_fitting.staff_room.empty() || GE_head->xnext)
    return false;
  // The distances below the staves are read at the system's last note, which the cut moves.
  std::vector<int32_t> below, least;
  for (int p = 0; p < pstaff_count; ++p) {
    below.push_back(staff_data[p].distance_below);
    least.push_back(staff_data[p].least_below);
  }
  set_staff_distances({pstaff_count});
  bool moved = false;
  for (int p = 0; p < pstaff_count; ++p)
    moved |= staff_data[p].distance_below != below[size_t(p)] ||
             staff_data[p].least_below != least[size_t(p)];
  bool rests = false;
  if (!end_chains_before(cut.time, &rests)) return false;
  // The spacing goes on from the last chords kept; failing that the kept bars are spaced
  // again, which a system with rests cannot be: the rests were given their measures (whole-
  // measure and multi-measure rests) by the spacing just made. The page is then formatted
  // again, which makes every record anew.
  *spaced = spacing_before(cut.time);
  if (!*spaced && rests) return false;
  if (moved && !place_staves_again(last_formatted_page)) return false;
  // A system cut into even parts: the page keeps the first alone, the records of the others
  // going with them.
  if (!page_cuts.empty() && !end_page_at(page_cuts)) return false;
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    VoiceData& voice = voice_data[v];
    if (voice.system_start == voice.system_end) continue;
    voice.system_end = next_system_end(voice.system_start);
    // The PRINT in force at the system's end, as the layering leaves it.
    Drosa print = layering_start_print[v] ? layering_start_print[v] : voice.print;
    for (Drosa p = voice.system_start->xnext; p && p != voice.system_end; p = p->xnext)
      if (effective_kind(p) == PRINT) print = p;
    voice.print = print;
  }
  // Bar lines are placed anew by the spacing, as step 6 leaves them: those after the last
  // chords kept when the spacing goes on from there, else all of the system's.
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    const VoiceData& voice = voice_data[v];
    Drosa from = voice.system_start;
    if (*spaced)
      for (Drosa p = voice.system_end; p && p != voice.system_start; p = p->xback)
        if (p->xkind == NOTE) {
          from = p;
          break;
        }
    for (Drosa p = from->xnext; p && p != voice.system_end; p = p->xnext)
      if (effective_kind(p) == BAR) {
        p->set(xbarx, NOT_DRAWN);
        p->set(xscrbarx, NOT_DRAWN);
      }
  }
  if (*spaced) end_spacing();
  // As a format again of the page would go on: its changes counted from the cut on.
  forget_changed_pages(last_formatted_page, page_fitting.changes);
  page_fitting.changes = piece_change_count;
  ++page_fitting.depth;
  page_index_reread_page(last_formatted_page);
  return true;
}

bool page_has_cut_systems();
bool cut_page_before(int s);
int first_system_past_page(const std::vector<int32_t>& staves, int64_t available);

// The first system (0 none, the first is never cut off) past the staves a page takes.
size_t first_system_past_staves(const std::vector<int32_t>& staves) {
  int32_t sum = 0;
  for (size_t s = 0; s < staves.size(); ++s)
    if ((sum += staves[s]) > MAX_PSTAVES && s > 0) return s;
  return 0;
}

// The cuts a format of the page makes for its height (steps 7 to 9a, again and again), the
// page holding systems of `staves` staves (no more than a page takes), added to `cuts`, and
// `staves` left with the systems kept. Measured on the staves' distances alone, which are left
// as those formats leave them, and system_count with them.
void add_height_cuts(std::vector<int32_t>& staves, std::vector<int>& cuts) {
  const int32_t default_distance =
      param_value(P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT, NIL, nullptr)->integer() *
      10;
  int64_t y0, available;
  page_height_between_margins(last_formatted_page, &y0, &available);
  for (;;) {
    system_count = int32_t(staves.size());
    int p = 0;
    for (int32_t n : staves)
      for (int32_t place = 1; place <= n && p < MAX_PSTAVES; ++place, ++p) {
        staff_data[p].place = uint8_t(place);
        staff_data[p].distance_below = default_distance;
        staff_data[p].least_below = 0;
      }
    set_staff_distances(staves);
    const int first = first_system_past_page(staves, available);
    if (first <= 0) return;
    cuts.push_back(first);
    staves.resize(size_t(first));
  }
}

// Whether no shown voice changes its PRINT within the system: every system it is cut into
// then takes as many staves as it did.
bool system_keeps_its_prints() {
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    const VoiceData& voice = voice_data[v];
    for (Drosa p = voice.system_start->xnext; p && p != voice.system_end; p = p->xnext)
      if (effective_kind(p) == PRINT) return false;
  }
  return true;
}

// The page's one system was cut into even parts (`cut.even` system starts), which a format of
// the page again would find holding more staves than a page takes, or reaching further down
// than it may: it would cut the page until what is left fits (steps 6a to 9a), each cut
// sending the systems after it to the next page. The systems it would cut the page before,
// in turn, when what is left is the first part alone; else none (the page is formatted
// again). Found on the staves' distances alone, which are put back after.
std::vector<int> cuts_leaving_first_part(const JoinedCut& cut, bool layered_once) {
  const int32_t staves_each = pstaff_count;
  if (!cut.even || !cut.note || !cut.plain || !layered_once || system_count != 1 ||
      staves_each < 1 || staves_each >= MAX_PSTAVES ||
      page_fitting.depth + cut.even + 2 > MAX_RESTARTS || !page_fitting.ink_room.empty() ||
      !page_fitting.staff_room.empty() || GE_head->xnext || !page_has_cut_systems() ||
      !system_keeps_its_prints())
    return {};
  std::vector<StaffData> kept(staff_data, staff_data + staves_each);
  const int32_t between = page_fitting.system_distance;
  std::vector<int32_t> staves(size_t(cut.even) + 1, staves_each);
  std::vector<int> cuts;
  if (const size_t s = first_system_past_staves(staves)) {
    cuts.push_back(int(s));
    staves.resize(s);
  }
  add_height_cuts(staves, cuts);
  system_count = 1;
  std::copy(kept.begin(), kept.end(), staff_data);
  page_fitting.system_distance = between;
  if (staves.size() != 1) cuts.clear();
  return cuts;
}

// The page ends at once where the cuts `cuts` (of systems of the page, 0 the first) would end
// it in turn, before its system cuts.back(); the pages the cuts before the last would have
// begun are remembered as such (the last one's is as it is made). False when the page could
// not be cut there.
bool end_page_at(const std::vector<int>& cuts) {
  std::vector<Drosa> starts;
  for (size_t k = 0; k + 1 < cuts.size(); ++k) {
    if (voices_to_system(cuts[k], 1)) return false;
    for (int v = 0; v < voices(); ++v)
      if (shown(v) && system_cursor[v]) starts.push_back(system_cursor[v]);
  }
  if (cuts.empty() || !cut_page_before(cuts.back())) return false;
  for (Drosa start : starts) fitted_page_starts.insert(start.handle());
  return true;
}

// The system being formatted, by the handle of its first node (0 when no voice has one).
uint32_t system_key() {
  for (int v = 0; v < voices(); ++v)
    if (shown(v) && voice_data[v].system_start != voice_data[v].system_end &&
        voice_data[v].system_start)
      return voice_data[v].system_start.handle();
  return 0;
}

// Whether the piece ends its systems where it chose to: it breaks its pages (its first page is
// not one the format fits to the paper, as it fits every page of a document that breaks none),
// or it breaks its systems: it holds a system end that the format did not make cutting the
// systems of a piece that breaks none. Every system of such a piece is its own, the parts of
// one cut for its width too: each runs from or to a break of the piece's, or was cut from
// one that does. Walks the piece only while its pages are fitted, up to its first such end.
bool piece_chose_its_systems() {
  int first = -1;
  bool fitted = false;
  for (int v = 0; v < voices(); ++v) {
    if (voice_not_shown(v) || !piece_start[v]) continue;
    if (first < 0) first = v;
    fitted |= fitted_page_starts.count(piece_start[v].handle()) != 0;
  }
  if (!fitted) return true;
  if (first < 0) return false;
  for (Drosa p = piece_start[first]->xnext; p; p = p->xnext)
    if (is_visible_endsyst(p) && !p->get(xendpiece) && !unchosen_system_ends.count(p.handle()))
      return true;
  return false;
}

// The system ends of a piece that ends none of its systems where it chose to, every one of
// which the format has made, are remembered as the format's once it has cut a system (those
// it has taken away again forgotten).
// Writes: unchosen_system_ends.
void remember_unchosen_system_ends() {
  unchosen_system_ends.clear();
  for (int v = 0; v < voices(); ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == ENDSYST && !p->get(xendpiece)) unchosen_system_ends.insert(p.handle());
}

// Step 13.3a: a system whose music is wider than its staves is cut into systems that fit.
// FITS: it was not cut; KEPT: cut, and the bars it keeps go on with their passes' work, spaced
// (`spaced`) or to be spaced again; AGAIN: cut, and the page is formatted again.
enum class Fit { FITS, KEPT, AGAIN };

Fit fit_system(bool layered_once, bool* spaced) {
  JoinedCut cut;
  // Asked before the cut, whose system ends would answer it.
  const bool unchosen =
      page_fitting.depth <= MAX_RESTARTS && system_too_wide() && !piece_chose_its_systems();
  if (page_fitting.depth > MAX_RESTARTS || !cut_overfull_system(&cut)) return Fit::FITS;
  if (unchosen) remember_unchosen_system_ends();
  ++page_fitting.cuts;
  // The music a cut sends past the page's end begins the next page, which holds more than
  // the piece put there: it is fitted too.
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    Drosa end = page_start[v]->xnext;
    while (end && !ends_page(end)) end = end->xnext;
    if (end && !end->get(xendpiece)) fitted_page_starts.insert(end.handle());
  }
  // A system cut with its least gaps is formatted again as any system is: spaced as usual
  // first, with its least gaps only if the bars it keeps need them.
  if (spacing_tight) {
    tight_system_starts.erase(system_key());
  } else {
    const std::vector<int> page_cuts = cuts_leaving_first_part(cut, layered_once);
    if ((!cut.even || !page_cuts.empty()) &&
        keep_bars_before_cut(cut, layered_once, spaced, page_cuts))
      return Fit::KEPT;
  }
  forget_page_ink();
  page_fitting.restart = true;
  return Fit::AGAIN;
}

// A system the piece ends where it does, spaced as usual, that is wider than its staves even
// squeezed: it is spaced again with its least gaps (the page formatted again, for the spacing
// changes the chords' records as it goes, rests among them), before any of its bars is sent
// on. True when the page is to be formatted again so.
// Reads: spacing_tight, page_fitting depth, fitted_page_starts, unchosen_system_ends, the
//        piece's system ends, the system's spacing.
// Writes: tight_system_starts, page_fitting restart and its ink.
bool tighten_system() {
  if (spacing_tight || page_fitting.depth >= MAX_RESTARTS || !system_too_wide() ||
      !piece_chose_its_systems())
    return false;
  const uint32_t key = system_key();
  if (!key || !tight_system_starts.insert(key).second) return false;
  forget_page_ink();
  page_fitting.restart = true;
  return true;
}

// The system's records as its passes left them for the spacing, while a spacing with its least
// gaps may follow: a format again would give them the same, the systems before it too.
KeptSystemRecords records_before_spacing;

// Whether a system spaced again with its least gaps goes on from the records kept before its
// spacing, rather than the page being formatted again (tests compare the two).
bool respace_in_place = true;
int systems_respaced = 0;

// Whether the system about to be spaced could be spaced again with its least gaps, and a format
// again would lay out the systems before it as they stand: the page has no room kept for ink,
// which the format again would forget, and no system of it was cut in this format.
bool may_respace_in_place() {
  return respace_in_place && !spacing_tight && page_fitting.depth < MAX_RESTARTS &&
         page_fitting.ink_room.empty() && page_fitting.staff_room.empty() &&
         page_fitting.ink_passes == 0 && page_fitting.cuts == cuts_before_systems &&
         piece_chose_its_systems();
}

// A system to be spaced with its least gaps, its records put back as they stood before its
// spacing; the page goes on as a format of it again would from there, counted as one. False
// when they could not be put back (the page is then formatted again).
bool respace_tight() {
  if (!records_before_spacing.put_back()) return false;
  page_fitting.restart = false;
  forget_changed_pages(last_formatted_page, page_fitting.changes);
  page_fitting.changes = piece_change_count;
  ++page_fitting.depth;
  ++systems_respaced;
  spacing_tight = true;
  return true;
}

// Steps 13.3 spacing and 13.3a: false when interrupted or formatted again.
bool space_and_fit(bool layered_once) {
  spacing_tight = tight_system_starts.count(system_key()) != 0;
  if (may_respace_in_place())
    records_before_spacing.keep();
  else
    records_before_spacing.forget();
  for (bool spaced = false;;) {
    if (!spaced && !spacing_pass()) return false;
    spaced = false;
    if (tighten_system()) {
      if (!respace_tight()) return false;
      continue;
    }
    switch (fit_system(layered_once, &spaced)) {
      case Fit::FITS:
        records_before_spacing.forget();
        return true;
      case Fit::AGAIN:
        return false;
      case Fit::KEPT:
        records_before_spacing.forget();  // the system was cut: its records are others now
        break;
    }
  }
}

// Step 13.3: the layout passes of one system, in order, each with what it leaves behind; false
// as soon as one is interrupted. They draw nothing: draw_system does, once they are done.
bool run_passes(bool layered_once) {
  return beam_end_pass()                 // NTDATA xendbeam: where each beam must end or may go on
         && note_positions_pass()        // NTDATA xhdy, xstsize, tablature fields; CDDATA clef
         && setstdir()                   // NTDATA xstmdir: every stem group's stem direction
         && split_unequal_chords()       // chains and chord records without unequal chords
         && join_beams_pass()            // NTDATA xendbeam: beams joined across chords
         && space_and_fit(layered_once)  // CDDATA xorigin, CDDATA2 xidealx: chords packed
         && relocate(system_number)      // NTDATA xhdx, xaccx, signs' x: justified to the width
         && group_tuplets();             // NTDATA and CDDATA tuplet groups and number places
}

// Step 13.3b: the system drawn into the graphics list from what the passes left: its staves,
// brackets, beams and chords, its ties and slurs (laid out as they are drawn) and its
// annotations, in that order; false as soon as one is interrupted.
bool draw_system() {
  system_drawn_after = GE_tail;                          // where the marks kept apart begin to look
  const bool drawn = layout_hooks.plot_page()            // staff lines, brackets, beams, chords
                     && layout_slurs()                   // ties and slurs, the marks beside them
                     && layout_hooks.draw_voice_annos()  // annotations of the voices
                     && layout_hooks.draw_pstaff_texts()   // texts of the staves
                     && layout_hooks.draw_pstaff_annos();  // line annotations of the staves
  system_drawn_after = NIL;
  return drawn;
}

// The first note of the voice's system that is in a print chain.
Drosa first_chained_note(const VoiceData& voice) {
  if (voice.system_start == voice.system_end) return NIL;
  for (Drosa p = voice.system_start->xnext; p && p != voice.system_end; p = p->xnext)
    if (is_visible_note(p)) return p;
  return NIL;
}

// The last note of a staff's layer-0 print chain.
Drosa last_chain_note(int32_t pstaff) {
  Drosa head = staff_data[pstaff].ppnt[0];
  Drosa last = NIL;
  for (Drosa n = head && head->xnext ? head->xnext->get(xpnext) : NIL; is_NOTE(n) && n->xnext;
       n = n->xnext->get(xpnext))
    last = n;
  return last;
}

// The CLEF, KEYSIG and TIMESIG a voice carries into the next system: those after the last
// chord of its staff up to the system's end, else the newest on the staff on this page.
void carry_signs_from_staff(VoiceData& voice, Drosa note) {
  Drosa last = last_chain_note(Find_pstaff(note, 1));
  if (!last) return;
  Drosa found[3] = {NIL, NIL, NIL};
  const int kinds[3] = {CLEF, KEYSIG, TIMESIG};
  for (Drosa p = last->xnext; p && !is_visible_endsyst(p); p = p->xnext)
    for (int i = 0; i < 3; ++i)
      if (effective_kind(p) == kinds[i]) found[i] = p;
  for (int i = 0; i < 3; ++i) {
    if (!found[i]) {
      Drosa listed = look_in_staff_list(kinds[i], last);
      if (listed && effective_kind(listed) == kinds[i]) found[i] = listed;
    }
  }
  if (found[0]) voice.clef = found[0];
  if (found[1]) voice.keysig = found[1];
  if (found[2]) voice.timesig = found[2];
}

// A voice with no note in the system carries the last of each sign in it.
void carry_signs_from_voice(VoiceData& voice) {
  Drosa found[3] = {NIL, NIL, NIL};
  const int kinds[3] = {CLEF, KEYSIG, TIMESIG};
  for (Drosa p = voice.system_end->xback; p && p != voice.system_start; p = p->xback)
    for (int i = 0; i < 3; ++i)
      if (!found[i] && effective_kind(p) == kinds[i]) found[i] = p;
  if (found[0]) voice.clef = found[0];
  if (found[1]) voice.keysig = found[1];
  if (found[2]) voice.timesig = found[2];
}

// Step 13.4: the beaming, clef, key and time signature each voice carries into the page's next
// system. The walks back through the page's chords are kept for the systems after.
void carry_voice_state() {
  keep_staff_walks(true);
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    VoiceData& voice = voice_data[v];
    if (voice.system_start == voice.system_end) continue;
    if (voice.beaming_end) voice.beaming_start = voice.beaming_end;
    if (Drosa note = first_chained_note(voice))
      carry_signs_from_staff(voice, note);
    else
      carry_signs_from_voice(voice);
  }
  keep_staff_walks(false);
}

// Step 13.5: every voice moves on to its next system; a voice whose page has no further
// system stays at its page end. false when interrupted.
bool advance_to_next_system() {
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    if (format_interrupted()) return false;
    VoiceData& voice = voice_data[v];
    bool last = voice.system_start == voice.system_end || ends_page(voice.system_end);
    voice.system_start = voice.system_end;
    if (!last) voice.system_end = next_system_end(voice.system_start);
  }
  ++system_number;
  return true;
}

// Steps 13.1 and 13.1a: the staves of the page's next system, with their settings.
void begin_system_staves() {
  first_pstaff = last_pstaff + 1;
  last_pstaff = first_pstaff;
  while (last_pstaff + 1 < pstaff_count && staff_data[last_pstaff + 1].place != 1) ++last_pstaff;
  apply_staff_settings();
}

// Steps 13.4 and 13.5 after system s; false when interrupted. The page's last system carries
// nothing: a format of any page starts its voices with what is in force at its start (step 4).
bool go_on_after_system(int32_t s) {
  if (s >= system_count) return true;
  carry_voice_state();
  return advance_to_next_system();
}

// Step 12: a new graphics list (the old kept for the screen), no annotation drawn yet.
void begin_page_drawing() {
  layout_hooks.GEinit(1);
  layout_hooks.clear_anno_lowered_at_paper_top();
  layout_hooks.clear_anno_footer_boxes();
  layout_hooks.clear_anno_lyric_lines();
}

// What the passes of each system of the page left for its drawing (one a system, in order): a
// page whose staves stand apart once its ink is known is drawn again from them, rather than
// formatted again, where what it drew cannot move with its staves (a beam between two staves
// that move apart is placed anew).
std::vector<KeptSystemRecords> systems_passed;
int pages_drawn_again = 0;

bool keep_passes_done(int32_t s) {
  systems_passed[size_t(s - 1)].keep();
  return true;
}

// Step 13: the systems of the page in order. false when interrupted.
bool format_systems() {
  forget_staff_walks();  // of the chords of a page formatted before
  systems_passed.resize(size_t(std::max(system_count, 0)));
  for (KeptSystemRecords& kept : systems_passed) kept.forget();
  last_pstaff = -1;
  for (int32_t s = 1; s <= system_count; ++s) {
    begin_system_staves();
    spacing_tight = false;
    const int steps = assign_layers();
    const bool done = steps && run_passes(steps == 1) && keep_passes_done(s) && draw_system();
    spacing_tight = false;
    if (!done || !go_on_after_system(s)) return false;
  }
  return true;
}

// ---- Steps 14 to 16: finishing ---------------------------------------------------------------

// Step 15: what the screen shows, copied from the layout of the page.
void copy_to_screen() {
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    for (Drosa p = page_start[v]->xnext; p && !(is_visible_endsyst(p) && p->get(xendpage));
         p = p->xnext) {
      switch (effective_kind(p)) {
        case PDATA:
          p->set(xscrx1, p->get(xpagex1));
          p->set(xscry1, p->get(xpagey1));
          p->set(xscrx2, p->get(xpagex2));
          p->set(xscry2, p->get(xpagey2));
          break;
        case BAR:
          p->set(xscrbarx, p->get(xbarx));
          break;
        case NOTE: {
          Drosa nt = p->xnext;
          if (!nt || effective_kind(nt) != NTDATA) break;
          bool drawn = is_visible_note(p);
          nt->set(xscrhdx, drawn ? nt->get(xhdx) : NOT_DRAWN);
          nt->set(xscrhdy, drawn ? nt->get(xhdy) : NOT_DRAWN);
          if (drawn) nt->set(xscrrestchar, nt->get(xrestchar));
          break;
        }
        default:
          break;
      }
    }
  }
  for (StaffData& staff : staff_data) {
    staff.screen_place = staff.place;
    staff.screen_middle_y = staff.middle_y;
  }
}

// Step 16: the new picture is shown (not a printed page's, nor one of every page formatted
// in turn, whose last is not the page shown) and the old list freed.
void finish_format(bool printing) {
  if (!printing && !whole_piece_format) model_hooks.redraw_view();
  reformat_pending = 0;
  GE_list_complete = 1;
  if (old_GE_head) destroy_Drosa_list(old_GE_head);
  old_GE_head = NIL;
  layout_hooks.draw_piano_window();
  enable_format_interrupts();
}

}  // namespace

// ---- Formatting -------------------------------------------------------------------------------

namespace {

// Whether the page holds systems cut for their width: some were cut in this format, or the
// page begins where a page was cut because of them.
bool page_has_cut_systems() {
  if (page_fitting.cuts > 0) return true;
  for (int v = 0; v < voices(); ++v)
    if (shown(v) && fitted_page_starts.count(page_start[v].handle())) return true;
  return false;
}

// Ends the page before its system `s` (0 the first), the systems from there on going on at
// the top of the next page, and remembers where that page now begins; true when the page
// was ended there. What no longer fits is carried into the next page rather than given a
// page of its own: that page, too tall in turn, carries its own last systems on, until a page
// has room for them, so that the pages stay full and few.
bool cut_page_before(int s) {
  if (!layout_hooks.move_page_end(s)) return false;
  forget_page_ink();
  for (int v = 0; v < voices(); ++v)
    if (shown(v) && system_cursor[v]) fitted_page_starts.insert(system_cursor[v].handle());
  return true;
}

// Step 6a: a page holding systems cut for their width that has more staves than a page takes
// is cut before the first system that does not fit, as step 7 would, but without a message:
// the user did not ask for these systems; and before the first its height cannot hold, as
// step 9a would find it next. True when it was (the page is formatted again); `staves` then
// holds the systems kept.
bool fit_page_staves(std::vector<int32_t>& staves) {
  if (page_fitting.depth > MAX_RESTARTS || !page_has_cut_systems()) return false;
  const size_t s = first_system_past_staves(staves);
  if (!s) return false;
  // The page is measured for its height next, on the systems kept, as the cut leaves it (what
  // was measured of its ink forgotten): the cuts for its height are found now, so that its
  // end is moved once.
  const PageFitting before = page_fitting;
  forget_page_ink();
  std::vector<int32_t> kept(staves.begin(), staves.begin() + std::ptrdiff_t(s));
  std::vector<int> cuts = {int(s)};
  if (page_fitting.depth < MAX_RESTARTS) add_height_cuts(kept, cuts);
  if (!end_page_at(cuts)) {
    page_fitting = before;
    return false;
  }
  staves = kept;
  return true;
}

// The first system (0 none) that the page cannot hold: one whose staves would have to stand
// closer than what the marks and lyrics between them need (the systems of a page the piece
// ends there stood on one another, lyrics on the staff below), and on a page holding systems
// cut for their width, one beyond its staves moved as close as such a page moves them.
int first_system_past_page(const std::vector<int32_t>& staves, int64_t available) {
  int first = first_system_past_least_distances(staves, available, MOST_SQUEEZED);
  if (page_has_cut_systems())
    if (const int cut = first_system_too_low(staves, available); cut > 0 && (!first || cut < first))
      first = cut;
  return first;
}

// Step 9a: a page taller than its margins allow is cut before the first system that it
// cannot hold; true when it was.
bool fit_page_height(int32_t page, const std::vector<int32_t>& staves) {
  if (page_fitting.depth > MAX_RESTARTS) return false;
  int64_t y0, available;
  page_height_between_margins(page, &y0, &available);
  const int first_too_low = first_system_past_page(staves, available);
  return first_too_low > 0 && cut_page_before(first_too_low);
}

int32_t format_page_once(int32_t page, int keep);

constexpr int MAX_INK_PASSES = 2;

// Step 13a: a system whose ink reaches the system above it (or, the first, past the paper's
// top) stands lower by as much; true when one does (the page is formatted again). A page
// that cannot hold its systems so is cut or squeezed as any page too tall.
bool fit_page_ink() {
  if (page_fitting.depth > MAX_RESTARTS || page_fitting.ink_passes >= MAX_INK_PASSES) return false;
  // A page squeezed to less than half its height has its systems' ink meet whatever room
  // they take: moving them apart would only squeeze it again.
  if (page_fitting.room < 0 &&
      (page_fitting.natural_height + page_fitting.room) * 2 < page_fitting.natural_height)
    return false;
  // The first system's ink stays a quarter inch of the paper below its top (a staff space
  // below what is given as the top).
  const int32_t paper_top = layout_hooks.paper_top(current_ncontext);
  const int32_t edge_room = paper_top > 0 ? layout_page_height() - paper_top : 0;
  const int32_t space = pstaff_count > 0 ? staff_data[0].staff_size : 0;
  PageOverlaps page = page_overlaps(page_height_units() - std::max(edge_room - space, 0));
  std::vector<int32_t>& overlaps = page.systems;
  // The last system stands higher for what hangs below it by squeezing the page: the room it
  // has below its natural place first (a page of one staff has its staff under the top margins).
  if (pstaff_count <= 1)
    overlaps.back() = 0;
  else if (overlaps.back() > 0)
    overlaps.back() += int32_t(std::clamp<int64_t>(page_fitting.room, 0, INT32_MAX / 2));
  const std::vector<std::vector<int32_t>>& between = page.staves;
  auto none = [](const std::vector<int32_t>& v) {
    return std::all_of(v.begin(), v.end(), [](int32_t o) { return o == 0; });
  };
  // What the page's last format could not mend, another will not either.
  if ((overlaps == page_fitting.last_overlaps && between == page_fitting.last_staff_overlaps) ||
      (none(overlaps) && std::all_of(between.begin(), between.end(), none)))
    return false;
  page_fitting.last_overlaps = overlaps;
  page_fitting.last_staff_overlaps = between;
  std::vector<int32_t>& room = page_fitting.ink_room;
  room.resize(std::max(room.size(), overlaps.size()), 0);
  for (size_t s = 0; s < overlaps.size(); ++s) room[s] += overlaps[s];
  // A staff that the marks or lyrics above it reach stands at least as far below the staff
  // above as it stood now and their overlap.
  std::vector<std::vector<int32_t>>& staves = page_fitting.staff_room;
  staves.resize(std::max(staves.size(), between.size()));
  for (size_t s = 0, p = 0; s < between.size(); p += between[s].size(), ++s) {
    staves[s].resize(std::max(staves[s].size(), between[s].size()), 0);
    for (size_t n = 0; n < between[s].size(); ++n)
      if (between[s][n] > 0)
        staves[s][n] = std::max(staves[s][n], staff_data[p + n].middle_y -
                                                  staff_data[p + n + 1].middle_y + between[s][n]);
  }
  ++page_fitting.ink_passes;
  return true;
}

// Step 13b: the staves of a drawn page placed again for the room fit_page_ink found, and the
// page moved with them rather than formatted again; false (the page is formatted again) when
// the page would be cut for its height, or something it drew or placed cannot follow.
bool move_staves_apart(int32_t page, const std::vector<int32_t>& staves) {
  if (!page_fitting.move_staves || int(page_fitting.placed_middle_y.size()) != pstaff_count)
    return false;
  apply_staff_distances();
  int64_t y0, available;
  page_height_between_margins(page, &y0, &available);
  if (first_system_past_page(staves, available) > 0) return false;
  return place_staves_again(page);
}

// Step 13b, the page drawn again: its staves placed for the room fit_page_ink found as a format
// again places them, and each system drawn anew from what its passes left, every height they
// placed moved with its staff. False (the page is then formatted again) when the page would be
// cut for its height, the passes of a system were not kept, or a note drawn on the staff beside
// its own would not follow it.
bool draw_page_again(int32_t page, const std::vector<int32_t>& staves) {
  if (!page_fitting.move_staves || int(systems_passed.size()) != system_count ||
      int(page_fitting.placed_middle_y.size()) != pstaff_count ||
      !std::all_of(systems_passed.begin(), systems_passed.end(),
                   [](const KeptSystemRecords& kept) { return kept.kept(); }))
    return false;
  apply_staff_distances();
  int64_t y0, available;
  page_height_between_margins(page, &y0, &available);
  if (first_system_past_page(staves, available) > 0) return false;
  distribute_staves(page);  // 10
  reset_tie_slur_work();
  start_first_system(page);  // 11
  begin_page_drawing();      // 12
  forget_staff_walks();
  last_pstaff = -1;
  std::vector<int32_t> dy(size_t(std::max(pstaff_count, 0)), 0);
  for (int32_t s = 1; s <= system_count; ++s) {
    begin_system_staves();
    std::vector<int32_t> placed;
    for (int p = first_pstaff; p <= last_pstaff; ++p) placed.push_back(staff_data[p].middle_y);
    KeptSystemRecords& kept = systems_passed[size_t(s - 1)];
    if (!kept.put_back()) return false;
    std::fill(dy.begin(), dy.end(), 0);
    for (int p = first_pstaff; p <= last_pstaff; ++p) {
      dy[size_t(p)] = placed[size_t(p - first_pstaff)] - staff_data[p].middle_y;
      staff_data[p].middle_y = placed[size_t(p - first_pstaff)];
    }
    if (!shift_system_records(dy)) return false;
    kept.keep();  // for a drawing again after this one
    if (!draw_system() || !go_on_after_system(s)) return false;
  }
  ++pages_drawn_again;
  return true;
}

// A format of the page that began at change count `changes` and changed the piece (cut its
// systems or the page) may have changed this page and those after it, not those before.
void forget_changed_pages(int32_t page, uint32_t changes) {
  if (piece_change_count != changes) forget_kept_pages_from(page, changes);
}

// Keeps the staves of the page just formatted in whole, begun at change count `changes`: the
// pages kept at that count before it stay, those after it go when the format changed the piece.
void keep_drawn_staves(int32_t page, uint32_t changes) {
  DrawnPages& kept = drawn_pages;
  if (kept.count != changes || kept.context != current_ncontext) kept.pages.clear();
  kept.pages.erase(kept.pages.lower_bound(page), kept.pages.end());
  kept.count = piece_change_count;
  kept.context = current_ncontext;
  std::vector<DrawnStaff>& staves = kept.pages[page];
  for (int p = 0; p < pstaff_count && p < MAX_PSTAVES; ++p)
    staves.push_back({staff_data[p].middle_y, staff_data[p].distance_below,
                      staff_data[p].least_below, staff_data[p].place});
}

// Formats the page again after its systems changed.
int32_t format_again(int32_t page, int keep, uint32_t changes) {
  forget_changed_pages(page, changes);
  page_fitting.restart = false;
  ++page_fitting.depth;
  const int32_t done = format_page_once(page, keep);
  --page_fitting.depth;
  return done;
}

// The depth of formats again that the format began at, given back however it ends: a page cut
// for its staves or its height goes on in the same format, counting as one formatted again.
struct DepthKept {
  const int depth = page_fitting.depth;
  ~DepthKept() { page_fitting.depth = depth; }
};

int32_t format_page_once(int32_t page, int keep) {
  uint32_t changes = piece_change_count;
  bool other_page = begin_format(page);  // 1: pending, interrupts, cursor
  follow_min_line_width();               // 2: the parameter table
  const bool printing = keep == FORMAT_FOR_PRINTING;
  if (!keep || printing) remove_ntdata(other_page ? REMOVE_OTHER_PAGE : REMOVE_SAME_PAGE);  // 3
  page = locate(page);  // 4: page starts and voice records
  const DepthKept kept;
  std::vector<int32_t> staves;
  PageWalk walk;
  for (bool prepared = false;;) {
    if (!count_staves(staves, walk)) return 0;  // 6: staves of every system
    // 6a: too many staves. The systems kept are measured for the page's height before the
    // page's end is moved, so that a page too tall as well has its end moved once.
    const bool cut_for_staves = fit_page_staves(staves);
    const PageWalk* walked = cut_for_staves ? nullptr : &walk;  // the systems as step 6 saw them
    // 5: a record for every note, made once the systems that do not fit the page's staves
    // have gone on to the next page, which would destroy what was made for them and make it
    // again. The records of the systems kept are what a format of the page cut first makes.
    if (!prepared && !prepare_records(page, other_page)) return 0;
    prepared = true;
    if (!number_pstaves(staves, other_page)) return 0;  // 7: at most 64, numbered
    reset_chain_heads();                                // 8: layer chain heads
    set_staff_distances(staves, walked);                // 9: distances below the staves
    // 9a: too tall, or cut for its staves above.
    if (!fit_page_height(page, staves) && !cut_for_staves) break;
    // A cut page keeps its start and the records of the systems it keeps: the cut changed
    // only what follows it, which the next page prepares. Steps 1, 2 and 4 are taken again;
    // not 3 and 5, which would remove no record and give each the values it has.
    forget_changed_pages(page, changes);
    page_fitting.restart = false;
    ++page_fitting.depth;
    changes = piece_change_count;
    other_page = begin_format(page);
    follow_min_line_width();
    page = locate(page);
    page_index_reread_page(page);
  }
  distribute_staves(page);   // 10: middle lines on the page
  start_first_system(page);  // 11: the voices at the first system
  begin_page_drawing();      // 12: a new graphics list (the old kept for the screen)
  page_fitting.changes = changes;
  cuts_before_systems = page_fitting.cuts;
  const bool formatted = format_systems();  // 13: every system's passes
  changes = page_fitting.changes;
  if (!formatted) return page_fitting.restart ? format_again(page, keep, changes) : 0;
  // 13a: systems that meet, moved apart (13b) or formatted again.
  const int depth = page_fitting.depth;
  while (fit_page_ink()) {
    if (move_staves_apart(page, staves)) {
      ++page_fitting.staff_moves;
    } else if (draw_page_again(page, staves)) {
      forget_changed_pages(page, changes);  // as a format again goes on
      changes = piece_change_count;
    } else {
      const int32_t done = format_again(page, keep, changes);
      page_fitting.depth = depth;
      return done;
    }
    ++page_fitting.depth;  // as a format again would count
  }
  page_fitting.depth = depth;
  if (Drosa flashing = model_hooks.flashing_node()) model_hooks.stop_flashing(flashing);  // 14
  copy_to_screen();         // 15: screen copies
  finish_format(printing);  // 16: show it
  // 17: kept for printing, unless it changed the piece; every page formatted in turn keeps its
  // list as it stands when the next page begins one.
  forget_changed_pages(page, changes);
  layout_hooks.keep_page_graphics(page, changes, whole_piece_format != 0);
  keep_drawn_staves(page, changes);
  return 1;
}

}  // namespace

int32_t format_page(int32_t page, int keep) {
  if (page_fitting.depth == 0) {
    page_fitting.cuts = 0;
    page_fitting.ink_room.clear();
    page_fitting.last_overlaps.clear();
    page_fitting.staff_room.clear();
    page_fitting.last_staff_overlaps.clear();
    page_fitting.ink_passes = 0;
    page_fitting.staff_moves = 0;
    tight_system_starts.clear();
  }
  page_fitting.restart = false;
  // A page formatted again after its systems changed says what it found once.
  report_each_once(true);
  const int32_t done = format_page_once(page, keep);
  report_each_once(false);
  return done;
}

void move_staves_for_ink(bool on) { page_fitting.move_staves = on; }

void respace_systems_in_place(bool on) {
  respace_in_place = on;
  systems_respaced = 0;
}

int systems_respaced_in_place() { return systems_respaced; }

int staves_moved_for_ink() { return page_fitting.staff_moves; }

int pages_drawn_again_for_ink() { return pages_drawn_again; }

void format_all_pages() {
  int32_t shown_page = current_page;
  count_pages();
  whole_piece_format = 1;
  split_said = false;
  // From the first page on: what a page cannot hold goes on at the top of the next, which is
  // formatted after it; a page cut changes no page before it. Every page is formatted in whole
  // and kept, so that printing need not format it again.
  forget_kept_pages();
  for (int32_t page = 1; page <= page_count; ++page) {
    disable_format_interrupts();
    current_page = page;
    format_page(page, 0);
  }
  layout_hooks.settle_page_graphics();  // the last page's list stays the screen's
  if (page_count > 1) layout_hooks.last_page_final(page_count);
  current_page = shown_page;
  whole_piece_format = 0;
  split_said = false;
  enable_format_interrupts();
  page_graphics_stale = 1;
}

std::vector<DrawnStaff> drawn_page_staves(int32_t page) {
  const DrawnPages& kept = drawn_pages;
  if (kept.count != piece_change_count || kept.context != current_ncontext) return {};
  const auto found = kept.pages.find(page);
  return found == kept.pages.end() ? std::vector<DrawnStaff>{} : found->second;
}

// ---- Interrupting a format --------------------------------------------------------------------

namespace {

constexpr uint32_t INTERRUPTING_EVENTS =
    event_mask_of(EVENT_MOUSE_DOWN) | event_mask_of(EVENT_KEY_DOWN) | event_mask_of(EVENT_AUTO_KEY);

}  // namespace

int32_t format_interrupted() {
  layout_hooks.format_idle();
  if (no_format_interrupt) return 0;
  // Keys waiting to be entered stop the format; the main loop enters them.
  if (layout_hooks.input_stops_format()) return 1;
  EventRecord event;
  if (!peek_event(INTERRUPTING_EVENTS, &event)) return 0;
  if (layout_hooks.event_stops_format(event)) return 1;
  no_format_interrupt = 1;
  model_hooks.set_cursor(CURSOR_ID_WATCH);
  return 0;
}

void disable_format_interrupts() { no_format_interrupt = 1; }
void enable_format_interrupts() { no_format_interrupt = 0; }
int format_interrupts_disabled() { return no_format_interrupt; }
