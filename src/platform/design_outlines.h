// design_outlines.h: inside the platform layer, glyph outlines read from a font's file by a
// face of the program's own that stays at the font's design size.
//
// The toolkit takes an outline from the face that every size of a font shares: it sets that
// face to the design size first, and setting a TrueType face to a size runs the font's
// size program again, far dearer than the outline itself; the next measure at another size sets
// it back. A face kept at the design size runs that program once. The outline comes out as the
// toolkit's own: loaded with the same hints at the same size and scaled to the size asked for in
// the same 16.16 steps, its curves made by the same arithmetic.
#pragma once

#include <fontconfig/fontconfig.h>

#include <QByteArray>
#include <QPainterPath>
#include <QRawFont>

// Adds the outline of a glyph of the raw font's engine at its pixel size, drawn with the pen at
// (x, y), to the path, as the toolkit's layout adds it (the pen placed in 64ths of a pixel,
// what is finer dropped). False, adding nothing, where the toolkit would make it otherwise or
// the font's file is not found: a bold or italic asked of a face that is not (the toolkit
// thickens or slants those), a font of bitmaps or of variable axes.
bool design_outline(const QRawFont& raw, bool bold, bool italic, quint32 glyph, double x, double y,
                    QPainterPath* outline);

// The advance of a glyph of the raw font's engine at a whole pixel size, as the toolkit gives it
// for a font drawn without hints (the design width scaled in the same steps). False where
// design_outline is false.
bool design_advance_at(const QRawFont& raw, qreal pixel_size, bool bold, bool italic, quint32 glyph,
                       double* advance);

// The box of a glyph's ink as the toolkit's engine of a font drawn without hints measures it:
// its edges rounded out to whole pixels, x to the right of the pen and y down from the base line.
struct GlyphBox {
  int x = 0, y = 0, width = 0, height = 0;
};
// The box of a glyph of the raw font's file at a whole pixel size (any size of a font reads its
// file). False where design_outline is false.
bool design_glyph_box(const QRawFont& raw, int pixel_size, bool bold, bool italic, quint32 glyph,
                      GlyphBox* box);
// The box that holds every glyph of the raw font's file at a whole pixel size, in pixels, x to
// the right of the pen and y down from the base line. False where design_outline is false.
bool design_face_box(const QRawFont& raw, int pixel_size, bool bold, bool italic, QRectF* box);

// How the font sets characters of the default, Latin and Greek scripts. The toolkit lays text
// out in the language of the user's locale, and a font may substitute and position glyphs.
enum class TextSetting {
  LAID_OUT,        // only the layout knows: the font names languages of those scripts (or its
                   // file is not found)
  ALONE,           // a character alone is its glyph, the same in every language
  GLYPH_BY_GLYPH,  // and a line is its characters' glyphs side by side: the font substitutes
                   // nothing by default (no ligatures, no contextual forms) and positions
                   // nothing but by kerning, which the program's fonts turn off
};
TextSetting text_setting(const QRawFont& raw);

// A font handed over from memory: its outlines may be read from the same bytes, which stay
// where they are for the rest of the program. Returns fontconfig's description of the font, as
// fontconfig gives it for a font file of the name given (the caller's to destroy), or null
// when the bytes hold no font this file serves. Needs no font configuration.
FcPattern* note_font_data(const QByteArray& data, const char* file);
// The same without the description (made otherwise, from a file of the same bytes): false when
// the bytes hold no font this file serves.
bool note_font_bytes(const QByteArray& data);
