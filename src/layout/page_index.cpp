// page_index.cpp: what each voice's pages hold, kept between page locations.
//
// Locating page N needs, for every voice, where the page starts, the PARAM nodes of every
// earlier page, the bars and note times before it, the PRINT, BEAMING, CLEF, KEYSIG and
// TIMESIG in force at its start and the number of its first bar. All of that depends on
// every earlier page, so finding it by walking from the voice's head costs time in
// proportion to N. The index keeps a summary of each page of each voice (PageSpan), built
// page by page as far as a location needs, and what holds at each page start (PageEntry),
// summed from the summaries; so locating page N walks no node of an earlier page once those
// pages are known, and a change to page k sums again from page k only when it changed what
// page k hands on (its bars, note times, PARAMs, signs or bar numbering).
//
// Keeping the index true:
//  1. Every change to the music goes through the undo primitives, which append a record
//     naming the changed place to the undo list. refresh_page_index reads the records
//     appended since it last looked and reads again the pages they name; a page that now
//     ends elsewhere drops every later page from the index.
//  2. Anything it cannot follow empties the index: another notation context, a voice made
//     or removed, the undo list shortened or cleared (an Undo consumed records), any change
//     of the redo list (an Undo, a Redo, or an edit after an Undo), or more changed nodes
//     than it is worth following one by one.
//  3. Changes made without the undo primitives call page_index_changed_at (the page split)
//     or clear_page_index (preparing a piece, a format that must rebuild everything). PARAM
//     nodes are linked without undo records, by the parameter editor at the insertion point
//     and by each format of a page, which makes them anew: both happen on the page shown, so
//     every refresh reads the page formatted last again, as each format does after making
//     its PARAMs (page_index_reread_page).
//  4. The index maps the ENDSYST that starts each indexed page to its voice and page, so a
//     changed node finds its page by walking back to the nearest page start.
#include "layout/page_index.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/midline_marks.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

// The pages of one voice indexed so far.
struct VoiceIndex {
  std::vector<PageSpan> pages;
  // entries[k] holds at the start of page k + 1; entries[pages.size()] after the last page.
  // Those before `entries_valid` agree with the pages before them.
  std::vector<PageEntry> entries;
  size_t entries_valid = 0;
  Drosa next_start;  // start of the first page not indexed yet; NIL once the voice's end is
  Drosa end;         // the ENDSYST that ends the voice, once reached (NIL for a broken list)
  bool started = false;
};

// What the index was built from; a difference means it must be checked or emptied.
struct Stamp {
  bool valid = false;
  int16_t context = 0;
  int16_t voices = 0;
  Drosa heads[MAX_VOICES];
  Drosa undo_tail, undo_tail_back, redo_tail;
  uint8_t undo_tail_payload[DROSA_PAYLOAD_SIZE] = {};
  uint64_t marks = 0;  // MARKs made on the undo list
};

VoiceIndex voices_index[MAX_VOICES];
std::unordered_map<uint32_t, std::pair<int, int>> page_of_start;  // start → (voice, page - 1)
Stamp stamp;

// Following the records of a node costs a walk back to its page's start, about a page of one
// voice; emptying the index costs reading again every page of every voice up to the next
// page located, about every page indexed. A change that cuts a system or a page records a
// few nodes in every voice, so the nodes followed grow with the voices. A node is recorded
// for each change made to it (a cut records most of its nodes two or three times): the
// records are counted to a few times as many, the nodes they name once each.
constexpr int RECORDS_A_NODE = 4;
int most_nodes_followed() {
  size_t indexed = 0;
  for (const VoiceIndex& index : voices_index) indexed += index.pages.size();
  return int(std::max<size_t>(64 + 8 * size_t(std::clamp<int>(voice_count, 0, MAX_VOICES)),
                              std::min<size_t>(indexed, INT32_MAX)));
}

bool is_visible_endsyst(Drosa node) { return effective_kind(node) == ENDSYST; }

bool starts_page(Drosa node) {
  return is_visible_endsyst(node) && (node->get(xendpage) || node->get(xstartpiece));
}

bool ends_page(Drosa node) {
  return is_visible_endsyst(node) && (node->get(xendpage) || node->get(xendpiece));
}

// The reading of one page of voice v, a node at a time. Every visible ENDSYST on the way is
// given the voice's number, which the parameter lookup reads.
class PageRead {
 public:
  PageRead(int v, Drosa start) : v_(v), at_(start->xnext) {
    span_.start = start;
    start->set(xsys_voice, uint8_t(v));
  }

  // Looks at the next node; false once the page is read (or the list ends without an end).
  [[gnu::always_inline]] bool step() {
    if (!at_) return false;
    const Drosa p = at_;
    at_ = p->xnext;
    switch (effective_kind(p)) {
      case ENDSYST:
        p->set(xsys_voice, uint8_t(v_));
        if (ends_page(p)) {
          end_ = p;
          at_ = NIL;
          return false;
        }
        break;
      case PARAM: {
        int16_t pindex = p->get(xparam_index);
        if (pindex < 1 || pindex > PARAM_LAST) {
          REPORT_ERROR(4, "Bad PARAM node in findpage: %lx pindex %hd voice %hd",
                       static_cast<unsigned long>(p.handle()), pindex, short(v_));
          break;
        }
        span_.params.push_back(p);
        break;
      }
      case LINE:
        if (p->get(xline_ord) == LINE_BEGIN && !p->get(xline_eocvar)) span_.lines.push_back(p);
        break;
      case BAR:
        ++span_.bars;
        if (p->get(xrestart_number)) {
          span_.restarts = true;
          span_.restart_number = p->get(xbarnumber);
          span_.numbered_bars = 0;
        } else if (!p->get(xunnumbered)) {
          ++span_.numbered_bars;
        }
        break;
      case NOTE:
        span_.time += p->get(xttn);
        break;
      case PRINT:
        span_.print = p;
        break;
      case BEAMING:
        span_.beaming = p;
        break;
      case CLEF:
        span_.clef = p;
        break;
      case KEYSIG:
        span_.keysig = p;
        break;
      case TIMESIG:
        span_.timesig = p;
        break;
      default:
        break;
    }
    return true;
  }

  int voice() const { return v_; }
  PageSpan& span() { return span_; }
  // The ENDSYST that ends the page (a page break or the voice's end), NIL when the list
  // ended without one.
  Drosa end() const { return end_; }

 private:
  int v_;
  Drosa at_, end_;
  PageSpan span_;
};

// Where the index of a voice goes on after a page that ended at `end`.
void continue_after(VoiceIndex& index, Drosa end) {
  if (end && !end->get(xendpiece)) {
    index.next_start = end;
    index.end = NIL;
  } else {
    index.next_start = NIL;
    index.end = end;
  }
}

void drop_pages_from(int v, size_t count) {
  VoiceIndex& index = voices_index[v];
  index.entries_valid = std::min(index.entries_valid, count + 1);
  for (size_t k = count; k < index.pages.size(); ++k)
    page_of_start.erase(index.pages[k].start.handle());
  if (count < index.pages.size()) index.pages.resize(count);
}

// Whether what a page holds for the pages after it is unchanged.
bool same_summary(const PageSpan& a, const PageSpan& b) {
  return a.bars == b.bars && a.time == b.time && a.params == b.params && a.print == b.print &&
         a.beaming == b.beaming && a.clef == b.clef && a.keysig == b.keysig &&
         a.timesig == b.timesig && a.numbered_bars == b.numbered_bars && a.restarts == b.restarts &&
         a.restart_number == b.restart_number;
}

// What holds after a page, from what held before it. Links the page's PARAM nodes to the
// chain of those before it.
PageEntry entry_after(const PageEntry& before, const PageSpan& page) {
  PageEntry after = before;
  after.bars += page.bars;
  after.time += page.time;
  for (Drosa change : page.params) {
    change->set(xprev_param, after.params);
    after.params = change;
  }
  if (page.print) after.print = page.print;
  if (page.beaming) after.beaming = page.beaming;
  if (page.clef) after.clef = page.clef;
  if (page.keysig) after.keysig = page.keysig;
  if (page.timesig) after.timesig = page.timesig;
  if (page.restarts) {
    after.restarted = true;
    after.numbered = page.restart_number + page.numbered_bars;
  } else {
    after.numbered += page.numbered_bars;
  }
  return after;
}

// Makes entries 0..k of voice v agree with its pages (k at most the number of pages).
void update_entries(VoiceIndex& index, size_t k) {
  if (index.entries.size() < index.pages.size() + 1) index.entries.resize(index.pages.size() + 1);
  if (index.entries_valid == 0) {
    index.entries[0] = PageEntry{};
    index.entries_valid = 1;
  }
  for (size_t j = index.entries_valid; j <= k; ++j)
    index.entries[j] = entry_after(index.entries[j - 1], index.pages[j - 1]);
  index.entries_valid = std::max(index.entries_valid, k + 1);
}

// The next page of voice v to read for indexing it up to page k; false when there is none.
bool next_page_to_read(int v, int k) {
  VoiceIndex& index = voices_index[v];
  if (!index.started) {
    index.started = true;
    index.next_start = piece_start[v];
  }
  return int(index.pages.size()) < k && index.next_start;
}

// Indexes the page just read.
void add_page_read(PageRead& read) {
  VoiceIndex& index = voices_index[read.voice()];
  page_of_start[read.span().start.handle()] = {read.voice(), int(index.pages.size())};
  index.pages.push_back(std::move(read.span()));
  continue_after(index, read.end());
}

// Indexes voice v up to page k (or its end).
void extend_voice(int v, int k) {
  while (next_page_to_read(v, k)) {
    PageRead read(v, voices_index[v].next_start);
    while (read.step()) {
    }
    add_page_read(read);
  }
}

// Page k (0-based) of the voice, read again: what the index holds of it, and of the pages
// after it when it now ends elsewhere (they are dropped).
void take_page_read_again(PageRead& read, int k) {
  const int v = read.voice();
  VoiceIndex& index = voices_index[v];
  PageSpan& span = read.span();
  const Drosa end = read.end();
  bool same_end = size_t(k) + 1 < index.pages.size()
                      ? end == index.pages[k + 1].start && end && !end->get(xendpiece)
                      : end == (index.next_start ? index.next_start : index.end);
  if (!same_summary(span, index.pages[k]))
    index.entries_valid = std::min(index.entries_valid, size_t(k) + 1);
  index.pages[k] = std::move(span);
  if (same_end) return;
  drop_pages_from(v, size_t(k) + 1);
  continue_after(index, end);
}

// Reads page k (0-based) of voice v again; drops the later pages when it now ends elsewhere.
void reread(int v, int k) {
  VoiceIndex& index = voices_index[v];
  if (k < 0 || k >= int(index.pages.size())) return;
  PageRead read(v, index.pages[k].start);
  while (read.step()) {
  }
  take_page_read_again(read, k);
}

// The walk back from a node to the nearest page start the index knows, a node at a time: it
// finds the indexed page (voice, 0-based page) the node lies on, or not when it meets a
// list's start that no indexed voice begins with (a node outside the voices, or a voice not
// indexed yet: then no page needs reading, `none`). No page needs reading again either for a
// node that lies after a page start the index
// does not know, before the node: the index holds every voice's pages from its first on, so
// that page is beyond them, or is a page end made by a change whose own record names the
// page it was made on. Nor for a node that a later change of the same records removed (it
// is kept in the undo history): the removal's record names the page it left.
class PageWalk {
 public:
  explicit PageWalk(Drosa node) : node_(node), at_(node) {}

  // Looks at the next node back; false once the walk has ended.
  [[gnu::always_inline]] bool step() {
    if (done_) return false;
    const Drosa p = at_;
    if (starts_page(p)) {
      auto found = page_of_start.find(p.handle());
      if (found != page_of_start.end()) {
        page_ = found->second;
        found_ = done_ = true;
        return false;
      }
      if (p != node_) {
        none_ = done_ = true;
        return false;
      }
    }
    if (!p->xback) {
      for (int v = 0; v < voice_count && v < MAX_VOICES; ++v)
        if (piece_start[v] == p && voices_index[v].pages.empty()) none_ = true;
      if (p == undo_heads[0] || p == undo_heads[1]) none_ = true;
      done_ = true;
      return false;
    }
    at_ = p->xback;
    return true;
  }

  // Once ended: whether the page was found, and which; else whether no page needs reading.
  bool found() const { return found_; }
  const std::pair<int, int>& page() const { return page_; }
  bool none() const { return none_; }

 private:
  Drosa node_, at_;
  std::pair<int, int> page_;
  bool done_ = false, found_ = false, none_ = false;
};

// Adds the pages of the nodes, and of the node before each (a changed page start also
// changes the page it ends). false when a node's page cannot be told. Where neither starts a
// page, both lie on one page, found by one walk back; so do they where the node starts a page
// the index does not know and the node before it starts none: the walk back from the node
// goes on past it, from the node before, as the walk from that node does. The walks are taken
// side by side, a node of each in turn, so that the nodes they reach are waited for together.
bool note_changed_pages(const std::vector<Drosa>& nodes, std::vector<std::pair<int, int>>* dirty) {
  std::vector<PageWalk> walks;
  for (Drosa node : nodes) {
    if (!node) continue;
    const Drosa before = node->xback;
    const bool one_page =
        before && !starts_page(before) &&
        (!starts_page(node) || page_of_start.find(node.handle()) == page_of_start.end());
    if (!one_page) walks.emplace_back(node);
    if (before) walks.emplace_back(before);
  }
  // One walk alone (a page start made or taken away within a page) needs no turns.
  if (walks.size() == 1)
    while (walks[0].step()) {
    }
  std::vector<PageWalk*> walking;
  if (walks.size() > 1)
    for (PageWalk& walk : walks) walking.push_back(&walk);
  while (!walking.empty())
    for (size_t i = 0; i < walking.size();) {
      if (walking[i]->step()) {
        ++i;
      } else {
        walking[i] = walking.back();
        walking.pop_back();
      }
    }
  for (const PageWalk& walk : walks) {
    if (walk.found())
      dirty->push_back(walk.page());
    else if (!walk.none())
      return false;
  }
  return true;
}

// `left` (0-based, -1 for none): the page of the shown voices that the caller reads again.
void reread_pages(std::vector<std::pair<int, int>> dirty, int left = -1) {
  std::sort(dirty.begin(), dirty.end());
  dirty.erase(std::unique(dirty.begin(), dirty.end()), dirty.end());
  for (const auto& [v, k] : dirty)
    if (k != left || voice_not_shown(v)) reread(v, k);  // a dropped page is passed over
}

bool heads_differ(const Drosa* heads) {
  for (int v = 0; v < MAX_VOICES; ++v)
    if (heads[v] != piece_start[v]) return true;
  return false;
}

void take_stamp() {
  stamp.valid = true;
  stamp.context = current_ncontext;
  stamp.voices = voice_count;
  std::copy(piece_start, piece_start + MAX_VOICES, stamp.heads);
  stamp.undo_tail = undo_tails[0];
  stamp.redo_tail = undo_tails[1];
  stamp.undo_tail_back = stamp.undo_tail ? stamp.undo_tail->xback : NIL;
  stamp.marks = undo_marks_made(0);
  if (stamp.undo_tail)
    std::memcpy(stamp.undo_tail_payload, stamp.undo_tail->payload, DROSA_PAYLOAD_SIZE);
}

// The tail the stamp saw. A record's node freed by an Undo and made again by a later edit
// has the same handle but not the same contents; a MARK that a new command reuses keeps its
// place but not its contents, and stays the tail, while a MARK made anew in the place of one
// an Undo took is told by the count of MARKs made.
bool is_remembered_tail(Drosa node) {
  if (node != stamp.undo_tail || node->xback != stamp.undo_tail_back) return false;
  return node->xkind == MARK ||
         std::memcmp(node->payload, stamp.undo_tail_payload, DROSA_PAYLOAD_SIZE) == 0;
}

// The records appended to the undo list since the stamp; false when the list did anything
// but grow at its end.
bool new_undo_records(std::vector<Drosa>* records) {
  Drosa p = undo_tails[0];
  uint64_t marks = 0;
  const int most = RECORDS_A_NODE * most_nodes_followed();
  for (; p && !is_remembered_tail(p); p = p->xback) {
    if (p->xkind == UNDO) records->push_back(p);
    if (p->xkind == MARK) ++marks;
    if (int(records->size()) > most) return false;
  }
  return p == stamp.undo_tail && stamp.marks + marks == undo_marks_made(0);
}

// Follows the new undo records page by page, but for page `left` of the shown voices;
// false when that is not possible.
bool follow_undo_records(int left) {
  if (undo_tails[1] != stamp.redo_tail) return false;
  if (undo_tails[0] == stamp.undo_tail && (!undo_tails[0] || is_remembered_tail(undo_tails[0])))
    return undo_marks_made(0) == stamp.marks;
  std::vector<Drosa> records;
  if (!new_undo_records(&records)) return false;
  // A cut of a system records the same few nodes many times over: each is walked back from
  // once (the walks only read, so the pages they find do not depend on their order).
  std::vector<uint32_t> handles;
  handles.reserve(records.size());
  for (Drosa record : records) handles.push_back(record->get(xundo_prev).handle());
  std::sort(handles.begin(), handles.end());
  handles.erase(std::unique(handles.begin(), handles.end()), handles.end());
  if (int(handles.size()) > most_nodes_followed()) return false;
  std::vector<Drosa> changed;
  for (uint32_t handle : handles) changed.push_back(Drosa(handle));
  std::vector<std::pair<int, int>> dirty;
  if (!note_changed_pages(changed, &dirty)) return false;
  reread_pages(std::move(dirty), left);
  return true;
}

int shown_voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

// refresh_page_index, leaving page `left` (1-based; 0 for none) of the shown voices unread.
void refresh(int left) {
  bool same_piece = stamp.valid && stamp.context == current_ncontext &&
                    stamp.voices == voice_count && !heads_differ(stamp.heads);
  if (!same_piece || !follow_undo_records(left - 1))
    clear_page_index();
  else if (last_formatted_page >= 1 && last_formatted_page != left)
    page_index_reread_page(last_formatted_page);
  take_stamp();
}

}  // namespace

void refresh_page_index() { refresh(0); }

void refresh_page_index_but_page(int k) { refresh(k); }

const PageSpan* page_span(int v, int k) {
  if (v < 0 || v >= MAX_VOICES || !piece_start[v] || k < 1) return nullptr;
  extend_voice(v, k);
  const VoiceIndex& index = voices_index[v];
  return k <= int(index.pages.size()) ? &index.pages[k - 1] : nullptr;
}

const PageEntry* page_entry(int v, int k) {
  if (v < 0 || v >= MAX_VOICES || !piece_start[v] || k < 1) return nullptr;
  extend_voice(v, k);
  VoiceIndex& index = voices_index[v];
  if (size_t(k) > index.pages.size() + 1 || (size_t(k) > index.pages.size() && index.next_start))
    return nullptr;
  update_entries(index, size_t(k) - 1);
  return &index.entries[size_t(k) - 1];
}

int voice_page_total(int v, Drosa* end) {
  *end = NIL;
  if (v < 0 || v >= MAX_VOICES || !piece_start[v]) return 0;
  extend_voice(v, INT32_MAX);
  *end = voices_index[v].end;
  return int(voices_index[v].pages.size());
}

bool indexed_page_start(Drosa start, int* v, int* k) {
  auto found = page_of_start.find(start.handle());
  if (found == page_of_start.end() || !starts_page(start)) return false;
  *v = found->second.first;
  *k = found->second.second + 1;
  return true;
}

void page_index_changed_at(Drosa node) {
  std::vector<std::pair<int, int>> dirty;
  if (note_changed_pages({node}, &dirty))
    reread_pages(std::move(dirty));
  else
    clear_page_index();
}

void page_index_extend_shown(int k) {
  // A page not read since the piece was made lies in memory its reading is the first to
  // reach, a node at a time along each voice: the voices are read side by side, a node of
  // each in turn, so that their nodes are waited for together rather than one by one.
  std::vector<PageRead> reads;
  for (int v = 0; v < shown_voices(); ++v)
    if (!voice_not_shown(v) && piece_start[v] && k >= 1 && next_page_to_read(v, k))
      reads.emplace_back(v, voices_index[v].next_start);
  while (!reads.empty()) {
    for (size_t i = 0; i < reads.size();) {
      if (reads[i].step()) {
        ++i;
        continue;
      }
      const int v = reads[i].voice();
      add_page_read(reads[i]);
      if (next_page_to_read(v, k)) {
        reads[i] = PageRead(v, voices_index[v].next_start);
        ++i;
      } else {
        reads[i] = std::move(reads.back());
        reads.pop_back();
      }
    }
  }
}

void page_index_reread_page(int k) {
  // The voices' pages are read side by side, as page_index_extend_shown reads them.
  std::vector<PageRead> reads;
  for (int v = 0; v < shown_voices(); ++v)
    if (!voice_not_shown(v) && k >= 1 && k <= int(voices_index[v].pages.size()))
      reads.emplace_back(v, voices_index[v].pages[size_t(k) - 1].start);
  for (bool reading = true; reading;) {
    reading = false;
    for (PageRead& read : reads) reading |= read.step();
  }
  for (PageRead& read : reads) take_page_read_again(read, k - 1);
}

void clear_page_index() {
  for (VoiceIndex& index : voices_index) index = VoiceIndex{};
  page_of_start.clear();
  stamp.valid = false;
}
