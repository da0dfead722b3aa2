// text_assistant.cpp: the Text Assistant: a small dialog per kind of text that composes the
// coded text the user would otherwise type (a title, a dynamic, a tempo mark, an ornament, a
// symbol, a fret grid, a chord symbol, a General MIDI program change) and starts it as a new
// text at the insertion point.
#include "annotations/text_assistant.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "annotations/anno_select.h"
#include "annotations/anno_services.h"
#include "annotations/text_mode.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/dialogs.h"
#include "platform/text_edit.h"

namespace {

// One pop-up: the names the user sees and the codes that go into the text.
struct Choice {
  const char* name;
  const char* code;
};
using Choices = std::vector<Choice>;

const Choices DYNAMICS = {{"pppp", "\\pppp"},
                          {"ppp", "\\ppp"},
                          {"pp", "\\pp"},
                          {"p", "\\p"},
                          {"mp", "\\mp"},
                          {"mf", "\\mf"},
                          {"f", "\\f"},
                          {"ff", "\\ff"},
                          {"fff", "\\fff"},
                          {"ffff", "\\ffff"},
                          {"sp", "s\\p"},
                          {"sf", "s\\f"},
                          {"sfz", "s\\fz"},
                          {"fz", "\\fz"},
                          {"fp", "\\f\\p"},
                          {"cresc", "\\icresc"},
                          {"crescendo", "\\icrescendo"},
                          {"dim", "\\idim"},
                          {"diminuendo", "\\idiminuendo"}};
const Choices TEMPO_WORDS = {
    {"{None}", ""},          {"Largo", "Largo "},     {"Larghetto", "Larghetto "},
    {"Adagio", "Adagio "},   {"Andante", "Andante "}, {"Moderato", "Moderato "},
    {"Allegro", "Allegro "}, {"Presto", "Presto "},   {"Prestissimo", "Prestissimo "}};
const Choices TEMPO_NOTES = {
    {"Dotted Whole", "\\wd"},   {"Whole", "\\w"},   {"Dotted Half", "\\hd"}, {"Half", "\\h"},
    {"Dotted Quarter", "\\qd"}, {"Quarter", "\\q"}, {"Eighth", "\\e"}};
const int TEMPO_NUMBERS[] = {40,  48,  50,  60,  66,  70,  72,  80,  88,  90,  96,  100, 104,
                             110, 112, 120, 130, 132, 140, 144, 150, 160, 176, 192, 208};
const Choices ORNAMENTS = {{"tr", "\\tr"},
                           {"tr sharp", "\\tr\\alt+"},
                           {"tr flat", "\\tr\\alt-"},
                           {"tr natural", "\\tr\\altn"},
                           {"trill extended", "\\tr\\~\\~\\~\\~\\~\\~\\~"},
                           {"+", "\\plus"},
                           {"turn", "\\turn"},
                           {"upward mordent", "\\mordent"},
                           {"downward mordent", "\\mordent2"}};
const Choices SYMBOLS = {{"segno", "\\segno"},
                         {"coda", "\\coda"},
                         {"repeat beat", "\\//"},
                         {"repeat bar", "\\/"},
                         {"up bow", "\\upbow"},
                         {"down bow", "\\downbow"},
                         {"ped", "\\ped"},
                         {"pedal up", "\\*"},
                         {"fermata", "\\fermata"},
                         {"inverted fermata", "\\fermata2"},
                         {"single breath mark", "\\'"},
                         {"double breath mark", "\\\""},
                         {"8va", "\\8va"},
                         {"8vb", "\\8vb"}};
const int SYMBOL_CLASSES[14] = {17, 17, 17, 17, 19, 19, 9, 9, 20, 20, 15, 15, 1, 1};
const Choices NUTS = {{"With Nut", "a"}, {"Without Nut", "A"}};
const Choices FRET_DOTS = {{"No Dot", "`"},     {"x", "9"},          {"Open", "0"},
                           {"Dot Fret 1", "1"}, {"Dot Fret 2", "2"}, {"Dot Fret 3", "3"},
                           {"Dot Fret 4", "4"}, {"Dot Fret 5", "5"}};
const Choices FRET_BARS = {{"No Bar", "`"},     {"Bar Fret 1", "!"}, {"Bar Fret 2", "@"},
                           {"Bar Fret 3", "#"}, {"Bar Fret 4", "$"}, {"Bar Fret 5", "%"}};
const Choices ROOTS = {{"C", "C"},         {"C Sharp", "C\\+"}, {"D Flat", "D\\-"},
                       {"D", "D"},         {"D Sharp", "D\\+"}, {"E Flat", "E\\-"},
                       {"E", "E"},         {"F", "F"},          {"F Sharp", "F\\+"},
                       {"G Flat", "G\\-"}, {"G", "G"},          {"G Sharp", "G\\+"},
                       {"A Flat", "A\\-"}, {"A", "A"},          {"A Sharp", "A\\+"},
                       {"B Flat", "B\\-"}, {"B", "B"},          {"H", "H"}};
const Choices QUALITIES = {
    {"{None}", ""},   {"MA", "\\>>MA\\<<"}, {"MI", "\\>>MI\\<<"}, {"MI MA", "\\>>MI/MA\\<<"},
    {"+", "\\b+\\b"}, {"\xA1", "\xA1"},     {"dim", "dim"},       {"m", "m"},
    {"maj", "maj"},   {"mi", "mi"},         {"min", "min"}};
const Choices EXTENSIONS = {{"{None}", ""}, {"7", "7"}, {"9", "9"},     {"11", "11"},
                            {"13", "13"},   {"6", "6"}, {"6 9", "6/9"}, {"sus", "sus"}};
const Choices ALTERATIONS = {{"{None}", ""},
                             {"Flat 5", "(\\alt-5)"},
                             {"Sharp 5", "(\\alt+5)"},
                             {"Flat 9", "(\\alt-9)"},
                             {"Sharp 9", "(\\alt+9)"},
                             {"Flat 13", "(\\alt-13)"},
                             {"Sharp 5 Flat 9", "(\\alt+5\\alt-9)"},
                             {"add 9", "(add9)"},
                             {"alt 5", "(alt5)"},
                             {"alt 9", "(alt9)"},
                             {"alt", "(alt)"}};
const char* const MIDI_FAMILIES[16] = {"Piano",         "Chromatic Percussion",
                                       "Organ",         "Guitar",
                                       "Bass",          "Strings",
                                       "Ensemble",      "Brass",
                                       "Reeds",         "Pipes",
                                       "Synth Lead",    "Synth Pad",
                                       "Synth Effects", "Ethnic",
                                       "Percussion",    "Sound Effects"};
const char* const MIDI_PROGRAMS[128] = {"Acoustic Grand Piano",
                                        "Bright Acoustic Piano",
                                        "Electric Grand Piano",
                                        "Honky-Tonk Piano",
                                        "Rhodes Piano",
                                        "Chorused Piano",
                                        "Harpsichord",
                                        "Clavinet",
                                        "Celesta",
                                        "Glockenspiel",
                                        "Music Box",
                                        "Vibraphone",
                                        "Marimba",
                                        "Xylophone",
                                        "Tubular Bells",
                                        "Dulcimer",
                                        "Hammond Organ",
                                        "Percussive Organ",
                                        "Rock Organ",
                                        "Church Organ",
                                        "Reed Organ",
                                        "Accordion",
                                        "Harmonica",
                                        "Tango Accordion",
                                        "Acoustic Nylon Guitar",
                                        "Acoustic Steel Guitar",
                                        "Electric Jazz Guitar",
                                        "Electric Clean Guitar",
                                        "Electric Muted Guitar",
                                        "Overdriven Guitar",
                                        "Distortion Guitar",
                                        "Guitar Harmonics",
                                        "Acoustic Bass",
                                        "Fingered Electric Bass",
                                        "Plucked Electric Bass",
                                        "Fretless Bass",
                                        "Slap Bass 1",
                                        "Slap Bass 2",
                                        "Synth Bass 1",
                                        "Synth Bass 2",
                                        "Violin",
                                        "Viola",
                                        "Cello",
                                        "Contrabass",
                                        "Tremolo Strings",
                                        "Pizzicato Strings",
                                        "Orchestral Harp",
                                        "Timpani 1",
                                        "String Ensemble 1",
                                        "String Ensemble 2",
                                        "Synth Strings 1",
                                        "Synth Strings 2",
                                        "Choir Aah",
                                        "Choir Ooh",
                                        "Synth Voice",
                                        "Orchestral Hit",
                                        "Trumpet",
                                        "Trombone",
                                        "Tuba",
                                        "Muted Trumpet",
                                        "French Horn",
                                        "Brass Section",
                                        "Synth Brass 1",
                                        "Synth Brass 2",
                                        "Soprano Sax",
                                        "Alto Sax",
                                        "Tenor Sax",
                                        "Baritone Sax",
                                        "Oboe",
                                        "English Horn",
                                        "Bassoon",
                                        "Clarinet",
                                        "Piccolo",
                                        "Flute",
                                        "Recorder",
                                        "Pan Flute",
                                        "Bottle Blow",
                                        "Shakuhachi",
                                        "Whistle",
                                        "Ocarina",
                                        "Lead 1: Square",
                                        "Lead 2: Square Tooth",
                                        "Lead 3: Calliope",
                                        "Lead 4: Chiff",
                                        "Lead 5: Charang",
                                        "Lead 6: Voice",
                                        "Lead 7: Fifths",
                                        "Lead 8: Bass + Lead",
                                        "Pad 1: New Age",
                                        "Pad 2: Warm",
                                        "Pad 3: Polysynth",
                                        "Pad 4: Choir",
                                        "Pad 5: Bowed",
                                        "Pad 6: Metallic",
                                        "Pad 7: Halo",
                                        "Pad 8: Sweep",
                                        "SFX 1: Rain",
                                        "SFX 2: Soundtrack",
                                        "SFX 3: Crystal",
                                        "SFX 4: Atmosphere",
                                        "SFX 5: Brightness",
                                        "SFX 6: Goblins",
                                        "SFX 7: Echoes",
                                        "SFX 8: Sci-fi",
                                        "Sitar",
                                        "Banjo",
                                        "Shamisen",
                                        "Koto",
                                        "Kalimba",
                                        "Bagpipe",
                                        "Fiddle",
                                        "Shanai",
                                        "Tinkle Bell",
                                        "Agogo",
                                        "Steel Drums",
                                        "Woodblock",
                                        "Taiko Drum",
                                        "Melodic Tom",
                                        "Synth Drum",
                                        "Reverse Cymbal",
                                        "Guitar Fret Noise",
                                        "Breath Noise",
                                        "Seashore",
                                        "Bird Tweet",
                                        "Telephone Ring",
                                        "Helicopter",
                                        "Applause",
                                        "Gun Shot"};

const int CLASSES[12] = {2, 24, 3, 23, 18, 7, 6, 16, 0, 10, 11, 12};
const int DIALOGS[12] = {3568, 3568, 3562, 3565, 3563, 1422, 141, 155, 154, 143, 144, 145};

// The pop-ups of each category (at most 13), items from 4 on.
std::vector<const Choices*> popups_of(int category) {
  static const Choices NUMBERS = [] {
    Choices c;
    static std::vector<std::string> names;
    for (int n : TEMPO_NUMBERS) names.push_back(std::to_string(n));
    for (const std::string& n : names) c.push_back({n.c_str(), n.c_str()});
    return c;
  }();
  static const Choices FAMILIES = [] {
    Choices c;
    for (const char* f : MIDI_FAMILIES) c.push_back({f, f});
    return c;
  }();
  switch (category) {
    case 5:
      return {&DYNAMICS};
    case 6:
      return {&TEMPO_WORDS, &TEMPO_NOTES, &NUMBERS};
    case 7:
      return {&ORNAMENTS};
    case 8:
      return {&SYMBOLS};
    case 9: {
      std::vector<const Choices*> grid{&NUTS};
      for (int s = 0; s < 6; ++s) {
        grid.push_back(&FRET_DOTS);
        grid.push_back(&FRET_BARS);
      }
      return grid;
    }
    case 10:
      return {&ROOTS, &QUALITIES, &EXTENSIONS, &ALTERATIONS, &ROOTS};
    case 11:
      return {&FAMILIES};
    default:
      return {};
  }
}

// The remembered choices of each category (1-based), kept while the program runs.
std::vector<std::vector<int>> remembered = {{},
                                            {},
                                            {},
                                            {},
                                            {},
                                            {6},
                                            {7, 6, 16},
                                            {1},
                                            {1},
                                            {1, 6, 1, 5, 1, 3, 1, 3, 1, 3, 1, 6, 1},
                                            {1, 1, 1, 1, 1},
                                            {1, 1}};

const char* code_of(const Choices& list, int value) {
  return value >= 1 && value <= int(list.size()) ? list[size_t(value - 1)].code : "";
}

bool first_note_of_piece(Drosa note) {
  if (!note || note->xkind != NOTE || current_page != 1) return false;
  for (Drosa p = note->xback; p; p = p->xback) {
    if (p->xkind == NOTE) return false;
    if (p->xkind == ENDSYST && p->get(xstartpiece)) return true;
    if (p->xkind == ENDSYST) return false;
  }
  return true;
}

// The program pop-up of the General MIDI dialog for a family.
void fill_programs(DialogRef dialog, int family) {
  platform_popup_clear(dialog, 5);
  for (int k = 0; k < 8; ++k) platform_popup_append(dialog, 5, MIDI_PROGRAMS[(family - 1) * 8 + k]);
}

// Older texts of the kind at the start of the piece go.
void remove_older_texts(int category) {
  const int cls = CLASSES[category];
  for (int v = 0; v < voice_count; ++v) {
    if (voice_not_shown(v) || !piece_start[v]) continue;
    Drosa first = piece_start[v]->xnext;
    Drosa end = first;
    while (end && !(end->xkind == NOTE && end->get(xendvcd))) end = end->xnext;
    for (Drosa p = first; p && p != end;) {
      Drosa pd = p->xnext;
      const bool head =
          effective_kind(p) == TPARAM && !p->get(xadjacent) && pd && pd->xkind == PDATA;
      bool go = head && p->get(xclassify) == cls;
      if (head && !go && p->get(xclassify) == 0 && category != 4 && p->get(xpagemargin) &&
          !p->get(xboxed) && !p->get(xleavespace) && p->get(xtextfont) != -1 &&
          p->get(xtextfont) != -2 && p->get(xtextfont) != -3 && p->get(xtexty) > 0) {
        const int want = category <= 1 ? 1 : 0;
        const int32_t right = pd->get(xscrx2);
        const int32_t left_x = staff_left_x(0, current_page),
                      right_x = staff_right_x(0, current_page);
        if (p->get(xjustified) == want) {
          if (category == 0) go = right > layout_page_width() / 2;
          if (category == 3) go = right < left_x * 11 / 10;
          if (category == 1 || category == 2) go = right > right_x * 9 / 10;
        }
      }
      if (go) {
        Drosa before = delete_anno_nodes(p);
        p = before ? before->xnext : NIL;
      } else {
        p = p->xnext;
      }
    }
  }
}

}  // namespace

std::string text_assistant_compose(int category, const std::vector<int>& v) {
  const std::vector<const Choices*> popups = popups_of(category);
  auto code = [&](size_t k) { return std::string(code_of(*popups[k], v[k])); };
  char text[256];
  switch (category) {
    case 5:
    case 7:
    case 8:
      return code(0);
    case 6: {
      const int number = v[2] >= 1 && v[2] <= 25 ? TEMPO_NUMBERS[v[2] - 1] : 120;
      std::snprintf(text, sizeof text, "%s%s = %d", code(0).c_str(), code(1).c_str(), number);
      return text;
    }
    case 9: {
      std::string grid;
      for (size_t k = 0; k < 13; ++k) grid += code(k);
      return grid;
    }
    case 10: {
      const bool upper = v[2] > 1 || v[3] > 1;
      const bool bass = v[4] > 1;
      std::snprintf(text, sizeof text, "%s%s%s%s%s%s%s%s", code(0).c_str(), code(1).c_str(),
                    upper ? "\\u" : "", code(2).c_str(), code(3).c_str(),
                    bass && upper ? "\\u" : "", bass ? "/" : "",
                    bass ? code_of(ROOTS, v[4] - 1) : "");
      return text;
    }
    case 11: {
      const int program = (std::clamp(v[0], 1, 16) - 1) * 8 + std::clamp(v[1], 1, 8);
      std::snprintf(text, sizeof text, "program %d (%s)", program, MIDI_PROGRAMS[program - 1]);
      return text;
    }
    default:
      return {};
  }
}

int text_assistant_class(int category, const std::vector<int>& values) {
  if (category == 8) return SYMBOL_CLASSES[std::clamp(values[0], 1, 14) - 1];
  return category >= 0 && category < 12 ? CLASSES[category] : 0;
}

int text_assistant_dialog(int category) {
  if (category < 0 || category > 11) return 0;
  if (category <= 4 && !first_note_of_piece(insertion_point)) {
    REPORT_ERROR(2, "You must select the first note or rest in the piece before you can do this.");
    return 0;
  }
  save_cursor();
  set_cursor(CURSOR_ID_ARROW);
  DialogRef dialog = platform_open_dialog(DIALOGS[category], true);
  if (!dialog) {
    REPORT_ERROR(4, "Could not load helper %d!", category);
    restore_cursor();
    return 0;
  }
  Port* saved_port = platform_current_port();
  platform_set_port(platform_dialog_port(dialog));
  std::vector<int>& values = remembered[size_t(category)];
  const std::vector<const Choices*> popups = popups_of(category);
  for (size_t k = 0; k < popups.size(); ++k) {
    const int item = int(k) + 4;
    platform_popup_clear(dialog, item);
    if (category == 10 && k == 4) {
      platform_popup_append(dialog, item, "{None}");
      for (const Choice& c : ROOTS) platform_popup_append(dialog, item, c.name);
    } else {
      for (const Choice& c : *popups[k]) platform_popup_append(dialog, item, c.name);
    }
    platform_set_item_value(dialog, item, values[k]);
  }
  if (category == 11) {
    fill_programs(dialog, values[0]);
    platform_set_item_value(dialog, 5, values[1]);
  }
  auto preview = [&] {
    if (category <= 4) return;
    char shown[300];
    std::snprintf(shown, sizeof shown, "%s%s", category == 9 ? "Sayl Font:  " : "Text:  ",
                  text_assistant_compose(category, values).c_str());
    platform_set_item_text(dialog, 3, shown);
  };
  if (category <= 4) platform_select_item_text(dialog, 4, 0, 32767);
  preview();
  int item = 0;
  bool replace = false;
  std::string typed;
  for (;;) {
    item = platform_modal_dialog(dialog, dialog_key_filter);
    if (item == 1 && category <= 4) {
      // A character the piece cannot store is said, and the text stays to be mended.
      const std::string refused = platform_item_refused_text(dialog, 4);
      if (!refused.empty()) {
        REPORT_ERROR(2,
                     "The character \"%s\" cannot be put into an annotation: a piece stores "
                     "its texts in the Mac OS Roman character set, which does not hold it.",
                     refused.c_str());
        continue;
      }
    }
    if (item == 1 || item == 2) break;
    if (category <= 4) {
      if (item == 5) platform_set_item_value(dialog, 5, !platform_item_value(dialog, 5));
      continue;
    }
    const size_t k = size_t(item - 4);
    if (item < 4 || k >= values.size()) continue;
    values[k] = platform_item_value(dialog, item);
    if (category == 11 && item == 4) {
      fill_programs(dialog, values[0]);
      platform_set_item_value(dialog, 5, values[1]);
    }
    preview();
  }
  if (category <= 4) {
    typed = platform_item_text(dialog, 4);
    replace = platform_item_value(dialog, 5) != 0;
  }
  platform_close_dialog(dialog);
  platform_set_port(saved_port);
  restore_cursor();
  const std::string text = category <= 4 ? typed : text_assistant_compose(category, values);
  if (item != 1 || text.empty()) return 0;  // an empty text is no text: nothing is removed

  // A text still being typed ends too: a click on a note while a text was typed begins an
  // empty one there while the finished text stays selected.
  if (current_anno) anno_unhighlight(1);
  if (text_edit_record) text_finish(1);
  Drosa nt = insertion_point ? note_ntdata(insertion_point) : NIL;
  anno_set_class(text_assistant_class(category, values), 1, nt ? nt->get(xstsize) : 50,
                 text_template, 0);
  const int font = text_template->get(xtextfont);
  if (category == 9)
    text_template->set(xtextfont, -2);
  else if (font == -1 || font == -2 || font == -3)
    text_template->set(xtextfont, -5);
  const int size = pixels_to_tenths(text_template->get(xtextsize));
  if (category <= 4 && replace) remove_older_texts(category);
  text_start(2);
  if (!text_edit_length() && !text_edit_record) return 0;
  text_insert(font_from_code(text_template->get(xtextfont)), size, text);
  if (category == 2) {
    // The composer's name ends at the staff's right edge.
    int32_t width = 0;
    if (text_edit_record) {
      Port* saved = platform_current_port();
      platform_set_port(offscreen_port());
      width = int32_t(te_text_width(text_edit_record) * (zoom_factor > 0 ? zoom_factor : 10.0));
      platform_set_port(saved);
    }
    change_text_position_by(staff_right_x(0, current_page) - width, 2100000000);
  }
  return 1;
}
