// menu_tables.cpp: the 32 menus and their items, and building them at start-up.
//
// The tables list the menus in the order they are made; a menu of the bar is appended at the
// bar's right end, so the bar reads Apple, File, Edit, Context, Page, Voice, Note, Stem, Hear,
// Symbol, Annotation. A submenu is hung on its parent item right after it is made. Item
// numbers count separators ("-"), and never change: only the Context menu's list of notation
// contexts, the MIDI devices and the installed fonts vary in length, always at a menu's end.
#include <cstdio>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_globals.h"
#include "app/menus.h"
#include "app/prefs.h"
#include "app/shortcut_keys.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/fonts.h"
#include "platform/menus.h"
#include "platform/text_encoding.h"

namespace {

struct ItemDef {
  const char* text;  // "-" a separator
  char key = 0;      // the Command key that comes with the item
  uint8_t style = 0;
};

struct MenuDef {
  int16_t id;
  const char* title;
  int16_t parent = 0;  // the menu whose item carries it; 0 for a menu of the bar
  int16_t parent_item = 0;
  std::vector<ItemDef> items;
};

// clang-format off
const std::vector<MenuDef>& menu_defs() {
  static const std::vector<MenuDef> defs = {
    {APPLE_MENU, "\x14", 0, 0, {{"About Vesk..."}, {"-"}}},
    {FILE_MENU, "File", 0, 0,
     {{"New..."}, {"Open..."}, {"Import"}, {"Close"}, {"-"}, {"Save", 'S'}, {"Save As..."},
      {"Save As Published..."}, {"Export"}, {"Revert"}, {"-"}, {"Layout..."}, {"Print Setup..."},
      {"Print..."}, {"Print Multiple..."}}},
    {IMPORT_MENU, "Import", FILE_MENU, 3, {{"MusicXML..."}, {"MIDI..."}}},
    {EXPORT_MENU, "Export", FILE_MENU, 9, {{"MusicXML..."}, {"MIDI..."}}},
    {EDIT_MENU, "Edit", 0, 0,
     {{"Undo"}, {"Redo"}, {"-"}, {"Cut", 'X'}, {"Copy", 'C'}, {"Paste", 'V'}, {"Clear"},
      {"Copy Measures..."}, {"-"}, {"Align Annotations..."}, {"Duplicate Annotations"},
      {"Extend Line to Here"}, {"-"}, {"Allow Any Alt-click"}, {"Enable Duration Edits"}, {"-"},
      {"Zoom"}}},
    {CLEAR_MENU, "Clear", EDIT_MENU, 7,
     {{"Note"}, {"Text"}, {"Annotation"}, {"-"}, {"At Each System"}, {"On Each Page"},
      {"In Every Context"}, {"-"}, {"Staff Drag"}, {"Chord Drag"}, {"Accidental Drag"}, {"-"},
      {"Invisible Notes..."}}},
    {DUPLICATE_MENU, "Duplicate", EDIT_MENU, 11,
     {{"At Each System"}, {"On Each Page"}, {"In Every Context"}}},
    {ZOOM_MENU, "Zoom", EDIT_MENU, 17,
     {{"Save Layout..."}, {"-"}, {"Resizable"}, {"-"}, {"Mini"}, {"Reduce"}, {"Standard"},
      {"Enlarge (1.5x)"}, {"Double (2x)"}, {"Big (3x)"}, {"Huge (4x)"}, {"5x"}, {"6x"}, {"7x"},
      {"8x"}, {"Maximum (10x)"}, {"-"}, {"Screen Width"}}},
    {CONTEXT_MENU, "Context", 0, 0,
     {{"Previous Notation Context"}, {"Next Notation Context"}, {"-"}, {"Part Extraction..."},
      {"-"}}},
    {PAGE_MENU, "Page", 0, 0,
     {{"Previous Page", '['}, {"Next Page", ']'}, {"-"}, {"Go To Page..."}, {"Go To Bar..."},
      {"Next Rhythm Error"}, {"-"}, {"Split Page"}, {"Combine with Next Page"}, {"Split System"},
      {"Combine with Next System"}, {"Systems..."}, {"-"}, {"Insert Measures..."},
      {"Delete Measures..."}}},
    {VOICE_MENU, "Voice", 0, 0,
     {{"Previous Part or Voice"}, {"Next Part or Voice"}, {"-"}, {"Record..."}, {"Note Entry"},
      {"-"}, {"Parts and Voices..."}, {"Voice to Staff Above"}, {"Voice to Staff Below"}, {"-"},
      {"Staff Drag..."}, {"Highlight Voice"}, {"Voice on Channel..."}}},
    {NOTE_MENU, "Note", 0, 0,
     {{"Previous Note"}, {"Next Note"}, {"-"}, {"Show Accidental"}, {"Default Accidentals..."},
      {"Special Accidentals..."}, {"-"}, {"Transpose..."}, {"Notehead Color..."},
      {"Tablature String"}, {"Tablature Thumb"}, {"-"}, {"Hide Tuplet"}, {"Hide Rest"},
      {"Don't Combine Rest"}, {"-"}, {"Chord Drag..."}, {"Internal Fields..."}}},
    {TAB_STRING_MENU, "Tablature String", NOTE_MENU, 10, {{"Higher"}, {"Lower"}, {"Default"}}},
    {STEM_MENU, "Stem", 0, 0,
     {{"Stem Up"}, {"Stem Down"}, {"No Stem"}, {"Slashed Stem"}, {"Stem Between Staves"}, {"-"},
      {"Continue Primary Beam"}, {"End Primary Beam"}, {"Continue Secondary Beam"},
      {"End Secondary Beam"}, {"Default Beaming"}, {"Beaming Rule..."}, {"-"},
      {"Tremolo Beam"}, {"Swing Eighth Beam"}, {"-"}, {"Modify Slur"}, {"Additional Slur"},
      {"Modify Tie"}}},
    {MODIFY_SLUR_MENU, "Modify Slur", STEM_MENU, 17,
     {{"On Top"}, {"On Bottom"}, {"Near Notehead"}, {"-"}, {"Hangs Right"}, {"Hangs Left"},
      {"Only Left"}, {"-"}, {"Split"}, {"Dashed"}, {"With Pitch Bend"}, {"-"}, {"Grace Slur"}}},
    {ADDITIONAL_SLUR_MENU, "Additional Slur", STEM_MENU, 18,
     {{"On Top"}, {"On Bottom"}, {"Near Notehead"}, {"-"}, {"Hangs Right"}, {"Hangs Left"},
      {"Only Left"}, {"-"}, {"Split"}, {"Dashed"}, {"With Pitch Bend"}}},
    {MODIFY_TIE_MENU, "Modify Tie", STEM_MENU, 19,
     {{"Curves Up"}, {"Curves Down"}, {"-"}, {"Hangs Right"}, {"Hangs Left"}, {"Only Left"},
      {"-"}, {"Dashed"}, {"With Pitch Bend"}}},
    {HEAR_MENU, "Hear", 0, 0,
     {{"Hear..."}, {"-"}, {"Tuning..."}, {"Dynamic Levels..."}, {"Default Playback..."},
      {"Modify Playback"}, {"Recompute Playback..."}, {"-"}, {"Play Octave Higher"},
      {"Play Octave Lower"}, {"Keyboard Shift"}, {"-"}, {"MIDI Input"}, {"MIDI Output"}}},
    {MODIFY_PLAYBACK_MENU, "Modify Playback ", HEAR_MENU, 6,
     {{"Softer", '1'}, {"Louder", '2'}, {"Level...", '3'}, {"-"}, {"Lower", '4'},
      {"Higher", '5'}, {"Pitch...", '6'}, {"-"}, {"Shorter", '7'}, {"Longer", '8'},
      {"Earlier", '9'}, {"Later", '0'}}},
    {KEYBOARD_SHIFT_MENU, "Keyboard Shift", HEAR_MENU, 11,
     {{"3 Octaves Up"}, {"2 Octaves Up"}, {"1 Octave Up"}, {"Normal"}, {"1 Octave Down"},
      {"2 Octaves Down"}, {"3 Octaves Down"}}},
    {MIDI_INPUT_MENU, "MIDI Input", HEAR_MENU, 13, {{"No Input"}, {"-"}}},
    {MIDI_OUTPUT_MENU, "MIDI Output", HEAR_MENU, 14, {{"No Output"}, {"-"}, {"Built-in Synthesizer"}}},
    {SYMBOL_MENU, "Symbol", 0, 0,
     {{"Clef..."}, {"Key Signature..."}, {"Time Signature..."}, {"-"}, {"Bar Line..."},
      {"Align Bars..."}, {"System Bracket..."}, {"-"}, {"Parameters..."}, {"Hidden Text..."}}},
    {ANNOTATION_MENU, "Annotation", 0, 0,
     {{"Previous Annotation"}, {"Next Annotation"}, {"-"}, {"Text Category"}, {"Font"},
      {"Size"}, {"Style"}, {"Text Assistant"}, {"-"}, {"Line"}, {"Curve"},
      {"Line and Curve Style"}, {"-"}, {"Horizontal Lock"}, {"Vertical Lock"}, {"-"},
      {"All Notation Contexts"}, {"Only In Score"}, {"Not In Score"},
      {"This Notation Context Only"}}},
    {TEXT_CATEGORY_MENU, "Text Category", ANNOTATION_MENU, 4,
     {{"Title"}, {"Subtitle"}, {"Composer"}, {"Poet, Lyricist"}, {"Copyright"}, {"Label"},
      {"-"}, {"Lyric"}, {"Dynamic"}, {"Tempo Marking"}, {"Tempo Alteration"}, {"Mood"}, {"-"},
      {"Ornament"}, {"Articulation"}, {"Pause"}, {"Breath"}, {"Pedal"}, {"-"}, {"Bowing"},
      {"Fingering"}, {"Fret Grid"}, {"Chord Symbol."}, {"MIDI"}, {"-"}, {"Rehearsal"},
      {"Ending, Segno"}, {"-"}, {"Other Text"}, {"-"}, {"Model for Category:..."}}},
    {FONT_MENU, "Font", ANNOTATION_MENU, 5,
     {{"Quor"}, {"Sayl"}, {"Sonata"}, {"Geneva"}, {"Times"}, {"Symbol"}, {"-"}}},
    {SIZE_MENU, "Size", ANNOTATION_MENU, 6, {}},
    {STYLE_MENU, "Style", ANNOTATION_MENU, 7,
     {{"Plain"}, {"Bold", 0, ITEM_STYLE_BOLD}, {"Italic", 0, ITEM_STYLE_ITALIC},
      {"Underline", 0, ITEM_STYLE_UNDERLINE}, {"-"}, {"Centered"}, {"Leave Space"},
      {"Staff Size Adjust"}, {"Position Lock"}, {"-"}, {"Boxed"}, {"Center Hyphens"},
      {"Extend Underlines"}, {"Flat Underlines"}, {"Fingering"}, {"Stack Vertically"}, {"-"},
      {"Hidden"}, {"Do Not Interpret"}, {"Draw In White"}, {"Color..."}}},
    {TEXT_ASSISTANT_MENU, "Text Assistant", ANNOTATION_MENU, 8,
     {{"Title"}, {"Subtitle"}, {"Composer"}, {"Poet, Lyricist"}, {"Copyright"}, {"-"},
      {"Dynamic"}, {"Tempo Marking"}, {"Ornament"}, {"Other Symbols"}, {"-"}, {"Fret Grid"},
      {"Chord Symbol."}, {"General MIDI"}}},
    {LINE_MENU, "Line", ANNOTATION_MENU, 10,
     {{"Line"}, {"Hairpin"}, {"Tuplet Bracket"}, {"-"}, {"Plain Bracket"},
      {" - left side only"}, {" - right side only"}, {"-"}, {"Rectangle"},
      {" - left side only"}, {" - right side only"}, {" - top only"}, {" - bottom only"}}},
    {CURVE_MENU, "Curve", ANNOTATION_MENU, 11, {{"Curves Up"}, {"Curves Down"}}},
    {LINE_STYLE_MENU, "Line and Curve Style", ANNOTATION_MENU, 12,
     {{"Thick"}, {"Normal"}, {"Thin"}, {"Line Width..."}, {"Dashed..."}, {"Extend"}, {"-"},
      {"Draw In White"}, {"Color..."}}},
  };
  return defs;
}

// The classification codes of the Text Category items 1..29; -1 for the separators.
constexpr int TEXT_CATEGORY_CODES[29] = {2,  24, 3,  23, 18, 13, -1, 5, 7,  6,  22, 21, -1, 16, 14,
                                         20, 15, 9,  -1, 19, 8,  10, 11, 12, -1, 4, 17, -1, 1};
// clang-format on

constexpr int SIZE_MENU_SIZES[10] = {10, 11, 12, 14, 16, 18, 20, 24, 28, 32};

// The font number of each Font item from first_system_font_item on.
std::vector<int> installed_font_items;

void append_items(const MenuDef& def) {
  for (const ItemDef& item : def.items) {
    if (item.text[0] == '-' && !item.text[1]) {
      platform_append_menu_separator(def.id);
      continue;
    }
    platform_append_menu_item(def.id, debug_hook(item.text));
    const int number = platform_menu_item_count(def.id);
    if (item.key) set_menu_item_key(def.id, number, item.key, 0);
    if (item.style) platform_set_menu_item_style(def.id, number, item.style);
  }
}

// Each device name as it stands, after the fixed items.
int append_names(int16_t menu, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    std::string text = utf8_to_macroman(name).substr(0, 255);
    platform_append_menu_item(menu, text.empty() ? debug_hook("Unnamed device") : text);
  }
  return platform_menu_item_count(menu);
}

void fill_font_menu() {
  first_system_font_item = platform_menu_item_count(FONT_MENU) + 1;
  installed_font_items.clear();
  for (const FontEntry& font : platform_font_list()) {
    platform_append_menu_item(FONT_MENU, utf8_to_macroman(font.name));
    installed_font_items.push_back(font.number);
  }
  font_menu_count = platform_menu_item_count(FONT_MENU);
  text_template->set(xtextfont, int16_t(-5));
  text_template->set(xcharset, uint8_t(0));
}

void fill_size_menu() {
  for (int i = 0; i < 10; ++i) {
    size_menu_sizes[i] = SIZE_MENU_SIZES[i];
    char text[32];
    std::snprintf(text, sizeof text, "%hd point", short(size_menu_sizes[i]));
    platform_append_menu_item(SIZE_MENU, debug_hook(text));
  }
  platform_append_menu_separator(SIZE_MENU);
  platform_append_menu_item(SIZE_MENU, debug_hook("Point Size..."));
}

void make_menu(const MenuDef& def) {
  platform_new_menu(def.id, debug_hook(def.title));
  append_items(def);
  switch (def.id) {
    case EDIT_MENU:
      if (simplified_notation_item_present())
        platform_append_menu_item(EDIT_MENU, debug_hook("Simplified Music Notation"));
      platform_append_menu_item(EDIT_MENU, debug_hook("Shortcut Keys..."));
      platform_append_menu_item(EDIT_MENU, debug_hook("Options..."));
      break;
    case MIDI_INPUT_MENU:
      midi_source_count = append_names(MIDI_INPUT_MENU, midi_source_names());
      // Without the MIDI service the menu says so, in an item that stays disabled.
      if (!midi_service_status().empty())
        platform_append_menu_item(MIDI_INPUT_MENU, midi_service_status());
      break;
    case MIDI_OUTPUT_MENU:
      platform_set_menu_item_text(MIDI_OUTPUT_MENU, 3, synth_menu_text());
      midi_destination_count = append_names(MIDI_OUTPUT_MENU, midi_destination_names());
      if (!midi_service_status().empty())
        platform_append_menu_item(MIDI_OUTPUT_MENU, midi_service_status());
      break;
    case FONT_MENU:
      fill_font_menu();
      break;
    case SIZE_MENU:
      fill_size_menu();
      break;
    default:
      break;
  }
  platform_insert_menu(def.id, def.parent == 0);
  if (def.parent) set_menu_item_key(def.parent, def.parent_item, ATTACH_SUBMENU, def.id);
}

// Gives the items of a shortcut table their letters; an entry naming no item is cleared.
void apply_shortcut_table(bool control) {
  for (int letter = 'A'; letter <= 'Z'; ++letter) {
    const MenuCommand entry = control ? prefs.control_key(letter) : prefs.command_key(letter);
    if (!entry.menu && !entry.item) continue;
    const int last_menu = control ? ANNOTATION_MENU : MENU_COUNT;
    const bool valid = entry.menu >= 1 && entry.menu <= last_menu && entry.item > 0 &&
                       entry.item <= platform_menu_item_count(entry.menu);
    if (!valid) {
      if (control)
        prefs.set_control_key(letter, {});
      else
        prefs.set_command_key(letter, {});
      continue;
    }
    set_menu_item_key(entry.menu, entry.item, control ? -letter : letter, 0);
  }
}

}  // namespace

void build_menus() {
  for (const MenuDef& def : menu_defs()) make_menu(def);
  // The application's Quit: where the window system offers no Quit of its own, Command-Q
  // reaches it unless the Command table gives Q to an item.
  platform_add_quit_item(APPLE_MENU, debug_hook("Quit Vesk"), 'Q');
  apply_shortcut_table(false);
  apply_shortcut_table(true);
  // The shifted letters the user's other programs have taught: Command-Shift-Z redoes what
  // Command-Z undid, Command-Shift-N opens a new piece (Command-N stays Note Entry).
  platform_set_item_shifted_key(EDIT_MENU, 2, 'Z');
  platform_set_item_shifted_key(FILE_MENU, 1, 'N');
}

bool simplified_notation_item_present() { return music_font_numbers[FONT_SLOT_SIMPLIFIED] != 0; }

int edit_shortcut_keys_item() { return simplified_notation_item_present() ? 19 : 18; }

int edit_options_item() { return simplified_notation_item_present() ? 20 : 19; }

int text_category_code(int item) {
  return item >= 1 && item <= 29 ? TEXT_CATEGORY_CODES[item - 1] : -1;
}

int font_code_of_item(int item) {
  if (item >= 1 && item <= 6) return -item;
  const int index = item - first_system_font_item;
  if (index < 0 || index >= int(installed_font_items.size())) return 0;
  return code_from_font(installed_font_items[size_t(index)]);
}
