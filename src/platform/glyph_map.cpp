// glyph_map.cpp: the table that draws the music fonts with the embedded music font.
//
// Reference size. Layout lengths are tenths of a point at staff size 50, where one staff space
// is 5 points: a note head is one space high and 6 points wide (the head width and height
// parameters, 60 and 50). The embedded font's em is four staff spaces, so for that staff its em
// must be 20 points. The music fonts were made for the same staff at 12 points (Quor and the
// simplified-notation font: their heads are drawn at 12 points), 24 points (Sayl: its clefs at
// the start of a staff are drawn at 24) and 20 points (Sonata, whose em, like the embedded
// font's, is four spaces). So a character asked for at z points is drawn with an em of
// scale x z points: 20/12, 20/24 and 1, times a factor for glyphs that the old fonts drew
// smaller within their design (small heads 0.85, so that stems still meet them; other small
// variants 0.75, small rests 2/3, whose offsets show they were drawn at two thirds; clefs for
// a change within a staff 0.75; metronome notes 0.6), or fitted to the width the layout gives a
// head (whole and breve heads, square, lozenge and cross heads).
//
// Placement. Each parameter puts its character at a point the drawing code computes, moved by
// the parameter's offsets; the correction here moves the embedded glyph from there to where
// the symbol belongs. Corrections are in staff spaces at the font's design size (5 points at
// 12 points for Quor) and grow with the size asked for; y is upward. They follow from where
// the drawing code puts each kind of symbol:
// - heads: at the head's bottom (the layout keeps a head's y half a space below its centre),
//   left end at the head's x: the embedded heads are centred on the baseline, so Quor's and the
//   simplified heads are raised half a space (Sonata's parameters raise its heads themselves);
//   every head is centred in the width the layout gives it;
// - accidentals: at the head's bottom, moved by their parameters: the glyph's centre goes to
//   the head's centre and its left edge to the accidental's x;
// - rests: at the middle line: the embedded rests have their places there, a whole rest hangs
//   from the line above; each is centred in its rest width;
// - clefs: at the middle line: the G clef's baseline goes to the G line, the F clef's to the F
//   line, the C clef's to its C line;
// - time signature digits: at the bottom of the digit (numerator at the middle line,
//   denominator at the bottom line), centred in the 8-point cell the layout gives a digit;
//   common and cut time centred on the middle line; repeat dots in the two middle spaces;
// - augmentation dots: at a staff line, the dot in the space above it;
// - flags: at the stem's end and left edge, where the embedded flags have their origin;
// - tremolo strokes: centred on the stem in a 10-point box above their point;
// - staccato, tenuto and wedges in a 2-point box above their point, accents in an 8-point box,
//   fermatas on (below: hanging from) their box, all centred over the head;
// - bend arrows of tablature: at the fret number, moved past it to stand above its string;
// - annotation glyphs (dynamics, ornaments, pedal marks, metronome notes): on the text
//   baseline as their parameters place them; the second set's offsets, made for Sonata's own
//   side bearings, are brought back to the first set's. Metronome notes and their dots stand
//   with the head's centre 2.5 points above the baseline.
// Where one code serves several parameters, the table fits the first parameter named in its
// comment; the others take the same glyph where the code has the same meaning.
//
// Sonata's brace is drawn whole by its top part (code 167), whose size the page pass derives
// from the staves it joins; its bottom part (code 234) draws nothing.
#include "platform/glyph_map.h"

#include <array>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>

#include <QChar>
#include <QFont>
#include <QGuiApplication>
#include <QRawFont>
#include <QString>

#include "platform/font_families.h"
#include "platform/fonts.h"

namespace {

constexpr float QUOR = 20.0f / 12.0f;
constexpr float SAYL = 20.0f / 24.0f;
constexpr float SONATA = 1.0f;
constexpr float SIMPLIFIED = 20.0f / 12.0f;

// clang-format off
constexpr MusicFontGlyph GLYPHS[] = {
    // ---- Quor: the main music font, at 12 points for a 5-point staff space ----
    {FONT_QUOR, 32, "noteheadNull", 0xE0A5, QUOR, 0.01f, 0.5f},  // p81 blank note head
    {FONT_QUOR, 33, "ornamentTurn", 0xE567, QUOR, 0.0f, 0.0f},  // p732 turn (\turn)
    {FONT_QUOR, 35, "coda", 0xE048, QUOR, 0.0f, 0.0f},  // p724 coda symbol (\coda)
    {FONT_QUOR, 37, "segno", 0xE047, QUOR, 0.0f, 0.0f},  // p723 segno (\segno)
    {FONT_QUOR, 38, "ornamentShortTrill", 0xE56C, QUOR, 0.0f, 0.0f},  // p729 upward mordent (\mordent)
    {FONT_QUOR, 39, "noteheadSquareBlack", 0xE0B9, QUOR * 0.958f, 0.0f, 0.5f},  // p338 square quarter note head
    {FONT_QUOR, 40, "ornamentMordent", 0xE56D, QUOR, 0.0f, 0.0f},  // p730 downward mordent (\mordent2)
    {FONT_QUOR, 42, "wiggleTrill", 0xEAA4, QUOR, 0.0f, 0.0f},  // p731 trill extension segment (\~)
    {FONT_QUOR, 44, "dynamicFF", 0xE52F, QUOR, 0.0f, 0.0f},  // p48 ff dynamic (\ff)
    {FONT_QUOR, 45, "keyboardPedalPed", 0xE650, QUOR, 0.0f, 0.0f},  // p606 pedal marking (\ped)
    {FONT_QUOR, 46, "dynamicFFF", 0xE530, QUOR, 0.0f, 0.0f},  // p49 fff dynamic (\fff)
    {FONT_QUOR, 47, "dynamicFFFF", 0xE531, QUOR, 0.0f, 0.0f},  // p50 ffff dynamic (\ffff)
    {FONT_QUOR, 48, "stringsDownBow", 0xE610, QUOR, 0.0f, 0.0f},  // p646 down bow (\downbow)
    {FONT_QUOR, 49, "articStaccatoAbove", 0xE4A2, QUOR, 0.432f, 0.032f},  // p4 staccato mark
    {FONT_QUOR, 50, "articTenutoAbove", 0xE4A4, QUOR, -0.074f, 0.104f},  // p5 tenuto mark
    {FONT_QUOR, 51, "fermataAbove", 0xE4C0, QUOR, -0.616f, 0.012f},  // p6 fermata above note (\fermata)
    {FONT_QUOR, 52, "fermataBelow", 0xE4C1, QUOR, -0.616f, 1.2f},  // p7 fermata below note (\fermata2)
    {FONT_QUOR, 53, "articAccentAbove", 0xE4A0, QUOR, -0.078f, 0.308f},  // p8 accent horizontal
    {FONT_QUOR, 54, "articMarcatoAbove", 0xE4AC, QUOR, 0.132f, 0.296f},  // p9 accent above
    {FONT_QUOR, 55, "articMarcatoBelow", 0xE4AD, QUOR, 0.132f, 1.308f},  // p10 accent below
    {FONT_QUOR, 56, "ornamentTrill", 0xE566, QUOR, 0.0f, 0.0f},  // p11 tr (\tr)
    {FONT_QUOR, 57, "stringsUpBow", 0xE612, QUOR, 0.0f, 0.0f},  // p647 up bow (\upbow)
    {FONT_QUOR, 58, "repeatBarSlash", 0xE504, QUOR, 0.0f, 0.0f},  // p725 repeat beat (\//)
    {FONT_QUOR, 59, "noteheadSquareWhite", 0xE0B8, QUOR, 0.124f, 0.5f},  // p336 square whole note head
    {FONT_QUOR, 61, "keyboardPedalUp", 0xE655, QUOR, 0.0f, 0.0f},  // p607 pedal up marking (\*)
    {FONT_QUOR, 65, "articStaccatissimoAbove", 0xE4A6, QUOR * 0.75f, 0.449f, 0.075f},  // p714 staccatissimo mark above note
    {FONT_QUOR, 66, "articStaccatissimoBelow", 0xE4A7, QUOR * 0.75f, 0.449f, 0.411f},  // p713 staccatissimo mark below note
    {FONT_QUOR, 69, "restQuarter", 0xE4E5, QUOR, -0.042f, 1.8f},  // p53 quarter rest
    {FONT_QUOR, 73, "rest128th", 0xE4EA, QUOR, -0.17f, 1.8f},  // p58 128th rest
    {FONT_QUOR, 76, "repeat1Bar", 0xE500, QUOR, 0.0f, 0.0f},  // p726 repeat bar (\/)
    {FONT_QUOR, 79, "restHBar", 0xE4EE, QUOR, -0.064f, 1.8f},  // p30 multi-rest
    {FONT_QUOR, 80, "repeatDots", 0xE043, QUOR, 0.0f, -0.2f},  // p24 repeat dots
    {FONT_QUOR, 81, "restWhole", 0xE4E3, QUOR, 0.436f, 2.8f},  // p51 whole rest
    {FONT_QUOR, 82, "rest8th", 0xE4E6, QUOR, 0.006f, 1.8f},  // p54 eighth rest
    {FONT_QUOR, 83, "dynamicSforzando", 0xE524, QUOR, 0.0f, 0.0f},  // the s of a compound dynamic (sfz)
    {FONT_QUOR, 84, "rest16th", 0xE4E7, QUOR, 0.06f, 1.8f},  // p55 16th rest
    {FONT_QUOR, 85, "rest64th", 0xE4E9, QUOR, -0.046f, 1.8f},  // p57 64th rest
    {FONT_QUOR, 86, "dynamicRinforzando", 0xE523, QUOR, 0.0f, 0.0f},  // the r of a compound dynamic (rf)
    {FONT_QUOR, 87, "restHalf", 0xE4E4, QUOR, 0.436f, 1.8f},  // p52 half rest
    {FONT_QUOR, 88, "dynamicZ", 0xE525, QUOR, -0.15f, 0.0f},  // the z of a compound dynamic (fz), under the f
    {FONT_QUOR, 89, "rest32nd", 0xE4E8, QUOR, 0.074f, 1.8f},  // p56 32nd rest
    {FONT_QUOR, 91, "metAugmentationDot", 0xECB7, QUOR, -0.32f, 0.5f},  // p22 dot kerned left for tempo markings (\ed)
    {FONT_QUOR, 93, "metAugmentationDot", 0xECB7, QUOR, -0.32f, 0.5f, 2, 0.55f},  // p23 double dot kerned left for tempos (\edd)
    {FONT_QUOR, 97, "accidentalDoubleFlat", 0xE264, QUOR, 0.0f, 0.96f},  // p25 double flat
    {FONT_QUOR, 98, "dynamicMP", 0xE52C, QUOR, 0.0f, 0.0f},  // p45 mp dynamic (\mp)
    {FONT_QUOR, 99, "dynamicPP", 0xE52B, QUOR, 0.0f, 0.0f},  // p43 pp dynamic (\pp)
    {FONT_QUOR, 100, "accidentalNatural", 0xE261, QUOR, 0.0f, 0.9f},  // p27 natural
    {FONT_QUOR, 101, "metNoteQuarterUp", 0xECA5, QUOR * 0.6f, 0.0f, 0.5f},  // p14 quarter note for tempo markings (\q)
    {FONT_QUOR, 102, "accidentalSharp", 0xE262, QUOR, 0.0f, 0.9f},  // p28 sharp
    {FONT_QUOR, 103, "accidentalDoubleSharp", 0xE263, QUOR, 0.0f, 0.9f},  // p29 double sharp
    {FONT_QUOR, 105, "metNote128thUp", 0xECAF, QUOR * 0.6f, 0.0f, 0.5f},  // p19 PianoWindow 128th symbol
    {FONT_QUOR, 106, "tremolo1", 0xE220, QUOR, 0.6f, 1.0f},  // p102 single-slash tremolo mark
    {FONT_QUOR, 107, "tremolo2", 0xE221, QUOR, 0.6f, 1.0f},  // p103 double-slash tremolo mark
    {FONT_QUOR, 108, "tremolo3", 0xE222, QUOR, 0.6f, 1.0f},  // p104 triple-slash tremolo mark
    {FONT_QUOR, 109, "dynamicForte", 0xE522, QUOR, 0.0f, 0.0f},  // p47 f dynamic (\f)
    {FONT_QUOR, 110, "dynamicMF", 0xE52D, QUOR, 0.0f, 0.0f},  // p46 mf dynamic (\mf)
    {FONT_QUOR, 111, "augmentationDot", 0xE1E7, QUOR, 0.0f, 0.3f},  // p20 dot for dotted notes
    {FONT_QUOR, 112, "augmentationDot", 0xE1E7, QUOR, 0.0f, 0.3f, 2, 0.55f},  // p21 double dot
    {FONT_QUOR, 113, "metNoteWhole", 0xECA2, QUOR * 0.6f, 0.0f, 0.5f},  // p12 whole note for tempo markings (\w)
    {FONT_QUOR, 114, "metNote8thUp", 0xECA7, QUOR * 0.6f, 0.0f, 0.5f},  // p15 eighth note for tempo markings (\e)
    {FONT_QUOR, 115, "accidentalFlat", 0xE260, QUOR, 0.0f, 0.9f},  // p26 flat
    {FONT_QUOR, 116, "metNote16thUp", 0xECA9, QUOR * 0.6f, 0.0f, 0.5f},  // p16 16th note for tempo markings (\s)
    {FONT_QUOR, 117, "metNote64thUp", 0xECAD, QUOR * 0.6f, 0.0f, 0.5f},  // p18 PianoWindow 64th symbol
    {FONT_QUOR, 118, "dynamicPiano", 0xE520, QUOR, 0.0f, 0.0f},  // p44 p dynamic (\p)
    {FONT_QUOR, 119, "metNoteHalfUp", 0xECA3, QUOR * 0.6f, 0.0f, 0.5f},  // p13 half note for tempo markings (\h)
    {FONT_QUOR, 120, "dynamicPPP", 0xE52A, QUOR, 0.0f, 0.0f},  // p42 ppp dynamic (\ppp)
    {FONT_QUOR, 121, "metNote32ndUp", 0xECAB, QUOR * 0.6f, 0.0f, 0.5f},  // p17 32nd note for tempo markings (\t)
    {FONT_QUOR, 122, "dynamicPPPP", 0xE529, QUOR, 0.0f, 0.0f},  // p41 pppp dynamic (\pppp)
    {FONT_QUOR, 124, "ottavaAlta", 0xE511, QUOR, 0.0f, 0.0f},  // p727 8va (\8va)
    {FONT_QUOR, 129, "accidentalDoubleFlat", 0xE264, QUOR * 0.75f, 0.0f, 0.96f},  // p25 (small) double flat
    {FONT_QUOR, 130, "noteheadBlack", 0xE0A4, QUOR * 0.85f, -0.001f, 0.5f},  // p73 (small) quarter note head
    {FONT_QUOR, 140, "flag8thUp", 0xE240, QUOR, 0.0f, 0.0f},  // p61 stem-up eighth note flag
    {FONT_QUOR, 141, "noteheadBlack", 0xE0A4, QUOR, 0.01f, 0.5f},  // p73 quarter note head
    {FONT_QUOR, 160, "flag64thUp", 0xE246, QUOR * 0.75f, 0.0f, 0.0f},  // p64 (small) stem-up 64th note flag
    {FONT_QUOR, 161, "noteheadDoubleWholeSquare", 0xE0A1, QUOR, 0.258f, 0.5f},  // p385 square breve (double-whole) note head
    {FONT_QUOR, 162, "timeSig4", 0xE084, QUOR, -0.14f, 1.0f},  // p35 4 for time signatures
    {FONT_QUOR, 163, "timeSig3", 0xE083, QUOR, -0.042f, 1.0f},  // p34 3 for time signatures
    {FONT_QUOR, 164, "timeSig6", 0xE086, QUOR, -0.068f, 1.0f},  // p37 6 for time signatures
    {FONT_QUOR, 165, "timeSig8", 0xE088, QUOR, -0.072f, 1.0f},  // p39 8 for time signatures
    {FONT_QUOR, 166, "timeSig7", 0xE087, QUOR, -0.082f, 1.0f},  // p38 7 for time signatures
    {FONT_QUOR, 167, "flag16thUp", 0xE242, QUOR, 0.0f, 0.0f},  // p62 stem-up 16th note flag
    {FONT_QUOR, 168, "flag32ndUp", 0xE244, QUOR * 0.75f, 0.0f, 0.0f},  // p63 (small) stem-up 32nd note flag
    {FONT_QUOR, 169, "flag128thUp", 0xE248, QUOR, 0.0f, 0.0f},  // p65 stem-up 128th note flag
    {FONT_QUOR, 170, "timeSig2", 0xE082, QUOR, -0.092f, 1.0f},  // p33 2 for time signatures
    {FONT_QUOR, 173, "timeSigCutCommon", 0xE08B, QUOR, 0.0f, 1.4f},  // p60 cut time
    {FONT_QUOR, 174, "noteheadSquareBlack", 0xE0B9, QUOR * 0.799f, 0.0f, 0.5f},  // p338 (small) square quarter note head
    {FONT_QUOR, 175, "restHBar", 0xE4EE, QUOR * 0.667f, 0.157f, 1.2f},  // p30 (small) multi-rest
    {FONT_QUOR, 176, "timeSig5", 0xE085, QUOR, -0.006f, 1.0f},  // p36 5 for time signatures
    {FONT_QUOR, 178, "noteheadDiamondBlackWide", 0xE0DC, QUOR * 0.857f, 0.0f, 0.5f},  // p80 closed lozenge note head
    {FONT_QUOR, 179, "noteheadDiamondHalfOld", 0xE0E1, QUOR, 0.018f, 0.5f},  // p77 open harmonic note head
    {FONT_QUOR, 180, "flag128thUp", 0xE248, QUOR * 0.75f, 0.0f, 0.0f},  // p65 (small) stem-up 128th note flag
    {FONT_QUOR, 181, "noteheadDiamondHalfWide", 0xE0DA, QUOR * 0.855f, 0.0f, 0.5f},  // p79 open lozenge note head
    {FONT_QUOR, 182, "flag32ndUp", 0xE244, QUOR, 0.0f, 0.0f},  // p63 stem-up 32nd note flag
    {FONT_QUOR, 183, "flag16thUp", 0xE242, QUOR * 0.75f, 0.0f, 0.0f},  // p62 (small) stem-up 16th note flag
    {FONT_QUOR, 185, "flag16thDown", 0xE243, QUOR * 0.75f, 0.0f, 0.0f},  // p67 (small) stem-down 16th note flag
    {FONT_QUOR, 186, "noteheadXBlack", 0xE0A9, QUOR, 0.02f, 0.5f},  // p76 percussion quarter note head
    {FONT_QUOR, 187, "timeSig9", 0xE089, QUOR, -0.068f, 1.0f},  // p40 9 for time signatures
    {FONT_QUOR, 188, "timeSig0", 0xE080, QUOR, -0.14f, 1.0f},  // p31 0 for time signatures
    {FONT_QUOR, 189, "noteheadWhole", 0xE0A2, QUOR * 0.948f, -0.05f, 0.5f},  // p71 whole note head
    {FONT_QUOR, 191, "flag8thDown", 0xE241, QUOR * 0.75f, 0.0f, 0.0f},  // p66 (small) stem-down eighth note flag
    {FONT_QUOR, 192, "noteheadDiamondBlackOld", 0xE0E2, QUOR * 0.85f, 0.007f, 0.5f},  // p78 (small) closed harmonic note head
    {FONT_QUOR, 193, "timeSig1", 0xE081, QUOR, 0.132f, 1.0f},  // p32 1 for time signatures
    {FONT_QUOR, 194, "flag64thDown", 0xE247, QUOR, 0.0f, 0.0f},  // p69 stem-down 64th note flag
    {FONT_QUOR, 195, "noteheadXHalf", 0xE0A8, QUOR, 0.082f, 0.5f},  // p74 percussion whole note head
    {FONT_QUOR, 196, "flag64thUp", 0xE246, QUOR, 0.0f, 0.0f},  // p64 stem-up 64th note flag
    {FONT_QUOR, 197, "noteheadHalf", 0xE0A3, QUOR, 0.01f, 0.5f},  // p72 half note head
    {FONT_QUOR, 198, "flag16thDown", 0xE243, QUOR, 0.0f, 0.0f},  // p67 stem-down 16th note flag
    {FONT_QUOR, 199, "flag128thDown", 0xE249, QUOR * 0.75f, 0.0f, 0.0f},  // p70 (small) stem-down 128th note flag
    {FONT_QUOR, 200, "ottavaBassa", 0xE512, QUOR, 0.0f, 0.0f},  // p728 8vb (\8vb)
    {FONT_QUOR, 201, "flag128thDown", 0xE249, QUOR, 0.0f, 0.0f},  // p70 stem-down 128th note flag
    {FONT_QUOR, 206, "restWhole", 0xE4E3, QUOR * 0.667f, 0.424f, 2.2f},  // p51 (small) whole rest
    {FONT_QUOR, 207, "flag8thUp", 0xE240, QUOR * 0.75f, 0.0f, 0.0f},  // p61 (small) stem-up eighth note flag
    {FONT_QUOR, 208, "timeSigCommon", 0xE08A, QUOR, -0.02f, 1.4f},  // p59 common time
    {FONT_QUOR, 210, "flag32ndDown", 0xE245, QUOR * 0.75f, 0.0f, 0.0f},  // p68 (small) stem-down 32nd note flag
    {FONT_QUOR, 211, "metAugmentationDot", 0xECB7, QUOR * 0.75f, -0.32f, 0.5f},  // p22 (small) dot kerned left for tempo markings (\ed)
    {FONT_QUOR, 212, "flag64thDown", 0xE247, QUOR * 0.75f, 0.0f, 0.0f},  // p69 (small) stem-down 64th note flag
    {FONT_QUOR, 213, "metAugmentationDot", 0xECB7, QUOR * 0.75f, -0.32f, 0.5f, 2, 0.55f},  // p23 (small) double dot kerned left for tempos (\edd)
    {FONT_QUOR, 214, "noteheadDiamondBlackOld", 0xE0E2, QUOR, 0.02f, 0.5f},  // p78 closed harmonic note head
    {FONT_QUOR, 215, "noteheadXHalf", 0xE0A8, QUOR * 0.898f, 0.0f, 0.5f},  // p74 (small) percussion whole note head
    {FONT_QUOR, 218, "articStaccatoAbove", 0xE4A2, QUOR * 0.75f, 0.374f, 0.134f},  // p4 (small) staccato mark
    {FONT_QUOR, 219, "articTenutoAbove", 0xE4A4, QUOR * 0.75f, -0.006f, 0.188f},  // p5 (small) tenuto mark
    {FONT_QUOR, 220, "fermataAbove", 0xE4C0, QUOR * 0.75f, -0.412f, 0.009f},  // p6 (small) fermata above note (\fermata)
    {FONT_QUOR, 221, "fermataBelow", 0xE4C1, QUOR * 0.75f, -0.412f, 1.2f},  // p7 (small) fermata below note (\fermata2)
    {FONT_QUOR, 222, "articAccentAbove", 0xE4A0, QUOR * 0.75f, -0.008f, 0.431f},  // p8 (small) accent horizontal
    {FONT_QUOR, 223, "articMarcatoAbove", 0xE4AC, QUOR * 0.75f, 0.149f, 0.422f},  // p9 (small) accent above
    {FONT_QUOR, 224, "articMarcatoBelow", 0xE4AD, QUOR * 0.75f, 0.149f, 1.181f},  // p10 (small) accent below
    {FONT_QUOR, 225, "noteheadDoubleWhole", 0xE0A0, QUOR * 0.91f, 0.0f, 0.5f},  // p371 breve (double-whole) note head
    {FONT_QUOR, 226, "restDoubleWhole", 0xE4E2, QUOR, 0.75f, 1.8f},  // p372 double-whole rest
    {FONT_QUOR, 227, "restHalf", 0xE4E4, QUOR * 0.667f, 0.424f, 1.2f},  // p52 (small) half rest
    {FONT_QUOR, 228, "restQuarter", 0xE4E5, QUOR * 0.667f, 0.039f, 1.2f},  // p53 (small) quarter rest
    {FONT_QUOR, 229, "rest8th", 0xE4E6, QUOR * 0.667f, 0.071f, 1.2f},  // p54 (small) eighth rest
    {FONT_QUOR, 230, "rest16th", 0xE4E7, QUOR * 0.667f, 0.073f, 1.2f},  // p55 (small) 16th rest
    {FONT_QUOR, 231, "rest32nd", 0xE4E8, QUOR * 0.667f, 0.016f, 1.2f},  // p56 (small) 32nd rest
    {FONT_QUOR, 232, "rest64th", 0xE4E9, QUOR * 0.667f, 0.036f, 1.2f},  // p57 (small) 64th rest
    {FONT_QUOR, 233, "rest128th", 0xE4EA, QUOR * 0.667f, 0.053f, 1.2f},  // p58 (small) 128th rest
    {FONT_QUOR, 234, "accidentalFlat", 0xE260, QUOR * 0.75f, 0.0f, 0.9f},  // p26 (small) flat
    {FONT_QUOR, 235, "accidentalNatural", 0xE261, QUOR * 0.75f, 0.0f, 0.9f},  // p27 (small) natural
    {FONT_QUOR, 236, "accidentalSharp", 0xE262, QUOR * 0.75f, 0.0f, 0.9f},  // p28 (small) sharp
    {FONT_QUOR, 237, "accidentalDoubleSharp", 0xE263, QUOR * 0.75f, 0.0f, 0.9f},  // p29 (small) double sharp
    {FONT_QUOR, 238, "noteheadDoubleWholeSquare", 0xE0A1, QUOR * 0.85f, 0.213f, 0.5f},  // p385 (small) square breve (double-whole) note head
    {FONT_QUOR, 239, "noteheadDoubleWhole", 0xE0A0, QUOR * 0.768f, 0.0f, 0.5f},  // p371 (small) breve (double-whole) note head
    {FONT_QUOR, 240, "restDoubleWhole", 0xE4E2, QUOR * 0.667f, 0.633f, 1.2f},  // p372 (small) double-whole rest
    {FONT_QUOR, 242, "noteheadSquareWhite", 0xE0B8, QUOR * 0.958f, 0.0f, 0.5f},  // p336 (small) square whole note head
    {FONT_QUOR, 243, "noteheadWhole", 0xE0A2, QUOR * 0.829f, -0.1f, 0.5f},  // p71 (small) whole note head
    {FONT_QUOR, 244, "noteheadHalf", 0xE0A3, QUOR * 0.85f, -0.001f, 0.5f},  // p72 (small) half note head
    {FONT_QUOR, 245, "noteheadXBlack", 0xE0A9, QUOR * 0.85f, 0.007f, 0.5f},  // p76 (small) percussion quarter note head
    {FONT_QUOR, 247, "noteheadDiamondHalfWide", 0xE0DA, QUOR * 0.712f, 0.0f, 0.5f},  // p79 (small) open lozenge note head
    {FONT_QUOR, 248, "noteheadDiamondBlackWide", 0xE0DC, QUOR * 0.714f, 0.0f, 0.5f},  // p80 (small) closed lozenge note head
    {FONT_QUOR, 249, "noteheadDiamondHalfOld", 0xE0E1, QUOR * 0.85f, 0.005f, 0.5f},  // p77 (small) open harmonic note head
    {FONT_QUOR, 250, "flag8thDown", 0xE241, QUOR, 0.0f, 0.0f},  // p66 stem-down eighth note flag
    {FONT_QUOR, 251, "flag32ndDown", 0xE245, QUOR, 0.0f, 0.0f},  // p68 stem-down 32nd note flag

    // ---- Sayl: clefs and special accidentals, at 24 points ----
    {FONT_SAYL, 32, "space", 0x0020, SAYL, 0.0f, 0.0f},  // the space around a drawn character
    {FONT_SAYL, 39, "accidentalThreeQuarterTonesSharpArrowUp", 0xE274, SAYL, 0.0f, 0.9f},  // p426 special accidental 8
    {FONT_SAYL, 40, "arrowBlackUp", 0xEB60, SAYL, 2.0f, 0.8f},  // p627 symbol for bend to higher pitch on tablature staff
    {FONT_SAYL, 41, "arrowBlackDown", 0xEB64, SAYL, 2.0f, 1.6f},  // p628 symbol for bend to lower pitch on tablature staff
    {FONT_SAYL, 59, "accidentalQuarterToneSharpNaturalArrowUp", 0xE272, SAYL, 0.104f, 0.9f},  // p425 special accidental 7
    {FONT_SAYL, 91, "unpitchedPercussionClef1", 0xE069, SAYL, 0.0f, 1.0f},  // p344 dual bar percussion clef at start of staff
    {FONT_SAYL, 93, "unpitchedPercussionClef1", 0xE069, SAYL, 0.0f, 1.029f},  // p344 (small) dual bar percussion clef at start of staff
    {FONT_SAYL, 98, "accidentalNaturalSharp", 0xE268, SAYL, 0.0f, 0.9f},  // p431 special accidental 13
    {FONT_SAYL, 99, "accidentalQuarterToneFlatNaturalArrowDown", 0xE273, SAYL, -0.012f, 0.9f},  // p427 special accidental 9
    {FONT_SAYL, 100, "unpitchedPercussionClef2", 0xE06A, SAYL, 0.0f, 1.0f},  // p346 cymbal clef at start of staff
    {FONT_SAYL, 101, "cClef", 0xE05C, SAYL, 0.0f, 1.0f},  // p114 alto clef at start of staff
    {FONT_SAYL, 102, "unpitchedPercussionClef2", 0xE06A, SAYL, 0.0f, 1.029f},  // p346 (small) cymbal clef at start of staff
    {FONT_SAYL, 103, "accidentalQuarterToneFlatStein", 0xE280, SAYL, -0.004f, 0.9f},  // p419 special accidental 1
    {FONT_SAYL, 104, "accidentalThreeQuarterTonesFlatZimmermann", 0xE281, SAYL, -0.004f, 0.9f},  // p421 special accidental 3
    {FONT_SAYL, 105, "gClef8vb", 0xE052, SAYL * 0.75f, 0.0f, 0.0f},  // p119 octave-down treble clef change in middle of staff
    {FONT_SAYL, 106, "accidentalQuarterToneFlatArrowUp", 0xE270, SAYL, 0.168f, 0.9f},  // p422 special accidental 4
    {FONT_SAYL, 107, "accidentalArrowUp", 0xE27A, SAYL, 0.0f, 0.9f},  // p423 special accidental 5
    {FONT_SAYL, 108, "accidentalArrowDown", 0xE27B, SAYL, 0.0f, 0.9f},  // p424 special accidental 6
    {FONT_SAYL, 110, "accidentalThreeQuarterTonesSharpStein", 0xE283, SAYL, -0.012f, 0.9f},  // p432 special accidental 14
    {FONT_SAYL, 111, "barlineHeavy", 0xE034, SAYL * 0.5f, 0.0f, 0.0f},  // p342 single bar percussion clef at start of staff
    {FONT_SAYL, 112, "barlineHeavy", 0xE034, SAYL * 0.5f, 0.0f, 0.029f},  // p342 (small) single bar percussion clef at start of staff
    {FONT_SAYL, 113, "gClef", 0xE050, SAYL, 0.0f, 0.0f},  // p112 treble clef at start of staff
    {FONT_SAYL, 114, "cClef", 0xE05C, SAYL * 0.75f, 0.0f, 1.0f},  // p115 alto clef change in middle of staff
    {FONT_SAYL, 115, "arpeggiato", 0xE63C, SAYL, 0.0f, 0.0f},  // p339 arpeggiation character (\arp)
    {FONT_SAYL, 116, "fClef", 0xE062, SAYL, 0.02f, 2.0f},  // p116 bass clef at start of staff
    {FONT_SAYL, 117, "gClef8vb", 0xE052, SAYL, 0.0f, 0.0f},  // p118 octave-down treble clef at start of staff
    {FONT_SAYL, 118, "accidentalQuarterToneSharpStein", 0xE282, SAYL, 0.0f, 0.9f},  // p420 special accidental 2
    {FONT_SAYL, 119, "gClef", 0xE050, SAYL * 0.75f, 0.0f, 0.0f},  // p113 treble clef change in middle of staff
    {FONT_SAYL, 120, "accidentalNaturalFlat", 0xE267, SAYL, 0.0f, 0.9f},  // p428 special accidental 10
    {FONT_SAYL, 121, "fClef", 0xE062, SAYL * 0.75f, 0.015f, 2.0f},  // p117 bass clef change in middle of staff
    {FONT_SAYL, 122, "accidentalThreeQuarterTonesFlatArrowDown", 0xE271, SAYL, 0.156f, 0.9f},  // p429 special accidental 11

    // ---- Sonata: the second default set, at 20 points ----
    {FONT_SONATA, 32, "space", 0x0020, SONATA, 0.0f, 0.0f},  // the space around a drawn character
    {FONT_SONATA, 35, "accidentalSharp", 0xE262, SONATA, -0.16f, 0.0f},  // p28 sharp
    {FONT_SONATA, 37, "segno", 0xE047, SONATA, 0.0f, 0.0f},  // p723 segno (\segno)
    {FONT_SONATA, 38, "gClef", 0xE050, SONATA, 0.0f, 1.0f},  // p112 treble clef at start of staff
    {FONT_SONATA, 42, "keyboardPedalUp", 0xE655, SONATA, -0.7f, 0.0f},  // p607 pedal up marking (\*)
    {FONT_SONATA, 45, "articTenutoAbove", 0xE4A4, SONATA, 0.026f, -0.096f},  // p5 tenuto mark
    {FONT_SONATA, 46, "augmentationDot", 0xE1E7, SONATA, 0.02f, 0.0f},  // p20 dot for dotted notes
    {FONT_SONATA, 48, "timeSig0", 0xE080, SONATA, -0.22f, 0.0f},  // p31 0 for time signatures
    {FONT_SONATA, 49, "timeSig1", 0xE081, SONATA, -0.168f, 0.0f},  // p32 1 for time signatures
    {FONT_SONATA, 50, "timeSig2", 0xE082, SONATA, -0.212f, 0.0f},  // p33 2 for time signatures
    {FONT_SONATA, 51, "timeSig3", 0xE083, SONATA, -0.202f, 0.0f},  // p34 3 for time signatures
    {FONT_SONATA, 52, "timeSig4", 0xE084, SONATA, -0.28f, 0.0f},  // p35 4 for time signatures
    {FONT_SONATA, 53, "timeSig5", 0xE085, SONATA, -0.206f, 0.0f},  // p36 5 for time signatures
    {FONT_SONATA, 54, "timeSig6", 0xE086, SONATA, -0.208f, 0.0f},  // p37 6 for time signatures
    {FONT_SONATA, 55, "timeSig7", 0xE087, SONATA, -0.202f, 0.0f},  // p38 7 for time signatures
    {FONT_SONATA, 56, "timeSig8", 0xE088, SONATA, -0.212f, 0.0f},  // p39 8 for time signatures
    {FONT_SONATA, 57, "timeSig9", 0xE089, SONATA, -0.208f, 0.0f},  // p40 9 for time signatures
    {FONT_SONATA, 62, "articAccentAbove", 0xE4A0, SONATA, 0.262f, 0.128f},  // p8 accent horizontal
    {FONT_SONATA, 63, "fClef", 0xE062, SONATA, 0.02f, 3.0f},  // p116 bass clef at start of staff
    {FONT_SONATA, 66, "cClef", 0xE05C, SONATA, 0.0f, 2.0f},  // p114 alto clef at start of staff
    {FONT_SONATA, 67, "timeSigCutCommon", 0xE08B, SONATA, 0.0f, 0.0f},  // p60 cut time
    {FONT_SONATA, 70, "dynamicMF", 0xE52D, SONATA, 0.0f, 0.0f},  // p46 mf dynamic (\mf)
    {FONT_SONATA, 73, "accidentalSharp", 0xE262, SONATA * 0.75f, -0.28f, 0.0f},  // p28 (small) sharp
    {FONT_SONATA, 77, "ornamentMordent", 0xE56D, SONATA, 0.0f, 0.0f},  // p730 downward mordent (\mordent2)
    {FONT_SONATA, 79, "noteheadDiamondHalfOld", 0xE0E1, SONATA * 1.1f, 0.06f, 0.0f},  // p77 open harmonic note head
    {FONT_SONATA, 80, "dynamicMP", 0xE52C, SONATA, 0.0f, 0.0f},  // p45 mp dynamic (\mp)
    {FONT_SONATA, 84, "ornamentTurn", 0xE567, SONATA, 0.0f, 0.0f},  // p732 turn (\turn)
    {FONT_SONATA, 85, "fermataAbove", 0xE4C0, SONATA, -0.016f, 0.012f},  // p6 fermata above note (\fermata)
    {FONT_SONATA, 87, "noteheadDoubleWhole", 0xE0A0, SONATA, 0.032f, 0.0f},  // p371 breve (double-whole) note head
    {FONT_SONATA, 94, "articMarcatoAbove", 0xE4AC, SONATA, 0.152f, 0.296f},  // p9 accent above
    {FONT_SONATA, 98, "accidentalFlat", 0xE260, SONATA, 0.0f, 0.02f},  // p26 flat
    {FONT_SONATA, 99, "timeSigCommon", 0xE08A, SONATA, -0.02f, 0.0f},  // p59 common time
    {FONT_SONATA, 102, "dynamicForte", 0xE522, SONATA, 0.3f, 0.0f},  // p47 f dynamic (\f)
    {FONT_SONATA, 105, "accidentalFlat", 0xE260, SONATA * 0.75f, -0.12f, 0.02f},  // p26 (small) flat
    {FONT_SONATA, 109, "ornamentShortTrill", 0xE56C, SONATA, 0.0f, 0.0f},  // p729 upward mordent (\mordent)
    {FONT_SONATA, 110, "accidentalNatural", 0xE261, SONATA, -0.14f, 0.0f},  // p27 natural
    {FONT_SONATA, 112, "dynamicPiano", 0xE520, SONATA, 0.3f, 0.0f},  // p44 p dynamic (\p)
    {FONT_SONATA, 114, "dynamicRinforzando", 0xE523, SONATA, 0.0f, 0.0f},  // the r of a compound dynamic (rf)
    {FONT_SONATA, 115, "dynamicSforzando", 0xE524, SONATA, 0.0f, 0.0f},  // the s of a compound dynamic (sfz)
    {FONT_SONATA, 117, "fermataBelow", 0xE4C1, SONATA, -0.016f, 0.0f},  // p7 fermata below note (\fermata2)
    {FONT_SONATA, 118, "articMarcatoBelow", 0xE4AD, SONATA, 0.152f, 1.308f},  // p10 accent below
    {FONT_SONATA, 119, "noteheadWhole", 0xE0A2, SONATA, -0.094f, 0.0f},  // p71 whole note head
    {FONT_SONATA, 122, "dynamicZ", 0xE525, SONATA, -0.15f, 0.0f},  // the z of a compound dynamic (fz), under the f
    {FONT_SONATA, 123, "repeatDots", 0xE043, SONATA, 0.0f, 0.0f},  // p24 repeat dots
    {FONT_SONATA, 161, "keyboardPedalPed", 0xE650, SONATA, -0.7f, 0.0f},  // p606 pedal marking (\ped)
    {FONT_SONATA, 167, "brace", 0xE000, SONATA * 4.f, 0.0f, -12.0f},  // p708 Sonata system brace: top part
    {FONT_SONATA, 168, "rest32nd", 0xE4E8, SONATA, 0.074f, 0.5f},  // p56 32nd rest
    {FONT_SONATA, 173, "noteheadSquareWhite", 0xE0B8, SONATA * 1.1f, 0.061f, 0.0f},  // p336 square whole note head
    {FONT_SONATA, 174, "articStaccatissimoAbove", 0xE4A6, SONATA, 0.098f, 0.208f},  // p714 staccatissimo mark above note
    {FONT_SONATA, 178, "stringsUpBow", 0xE612, SONATA, -0.7f, 0.0f},  // p647 up bow (\upbow)
    {FONT_SONATA, 179, "stringsDownBow", 0xE610, SONATA, -0.7f, 0.0f},  // p646 down bow (\downbow)
    {FONT_SONATA, 181, "wiggleTrill", 0xEAA4, SONATA, 0.0f, 0.0f},  // p731 trill extension segment (\~)
    {FONT_SONATA, 184, "dynamicPPP", 0xE52A, SONATA, 0.0f, 0.0f},  // p42 ppp dynamic (\ppp)
    {FONT_SONATA, 185, "dynamicPP", 0xE52B, SONATA, 0.0f, 0.0f},  // p43 pp dynamic (\pp)
    {FONT_SONATA, 186, "accidentalDoubleFlat", 0xE264, SONATA, 0.04f, 0.02f},  // p25 double flat
    {FONT_SONATA, 190, "tremolo3", 0xE222, SONATA, 0.8f, 1.0f},  // p104 triple-slash tremolo mark
    {FONT_SONATA, 192, "noteheadXBlack", 0xE0A9, SONATA * 1.1f, 0.112f, 0.0f},  // p74 percussion whole note head
    {FONT_SONATA, 195, "ottavaAlta", 0xE511, SONATA, 0.0f, 0.0f},  // p727 8va (\8va)
    {FONT_SONATA, 196, "dynamicFF", 0xE52F, SONATA, 0.0f, 0.0f},  // p48 ff dynamic (\ff)
    {FONT_SONATA, 197, "rest16th", 0xE4E7, SONATA, 0.02f, 0.5f},  // p55 16th rest
    {FONT_SONATA, 206, "restQuarter", 0xE4E5, SONATA, -0.022f, 0.1f},  // p53 quarter rest
    {FONT_SONATA, 207, "noteheadBlack", 0xE0A4, SONATA * 1.1f, 0.051f, 0.0f},  // p73 quarter note head
    {FONT_SONATA, 208, "noteheadSquareBlack", 0xE0B9, SONATA * 1.1f, 0.011f, 0.0f},  // p338 square quarter note head
    {FONT_SONATA, 212, "repeat1Bar", 0xE500, SONATA, 0.0f, 0.0f},  // p726 repeat bar (\/)
    {FONT_SONATA, 215, "ottavaBassa", 0xE512, SONATA, 0.0f, 0.0f},  // p728 8vb (\8vb)
    {FONT_SONATA, 217, "ornamentTrill", 0xE566, SONATA, 0.0f, 0.0f},  // p11 tr (\tr)
    {FONT_SONATA, 220, "accidentalDoubleSharp", 0xE263, SONATA, 0.04f, 0.0f},  // p29 double sharp
    {FONT_SONATA, 221, "noteheadDoubleWholeSquare", 0xE0A1, SONATA, 0.158f, 0.0f},  // p385 square breve (double-whole) note head
    {FONT_SONATA, 222, "coda", 0xE048, SONATA, 0.0f, 0.0f},  // p724 coda symbol (\coda)
    {FONT_SONATA, 225, "noteheadDiamondHalfWide", 0xE0DA, SONATA, -0.002f, 0.0f},  // p79 open lozenge note head
    {FONT_SONATA, 226, "noteheadDiamondBlackWide", 0xE0DC, SONATA, 0.0f, 0.0f},  // p80 closed lozenge note head
    {FONT_SONATA, 227, "restDoubleWhole", 0xE4E2, SONATA, 0.05f, 0.0f},  // p372 double-whole rest
    {FONT_SONATA, 228, "rest8th", 0xE4E6, SONATA, 0.026f, -0.5f},  // p54 eighth rest
    {FONT_SONATA, 229, "rest128th", 0xE4EA, SONATA, 0.11f, 2.5f},  // p58 128th rest
    {FONT_SONATA, 233, "accidentalNatural", 0xE261, SONATA * 0.75f, -0.12f, 0.0f},  // p27 (small) natural
    {FONT_SONATA, 234, "brace", 0, SONATA, 0.0f, 0.0f},  // p709 Sonata system brace: bottom part: drawn whole by code 167
    {FONT_SONATA, 236, "dynamicFFF", 0xE530, SONATA, 0.0f, 0.0f},  // p49 fff dynamic (\fff)
    {FONT_SONATA, 238, "restHalf", 0xE4E4, SONATA, 0.236f, 0.0f},  // p52 half rest
    {FONT_SONATA, 244, "rest64th", 0xE4E9, SONATA, 0.094f, 1.5f},  // p57 64th rest
    {FONT_SONATA, 250, "noteheadHalf", 0xE0A3, SONATA * 1.1f, 0.051f, 0.0f},  // p72 half note head

    // ---- "Simplified Music Notation": shaped heads and history marks, at 12 points ----
    {FONT_SIMPLIFIED_NOTATION, 32, "space", 0x0020, SIMPLIFIED, 0.0f, 0.0f},  // the space around a drawn character
    {FONT_SIMPLIFIED_NOTATION, 68, "accidentalSharp", 0xE262, SIMPLIFIED, 0.0f, 0.436f},  // p717 simplified music notation sharp history mark
    {FONT_SIMPLIFIED_NOTATION, 69, "noteheadTriangleUpHalf", 0xE0BC, SIMPLIFIED, 0.44f, 0.5f},  // p687 simplified sharp open note head (stem right)
    {FONT_SIMPLIFIED_NOTATION, 70, "accidentalDoubleSharp", 0xE263, SIMPLIFIED, 0.0f, 0.436f},  // p718 simplified music notation double-sharp history mark
    {FONT_SIMPLIFIED_NOTATION, 71, "accidentalDoubleFlat", 0xE264, SIMPLIFIED, 0.0f, 0.48f},  // p715 simplified music notation double-flat history mark
    {FONT_SIMPLIFIED_NOTATION, 72, "accidentalFlat", 0xE260, SIMPLIFIED, 0.0f, 0.48f},  // p716 simplified music notation flat history mark
    {FONT_SIMPLIFIED_NOTATION, 79, "noteheadTriangleDownHalf", 0xE0C5, SIMPLIFIED, 0.16f, 0.5f},  // p702 simplified flat open note head (stem left)
    {FONT_SIMPLIFIED_NOTATION, 80, "noteheadTriangleDownBlack", 0xE0C7, SIMPLIFIED, 0.16f, 0.5f},  // p678 simplified flat closed note head (stem left)
    {FONT_SIMPLIFIED_NOTATION, 81, "noteheadTriangleUpHalf", 0xE0BC, SIMPLIFIED, 0.12f, 0.5f},  // p677 simplified sharp open note head (stem left)
    {FONT_SIMPLIFIED_NOTATION, 82, "noteheadTriangleUpBlack", 0xE0BE, SIMPLIFIED, 0.408f, 0.5f},  // p688 simplified sharp closed note head (stem right)
    {FONT_SIMPLIFIED_NOTATION, 83, "noteheadTriangleDownDoubleWhole", 0xE0C3, SIMPLIFIED, -0.32f, 0.5f},  // p674 simplified flat breve note head
    {FONT_SIMPLIFIED_NOTATION, 84, "noteheadTriangleUpDoubleWhole", 0xE0BA, SIMPLIFIED, -0.32f, 0.5f},  // p675 simplified sharp breve note head
    {FONT_SIMPLIFIED_NOTATION, 87, "noteheadTriangleUpBlack", 0xE0BE, SIMPLIFIED, 0.12f, 0.5f},  // p679 simplified sharp closed note head (stem left)
};
// clang-format on

constexpr int FONT_COUNT = 4;

int font_slot(int font_number) {
  switch (font_number) {
    case FONT_QUOR:
      return 0;
    case FONT_SAYL:
      return 1;
    case FONT_SONATA:
      return 2;
    case FONT_SIMPLIFIED_NOTATION:
      return 3;
    default:
      return -1;
  }
}

// Entry index + 1 by font slot and code; 0 for no entry.
using GlyphIndex = std::array<std::array<int16_t, 256>, FONT_COUNT>;

const GlyphIndex& glyph_index() {
  static const GlyphIndex index = [] {
    GlyphIndex built{};
    for (size_t i = 0; i < std::size(GLYPHS); ++i)
      built[static_cast<size_t>(font_slot(GLYPHS[i].font))][GLYPHS[i].code] =
          static_cast<int16_t>(i + 1);
    return built;
  }();
  return index;
}

UnmappedGlyphHandler unmapped_handler = nullptr;
std::set<std::pair<int, int>> reported;

}  // namespace

const MusicFontGlyph* music_font_glyph(int font_number, int code) {
  const int slot = font_slot(font_number);
  if (slot < 0 || code < 0 || code > 255) return nullptr;
  const int entry = glyph_index()[static_cast<size_t>(slot)][static_cast<size_t>(code)];
  if (entry) return &GLYPHS[entry - 1];
  // Printed pages are drawn on several threads at once: a code is reported once by one.
  static std::mutex reporting;
  std::lock_guard lock(reporting);
  if (reported.insert({font_number, code}).second && unmapped_handler)
    unmapped_handler(font_number, code);
  return nullptr;
}

int music_font_code(int font_number, const char* name) {
  for (const MusicFontGlyph& g : GLYPHS)
    if (g.font == font_number && std::strcmp(g.name, name) == 0) return g.code;
  return -1;
}

const MusicFontGlyph* music_font_glyph_table(int* count) {
  *count = static_cast<int>(std::size(GLYPHS));
  return GLYPHS;
}

int music_font_design_size(int font_number) {
  switch (font_number) {
    case FONT_QUOR:
    case FONT_SIMPLIFIED_NOTATION:
      return 12;
    case FONT_SAYL:
      return 24;
    case FONT_SONATA:
      return 20;
    default:
      return 0;
  }
}

double music_font_scale(int font_number) {
  const int design = music_font_design_size(font_number);
  return design ? 20.0 / design : 1.0;
}

bool music_font_has_glyph(char32_t code_point) {
  if (!qGuiApp) return false;
  const std::string family = platform_font_family(FONT_QUOR);
  if (family.empty()) return false;
  QFont font(QString::fromStdString(family));
  font.setPixelSize(40);
  font.setStyleStrategy(QFont::NoFontMerging);
  const QRawFont raw = QRawFont::fromFont(font);
  return raw.isValid() && raw.supportsCharacter(code_point);
}

void platform_set_unmapped_glyph_handler(UnmappedGlyphHandler handler) {
  unmapped_handler = handler;
}

void platform_forget_unmapped_glyphs() { reported.clear(); }
