// pages.cpp: pages, systems and measures of the voice lists.
//
// ENDSYST nodes cut every voice list into systems; one with xendpage also ends a page, the
// voice's head starts page 1 and the ENDSYST with xendpiece ends the voice. Everything here
// sees the nodes of the current notation context only.
//
// Locating a page reads what it needs of the earlier pages (where the page starts, the
// PARAM nodes, bars and note times before it, the signs in force, the bar number) from the
// page index (page_index.cpp) instead of walking every voice from its head, so it costs the
// same on every page.
#include "layout/pages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/object_lookup.h"
#include "layout/page_index.h"
#include "params/param_services.h"

namespace {

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

int32_t first_measure_number() { return options_i16(current_ncontext, OPTIONS_FIRST_MEASURE); }

bool starts_page(Drosa node) {
  return effective_kind(node) == ENDSYST && (node->get(xendpage) || node->get(xstartpiece));
}

bool restarts_numbering(Drosa bar) { return bar->get(xrestart_number); }

// How many of the voice's pages lie before the node at which findpage stops: n - 1, or every
// page when the voice ends before page n.
int pages_before(int v, int n) {
  Drosa end;
  if (page_span(v, n)) return n - 1;
  return voice_page_total(v, &end);
}

// What holds where findpage stops for page n.
const PageEntry* entry_at(int v, int n) { return page_entry(v, pages_before(v, n) + 1); }

// The measure number at the start of page k of voice v, with `count` numbered bars after it.
int32_t bar_number_at_page(int v, int k, int32_t count) {
  const PageEntry* entry = page_entry(v, k);
  return (entry->restarted ? 0 : first_measure_number()) + entry->numbered + count;
}

// ---- locate_page ------------------------------------------------------------------------------

struct VoiceCounts {
  std::vector<int32_t> bars;
  std::vector<int64_t> times;
};

// The first page (from 1) up to n at which the two voices' counts disagree.
int first_page_differing(const VoiceCounts& a, const VoiceCounts& b, int n, bool by_bars) {
  for (int p = 1; p <= n; ++p) {
    if (by_bars ? a.bars[p] != b.bars[p]
                : std::llabs(a.times[p] - b.times[p]) > VOICE_TIME_TOLERANCE)
      return p;
  }
  return n;
}

// Asks whether to keep warning, after telling how voice v disagrees with voice r.
void warn_inconsistent(int r, int v, const VoiceCounts& a, const VoiceCounts& b, int n) {
  char message[REPORT_TEXT_SIZE];
  std::string ref_name = voice_display_name(r), name = voice_display_name(v);
  if (a.bars[n] != b.bars[n]) {
    std::snprintf(message, sizeof message,
                  "'%s' has %d barlines before this page, but '%s' has %d.  The barline problem "
                  "first appears on page %d; you may want to go to that page and use the "
                  "Systems... menu option to try and correct it.",
                  ref_name.c_str(), a.bars[n], name.c_str(), b.bars[n],
                  first_page_differing(a, b, n, true));
  } else {
    std::snprintf(message, sizeof message,
                  "'%s' has a different number of beats before this page than '%s'.  The timing "
                  "problem first appears on page %d; you may want to go to that page and try to "
                  "correct it (possibly with the help of Recompute Playback or Enable Duration "
                  "Edits).",
                  ref_name.c_str(), name.c_str(), first_page_differing(a, b, n, false));
  }
  char question[2 * REPORT_TEXT_SIZE];
  std::snprintf(question, sizeof question,
                "%s%s%sClick Yes now if you want to see more of these warnings, click No to avoid "
                "them during this editing session.",
                message, "\n", "\n");
  consistency_warnings_on = yesno_alert(question, 1);
}

// The bars and note times of voice v before page n, as findpage counts them: none when the
// voice ends before the page.
void counts_before(int v, int n, int32_t* bars, int64_t* times) {
  *bars = 0;
  *times = 0;
  if (!page_span(v, n)) return;
  const PageEntry* entry = page_entry(v, n);
  *bars = entry->bars;
  *times = entry->time;
}

// Step 2: page_start of every shown voice, and one warning at most when a voice disagrees
// with the first in bars or beats before the page.
void find_page_starts(int n) {
  page_index_extend_shown(std::max(n, 1));
  int reference = -1;
  bool warned = false;
  int32_t ref_bars = 0;
  int64_t ref_time = 0;
  for (int v = 0; v < voices(); ++v) {
    if (voice_not_shown(v)) continue;
    page_start[v] = findpage(v, n, nullptr, nullptr);
    int32_t bars;
    int64_t time;
    counts_before(v, n, &bars, &time);
    if (reference < 0) {
      reference = v;
      ref_bars = bars;
      ref_time = time;
      continue;
    }
    if (!consistency_warnings_on || warned || whole_piece_format) continue;
    if (std::llabs(ref_time - time) <= VOICE_TIME_TOLERANCE || !ref_bars || !bars) continue;
    VoiceCounts a, b;
    findpage(reference, n, &a.bars, &a.times);
    findpage(v, n, &b.bars, &b.times);
    warn_inconsistent(reference, v, a, b, n);
    warned = true;
  }
}

// Step 3: what is in force at the page start of every shown voice.
void fill_voice_records(int n) {
  for (int v = 0; v < voices(); ++v) {
    if (voice_not_shown(v)) continue;
    const PageEntry* entry = entry_at(v, n);
    VoiceData record{};
    record.print = entry->print ? entry->print : find_next_kind_before_note(PRINT, piece_start[v]);
    record.beaming_start = entry->beaming ? entry->beaming : beaming_head;
    record.clef = entry->clef;
    record.keysig = entry->keysig;
    record.timesig = entry->timesig;
    record.switch_direction = 3;
    voice_data[v] = record;
  }
}

// Step 4: every staff record back to its defaults, the layer chain heads and the screen
// copies kept, and no tie or slur waiting.
void reset_staff_records() {
  for (StaffData& staff : staff_data) {
    StaffData fresh{};
    std::copy(staff.ppnt, staff.ppnt + LAYERS, fresh.ppnt);
    fresh.screen_middle_y = staff.screen_middle_y;
    fresh.screen_place = staff.screen_place;
    fresh.staff_size = 50;
    fresh.lines = 5;
    staff = fresh;
  }
  reset_tie_slur_work();
  pstaff_count = first_pstaff = last_pstaff = 0;
}

// Step 5: the number of the page's first measure, from the first shown voice.
int16_t first_bar_of_page(int n) {
  for (int v = 0; v < voices(); ++v)
    if (!voice_not_shown(v)) return int16_t(bar_number_at_page(v, pages_before(v, n) + 1, 0));
  return int16_t(first_measure_number());
}

// ---- prepare_piece ----------------------------------------------------------------------------

// The TPARAM flags word's bits that make an annotation its classification's model.
bool is_class_model(Drosa tparam) { return tparam->get(xdefault) && !tparam->get(xadjacent); }

void rebuild_class_models() {
  std::fill(class_models, class_models + CLASS_MODEL_SLOTS, NIL);
  for (int v = 0; v < voices(); ++v) {
    if (voice_not_shown(v)) continue;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (effective_kind(p) != TPARAM || !is_class_model(p)) continue;
      if (p->get(xclassify) >= CLASS_MODEL_SLOTS) p->set(xclassify, 0);
      Drosa& slot = class_models[p->get(xclassify)];
      if (slot)
        p->set(xdefault, 0);
      else
        slot = p;
    }
  }
}

// Whether every page of the piece, as last counted, is kept as formatted.
bool every_page_kept() {
  const std::vector<Drosa> kept = layout_hooks.kept_pages_graphics(1, page_count);
  return !kept.empty() && std::all_of(kept.begin(), kept.end(), [](Drosa list) { return !!list; });
}

// ---- Walks over measures -------------------------------------------------------------------

Drosa first_note_after(Drosa node) { return node ? find_next_kind(NOTE, node) : NIL; }

// The length of the beat in force at the note: the denominator of its time signature, a
// quarter without one. A time signature whose denominator is not above 0 (a damaged file or
// import) counts as none.
double beat_length(Drosa note) {
  Drosa timesig = find_prev_kind(TIMESIG, note);
  if (!timesig || timesig->get(xbeat) <= 0) return WHOLE_NOTE_TIME / 4.0;
  return double(WHOLE_NOTE_TIME) / timesig->get(xbeat);
}

}  // namespace

// ---- Pages --------------------------------------------------------------------------------

void count_pages() {
  refresh_page_index();
  page_index_extend_shown(INT32_MAX);
  int most = 1;
  for (int v = 0; v < voices(); ++v) {
    if (voice_not_shown(v)) continue;
    Drosa end;
    most = std::max(most, voice_page_total(v, &end));
  }
  page_count = int16_t(std::min(most, int(INT16_MAX)));
}

void fit_page_to_paper(Drosa start) { fitted_page_starts.insert(start.handle()); }

void forget_fitted_pages_freed() {
  std::erase_if(fitted_page_starts,
                [](uint32_t handle) { return !handle || Drosa(handle)->xkind == FREE; });
}

Drosa findpage(int v, int n, std::vector<int32_t>* bars, std::vector<int64_t>* times) {
  n = std::max(n, 1);
  if (bars) bars->assign(size_t(n) + 1, 0);
  if (times) times->assign(size_t(n) + 1, 0);
  page_param_lists[v] = NIL;
  piece_start[v]->set(xsys_voice, uint8_t(v));
  if (n == 1) return piece_start[v];
  int before = pages_before(v, n);
  page_param_lists[v] = page_entry(v, before + 1)->params;
  // The PARAM nodes are few; a chain longer than the store is a broken one.
  int32_t steps = 0;
  for (Drosa change = page_param_lists[v]; change && steps <= total_Drosa_count; ++steps) {
    param[change->get(xparam_index)].changed = 1;
    change = change->get(xprev_param);
  }
  // Entry k counts pages 1..k; page n, when the voice reaches it, counts what is before it.
  int filled = before == n - 1 ? n : before;
  for (int k = 1; k <= filled && (bars || times); ++k) {
    const PageEntry* entry = page_entry(v, std::min(k, before) + 1);
    if (bars) (*bars)[k] = entry->bars;
    if (times) (*times)[k] = entry->time;
  }
  if (const PageSpan* span = page_span(v, n)) return span->start;
  Drosa end;
  voice_page_total(v, &end);
  return end ? end : piece_start[v];
}

namespace {

// locate_page; `formatting`: the page index is left to read the page again after the format
// has made its records.
int locate(int n, bool formatting) {
  if (n > page_count) {
    REPORT_ERROR(2, "Vesk cannot show page %hd: you have only %hd pages.", short(n), page_count);
    n = page_count;
  }
  n = std::max(n, 1);
  if (formatting)
    refresh_page_index_but_page(n);
  else
    refresh_page_index();
  find_page_starts(n);
  fill_voice_records(n);
  reset_staff_records();
  page_first_bar = first_bar_of_page(n);
  return n;
}

}  // namespace

int locate_page(int n) { return locate(n, false); }

int locate_page_to_format(int n) { return locate(n, true); }

void prepare_piece(bool only_to_print) {
  preparing_piece = 1;
  layout_hooks.update_window();
  first_format = 1;
  model_hooks.stop_flashing(NIL);  // nothing flashes
  clear_page_index();
  // A piece opened only to be printed whose every page is kept as formatted (an import formats
  // and keeps every page, counting them as it goes) is printed as kept and then let go of:
  // nothing formats or edits it, so its pages are not counted again nor its annotation class
  // models rebuilt, each a walk over every node of the piece.
  const bool all_kept = only_to_print && every_page_kept();
  if (!all_kept) {
    page_count = 1;
    count_pages();
  }
  current_page = requested_page >= 1 && requested_page <= page_count ? requested_page : 1;
  last_formatted_page = -500;
  model_hooks.display_win_title(1, " (preparing piece)");
  if (!all_kept) rebuild_class_models();
  // A piece opened only to be printed shows no page: one kept as formatted (an import formats
  // and keeps every page) is printed as kept, and formatting it again would make the same page.
  const bool kept = only_to_print && layout_hooks.kept_page_graphics(current_page);
  if (!kept && !format_page(current_page, 0))
    REPORT_ERROR(4, "format_page() interrupted on first format");
  model_hooks.display_win_title(1, nullptr);
  first_format = 0;
  preparing_piece = 0;
}

// ---- Measures and beats ---------------------------------------------------------------------

int32_t bar_number_of_node(Drosa node) {
  if (!node) return first_measure_number();
  refresh_page_index();
  int32_t count = 0;
  for (Drosa p = node; p; p = p->xback) {
    int kind = effective_kind(p);
    if (kind == BAR) {
      if (restarts_numbering(p)) return p->get(xbarnumber) + count;
      if (!p->get(xunnumbered)) ++count;
    } else if (kind == ENDSYST && starts_page(p)) {
      int v, k;
      if (indexed_page_start(p, &v, &k)) return bar_number_at_page(v, k, count);
    }
  }
  return first_measure_number() + count;
}

int32_t count_bars_before(Drosa node) {
  if (!node) return 1;
  refresh_page_index();
  int32_t count = 1;
  for (Drosa p = node; p; p = p->xback) {
    int kind = effective_kind(p);
    if (kind == BAR) ++count;
    int v, k;
    if (kind == ENDSYST && starts_page(p) && indexed_page_start(p, &v, &k))
      return count + page_entry(v, k)->bars;
  }
  return count;
}

Drosa find_measure_start(int32_t n, int v) {
  if (v < 0 || v >= voices() || !piece_start[v]) return NIL;
  int32_t m = first_measure_number();
  if (n <= m) return first_note_after(piece_start[v]);
  for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
    if (effective_kind(p) != BAR) continue;
    if (restarts_numbering(p))
      m = p->get(xbarnumber);
    else if (!p->get(xunnumbered))
      ++m;
    if (m >= n) return first_note_after(p);
  }
  return NIL;
}

Drosa find_note_after_bars(int32_t n, int v) {
  if (v < 0 || v >= voices() || !piece_start[v]) return NIL;
  Drosa p = piece_start[v];
  for (int32_t i = 1; i < n && p; ++i) p = find_next_kind(BAR, p);
  return first_note_after(p);
}

Drosa find_note_at_beat(Drosa note, double b) {
  if (!note || b <= 1.0001) return note;
  double beat = beat_length(note);
  Drosa current = note;
  for (Drosa p = note->xnext; p; p = p->xnext) {
    int kind = effective_kind(p);
    if (kind == BAR || kind == ENDSYST) break;
    if (kind != NOTE) continue;
    double t = find_time_in_bar(p);
    if (b < t / beat + 0.9999 && !current->get(xgrace)) return current;
    current = p;
  }
  return current;
}

int32_t find_measure_any_voice(int32_t n) {
  if (n == 0) return 1;
  for (int v = 0; v < voices(); ++v) {
    if (voice_not_shown(v)) continue;
    Drosa note = find_measure_start(n, v);
    if (!note) return 1;
    int32_t page = 1;
    for (Drosa p = note->xback; p && p != piece_start[v]; p = p->xback)
      if (effective_kind(p) == ENDSYST && p->get(xendpage)) ++page;
    return page;
  }
  return 1;
}
