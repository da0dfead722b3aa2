// design_outlines.cpp: glyph outlines from faces of the program's own at the fonts' design
// sizes (see design_outlines.h). One thread at a time uses them (the port holds a lock).
#include "platform/design_outlines.h"

#include <fontconfig/fcfreetype.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H
#include FT_ADVANCES_H
#include FT_SIZES_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QPointF>
#include <QtGui/private/qfontengine_p.h>
#include <QtGui/private/qrawfont_p.h>

namespace {

// A face opened here, set to its design size once.
struct OwnFace {
  FT_Face face = nullptr;
  QByteArray head;   // the font's 'head' table, which tells one font file from another
  int setting = -1;  // how it sets the default, Latin and Greek scripts (TextSetting), once known
  FT_Size design = nullptr;      // the face's own size object, at the design size
  std::map<int, FT_Size> sizes;  // others, by pixel size, made as glyphs' boxes are asked at them
  std::unordered_map<uint64_t, GlyphBox> boxes;  // glyphs' boxes by pixel size and glyph
};

FT_Library library() {
  static FT_Library kept = [] {
    FT_Library made = nullptr;
    return FT_Init_FreeType(&made) == 0 ? made : nullptr;
  }();
  return kept;
}

// The faces and what finds them are kept to the end of the program, never destroyed (the
// toolkit's engines that the raw fonts hold must not outlive the toolkit's font library).
std::vector<QByteArray>& noted_data() {
  static auto& kept = *new std::vector<QByteArray>();
  return kept;
}

QByteArray sfnt_table(FT_Face face, FT_ULong tag) {
  FT_ULong length = 0;
  if (FT_Load_Sfnt_Table(face, tag, 0, nullptr, &length) != 0 || length == 0) return {};
  QByteArray table(qsizetype(length), '\0');
  if (FT_Load_Sfnt_Table(face, tag, 0, reinterpret_cast<FT_Byte*>(table.data()), &length) != 0)
    return {};
  return table;
}

// Opens a face from a file or from bytes; null when it cannot serve: no scalable outlines,
// variable axes, or no 'head' table.
std::unique_ptr<OwnFace> open_face(const std::string& file, int index, const QByteArray* data) {
  FT_Library lib = library();
  if (!lib) return nullptr;
  FT_Face face = nullptr;
  const FT_Error error =
      data ? FT_New_Memory_Face(lib, reinterpret_cast<const FT_Byte*>(data->constData()),
                                FT_Long(data->size()), index, &face)
           : FT_New_Face(lib, file.c_str(), index, &face);
  if (error != 0) return nullptr;
  auto own = std::make_unique<OwnFace>();
  own->face = face;
  own->head = sfnt_table(face, TTAG_head);
  if (!FT_IS_SCALABLE(face) || !FT_IS_SFNT(face) || FT_HAS_MULTIPLE_MASTERS(face) ||
      own->head.size() < 54 || face->units_per_EM == 0 ||
      FT_Set_Char_Size(face, FT_F26Dot6(face->units_per_EM) << 6,
                       FT_F26Dot6(face->units_per_EM) << 6, 0, 0) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  own->design = face->size;
  return own;
}

// Faces opened so far, by file and index (bytes noted: by their address).
std::map<std::pair<std::string, int>, std::unique_ptr<OwnFace>>& opened() {
  static auto& kept = *new std::map<std::pair<std::string, int>, std::unique_ptr<OwnFace>>();
  return kept;
}

OwnFace* face_of(const std::string& file, int index, const QByteArray* data) {
  auto& faces = opened();
  const auto key = std::make_pair(file, index);
  auto it = faces.find(key);
  if (it == faces.end()) it = faces.emplace(key, open_face(file, index, data)).first;
  return it->second.get();
}

// Bytes noted are known by their address.
OwnFace* noted_face(const QByteArray& data) {
  return face_of(std::to_string(quintptr(data.constData())), 0, &data);
}

uint16_t be16(const QByteArray& b, qsizetype at) {
  return uint16_t((uint8_t(b[at]) << 8) | uint8_t(b[at + 1]));
}

// The PostScript name the font's 'name' table gives (id 6), Windows Unicode or Mac Roman.
std::string postscript_name(const QByteArray& name) {
  if (name.size() < 6) return {};
  const int count = be16(name, 2);
  const qsizetype strings = be16(name, 4);
  for (int i = 0; i < count; ++i) {
    const qsizetype record = 6 + qsizetype(i) * 12;
    if (record + 12 > name.size()) break;
    const uint16_t platform = be16(name, record), encoding = be16(name, record + 2);
    const uint16_t id = be16(name, record + 6);
    const qsizetype length = be16(name, record + 8), offset = be16(name, record + 10);
    if (id != 6 || strings + offset + length > name.size()) continue;
    std::string text;
    if (platform == 3 && (encoding == 1 || encoding == 0)) {
      for (qsizetype k = 0; k + 1 < length; k += 2) {
        const uint16_t unit = be16(name, strings + offset + k);
        if (unit < 0x21 || unit > 0x7e) return {};  // printable ASCII only
        text += char(unit);
      }
    } else if (platform == 1 && encoding == 0) {
      text.assign(name.constData() + strings + offset, size_t(length));
    } else {
      continue;
    }
    if (!text.empty()) return text;
  }
  return {};
}

// The face of the file the raw font's engine reads: the noted bytes, the file the engine names,
// or an installed file of the font's PostScript name, whose 'head' table is the engine's own.
OwnFace* find_face(const QRawFont& raw, const QByteArray& head, const std::string& name) {
  if (head.size() < 54) return nullptr;
  for (const QByteArray& data : noted_data()) {
    OwnFace* own = noted_face(data);
    if (own && own->head == head) return own;
  }
  if (const QFontEngine* engine = QRawFontPrivate::get(raw)->fontEngine) {
    const QFontEngine::FaceId id = engine->faceId();
    if (!id.filename.isEmpty() && id.index >= 0 && (id.index >> 16) == 0) {
      OwnFace* own = face_of(id.filename.toStdString(), id.index, nullptr);
      if (own && own->head == head) return own;
    }
  }
  if (name.empty()) return nullptr;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, nullptr);
  FcFontSet* fonts = nullptr;
  if (pattern && objects &&
      FcPatternAddString(pattern, FC_POSTSCRIPT_NAME,
                         reinterpret_cast<const FcChar8*>(name.c_str())))
    fonts = FcFontList(nullptr, pattern, objects);
  OwnFace* found = nullptr;
  for (int i = 0; fonts && i < fonts->nfont && !found; ++i) {
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
    if (FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    if (index < 0 || (index >> 16) != 0) continue;  // named instances of variable fonts
    OwnFace* own = face_of(reinterpret_cast<const char*>(file), index, nullptr);
    if (own && own->head == head) found = own;
  }
  if (fonts) FcFontSetDestroy(fonts);
  if (objects) FcObjectSetDestroy(objects);
  if (pattern) FcPatternDestroy(pattern);
  return found;
}

OwnFace* face_for(const QRawFont& raw) {
  static auto& known = *new std::vector<std::pair<QRawFont, OwnFace*>>();
  for (const auto& [font, face] : known)
    if (font == raw) return face;
  // Every size of a font reads the same file; only the fonts of one collection may share a
  // 'head', and are told apart by name.
  static auto& by_head = *new std::map<QByteArray, OwnFace*>();
  const QByteArray head = raw.fontTable("head");
  auto it = by_head.find(head);
  OwnFace* face = nullptr;
  if (it != by_head.end() && (!it->second || it->second->face->num_faces == 1)) {
    face = it->second;
  } else {
    face = find_face(raw, head, postscript_name(raw.fontTable("name")));
    if (it == by_head.end()) by_head.emplace(head, face);
  }
  known.emplace_back(raw, face);
  return face;
}

// The glyph slot's outline as a path: quadratic pieces become cubic ones, a contour starting
// off the curve starts at the midpoint of its ends or at its on-curve end.
void add_outline(const FT_Outline& o, FT_Fixed x_scale, FT_Fixed y_scale, QPointF pen,
                 QPainterPath* path) {
  const qreal factor = 1 / 64.;
  auto at = [&](int k) {
    return QPointF(qreal(FT_MulFix(o.points[k].x, x_scale)) * factor,
                   qreal(-FT_MulFix(o.points[k].y, y_scale)) * factor);
  };
  int i = 0;
  for (int j = 0; j < o.n_contours; ++j) {
    const int last = o.contours[j];
    QPointF start = at(i);
    if (!(o.tags[i] & 1)) {
      start = (o.tags[last] & 1) ? at(last) : (at(last) + start) / 2.0;
      --i;  // the first point is a control point of the first piece
    }
    start += pen;
    path->moveTo(start);
    QPointF c[4];
    c[0] = start;
    int n = 1;
    while (i < last) {
      ++i;
      c[n] = pen + at(i);
      ++n;
      switch (o.tags[i] & 3) {
        case 2:  // cubic control point
          if (n < 4) continue;
          c[3] = (c[3] + c[2]) / 2;
          --i;
          break;
        case 0:  // quadratic control point
          if (n < 3) continue;
          c[3] = (c[1] + c[2]) / 2;
          c[2] = (2 * c[1] + c[3]) / 3;
          c[1] = (2 * c[1] + c[0]) / 3;
          --i;
          break;
        default:  // on the curve
          if (n == 2) {
            path->lineTo(c[1]);
            c[0] = c[1];
            n = 1;
            continue;
          }
          if (n == 3) {
            c[3] = c[2];
            c[2] = (2 * c[1] + c[3]) / 3;
            c[1] = (2 * c[1] + c[0]) / 3;
          }
          break;
      }
      path->cubicTo(c[1], c[2], c[3]);
      c[0] = c[3];
      n = 1;
    }
    if (n == 1) {
      path->closeSubpath();
    } else {
      c[3] = start;
      if (n == 2) {
        c[2] = (2 * c[1] + c[3]) / 3;
        c[1] = (2 * c[1] + c[0]) / 3;
      }
      path->cubicTo(c[1], c[2], c[3]);
    }
    ++i;
  }
}

// The face of the raw font's file in the style asked for; null where the toolkit would draw
// the glyph otherwise (a face thickened or slanted by it).
OwnFace* styled_face(const QRawFont& raw, bool bold, bool italic) {
  if (!raw.isValid()) return nullptr;
  OwnFace* own = face_for(raw);
  if (!own) return nullptr;
  const FT_Face face = own->face;
  if ((bold && !(face->style_flags & FT_STYLE_FLAG_BOLD)) ||
      (italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC)))
    return nullptr;
  return own;
}

bool whole_pixel_size(qreal size) { return size > 0 && size == std::floor(size) && size <= 32767; }

// The face that serves the raw font, at a whole pixel size; null where the toolkit would
// draw the glyph otherwise.
FT_Face serving_face(const QRawFont& raw, bool bold, bool italic) {
  if (!whole_pixel_size(raw.pixelSize())) return nullptr;
  OwnFace* own = styled_face(raw, bold, italic);
  return own ? own->face : nullptr;
}

}  // namespace

bool note_font_bytes(const QByteArray& data) {
  noted_data().push_back(data);
  return noted_face(data) != nullptr;
}

FcPattern* note_font_data(const QByteArray& data, const char* file) {
  noted_data().push_back(data);
  const OwnFace* own = noted_face(data);
  // The face set to a size is described as a fresh one: only its tables are read.
  return own ? FcFreeTypeQueryFace(own->face, reinterpret_cast<const FcChar8*>(file), 0, nullptr)
             : nullptr;
}

bool design_outline(const QRawFont& raw, bool bold, bool italic, quint32 glyph, double x, double y,
                    QPainterPath* outline) {
  // The pen, in 64ths of a pixel.
  const double pen_x = x * 64, pen_y = y * 64;
  if (!(std::fabs(pen_x) < 1e9 && std::fabs(pen_y) < 1e9)) return false;
  const QPointF pen(qreal(int(pen_x)) / qreal(64), qreal(int(pen_y)) / qreal(64));
  FT_Face face = serving_face(raw, bold, italic);
  if (!face) return false;
  const qreal size = raw.pixelSize();
  // Unhinted, as the layout's outlines are: the font's hinting program is not run for each glyph.
  if (FT_Load_Glyph(face, FT_UInt(glyph), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
    return false;
  if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  // The design size's 26.6 units to the size asked for, as a 16.16 factor.
  const FT_Fixed scale = FT_MulDiv(FT_Long(size) << 6, 1 << 10, face->units_per_EM);
  add_outline(face->glyph->outline, scale, scale, pen, outline);
  return true;
}

bool design_advance_at(const QRawFont& raw, qreal pixel_size, bool bold, bool italic, quint32 glyph,
                       double* advance) {
  if (!whole_pixel_size(pixel_size)) return false;
  OwnFace* own = styled_face(raw, bold, italic);
  FT_Fixed units = 0;
  if (!own || FT_Get_Advance(own->face, FT_UInt(glyph), FT_LOAD_NO_SCALE, &units) != 0)
    return false;
  const FT_Face face = own->face;
  // Font units to 16.16 pixels at the size asked for, then to 26.6.
  const FT_Fixed x_scale = FT_DivFix(FT_Long(pixel_size) << 6, face->units_per_EM);
  const FT_Fixed linear = FT_MulDiv(units, x_scale, 64);
  *advance = qreal(int(linear >> 10)) / qreal(64);
  return true;
}

bool design_glyph_box(const QRawFont& raw, int pixel_size, bool bold, bool italic, quint32 glyph,
                      GlyphBox* box) {
  if (!whole_pixel_size(pixel_size)) return false;
  OwnFace* own = styled_face(raw, bold, italic);
  if (!own || !own->design) return false;
  const uint64_t key = (uint64_t(uint32_t(pixel_size)) << 32) | glyph;
  if (auto kept = own->boxes.find(key); kept != own->boxes.end()) {
    *box = kept->second;
    return true;
  }
  // Loaded at its size by a size object of its own, the face's design size kept for outlines.
  const FT_Face face = own->face;
  FT_Size& sized = own->sizes[pixel_size];
  const FT_F26Dot6 size = FT_F26Dot6(pixel_size) << 6;
  if (!sized && FT_New_Size(face, &sized) != 0) sized = nullptr;
  bool loaded = sized && FT_Activate_Size(sized) == 0 &&
                FT_Set_Char_Size(face, size, size, 0, 0) == 0 &&
                FT_Load_Glyph(face, FT_UInt(glyph), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0 &&
                face->glyph->format == FT_GLYPH_FORMAT_OUTLINE;
  const FT_Glyph_Metrics m = face->glyph->metrics;
  loaded &= FT_Activate_Size(own->design) == 0;
  if (!loaded) return false;
  // The ink's edges rounded out to whole pixels.
  const FT_Pos left = m.horiBearingX & -64, right = (m.horiBearingX + m.width + 63) & -64;
  const FT_Pos top = (m.horiBearingY + 63) & -64, bottom = (m.horiBearingY - m.height) & -64;
  box->x = int(left >> 6);
  box->y = -int(top >> 6);
  box->width = int((right - left) >> 6);
  box->height = int((top - bottom) >> 6);
  own->boxes.emplace(key, *box);
  return true;
}

bool design_face_box(const QRawFont& raw, int pixel_size, bool bold, bool italic, QRectF* box) {
  if (!whole_pixel_size(pixel_size)) return false;
  OwnFace* own = styled_face(raw, bold, italic);
  if (!own || !own->design || !FT_IS_SCALABLE(own->face) || own->face->units_per_EM == 0)
    return false;
  const FT_BBox& b = own->face->bbox;
  const double scale = double(pixel_size) / own->face->units_per_EM;
  *box = QRectF(b.xMin * scale, -b.yMax * scale, double(b.xMax - b.xMin) * scale,
                double(b.yMax - b.yMin) * scale);
  return true;
}

namespace {

// The features a layout table ('GSUB' or 'GPOS') applies by default to the default, Latin and
// Greek scripts, added to the list. False when the table is cut short or names a language of
// those scripts.
bool default_features(const QByteArray& t, std::vector<QByteArray>* features) {
  if (t.isEmpty()) return true;
  if (t.size() < 10) return false;
  const qsizetype scripts = be16(t, 4), list = be16(t, 6);
  if (scripts + 2 > t.size() || list + 2 > t.size()) return false;
  const int count = be16(t, scripts), feature_count = be16(t, list);
  auto add = [&](int index) {
    const qsizetype record = list + 2 + qsizetype(index) * 6;
    if (index >= feature_count || record + 6 > t.size()) return false;
    features->push_back(t.mid(record, 4));
    return true;
  };
  for (int i = 0; i < count; ++i) {
    const qsizetype record = scripts + 2 + qsizetype(i) * 6;
    if (record + 6 > t.size()) return false;
    const QByteArray tag = t.mid(record, 4);
    if (tag != "DFLT" && tag != "dflt" && tag != "latn" && tag != "grek") continue;
    const qsizetype script = scripts + be16(t, record + 4);
    if (script + 4 > t.size() || be16(t, script + 2) != 0) return false;
    if (be16(t, script) == 0) continue;  // no default language system
    const qsizetype system = script + be16(t, script);
    if (system + 6 > t.size()) return false;
    const int required = be16(t, system + 2), n = be16(t, system + 4);
    if (required != 0xFFFF && !add(required)) return false;
    for (int k = 0; k < n; ++k)
      if (system + 8 + 2 * k > t.size() || !add(be16(t, system + 6 + 2 * k))) return false;
  }
  return true;
}

}  // namespace

TextSetting text_setting(const QRawFont& raw) {
  OwnFace* own = face_for(raw);
  if (!own) return TextSetting::LAID_OUT;
  if (own->setting < 0) {
    std::vector<QByteArray> substitutions, positions;
    TextSetting setting = TextSetting::LAID_OUT;
    if (default_features(sfnt_table(own->face, TTAG_GSUB), &substitutions) &&
        default_features(sfnt_table(own->face, TTAG_GPOS), &positions)) {
      setting = TextSetting::ALONE;
      if (substitutions.empty() &&
          std::all_of(positions.begin(), positions.end(),
                      [](const QByteArray& feature) { return feature == "kern"; }))
        setting = TextSetting::GLYPH_BY_GLYPH;
    }
    own->setting = int(setting);
  }
  return TextSetting(own->setting);
}
