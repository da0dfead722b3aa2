// tests/ImportExport/real_scores_test.cpp: real MusicXML documents written by other programs,
// imported, formatted and drawn page by page, every page held to the page checker's rules.
//   RealScore.*: one case per document of ../shared/data/scores (beside the repository);
//                its first page goes to test-output/real_scores of the build folder (every
//                page when VESK_ALL_PAGES is set; VESK_ZOOM=3 draws them three times the
//                size, the standard zoom being 10). A document fails only on a rule it breaks
//                that tests/data/real_scores_known_failures.txt does not list for it; its
//                faults are shown, VESK_FAULT_LINES of each rule (3 by default).
//   EngravedFixture.*: small documents that once broke a rule, checked the same way.
#include "support/real_scores.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/page_checker.h"
#include "support/page_image.h"
#include "support/piece_builder.h"

namespace {

const std::filesystem::path SCORES = real_scores_folder();

// The rules each document is known to break: rule -> "class N: reason".
std::map<std::string, std::string> known_failures(const std::string& document) {
  std::map<std::string, std::string> known;
  std::ifstream in(std::string(VESK_TEST_DATA) + "/real_scores_known_failures.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string name, rule, klass, reason;
    if (!(words >> name >> rule >> klass) || name[0] == '#' || name != document) continue;
    std::getline(words >> std::ws, reason);
    known[rule] = "class " + klass + ": " + reason;
  }
  return known;
}

// The number an element of the document's text holds, within [from, to); 0 when none.
double number_in(const std::string& doc, const std::string& tag, size_t from, size_t to) {
  const size_t at = doc.find("<" + tag + ">", from);
  return at < to ? std::atof(doc.c_str() + at + tag.size() + 2) : 0;
}

// A text of the document with its five entities read.
std::string entities_read(std::string text) {
  static const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, c] : entities)
    for (size_t at = 0; (at = text.find(entity, at)) != std::string::npos; ++at)
      text.replace(at, std::strlen(entity), c);
  return text;
}

// What the page checker holds the document's pages to: the paper it gives (points), and the
// size it gives the words of its first page's credits.
void document_page(const std::string& doc, PageFrame* frame) {
  const size_t defaults = doc.find("<defaults>"), end = doc.find("</defaults>");
  frame->own_width = frame->own_height = 0;
  if (defaults != std::string::npos && end != std::string::npos) {
    const double mm = number_in(doc, "millimeters", defaults, end);
    const double tenths = number_in(doc, "tenths", defaults, end);
    const double points = tenths > 0 ? mm / tenths / 25.4 * 72 : 0;
    frame->own_width = number_in(doc, "page-width", defaults, end) * points;
    frame->own_height = number_in(doc, "page-height", defaults, end) * points;
  }
  for (size_t at = 0; (at = doc.find("<credit", at)) != std::string::npos; ++at) {
    if (doc[at + 7] != ' ' && doc[at + 7] != '>') continue;
    const size_t close = doc.find("</credit>", at);
    const size_t page = doc.find("page=\"", at);
    if (close == std::string::npos) break;
    if (page < doc.find('>', at) && std::atoi(doc.c_str() + page + 6) > 1) continue;
    for (size_t w = doc.find("<credit-words", at); w < close;
         w = doc.find("<credit-words", w + 1)) {
      const size_t tag_end = doc.find('>', w), text_end = doc.find("</credit-words>", w);
      if (tag_end >= close || doc[tag_end - 1] == '/' || text_end >= close) continue;
      const std::string tag = doc.substr(w, tag_end - w);
      const size_t size = tag.find("font-size=\"");
      const double points = size == std::string::npos ? 0 : std::atof(tag.c_str() + size + 11);
      if (points > 0 && tag.find('%', size) == std::string::npos)
        frame->credit_sizes.push_back(
            {entities_read(doc.substr(tag_end + 1, text_end - tag_end - 1)), points});
    }
  }
}

// Draws the current GE list and writes it as test-output/real_scores/<name>.png.
void save_page(const std::string& name) {
  offscreen_erase();
  platform_set_port(offscreen_page);
  // Zoomed pages are drawn as the screen shows them (printing has a zoom of its own).
  plot_GE_list(port_bounds(offscreen_page), std::getenv("VESK_ZOOM") ? PLOT_SCREEN : 0, 0);
  platform_set_port(nullptr);
  const std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return;
  const std::filesystem::path folder = build / "test-output" / "real_scores";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(port_save_png(offscreen_page, (folder / (name + ".png")).c_str())) << name;
}

// The page images at the zoom VESK_ZOOM asks for, if any.
void zoom_as_asked() {
  if (const char* zoom = std::getenv("VESK_ZOOM")) {
    zoom_factor = std::strtof(zoom, nullptr);
    offscreen_changesize();
  }
}

// The message that opens the Systems dialog of a document without systems or pages, and the
// question that confirms what it proposes: the exchange the script answers.
bool systems_exchange(const Report& r) {
  return r.level == 2 && ((r.text.rfind("The MusicXML has ", 0) == 0 &&
                           r.text.find("must be determined") != std::string::npos) ||
                          r.text.rfind("This rounds to ", 0) == 0);
}

// The document's own breaks, read from its first part: the time (65536 a whole note, from the
// first measure's start) of every measure, whether it begins a system, and the document's
// pages (0 when it breaks none).
struct DocumentBreaks {
  std::vector<int64_t> measure_times;
  std::set<int64_t> system_starts;
  int pages = 0;
};

int64_t number_in(const std::string& body, const std::string& tag, int64_t otherwise) {
  const size_t at = body.find("<" + tag + ">");
  return at == std::string::npos ? otherwise : std::atoll(body.c_str() + at + tag.size() + 2);
}

DocumentBreaks document_breaks(const std::string& xml) {
  DocumentBreaks d;
  const size_t list = xml.find("</part-list>");
  size_t at = xml.find("<part ", list == std::string::npos ? 0 : list);
  const size_t end = xml.find("</part>", at);
  bool breaks_pages = false;
  int64_t divisions = 1, beats = 0, beat_type = 0;
  double time = 0;  // the measure's start, in whole notes
  for (int ordinal = 1; at < end; ++ordinal) {
    at = xml.find("<measure", at);
    while (at < end && xml[at + 8] != ' ' && xml[at + 8] != '>') at = xml.find("<measure", at + 8);
    if (at >= end) break;
    const size_t close = std::min(xml.find("</measure>", at), end);
    const std::string body = xml.substr(at, close - at);
    at = close;
    d.measure_times.push_back(std::llround(time * 65536));
    // The furthest its notes, forwards and backups reach.
    divisions = number_in(body, "divisions", divisions);
    int64_t x = 0, furthest = 0;
    for (size_t e = body.find('<'); e != std::string::npos; e = body.find('<', e + 1)) {
      const bool note = body.compare(e, 6, "<note ") == 0 || body.compare(e, 6, "<note>") == 0;
      const bool forward = body.compare(e, 9, "<forward>") == 0;
      const bool backup = body.compare(e, 8, "<backup>") == 0;
      if (!note && !forward && !backup) continue;
      const size_t stop = body.find(note ? "</note>" : forward ? "</forward>" : "</backup>", e);
      const std::string element = body.substr(e, stop - e);
      if (note && element.find("<chord") != std::string::npos) continue;
      const int64_t duration = number_in(element, "duration", 0);
      x += backup ? -duration : duration;
      furthest = std::max(furthest, x);
    }
    // A measure without notes lasts its time signature.
    beats = number_in(body, "beats", beats);
    beat_type = number_in(body, "beat-type", beat_type);
    time += furthest > 0 || beat_type <= 0
                ? double(furthest) / double(std::max<int64_t>(divisions, 1)) / 4
                : double(beats) / double(beat_type);
    const size_t print = body.find("<print");
    if (print == std::string::npos || ordinal == 1) continue;
    const std::string tag = body.substr(print, body.find('>', print) - print);
    const bool page = tag.find("new-page=\"yes\"") != std::string::npos;
    if (page || tag.find("new-system=\"yes\"") != std::string::npos)
      d.system_starts.insert(d.measure_times.back());
    d.pages += page;
    breaks_pages |= page;
  }
  d.pages = breaks_pages ? d.pages + 1 : 0;
  return d;
}

// The time (from the piece's start) of the first note of every system after the first, as the
// piece is formatted: along the first shown voice.
std::vector<int64_t> system_start_times() {
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (voice_not_shown(v) || !piece_start[v]) continue;
    std::vector<int64_t> starts;
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      if (p->xkind != ENDSYST || p->get(xendpiece)) continue;
      Drosa note = p->xnext;
      while (note && note->xkind != NOTE) note = note->xnext;
      if (note) starts.push_back(find_time_abs(note));
    }
    return starts;
  }
  return {};
}

// The measures (their ordinals, 1 the first) before which the piece begins a system that the
// document does not: each system's start is taken for the measure that begins nearest it (the
// piece's times of tuplets are rounded).
std::string lines_cut(const DocumentBreaks& theirs) {
  std::string cut;
  const std::vector<int64_t>& times = theirs.measure_times;
  for (int64_t t : system_start_times()) {
    auto at = std::lower_bound(times.begin(), times.end(), t);
    if (at == times.end() || (at != times.begin() && t - *std::prev(at) < *at - t)) --at;
    if (at == times.end() || !theirs.system_starts.count(*at))
      cut += " " + std::to_string(at - times.begin() + 1);
  }
  return cut;
}

class RealScore : public MusicXmlTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(RealScore, EngravesEveryPage) {
  const std::string name = GetParam();
  const std::filesystem::path path = SCORES / (name + ".musicxml");
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << "the real scores are not there: " << SCORES.lexically_normal()
                 << " (they lie beside the repository in shared/data/scores)";
  platform_init_fonts();
  // Alerts are answered by the script: the Systems dialog with what it proposes, the warnings
  // of voices out of step with No (no more of them); what the alerts said counts as reports,
  // as do the messages of the import and of formatting: a document that shows one fails.
  const std::string document = read_file(path);
  script_begin();
  answer_systems();
  ASSERT_EQ(import_musicxml_memory(document.data(), document.size(), 1), 1) << name;
  std::vector<Report> reports = take_reports();
  std::erase_if(reports, systems_exchange);
  std::vector<PageFault> faults = check_page_reports(reports);
  std::vector<Report> alerts;
  auto take_alerts = [&] {
    for (const ShownText& shown : script_take_shown()) {
      const DialogSpec* spec = platform_dialog_spec(shown.id);
      if (spec && spec->alert != ALERT_NONE && !systems_exchange({2, shown.text}))
        alerts.push_back({2, shown.text});
    }
    script_take_faults();
    script_end();
  };
  take_alerts();
  script_begin();
  const bool every_page = std::getenv("VESK_ALL_PAGES") != nullptr;
  zoom_as_asked();
  std::set<uint32_t> drawn;  // the notes some page draws
  for (int32_t page = 1; page <= page_count; ++page) {
    ASSERT_EQ(format_page(page, 0), 1) << name << " page " << page;
    add_drawn_notes(&drawn);
    if (page == 1 || every_page)
      save_page(page == 1 && !every_page ? name : name + "-" + std::to_string(page));
    if (const char* d = std::getenv("VESK_DUMP_PAGE"); d && std::atoi(d) == page) dump_GE();
    std::vector<PageFault> found = check_page_reports(take_reports());
    PageFrame frame = formatted_page_frame(page);
    add_printed_sheet(&frame);
    document_page(document, &frame);
    if (page == 1)
      std::cout << name << ": " << page_count << " pages, paper " << frame.paper_width << " x "
                << frame.paper_height << ", margins x " << frame.left << ".." << frame.right
                << ", y " << frame.bottom << ".." << frame.top << ", sheet " << frame.sheet_width
                << " x " << frame.sheet_height << " at " << frame.print_scale << "%\n";
    for (PageFault& f : check_page_elements(frame)) found.push_back(f);
    for (PageFault& f : found) f.text = "page " + std::to_string(page) + ": " + f.text;
    faults.insert(faults.end(), found.begin(), found.end());
  }
  for (PageFault& f : check_notes_drawn(printed_notes(), drawn)) faults.push_back(f);
  offscreen_dispose();
  take_alerts();
  for (const PageFault& f : check_page_reports(alerts)) faults.push_back(f);
  // A document that breaks its systems keeps them: they end where it ends them, set with their
  // least gaps where they must be; a line that does not fit even so is cut, and the list of
  // known failures names every such line by the measure it now begins ("lines"). One that
  // breaks its pages keeps them too.
  if (const DocumentBreaks theirs = document_breaks(document);
      theirs.pages || !theirs.system_starts.empty()) {
    const std::string cut = lines_cut(theirs);
    std::cout << name << ": pages ours " << page_count << ", the document's "
              << (theirs.pages ? std::to_string(theirs.pages) : "not given")
              << "; lines cut before measures" << (cut.empty() ? " (none)" : cut) << "\n";
    if (theirs.pages && page_count != theirs.pages)
      faults.push_back({"pages", std::to_string(page_count) + " pages where the document sets " +
                                     std::to_string(theirs.pages) + "; lines cut before measures" +
                                     (cut.empty() ? " (none)" : cut)});
    if (!cut.empty()) faults.push_back({"lines", "before measures" + cut});
  }

  const std::map<std::string, std::string> known = known_failures(name);
  std::vector<PageFault> unexpected;
  std::set<std::string> seen;
  for (const PageFault& f : faults) {
    seen.insert(f.rule);
    const auto k = known.find(f.rule);
    // The lines cut are known one by one: the list names them all, as "before measures ...:".
    if (k == known.end() ||
        (f.rule == "lines" && k->second.find(": " + f.text + ":") == std::string::npos))
      unexpected.push_back(f);
  }
  EXPECT_TRUE(unexpected.empty()) << name << " (" << page_count << " pages) breaks rules it is "
                                  << "not known to break:\n"
                                  << page_faults_text(unexpected);
  for (const auto& [rule, reason] : known)
    if (!seen.count(rule))
      std::cout << name << ": known failure \"" << rule << "\" (" << reason
                << ") no longer seen: take its line out of the list\n";
  const char* lines = std::getenv("VESK_FAULT_LINES");
  if (!faults.empty())
    std::cout << name << " known failures:\n"
              << page_faults_text(faults, lines ? std::atoi(lines) : 3);
}

class EngravedFixture : public MusicXmlTest {
 protected:
  // Imports a fixture of tests/data/ImportExport, formats and draws its first page (into
  // test-output/real_scores/<name>.png) and gives what the page checker finds, reports too.
  std::vector<PageFault> engrave(const std::string& name) {
    platform_init_fonts();
    if (import_fixture((name + ".xml").c_str(), 1) != 1 || format_page(1, 0) != 1)
      return {{"import", "the fixture did not import and format"}};
    if (std::getenv("VESK_ZOOM")) {
      zoom_as_asked();
      format_page(1, 0);
    }
    save_page(name);
    std::vector<Report> reports = take_reports();
    std::erase_if(reports, systems_exchange);
    std::vector<PageFault> faults = check_page_reports(reports);
    for (PageFault& f : check_page_elements(formatted_page_frame(1))) faults.push_back(f);
    return faults;
  }
};

TEST_F(EngravedFixture, APageMovedApartForItsInkIsThePageFormattedAgain) {
  // Pages whose systems, or staves under lyrics or marks, stand apart once their ink is known:
  // moved apart, each is what a second format of it draws and places. A brace whose staves
  // move apart is drawn again for its height, in pieces or as one glyph (whose width follows
  // its height: the names of the parts before it follow).
  platform_init_fonts();
  const int16_t glyph_brace = prefs.use_sonata_font();
  int moved = 0;
  for (const auto& [name, glyph] :
       std::vector<std::pair<std::string, int>>{{"lyrics_over_a_close_staff", 0},
                                                {"marks_between_close_staves", 0},
                                                {"marks_between_braced_staves", 0},
                                                {"marks_between_braced_staves", 1}}) {
    prefs.set_use_sonata_font(int16_t(glyph));
    param_init();
    ASSERT_EQ(import_fixture((name + ".xml").c_str(), 1), 1) << name;
    ASSERT_EQ(format_page(1, 0), 1) << name;
    moved += staves_moved_for_ink();
    if (name == "marks_between_braced_staves") EXPECT_GT(staves_moved_for_ink(), 0) << name;
    const std::string shifted = drawn_page();
    move_staves_for_ink(false);
    format_page(1, 0);
    move_staves_for_ink(true);
    EXPECT_EQ(staves_moved_for_ink(), 0);
    EXPECT_EQ(shifted, drawn_page()) << name << " " << glyph;
  }
  EXPECT_GT(moved, 0) << "no page was moved";
  prefs.set_use_sonata_font(glyph_brace);
  param_init();
  offscreen_dispose();
}

// Counts the drawn glyphs of a variety code on pstaff p.
int glyphs_of(int var, int p) {
  int n = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    n += e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == var &&
         e->get(xgc_pstaff) == p;
  return n;
}

// The lines of a variety code drawn on the page.
int lines_of(int var) {
  int n = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    n += e->xkind == GE_LINE && !e->get(xgscreen) && e->get(xgl_var) == var;
  return n;
}

TEST_F(EngravedFixture, BarsASystemCannotHoldGoOnAtTheStartOfTheNext) {
  // Eight bars of running eighths before the document's break, more than its line holds even
  // at their least gaps, two of whole notes after it: the bars the first system cannot hold
  // begin the second, after its clef and key, and the first system fills its line to its bar
  // line at the staff's end.
  const std::vector<PageFault> faults = engrave("system_carried_bar");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  const std::vector<int> bars = bars_per_system(0);
  ASSERT_EQ(bars.size(), 2u) << "the bars carried join the next system";
  EXPECT_LT(bars[0], 8);
  EXPECT_EQ(bars[0] + bars[1], 10);
  Drosa end = find_next_kind(ENDSYST, piece_start[0]->xnext);
  Drosa last_bar = NIL;
  for (Drosa p = piece_start[0]; p != end; p = p->xnext)
    if (effective_kind(p) == BAR) last_bar = p;
  ASSERT_TRUE(last_bar);
  EXPECT_NEAR(last_bar->get(xbarx), staff_right_x(0, 1), 50) << "the first line is full";
  EXPECT_EQ(glyphs_of(52, 1), 1) << "the second system's clef";
  EXPECT_EQ(glyphs_of(58, 1), 1) << "and its key of one sharp";
  offscreen_dispose();
}

TEST_F(EngravedFixture, ASystemALittleTooWideIsSqueezedIntoItsLine) {
  // Four bars of running eighths and one of quarters, a little wider packed than the staff: the
  // document's systems stay (a bar went on to the next system), the first line full, and the
  // quarters stand further apart than the eighths (a squeeze of every distance alike had put
  // every chord at its least distance, quarters as close as eighths).
  const std::vector<PageFault> faults = engrave("system_a_little_too_full");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  EXPECT_EQ(bars_per_system(0), (std::vector<int>{5, 2}));
  std::vector<int32_t> heads;
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 46 &&
        e->get(xgc_pstaff) == 0)
      heads.push_back(e->get(xgc_x));
  std::sort(heads.begin(), heads.end());
  ASSERT_EQ(heads.size(), 36u);
  int32_t closest_eighths = INT32_MAX;
  for (size_t i = 0; i + 1 < 8; ++i)
    closest_eighths = std::min(closest_eighths, heads[i + 1] - heads[i]);
  EXPECT_GT((heads[35] - heads[32]) / 3, closest_eighths * 6 / 5);
  Drosa end = find_next_kind(ENDSYST, piece_start[0]->xnext);
  Drosa last_bar = NIL;
  for (Drosa p = piece_start[0]; p != end; p = p->xnext)
    if (effective_kind(p) == BAR) last_bar = p;
  ASSERT_TRUE(last_bar);
  EXPECT_NEAR(last_bar->get(xbarx), staff_right_x(0, 1), 50);
  offscreen_dispose();
}

TEST_F(EngravedFixture, BarLinesJoinTheStavesOfAGroupThatAsksForItAndOfAPart) {
  // Two violins in a group with common bar lines, a piano of two staves, an organ of two parts
  // in a group without them and a voice, over two systems (a page each: the document breaks no
  // pages, and the two would stand closer than a page the import breaks holds them): a bar line
  // runs between two staves only within the violins' group and the piano.
  const std::vector<PageFault> faults = engrave("brackets_braces");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::string joined;  // of each gap between a staff and the next: 1 when a bar line crosses it
  for (int32_t page = 1; page <= 2; ++page) {
    ASSERT_EQ(format_page(page, 0), 1);
    fprintf(stderr, "staves %d\n", pstaff_count);
    for (int p = 0; p + 1 < pstaff_count; ++p) {
      const int32_t gap = (staff_data[p].middle_y + staff_data[p + 1].middle_y) / 2;
      bool crossed = false;
      for (Drosa e = GE_head->xnext; e; e = e->xnext)
        if (e->xkind == GE_LINE && !e->get(xgscreen) &&
            (e->get(xgl_var) == 26 || e->get(xgl_var) == 29))
          crossed |= std::min(e->get(xge_y1), e->get(xge_y2)) < gap &&
                     std::max(e->get(xge_y1), e->get(xge_y2)) > gap;
      joined += crossed ? "1" : "0";
    }
    joined += " ";
  }
  EXPECT_EQ(joined, "101000 101000 ");
  offscreen_dispose();
}

TEST_F(EngravedFixture, ARightHandOnTheLowerStaffLeavesTheUpperItsBarLines) {
  // The right hand writes the first chord of its second bar, and the last chord of the system,
  // on the lower staff: the upper staff had no bar line before the one, nor at the end.
  const std::vector<PageFault> faults = engrave("right_hand_on_the_lower_staff");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, EndSignsKeepClearOfTheDotsBeforeThem) {
  // Eight bars of eighths, each ending with a dotted quarter: a repeat back after bar 4, the
  // final bar line after bar 8. Each augmentation dot keeps a staff space clear of the bar
  // line or end sign after it, and the final bar line ends the last staff.
  const std::vector<PageFault> faults = engrave("end_signs");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  constexpr int DOT = 47, BAR_LINE = 26, THICK_LINE = 27, REPEAT_DOTS = 56;
  std::map<int, std::vector<GEInkBox>> dots, signs;  // by pstaff
  int repeat_dots = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox box;
    if (e->get(xgscreen) || !ge_ink_box(e, &box)) continue;
    const bool glyph = e->xkind == GE_CHAR, line = e->xkind == GE_LINE;
    if (glyph && e->get(xgc_var) == DOT) dots[e->get(xgc_pstaff)].push_back(box);
    repeat_dots += glyph && e->get(xgc_var) == REPEAT_DOTS;
    if ((glyph && e->get(xgc_var) == REPEAT_DOTS) ||
        (line && (e->get(xgl_var) == BAR_LINE || e->get(xgl_var) == THICK_LINE)))
      signs[glyph ? e->get(xgc_pstaff) : e->get(xge_pstaff1)].push_back(box);
  }
  EXPECT_EQ(repeat_dots, 1);
  int checked = 0;
  for (auto& [p, boxes] : dots)
    for (const GEInkBox& dot : boxes) {
      int32_t next = INT32_MAX;  // the left of the next sign on the staff
      for (const GEInkBox& sign : signs[p])
        if (sign.left >= dot.right) next = std::min(next, sign.left);
      ASSERT_NE(next, INT32_MAX) << "a bar line after each dotted quarter";
      EXPECT_GE(next - dot.right, staff_data[p].staff_size) << "the dot at x " << dot.left;
      ++checked;
    }
  EXPECT_EQ(checked, 8);
  const int last = pstaff_count - 1;
  int32_t final_right = INT32_MIN;
  for (const GEInkBox& sign : signs[last]) final_right = std::max(final_right, sign.right);
  EXPECT_NEAR(final_right, staff_right_x(last, 1), 10) << "the final bar line ends the staff";
  offscreen_dispose();
}

// The ink of the head (or rest) drawn for the note; an empty box when none is.
GEInkBox head_box(Drosa note) {
  Drosa owner = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) owner = e->get(xnoteptr);
    GEInkBox box;
    if (owner == note && e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 46 &&
        ge_ink_box(e, &box))
      return box;
  }
  return {};
}

TEST_F(EngravedFixture, AVoiceRestingABarWhereOthersPlayHasItsRestCentred) {
  // The left hand rests two bars (a rest of the bar's length without a type, then a whole
  // rest) while the right hand plays quarters; then the right hand's first voice rests while
  // its second plays quarters: each rest stood at its bar's first beat.
  const std::vector<PageFault> faults = engrave("whole_bar_rest_beside_notes");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::map<int, std::vector<Drosa>> quarters, rests;  // by bar, over every voice
  for (int v = 0; v < voice_count; ++v) {
    int bar = 1;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      bar += effective_kind(p) == BAR;
      if (p->xkind == NOTE && !p->get(xhider) && (p->get(xrest) || p->get(xlgval) == 3))
        (p->get(xrest) ? rests : quarters)[bar].push_back(p);
    }
  }
  for (int bar = 1; bar <= 3; ++bar) {
    ASSERT_EQ(rests[bar].size(), 1u) << "bar " << bar;
    ASSERT_EQ(quarters[bar].size(), 4u) << "bar " << bar;
    const GEInkBox rest = head_box(rests[bar][0]);
    EXPECT_LT(head_box(quarters[bar][1]).right, (rest.left + rest.right) / 2) << "bar " << bar;
    EXPECT_GT(head_box(quarters[bar][2]).left, (rest.left + rest.right) / 2) << "bar " << bar;
  }
  offscreen_dispose();
}

// The texts drawn on the page, run by run.
std::vector<std::string> drawn_texts() {
  std::vector<std::string> texts;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != GE_STRING) continue;
    std::string run;
    GE_string_text(&run, &e);
    if (!e->get(xgscreen)) texts.push_back(run);
  }
  return texts;
}

// The texts drawn on the page with the ink they cover.
std::map<std::string, GEInkBox> drawn_text_boxes() {
  std::map<std::string, GEInkBox> boxes;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != GE_STRING) continue;
    std::string run;
    GE_string_text(&run, &e);
    GEInkBox box;
    if (!e->get(xgscreen) && ge_ink_box(e, &box)) boxes[run] = box;
  }
  return boxes;
}

// The heads (or rests) drawn for the note.
int heads_of(Drosa note) {
  int n = 0;
  Drosa owner = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) owner = e->get(xnoteptr);
    n += owner == note && e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 46;
  }
  return n;
}

TEST_F(EngravedFixture, ASecondVoiceStartingWithARestHasTheStaffsSignsOnce) {
  // Its rest is a staff chord of its own at the system's first time point; its clef, key and
  // time signature were once drawn a second time after the first chord, and the drawing
  // stopped before the system's last chords (their beams were reported unterminated).
  const std::vector<PageFault> faults = engrave("second_voice_starts_with_rest");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  EXPECT_EQ(glyphs_of(52, 0), 1) << "one clef";
  EXPECT_EQ(glyphs_of(58, 0), 3) << "one key signature of three sharps";
  offscreen_dispose();
}

TEST_F(EngravedFixture, ARestBesideHiddenRestsIsDrawnWithWhatStandsBeforeIt) {
  // The right hand's first voice rests the first bar; its second voice, which begins in bar 2,
  // has hidden rests there. The hidden rests once stood for the drawn rest, which left its
  // staff chord: it was not drawn, nor the title, the composer and "Andante" attached before
  // it. Drawn again, it stood high beside the hidden rests, as beside a voice that shows them.
  const std::vector<PageFault> faults = engrave("rest_beside_hidden_rests");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  const std::vector<std::string> texts = drawn_texts();
  for (const char* text : {"Cradle", "Someone, Op. 1", "Andante"})
    EXPECT_EQ(std::count(texts.begin(), texts.end(), text), 1) << text;
  Drosa rest = NIL;
  for (Drosa p = piece_start[0]; p && !rest; p = p->xnext)
    if (p->xkind == NOTE) rest = p;
  ASSERT_TRUE(rest && rest->get(xrest) && !rest->get(xhider));
  EXPECT_EQ(heads_of(rest), 1) << "the rest is drawn";
  EXPECT_EQ(note_ntdata(rest)->get(xhdy), staff_data[0].middle_y) << "on the middle line";
  offscreen_dispose();
}

TEST_F(EngravedFixture, CreditsGivenOnePlaceStandApart) {
  // A subtitle given its title's height was drawn over the title; two footnotes both took the
  // rights' place, one on the other; a line centred by halign alone stood right of its centre,
  // and one placed at the left margin without a justification was centred on it, past it.
  const std::vector<PageFault> faults = engrave("credits_given_one_place");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  const std::map<std::string, GEInkBox> boxes = drawn_text_boxes();
  const char* credits[] = {"Intermezzo",
                           "Op. 1 No. 2",
                           "Song and Chorus",
                           "Someone",
                           "and given to everyone.",
                           "Copyright 1900 by Someone"};
  for (const char* a : credits) {
    ASSERT_TRUE(boxes.count(a)) << a;
    for (const char* b : credits) {
      const GEInkBox &s = boxes.at(a), &t = boxes.at(b);
      if (std::string(a) < b)
        EXPECT_FALSE(s.left < t.right && t.left < s.right && s.bottom < t.top && t.bottom < s.top)
            << a << " on " << b;
    }
  }
  EXPECT_LT(boxes.at("Op. 1 No. 2").top, boxes.at("Intermezzo").bottom) << "below its title";
  EXPECT_GT(boxes.at("Copyright 1900 by Someone").bottom, boxes.at("and given to everyone.").top)
      << "the document's order";
  const PageFrame frame = formatted_page_frame(1);
  const GEInkBox& song = boxes.at("Song and Chorus");
  EXPECT_LT(std::abs((song.left + song.right) / 2 - frame.paper_width / 2), 100) << "centred";
  EXPECT_GE(boxes.at("Copyright 1900 by Someone").left, frame.left - 100) << "from its x on";
  offscreen_dispose();
}

TEST_F(EngravedFixture, MarksKeepClearOfStemsBelowAndPedalsOfOctaveLines) {
  // An ff and words under the first violins stood on the second violins' stems rising above
  // their staff; pedal marks under a left hand's 8vb stood on the line's dashes.
  const std::vector<PageFault> faults = engrave("marks_over_stems");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  constexpr int STEM_UP = 20, SECOND_VIOLINS = 1, LEFT_HAND = 3;
  std::vector<GEInkBox> stems, marks, dashes, pedals;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox box;
    if (e->xkind == NOTEPTR || e->get(xgscreen) || !ge_ink_box(e, &box)) continue;
    const int p = ge_pstaff(e);
    const bool line = e->xkind == GE_LINE;
    if (line && p == SECOND_VIOLINS && e->get(xgl_var) == STEM_UP) stems.push_back(box);
    if (!line && p == 0 && e->get(xganno)) marks.push_back(box);
    if (line && p == LEFT_HAND && e->get(xgl_dash)) dashes.push_back(box);
    if (!line && p == LEFT_HAND && e->get(xganno)) pedals.push_back(box);
  }
  ASSERT_EQ(stems.size(), 4u);
  ASSERT_FALSE(marks.empty());
  for (const GEInkBox& m : marks)
    for (const GEInkBox& s : stems)
      if (m.left < s.right && s.left < m.right)
        EXPECT_GE(m.bottom - s.top, staff_data[SECOND_VIOLINS].staff_size / 2 - 10);
  ASSERT_FALSE(dashes.empty());
  ASSERT_FALSE(pedals.empty());
  for (const GEInkBox& p : pedals)
    for (const GEInkBox& d : dashes)
      EXPECT_FALSE(p.left < d.right && d.left < p.right && p.bottom < d.top && d.bottom < p.top)
          << "a pedal mark at x " << p.left << " on the 8vb's dashes";
  offscreen_dispose();
}

TEST_F(EngravedFixture, WordsAtTheLastNoteOfASystemEndWithIt) {
  // Words that begin at the last note of a system ran on into the page's margin.
  const std::vector<PageFault> faults = engrave("words_at_a_system_end");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  const std::map<std::string, GEInkBox> boxes = drawn_text_boxes();
  const PageFrame frame = formatted_page_frame(1);
  for (const char* words : {"dolcissimo espressivo", "poco a poco ritardando e diminuendo"}) {
    ASSERT_TRUE(boxes.count(words)) << words;
    EXPECT_LE(boxes.at(words).right, frame.right + 10) << words;
  }
  offscreen_dispose();
}

// The text runs drawn on the page in order, each with whether the next run adjoins it.
std::vector<std::pair<std::string, int>> drawn_runs() {
  constexpr int VAR_PART_NAME = 81;  // the names before the systems are not the music's texts
  std::vector<std::pair<std::string, int>> runs;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    std::string run;
    if (e->xkind == GE_STRING && !e->get(xgscreen)) {
      const int adjoins = GE_string_text(&run, &e);
      if (e->xkind != GE_CHAR || e->get(xgc_var) != VAR_PART_NAME) runs.push_back({run, adjoins});
    }
  }
  return runs;
}

TEST_F(EngravedFixture, RunsOfACreditOrADirectionGoOnFromTheRunsBefore) {
  // A credit's runs each end with a line break, the superscript of "3rd" too: "rd" and
  // " Movement" stood on lines of their own. A direction's second words, after words that end
  // their line, stood a line above them instead of below; after words that do not, they stood
  // above them too, where they run on.
  const std::vector<PageFault> faults = engrave("credit_runs_and_words_run_on");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  const std::map<std::string, GEInkBox> boxes = drawn_text_boxes();
  for (const char* text : {"3rd Movement", "K. 331", "Someone", "(1756-1791)", "Franz Joseph Haydn",
                           "Hob. XV Nr. 6", "Tempo primo "})
    ASSERT_TRUE(boxes.count(text)) << text;
  EXPECT_LT(boxes.at("(1756-1791)").top, boxes.at("Someone").bottom) << "a break of its own";
  const GEInkBox &name = boxes.at("Franz Joseph Haydn"), &number = boxes.at("Hob. XV Nr. 6");
  EXPECT_LT(number.top, name.bottom) << "the next line";
  EXPECT_NEAR(number.left, name.left, 20) << "from the same left";
  // Words that run on are drawn where the words before them end.
  const std::vector<std::pair<std::string, int>> runs = drawn_runs();
  const auto tempo =
      std::find(runs.begin(), runs.end(), std::make_pair(std::string("Tempo primo "), 1));
  ASSERT_TRUE(tempo != runs.end() && tempo + 1 != runs.end());
  EXPECT_EQ(tempo[1].first, "(en retenant)");
  offscreen_dispose();
}

TEST_F(EngravedFixture, TempoWordsWithANoteOfTheMusicFontShowOneMark) {
  // "in tempo [" + the music font's quarter note + " = 144]", with the tempo in the direction's
  // sound: the note was drawn as "?" on a line of its own, and the sound added "q=144" over it.
  // It is a metronome mark running on from the words, and on into "]". In the next bar "[", a
  // metronome mark and "]" at one place: the "]" stood apart, above the rest.
  const std::vector<PageFault> faults = engrave("tempo_note_in_words");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  const std::vector<std::pair<std::string, int>> runs = drawn_runs();
  ASSERT_EQ(runs.size(), 12u);
  EXPECT_EQ(runs[4], std::make_pair(std::string("["), 1));
  EXPECT_EQ(runs[6], std::make_pair(std::string(" = 80"), 1));
  EXPECT_EQ(runs[7].first, "]");
  EXPECT_EQ(runs[8], std::make_pair(std::string("Tempo I ["), 1));
  EXPECT_EQ(runs[10], std::make_pair(std::string(" = 60"), 1));
  EXPECT_EQ(runs[11].first, "]");
  EXPECT_EQ(runs[0], std::make_pair(std::string("in tempo ["), 1));
  EXPECT_EQ(runs[1].second, 1);
  EXPECT_NE(runs[1].first, "?");
  EXPECT_EQ(runs[2], std::make_pair(std::string(" = 144"), 1));
  EXPECT_EQ(runs[3].first, "]");
  double bpm = 0;
  int32_t unit = 0, dots = 0;
  Drosa words = find_next_kind(TPARAM, piece_start[0]);
  ASSERT_TRUE(words);
  EXPECT_TRUE(parse_metronome_text(words, &bpm, &unit, &dots) != NIL) << "the tempo that plays";
  EXPECT_EQ(bpm, 144);
  EXPECT_EQ(unit, 3);
  offscreen_dispose();
}

TEST_F(EngravedFixture, ADirectionAtANoteOnTheOtherStaffStaysAtItsStaff) {
  // A crescendo and a pp of the upper staff, given between the staves, at a note the right
  // hand writes on the lower staff: their heights were counted from the lower staff, and they
  // stood below it, near the next system.
  const std::vector<PageFault> faults = engrave("direction_at_a_note_on_the_other_staff");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  const int32_t upper_bottom = staff_bottom_y(0, 0), lower_top = staff_top_y(1, 0);
  int marks = 0;
  Drosa owner = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) owner = e->get(xnoteptr);
    GEInkBox box;
    if (e->xkind == NOTEPTR || !e->get(xganno) || e->get(xgscreen) || !ge_ink_box(e, &box))
      continue;
    ++marks;
    EXPECT_LT(box.top, upper_bottom) << "below the upper staff";
    EXPECT_GT(box.bottom, lower_top) << "above the lower staff";
  }
  EXPECT_EQ(marks, 3) << "the hairpin's two lines and the pp";
  offscreen_dispose();
}

TEST_F(EngravedFixture, AChordSplitOffBesideAnotherStaffLeavesThatStaffInPlace) {
  // The lower staff's second voice rests beside the first voice's chord: its rest is split off
  // at the same time point and takes a step of its own. The upper staff's next chord, with
  // the same time-point number but later, was once moved with it unplaced (left of the
  // margin, on top of the staff's signs) and drawn with it, so its bar lines were lost. The
  // lower staff's last chord is the second voice's rest: only that voice's bar line at the
  // system's end was placed, and the first voice's was drawn where it had been left.
  const std::vector<PageFault> faults = engrave("split_rest_beside_another_staff");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, ABeamWhoseStemsTurnEndsWhereTheyTurn) {
  // Each beat's four eighths, two stems down then two up, as a document writes a beam that
  // crosses to the staff below: the beam of the first two once went on to the next beat's
  // first two, and the last beam of the system was never closed ("Unterminated beam").
  const std::vector<PageFault> faults = engrave("beam_with_stems_both_ways");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  EXPECT_EQ(lines_of(17), 8) << "two beams a beat";
  offscreen_dispose();
}

TEST_F(EngravedFixture, AVoiceMovingOnBesideAHeldNoteKeepsClearOfItsHead) {
  // Sixteenths beside eighths, both voices stemmed up: each eighth stands right of the
  // sixteenth that starts with it, which justification once did without the spacing knowing,
  // so the next sixteenth's sharp was drawn over the eighth's head.
  const std::vector<PageFault> faults = engrave("voice_moves_on_beside_a_held_note");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, CreditsAndTheFirstSystemOfEveryPageStayOnThePaper) {
  // Words of a credit without a place once stood at the paper's bottom edge, a credit at the
  // page's left was moved left by the margin, past the edge, and the first staff of a page
  // after the first stood at the top margin with its middle line, notes above it off the top.
  std::vector<PageFault> faults = engrave("credits_on_the_paper");
  ASSERT_EQ(page_count, 2);
  ASSERT_EQ(format_page(2, 0), 1);
  for (PageFault& f : check_page_elements(formatted_page_frame(2))) faults.push_back(f);
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, CreditsKeepTheirSizeAndPlaceOnThePaper) {
  // A 22-point title and a 9-point rights line 57 points above the paper's foot, on a page
  // printed at half the size with staves of three quarters of the staff size: the title was
  // drawn a quarter of its size, the rights line at 16 points of the page.
  std::vector<PageFault> faults = engrave("credits_on_small_staves");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  PageFrame frame = formatted_page_frame(1);
  add_printed_sheet(&frame);
  EXPECT_EQ(frame.print_scale, 50);
  EXPECT_EQ(frame.sheet_width, 612);
  const std::map<std::string, GEInkBox> boxes = drawn_text_boxes();
  ASSERT_TRUE(boxes.count("Small Staves") && boxes.count("Public Domain"));
  std::map<std::string, std::pair<int, int32_t>> drawn;  // each credit's size and baseline
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    std::string run;
    if (e->xkind != GE_STRING || e->get(xgscreen)) continue;
    GE_string_text(&run, &e);
    drawn[run] = {e->get(xgc_size), e->get(xgc_y)};
  }
  EXPECT_EQ(drawn["Small Staves"].first, 44) << "22 points on the paper";
  EXPECT_EQ(drawn["Public Domain"].first, 18) << "9 points on the paper";
  EXPECT_NEAR(drawn["Public Domain"].second, 1140, 10) << "57 points above the paper's foot";
  frame.own_width = 612, frame.own_height = 792;
  frame.credit_sizes = {{"Small Staves", 22}, {"Public Domain", 9}};
  for (PageFault& f : check_page_elements(frame)) faults.push_back(f);
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, ABarWiderThanItsLineKeepsItsSignsBeforeItsNotes) {
  // A line that cannot be cut is squeezed into its staff: the clef, key and time signature once
  // moved right by the squeeze in proportion to their distance from the page's edge, and the
  // key signature stood on the first notes.
  const std::vector<PageFault> faults = engrave("one_bar_wider_than_its_line");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, ABarLineOfASqueezedLineStandsBetweenTheChordsItParts) {
  // A beam over the bar line keeps the line from being cut, so it is squeezed: the bar line
  // once moved right by the squeeze in proportion to its distance from the page's edge, in
  // among the notes of the second bar.
  const std::vector<PageFault> faults = engrave("bar_line_in_a_squeezed_line");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  ASSERT_EQ(bars_per_system(0).size(), 1u) << "the line stays whole";
  std::vector<int32_t> heads, bars;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->get(xgscreen)) continue;
    if (e->xkind == GE_CHAR && e->get(xgc_var) == 46) heads.push_back(e->get(xgc_x));
    if (e->xkind == GE_LINE && e->get(xgl_var) == 26) bars.push_back(e->get(xge_x1));
  }
  std::sort(heads.begin(), heads.end());
  std::sort(bars.begin(), bars.end());
  ASSERT_EQ(heads.size(), 60u);
  ASSERT_GE(bars.size(), 1u);
  EXPECT_GT(bars[0], heads[55]) << "after the first bar's last note";
  EXPECT_LT(bars[0], heads[56]) << "before the second bar's first note";
  offscreen_dispose();
}

TEST_F(EngravedFixture, AUnisonOfTwoVoicesAboveAThirdStandsSideBySide) {
  // Each G3 meets one chord of a lower layer, so the rule that moves a layer's chord right by
  // the chords below it that it meets gave both the same move: one head on the other.
  const std::vector<PageFault> faults = engrave("unison_of_three_voices");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, TheLastSystemStandsAboveTheRightsLine) {
  // Seven systems down to the rights line at the page's foot, the last with notes on ledger
  // lines below it: the last system stood over the rights line. Nothing else drawn meets it.
  const std::vector<PageFault> faults = engrave("systems_above_the_footer");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  ASSERT_EQ(anno_footer_boxes().size(), 1u);
  const AnnoBox footer = anno_footer_boxes()[0];
  int meeting = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox box;
    if (!ge_ink_box(e, &box) || (box.bottom >= footer.bottom - 40 && box.top <= footer.top + 40))
      continue;  // the rights line's own
    meeting += box.bottom < footer.top && box.top > footer.bottom && box.left < footer.right &&
               box.right > footer.left;
  }
  EXPECT_EQ(meeting, 0);
  offscreen_dispose();
}

TEST_F(EngravedFixture, SystemsStandClearOfWhatTheSystemAboveHolds) {
  // A note on many ledger lines below the first system, one on many above the second, and a
  // word high over the first system under a narrow top margin: at their natural distances the
  // two systems' ledger lines met, and the word stood past the paper's top.
  const std::vector<PageFault> faults = engrave("systems_reaching_each_other");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, LyricsKeepClearOfTheSlurBelowThemNotOfItsControlPoints) {
  // A long slur over high notes of the staff under a voice's lyrics, at the document's distance
  // (96 tenths between the staves, 68 points between their middle lines) clear of them, its
  // control points not: the staff stood apart for the slur's box, as far as its control points.
  const std::vector<PageFault> faults = engrave("lyrics_over_a_slur_below");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  ASSERT_EQ(pstaff_count, 2);
  EXPECT_EQ(staff_data[0].middle_y - staff_data[1].middle_y, 680);
  offscreen_dispose();
}

TEST_F(EngravedFixture, GraceNotesBeforeABarLineKeepTheOtherStavesBarLinesInStep) {
  // Grace notes end each bar before the next bar's first note, in a staff whose chords of two
  // lengths are split in two: the walk through the system once ran a step ahead there, so the
  // other staff's rest and bar line stood with the grace notes, before the bar line.
  const std::vector<PageFault> faults = engrave("grace_notes_before_a_bar_line");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, AChordWrittenAcrossBothStavesLeavesItsVoiceOnItsStaff) {
  // The right hand's bar begins with a chord whose lowest note is written on the lower staff:
  // the whole bar once moved to the lower staff, and the upper staff, empty there, lost its
  // bar lines.
  const std::vector<PageFault> faults = engrave("chord_across_both_staves");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, AVoiceOnTheOtherStaffHoldsThatStaffsClef) {
  // A voice of the lower staff writes measures on the upper staff, one of them opening a
  // system: the bass clef it restated there once stood on the upper staff, drawn over the
  // treble clef in the real score, its notes placed by it four spaces above the staff.
  const std::vector<PageFault> faults = engrave("voice_crosses_to_the_other_staff");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  for (int v = 0; v < voice_count; ++v) {
    int staff = -1;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (effective_kind(p) == PRINT) staff = p->get(xsstaff);
      if (effective_kind(p) == CLEF)
        EXPECT_EQ(p->get(xclef), staff == 0 ? 0 : 1) << "voice " << v << " on staff " << staff;
    }
  }
  std::map<int, std::set<int>> clefs;  // the clef glyphs drawn on each pstaff
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 52)
      clefs[e->get(xgc_pstaff)].insert(e->get(xgc_char));
  for (const auto& [p, glyphs] : clefs) EXPECT_EQ(glyphs.size(), 1u) << "one clef on " << p;
  offscreen_dispose();
}

TEST_F(EngravedFixture, AClefChangeUnderAHeldNoteGivesWayToTheClefBack) {
  // The lower staff's second voice holds its half note through the first voice's change to
  // the treble clef, and takes that change after the half note, just before the bar line
  // and the bass clef back (as a system start between them, taken away, leaves it). The
  // drawing and the note positions once took the treble clef, which the spacing never
  // placed: it was drawn where it had been left, further off with every format (off the
  // paper at last), and the next notes stood by it.
  std::vector<PageFault> faults = engrave("clef_change_under_a_held_note");
  Drosa change = NIL, held = NIL;
  for (Drosa p = piece_start[1]; p; p = p->xnext)
    if (effective_kind(p) == CLEF && p->get(xclef) == 0) change = p;
  for (Drosa p = piece_start[2]; p && !held; p = p->xnext)
    if (p->xkind == NOTE) held = p;
  ASSERT_TRUE(change && held);
  Drosa bar = find_next_kind_before_note(BAR, held);
  ASSERT_TRUE(bar);
  link_after(copyDrosa(change), bar->xback);
  for (int again = 0; again < 3; ++again) {
    ASSERT_EQ(format_page(1, 0), 1);
    for (PageFault& f : check_page_elements(formatted_page_frame(1))) faults.push_back(f);
  }
  save_page("clef_change_under_a_held_note");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::map<int32_t, int> clefs;  // the lower staff's clef glyphs by x
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 52 &&
        e->get(xgc_pstaff) == 1)
      clefs[e->get(xgc_x)] = e->get(xgc_char);
  ASSERT_EQ(clefs.size(), 3u) << "its clef, the change and the change back";
  EXPECT_NE(std::next(clefs.begin())->second, clefs.rbegin()->second) << "the change back";
  offscreen_dispose();
}

TEST_F(EngravedFixture, AnAccidentalAfterAnotherVoicesHiddenRestKeepsClearOfTheHeadBeforeIt) {
  // The second voice's septuplets go on across the beat, where the first voice's hidden rest
  // begins between two of them: the spacing keeps the natural clear of the head before it,
  // but justification once held the natural's chord only to its distance from the hidden
  // rest, counted from the head's chord (the two belong to different tuplets), and drew the
  // natural over that head.
  const std::vector<PageFault> faults = engrave("accidental_after_a_hidden_rest");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, NotesWrittenOnTheOtherStaffInABarAreDrawnThere) {
  // The upper voice's last two eighths of bar 1, and one of bar 2, are written on the lower
  // staff under its beam; bar 3 ends with a chord across both staves. The eighths once hung
  // with ledger lines below the upper staff, the beam with them, and so did the chord's lower
  // note.
  const std::vector<PageFault> faults = engrave("notes_cross_to_the_other_staff_in_a_bar");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::map<int, int> heads;  // the heads drawn on each pstaff
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 46)
      ++heads[e->get(xgc_pstaff)];
  EXPECT_EQ(heads[0], 7);  // 5 eighths, the quarter and the chord's upper note in bar 3
  EXPECT_EQ(heads[1], 7);  // 3 eighths, the chord's lower note, the bass's three halves
  EXPECT_EQ(lines_of(24), 6) << "two for each of the bass's low Cs";
  // Each of the first two bars is one beam, from staff to staff.
  EXPECT_EQ(lines_of(17), 2);
  offscreen_dispose();
}

TEST_F(EngravedFixture, ATripletBeamedUpIntoTheOtherStaffStaysOneBeam) {
  // The left hand's last triplet rises from the lower staff into the upper one, where the right
  // hand rests unseen: its beam once broke at the staff change into a stub on the first note
  // and a beam of the other two on the upper staff.
  const std::vector<PageFault> faults = engrave("triplet_beamed_up_into_the_other_staff");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  EXPECT_EQ(lines_of(17), 2) << "one beam for each triplet";
  offscreen_dispose();
}

TEST_F(EngravedFixture, ANoteOfAChordAcrossTheStavesKeepsItsTie) {
  // A chord's G3, written on the lower staff, is tied to the G3 of the next chord, written on
  // the upper one: split off to a voice of its own on the lower staff, it once lost its tie.
  const std::vector<PageFault> faults = engrave("tie_across_a_chord_split_between_the_staves");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  EXPECT_EQ(voice_count, 2) << "the G3 stays in the right hand's chord, tied";
  int tied = 0;
  for (Drosa p = piece_start[0]; p; p = p->xnext) tied += p->xkind == NOTE && p->get(xtie);
  EXPECT_EQ(tied, 1);
  offscreen_dispose();
}

TEST_F(EngravedFixture, ChordNotesWrittenOnTheOtherStaffAreDrawnThere) {
  // Right-hand chords whose lowest notes are written on the lower staff, one of them a beamed
  // run: those notes once hung below the upper staff on up to six ledger lines. They are read
  // on the staff they are written on, where none of them needs a ledger line.
  const std::vector<PageFault> faults = engrave("chord_reaching_into_the_other_staff");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::map<int, int> heads;  // the heads drawn on each pstaff
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && (e->get(xgc_var) == 46))
      ++heads[e->get(xgc_pstaff)];
  EXPECT_EQ(heads[0], 22);  // 6 in bar 1, 16 in bar 2
  EXPECT_EQ(heads[1], 10);  // 3 and 4 of the right hand's, 3 of the left hand's
  EXPECT_EQ(lines_of(24), 0) << "ledger lines";
  EXPECT_EQ(lines_of(17), 3) << "the runs of eighths, the one split off on the lower staff";
  offscreen_dispose();
}

// The heads drawn on each pstaff.
std::map<int, int> heads_by_staff() {
  std::map<int, int> heads;
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 46)
      ++heads[e->get(xgc_pstaff)];
  return heads;
}

TEST_F(EngravedFixture, AHandOpeningWithAChordAcrossTheStavesKeepsItsStaff) {
  // The right hand's first chord has its lowest note written on the lower staff, which the
  // document thereby names the voice's own. The upper staff, on which no voice began, was
  // once dropped with its clef, key signature, brace and part name, and the right hand drawn
  // on the lower staff by the bass clef.
  std::vector<PageFault> faults = engrave("hand_opens_with_a_chord_across_the_staves");
  std::map<int, int> heads = heads_by_staff();
  EXPECT_EQ(heads[0], 7);
  EXPECT_EQ(heads[1], 3);  // the first chord's lowest note, the left hand's two
  EXPECT_EQ(glyphs_of(52, 0), 1) << "the upper staff's clef";
  EXPECT_EQ(glyphs_of(58, 0), 1) << "the upper staff's key signature";
  EXPECT_EQ(lines_of(24), 0) << "ledger lines";
  Drosa info = find_next_kind(VINFO, piece_start[0]);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->get(xpname), "Piano");
  // With a voice of its own on the upper staff, the right hand's voice is the lower staff's
  // and moves up for its bars: the move was once placed before the voice's own PRINT, which
  // undid it.
  for (PageFault& f : engrave("hand_opens_across_the_staves_beside_a_voice")) faults.push_back(f);
  heads = heads_by_staff();
  EXPECT_EQ(heads[0], 7);
  EXPECT_EQ(heads[1], 3);
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, AStaffChangesClefForTheNotesThatComeToIt) {
  // The right hand's run goes down onto the lower staff, which takes the treble clef for it
  // while the left hand rests unseen, and the bass clef back for the left hand's eighths. The
  // treble clef once stood before the hidden rest, where nothing is drawn, and the right
  // hand's notes were placed by the bass clef (on the whole bar's last clef).
  const std::vector<PageFault> faults = engrave("clef_change_for_notes_from_the_other_staff");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::vector<std::pair<int32_t, int>> clefs;  // the lower staff's clef glyphs: x, character
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 52 &&
        e->get(xgc_pstaff) == 1)
      clefs.push_back({e->get(xgc_x), e->get(xgc_char)});
  std::sort(clefs.begin(), clefs.end());
  ASSERT_EQ(clefs.size(), 3u) << "its clef, the treble clef and the bass clef back";
  EXPECT_NE(clefs[1].second, clefs[2].second) << "a treble clef change, then a bass clef change";
  EXPECT_EQ(lines_of(24), 3) << "the right hand's high C, and one for each of the low Cs";
  offscreen_dispose();
}

TEST_F(EngravedFixture, TripletsStandEvenlyBesideRestsOfTheOtherStaff) {
  // The upper staff's triplets over a lower staff whose two voices rest together on the second
  // beat, then whose upper voice rests beside the lower voice's triplet there: each rest stood
  // beside the chord of its time as a chord of its own, and its width moved the second note of
  // every triplet of that beat away from the first.
  const std::vector<PageFault> faults = engrave("triplets_beside_rests_of_another_voice");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::map<int, std::vector<int32_t>> heads;  // by pstaff, notes only
  std::vector<int32_t> rests;
  Drosa owner = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) owner = e->get(xnoteptr);
    if (e->xkind != GE_CHAR || e->get(xgscreen) || e->get(xgc_var) != 46 || !owner) continue;
    (owner->get(xrest) ? rests : heads[e->get(xgc_pstaff)]).push_back(e->get(xgc_x));
  }
  std::vector<int32_t>& upper = heads[0];
  std::sort(upper.begin(), upper.end());
  ASSERT_GE(upper.size(), 18u);
  for (size_t i = 0; i + 2 < 18; i += 3) {
    const int32_t first = upper[i + 1] - upper[i], second = upper[i + 2] - upper[i + 1];
    EXPECT_LE(std::abs(first - second), second / 8) << "triplet " << i / 3 + 1;
  }
  // The rests stand in the column of the triplets' first notes of the second beat.
  ASSERT_EQ(rests.size(), 3u);
  for (int32_t x : rests)
    EXPECT_TRUE(std::abs(x - upper[3]) < 60 || std::abs(x - upper[12]) < 60) << x;
  offscreen_dispose();
}

TEST_F(EngravedFixture, AnAccidentalAtASystemStartKeepsTheRoomOfAHeadFromTheKey) {
  // Three systems in three flats: the second begins with a natural, the third with a plain
  // head. The natural stood closer to the key signature than the head stands.
  const std::vector<PageFault> faults = engrave("accidental_after_the_key_at_a_system_start");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  constexpr int HEAD = 46, ACCIDENTAL = 48, KEY = 58;
  std::map<int, int32_t> key_right, first_left;  // by pstaff
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox b;
    if (e->xkind != GE_CHAR || e->get(xgscreen) || !ge_ink_box(e, &b)) continue;
    const int p = e->get(xgc_pstaff), var = e->get(xgc_var);
    if (var == KEY) key_right[p] = std::max(key_right[p], b.right);
    if (var == HEAD || var == ACCIDENTAL) {
      auto [at, fresh] = first_left.insert({p, b.left});
      if (!fresh) at->second = std::min(at->second, b.left);
    }
  }
  ASSERT_EQ(key_right.size(), 3u);
  EXPECT_GE(first_left[1] - key_right[1], first_left[2] - key_right[2]);
  offscreen_dispose();
}

TEST_F(EngravedFixture, AStaffChangesClefOnItselfWhileItsHandPlaysOnTheOtherStaff) {
  // The left hand goes up to the upper staff for two notes, and the lower staff turns to the
  // treble clef between them: the change stood on the upper staff, before the second, and the
  // lower staff never showed it. Read back from the export, it stands where it did.
  for (int pass = 0; pass < 2; ++pass) {
    const std::vector<PageFault> faults =
        engrave("clef_change_while_the_hand_is_on_the_other_staff");
    EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
    if (pass == 1) {
      const std::string written = exported_musicxml(false);
      ASSERT_EQ(import_musicxml_memory(written.data(), written.size(), 1), 1);
      ASSERT_EQ(format_page(1, 0), 1);
    }
    EXPECT_EQ(glyphs_of(52, 0), 1) << "the upper staff's clef alone, pass " << pass;
    EXPECT_EQ(glyphs_of(52, 1), 2) << "the bass clef and the change, pass " << pass;
  }
  offscreen_dispose();
}

// The MIDI keys of the notes of all voices, by pstaff they are drawn on, in order of voice.
std::map<int, std::vector<int>> keys_by_staff() {
  std::map<int, std::vector<int>> keys;
  Drosa owner = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) owner = e->get(xnoteptr);
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 46 && owner &&
        !owner->get(xrest))
      keys[e->get(xgc_pstaff)].push_back(owner->get(xpitch) >> 8);
  }
  return keys;
}

TEST_F(EngravedFixture, AStaffWithNoVoiceOfItsOwnKeepsItsSigns) {
  // One voice plays both staves; then the lower staff's only voice starts on the upper one.
  // The lower staff was once dropped with its clef, key and time signature, or given to the
  // voice from its first note, and its notes drawn by the upper staff's clef on ledger lines;
  // its clef changes were lost. Read back from the export, each stands the same.
  struct Case {
    const char* name;
    std::vector<int> upper, lower;  // MIDI keys
    int lower_clefs, lower_key;     // glyphs on the lower staff
  };
  for (const Case& c :
       {Case{"one_hand_plays_both_staves", {74, 69, 66}, {50, 47, 43, 50, 67, 71, 50}, 3, 2},
        Case{"lower_staff_voice_starts_on_the_upper", {72, 67, 65, 74, 75}, {51, 48, 67}, 2, 3}}) {
    for (int pass = 0; pass < 2; ++pass) {
      std::vector<PageFault> faults = engrave(c.name);
      if (pass == 1) {
        const std::string written = exported_musicxml(false);
        ASSERT_EQ(import_musicxml_memory(written.data(), written.size(), 1), 1);
        ASSERT_EQ(format_page(1, 0), 1);
        save_page(std::string(c.name) + "_read_back");
      }
      EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
      std::map<int, std::vector<int>> keys = keys_by_staff();
      std::sort(keys[0].begin(), keys[0].end());
      std::vector<int> upper = c.upper;
      std::sort(upper.begin(), upper.end());
      EXPECT_EQ(keys[0], upper) << c.name << " pass " << pass;
      EXPECT_EQ(keys[1], c.lower) << c.name << " pass " << pass;
      EXPECT_EQ(lines_of(24), 0) << "ledger lines, " << c.name << " pass " << pass;
      EXPECT_EQ(glyphs_of(52, 1), c.lower_clefs) << c.name << " pass " << pass;
      EXPECT_EQ(glyphs_of(58, 1), c.lower_key) << c.name << " pass " << pass;
      EXPECT_EQ(glyphs_of(58, 0), c.lower_key) << c.name << " pass " << pass;
      EXPECT_EQ(glyphs_of(53, 1), 2) << "the time signature, " << c.name << " pass " << pass;
    }
  }
  offscreen_dispose();
}

TEST_F(EngravedFixture, AnOctaveLineRunsDashedToItsLastNoteAcrossASystemBreak) {
  // 8va from the second note of bar 1 to the second of bar 2, which opens the next system:
  // its dashed line once stopped at its words.
  const std::vector<PageFault> faults = engrave("octave_line_across_a_system_break");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::vector<Drosa> dashes, hooks;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != GE_LINE || e->get(xgscreen)) continue;
    if (e->get(xgl_var) == 68) dashes.push_back(e);
    if (e->get(xgl_var) == 67) hooks.push_back(e);
  }
  ASSERT_EQ(dashes.size(), 2u) << "a line on each system";
  ASSERT_EQ(hooks.size(), 1u) << "its end hook, on the second";
  // Its end hook stands on the second system at the line's end, turned down to the staff.
  EXPECT_EQ(hooks[0]->get(xge_pstaff1), dashes[1]->get(xge_pstaff1));
  EXPECT_EQ(hooks[0]->get(xge_x1), dashes[1]->get(xge_x2));
  EXPECT_LT(hooks[0]->get(xge_y2), hooks[0]->get(xge_y1));
  offscreen_dispose();
}

// The ink of the texts (GE strings) and of the rest drawn on a pstaff.
struct StaffInk {
  std::vector<GEInkBox> texts, music;
};
StaffInk ink_of_pstaff(int p) {
  StaffInk ink;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox box;
    if (e->get(xgscreen) || e->xkind == GE_STRING || e->xkind == NOTEPTR || !ge_ink_box(e, &box))
      continue;
    const int pstaff = e->xkind == GE_CHAR ? e->get(xgc_pstaff) : e->get(xge_pstaff1);
    if (pstaff != p) continue;
    const bool text = e->xkind == GE_CHAR && e->xback && e->xback->xkind == GE_STRING;
    (text ? ink.texts : ink.music).push_back(box);
  }
  return ink;
}

bool side_by_side(const GEInkBox& a, const GEInkBox& b) {
  return a.left < b.right && b.left < a.right;
}

// The base line of each syllable drawn, by pstaff and verse (its text tells which).
std::map<std::pair<int, int>, std::vector<std::pair<std::string, int32_t>>> drawn_verses(
    const std::set<std::string>& second_verse) {
  std::map<std::pair<int, int>, std::vector<std::pair<std::string, int32_t>>> verses;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (p->xkind != TPARAM || p->get(xclassify) != 5 || p->xnext->xkind != PDATA) continue;
    std::string text = p->xnext->xnext->get(xtext);
    if (text.back() == '-') text.pop_back();
    const std::pair<int, int> line{p->xnext->get(xy1pstaff), second_verse.count(text) ? 2 : 1};
    verses[line].push_back({text, p->xnext->get(xpagey1)});
  }
  return verses;
}

TEST_F(EngravedFixture, LyricsKeepClearOfEachOtherOfTheirNotesAndOfTheStaffBelow) {
  // Two verses under eighths whose syllables are wider than the eighths (the spacing once left
  // the syllables out, and they ran together), the second verse at heights that vary from note
  // to note (each syllable once stood at its own), a note on ledger lines below the staff (the
  // first verse stood on it), and a staff set close below whose notes stand high above it (the
  // lyrics stood on them). Two systems.
  const std::vector<PageFault> faults = engrave("lyrics_over_a_close_staff");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  ASSERT_EQ(pstaff_count, 4);
  for (int p : {0, 2}) {
    const StaffInk voice = ink_of_pstaff(p), piano = ink_of_pstaff(p + 1);
    ASSERT_GE(voice.texts.size(), 14u);  // the syllables and their hyphens
    // Neighbouring syllables keep a gap (the syllables of one line share its height).
    for (size_t a = 0; a < voice.texts.size(); ++a)
      for (size_t b = a + 1; b < voice.texts.size(); ++b) {
        const GEInkBox &s = voice.texts[a], &t = voice.texts[b];
        if (s.bottom < t.top && t.bottom < s.top)
          EXPECT_FALSE(side_by_side(s, t)) << "staff " << p << ": syllables " << a << ", " << b;
      }
    for (const GEInkBox& syllable : voice.texts) {
      for (const GEInkBox& ink : voice.music)
        if (side_by_side(syllable, ink))
          EXPECT_LT(syllable.top, ink.bottom) << "staff " << p << ": a syllable on a note";
      // The staff below and its notes stand clear of both verses.
      for (const GEInkBox& ink : piano.music)
        if (side_by_side(syllable, ink))
          EXPECT_GT(syllable.bottom, ink.top) << "staff " << p << ": a syllable on the staff below";
    }
  }
  // Each verse stands at one height across its system, the first above the second.
  const auto verses =
      drawn_verses({"Hal", "le", "lu", "jah", "brightly", "shining", "here", "al", "ways",
                    "wonderful", "morning", "and", "evening", "forever", "more"});
  ASSERT_EQ(verses.size(), 4u);
  for (const auto& [line, syllables] : verses)
    for (const auto& [text, y] : syllables)
      EXPECT_EQ(y, syllables.front().second) << "staff " << line.first << ": " << text;
  for (int p : {0, 2})
    EXPECT_GT(verses.at({p, 1}).front().second, verses.at({p, 2}).front().second);
  offscreen_dispose();
}

TEST_F(EngravedFixture, EachLineOfLyricsIsSpacedForItsOwnSyllables) {
  // A long word of one verse under one note and of the other under the next once spaced the
  // notes for both words, end to end; a syllable held over a melisma once pushed every note
  // of the melisma past its end. Each line keeps clear of its own syllables only (the page
  // checker: no two syllables meet).
  const std::vector<PageFault> faults = engrave("lyrics_of_crossing_verses");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::vector<int32_t> packed;            // each note's packed x
  std::map<std::string, int32_t> widths;  // each syllable's width
  for (Drosa n = piece_start[0]; n; n = n->xnext) {
    if (n->xkind != NOTE) continue;
    packed.push_back(last_note_cddata(n)->get(xorigin));
    for (Drosa t = n->xback; t && t->xkind != NOTE; t = t->xback)
      if (t->xkind == TPARAM && t->get(xleavespace))
        widths[anno_run_text(t)] = measure_anno_text(n, t, nullptr);
  }
  ASSERT_EQ(packed.size(), 9u);
  ASSERT_TRUE(widths.count("Wonderful") && widths.count("Shining_"));
  EXPECT_LT(packed[1] - packed[0], widths["Wonderful"]);
  EXPECT_LT(packed[5] - packed[4], widths["Shining_"] / 2) << "a melisma under its syllable";
  offscreen_dispose();
}

TEST_F(EngravedFixture, AStaffTheDocumentHidesInASystemIsLeftOutOfIt) {
  // The voice's staff, hidden in the first system, was drawn there empty over the piano.
  const std::vector<PageFault> faults = engrave("hidden_staff");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  EXPECT_EQ(pstaff_count, 5) << "the piano's two staves, then the voice's and the piano's";
  // Each hand on its own staff in both systems.
  EXPECT_EQ(heads_by_staff(), (std::map<int, int>{{0, 1}, {1, 1}, {2, 2}, {3, 2}, {4, 2}}));
  const std::vector<std::string> texts = drawn_texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Hidden Title"), texts.end())
      << "the title, which stood at the hidden voice's first note";
  offscreen_dispose();
}

TEST_F(EngravedFixture, AStaffHiddenSystemBySystemIsDrawnWhereItPlays) {
  // The timpani, hidden at the start of the systems where they rest, were hidden from the
  // first such mark on: their notes of the second and fourth systems drawn nowhere.
  std::vector<PageFault> faults = engrave("staff_hidden_system_by_system");
  std::set<uint32_t> drawn;
  add_drawn_notes(&drawn);
  for (PageFault& f : check_notes_drawn(printed_notes(), drawn)) faults.push_back(f);
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  // The flute alone, then with the timpani where they play and where the document no longer
  // hides them (the last system, their rest): a head or rest on each staff.
  EXPECT_EQ(pstaff_count, 8);
  EXPECT_EQ(heads_by_staff(),
            (std::map<int, int>{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}}));
  offscreen_dispose();
}

TEST_F(EngravedFixture, WordsStandAtTheirOwnMeasuresClearOfEachOther) {
  // The words of a measure that holds no note went to the last note of the measure before,
  // beside or over that measure's own words.
  const std::vector<PageFault> faults = engrave("words_one_a_measure");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  int bar = 1, words = 0;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    bar += p->xkind == BAR;
    if (p->xkind != TPARAM || !is_anno_head(p)) continue;
    const std::string text = anno_run_text(p);
    if (text.find_first_of("0123456789") == std::string::npos || text.starts_with("partname"))
      continue;
    ++words;
    EXPECT_EQ(std::stoi(text.substr(text.find_first_of("0123456789"))), bar) << text;
  }
  EXPECT_EQ(words, 50);
  const std::map<std::string, GEInkBox> boxes = drawn_text_boxes();
  std::vector<GEInkBox> drawn;
  for (const auto& [text, box] : boxes)
    if (text.find_first_of("0123456789") != std::string::npos) drawn.push_back(box);
  ASSERT_EQ(drawn.size(), 50u);
  auto meet = [](const GEInkBox& a, const GEInkBox& b) {
    return std::min(a.right, b.right) > std::max(a.left, b.left) &&
           std::min(a.top, b.top) > std::max(a.bottom, b.bottom);
  };
  for (size_t a = 0; a < drawn.size(); ++a)
    for (size_t b = a + 1; b < drawn.size(); ++b)
      EXPECT_FALSE(meet(drawn[a], drawn[b])) << "two words drawn over each other";
  offscreen_dispose();
}

TEST_F(EngravedFixture, WordsOverBarsThatDrawNothingStandApart) {
  // Bars that only a forward fills took no room: the fifty bars stood in one system ("This
  // system has no notes!"), their words stacked up over it five deep.
  const std::vector<PageFault> faults = engrave("words_over_empty_bars");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::vector<GEInkBox> drawn;
  for (const auto& [text, box] : drawn_text_boxes())
    if (text.find_first_of("0123456789") != std::string::npos) drawn.push_back(box);
  ASSERT_EQ(drawn.size(), 50u);
  // A word shares some of its width with at most the two beside it, lifted over them.
  for (const GEInkBox& a : drawn) {
    const auto sharing = std::count_if(drawn.begin(), drawn.end(), [&](const GEInkBox& b) {
      return std::min(a.right, b.right) > std::max(a.left, b.left) &&
             std::abs((a.top + a.bottom) / 2 - (b.top + b.bottom) / 2) < 600;
    });
    EXPECT_LE(sharing, 3) << "words stacked at x " << a.left;
  }
  offscreen_dispose();
}

TEST_F(EngravedFixture, ADynamicAndAHairpinAtOneNoteShareALine) {
  // A diminuendo and a p at one note, the document's heights putting the hairpin through the
  // p, ending at a pp; a crescendo from an mf below to an ff; a crescendo, then a diminuendo
  // from the note it ends at; a diminuendo from an fp centred on a sixteenth to the next: each
  // hairpin stood on the dynamic it starts from, or ran into the one it ends at, the
  // diminuendo began inside the crescendo, and the last reached back from after the fp; an mf
  // in brackets and a crescendo from it, and words of their own in dynamics: both were an
  // unknown mark, shown as "?", the hairpin on it.
  const std::vector<PageFault> faults = engrave("dynamics_beside_hairpins");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  int hairpins = 0;  // each reaches forward, far enough to be read
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == LINE && p->get(xmetaline) == 1 && p->get(xline_ord) == 3) {
        ++hairpins;
        EXPECT_GE(p->get(xendx), 100) << "hairpin " << hairpins;
      }
  EXPECT_EQ(hairpins, 6);
  std::vector<std::string> texts;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == TPARAM) texts.push_back(anno_run_text(p));
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "?"), 0);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "sempre"), 1);
  offscreen_dispose();
}

TEST_F(EngravedFixture, MarksPlacedByOffsetsStandAtTheirTime) {
  // A metronome mark three beats after its tempo words, at their height, and an f a half note
  // after a p: each stood on the mark before it, at the note after it. An mf and words the
  // document puts at one place under one note: the words stood on the mf.
  const std::vector<PageFault> faults = engrave("marks_placed_by_offsets");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, TempoWordsOverAHighNoteKeepTheirHeight) {
  // Tempo words of a directive, at the height the document gives them over a note two ledger
  // lines up, with the tempo of their sound: the directive once lowered them onto the note.
  const std::vector<PageFault> faults = engrave("tempo_words_over_a_high_note");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, MarksBetweenTwoStavesKeepTheStavesApart) {
  // An ff, a crescendo and words under one staff over the next staff's notes high on ledger
  // lines, and words over that staff under the first's low notes, the staves set close: the
  // staves stood apart for lyrics alone, and the marks stood on the other staff's notes.
  const std::vector<PageFault> faults = engrave("marks_between_close_staves");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, MarksReachingTheStaffAboveKeepTheStavesApart) {
  // Words the document sets over a staff reach the close staff above, into its lines and onto
  // its notes: taken as joined to that staff, as a bar line is, they were passed over.
  const std::vector<PageFault> faults = engrave("marks_reaching_the_staff_above");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, StavesStandApartForMarksOnTheOtherStaffsSlursAndForMarksMovedOffBeams) {
  // A p under one staff over the close staff's slur, which the staves were not kept apart for;
  // a crescendo on its staff's beam that, moved below it, would meet the next staff's notes on
  // ledger lines, and so stayed on the beam.
  const std::vector<PageFault> faults = engrave("marks_on_the_slur_below");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, HairpinsOfTwoVoicesOfAStaffStandApart) {
  // Two voices of a staff, each with hairpins under it at one height, running over each other:
  // the later begun crossed the other, one read after the other too.
  const std::vector<PageFault> faults = engrave("hairpins_of_two_voices");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(EngravedFixture, DynamicsStandBelowTheLowNotesTheyAreAt) {
  // A dynamic with no height of its own and one at the document's height, each under a note on
  // ledger lines below the staff: both stood on the note's head. A p moved off its low note
  // stood on the note's accent below it; an ff the document sets beside an accent touched it,
  // the two read as one sign.
  const std::vector<PageFault> faults = engrave("dynamics_under_low_notes");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  constexpr int ACCENT = 37;
  std::vector<GEInkBox> accents, dynamics;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox box;
    if (e->xkind != GE_CHAR || e->get(xgscreen) || !ge_ink_box(e, &box)) continue;
    if (e->get(xgc_var) == ACCENT) accents.push_back(box);
    if (e->get(xganno) && e->xback && e->xback->xkind == GE_STRING) dynamics.push_back(box);
  }
  ASSERT_EQ(accents.size(), 2u);
  ASSERT_EQ(dynamics.size(), 5u);
  EXPECT_LT(dynamics[3].top, accents[0].bottom) << "the last p stands below the accent";
  const bool below = dynamics[4].top < accents[1].bottom;
  EXPECT_TRUE(below || dynamics[4].right + 5 < accents[1].left) << "the ff stands clear of it";
  offscreen_dispose();
}

TEST_F(EngravedFixture, CompoundDynamicsDrawTheirLettersInTheMusicFont) {
  // The s, z and r of sfz, rf, fz and rfz stood in the text font beside the music font's f.
  const std::vector<PageFault> faults = engrave("extreme_and_compound_dynamics");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  int runs = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != GE_CHAR || !e->xback || e->xback->xkind != GE_STRING || e->get(xgscreen) ||
        !e->get(xganno))
      continue;
    ++runs;
    EXPECT_GE(e->get(xgc_font), FONT_QUOR) << "every letter of a dynamic is the music font's";
  }
  EXPECT_EQ(runs, 14) << "four extreme dynamics, and sfz, rf, fz and rfz by their letters";
  offscreen_dispose();
}

TEST_F(EngravedFixture, DynamicsAndWordsMoveOffTheStemsTheyStandOn) {
  // The document's height put an sf and an ff under the staff on their notes' stems, with a
  // crescendo between them, and words over the staff on a stem reaching up: each moves just
  // clear, and the crescendo keeps in line with the dynamics.
  const std::vector<PageFault> faults = engrave("dynamics_on_stems");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::vector<GEInkBox> legs, texts;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox box;
    if (e->get(xgscreen) || !e->get(xganno) || !ge_ink_box(e, &box)) continue;
    if (e->xkind == GE_LINE) legs.push_back(box);
    if (e->xkind == GE_CHAR && e->get(xgc_x) != ADJACENT_TEXT) texts.push_back(box);
  }
  ASSERT_EQ(legs.size(), 2u);
  ASSERT_EQ(texts.size(), 3u) << "the s of the sf, the ff and the words";
  const int32_t middle = (legs[0].top + legs[0].bottom + legs[1].top + legs[1].bottom) / 4;
  for (const GEInkBox& dynamic : {texts[0], texts[1]}) {
    EXPECT_GT(middle, dynamic.bottom - 40);
    EXPECT_LT(middle, dynamic.top + 40);
  }
  offscreen_dispose();
}

TEST_F(EngravedFixture, WordsMovedOffATieKeepTheBaseLineOfTheirDynamic) {
  // "cresc." written before its p, both under a note tied on: the words moved off the tie and
  // the p stayed, the two on different lines.
  const std::vector<PageFault> faults = engrave("words_and_dynamic_under_a_tie");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  std::vector<int32_t> base_lines;
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xganno) &&
        e->get(xgc_x) != ADJACENT_TEXT)
      base_lines.push_back(e->get(xgc_y));
  ASSERT_EQ(base_lines.size(), 2u) << "the words and the p";
  EXPECT_NEAR(base_lines[0], base_lines[1], 10);
  offscreen_dispose();
}

// The curves of a variety code drawn on the page (ties 4, slurs 5).
int curves_of(int var) {
  int n = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    n += e->xkind == GE_CURVE && !e->get(xgscreen) && e->get(xgv_var) == var;
  return n;
}

TEST_F(EngravedFixture, WhatGoesOnAtASystemEndEndsWithItsStaff) {
  // A slur and a tie going on into the next system ran past the staff's end into the margin; a
  // pp whose offset takes it to the bar's last note stood its document x past that note, beyond
  // the staff; a diminuendo from the last note to the bar's end kept its own length past it.
  const std::vector<PageFault> faults = engrave("marks_at_a_system_end");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  EXPECT_EQ(bars_per_system(0).size(), 2u);
  EXPECT_EQ(curves_of(5), 2) << "the slur on each system";
  EXPECT_EQ(curves_of(4), 2) << "the tie on each system";
  int legs = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    legs += e->xkind == GE_LINE && !e->get(xgscreen) && e->get(xganno) != 0;
  EXPECT_EQ(legs, 2) << "the two legs of the diminuendo";
  offscreen_dispose();
}  // WhatGoesOnAtASystemEndEndsWithItsStaff

TEST_F(EngravedFixture, ATripletTheVoiceCarriesToTheOtherStaffIsOneGroup) {
  // The second triplet begins on the lower staff and ends on the upper: its number was not
  // drawn, and the slur ending on the upper staff ran past it to the system's end and into
  // the next system.
  const std::vector<PageFault> faults = engrave("triplet_across_the_staves");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  ASSERT_EQ(bars_per_system(0).size(), 2u);
  const std::vector<std::string> texts = drawn_texts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "3"), 2) << "a number for each triplet";
  EXPECT_EQ(curves_of(5), 1) << "the slur ends in its system";
  offscreen_dispose();
}  // ATripletTheVoiceCarriesToTheOtherStaffIsOneGroup

INSTANTIATE_TEST_SUITE_P(Scores, RealScore, ::testing::ValuesIn(real_score_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string id = info.param;
                           for (char& c : id)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return id;
                         });

}  // namespace
