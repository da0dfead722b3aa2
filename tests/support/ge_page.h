// ge_page.h: the GE list of a realistic formatted page, made in code for tests and
// benchmarks.
#pragma once

// Page size in tenths of an inch (letter) and the standard zoom.
inline constexpr int GE_PAGE_WIDTH = 85;
inline constexpr int GE_PAGE_HEIGHT = 110;

// Appends to the current GE list the elements of a page of `staves` five-line staves: staff
// lines, a brace and system bar lines, per staff a clef, a time signature and four bars of
// eight notes (heads with screen twins, stems, beams with screen twins, accidentals, ledger
// lines, bar lines), a slur and a tie per bar, a dashed curve and a dashed line, bar numbers
// and a title. The parameter table must be built; GE_head must exist. With text_glyphs every
// music glyph is then put in the Times font, so that each one is really rasterised.
void build_ge_page(int staves, bool text_glyphs);
