// param_catalogue.cpp: the group fillers of the engraving parameter table, one per heading,
// each declaring its heading and then its parameters in the editor's display order.
//
// Generated from the parameter catalogue; edit the catalogue and regenerate, not this file.
// clang-format off
#include "params/params_globals.h"
#include "params/generated/param_catalogue.h"

#include "model/model_services.h"
#include "params/param_table.h"

namespace {
// Font numbers found at start-up (0 for a font not installed), read when a filler runs.
int32_t simplified_font() { return model_hooks.music_font_number(FONT_SLOT_SIMPLIFIED); }
int32_t symbol_font() { return model_hooks.music_font_number(FONT_SLOT_SYMBOL); }
// The second default set: glyph widths and overlaps follow the music font choice.
bool sonata_set() { return model_hooks.use_sonata_font() == 1; }
// The current notation context's note spacing value.
float context_note_spacing() { return options_float(current_ncontext, OPTIONS_NOTE_SPACING); }

// Takes the parameter just declared off the display order when the simplified-notation
// font is not installed.
void unlist_without_simplified_font() {
  if (!simplified_font()) unlist_last_param();
}
}  // namespace

void init_params_accidentals() {
  declare_param_heading(284, "ACCIDENTALS, KEYS, CHORD SYMBOLS");
  declare_character_pair_param(25, {97, -1, 0, 12, 0, -23}, {129, -1, 0, 12, 0, -23}, {186, -3, 0, 20, -2, 24}, {186, -3, 0, 12, -5, 24}, "double flat");
  declare_character_pair_param(26, {115, -1, 0, 12, 0, -20}, {234, -1, 0, 12, 0, -20}, {98, -3, 0, 20, 0, 24}, {105, -3, 0, 20, 6, 24}, "flat");
  declare_character_pair_param(27, {100, -1, 0, 12, 0, -20}, {235, -1, 0, 12, 0, -20}, {110, -3, 0, 20, 7, 25}, {233, -3, 0, 20, 6, 25}, "natural");
  declare_character_pair_param(28, {102, -1, 0, 12, 0, -20}, {236, -1, 0, 12, 0, -20}, {35, -3, 0, 20, 8, 25}, {73, -3, 0, 20, 14, 25}, "sharp");
  declare_character_pair_param(29, {103, -1, 0, 12, 0, -20}, {237, -1, 0, 12, 0, -20}, {220, -3, 0, 20, -2, 25}, {220, -3, 0, 12, 4, 25}, "double sharp");
  declare_character_pair_param(715, {71, simplified_font(), 0, 10, 0, 5}, {71, simplified_font(), 0, 7, 0, 12}, {71, simplified_font(), 0, 10, 0, 5}, {71, simplified_font(), 0, 7, 0, 12}, "simplified music notation double-flat history mark");
  unlist_without_simplified_font();
  declare_character_pair_param(716, {72, simplified_font(), 0, 10, 0, 5}, {72, simplified_font(), 0, 7, 0, 12}, {72, simplified_font(), 0, 10, 0, 5}, {72, simplified_font(), 0, 7, 0, 12}, "simplified music notation flat history mark");
  unlist_without_simplified_font();
  declare_character_pair_param(717, {68, simplified_font(), 0, 11, 0, 5}, {68, simplified_font(), 0, 8, 0, 8}, {68, simplified_font(), 0, 11, 0, 5}, {68, simplified_font(), 0, 8, 0, 8}, "simplified music notation sharp history mark");
  unlist_without_simplified_font();
  declare_character_pair_param(718, {70, simplified_font(), 0, 11, 0, 5}, {70, simplified_font(), 0, 8, 0, 8}, {70, simplified_font(), 0, 11, 0, 5}, {70, simplified_font(), 0, 8, 0, 8}, "simplified music notation double-sharp history mark");
  unlist_without_simplified_font();
  declare_character_param(584, {97, -1, 0, 12, 10, 0}, {186, -3, 0, 19, 8, 44}, "double flat for chord symbols (\\--)");
  declare_character_param(585, {115, -1, 0, 12, 10, 0}, {98, -3, 0, 20, 10, 44}, "flat for chord symbols (\\-)");
  declare_character_param(586, {100, -1, 0, 12, 10, 10}, {110, -3, 0, 20, 17, 55}, "natural for chord symbols (\\n)");
  declare_character_param(587, {102, -1, 0, 11, 10, 20}, {35, -3, 0, 20, 18, 75}, "sharp for chord symbols (\\+)");
  declare_character_param(588, {103, -1, 0, 13, 10, 10}, {220, -3, 0, 20, 8, 55}, "double sharp for chord symbols (\\++)");
  declare_character_param(590, {115, -1, 0, 10, 10, 40}, {98, -3, 0, 15, 10, 84}, "flat for chord symbol alterations (\\alt-)");
  declare_character_param(734, {100, -1, 0, 10, 10, 40}, {110, -3, 0, 15, 18, 85}, "natural for alterations (\\altn)");
  declare_character_param(591, {102, -1, 0, 10, 10, 40}, {35, -3, 0, 15, 18, 85}, "sharp for chord symbol alterations (\\alt+)");
  declare_character_param(592, {55, -5, 0, 11, 0, 30}, {55, -5, 0, 11, 0, 30}, "font/size/offset for superscript chord symbol extensions (\\u)");
  declare_line_width_param(593, 10, "width of underline for chord symbols");
  declare_coordinate_param(594, 20, "distance from chord symbol text to underline");
  declare_coordinate_pair_param(254, 70, 50, "double flat width");
  declare_coordinate_pair_param(255, 42, 30, "flat width");
  declare_coordinate_pair_param(256, 50, 40, "natural width");
  declare_coordinate_pair_param(257, sonata_set() ? 50 : 60, sonata_set() ? 40 : 50, "sharp width");
  declare_coordinate_pair_param(258, 50, 40, "double sharp width");
  declare_coordinate_pair_param(719, 60, 48, "simplified music notation double flat history width");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(720, 60, 48, "simplified music notation flat history width");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(721, 50, 40, "simplified music notation sharp history width");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(722, 62, 46, "simplified music notation double sharp history width");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(124, 30, 20, "space left between accidental and note");
  declare_coordinate_pair_param(735, 13, 7, "space for second acc in chord at same notename");
  declare_integer_pair_param(122, 3, 2, "sharps this many vertical staff spaces apart do not overlap");
  declare_float_param(572, 2.2f, "flats this many vertical staff spaces apart do not overlap");
  declare_float_param(571, 1.6f, "flats/naturals this many staff spaces apart partially overlap");
  declare_float_param(564, 1.0f, "multiplier for extra space between notes for accidentals");
  declare_coordinate_pair_param(123, 10, 10, "x space left between accidentals in keys and chords");
  declare_coordinate_pair_param(264, 70, 50, "space left between key signature and next object");
  declare_coordinate_pair_param(745, 0, 0, "simplified x space between accidentals");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(746, 120, 80, "simplified space between key signature and next object");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(319, 0, 0, "additional space left before key signature");
  declare_character_pair_param(573, {97, -1, 0, 12, 0, -23}, {129, -1, 0, 12, 0, -23}, {97, -1, 0, 12, 0, -23}, {129, -1, 0, 12, 0, -23}, "accidental for Piano Window only");
  unlist_last_param();
  declare_character_pair_param(574, {115, -1, 0, 12, 0, -20}, {234, -1, 0, 12, 0, -20}, {115, -1, 0, 12, 0, -20}, {234, -1, 0, 12, 0, -20}, "accidental for Piano Window only");
  unlist_last_param();
  declare_character_pair_param(575, {100, -1, 0, 12, 0, -20}, {235, -1, 0, 12, 0, -20}, {100, -1, 0, 12, 0, -20}, {235, -1, 0, 12, 0, -20}, "accidental for Piano Window only");
  unlist_last_param();
  declare_character_pair_param(576, {102, -1, 0, 12, 0, -20}, {236, -1, 0, 12, 0, -20}, {102, -1, 0, 12, 0, -20}, {236, -1, 0, 12, 0, -20}, "accidental for Piano Window only");
  unlist_last_param();
  declare_character_pair_param(577, {103, -1, 0, 12, 0, -20}, {237, -1, 0, 12, 0, -20}, {103, -1, 0, 12, 0, -20}, {237, -1, 0, 12, 0, -20}, "accidental for Piano Window only");
  unlist_last_param();
}

void init_params_barlines() {
  declare_param_heading(296, "BAR LINES, REPEATS");
  declare_coordinate_pair_param(128, 80, 60, "space left between bar line and next object");
  declare_coordinate_param(316, 0, "additional space left before bar line");
  declare_line_width_param(179, 2, "line width for bar lines");
  declare_line_width_param(322, 20, "line width for thicker line in double bar");
  declare_coordinate_param(134, 20, "separation between lines in double bars");
  declare_character_pair_param(24, {80, -1, 0, 12, 0, -90}, {80, -1, 0, 7, 0, -53}, {123, -3, 0, 20, 0, -100}, {123, -3, 0, 12, 0, -60}, "repeat dots");
  declare_coordinate_param(186, 20, "distance between bar line and repeat dots");
  declare_coordinate_param(187, 20, "space given for width of repeat dots");
  declare_coordinate_param(554, 50, "length of wing lines on repeats");
  declare_line_width_param(555, 14, "line width of wing lines on repeats");
  declare_integer_pair_param(324, 1, 1, "dash length for dashed bar lines");
  declare_integer_pair_param(325, 1, 1, "gap length for dashed bar lines");
  declare_coordinate_param(681, 50, "length of rule (chant bar line)");
  declare_coordinate_param(682, -25, "y offset for rule (chant bar line)");
  declare_coordinate_param(393, 350, "minimum width of a bar containing only rests");
  declare_character_pair_param(723, {37, -1, 0, 12, 0, 0}, {37, -1, 0, 7, 0, 0}, {37, -3, 0, 20, 0, 0}, {37, -3, 0, 12, 0, 0}, "segno (\\segno)");
  declare_character_pair_param(724, {35, -1, 0, 12, 0, 0}, {35, -1, 0, 7, 0, 0}, {222, -3, 0, 20, 0, 0}, {222, -3, 0, 12, 0, 0}, "coda symbol (\\coda)");
  declare_character_pair_param(725, {58, -1, 0, 12, 0, 0}, {58, -1, 0, 7, 0, 0}, {58, -1, 0, 12, 0, 0}, {58, -1, 0, 7, 0, 0}, "repeat beat (\\//)");
  declare_character_pair_param(726, {76, -1, 0, 12, 0, 0}, {76, -1, 0, 7, 0, 0}, {212, -3, 0, 20, 0, 0}, {212, -3, 0, 12, 0, 0}, "repeat bar (\\/)");
}

void init_params_beaming() {
  declare_param_heading(293, "BEAMING");
  declare_line_width_pair_param(202, 25, 15, "stem connection beam line width");
  declare_coordinate_pair_param(127, 40, 30, "offset between succesive beams");
  declare_coordinate_pair_param(275, 80, 60, "minimum distance from noteheads under beams to beams");
  declare_coordinate_pair_param(358, 40, 30, "minimum distance from rests under beams to beams");
  declare_float_param(131, 0.9f, "multiplier to compute beam slope from note locations");
  declare_float_pair_param(180, 0.4f, 0.4f, "maximum slope for beam");
  declare_float_pair_param(181, 0.1f, 0.1f, "minimum slope for beam: use flat beam for lesser slope");
  declare_coordinate_pair_param(323, 20, 15, "min change in y between beam ends: flat beam for lesser");
  declare_coordinate_pair_param(120, 0, 0, "y offset to add to final beam location");
  declare_float_pair_param(121, 0.0f, 0.0f, "offset to add to final beam slope");
  declare_coordinate_pair_param(191, 60, 30, "length of partial beams between note stems");
  declare_coordinate_pair_param(203, 50, 50, "extend beam lines this far past the note stem (before clip)");
  declare_coordinate_pair_param(204, 0, 0, "clip the main beam line this far from stem");
  declare_coordinate_pair_param(205, 0, 0, "clip the sub beam lines this far from stem");
  declare_coordinate_pair_param(410, 50, 40, "clip tremolo-between-pitches this far from quarter stem");
  declare_coordinate_pair_param(411, 0, 0, "clip tremolo-between-pitches this far from half stem");
  declare_coordinate_pair_param(412, 50, 40, "clip tremolo-between-pitches this far from whole note");
  declare_coordinate_pair_param(388, 120, 60, "beams off end of system extend this far right of final stem");
  declare_coordinate_pair_param(389, 120, 60, "beams onto start of system extend this far left of first stem");
  declare_coordinate_pair_param(565, 120, 90, "change in y between ends of beams over switch to rh/lh");
  declare_integer_param(335, 3, "minimum number of notes in a sub-beaming");
  declare_coordinate_pair_param(566, 35, 25, "OUTDATED: piano tablature beam line width");
  unlist_last_param();
  declare_coordinate_pair_param(567, 50, 40, "OUTDATED: piano tablature offset between succesive beams");
  unlist_last_param();
}

void init_params_brackets() {
  declare_param_heading(403, "BRACKETS AND BRACES");
  declare_integer_param(706, 0, "draw barline at left of single-staff system (1=yes)");
  declare_integer_param(558, 1, "draw barline at left of multi-staff system (1=yes)");
  declare_line_width_param(279, 20, "width of vertical bracket line at start of system");
  declare_coordinate_param(280, 40, "x offset from start of staff to vertical bracket line");
  declare_line_width_param(281, 14, "width of diagonal bracket lines at start of system");
  declare_coordinate_param(282, 50, "length of diagonal bracket lines");
  declare_character_pair_param(399, {236, -6, 1, 14, 0, 0}, {236, -6, 1, 12, 0, 0}, {236, -6, 1, 14, 0, 0}, {236, -6, 1, 12, 0, 0}, "top part of a system brace");
  declare_character_pair_param(400, {237, -6, 1, 14, 0, 0}, {237, -6, 1, 12, 0, 0}, {237, -6, 1, 14, 0, 0}, {237, -6, 1, 12, 0, 0}, "middle part of a system brace");
  declare_character_pair_param(401, {238, -6, 1, 14, 0, 0}, {238, -6, 1, 12, 0, 0}, {238, -6, 1, 14, 0, 0}, {238, -6, 1, 12, 0, 0}, "bottom part of a system brace");
  declare_character_pair_param(402, {239, -6, 1, 14, 0, 0}, {239, -6, 1, 12, 0, 0}, {239, -6, 1, 14, 0, 0}, {239, -6, 1, 12, 0, 0}, "extension part making up a system brace");
  declare_coordinate_pair_param(397, 120, 100, "height of one extension part of a system brace");
  declare_coordinate_pair_param(398, 80, 80, "x offset for system braces from left end of staff");
  declare_character_pair_param(708, {167, -3, 0, 14, 0, 0}, {167, -3, 0, 12, 0, 0}, {167, -3, 0, 14, 0, 0}, {167, -3, 0, 12, 0, 0}, "Sonata system brace: top part");
  declare_character_pair_param(709, {234, -3, 0, 14, 0, 0}, {234, -3, 0, 12, 0, 0}, {234, -3, 0, 14, 0, 0}, {234, -3, 0, 12, 0, 0}, "Sonata system brace: bottom part");
  declare_float_param(712, 0.75f, "Sonata system brace: placement from staff spacing");
  declare_float_param(707, 0.5f, "Sonata system brace: font size from staff spacing");
  declare_float_param(710, 0.5f, "Sonata system brace: width from font size");
  declare_float_param(711, 2.0f, "Sonata system brace: height from font size");
  declare_integer_param(359, 0, "OUTDATED -- replaced by xbracket field");
  unlist_last_param();
}

void init_params_clefs() {
  declare_param_heading(283, "CLEFS AND 8VA");
  declare_character_pair_param(112, {113, -2, 0, 24, 0, -50}, {113, -2, 0, 14, 0, -29}, {38, -3, 0, 20, 0, -100}, {38, -3, 0, 12, 0, -60}, "treble clef at start of staff");
  declare_character_pair_param(113, {119, -2, 0, 24, 0, -50}, {119, -2, 0, 14, 0, -29}, {38, -3, 0, 14, 0, -85}, {38, -3, 0, 8, 0, -50}, "treble clef change in middle of staff");
  declare_character_pair_param(116, {116, -2, 0, 24, 0, -50}, {116, -2, 0, 14, 0, -29}, {63, -3, 0, 20, 0, -100}, {63, -3, 0, 12, 0, -60}, "bass clef at start of staff");
  declare_character_pair_param(117, {121, -2, 0, 24, 0, -50}, {121, -2, 0, 14, 0, -29}, {63, -3, 0, 14, 0, -55}, {63, -3, 0, 8, 0, -30}, "bass clef change in middle of staff");
  declare_character_pair_param(114, {101, -2, 0, 24, 0, -50}, {101, -2, 0, 14, 0, -29}, {66, -3, 0, 20, 0, -100}, {66, -3, 0, 12, 0, -60}, "alto clef at start of staff");
  declare_character_pair_param(115, {114, -2, 0, 24, 0, -50}, {114, -2, 0, 14, 0, -29}, {66, -3, 0, 14, 0, -70}, {66, -3, 0, 8, 0, -40}, "alto clef change in middle of staff");
  declare_character_pair_param(310, {101, -2, 0, 24, 0, -150}, {101, -2, 0, 14, 0, -89}, {66, -3, 0, 20, 0, -200}, {66, -3, 0, 12, 0, -120}, "soprano clef at start of staff");
  declare_character_pair_param(311, {114, -2, 0, 24, 0, -150}, {114, -2, 0, 14, 0, -89}, {66, -3, 0, 14, 0, -170}, {66, -3, 0, 8, 0, -100}, "soprano clef change in middle of staff");
  declare_character_pair_param(405, {101, -2, 0, 24, 0, -100}, {101, -2, 0, 14, 0, -59}, {66, -3, 0, 20, 0, -150}, {66, -3, 0, 20, 0, -90}, "mezzo-soprano clef at start of staff");
  declare_character_pair_param(406, {114, -2, 0, 24, 0, -100}, {114, -2, 0, 14, 0, -59}, {66, -3, 0, 14, 0, -120}, {66, -3, 0, 8, 0, -70}, "mezzo-soprano clef change in middle of staff");
  declare_character_pair_param(308, {101, -2, 0, 24, 0, 0}, {101, -2, 0, 14, 0, 1}, {66, -3, 0, 20, 0, -50}, {66, -3, 0, 12, 0, -30}, "tenor clef at start of staff");
  declare_character_pair_param(309, {114, -2, 0, 24, 0, 0}, {114, -2, 0, 14, 0, 1}, {66, -3, 0, 14, 0, -20}, {66, -3, 0, 8, 0, -10}, "tenor clef change in middle of staff");
  declare_character_pair_param(408, {101, -2, 0, 24, 0, 50}, {101, -2, 0, 14, 0, 31}, {66, -3, 0, 20, 0, 0}, {66, -3, 0, 12, 0, 0}, "baritone c-clef at start of staff");
  declare_character_pair_param(409, {114, -2, 0, 24, 0, 50}, {114, -2, 0, 14, 0, 31}, {66, -3, 0, 14, 0, 30}, {66, -3, 0, 8, 0, 20}, "baritone c-clef change in middle of staff");
  declare_character_pair_param(312, {116, -2, 0, 24, 0, -100}, {116, -2, 0, 14, 0, -59}, {63, -3, 0, 20, 0, -150}, {63, -3, 0, 12, 0, -90}, "baritone clef at start of staff");
  declare_character_pair_param(313, {121, -2, 0, 24, 0, -100}, {121, -2, 0, 14, 0, -59}, {63, -3, 0, 14, 0, -120}, {63, -3, 0, 8, 0, -60}, "baritone clef change in middle of staff");
  declare_character_pair_param(118, {117, -2, 0, 24, 0, -50}, {117, -2, 0, 14, 0, -29}, {117, -2, 0, 24, 0, -50}, {117, -2, 0, 14, 0, -29}, "octave-down treble clef at start of staff");
  declare_character_pair_param(119, {105, -2, 0, 24, 0, -50}, {105, -2, 0, 14, 0, -29}, {105, -2, 0, 24, 0, -50}, {105, -2, 0, 14, 0, -29}, "octave-down treble clef change in middle of staff");
  declare_character_pair_param(342, {111, -2, 0, 24, 0, -50}, {112, -2, 0, 14, 0, -30}, {111, -2, 0, 24, 0, -50}, {112, -2, 0, 14, 0, -30}, "single bar percussion clef at start of staff");
  declare_character_pair_param(343, {111, -2, 0, 24, 0, -50}, {112, -2, 0, 14, 0, -30}, {111, -2, 0, 24, 0, -50}, {112, -2, 0, 14, 0, -30}, "single bar percussion clef change");
  declare_character_pair_param(344, {91, -2, 0, 24, 0, -50}, {93, -2, 0, 14, 0, -30}, {91, -2, 0, 24, 0, -50}, {93, -2, 0, 14, 0, -30}, "dual bar percussion clef at start of staff");
  declare_character_pair_param(345, {91, -2, 0, 24, 0, -50}, {93, -2, 0, 14, 0, -30}, {91, -2, 0, 24, 0, -50}, {93, -2, 0, 14, 0, -30}, "dual bar percussion clef change");
  declare_character_pair_param(346, {100, -2, 0, 24, 0, -50}, {102, -2, 0, 14, 0, -30}, {100, -2, 0, 24, 0, -50}, {102, -2, 0, 14, 0, -30}, "cymbal clef at start of staff");
  declare_character_pair_param(347, {100, -2, 0, 24, 0, -50}, {102, -2, 0, 14, 0, -30}, {100, -2, 0, 24, 0, -50}, {102, -2, 0, 14, 0, -30}, "cymbal clef change in middle of staff");
  declare_integer_param(269, 42, "whole-step offset for treble clef");
  declare_integer_param(270, 40, "whole-step offset for soprano clef");
  declare_integer_param(404, 38, "whole-step offset for mezzo-soprano clef");
  declare_integer_param(271, 36, "whole-step offset for alto clef");
  declare_integer_param(273, 35, "whole-step offset for octave-down treble clef");
  declare_integer_param(272, 34, "whole-step offset for tenor clef");
  declare_integer_param(407, 32, "whole-step offset for baritone c-clef");
  declare_integer_param(307, 32, "whole-step offset for baritone clef");
  declare_integer_param(274, 30, "whole-step offset for bass clef");
  declare_integer_param(348, 36, "whole-step offset for single bar percussion clef");
  declare_integer_param(349, 36, "whole-step offset for dual bar percusson clef");
  declare_integer_param(350, 36, "whole-step offset for cymbal clef");
  declare_coordinate_pair_param(132, 60, 40, "space left between clef and next object");
  declare_coordinate_pair_param(133, sonata_set() ? 150 : 150, sonata_set() ? 120 : 140, "width of clef symbol");
  declare_coordinate_pair_param(570, sonata_set() ? 100 : 140, sonata_set() ? 80 : 130, "width of clef change symbol");
  declare_coordinate_pair_param(317, 10, 0, "additional space left before clef");
  declare_character_pair_param(727, {124, -1, 0, 12, 0, 0}, {124, -1, 0, 7, 0, 0}, {195, -3, 0, 20, 0, 0}, {195, -3, 0, 12, 0, 0}, "8va (\\8va)");
  declare_character_pair_param(728, {200, -1, 0, 12, 0, 0}, {200, -1, 0, 7, 0, 0}, {215, -3, 0, 20, 0, 0}, {215, -3, 0, 12, 0, 0}, "8vb (\\8vb)");
}

void init_params_editing() {
  declare_param_heading(298, "DEFAULTS FOR EDITING");
  declare_coordinate_param(199, 0, "x offset for typing text if Horizontal Lock unchecked");
  declare_coordinate_param(277, 50, "x offset from left margin if Horizontal Lock checked");
  declare_coordinate_param(200, 30, "centering x offset if Centered checked");
  declare_coordinate_param(208, -40, "y offset from note if Horiz and Vert Lock unchecked");
  declare_coordinate_param(207, -200, "y offset from staff if Vert Lock checked but not Horiz");
  declare_coordinate_param(278, -40, "y offset from staff if Horizontal Lock checked");
  declare_character_param(578, {65, -5, 0, 9, 0, 0}, {65, -5, 0, 9, 0, 0}, "font info for hidden text made by Parameters dialog");
  declare_coordinate_param(579, -100, "x offset for hidden text made by Parameters dialog");
  declare_coordinate_param(580, -210, "y offset for hidden text made by Parameters dialog");
  declare_coordinate_param(303, 40, "boxed text: x distance from text to vertical box lines");
  declare_coordinate_param(304, 20, "boxed text: y distance from text to horizontal box lines");
  declare_line_width_param(305, 10, "boxed text: line width for box lines");
  declare_integer_param(556, 33, "Record/Import MIDI: max arpeggiation (% shortest duration)");
}

void init_params_dots() {
  declare_param_heading(291, "DOTS FOR NOTE VALUES");
  declare_character_pair_param(20, {111, -1, 0, 12, 0, 10}, {111, -1, 0, 12, 0, 10}, {46, -3, 0, 20, -1, 25}, {46, -3, 0, 12, -1, 25}, "dot for dotted notes");
  declare_character_pair_param(21, {112, -1, 0, 12, 0, 10}, {112, -1, 0, 12, 0, 10}, {112, -1, 0, 12, 0, 10}, {112, -1, 0, 12, 0, 10}, "double dot");
  declare_character_pair_param(740, {111, -1, 0, 12, 53, 10}, {111, -1, 0, 12, 53, 10}, {111, -1, 0, 12, 53, 10}, {111, -1, 0, 12, 53, 10}, "third dot for triple dotted notes");
  declare_character_pair_param(582, {111, -1, 0, 12, 0, 10}, {111, -1, 0, 12, 0, 0}, {46, -3, 0, 20, -1, 25}, {46, -3, 0, 12, -1, 15}, "dot for tempo markings (\\qd)");
  declare_character_pair_param(583, {112, -1, 0, 12, 0, 10}, {112, -1, 0, 12, 0, 0}, {112, -1, 0, 12, 0, 10}, {112, -1, 0, 12, 0, 0}, "double dot for tempo markings (\\qdd)");
  declare_character_pair_param(22, {91, -1, 0, 12, 0, 0}, {211, -1, 0, 12, 0, 0}, {46, -3, 0, 20, -28, 15}, {46, -3, 0, 12, -19, 15}, "dot kerned left for tempo markings (\\ed)");
  declare_character_pair_param(23, {93, -1, 0, 12, 0, 0}, {213, -1, 0, 12, 0, 0}, {93, -1, 0, 12, 0, 0}, {213, -1, 0, 12, 0, 0}, "double dot kerned left for tempos (\\edd)");
  declare_coordinate_pair_param(136, 30, 30, "space given for width of dot");
  declare_coordinate_pair_param(135, 60, 60, "space given for width of double dot");
  declare_coordinate_pair_param(739, 85, 85, "space given for width of triple dot");
  declare_coordinate_pair_param(184, 30, 20, "space left between note and its dot");
  declare_integer_param(413, 1, "dots ok below line for notes on a line (1=yes)");
  declare_integer_param(733, 0, "dot discrepancy ok for shared note heads (1=yes)");
  declare_integer_param(315, 0, "OUT OF DATE dots on tuplets?");
  unlist_last_param();
}

void init_params_dynamics() {
  declare_param_heading(306, "DYNAMIC MARKINGS, HAIRPINS, LINES");
  declare_character_param(41, {122, -1, 0, 12, 0, 0}, {122, -1, 0, 12, 0, 0}, "pppp dynamic (\\pppp)");
  declare_character_param(42, {120, -1, 0, 12, 0, 0}, {184, -3, 0, 20, 0, 0}, "ppp dynamic (\\ppp)");
  declare_character_param(43, {99, -1, 0, 12, 0, 0}, {185, -3, 0, 20, 0, 0}, "pp dynamic (\\pp)");
  declare_character_param(44, {118, -1, 0, 12, 0, 0}, {112, -3, 0, 20, -15, 0}, "p dynamic (\\p)");
  declare_character_param(45, {98, -1, 0, 12, 0, 0}, {80, -3, 0, 20, 0, 0}, "mp dynamic (\\mp)");
  declare_character_param(46, {110, -1, 0, 12, 0, 0}, {70, -3, 0, 20, 0, 0}, "mf dynamic (\\mf)");
  declare_character_param(47, {109, -1, 0, 12, 0, 0}, {102, -3, 0, 20, -15, 0}, "f dynamic (\\f)");
  declare_character_param(48, {44, -1, 0, 12, 0, 0}, {196, -3, 0, 20, 0, 0}, "ff dynamic (\\ff)");
  declare_character_param(49, {46, -1, 0, 12, 0, 0}, {236, -3, 0, 20, 0, 0}, "fff dynamic (\\fff)");
  declare_character_param(50, {47, -1, 0, 12, 0, 0}, {47, -1, 0, 12, 0, 0}, "ffff dynamic (\\ffff)");
  declare_coordinate_param(684, 30, "x offset for clipping hairpins/lines at right end of staff");
  declare_coordinate_param(685, 80, "x offset for clipping hairpins/lines at left end of staff");
  declare_float_param(686, 0.5f, "amount to extend clipped hairpins/lines beyond staff");
  declare_string_param(329, "cres", -5, "font and text for cres");
  unlist_last_param();
  declare_string_param(330, "dim", -5, "font and text for dim");
  unlist_last_param();
}

void init_params_fingerings() {
  declare_param_heading(611, "FINGERINGS");
  declare_character_param(612, {49, -5, 0, 10, 0, 0}, {49, -5, 0, 10, 0, 0}, "default font info for fingerings");
  declare_coordinate_param(613, 20, "default x offset from note for fingering numbers");
  declare_coordinate_param(614, 200, "default y offset from staff for closest fingering number");
  declare_coordinate_param(615, -10, "adjustment to vertical spacing between fingering numbers");
}

void init_params_ledger_lines() {
  declare_param_heading(300, "LEDGER LINES");
  declare_coordinate_pair_param(177, 20, 10, "ledger line length to left of note");
  declare_coordinate_pair_param(178, 10, 10, "ledger line length to right of notehead");
  declare_coordinate_pair_param(743, 25, 20, "simplified notation ledger line to left of note");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(744, 20, 15, "simplified notation ledger line to right of notehead");
  unlist_without_simplified_font();
  declare_line_width_pair_param(276, 2, 2, "ledger line width");
}

void init_params_lyrics() {
  declare_param_heading(368, "LYRICS AND TEXT ANNOTATIONS");
  declare_coordinate_param(664, 1440, "centered hyphens: maximum distance for each hyphen");
  declare_line_width_pair_param(367, 6, 5, "line width of extended underline");
  declare_coordinate_pair_param(366, 15, 7, "x offset from end of text to start of underline");
  declare_coordinate_pair_param(392, 70, 60, "right end of underline extends this far under ending note");
  declare_coordinate_pair_param(365, 15, 7, "x offset from end of underline to punctuation");
  declare_coordinate_pair_param(741, 200, 200, "length of underline onto system");
  declare_coordinate_pair_param(364, 0, 0, "y offset from text to underline");
  declare_integer_param(386, 2, "OUTDATED amount to reduce text point size on a small size staff");
  unlist_last_param();
  declare_coordinate_pair_param(363, 50, 50, "OUTDATED x offset from start of system for underline onto system");
  unlist_last_param();
}

void init_params_note_heads() {
  declare_param_heading(286, "NOTE HEADS");
  declare_character_pair_param(371, {225, -1, 0, 12, 0, 0}, {239, -1, 0, 12, 0, 0}, {87, -3, 0, 20, 0, 25}, {87, -3, 0, 12, 0, 25}, "breve (double-whole) note head");
  declare_character_pair_param(71, {189, -1, 0, 12, 0, 0}, {243, -1, 0, 12, 0, 0}, {119, -3, 0, 20, 0, 25}, {119, -3, 0, 12, 0, 25}, "whole note head");
  declare_character_pair_param(72, {197, -1, 0, 12, 0, 0}, {244, -1, 0, 12, 0, 0}, {250, -3, 0, 20, 0, 25}, {250, -3, 0, 12, 0, 25}, "half note head");
  declare_character_pair_param(73, {141, -1, 0, 12, 0, 0}, {130, -1, 0, 12, 0, 0}, {207, -3, 0, 20, 0, 25}, {207, -3, 0, 12, 0, 25}, "quarter note head");
  declare_character_pair_param(74, {195, -1, 0, 12, 0, 0}, {215, -1, 0, 12, 0, 0}, {192, -3, 0, 20, 0, 25}, {192, -3, 0, 12, 0, 25}, "percussion whole note head");
  declare_character_pair_param(75, {195, -1, 0, 12, 0, 0}, {215, -1, 0, 12, 0, 0}, {192, -3, 0, 20, 0, 25}, {192, -3, 0, 12, 0, 25}, "percussion half note head");
  declare_character_pair_param(76, {186, -1, 0, 12, 0, 0}, {245, -1, 0, 12, 0, 0}, {192, -3, 0, 20, 0, 25}, {192, -3, 0, 12, 0, 25}, "percussion quarter note head");
  declare_character_pair_param(653, {186, -1, 0, 8, 0, 10}, {186, -1, 0, 8, 0, 10}, {192, -3, 0, 15, 0, 25}, {192, -3, 0, 15, 0, 25}, "percussion quarter note head for guitar tab staff");
  declare_character_pair_param(77, {179, -1, 0, 12, 0, 0}, {249, -1, 0, 12, 0, 0}, {79, -3, 0, 20, 0, 25}, {79, -3, 0, 12, 0, 25}, "open harmonic note head");
  declare_character_pair_param(78, {214, -1, 0, 12, 0, 0}, {192, -1, 0, 12, 0, 0}, {79, -3, 0, 20, 0, 25}, {79, -3, 0, 12, 0, 25}, "closed harmonic note head");
  declare_character_pair_param(79, {181, -1, 0, 12, 0, 0}, {247, -1, 0, 12, 0, 0}, {225, -3, 0, 20, 0, 25}, {225, -3, 0, 12, 0, 25}, "open lozenge note head");
  declare_character_pair_param(80, {178, -1, 0, 12, 0, 0}, {248, -1, 0, 12, 0, 0}, {226, -3, 0, 20, 0, 25}, {226, -3, 0, 12, 0, 25}, "closed lozenge note head");
  declare_character_pair_param(385, {161, -1, 0, 12, 0, 0}, {238, -1, 0, 12, 0, 0}, {221, -3, 0, 20, 12, 25}, {221, -3, 0, 12, 7, 25}, "square breve (double-whole) note head");
  declare_character_pair_param(336, {59, -1, 0, 12, 0, 0}, {242, -1, 0, 12, 0, 0}, {173, -3, 0, 20, 0, 25}, {173, -3, 0, 12, 0, 25}, "square whole note head");
  declare_character_pair_param(337, {59, -1, 0, 12, 0, 0}, {242, -1, 0, 12, 0, 0}, {173, -3, 0, 20, 0, 25}, {173, -3, 0, 12, 0, 25}, "square half note head");
  declare_character_pair_param(338, {39, -1, 0, 12, 0, 0}, {174, -1, 0, 12, 0, 0}, {208, -3, 0, 20, 0, 25}, {208, -3, 0, 12, 0, 25}, "square quarter note head");
  declare_character_pair_param(81, {32, -1, 0, 12, 0, 0}, {32, -1, 0, 12, 0, 0}, {32, -1, 0, 12, 0, 0}, {32, -1, 0, 12, 0, 0}, "blank note head");
  declare_character_pair_param(674, {83, simplified_font(), 0, 12, 16, 0}, {83, simplified_font(), 0, 8, 18, 8}, {83, simplified_font(), 0, 12, 16, 0}, {83, simplified_font(), 0, 8, 18, 8}, "simplified flat breve note head");
  unlist_without_simplified_font();
  declare_character_pair_param(675, {84, simplified_font(), 0, 12, 16, 0}, {84, simplified_font(), 0, 8, 18, 8}, {84, simplified_font(), 0, 12, 16, 0}, {84, simplified_font(), 0, 8, 18, 8}, "simplified sharp breve note head");
  unlist_without_simplified_font();
  declare_character_pair_param(702, {79, simplified_font(), 0, 12, -8, 0}, {79, simplified_font(), 0, 8, -6, 8}, {79, simplified_font(), 0, 12, -8, 0}, {79, simplified_font(), 0, 8, -6, 8}, "simplified flat open note head (stem left)");
  unlist_without_simplified_font();
  declare_character_pair_param(748, {79, simplified_font(), 1, 13, -8, 0}, {79, simplified_font(), 1, 8, -6, 8}, {79, simplified_font(), 1, 13, -8, 0}, {79, simplified_font(), 1, 8, -6, 8}, "simplified flat open note head (stem left)");
  unlist_without_simplified_font();
  declare_character_pair_param(676, {79, simplified_font(), 0, 12, -19, 0}, {79, simplified_font(), 0, 8, -4, 8}, {79, simplified_font(), 0, 12, -19, 0}, {79, simplified_font(), 0, 8, -4, 8}, "simplified flat open note head (stem right)");
  unlist_without_simplified_font();
  declare_character_pair_param(677, {81, simplified_font(), 0, 12, -6, 0}, {81, simplified_font(), 0, 8, -6, 8}, {81, simplified_font(), 0, 12, -6, 0}, {81, simplified_font(), 0, 8, -6, 8}, "simplified sharp open note head (stem left)");
  unlist_without_simplified_font();
  declare_character_pair_param(747, {81, simplified_font(), 1, 13, -6, 0}, {81, simplified_font(), 1, 8, -6, 8}, {81, simplified_font(), 1, 13, -6, 0}, {81, simplified_font(), 1, 8, -6, 8}, "simplified sharp open note head (stem left)");
  unlist_without_simplified_font();
  declare_character_pair_param(687, {69, simplified_font(), 0, 12, -19, 0}, {69, simplified_font(), 0, 8, -6, 8}, {69, simplified_font(), 0, 12, -19, 0}, {69, simplified_font(), 0, 8, -6, 8}, "simplified sharp open note head (stem right)");
  unlist_without_simplified_font();
  declare_character_pair_param(678, {80, simplified_font(), 0, 12, -8, 0}, {80, simplified_font(), 0, 8, -6, 8}, {80, simplified_font(), 0, 12, -8, 0}, {80, simplified_font(), 0, 8, -6, 8}, "simplified flat closed note head (stem left)");
  unlist_without_simplified_font();
  declare_character_pair_param(749, {80, simplified_font(), 0, 10, -2, 4}, {80, simplified_font(), 0, 6, -6, 8}, {80, simplified_font(), 0, 10, -8, 4}, {80, simplified_font(), 0, 6, -6, 8}, "simplified flat for key signature");
  unlist_without_simplified_font();
  declare_character_pair_param(701, {80, simplified_font(), 0, 12, -19, 0}, {80, simplified_font(), 0, 8, -4, 8}, {80, simplified_font(), 0, 12, -19, 0}, {80, simplified_font(), 0, 8, -4, 8}, "simplified flat closed note head (stem right)");
  unlist_without_simplified_font();
  declare_character_pair_param(679, {87, simplified_font(), 0, 12, -6, 0}, {87, simplified_font(), 0, 8, -6, 8}, {87, simplified_font(), 0, 12, -6, 0}, {87, simplified_font(), 0, 8, -6, 8}, "simplified sharp closed note head (stem left)");
  unlist_without_simplified_font();
  declare_character_pair_param(750, {87, simplified_font(), 0, 10, -6, 4}, {87, simplified_font(), 0, 6, -6, 8}, {87, simplified_font(), 0, 10, -6, 4}, {87, simplified_font(), 0, 6, -6, 8}, "simplified sharp for key signature");
  unlist_without_simplified_font();
  declare_character_pair_param(688, {82, simplified_font(), 0, 12, -19, 0}, {82, simplified_font(), 0, 8, -6, 8}, {82, simplified_font(), 0, 12, -19, 0}, {82, simplified_font(), 0, 8, -6, 8}, "simplified sharp closed note head (stem right)");
  unlist_without_simplified_font();
  declare_character_pair_param(616, {40, -5, 0, 12, 10, -10}, {40, -5, 0, 10, 10, -10}, {40, -5, 0, 12, 10, -10}, {40, -5, 0, 10, 10, -10}, "parenthesis to left of standard notation note head");
  declare_character_pair_param(617, {41, -5, 0, 12, 10, -10}, {41, -5, 0, 10, 10, -10}, {41, -5, 0, 12, 10, -10}, {41, -5, 0, 10, 10, -10}, "parenthesis to right of standard notation note head");
  declare_coordinate_pair_param(624, 40, 30, "width of note head parentheses characters");
  declare_integer_param(703, 0, "suppress double noteheads from one voice (1=yes)");
  declare_integer_param(704, 1, "suppress double noteheads from multiple voices (1=yes)");
  declare_character_pair_param(82, {32, -1, 0, 12, 0, 0}, {32, -1, 0, 12, 0, 0}, {32, -1, 0, 12, 0, 0}, {32, -1, 0, 12, 0, 0}, "piano roll indicator");
  declare_coordinate_pair_param(369, sonata_set() ? 123 : 109, sonata_set() ? 74 : 92, "breve (double-whole) note head width");
  declare_coordinate_pair_param(175, sonata_set() ? 75 : 75, sonata_set() ? 45 : 60, "whole note head width");
  declare_coordinate_pair_param(414, sonata_set() ? 82 : 80, sonata_set() ? 49 : 70, "whole note head width at widest point");
  declare_coordinate_pair_param(174, sonata_set() ? 70 : 60, sonata_set() ? 43 : 50, "half and quarter note head width");
  declare_line_width_param(314, 50, "piano roll width");
  declare_coordinate_pair_param(141, 50, 30, "note head height");
  declare_character_param(361, {130, -1, 0, 8, 0, 8}, {207, -3, 0, 8, 0, 16}, "OUTDATED grace note head on a cue staff");
  unlist_last_param();
  declare_coordinate_param(223, 24, "OUTDATED width of grace head on cue staff");
  unlist_last_param();
  declare_coordinate_param(268, 10, "OUTDATED addtl y off for cue-size staff");
  unlist_last_param();
}

void init_params_flags() {
  declare_param_heading(288, "NOTE FLAGS");
  declare_character_pair_param(61, {140, -1, 0, 12, 0, 0}, {207, -1, 0, 12, 0, 0}, {140, -1, 0, 12, 0, 0}, {207, -1, 0, 12, 0, 0}, "stem-up eighth note flag");
  declare_character_pair_param(62, {167, -1, 0, 12, 0, 0}, {183, -1, 0, 12, 0, 0}, {167, -1, 0, 12, 0, 0}, {183, -1, 0, 12, 0, 0}, "stem-up 16th note flag");
  declare_character_pair_param(63, {182, -1, 0, 12, 0, 0}, {168, -1, 0, 12, 0, 0}, {182, -1, 0, 12, 0, 0}, {168, -1, 0, 12, 0, 0}, "stem-up 32nd note flag");
  declare_character_pair_param(64, {196, -1, 0, 12, 0, 0}, {160, -1, 0, 12, 0, 0}, {196, -1, 0, 12, 0, 0}, {160, -1, 0, 12, 0, 0}, "stem-up 64th note flag");
  declare_character_pair_param(65, {169, -1, 0, 12, 0, 0}, {180, -1, 0, 12, 0, 0}, {169, -1, 0, 12, 0, 0}, {180, -1, 0, 12, 0, 0}, "stem-up 128th note flag");
  declare_character_pair_param(66, {250, -1, 0, 12, 0, 0}, {191, -1, 0, 12, 0, 0}, {250, -1, 0, 12, 0, 0}, {191, -1, 0, 12, 0, 0}, "stem-down eighth note flag");
  declare_character_pair_param(67, {198, -1, 0, 12, 0, 0}, {185, -1, 0, 12, 0, 0}, {198, -1, 0, 12, 0, 0}, {185, -1, 0, 12, 0, 0}, "stem-down 16th note flag");
  declare_character_pair_param(68, {251, -1, 0, 12, 0, 0}, {210, -1, 0, 12, 0, 0}, {251, -1, 0, 12, 0, 0}, {210, -1, 0, 12, 0, 0}, "stem-down 32nd note flag");
  declare_character_pair_param(69, {194, -1, 0, 12, 0, 0}, {212, -1, 0, 12, 0, 0}, {194, -1, 0, 12, 0, 0}, {212, -1, 0, 12, 0, 0}, "stem-down 64th note flag");
  declare_character_pair_param(70, {201, -1, 0, 12, 0, 0}, {199, -1, 0, 12, 0, 0}, {201, -1, 0, 12, 0, 0}, {199, -1, 0, 12, 0, 0}, "stem-down 128th note flag");
  declare_coordinate_pair_param(138, 40, 30, "space given for width of flag");
  declare_coordinate_pair_param(139, 150, 150, "y offset from end of stem for stem-up flags");
  declare_line_width_param(662, 2, "grace note slash line width");
  declare_coordinate_param(654, -20, "grace note slash x offset from end of stem");
  declare_coordinate_param(655, -70, "grace note slash y offset from end of stem");
  declare_coordinate_param(656, 54, "grace note slash ending x from end of stem");
  declare_coordinate_param(657, -40, "grace note slash ending y from end of stem");
  declare_coordinate_param(658, -20, "grace beam slash x offset from end of stem");
  declare_coordinate_param(659, -60, "grace beam slash y offset from end of stem");
  declare_coordinate_param(660, 70, "grace beam slash ending x from end of stem");
  declare_coordinate_param(661, 20, "grace beam slash ending y from end of stem");
}

void init_params_stems() {
  declare_param_heading(287, "NOTE STEMS");
  declare_coordinate_pair_param(198, 140, 100, "normal length of note-stems");
  declare_coordinate_pair_param(742, 120, 80, "normal length of note-stems in beams");
  declare_coordinate_pair_param(206, 100, 60, "minimum length of note-stems in beams");
  declare_line_width_pair_param(197, 2, 2, "stem line width");
  declare_coordinate_pair_param(672, 0, 0, "x offset added to normal up-stem position");
  declare_coordinate_pair_param(673, 0, 0, "x offset added to normal down-stem position");
  declare_coordinate_pair_param(158, 35, 30, "y offset for bottom of up-stem, normal note heads");
  declare_coordinate_pair_param(159, 45, 35, "y offset for bottom of up-stem, percussion notes");
  declare_coordinate_pair_param(160, 25, 25, "y offset for bottom of up-stem, open harmonics");
  declare_coordinate_pair_param(161, 25, 25, "y offset for bottom of up-stem, closed harmonics");
  declare_coordinate_pair_param(162, 25, 25, "y offset for bottom of up-stem, open lozenges");
  declare_coordinate_pair_param(163, 25, 25, "y offset for bottom of up-stem, closed lozenges");
  declare_coordinate_pair_param(164, 25, 25, "y offset for bottom of up-stem, blank note head");
  declare_coordinate_pair_param(165, 40, 30, "y offset for bottom of up-stem, piano roll notes");
  declare_coordinate_pair_param(166, 50, 30, "y offset for bottom of up-stem, square notes");
  declare_coordinate_pair_param(695, 3, 9, "y offset for bot of up-stem, simplified flat breve head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(696, 3, 9, "y offset for bot of up-stem, simplified sharp breve head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(697, 3, 9, "y offset for bot of up-stem, simplified flat open head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(699, 3, 9, "y offset for bot of up-stem, simplified sharp open head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(698, 3, 9, "y offset for bot of up-stem, simplified flat closed head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(700, 3, 9, "y offset for bot of up-stem, simplified sharp closed head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(738, 25, 25, "y offset for up-stem shared simplified sharp head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(142, 15, 20, "y offset for top of down-stem, normal note heads");
  declare_coordinate_pair_param(143, 5, 15, "y offset for top of down-stem, percussion notes");
  declare_coordinate_pair_param(144, 25, 25, "y offset for top of down-stem, open harmonics");
  declare_coordinate_pair_param(145, 25, 25, "y offset for top of down-stem, closed harmonics");
  declare_coordinate_pair_param(146, 25, 25, "y offset for top of down-stem, open lozengess");
  declare_coordinate_pair_param(147, 25, 25, "y offset for top of down-stem, closed lozenges");
  declare_coordinate_pair_param(148, 25, 25, "y offset for top of down-stem, blank note head");
  declare_coordinate_pair_param(149, 20, 10, "y offset for top of down-stem, piano roll notes");
  declare_coordinate_pair_param(150, 50, 30, "y offset for top of down-stem, square notes");
  declare_coordinate_pair_param(689, 46, 41, "y offset for top of dn-stem, simplified flat breve head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(690, 46, 41, "y offset for top of dn-stem, simplified sharp breve head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(691, 46, 41, "y offset for top of dn-stem, simplified flat open head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(693, 46, 41, "y offset for top of dn-stem, simplified sharp open head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(692, 46, 41, "y offset for top of dn-stem, simplified flat closed head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(694, 46, 41, "y offset for top of dn-stem, simplified sharp closed head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(167, 40, 30, "y offset for bot of up-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(168, 40, 30, "y offset for bot of up-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(169, 40, 30, "y offset for bot of up-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(170, 40, 30, "y offset for bot of up-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(171, 40, 30, "y offset for bot of up-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(172, 40, 30, "y offset for bot of up-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(173, 40, 30, "y offset for bot of up-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(151, 20, 10, "y offset for top of dn-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(152, 20, 10, "y offset for top of dn-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(153, 20, 10, "y offset for top of dn-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(154, 20, 10, "y offset for top of dn-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(155, 20, 10, "y offset for top of dn-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(156, 20, 10, "y offset for top of dn-stem, unused nhead");
  unlist_last_param();
  declare_coordinate_pair_param(157, 20, 10, "y offset for top of dn-stem, unused nhead");
  unlist_last_param();
}

void init_params_tempo_notes() {
  declare_param_heading(295, "NOTES WITH STEMS FOR TEMPO MARKINGS");
  declare_character_param(12, {113, -1, 0, 12, 0, 0}, {113, -1, 0, 12, 0, 0}, "whole note for tempo markings (\\w)");
  declare_character_param(13, {119, -1, 0, 12, 0, 0}, {119, -1, 0, 12, 0, 0}, "half note for tempo markings (\\h)");
  declare_character_param(14, {101, -1, 0, 12, 0, 0}, {101, -1, 0, 12, 0, 0}, "quarter note for tempo markings (\\q)");
  declare_character_param(15, {114, -1, 0, 12, 0, 0}, {114, -1, 0, 12, 0, 0}, "eighth note for tempo markings (\\e)");
  declare_character_param(16, {116, -1, 0, 12, 0, 0}, {116, -1, 0, 12, 0, 0}, "16th note for tempo markings (\\s)");
  declare_character_param(17, {121, -1, 0, 12, 0, 0}, {121, -1, 0, 12, 0, 0}, "32nd note for tempo markings (\\t)");
  declare_character_param(370, {239, -1, 0, 12, 0, 0}, {239, -1, 0, 12, 0, 0}, "PianoWindow breve symbol");
  unlist_last_param();
  declare_character_param(18, {117, -1, 0, 12, 0, 0}, {117, -1, 0, 12, 0, 0}, "PianoWindow 64th symbol");
  unlist_last_param();
  declare_character_param(19, {105, -1, 0, 12, 0, 0}, {105, -1, 0, 12, 0, 0}, "PianoWindow 128th symbol");
  unlist_last_param();
}

void init_params_numbers() {
  declare_param_heading(299, "PAGE NUMBERS, BAR NUMBERS, TUPLETS");
  declare_character_param(3, {51, -5, 0, 11, 0, 0}, {51, -5, 0, 11, 0, 0}, "font information for page numbers");
  declare_coordinate_param(185, 40, "page number y offset from bottom of page");
  declare_character_param(2, {51, -5, 0, 12, 0, 0}, {51, -5, 0, 12, 0, 0}, "font information for bar numbers");
  declare_character_param(751, {51, -5, 0, 12, 0, 0}, {51, -5, 0, 12, 0, 0}, "font information for LV bar numbers");
  declare_coordinate_param(182, -20, "bar number x offset from start of 1st staff in system");
  declare_coordinate_pair_param(183, 80, 80, "bar number y offset from top of 1st staff in system");
  declare_character_pair_param(1, {51, -5, 2, 10, 0, 0}, {51, -5, 2, 7, 0, 0}, {51, -5, 2, 10, 0, 0}, {51, -5, 2, 7, 0, 0}, "font information for tuplet (triplets, etc) numbers");
  declare_coordinate_pair_param(217, 70, 60, "space given for height of tuplet number");
  declare_coordinate_pair_param(218, 60, 60, "space given for width of tuplet number");
  declare_coordinate_pair_param(219, 10, 10, "space left between the note and the tuplet number");
  declare_coordinate_pair_param(265, 30, 30, "x offset for tuplet number at end of up-stem");
  declare_coordinate_pair_param(266, 20, 20, "x offset for tuplet number at end of down-stem");
  declare_coordinate_pair_param(267, 30, 30, "x offset for tuplet by notehead");
  declare_coordinate_pair_param(395, 50, 40, "length of small vertical lines at ends of tuplet brackets");
  declare_coordinate_pair_param(396, 30, 20, "distance between either side of tuplet number and bracket");
  declare_line_width_pair_param(394, 2, 2, "line width for lines in tuplet brackets");
  unlist_last_param();
}

void init_params_pedal() {
  declare_param_heading(608, "PEDAL MARKING, BREATH MARKS, AND BOWING");
  declare_character_pair_param(606, {45, -1, 0, 12, 0, 0}, {45, -1, 0, 12, 0, 0}, {161, -3, 0, 20, 35, 0}, {161, -3, 0, 12, 31, 0}, "pedal marking (\\ped)");
  declare_character_pair_param(607, {61, -1, 0, 12, 0, 0}, {61, -1, 0, 12, 0, 0}, {42, -3, 0, 20, 35, 0}, {42, -3, 0, 12, 31, 0}, "pedal up marking (\\*)");
  declare_character_pair_param(670, {39, -5, 0, 20, 0, 0}, {39, -5, 0, 14, 0, 0}, {39, -5, 0, 20, 0, 0}, {39, -5, 0, 14, 0, 0}, "breath mark (single) (\\')");
  declare_character_pair_param(671, {34, -5, 0, 20, 0, 0}, {34, -5, 0, 14, 0, 0}, {34, -5, 0, 20, 0, 0}, {34, -5, 0, 14, 0, 0}, "breath mark (double) (\\\")");
  declare_character_pair_param(647, {57, -1, 0, 12, 0, 0}, {57, -1, 0, 12, 0, 0}, {178, -3, 0, 20, 35, 0}, {178, -3, 0, 12, 31, 0}, "up bow (\\upbow)");
  declare_character_pair_param(646, {48, -1, 0, 12, 0, 0}, {48, -1, 0, 12, 0, 0}, {179, -3, 0, 20, 35, 0}, {179, -3, 0, 12, 31, 0}, "down bow (\\downbow)");
}

void init_params_rests() {
  declare_param_heading(290, "RESTS");
  declare_character_pair_param(372, {226, -1, 0, 12, 0, -90}, {240, -1, 0, 12, 0, -60}, {227, -3, 0, 20, 35, 0}, {227, -3, 0, 12, 31, 0}, "double-whole rest");
  declare_character_pair_param(51, {81, -1, 0, 12, 0, -90}, {206, -1, 0, 12, 0, -60}, {238, -3, 0, 20, 10, 26}, {238, -3, 0, 12, 6, 19}, "whole rest");
  declare_character_pair_param(52, {87, -1, 0, 12, 0, -90}, {227, -1, 0, 12, 0, -60}, {238, -3, 0, 20, 10, 0}, {238, -3, 0, 12, 6, 0}, "half rest");
  declare_character_pair_param(53, {69, -1, 0, 12, 0, -90}, {228, -1, 0, 12, 0, -60}, {206, -3, 0, 20, -1, -5}, {206, -3, 0, 12, 5, -3}, "quarter rest");
  declare_character_pair_param(54, {82, -1, 0, 12, 0, -90}, {229, -1, 0, 12, 0, -60}, {228, -3, 0, 20, -1, 25}, {228, -3, 0, 12, 4, 15}, "eighth rest");
  declare_character_pair_param(55, {84, -1, 0, 12, 0, -90}, {230, -1, 0, 12, 0, -60}, {197, -3, 0, 20, 2, -25}, {197, -3, 0, 12, 5, -15}, "16th rest");
  declare_character_pair_param(56, {89, -1, 0, 12, 0, -90}, {231, -1, 0, 12, 0, -60}, {168, -3, 0, 20, 0, -25}, {168, -3, 0, 12, 1, -15}, "32nd rest");
  declare_character_pair_param(57, {85, -1, 0, 12, 0, -90}, {232, -1, 0, 12, 0, -60}, {244, -3, 0, 20, -7, -75}, {244, -3, 0, 12, 2, -45}, "64th rest");
  declare_character_pair_param(58, {73, -1, 0, 12, 0, -90}, {233, -1, 0, 12, 0, -60}, {229, -3, 0, 20, -14, -125}, {229, -3, 0, 12, 3, -75}, "128th rest");
  declare_character_pair_param(30, {79, -1, 0, 12, 0, -90}, {175, -1, 0, 12, 0, -60}, {79, -1, 0, 12, 0, -90}, {175, -1, 0, 12, 0, -60}, "multi-rest");
  declare_character_param(595, {188, -1, 0, 12, 0, 0}, {48, -3, 0, 20, 4, 50}, "0 for multi-rest numbers");
  declare_character_param(596, {193, -1, 0, 12, 0, 0}, {49, -3, 0, 20, 15, 50}, "1 for multi-rest numbers");
  declare_character_param(597, {170, -1, 0, 12, 0, 0}, {50, -3, 0, 20, 6, 50}, "2 for multi-rest numbers");
  declare_character_param(598, {163, -1, 0, 12, 0, 0}, {51, -3, 0, 20, 8, 50}, "3 for multi-rest numbers");
  declare_character_param(599, {162, -1, 0, 12, 0, 0}, {52, -3, 0, 20, 7, 50}, "4 for multi-rest numbers");
  declare_character_param(600, {176, -1, 0, 12, 0, 0}, {53, -3, 0, 20, 10, 50}, "5 for multi-rest numbers");
  declare_character_param(601, {164, -1, 0, 12, 0, 0}, {54, -3, 0, 20, 7, 50}, "6 for multi-rest numbers");
  declare_character_param(602, {166, -1, 0, 12, 0, 0}, {55, -3, 0, 20, 6, 50}, "7 for multi-rest numbers");
  declare_character_param(603, {165, -1, 0, 12, 0, 0}, {56, -3, 0, 20, 7, 50}, "8 for multi-rest numbers");
  declare_character_param(604, {187, -1, 0, 12, 0, 0}, {57, -3, 0, 20, 7, 50}, "9 for multi-rest numbers");
  declare_coordinate_pair_param(376, 100, 80, "width of double-whole rest");
  declare_coordinate_pair_param(248, 100, 80, "width of whole rest");
  declare_coordinate_pair_param(351, 100, 80, "width of half rest");
  declare_coordinate_pair_param(352, 50, 40, "width of quarter rest");
  declare_coordinate_pair_param(353, 50, 40, "width of eighth rest");
  declare_coordinate_pair_param(354, 70, 50, "width of 16th rest");
  declare_coordinate_pair_param(355, 80, 50, "width of 32nd rest");
  declare_coordinate_pair_param(356, 80, 60, "width of 64th rest");
  declare_coordinate_pair_param(357, 80, 70, "width of 128th rest");
  declare_coordinate_pair_param(247, 150, 120, "space given for width of multi-rest symbol");
  declare_coordinate_param(605, 80, "space given for width of multi-rest number");
  declare_coordinate_param(188, 0, "x offset: multi-rest center to number of bars center");
  declare_coordinate_pair_param(189, 10, 10, "y offset: top staff line to number of bars");
  declare_integer_pair_param(190, 3, 3, "staff spaces to offset rests for multiple voices");
  declare_coordinate_pair_param(302, 50, 50, "minimum space left between chorded rests and notes");
  declare_coordinate_pair_param(375, 50, 40, "amount double-whole rest ascends above its y location");
  declare_coordinate_pair_param(374, 0, 10, "amount double-whole rest descends below its y location");
  declare_coordinate_pair_param(239, 50, 30, "amount whole rest ascends above its y location");
  declare_coordinate_pair_param(231, -10, -10, "amount whole rest descends below its y location");
  declare_coordinate_pair_param(240, 30, 20, "amount half rest ascends above its y location");
  declare_coordinate_pair_param(232, 0, 0, "amount half rest descends below its y location");
  declare_coordinate_pair_param(241, 80, 50, "amount quarter rest ascends above its y location");
  declare_coordinate_pair_param(233, 80, 50, "amount quarter rest descends below its y location");
  declare_coordinate_pair_param(242, 40, 20, "amount eighth rest ascends above its y location");
  declare_coordinate_pair_param(234, 50, 30, "amount eighth rest descends below its y location");
  declare_coordinate_pair_param(243, 40, 20, "amount 16th rest ascends above its y location");
  declare_coordinate_pair_param(235, 100, 60, "amount 16th rest descends below its y location");
  declare_coordinate_pair_param(244, 90, 50, "amount 32nd rest ascends above its y location");
  declare_coordinate_pair_param(236, 100, 60, "amount 32nd rest descends below its y location");
  declare_coordinate_pair_param(245, 90, 50, "amount 64th rest ascends above its y location");
  declare_coordinate_pair_param(237, 150, 90, "amount 64th rest descends below its y location");
  declare_coordinate_pair_param(246, 90, 50, "amount 128th rest ascends above its y location");
  declare_coordinate_pair_param(238, 150, 120, "amount 128th rest descends below its y location");
  declare_coordinate_pair_param(230, 80, 60, "amount multi-rest ascends above its y location");
  declare_coordinate_pair_param(229, 80, 60, "amount multi-rest descends below its y location");
}

void init_params_tremolo() {
  declare_param_heading(289, "SINGLE PITCH TREMOLO MARKS");
  declare_character_pair_param(102, {106, -1, 0, 12, 0, 0}, {106, -1, 0, 8, 0, 0}, {106, -1, 0, 12, 0, 0}, {106, -1, 0, 8, 0, 0}, "single-slash tremolo mark");
  declare_character_pair_param(103, {107, -1, 0, 12, 0, 0}, {107, -1, 0, 8, 0, 0}, {107, -1, 0, 12, 0, 0}, {107, -1, 0, 8, 0, 0}, "double-slash tremolo mark");
  declare_character_pair_param(104, {108, -1, 0, 12, 0, 0}, {108, -1, 0, 8, 0, 0}, {190, -3, 0, 20, -10, 0}, {190, -3, 0, 12, 2, 0}, "triple-slash tremolo mark");
  declare_coordinate_pair_param(262, 50, 40, "extend stem length for tremolo on flagged notes");
  declare_coordinate_pair_param(263, 0, 0, "extend stem length for tremolo on unflagged notes");
  declare_coordinate_pair_param(331, 40, 30, "extend stem length for tremolo on beamed notes");
  declare_coordinate_pair_param(213, 20, 12, "x offset for centering tremolo mark around stem");
  declare_coordinate_pair_param(333, 90, 60, "y offset from stem end for tremolo on flagged notes");
  declare_coordinate_pair_param(332, 30, 20, "y offset from stem end for tremolo on unflagged notes");
  declare_coordinate_pair_param(334, 0, 0, "y offset from beam for tremolo on beamed notes");
  declare_coordinate_pair_param(418, 20, 15, "y offset from note for tremolo on notes without stems");
  declare_coordinate_pair_param(212, 100, 60, "height given for tremolo");
}

void init_params_special_accidentals_1() {
  declare_param_heading(539, "SPECIAL ACCIDENTALS (1-20)");
  declare_character_pair_param(419, {103, -2, 0, 24, 0, -20}, {103, -2, 0, 14, 0, 0}, {103, -2, 0, 24, 0, -20}, {103, -2, 0, 14, 0, 0}, "special accidental 1");
  declare_float_param(479, -50.0f, "cents offset for special accidental 1");
  declare_character_pair_param(420, {118, -2, 0, 24, 0, -20}, {118, -2, 0, 14, 0, 0}, {118, -2, 0, 24, 0, -20}, {118, -2, 0, 14, 0, 0}, "special accidental 2");
  declare_float_param(480, 50.0f, "cents offset for special accidental 2");
  declare_character_pair_param(421, {104, -2, 0, 24, 0, -20}, {104, -2, 0, 14, 0, 0}, {104, -2, 0, 24, 0, -20}, {104, -2, 0, 14, 0, 0}, "special accidental 3");
  declare_float_param(481, -150.0f, "cents offset for special accidental 3");
  declare_character_pair_param(422, {106, -2, 0, 24, 0, -20}, {106, -2, 0, 14, 0, 0}, {106, -2, 0, 24, 0, -20}, {106, -2, 0, 14, 0, 0}, "special accidental 4");
  declare_float_param(482, -50.0f, "cents offset for special accidental 4");
  declare_character_pair_param(423, {107, -2, 0, 24, 0, -20}, {107, -2, 0, 14, 0, 0}, {107, -2, 0, 24, 0, -20}, {107, -2, 0, 14, 0, 0}, "special accidental 5");
  declare_float_param(483, 0.0f, "cents offset for special accidental 5");
  declare_character_pair_param(424, {108, -2, 0, 24, 0, -20}, {108, -2, 0, 14, 0, 0}, {108, -2, 0, 24, 0, -20}, {108, -2, 0, 14, 0, 0}, "special accidental 6");
  declare_float_param(484, 0.0f, "cents offset for special accidental 6");
  declare_character_pair_param(425, {59, -2, 0, 24, 0, -20}, {59, -2, 0, 14, 0, 0}, {59, -2, 0, 24, 0, -20}, {59, -2, 0, 14, 0, 0}, "special accidental 7");
  declare_float_param(485, 50.0f, "cents offset for special accidental 7");
  declare_character_pair_param(426, {39, -2, 0, 24, 0, -20}, {39, -2, 0, 14, 0, 0}, {39, -2, 0, 24, 0, -20}, {39, -2, 0, 14, 0, 0}, "special accidental 8");
  declare_float_param(486, 150.0f, "cents offset for special accidental 8");
  declare_character_pair_param(427, {99, -2, 0, 24, 0, -20}, {99, -2, 0, 14, 0, 0}, {99, -2, 0, 24, 0, -20}, {99, -2, 0, 14, 0, 0}, "special accidental 9");
  declare_float_param(487, -50.0f, "cents offset for special accidental 9");
  declare_character_pair_param(428, {120, -2, 0, 24, 0, -20}, {120, -2, 0, 14, 0, 0}, {120, -2, 0, 24, 0, -20}, {120, -2, 0, 14, 0, 0}, "special accidental 10");
  declare_float_param(488, -100.0f, "cents offset for special accidental 10");
  declare_character_pair_param(429, {122, -2, 0, 24, 0, -20}, {122, -2, 0, 14, 0, 0}, {122, -2, 0, 24, 0, -20}, {122, -2, 0, 14, 0, 0}, "special accidental 11");
  declare_float_param(489, -150.0f, "cents offset for special accidental 11");
  declare_character_pair_param(430, {118, -2, 0, 24, 0, -20}, {118, -2, 0, 14, 0, 0}, {118, -2, 0, 24, 0, -20}, {118, -2, 0, 14, 0, 0}, "special accidental 12");
  declare_float_param(490, 50.0f, "cents offset for special accidental 12");
  declare_character_pair_param(431, {98, -2, 0, 24, 0, -20}, {98, -2, 0, 14, 0, 0}, {98, -2, 0, 24, 0, -20}, {98, -2, 0, 14, 0, 0}, "special accidental 13");
  declare_float_param(491, 100.0f, "cents offset for special accidental 13");
  declare_character_pair_param(432, {110, -2, 0, 24, 0, -20}, {110, -2, 0, 14, 0, 0}, {110, -2, 0, 24, 0, -20}, {110, -2, 0, 14, 0, 0}, "special accidental 14");
  declare_float_param(492, 150.0f, "cents offset for special accidental 14");
  declare_character_pair_param(433, {221, symbol_font(), 0, 12, 0, -20}, {221, symbol_font(), 0, 8, 0, 0}, {221, symbol_font(), 0, 12, 0, -20}, {221, symbol_font(), 0, 8, 0, 0}, "special accidental 15");
  declare_float_param(493, 50.0f, "cents offset for special accidental 15");
  declare_character_pair_param(434, {223, symbol_font(), 0, 12, 0, -20}, {223, symbol_font(), 0, 8, 0, 0}, {223, symbol_font(), 0, 12, 0, -20}, {223, symbol_font(), 0, 8, 0, 0}, "special accidental 16");
  declare_float_param(494, -50.0f, "cents offset for special accidental 16");
  declare_character_pair_param(435, {43, -5, 0, 12, 0, -20}, {43, -5, 0, 8, 0, 0}, {43, -5, 0, 12, 0, -20}, {43, -5, 0, 8, 0, 0}, "special accidental 17");
  declare_float_param(495, 50.0f, "cents offset for special accidental 17");
  declare_character_pair_param(436, {45, -5, 0, 12, 0, -20}, {45, -5, 0, 8, 0, 0}, {45, -5, 0, 12, 0, -20}, {45, -5, 0, 8, 0, 0}, "special accidental 18");
  declare_float_param(496, -50.0f, "cents offset for special accidental 18");
  declare_character_pair_param(437, {42, -5, 0, 12, 0, -20}, {42, -5, 0, 8, 0, 0}, {42, -5, 0, 12, 0, -20}, {42, -5, 0, 8, 0, 0}, "special accidental 19");
  declare_float_param(497, 0.0f, "cents offset for special accidental 19");
  declare_character_pair_param(438, {45, -5, 0, 12, 0, -20}, {45, -5, 0, 8, 0, 0}, {45, -5, 0, 12, 0, -20}, {45, -5, 0, 8, 0, 0}, "special accidental 20");
  declare_float_param(498, 0.0f, "cents offset for special accidental 20");
}

void init_params_special_accidentals_2() {
  declare_param_heading(540, "SPECIAL ACCIDENTALS (21-40)");
  declare_character_pair_param(439, {49, -5, 0, 12, 0, -20}, {49, -5, 0, 8, 0, 0}, {49, -5, 0, 12, 0, -20}, {49, -5, 0, 8, 0, 0}, "special accidental 21");
  declare_float_param(499, 10.0f, "cents offset for special accidental 21");
  declare_character_pair_param(440, {50, -5, 0, 12, 0, -20}, {50, -5, 0, 8, 0, 0}, {50, -5, 0, 12, 0, -20}, {50, -5, 0, 8, 0, 0}, "special accidental 22");
  declare_float_param(500, 20.0f, "cents offset for special accidental 22");
  declare_character_pair_param(441, {51, -5, 0, 12, 0, -20}, {51, -5, 0, 8, 0, 0}, {51, -5, 0, 12, 0, -20}, {51, -5, 0, 8, 0, 0}, "special accidental 23");
  declare_float_param(501, 30.0f, "cents offset for special accidental 23");
  declare_character_pair_param(442, {52, -5, 0, 12, 0, -20}, {52, -5, 0, 8, 0, 0}, {52, -5, 0, 12, 0, -20}, {52, -5, 0, 8, 0, 0}, "special accidental 24");
  declare_float_param(502, 40.0f, "cents offset for special accidental 24");
  declare_character_pair_param(443, {53, -5, 0, 12, 0, -20}, {53, -5, 0, 8, 0, 0}, {53, -5, 0, 12, 0, -20}, {53, -5, 0, 8, 0, 0}, "special accidental 25");
  declare_float_param(503, 50.0f, "cents offset for special accidental 25");
  declare_character_pair_param(444, {54, -5, 0, 12, 0, -20}, {54, -5, 0, 8, 0, 0}, {54, -5, 0, 12, 0, -20}, {54, -5, 0, 8, 0, 0}, "special accidental 26");
  declare_float_param(504, 60.0f, "cents offset for special accidental 26");
  declare_character_pair_param(445, {55, -5, 0, 12, 0, -20}, {55, -5, 0, 8, 0, 0}, {55, -5, 0, 12, 0, -20}, {55, -5, 0, 8, 0, 0}, "special accidental 27");
  declare_float_param(505, 70.0f, "cents offset for special accidental 27");
  declare_character_pair_param(446, {56, -5, 0, 12, 0, -20}, {56, -5, 0, 8, 0, 0}, {56, -5, 0, 12, 0, -20}, {56, -5, 0, 8, 0, 0}, "special accidental 28");
  declare_float_param(506, 80.0f, "cents offset for special accidental 28");
  declare_character_pair_param(447, {57, -5, 0, 12, 0, -20}, {57, -5, 0, 8, 0, 0}, {57, -5, 0, 12, 0, -20}, {57, -5, 0, 8, 0, 0}, "special accidental 29");
  declare_float_param(507, 90.0f, "cents offset for special accidental 29");
  declare_character_pair_param(448, {43, -5, 0, 12, 0, -20}, {43, -5, 0, 8, 0, 0}, {43, -5, 0, 12, 0, -20}, {43, -5, 0, 8, 0, 0}, "special accidental 30");
  declare_float_param(508, 0.0f, "cents offset for special accidental 30");
  declare_character_pair_param(449, {97, symbol_font(), 0, 12, 0, -20}, {97, symbol_font(), 0, 8, 0, 0}, {97, symbol_font(), 0, 12, 0, -20}, {97, symbol_font(), 0, 8, 0, 0}, "special accidental 31");
  declare_float_param(509, 5.0f, "cents offset for special accidental 31");
  declare_character_pair_param(450, {98, symbol_font(), 0, 12, 0, -20}, {98, symbol_font(), 0, 8, 0, 0}, {98, symbol_font(), 0, 12, 0, -20}, {98, symbol_font(), 0, 8, 0, 0}, "special accidental 32");
  declare_float_param(510, 10.0f, "cents offset for special accidental 32");
  declare_character_pair_param(451, {103, symbol_font(), 0, 12, 0, -20}, {103, symbol_font(), 0, 8, 0, 0}, {103, symbol_font(), 0, 12, 0, -20}, {103, symbol_font(), 0, 8, 0, 0}, "special accidental 33");
  declare_float_param(511, 15.0f, "cents offset for special accidental 33");
  declare_character_pair_param(452, {100, symbol_font(), 0, 12, 0, -20}, {100, symbol_font(), 0, 8, 0, 0}, {100, symbol_font(), 0, 12, 0, -20}, {100, symbol_font(), 0, 8, 0, 0}, "special accidental 34");
  declare_float_param(512, 20.0f, "cents offset for special accidental 34");
  declare_character_pair_param(453, {101, symbol_font(), 0, 12, 0, -20}, {101, symbol_font(), 0, 8, 0, 0}, {101, symbol_font(), 0, 12, 0, -20}, {101, symbol_font(), 0, 8, 0, 0}, "special accidental 35");
  declare_float_param(513, 25.0f, "cents offset for special accidental 35");
  declare_character_pair_param(454, {122, symbol_font(), 0, 12, 0, -20}, {122, symbol_font(), 0, 8, 0, 0}, {122, symbol_font(), 0, 12, 0, -20}, {122, symbol_font(), 0, 8, 0, 0}, "special accidental 36");
  declare_float_param(514, 30.0f, "cents offset for special accidental 36");
  declare_character_pair_param(455, {104, symbol_font(), 0, 12, 0, -20}, {104, symbol_font(), 0, 8, 0, 0}, {104, symbol_font(), 0, 12, 0, -20}, {104, symbol_font(), 0, 8, 0, 0}, "special accidental 37");
  declare_float_param(515, 35.0f, "cents offset for special accidental 37");
  declare_character_pair_param(456, {113, symbol_font(), 0, 12, 0, -20}, {113, symbol_font(), 0, 8, 0, 0}, {113, symbol_font(), 0, 12, 0, -20}, {113, symbol_font(), 0, 8, 0, 0}, "special accidental 38");
  declare_float_param(516, 40.0f, "cents offset for special accidental 38");
  declare_character_pair_param(457, {105, symbol_font(), 0, 12, 0, -20}, {105, symbol_font(), 0, 8, 0, 0}, {105, symbol_font(), 0, 12, 0, -20}, {105, symbol_font(), 0, 8, 0, 0}, "special accidental 39");
  declare_float_param(517, 45.0f, "cents offset for special accidental 39");
  declare_character_pair_param(458, {107, symbol_font(), 0, 12, 0, -20}, {107, symbol_font(), 0, 8, 0, 0}, {107, symbol_font(), 0, 12, 0, -20}, {107, symbol_font(), 0, 8, 0, 0}, "special accidental 40");
  declare_float_param(518, 50.0f, "cents offset for special accidental 40");
}

void init_params_special_accidentals_3() {
  declare_param_heading(541, "SPECIAL ACCIDENTALS (41-60)");
  declare_character_pair_param(459, {108, symbol_font(), 0, 12, 0, -20}, {108, symbol_font(), 0, 8, 0, 0}, {108, symbol_font(), 0, 12, 0, -20}, {108, symbol_font(), 0, 8, 0, 0}, "special accidental 41");
  declare_float_param(519, -45.0f, "cents offset for special accidental 41");
  declare_character_pair_param(460, {109, symbol_font(), 0, 12, 0, -20}, {109, symbol_font(), 0, 8, 0, 0}, {109, symbol_font(), 0, 12, 0, -20}, {109, symbol_font(), 0, 8, 0, 0}, "special accidental 42");
  declare_float_param(520, -40.0f, "cents offset for special accidental 42");
  declare_character_pair_param(461, {110, symbol_font(), 0, 12, 0, -20}, {110, symbol_font(), 0, 8, 0, 0}, {110, symbol_font(), 0, 12, 0, -20}, {110, symbol_font(), 0, 8, 0, 0}, "special accidental 43");
  declare_float_param(521, -35.0f, "cents offset for special accidental 43");
  declare_character_pair_param(462, {120, symbol_font(), 0, 12, 0, -20}, {120, symbol_font(), 0, 8, 0, 0}, {120, symbol_font(), 0, 12, 0, -20}, {120, symbol_font(), 0, 8, 0, 0}, "special accidental 44");
  declare_float_param(522, -30.0f, "cents offset for special accidental 44");
  declare_character_pair_param(463, {111, symbol_font(), 0, 12, 0, -20}, {111, symbol_font(), 0, 8, 0, 0}, {111, symbol_font(), 0, 12, 0, -20}, {111, symbol_font(), 0, 8, 0, 0}, "special accidental 45");
  declare_float_param(523, -25.0f, "cents offset for special accidental 45");
  declare_character_pair_param(464, {112, symbol_font(), 0, 12, 0, -20}, {112, symbol_font(), 0, 8, 0, 0}, {112, symbol_font(), 0, 12, 0, -20}, {112, symbol_font(), 0, 8, 0, 0}, "special accidental 46");
  declare_float_param(524, -20.0f, "cents offset for special accidental 46");
  declare_character_pair_param(465, {114, symbol_font(), 0, 12, 0, -20}, {114, symbol_font(), 0, 8, 0, 0}, {114, symbol_font(), 0, 12, 0, -20}, {114, symbol_font(), 0, 8, 0, 0}, "special accidental 47");
  declare_float_param(525, -15.0f, "cents offset for special accidental 47");
  declare_character_pair_param(466, {115, symbol_font(), 0, 12, 0, -20}, {115, symbol_font(), 0, 8, 0, 0}, {115, symbol_font(), 0, 12, 0, -20}, {115, symbol_font(), 0, 8, 0, 0}, "special accidental 48");
  declare_float_param(526, -10.0f, "cents offset for special accidental 48");
  declare_character_pair_param(467, {116, symbol_font(), 0, 12, 0, -20}, {116, symbol_font(), 0, 8, 0, 0}, {116, symbol_font(), 0, 12, 0, -20}, {116, symbol_font(), 0, 8, 0, 0}, "special accidental 49");
  declare_float_param(527, -5.0f, "cents offset for special accidental 49");
  declare_character_pair_param(468, {45, -5, 0, 12, 0, -20}, {45, -5, 0, 8, 0, 0}, {45, -5, 0, 12, 0, -20}, {45, -5, 0, 8, 0, 0}, "special accidental 50");
  declare_float_param(528, 0.0f, "cents offset for special accidental 50");
  declare_character_pair_param(469, {49, -5, 0, 12, 0, -20}, {49, -5, 0, 8, 0, 0}, {49, -5, 0, 12, 0, -20}, {49, -5, 0, 8, 0, 0}, "special accidental 51");
  declare_float_param(529, -10.0f, "cents offset for special accidental 51");
  declare_character_pair_param(470, {50, -5, 0, 12, 0, -20}, {50, -5, 0, 8, 0, 0}, {50, -5, 0, 12, 0, -20}, {50, -5, 0, 8, 0, 0}, "special accidental 52");
  declare_float_param(530, -20.0f, "cents offset for special accidental 52");
  declare_character_pair_param(471, {51, -5, 0, 12, 0, -20}, {51, -5, 0, 8, 0, 0}, {51, -5, 0, 12, 0, -20}, {51, -5, 0, 8, 0, 0}, "special accidental 53");
  declare_float_param(531, -30.0f, "cents offset for special accidental 53");
  declare_character_pair_param(472, {52, -5, 0, 12, 0, -20}, {52, -5, 0, 8, 0, 0}, {52, -5, 0, 12, 0, -20}, {52, -5, 0, 8, 0, 0}, "special accidental 54");
  declare_float_param(532, -40.0f, "cents offset for special accidental 54");
  declare_character_pair_param(473, {53, -5, 0, 12, 0, -20}, {53, -5, 0, 8, 0, 0}, {53, -5, 0, 12, 0, -20}, {53, -5, 0, 8, 0, 0}, "special accidental 55");
  declare_float_param(533, -50.0f, "cents offset for special accidental 55");
  declare_character_pair_param(474, {54, -5, 0, 12, 0, -20}, {54, -5, 0, 8, 0, 0}, {54, -5, 0, 12, 0, -20}, {54, -5, 0, 8, 0, 0}, "special accidental 56");
  declare_float_param(534, -60.0f, "cents offset for special accidental 56");
  declare_character_pair_param(475, {55, -5, 0, 12, 0, -20}, {55, -5, 0, 8, 0, 0}, {55, -5, 0, 12, 0, -20}, {55, -5, 0, 8, 0, 0}, "special accidental 57");
  declare_float_param(535, -70.0f, "cents offset for special accidental 57");
  declare_character_pair_param(476, {56, -5, 0, 12, 0, -20}, {56, -5, 0, 8, 0, 0}, {56, -5, 0, 12, 0, -20}, {56, -5, 0, 8, 0, 0}, "special accidental 58");
  declare_float_param(536, -80.0f, "cents offset for special accidental 58");
  declare_character_pair_param(477, {57, -5, 0, 12, 0, -20}, {57, -5, 0, 8, 0, 0}, {57, -5, 0, 12, 0, -20}, {57, -5, 0, 8, 0, 0}, "special accidental 59");
  declare_float_param(537, -90.0f, "cents offset for special accidental 59");
  declare_character_pair_param(478, {43, -5, 0, 12, 0, -20}, {43, -5, 0, 8, 0, 0}, {43, -5, 0, 12, 0, -20}, {43, -5, 0, 8, 0, 0}, "special accidental 60");
  declare_float_param(538, 0.0f, "cents offset for special accidental 60");
}

void init_params_articulations() {
  declare_param_heading(292, "STACCATO, TENUTO, ACCENTS, TRILLS");
  declare_character_pair_param(4, {49, -1, 0, 12, 0, 0}, {218, -1, 0, 12, 0, -3}, {46, -3, 0, 20, 21, 10}, {46, -3, 0, 12, 12, 7}, "staccato mark");
  declare_character_pair_param(713, {66, -1, 0, 14, -5, -4}, {66, -1, 0, 10, 0, 0}, {66, -1, 0, 16, -5, -5}, {66, -1, 0, 10, -5, -5}, "staccatissimo mark below note");
  declare_character_pair_param(714, {65, -1, 0, 14, -5, -4}, {65, -1, 0, 10, 0, 0}, {174, -3, 0, 20, 20, -10}, {174, -3, 0, 12, 10, -10}, "staccatissimo mark above note");
  declare_character_pair_param(5, {50, -1, 0, 12, 0, 0}, {219, -1, 0, 12, 0, -3}, {45, -3, 0, 20, 0, 10}, {45, -3, 0, 12, 0, 7}, "tenuto mark");
  declare_coordinate_pair_param(194, 20, 20, "space given for height of staccato/tenuto");
  declare_coordinate_pair_param(195, 20, 20, "space left between staccato/tenuto and note/staffline");
  declare_character_pair_param(6, {51, -1, 0, 12, 0, 0}, {220, -1, 0, 12, 0, 0}, {85, -3, 0, 20, -25, 0}, {85, -3, 0, 12, -15, 0}, "fermata above note (\\fermata)");
  declare_character_pair_param(7, {52, -1, 0, 12, 0, 0}, {221, -1, 0, 12, 0, 0}, {117, -3, 0, 20, -25, 60}, {117, -3, 0, 12, -15, 48}, "fermata below note (\\fermata2)");
  declare_coordinate_pair_param(137, 60, 40, "space given for height of fermata/ornament");
  declare_coordinate_pair_param(140, 30, 20, "space left between fermata/ornament and note");
  declare_character_pair_param(8, {53, -1, 0, 12, 0, 0}, {222, -1, 0, 12, 0, 0}, {62, -3, 0, 20, -12, 9}, {62, -3, 0, 12, -7, 9}, "accent horizontal");
  declare_character_pair_param(9, {54, -1, 0, 12, 0, 0}, {223, -1, 0, 12, 0, 0}, {94, -3, 0, 20, 4, 0}, {94, -3, 0, 12, 2, 0}, "accent above");
  declare_character_pair_param(10, {55, -1, 0, 12, 0, 0}, {224, -1, 0, 12, 0, 0}, {118, -3, 0, 20, 4, 0}, {118, -3, 0, 12, 2, 0}, "accent below");
  declare_coordinate_pair_param(125, 80, 60, "space given for height of accent");
  declare_coordinate_pair_param(126, 30, 20, "space left between accent and note");
  declare_character_param(339, {115, -2, 0, 16, 0, 40}, {115, -2, 0, 16, 0, 40}, "arpeggiation character (\\arp)");
  declare_character_pair_param(648, {43, -5, 0, 9, 0, 0}, {43, -5, 0, 6, 0, 0}, {43, -5, 0, 9, 0, 0}, {43, -5, 0, 6, 0, 0}, "+ (\\plus)");
  declare_character_pair_param(732, {33, -1, 0, 12, 0, 0}, {33, -1, 0, 12, 0, 0}, {84, -3, 0, 20, 0, 0}, {84, -3, 0, 12, 0, 0}, "turn (\\turn)");
  declare_character_pair_param(11, {56, -1, 0, 12, 0, 0}, {56, -1, 0, 12, 0, 0}, {217, -3, 0, 20, 0, 0}, {217, -3, 0, 12, 0, 0}, "tr (\\tr)");
  declare_character_pair_param(731, {42, -1, 0, 12, 0, 0}, {42, -1, 0, 12, 0, 0}, {181, -3, 0, 20, 0, 0}, {181, -3, 0, 12, 0, 0}, "trill extension segment (\\~)");
  declare_character_pair_param(729, {38, -1, 0, 12, 0, 0}, {38, -1, 0, 12, 0, 0}, {109, -3, 0, 20, 0, 0}, {109, -3, 0, 12, 0, 0}, "upward mordent (\\mordent)");
  declare_character_pair_param(730, {40, -1, 0, 12, 0, 0}, {40, -1, 0, 12, 0, 0}, {77, -3, 0, 20, 0, 0}, {77, -3, 0, 12, 0, 0}, "downward mordent (\\mordent2)");
  declare_character_param(362, {111, -2, 0, 12, 0, 0}, {111, -2, 0, 14, 6, -20}, "vertical slash character (\\|)");
  declare_float_param(705, 0.666667f, "swing eighth duration proportion for first eighth in pair");
}

void init_params_staff() {
  declare_param_heading(297, "STAFF LINES, MARGINS, NOTE SPACING");
  declare_line_width_pair_param(201, 2, 2, "width of first (top) staff line; or b-flat in piano tab");
  declare_line_width_pair_param(629, 2, 2, "width of second staff line; or a-flat in piano tab");
  declare_line_width_pair_param(630, 2, 2, "width of third staff line; or f-sharp in piano tab");
  declare_line_width_pair_param(631, 2, 2, "width of fourth staff line; or e-flat in piano tab");
  declare_line_width_pair_param(632, 2, 2, "width of fifth staff line; or c-sharp in piano tab");
  declare_line_width_pair_param(633, 2, 2, "width of sixth staff line (not used in standard notation)");
  declare_line_width_pair_param(634, 2, 2, "width of seventh staff line");
  declare_line_width_pair_param(635, 2, 2, "width of eighth staff line");
  declare_line_width_pair_param(636, 2, 2, "width of ninth staff line");
  declare_line_width_pair_param(637, 2, 2, "width of tenth staff line");
  declare_line_width_pair_param(638, 2, 2, "width of eleventh staff line");
  declare_line_width_pair_param(639, 2, 2, "width of twelfth staff line");
  declare_float_param(752, 0.1f, "low vision rectangle left x: portion of window width");
  declare_float_param(753, 0.5f, "low vision rectangle mid y: portion of window height");
  declare_coordinate_param(250, 0, "margin width on left of page (add value in Layout)");
  declare_coordinate_param(251, 0, "margin width on right of page (add Layout value)");
  declare_coordinate_param(252, 0, "margin width at top of page (add Layout value)");
  declare_coordinate_param(253, 0, "margin width at bottom of page (add Layout value)");
  declare_character_param(665, {107, -1, 0, 24, 0, -90}, {107, -1, 0, 24, 0, -90}, "system separator symbol (left side of page)");
  declare_character_param(666, {107, -1, 0, 24, -100, -90}, {107, -1, 0, 24, -100, -90}, "system separator symbol (right side of page)");
  declare_integer_param(560, 80, "default vertical distance between systems");
  declare_integer_param(667, 110, "distance between systems with separator symbols");
  declare_integer_param(129, 80, "default distance between this voice's staff and next");
  declare_coordinate_param(196, 30, "additional space between key/time and first note on staff");
  declare_coordinate_param(259, 30, "minimum space between grace note and next chord");
  declare_coordinate_param(260, 60, "minimum space between normal note and next chord");
  declare_coordinate_param(568, 20, "min space between grace note and next note's accidental");
  declare_coordinate_param(569, 40, "min space between normal note and note's accidental");
  declare_coordinate_param(320, 90, "min space between chords in staff switch to right hand");
  declare_coordinate_param(321, 30, "min space between chords in staff switch to left hand");
  declare_coordinate_pair_param(176, sonata_set() ? 70 : 70, sonata_set() ? 42 : 60, "x offset for half step overlap in stem-up & stem-down");
  declare_coordinate_pair_param(130, sonata_set() ? 80 : 80, sonata_set() ? 48 : 70, "x offset for complete overlap in stem-up & stem-down");
  declare_coordinate_pair_param(683, sonata_set() ? 82 : 80, sonata_set() ? 49 : 70, "x offset for chords with multiple stems up/down");
  declare_coordinate_pair_param(736, 9, 0, "x offset for shared simplified notation flat head");
  unlist_without_simplified_font();
  declare_coordinate_pair_param(737, 9, 0, "x offset for shared simplified notation sharp head");
  unlist_without_simplified_font();
  declare_float_param(221, 1.0f - context_note_spacing(), "effect of duration on note spacing (overrides Layout)");
  declare_coordinate_param(220, 120, "space given to a eighth note before justification");
  declare_float_param(553, 1.0f, "polytempo note duration multiplier (normally 1.0)");
  declare_coordinate_pair_param(552, 50, 30, "OUTDATED points separation betw lines of staff");
  unlist_last_param();
  declare_coordinate_param(261, 80, "OUTDATED add to min sp betw chords for tied chords");
  unlist_last_param();
}

void init_params_tablature() {
  declare_param_heading(542, "TABLATURE PITCHES AND SYMBOLS");
  declare_integer_param(543, 64, "MIDI pitch for string 1 in guitar tablature");
  declare_integer_param(544, 59, "MIDI pitch for string 2 in guitar tablature");
  declare_integer_param(545, 55, "MIDI pitch for string 3 in guitar tablature");
  declare_integer_param(546, 50, "MIDI pitch for string 4 in guitar tablature");
  declare_integer_param(547, 45, "MIDI pitch for string 5 in guitar tablature");
  declare_integer_param(548, 40, "MIDI pitch for string 6 in guitar tablature");
  declare_integer_param(549, 36, "MIDI pitch for string 7 in guitar tablature");
  declare_character_pair_param(550, {51, -4, 0, 10, 23, 23}, {51, -4, 0, 10, 23, 23}, {51, -4, 0, 10, 23, 23}, {51, -4, 0, 10, 23, 23}, "font information for guitar tablature numbers");
  param[550].ref_size = 100;
  declare_character_pair_param(581, {51, -5, 1, 6, 7, 7}, {51, -5, 1, 6, 7, 7}, {51, -5, 1, 6, 7, 7}, {51, -5, 1, 6, 7, 7}, "font for thumb's guitar tablature numbers");
  declare_coordinate_pair_param(559, 18, 11, "x adjust for single digit stem-up guitar tablature numbers");
  declare_coordinate_pair_param(557, -6, -4, "x adjust for two digit stem-up guitar tablature numbers");
  declare_coordinate_pair_param(610, 0, 0, "x adjust for single digit stemless guitar tablature numbers");
  declare_coordinate_pair_param(609, -17, -11, "x adjust for two digit stemless guitar tablature numbers");
  declare_coordinate_pair_param(589, 10, 10, "length of staff to erase around tablature (0 for no erase)");
  declare_character_pair_param(625, {40, -5, 0, 12, 40, 30}, {40, -5, 0, 12, 20, 30}, {40, -5, 0, 12, 40, 30}, {40, -5, 0, 12, 20, 30}, "parenthesis to left of guitar tablature note");
  param[625].ref_size = 100;
  declare_character_pair_param(626, {41, -5, 0, 12, 14, 30}, {41, -5, 0, 12, 14, 30}, {41, -5, 0, 12, 14, 30}, {41, -5, 0, 12, 14, 30}, "parenthesis to right of guitar tablature note");
  param[626].ref_size = 100;
  declare_coordinate_pair_param(644, 180, 180, "length of white keys at start of piano tab (0 for none)");
  declare_coordinate_pair_param(645, 90, 90, "length of black keys at start of piano tab");
  declare_line_width_pair_param(561, 25, 25, "line width of black keys at start of piano tab");
  declare_line_width_pair_param(640, 2, 2, "line width outlining white keys at start of piano tab");
  declare_integer_param(643, 0, "MIDI pitch shift for piano tablature (+12=octave up)");
  declare_character_param(663, {53, -5, 0, 8, 0, 120}, {53, -5, 0, 8, 0, 120}, "font/size/offset for superscript for fret number on fret grid (\\g)");
  declare_coordinate_pair_param(551, 80, 50, "OUTDATED points separation betw lines on tab staff");
  unlist_last_param();
  declare_character_pair_param(563, {197, -1, 0, 12, 0, 0}, {244, -1, 0, 12, 0, 0}, {250, -3, 0, 20, 0, 25}, {250, -3, 0, 12, 0, 25}, "OUTDATED: piano tablature open note head");
  unlist_last_param();
  declare_character_pair_param(562, {141, -1, 0, 12, 0, 0}, {130, -1, 0, 12, 0, 0}, {207, -3, 0, 20, 0, 25}, {207, -3, 0, 12, 0, 25}, "OUTDATED: piano tablature filled note head");
  unlist_last_param();
}

void init_params_ties() {
  declare_param_heading(301, "TIES, SLURS, BENDS, AND GLISSANDI");
  declare_coordinate_param(192, 80, "shortest tie or slur symbol");
  declare_coordinate_param(193, 160, "ties and slurs off the system extend this far past staff");
  declare_coordinate_param(669, 110, "ties and slurs onto the system extend this far to left");
  declare_float_param(228, 0.4f, "maximum slope for slurs");
  declare_coordinate_pair_param(210, 35, 20, "space left between tie end and staff line (y direction)");
  declare_coordinate_pair_param(211, 15, 15, "space left between tie end and note head (x direction)");
  declare_coordinate_pair_param(222, 20, 20, "space left between slur end and notehead (y direction)");
  declare_coordinate_pair_param(224, 60, 30, "x offset (from note) to slur end above end of up-stem");
  declare_coordinate_pair_param(225, 30, 10, "x offset (from note) to slur end above notehead");
  declare_coordinate_pair_param(226, 0, 0, "x offset (from note) to slur end below end of down-stem");
  declare_coordinate_pair_param(227, 30, 10, "x offset (from note) to slur end below notehead");
  declare_coordinate_pair_param(249, 30, 30, "amount to shorten slur when it ends beside a stem");
  declare_coordinate_pair_param(391, 15, 0, "amount to shorten each end of a raised slur");
  declare_coordinate_pair_param(390, 20, 20, "extra space between slur end and accent/fermata symbols");
  declare_coordinate_param(387, 1000, "minimum slur length for applying next parameter below");
  declare_integer_param(360, 1, "start long, raised slurs closer to first note (0=no, 1=yes)");
  declare_coordinate_pair_param(378, 250, 250, "first slur length (for next two parameters below)");
  declare_coordinate_pair_param(380, 60, 60, "slur control point x offset at first slur length");
  declare_coordinate_pair_param(382, 50, 50, "slur control point y offset at first slur length");
  declare_coordinate_pair_param(379, 1250, 1250, "second slur length (for next two parameters below)");
  declare_coordinate_pair_param(381, 100, 100, "slur control point x offset at second slur length");
  declare_coordinate_pair_param(383, 150, 150, "slur control point y offset at second slur length");
  declare_coordinate_pair_param(649, 110, 110, "length of slur with 'hang right' selected");
  declare_coordinate_pair_param(650, 110, 110, "length of slur with 'hang left' selected");
  declare_coordinate_pair_param(651, 100, 100, "length of tie with 'hang right' selected");
  declare_coordinate_pair_param(652, 100, 100, "length of tie with 'hang left' selected");
  declare_integer_param(415, 3, "dash length in dashed ties and slurs");
  declare_integer_param(416, 2, "length of gap between dashes in dashed slurs");
  declare_integer_param(668, 0, "1 if dashed ties and slurs have Thicker Center, else 0");
  declare_coordinate_param(326, 10, "tie and slur thickness control (one value for whole page)");
  declare_line_width_param(328, 10, "width for curves without Thicker Center (one for page)");
  declare_line_width_param(618, 10, "width for lines in tie-with-pitch-bend marks");
  declare_line_width_param(623, 70, "height of tie-with-pitch-bend marks");
  declare_character_pair_param(627, {40, -2, 0, 25, 0, 30}, {40, -2, 0, 25, 30, 30}, {40, -2, 0, 25, 0, 30}, {40, -2, 0, 25, 30, 30}, "symbol for bend to higher pitch on tablature staff");
  param[627].ref_size = 100;
  declare_character_pair_param(628, {41, -2, 0, 25, 0, -30}, {41, -2, 0, 25, 0, -30}, {41, -2, 0, 25, 0, -30}, {41, -2, 0, 25, 0, -30}, "symbol for bend to lower pitch on tablature staff");
  param[628].ref_size = 100;
  declare_character_pair_param(641, {50, -5, 0, 10, 0, 60}, {50, -5, 0, 10, 0, 60}, {50, -5, 0, 10, 0, 60}, {50, -5, 0, 10, 0, 60}, "font and x y offset for bend range on tablature staff");
  param[641].ref_size = 100;
  declare_line_width_param(619, 20, "width of glissando line");
  declare_coordinate_param(620, 30, "distance from note to clip glissando line");
  declare_coordinate_param(621, 10, "distance from accidental or dot to clip glissando line");
  declare_coordinate_param(642, 40, "minimum horizontal length of a glissando line");
  declare_coordinate_param(622, 30, "vertical offset for for glissando line ends in tablature");
  declare_coordinate_pair_param(209, 50, 30, "OUTDATED");
  unlist_last_param();
  declare_line_width_param(327, 0, "OUTDATED");
  unlist_last_param();
}

void init_params_time_signatures() {
  declare_param_heading(285, "TIME SIGNATURES");
  declare_character_pair_param(60, {173, -1, 0, 12, 0, -70}, {173, -1, 0, 7, 0, -41}, {67, -3, 0, 20, 0, 0}, {67, -3, 0, 12, 0, 0}, "cut time");
  declare_character_pair_param(59, {208, -1, 0, 12, 0, -70}, {208, -1, 0, 7, 0, -41}, {99, -3, 0, 20, 0, 0}, {99, -3, 0, 12, 0, 0}, "common time");
  declare_character_pair_param(31, {188, -1, 0, 12, 0, 0}, {188, -1, 0, 7, 0, 0}, {48, -3, 0, 20, 4, 50}, {48, -3, 0, 12, 2, 29}, "0 for time signatures");
  declare_character_pair_param(32, {193, -1, 0, 12, 0, 0}, {193, -1, 0, 7, 0, 0}, {49, -3, 0, 20, 15, 50}, {49, -3, 0, 12, 8, 29}, "1 for time signatures");
  declare_character_pair_param(33, {170, -1, 0, 12, 0, 0}, {170, -1, 0, 7, 0, 0}, {50, -3, 0, 20, 6, 50}, {50, -3, 0, 12, 3, 29}, "2 for time signatures");
  declare_character_pair_param(34, {163, -1, 0, 12, 0, 0}, {163, -1, 0, 7, 0, 0}, {51, -3, 0, 20, 8, 50}, {51, -3, 0, 12, 4, 29}, "3 for time signatures");
  declare_character_pair_param(35, {162, -1, 0, 12, 0, 0}, {162, -1, 0, 7, 0, 0}, {52, -3, 0, 20, 7, 50}, {52, -3, 0, 12, 4, 29}, "4 for time signatures");
  declare_character_pair_param(36, {176, -1, 0, 12, 0, 0}, {176, -1, 0, 7, 0, 0}, {53, -3, 0, 20, 10, 50}, {53, -3, 0, 12, 5, 29}, "5 for time signatures");
  declare_character_pair_param(37, {164, -1, 0, 12, 0, 0}, {164, -1, 0, 7, 0, 0}, {54, -3, 0, 20, 7, 50}, {54, -3, 0, 12, 3, 29}, "6 for time signatures");
  declare_character_pair_param(38, {166, -1, 0, 12, 0, 0}, {166, -1, 0, 7, 0, 0}, {55, -3, 0, 20, 6, 50}, {55, -3, 0, 12, 3, 29}, "7 for time signatures");
  declare_character_pair_param(39, {165, -1, 0, 12, 0, 0}, {165, -1, 0, 7, 0, 0}, {56, -3, 0, 20, 7, 50}, {56, -3, 0, 12, 4, 29}, "8 for time signatures");
  declare_character_pair_param(40, {187, -1, 0, 12, 0, 0}, {187, -1, 0, 7, 0, 0}, {57, -3, 0, 20, 7, 50}, {57, -3, 0, 12, 3, 29}, "9 for time signatures");
  declare_coordinate_pair_param(214, 120, 90, "space left between time signature and next object");
  declare_coordinate_pair_param(215, 80, 47, "space given for time signature width");
  declare_coordinate_pair_param(318, 0, 0, "additional space left before time signature");
  declare_coordinate_pair_param(680, 0, 0, "x offset for time signature");
  declare_coordinate_pair_param(216, 0, 0, "y offset from staff line to time signature");
}
// clang-format on
