// musicxml_import.cpp: the MusicXML import's entry and its parse pass.
//
// The import runs in two passes: the parse streams the document through the XML reader into
// the element handlers, which append nodes to one list per staff of every part; the
// analysing pass then makes the piece's voices of them. A failure anywhere throws its message
// as a text, which only the entry catches: it reports the message, frees whatever the
// handlers had built, and the import gives up.
#include "ImportExport/musicxml_import.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/musicxml_services.h"
#include "ImportExport/mxl_container.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xml_reader.h"
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/files.h"

namespace {
// What a failure throws: its message, carried to the entry's report.
struct ImportFailure {
  std::string message;
};
}  // namespace

[[noreturn]] void mxml_throw(const char* message) {
  throw ImportFailure{message ? debug_hook(message) : ""};
}

[[noreturn]] void mxml_refuse(const char* format, ...) {
  char text[REPORT_TEXT_SIZE];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  mxml_throw(text);
}

void mxml_check_measure_time(int64_t t) {
  const int64_t divisions = std::max<int32_t>(mxml.divisions, 1);
  if (t <= MXML_MOST_MEASURE_DIVISIONS && t / divisions * 16384 <= MXML_MOST_TIME_UNITS) return;
  mxml_refuse(
      "Vesk cannot import this MusicXML file: %s lasts longer than Vesk can hold (the "
      "music may last at most 16,384 whole notes, and a measure at most 2,147,483,647 "
      "divisions).",
      mxml_where().c_str());
}

void mxml_count_note() {
  if (++mxml.notes_made > MXML_MOST_NOTES)
    mxml_refuse(
        "Vesk cannot import this MusicXML file: it holds more than %d notes and rests "
        "(the limit was passed in %s). Real scores hold far fewer; the file may be "
        "damaged or made by a program.",
        MXML_MOST_NOTES, mxml_where().c_str());
  if (++mxml.measure_nodes > MXML_MOST_MEASURE_NOTES)
    mxml_refuse(
        "Vesk cannot import this MusicXML file: %s holds more than %d notes and rests, "
        "more than Vesk lays out in one measure.",
        mxml_where().c_str(), MXML_MOST_MEASURE_NOTES);
}

void mxml_notice(MxmlNotice kind, const char* format, ...) {
  MxmlNoticeRecord& r = mxml.notices[size_t(kind)];
  if (r.count++ > 0) return;
  mxml.notice_order.push_back(kind);
  char text[REPORT_TEXT_SIZE];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  r.first = text;
}

std::vector<std::string> mxml_notice_texts() {
  std::vector<std::string> texts;
  for (MxmlNotice kind : mxml.notice_order) {
    const MxmlNoticeRecord& r = mxml.notices[size_t(kind)];
    texts.push_back(r.first);
    if (r.count > 1)
      texts.back() += " The document has " + std::to_string(r.count) + " such places.";
  }
  return texts;
}

std::string mxml_where() {
  const int part = mxml.part_index;
  if (part < 0 || part >= mxml.part_count) return "the part list";
  const std::string& name =
      mxml.part_names[part].empty() ? mxml.part_ids[part] : mxml.part_names[part];
  return "measure " + std::to_string(mxml.last_number) + " of part \"" + name + "\"";
}

namespace {

constexpr int SMALL_DOCUMENT = 7;  // measures
constexpr int FEW_SYSTEMS = 12;    // system breaks
constexpr int XML_SIZES = 16;      // element stack, attribute stack, text growth

struct FileCloser {
  int file;
  ~FileCloser() {
    if (file >= 0) platform_file_close(file);
  }
};

// Reads the document through the element handlers (a compressed file's once it is unpacked);
// a document the XML reader refuses is refused with the reader's reason and the place it
// stopped at.
void read_document() {
  XmlReadStop stop;
  int32_t code;
  std::string unpacked;  // the document of a compressed file
  if (!mxml_input.memory && is_compressed_musicxml(piece_fsspec)) {
    std::string message;
    if (!read_mxl_file(piece_fsspec, mxml_byte_limit, &unpacked, &message))
      mxml_throw(message.c_str());
    code = xml_read_memory(unpacked.data(), unpacked.size(), mxml_start_element, mxml_end_element,
                           nullptr, XML_SIZES, XML_SIZES, XML_SIZES, mxml_byte_limit, &stop,
                           mxml_element_code);
  } else if (mxml_input.memory) {
    code = xml_read_memory(mxml_input.bytes, mxml_input.size, mxml_start_element, mxml_end_element,
                           nullptr, XML_SIZES, XML_SIZES, XML_SIZES, mxml_byte_limit, &stop,
                           mxml_element_code);
  } else {
    const int file = platform_file_open(piece_fsspec.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) mxml_throw("Vesk could not open the MusicXML file.");
    FileCloser closer{file};
    code = xml_read(file, mxml_start_element, mxml_end_element, nullptr, XML_SIZES, XML_SIZES,
                    XML_SIZES, mxml_byte_limit, &stop, mxml_element_code);
  }
  if (code == XML_READ_TOO_BIG)
    mxml_refuse(
        "Vesk cannot import this MusicXML file: it is larger than %llu MB, far larger "
        "than real scores, so it may be damaged or endless. Vesk stopped reading at "
        "line %llu.",
        static_cast<unsigned long long>(mxml_byte_limit >> 20),
        static_cast<unsigned long long>(stop.line));
  if (code != XML_READ_OK)
    mxml_refuse(
        "Import error: Badly formatted Music XML. %s Vesk stopped reading at line %llu, "
        "column %llu.",
        xml_read_result_text(code), static_cast<unsigned long long>(stop.line),
        static_cast<unsigned long long>(stop.column));
  if (stop.bad_utf8_line)
    mxml_notice(MxmlNotice::not_utf8,
                "The MusicXML file is not all UTF-8: line %llu, column %llu holds a byte that is "
                "no part of a character. Vesk reads a text that holds such bytes byte by byte, "
                "so some of its letters may be wrong.",
                static_cast<unsigned long long>(stop.bad_utf8_line),
                static_cast<unsigned long long>(stop.bad_utf8_column));
}

// The page size the document gives becomes the current notation context's.
void set_page_size() {
  mxml_apply_layout();
  const int context = std::max<int>(current_ncontext, 1);
  if (options_i32(context, OPTIONS_PAGE_WIDTH) == mxml.result_width &&
      options_i32(context, OPTIONS_PAGE_HEIGHT) == mxml.result_height)
    return;
  set_options_i32(context, OPTIONS_PAGE_WIDTH, mxml.result_width);
  set_options_i32(context, OPTIONS_PAGE_HEIGHT, mxml.result_height);
  if (!offscreen_changesize()) {
    REPORT_ERROR(4, "Memory logic error in MusicXML_parse()");
    mxml_throw("");
  }
  make_cursor_visible();
}

// The document's pages are headed by its own texts: the page title names no file (the
// piece's name would be the document's after ":from: "). Page numbers stay as they are.
void title_without_file_name() {
  set_options_i16(std::max<int>(current_ncontext, 1), OPTIONS_TITLE, 0);
}

// A system break any part gives is a break of every part: the lists that lack it get it
// after the same bar line.
void normalise_breaks() {
  std::map<int, bool> all;
  for (int v = 0; v < voice_count; ++v)
    for (auto [bars, page] : mxml.lists[size_t(v)].breaks) all[bars] = all[bars] || page;
  for (int v = 0; v < voice_count; ++v) {
    MxmlList& l = mxml.lists[size_t(v)];
    std::map<int, Drosa> own;
    size_t bar = 0;
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      if (bar < l.bars.size() && p == l.bars[bar]) ++bar;
      if (p->xkind == ENDSYST && !p->get(xendpiece)) own[int(bar)] = p;
    }
    for (auto [bars, page] : all) {
      auto found = own.find(bars);
      if (found != own.end()) {
        if (page) found->second->set(xendpage, 1);
        continue;
      }
      if (bars < 1 || bars > int(l.bars.size())) continue;
      Drosa at = l.bars[size_t(bars - 1)];
      while (at->xnext && at->xnext->xkind == BARSEP) at = at->xnext;
      if (!at->xnext || (at->xnext->xkind == ENDSYST && at->xnext->get(xendpiece))) continue;
      const Drosa saved = l.insert;
      l.insert = at;
      mxml_make_break(v, page);
      const Drosa bar = l.bars[size_t(bars - 1)];
      if (bar->get(xrepeat_start)) mxml_split_repeat_at_break(v, bar);
      if (saved != at) l.insert = saved;
    }
  }
}

// Moves the texts placed on the page (credits) that stand before voice `from`'s first note,
// each with its text and its further runs, to before voice `to`'s first note.
void move_page_texts(int from, int to) {
  constexpr int PAGE_TOP = 2, PAGE_BOTTOM = 3;  // xrelativey: measured from the page
  const Drosa first = find_next_kind(NOTE, piece_start[from]);
  const Drosa target = find_next_kind(NOTE, piece_start[to]);
  if (!first || !target) return;
  for (Drosa p = piece_start[from]->xnext; p && p != first;) {
    const bool on_page = p->xkind == TPARAM && !p->get(xadjacent) &&
                         (p->get(xrelativey) == PAGE_TOP || p->get(xrelativey) == PAGE_BOTTOM);
    if (!on_page) {
      p = p->xnext;
      continue;
    }
    Drosa last = p;
    while (last->xnext != first && (last->xnext->xkind == TEXT ||
                                    (last->xnext->xkind == TPARAM && last->xnext->get(xadjacent))))
      last = last->xnext;
    const Drosa next = last->xnext;
    Drosa copy_last = NIL;
    const Drosa copy = copy_detached_chain(p, last, &copy_last);
    link_chain_after(copy, copy_last, target->xback);
    destroy_chain(p, last);
    p = next;
  }
}

// Where a system hides staves, a staff shown above them is joined to the next staff shown,
// by its bracket, its brace and its bar lines, only if it was joined to every staff between:
// a bracket or brace whose last staves are hidden ends at the last one shown, and the bar lines
// of a group part at its end. `number` gives each staff's number in each system (-1 hidden);
// the brackets of a system are those of its ENDSYST (of the first system, its first PRINT).
void join_across_hidden_staves(const std::vector<std::vector<int>>& number, int staves) {
  constexpr int BRACKET_GOES_ON = 0, BRACKET_ENDS = 1;
  auto starts = std::vector<std::vector<Drosa>>(size_t(staves));  // each list's ENDSYST of a system
  for (int f = 0; f < staves; ++f)
    for (Drosa p = piece_start[f]; p; p = p->xnext)
      if (p->xkind == ENDSYST && !p->get(xendpiece)) starts[size_t(f)].push_back(p);
  auto holder = [&](int f, size_t s) -> Drosa {
    if (s >= starts[size_t(f)].size()) return NIL;
    const Drosa start = starts[size_t(f)][s];
    return start->get(xstartpiece) ? find_next_kind_before_note(PRINT, start) : start;
  };
  auto bracket = [](Drosa h) { return int(h->get(h->xkind == PRINT ? xfirst_bracket : xbracket)); };
  auto brace = [](Drosa h) { return int(h->get(h->xkind == PRINT ? xfirst_brace : xbrace)); };
  for (size_t s = 0; s < number.size(); ++s)
    for (int f = 0; f < staves; ++f) {
      int next = f + 1;
      while (next < staves && number[s][size_t(next)] < 0) ++next;
      const Drosa own = holder(f, s);
      if (number[s][size_t(f)] < 0 || next == f + 1 || !own) continue;
      bool bracket_ends = next == staves, brace_ends = next == staves, apart = false;
      for (int h = f + 1; h < next; ++h) {
        const Drosa hidden = holder(h, s);
        bracket_ends |= !hidden || bracket(hidden) != BRACKET_GOES_ON;
        brace_ends |= !hidden || brace(hidden) == 0;
        apart |= mxml.lists[size_t(h)].barsep;
      }
      if (bracket_ends && bracket(own) == BRACKET_GOES_ON)
        own->set(own->xkind == PRINT ? xfirst_bracket : xbracket, BRACKET_ENDS);
      if (brace_ends) own->set(own->xkind == PRINT ? xfirst_brace : xbrace, 0);
      if (!apart || mxml.lists[size_t(f)].barsep) continue;
      for (Drosa p = starts[size_t(f)][s]->xnext; p && p->xkind != ENDSYST; p = p->xnext)
        if (p->xkind == BAR && !find_BARSEP(p)) link_after(newDrosa(BARSEP, 0), p);
    }
}

// Whether a note puts a head on the page: not a rest, not hidden, not blank.
bool printed_note(Drosa p) {
  constexpr int BLANK_SHAPE = 6;
  return p->xkind == NOTE && !p->get(xrest) && !p->get(xhider) && p->get(xnotehead) != BLANK_SHAPE;
}

// Which staves hold a printed note in each system (`starts` systems; staff numbers as the
// PRINTs of the voices give them).
std::vector<std::vector<bool>> staves_holding_notes(size_t systems, int staves) {
  std::vector<std::vector<bool>> holds(systems, std::vector<bool>(size_t(staves)));
  for (int v = 0; v < voice_count; ++v) {
    size_t s = 0;
    int staff = -1;
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext)
      if (p->xkind == ENDSYST && !p->get(xendpiece) && s + 1 < systems)
        ++s;
      else if (p->xkind == PRINT)
        staff = p->get(xsstaff);
      else if (staff >= 0 && staff < staves && printed_note(p))
        holds[s][size_t(staff)] = true;
  }
  return holds;
}

// The staves the document hides are left out of the systems they are hidden in: a staff hidden
// at the first bar of a system (by the staff-details of its part) is not printed there, nor in
// the systems after it until the document shows it again or it holds a note; a staff that
// holds a note in a system is printed there (hidden systems that the document leaves unmarked
// where the staff plays again), and from there on until the document hides it again. The
// staves shown are numbered from the top without it. Every PRINT of a voice takes the
// number its staff has in its system (-1 hidden), and a system whose numbering of the voice's
// staff differs from the system before begins with a copy of the voice's PRINT so numbered. A
// system that would hide every staff shows them all. Staff numbers are those the import gave
// (a staff's list).
void hide_staves_the_document_hides() {
  if (voice_count < 1 || std::all_of(mxml.lists.begin(), mxml.lists.end(),
                                     [](const MxmlList& l) { return l.hidden.empty(); }))
    return;
  int staves = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == PRINT) staves = std::max(staves, p->get(xsstaff) + 1);
  staves = std::min<int>(staves, int(mxml.lists.size()));
  // The bar each system begins with, from the first list's breaks.
  std::vector<int> starts{0};
  const MxmlList& first = mxml.lists[0];
  size_t bar = 0;
  for (Drosa p = piece_start[0]->xnext; p; p = p->xnext) {
    if (bar < first.bars.size() && p == first.bars[bar]) ++bar;
    if (p->xkind == ENDSYST && !p->get(xendpiece)) starts.push_back(int(bar));
  }
  const std::vector<std::vector<bool>> holds = staves_holding_notes(starts.size(), staves);
  std::vector<std::vector<int>> number(starts.size(), std::vector<int>(size_t(staves)));
  std::vector<bool> hidden(size_t(staves), false);
  std::vector<size_t> marks_read(size_t(staves), 0);
  bool renumbered = false;
  for (size_t s = 0; s < starts.size(); ++s) {
    int shown = 0;
    for (int f = 0; f < staves; ++f) {
      const auto& marks = mxml.lists[size_t(f)].hidden;
      for (size_t& m = marks_read[size_t(f)]; m < marks.size() && marks[m].first <= starts[s]; ++m)
        hidden[size_t(f)] = marks[m].second;
      if (holds[s][size_t(f)]) hidden[size_t(f)] = false;
      number[s][size_t(f)] = hidden[size_t(f)] ? -1 : shown++;
    }
    if (shown == 0)
      for (int f = 0; f < staves; ++f) number[s][size_t(f)] = f;
    for (int f = 0; f < staves; ++f) renumbered |= number[s][size_t(f)] != f;
  }
  if (!renumbered) return;
  join_across_hidden_staves(number, staves);
  auto numbered = [&](size_t s, int full) {
    return full >= 0 && full < staves ? number[s][size_t(full)] : full;
  };
  // The page's texts stand at the first voice's first note: where its staff is hidden on the
  // first page they go to the first voice of the first staff shown there.
  auto first_staff = [](int v) {
    Drosa print = find_next_kind_until(PRINT, piece_start[v], NOTE, 0);
    return print ? int(print->get(xsstaff)) : -1;
  };
  if (numbered(0, first_staff(0)) < 0)
    for (int v = 1; v < voice_count; ++v)
      if (numbered(0, first_staff(v)) == 0) {
        move_page_texts(0, v);
        break;
      }
  for (int v = 0; v < voice_count; ++v) {
    size_t s = 0;
    int full = -1;
    Drosa in_force = NIL;
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      if (p->xkind == ENDSYST && !p->get(xendpiece) && s + 1 < starts.size()) {
        ++s;
        if (!in_force || numbered(s, full) == numbered(s - 1, full)) continue;
        Drosa copy = copyDrosa(in_force);
        copy->set(xsstaff, int16_t(numbered(s, full)));
        link_after(copy, p);
        in_force = p = copy;
      } else if (p->xkind == PRINT) {
        full = p->get(xsstaff);
        p->set(xsstaff, int16_t(numbered(s, full)));
        in_force = p;
      }
    }
  }
}

// The staves of every page of the piece, from the PRINT in force in each voice at each of its
// systems (every voice has the same breaks); and the ENDSYST that begins each page of each
// voice (its head, then those that end a page).
std::vector<int32_t> staves_of_pages(std::vector<std::vector<Drosa>>* page_starts) {
  std::vector<int32_t> systems, page_of{0};  // staves and page of each system
  page_starts->assign(size_t(std::max<int>(voice_count, 0)), {});
  for (int v = 0; v < voice_count; ++v) {
    std::vector<Drosa>& starts = (*page_starts)[size_t(v)];
    if (piece_start[v]->xkind == ENDSYST && !piece_start[v]->get(xendpiece))
      starts.push_back(piece_start[v]);
    size_t s = 0;
    Drosa print = NIL;
    auto raise = [&] {
      if (systems.size() <= s) systems.resize(s + 1, 0);
      if (print) systems[s] = std::max(systems[s], int32_t(print->get(xsstaff)) + 1);
    };
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      if (p->xkind == PRINT) {
        print = p;
        raise();
      } else if (p->xkind == ENDSYST && !p->get(xendpiece)) {
        if (page_of.size() <= ++s) page_of.push_back(page_of.back() + (p->get(xendpage) ? 1 : 0));
        if (p->get(xendpage)) starts.push_back(p);
        raise();
      }
    }
  }
  std::vector<int32_t> pages(size_t(page_of.back()) + 1, 0);
  for (size_t s = 0; s < systems.size() && s < page_of.size(); ++s)
    pages[size_t(page_of[s])] += systems[s];
  return pages;
}

// The pages no one chose are fitted to the paper by the format: every page of a document that
// breaks none (the format breaks them where they are full), and each page the document ends
// whose systems have more staves than a page takes (its breaks were made for other paper).
void fit_pages_to_paper() {
  std::vector<std::vector<Drosa>> page_starts;
  const std::vector<int32_t> staves = staves_of_pages(&page_starts);
  const bool chosen = staves.size() > 1;
  for (const std::vector<Drosa>& starts : page_starts)
    for (size_t page = 0; page < starts.size(); ++page)
      if (!chosen || (page < staves.size() && staves[page] > MAX_PSTAVES))
        fit_page_to_paper(starts[page]);
}

// The fix-ups that make the voices a piece the program can show. The undo history is emptied
// unless the piece is only to be printed (`keep_undo`).
void finish_piece(int keep_systems, int keep_pages, int skip_respelling, bool keep_undo) {
  if (!skip_respelling)
    for (int v = 0; v < voice_count; ++v)
      for (Drosa p = piece_start[v]; p; p = p->xnext)
        if (p->xkind == NOTE) adjust_accidentals(ACC_OWN_ONLY, p, p);
  param_init();
  rebuild_param_nodes();
  for (int v = 0; v < MAX_VOICES; ++v) page_start[v] = NIL;
  if (!keep_systems)
    systems(piece_start[0], SYSTEMS_NO_BREAKS, nullptr);
  else if (!keep_pages)
    systems(piece_start[0], SYSTEMS_KEEP_SYSTEMS, nullptr);
  else {
    close_up_print_staves();
    rebuild_print_nodes();
  }
  fit_pages_to_paper();
  format_all_pages();
  if (!keep_undo) clear_undo(1);
}

// Releases what the import's state holds, keeping nothing for the next import.
void release_state() {
  const MxmlInput input = mxml_input;
  const uint64_t limit = mxml_byte_limit;
  const int root = mxml_root_seen, partwise = mxml_partwise_seen, no_note = mxml_no_note_made;
  reset_musicxml_globals();
  mxml_input = input;
  mxml_byte_limit = limit;
  mxml_root_seen = root, mxml_partwise_seen = partwise, mxml_no_note_made = no_note;
}

int run_import(int complete, bool keep_undo = false) {
  set_cursor(CURSOR_ID_WATCH);
  mxml_root_seen = 0;
  mxml_partwise_seen = 0;
  mxml_no_note_made = 1;
  try {
    int keep_systems = 0, keep_pages = 0, skip_respelling = 1;
    const int parsed = MusicXML_parse(&keep_systems, &keep_pages, &skip_respelling);
    if (!parsed || !mxml_root_seen) mxml_throw("This is not a valid MusicXML file.");
    if (!mxml_partwise_seen)
      mxml_throw(
          "Vesk can only import MusicXML files in score-partwise format.\n\nYou must convert "
          "your MusicXML to score-partwise before it can be imported by Vesk.");
    if (mxml_no_note_made) {
      bool measures = false;
      for (int p = 0; p < mxml.part_count; ++p) measures |= !mxml.part_measures[p].empty();
      if (mxml.parts_read == 0)
        mxml_throw("This MusicXML file holds no music: its score has no parts.");
      if (!measures) mxml_throw("This MusicXML file holds no music: its parts have no measures.");
      mxml_throw(
          "This MusicXML file holds no note Vesk can read: none of its notes has a type "
          "or a duration, so Vesk cannot tell how long they last.");
    }
    int first_change = 0;
    mxml_analyse(&first_change);
    if (voice_count < 1) mxml_throw("This is not a valid MusicXML file.");
    mxml_set_part_names();
    const std::vector<std::string> notices = mxml_notice_texts();
    // The document's own systems and pages are kept: it may hide staves in some of them.
    if (complete && keep_systems && keep_pages) hide_staves_the_document_hides();
    release_state();
    if (complete) finish_piece(keep_systems, keep_pages, skip_respelling, keep_undo);
    for (const std::string& text : notices) REPORT_ERROR(2, "%s", text.c_str());
  } catch (const ImportFailure& failure) {
    if (!failure.message.empty()) REPORT_ERROR(2, "%s", failure.message.c_str());
    discard_piece_lists();
    clear_undo(1);
    release_state();
    return 0;
  }
  return 1;
}

}  // namespace

int MusicXML_parse(int* keep_systems, int* keep_pages, int* skip_respelling) {
  display_win_title(-3, "Import MusicXML - Parsing");
  release_state();
  if (voice_count > 0) discard_piece_lists();
  voice_count = 1;
  mxml.lists[0].insert = make_empty_voice(0, 1);
  read_document();
  mxml_pad_short_parts();
  mxml_align_measures();
  set_page_size();
  mxml_apply_system_margins();
  mxml_keep_names_by_part();
  title_without_file_name();
  normalise_breaks();
  mxml_set_brackets();
  const bool small = mxml.measure_counter <= SMALL_DOCUMENT;
  *keep_systems = mxml.system_breaks > 0 || small;
  *keep_pages = mxml.page_breaks > 0 || small ||
                (mxml.system_breaks >= 1 && mxml.system_breaks <= FEW_SYSTEMS);
  *skip_respelling = mxml.sibelius ? 0 : 1;
  return 1;
}

int import_musicxml(bool only_to_print) {
  mxml_input = MxmlInput{};
  return run_import(1, only_to_print);
}

int import_musicxml_memory(const void* bytes, size_t size, int complete) {
  mxml_input.memory = true;
  mxml_input.bytes = static_cast<const uint8_t*>(bytes);
  mxml_input.size = size;
  const int result = run_import(complete);
  mxml_input = MxmlInput{};
  return result;
}
