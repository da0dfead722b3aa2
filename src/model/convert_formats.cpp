// convert_formats.cpp: the conversions of piece files of older formats (318 to 343) and of
// the slightly newer ones (345 to 347) to the current layout.
//
// The record conversions run in the order of their table, after the widening of old records
// and the character translation; several depend on that order (a PRINT's staff-size byte is
// rewritten three times on its way from version 318). Every field is addressed by record
// offset, through the bounded helpers of piece_format.h.
#include "model/convert_formats.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "Editor/text_numbers.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/options.h"
#include "model/piece_format.h"
#include "model/voice_lists.h"

namespace {

constexpr int TEXT_OFFSET = 2;  // record offset of a TEXT's characters
constexpr int TEXT_CHARS = 21;  // characters a TEXT holds before its NUL

uint8_t* text_of(Drosa node) { return node->bytes() + NODE_RECORD_OFFSET + TEXT_OFFSET; }

void set_text(Drosa node, const char* text) {
  uint8_t* t = text_of(node);
  std::memset(t, 0, TEXT_CHARS + 1);
  std::memcpy(t, text, strnlen(text, TEXT_CHARS));
}

// The text of a TEXT node as a C string (its NUL is always there after reading).
std::string text_string(Drosa node) {
  const char* t = reinterpret_cast<const char*>(text_of(node));
  return std::string(t, strnlen(t, TEXT_CHARS));
}

bool is_annotation_head(Drosa tparam) { return !rec_bit16(tparam, 16, 9); }

// Multiplies the 32-bit field at a record offset by 10 (wrapping as the stored word would).
void times_ten_32(Drosa node, int offset) {
  set_rec_i32(node, offset, int32_t(uint32_t(rec_i32(node, offset)) * 10u));
}

}  // namespace

// ---- Header conversions -------------------------------------------------------------------

void convert_first_options_record(uint8_t* record, int stored_length, int version) {
  if (version >= 319) return;
  auto times_ten = [&](int offset) {
    put_be32(record + offset, int32_t(uint32_t(get_be32(record + offset)) * 10u));
  };
  for (int offset : {22, 26, 30, 34}) times_ten(offset);
  if (stored_length >= 39)
    for (int offset : {50, 54, 58, 62}) times_ten(offset);
}

void convert_options_records(int stored_length, int version) {
  for (int c = 1; c <= MAX_NCONTEXTS; ++c) {
    if (stored_length < 89) {
      set_options_i32(c, 88, options_i32(c, 22));
      set_options_i32(c, 92, options_i32(c, 30));
    }
    if (version < 341) {
      for (int offset : {88, 92}) {
        int32_t v = options_i32(c, offset);
        if (v < 0 || (v & 0xFF) == 0) set_options_i32(c, offset, (v >> 8) & 0xFF);
      }
    }
    if (version < 343) {
      set_options_float(c, 96, float(options_i16(c, 74)));
      options_struct[c][76] = 0;
    }
  }
}

void convert_perf_defaults(int version) {
  uint8_t* pd = perf_defaults;
  if (version < 344) pd[PERF_PLATFORM_CODE] = pd[PERF_PLATFORM_SPARE] = 0;
  if (version < 329) {
    int16_t table[12];
    for (int k = 0; k < 12; ++k) table[k] = get_be16(pd + 20 + 2 * k);
    static const int shifts[7] = {10, 12, 14, 15, 17, 19, 21};
    for (int j = 0; j < 7; ++j)
      for (int k = 0; k < 5; ++k) put_be16(pd + 72 + 12 * j + 2 * k, table[(k + shifts[j]) % 12]);
  }
  if (version < 331) {
    int16_t old[7][5];
    for (int r = 0; r < 7; ++r)
      for (int c = 1; c <= 5; ++c) old[r][c - 1] = get_be16(pd + 72 + 12 * r + 2 * (c - 1));
    for (int r = 0; r < 7; ++r)
      for (int c = 1; c <= 5; ++c) put_be_float(pd + 70 + 24 * r + 4 * c, old[r][c - 1] / 2.0f);
  }
}

void convert_print_records(int stored_length, int version) {
  for (int c = 1; c <= MAX_NCONTEXTS; ++c) {
    uint8_t* pr = print_record[c];
    if (stored_length >= 0 && stored_length <= 120) {
      put_be32(pr + 120, get_be16(pr + 50));
      put_be32(pr + 124, (get_be16(pr + 24) & 0x2) ? 0 : 1);
      const int32_t paper[4] = {-12, -12, 780, 600};
      for (int i = 0; i < 4; ++i) put_be32(pr + 128 + 4 * i, paper[i]);
    }
    // The six fields at 94..117 came with format 345: older files hold no such fields, and
    // the format written holds none either (reading it clears them), so a newer piece loses
    // them as it is converted rather than one save later.
    if (version < 345 || version > PIECE_FORMAT_WRITTEN)
      for (int offset = 94; offset <= 114; offset += 4) put_be32(pr + offset, 0);
    if (version < 344) pr[118] = pr[119] = 0;
  }
}

void page_setup_notice(int version) {
  if (version > 325 || ncontext_count < 2 || model_hooks.quiet_convert_flag()) return;
  if (current_ncontext != 1)
    REPORT_ERROR(2, "%s",
                 "Use Page Setup before you print the score notation context for this piece.  "
                 "(The parts are ok.)");
  else
    REPORT_ERROR(2, "%s",
                 "Use Page Setup before you print the parts notation contexts for this piece.  "
                 "(The score is ok.)");
}

// ---- Record conversions -------------------------------------------------------------------

namespace {

void convert_up_to_318(Drosa node, int kind) {
  switch (kind) {
    case PRINT: {
      int size = rec_u8(node, 10) * 10;
      set_rec_u8(node, 10, uint8_t(size == 50 || size == 30 ? size : 50));
      if (node->xcontext == 0) node->xcontext = 1;
      break;
    }
    case LINE:
      for (int offset : {2, 6, 10, 14, 20, 24, 28, 32}) times_ten_32(node, offset);
      break;
    case TPARAM:
      times_ten_32(node, 2);
      times_ten_32(node, 6);
      if (rec_i16(node, 10) == model_hooks.music_font_number(FONT_SLOT_QUOR) &&
          rec_u8(node, 13) == 24)
        set_rec_u8(node, 13, 12);
      break;
    case CMOVE:
    case SDRAG:
      times_ten_32(node, 2);
      break;
    case SPACE:
      set_rec_i16(node, 2, int16_t(rec_i16(node, 2) * 10));
      break;
    default:
      break;
  }
}

void convert_up_to_320(Drosa node, int kind, ConversionState* st) {
  // A mid-voice ENDSYST of context 0 belongs to the Score, and so do the clefs and keys
  // standing right after it.
  if (kind == ENDSYST) {
    st->context_move = false;
    if (node->xcontext == 0 && !node->get(xendpiece) && !node->get(xstartpiece)) {
      node->xcontext = 1;
      st->context_move = true;
    }
  } else if (st->context_move) {
    if ((kind == CLEF || kind == KEYSIG) && node->xcontext == 0)
      node->xcontext = 1;
    else if (!(kind == PRINT && rec_u8(node, 10) == 0))
      st->context_move = false;
  }
  if (kind == PRINT && rec_u8(node, 10) == 0) set_rec_u8(node, 10, 50);
  if (kind == LINE && rec_bit16(node, 36, 11)) {
    if (st->voice == 0)
      set_rec_bit16(node, 36, 11, false);
    else
      node->xcontext = -1;
  }
  if (kind == TPARAM) {
    if (is_annotation_head(node)) st->text_marking = rec_bit16(node, 16, 6);
    if (st->text_marking) {
      if (st->voice == 0)
        set_rec_bit16(node, 16, 6, false);
      else
        node->xcontext = -1;
    }
  }
  // The text of a marked annotation goes with its head: outside voice 0 it leaves the Score.
  if (kind == TEXT && st->text_marking && st->voice != 0) node->xcontext = -1;
}

void convert_321(Drosa node, int kind, ConversionState* st) {
  if (kind == NA) {
    st->in_na_run = true;
    st->na_context = node->xcontext;
  } else if (kind == TPARAM && is_annotation_head(node)) {
    st->in_na_run = false;
  } else if ((kind == TPARAM || kind == TEXT) && st->in_na_run) {
    if (!st->text_problems_said)
      REPORT_ERROR(2, "%s", "Your piece has some text problems which are being fixed.");
    st->text_problems_said = true;
    node->xcontext = st->na_context;
  }
}

void convert_note(Drosa node, int version) {
  if (version <= 321) {
    int value = rec_bits16(node, 4, 2, 3);
    set_rec_bits16(node, 4, 2, 3, 0);
    set_rec_bits16(node, 2, 2, 4, value + 4);
  }
  if (version <= 323) {
    int tupl = rec_u8(node, 8);
    int m = 0;
    while (tupl >= 2 << m) ++m;
    int intimeof = tupl == 1 ? 4 : 1 << (m + 2);
    if (rec_bits16(node, 4, 0, 2)) {
      intimeof += 1 << (m + 1);
      set_rec_bits16(node, 4, 0, 2, 0);
    }
    set_rec_u8(node, 10, uint8_t(intimeof > 255 ? 255 : intimeof));
  }
  if (version <= 324) set_rec_bits16(node, 4, 12, 2, rec_bits16(node, 4, 12, 2) > 1 ? 3 : 0);
  if (version <= 340) {
    set_rec_bit16(node, 12, 7, false);
    if (rec_u8(node, 10) == 1) set_rec_u8(node, 10, 4);
  }
}

void convert_print(Drosa node, int version) {
  if (version <= 326) set_rec_u8(node, 10, rec_u8(node, 10) == 30 ? 1 : 0);
  if (version <= 333)
    set_rec_i16(node, 12, rec_bits16(node, 10, 2, 2) ? 100 : rec_u8(node, 10) ? 30 : 50);
  if (version == 335 && rec_i16(node, 12) > 120) set_rec_i16(node, 12, rec_i16(node, 12) >> 8);
}

void convert_bar(Drosa node, int version) {
  if (version <= 327) {
    set_rec_bits16(node, 6, 5, 2, options_i16(1, 8) == 0 ? 1 : 0);
    set_rec_i16(node, 22, 0);
  }
  if (version <= 340 && rec_i16(node, 4) == 0) set_rec_bit16(node, 6, 7, false);
}

void convert_param(Drosa node, int version) {
  if (version <= 333) set_rec_i16(node, 24, 50);
  if (version <= 334) {
    int pindex = rec_i16(node, 6);
    if (pindex == 560 || pindex == 129) set_rec_i32(node, 10, rec_i32(node, 10) / 10);
  }
}

// Version 335: a colour without an index gets one from the top bits of its components.
void convert_color(Drosa node) {
  if (rec_u8(node, 8) != 0) return;
  bool red = uint16_t(rec_i16(node, 2)) >> 14;
  bool green = uint16_t(rec_i16(node, 4)) >> 14;
  bool blue = uint16_t(rec_i16(node, 6)) >> 14;
  int index = 0;
  if (red && !green && !blue) index = 1;
  if (blue && !red && !green) index = 2;
  if (green && !red && !blue) index = 3;
  if (red && blue && !green) index = 4;
  if (red && green && !blue) index = 5;
  if (green && blue && !red) index = 6;
  set_rec_u8(node, 8, uint8_t(index));
}

// Up to 337: MIDI program numbers counted from 0 may be moved to count from 1.
void convert_program_text(Drosa node, ConversionState* st) {
  std::string text = text_string(node);
  int64_t scanned = 0;
  if (text.size() > 12 || !text.starts_with("program") ||
      scan_decimal(std::string_view(text).substr(7), INT32_MIN, INT32_MAX - 1, &scanned) !=
          text.size() - 7)
    return;
  int number = int(scanned);
  if (st->program_answer < 0) {
    char question[REPORT_TEXT_SIZE];
    std::snprintf(question, sizeof question,
                  "Do you want the MIDI program specifications in this piece to have 1 added to "
                  "the program number?  Vesk %s numbers MIDI programs 1-128; if your piece "
                  "assumes 0-127, click YES to fix the piece.",
                  model_hooks.version_string());
    st->program_answer = yesno_alert(question, 0);
  }
  if (st->program_answer != 1) return;
  char fixed[TEXT_CHARS + 1];
  std::snprintf(fixed, sizeof fixed, "program %d", number + 1);
  set_text(node, fixed);
}

void convert_tparam(Drosa node, int version) {
  if (version <= 331) set_rec_i16(node, 10, int16_t(model_hooks.code_from_font(rec_i16(node, 10))));
  if (version <= 340 && is_annotation_head(node) && rec_bit16(node, 14, 1) && rec_u8(node, 23) == 0)
    set_rec_u8(node, 23, 11);
}

void convert_line(Drosa node) {
  if (!rec_bit16(node, 38, 7)) return;
  int kind = rec_bits16(node, 18, 1, 7);
  if (!(rec_bits16(node, 38, 0, 7) == 0 && (kind == 0 || kind == 1))) {
    set_rec_bits16(node, 18, 1, 7, 3);
    set_rec_bits16(node, 38, 0, 7, 0);
  }
  set_rec_bit16(node, 38, 7, false);
}

}  // namespace

void convert_record(Drosa node, ConversionState* st) {
  const int version = st->version;
  const int kind = node->xkind;
  if (version <= 318) convert_up_to_318(node, kind);
  if (version <= 320) convert_up_to_320(node, kind, st);
  if (version == 321 && (kind == NA || kind == TPARAM || kind == TEXT)) convert_321(node, kind, st);
  if (kind == NOTE) convert_note(node, version);
  if (kind == PRINT) convert_print(node, version);
  if (kind == BAR) convert_bar(node, version);
  if (version <= 331 && kind == PARAM)
    set_rec_i16(node, 10, int16_t(model_hooks.code_from_font(rec_i16(node, 10))));
  if (kind == PARAM) convert_param(node, version);
  if (version == 335 && kind == COLOR) convert_color(node);
  if (version <= 337 && kind == TEXT) convert_program_text(node, st);
  if (kind == TPARAM) convert_tparam(node, version);
  if (version <= 341 && kind == LINE) convert_line(node);
}

// ---- Version repairs of check_voice ---------------------------------------------------------

namespace {

// Up to 322: bracket codes move from the options to the PRINT and ENDSYST nodes of each bar.
void repair_bracket_codes(Drosa bar) {
  int v = options_i16(1, 42) == 0 ? 2 : rec_u8(bar, 3) == 0 ? 1 : 0;
  for (Drosa p = bar->xback; p; p = p->xback) {
    if (p->xkind == PRINT) set_rec_bits16(p, 10, 6, 2, v);
    if (p->xkind == BAR) break;
    if (p->xkind == ENDSYST) {
      set_rec_bits16(p, 4, 2, 2, v);
      break;
    }
  }
}

void remove_blanks(Drosa text) {
  std::string t = text_string(text), kept;
  for (char c : t)
    if (c != ' ') kept += c;
  set_text(text, kept.c_str());
}

// Up to 329: the special-accidental field of a NOTE becomes an SPACC node before it.
void special_accidental_to_node(Drosa note) {
  int code = rec_u8(note, 11) & 0x3F;
  if (!code) return;
  Drosa spacc = newDrosa(SPACC, note->xcontext);
  spacc->set(xnumspacc, 1);
  spacc->set(xspacc_entry, 0, uint8_t(code + 5));
  link_after(spacc, note->xback);
  set_rec_u8(note, 11, rec_u8(note, 11) & 0xC0);
}

Drosa new_tparam(int8_t context) {
  Drosa t = text_template ? copyDrosa(text_template) : newDrosa(TPARAM, context);
  t->xkind = TPARAM;
  t->xcontext = context;
  return t;
}

// Up to 332: a TEMPO mark becomes a text annotation: its beat unit as a note character of
// the music font, then " = " and the tempo in Times.
void tempo_to_annotation(Drosa tempo) {
  int8_t context = tempo->xcontext;
  Drosa head = new_tparam(context);
  set_rec_i32(head, 2, -50);
  set_rec_i32(head, 6, 300);
  set_rec_i16(head, 10, -1);
  set_rec_u8(head, 12, 0);
  set_rec_u8(head, 13, 12);
  set_rec_bits16(head, 14, 6, 2, 0);
  for (int bit : {5, 10}) set_rec_bit16(head, 16, bit, true);
  for (int bit : {1, 9, 13, 14, 15}) set_rec_bit16(head, 16, bit, false);
  Drosa unit = newDrosa(TEXT, context);
  int beat = rec_i16(tempo, 2);
  const char* units = " qwerty";
  char unit_text[2] = {units[beat >= 0 && beat <= 6 ? beat : 0], 0};
  set_text(unit, unit_text);

  Drosa run = copyDrosa(head);
  set_rec_i16(run, 10, -5);
  set_rec_u8(run, 12, 0);
  set_rec_u8(run, 13, 12);
  set_rec_u8(run, 14, 0);
  set_rec_bit16(run, 16, 9, true);
  Drosa rate = newDrosa(TEXT, context);
  char rate_text[TEXT_CHARS + 1];
  std::snprintf(rate_text, sizeof rate_text, " = %hd", short(rec_i16(tempo, 4)));
  set_text(rate, rate_text);

  Drosa anchor = tempo->xback;
  for (Drosa n : {rate, run, unit, head}) link_after(n, anchor);
  destroy_node(tempo);
}

// Up to 339: a bar not at a system's end gets a bar separator in every context it is seen in.
void add_bar_separators(Drosa bar, int v) {
  if (bar->xnext && bar->xnext->xkind == ENDSYST) return;
  std::set<int> contexts = {current_ncontext};
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == PRINT) contexts.insert(p->xcontext);
  for (auto c = contexts.rbegin(); c != contexts.rend(); ++c)
    link_after(newDrosa(BARSEP, int8_t(*c)), bar);
}

void repair_vinfo(Drosa vinfo) {
  set_rec_u8(vinfo, 22, 0);
  uint8_t* name = vinfo->bytes() + 10;
  for (int i = 0; i < 16 && name[i]; ++i)
    if (name[i] == '-') name[i] = ' ';
}

}  // namespace

int repair_node_by_version(Drosa node, int v, int version) {
  const int kind = node->xkind;
  if (version <= 322 && kind == BAR) repair_bracket_codes(node);
  if (version <= 342 && kind == TPARAM && rec_bit16(node, 16, 7) && node->xnext &&
      node->xnext->xkind == TEXT)
    remove_blanks(node->xnext);
  if (version <= 329 && kind == NOTE) special_accidental_to_node(node);
  if (version == 330 && kind == SPACC && node->get(xnumspacc) == 0) {
    destroy_node(node);
    return 1;
  }
  if (version <= 332 && kind == TEMPO) {
    tempo_to_annotation(node);
    return 1;
  }
  // Up to 335 the parameter changes and MIDI messages of each note become command texts.
  if (version <= 335 && kind == NOTE) {
    model_hooks.param_nodes_to_annos(node);
    model_hooks.midi_nodes_to_annos(node);
  }
  if (version <= 337 && kind == VINFO) repair_vinfo(node);
  if (version <= 339 && kind == BAR) add_bar_separators(node, v);
  return 0;
}

void repair_voice_by_version(int v, int version) {
  if (version < 328)
    for (int c = 1; c <= MAX_NCONTEXTS; ++c) set_options_i16(c, 8, 1);
  if (version <= 337) {
    Drosa info = find_next_kind_until(VINFO, piece_start[v], NOTE, NOTE);
    if (info && info->xkind == VINFO) {
      int raise = 0;
      for (int u = 0; u < v; ++u) {
        Drosa other = find_next_kind_until(VINFO, piece_start[u], NOTE, NOTE);
        if (other && other->xkind == VINFO &&
            std::memcmp(other->bytes() + 10, info->bytes() + 10, 16) == 0)
          ++raise;
      }
      info->set(xvoiceOnPart, int8_t(info->get(xvoiceOnPart) + raise));
    }
  }
  if (version == 340)
    for (int c = 1; c <= MAX_NCONTEXTS; ++c)
      if (options_i16(c, OPTIONS_MIN_LINE_WIDTH) > 100)
        set_options_i16(c, OPTIONS_MIN_LINE_WIDTH,
                        int16_t(options_i16(c, OPTIONS_MIN_LINE_WIDTH) >> 8));
}

// ---- Staff drags ------------------------------------------------------------------------------

namespace {

bool visible(Drosa node, int kind) { return effective_kind(node) == kind; }

// From a voice's system cursor: the system's first NOTE and the PRINT in force there.
void system_print_and_note(Drosa cursor, Drosa* print, Drosa* note) {
  *print = *note = NIL;
  for (Drosa p = cursor->xnext; p && !visible(p, ENDSYST); p = p->xnext) {
    if (p->xkind == NOTE) {
      *note = p;
      *print = find_prev_kind(PRINT, p);
      return;
    }
  }
}

// Moves one staff drag of staff -1 to the first note of its system in every shown voice on
// the same staff.
void redistribute_one(Drosa sdrag, int16_t staff) {
  int32_t offset = sdrag->get(xstaffdrag);
  voices_to_system(system_number_on_page(sdrag, 0), 0);
  for (int u = 0; u < voice_count; ++u) {
    if (voice_not_shown(u) || !system_cursor[u]) continue;
    Drosa print, note;
    system_print_and_note(system_cursor[u], &print, &note);
    if (!note || !print || print->get(xsstaff) != staff) continue;
    for (Drosa p = system_cursor[u]->xnext; p && p != note;) {
      Drosa next = p->xnext;
      if (visible(p, SDRAG)) destroy_node(p);
      p = next;
    }
    if (offset != 0) {
      Drosa fresh = newDrosa(SDRAG, current_ncontext);
      fresh->set(xstaffdrag, offset);
      fresh->set(xsdrag_sstaff, staff);
      link_after(fresh, note->xback);
    }
  }
  // Still linked when its own voice was not among those changed.
  if (sdrag->xkind == SDRAG && sdrag->get(xsdrag_sstaff) == -1) destroy_node(sdrag);
}

}  // namespace

void redistribute_sdrags(int version) {
  if (version >= 342) return;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == SDRAG) p->set(xsdrag_sstaff, -1);
  int16_t saved_context = current_ncontext;
  for (int c = 1; c <= ncontext_count; ++c) {
    current_ncontext = int16_t(c);
    for (int v = 0; v < voice_count; ++v) {
      if (voice_not_shown(v)) continue;
      // The candidates first: redistributing deletes and adds staff drags.
      std::vector<std::pair<Drosa, int16_t>> found;
      Drosa print = NIL;
      bool note_seen = false;
      for (Drosa p = piece_start[v]; p; p = p->xnext) {
        if (visible(p, ENDSYST)) note_seen = false;
        if (p->xkind == NOTE) note_seen = true;
        if (visible(p, PRINT)) print = p;
        if (visible(p, SDRAG) && p->get(xsdrag_sstaff) == -1 && print &&
            print->get(xsstaff) != -1 && !note_seen)
          found.push_back({p, print->get(xsstaff)});
      }
      for (auto [sdrag, staff] : found)
        if (sdrag->xkind == SDRAG && sdrag->get(xsdrag_sstaff) == -1)
          redistribute_one(sdrag, staff);
    }
  }
  current_ncontext = saved_context;
}
