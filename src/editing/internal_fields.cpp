// internal_fields.cpp: the Internal Fields dialog: every stored field of the note or rest at
// the insertion point by its internal name, edited directly; the note is replaced by an edited
// copy under undo. With the debug modifier held, the note's layout records are shown first.
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "editing/selection.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"

namespace {

constexpr int INTERNAL_FIELDS_DIALOG = 26944;
constexpr int NOTE_RADIO = 3, REST_RADIO = 4;
constexpr int LGVAL = 6, DOTS = 8, MOD7 = 10, TREMOLO = 12, TAB_STRING = 14, ACCENT = 16;
constexpr int TUPL = 18, INTIMEOF = 19, ACC = 21, SLUR = 23, TIE = 25, DIR = 27;
constexpr int NOTEHEAD = 39, PITCH = 41, LENGTH = 43, TTN = 45, VOLUME = 59, VOICE = 61;

// The small number fields in the order they are read (the note-only ones after them).
struct NumberField {
  int item;
  const Field<int>* field;
  const char* name;
  int low, high;
};
const NumberField NUMBER_FIELDS[] = {
    {LGVAL, &xlgval, "lgval", 0, 8},
    {DOTS, &xdots, "dots", 0, 3},
    {DIR, &xdir, "dir (1 DOWN, 2 UP, 3 UPORDOWN)", 1, 3},
    {TREMOLO, &xtremolo, "tremolo", 0, 3},
    {ACCENT, &xaccent, "accent", 0, 2},
    {SLUR, &xslur, "slur (0 NONE, 1 DOWN, 2 UP, 3 UPORDOWN)", 0, 3},
    {TIE, &xtie, "tie (0 NONE, 1 DOWN, 2 UP, 3 UPORDOWN)", 0, 3},
    {NOTEHEAD, &xnotehead, "notehead", 0, 15},
    {TAB_STRING, &xstring, "tablature string", 0, 7},
};

// The check boxes and their one-bit fields.
struct Box {
  int item;
  const Field<int>* field;
};
const Box BOXES[] = {
    {29, &xnostem},   {49, &xseparate},   {37, &xbstem},   {47, &xtrembeam}, {48, &xendvcd},
    {46, &xgliss},    {57, &xtenu},       {56, &xstacc},   {30, &xgrace},    {31, &xnoslash},
    {33, &xhider},    {34, &xhidet},      {28, &xaccplot}, {54, &xferm},     {52, &xcbeam},
    {53, &xebeam},    {50, &xcsbeam},     {51, &xesbeam},  {55, &xcue},      {35, &xdashtie},
    {36, &xdashslur}, {32, &xnachschlag},
};

std::string trimmed(double value) {
  char text[64];
  format_float_trimmed(value, text, sizeof text);
  return text;
}

// The layout records of the note, as messages.
void show_layout_records(Drosa note) {
  char text[REPORT_TEXT_SIZE];
  if (Drosa zone = find_prev_kind_stop(ZONE, note, ENDSYST)) {
    std::snprintf(text, sizeof text, "ZONE %lx permil %d wholec %lx sys_wholec %lx bar %d",
                  (unsigned long)zone.handle(), int(zone->get(xzone_xpermil)),
                  (unsigned long)zone->get(xzone_wholec),
                  (unsigned long)zone->get(xzone_sys_wholec), int(zone->get(xzone_bar)));
    REPORT_ERROR(2, "%s", text);
  }
  Drosa nt = note->xnext;
  if (nt && effective_kind(nt) == NTDATA) {
    std::snprintf(
        text, sizeof text,
        "(1 of 4) NOTE %lx. NTDATA:\rxforced %hd, xendbeam %hd,\rxcluster %hd, xtmpbeam "
        "%hd,\rxstmdir %hd, xtmpdir %hd,\rxvoice %hd, xpback %lx,\rxpnext %lx,\rxhdx %hd, "
        "xhdy %hd",
        (unsigned long)note.handle(), short(nt->get(xforced)), short(nt->get(xendbeam)),
        short(nt->get(xcluster)), short(nt->get(xtmpbeam)), short(nt->get(xstmdir)),
        short(nt->get(xtmpdir)), short(note->get(xvoice)), (unsigned long)nt->get(xpback).handle(),
        (unsigned long)nt->get(xpnext).handle(), short(nt->get(xhdx)), short(nt->get(xhdy)));
    REPORT_ERROR(2, "%s", text);
    std::snprintf(text, sizeof text,
                  "(2 of 4) NTDATA: xaccxtab %hd,\rxrestchar %hd, xscrrestchar %hd,\rxtup_info "
                  "%hd,\rxother_staff %hd, xstemx %hd,\rxscrhdx %hd, xscrhdy %hd, xendscd %hd",
                  short(nt->get(xaccx)), short(nt->get(xrestchar)), short(nt->get(xscrrestchar)),
                  short(nt->get(xtup_info)), short(nt->get(xother_staff)),
                  short(nt->get(xhdx) + nt->get(xstemxoff)), short(nt->get(xscrhdx)),
                  short(nt->get(xscrhdy)), short(nt->get(xendscd)));
    REPORT_ERROR(2, "%s", text);
  }
  Drosa cd = nt && effective_kind(nt) == NTDATA ? cddatptr(note, 1) : NIL;
  if (!cd) return;
  Drosa cd2 = cd->xnext, cd3 = cd2 ? cd2->xnext : NIL;
  const bool chain = cd2 && cd2->xkind == CDDATA2 && cd3 && cd3->xkind == CDDATA3;
  std::snprintf(
      text, sizeof text,
      "(3 of 4) CDDATA %lx: ps %d lyr %d xuphiy %hd,\rxuploy %hd, xdownhiy %hd,\rxdownloy "
      "%hd, xorigin %hd,\rxprehiy %hd, xpreloy %hd,\rxprex %hd, xoppos %hd, xopposhide "
      "%hd,\rxtup_start %hd, xtup_end %hd",
      (unsigned long)cd.handle(), chain ? int(cd3->get(xpstaff)) : -1,
      chain ? int(cd3->get(xcdlayer)) : -1, short(cd->get(xuphiy)), short(cd->get(xuploy)),
      short(cd->get(xdownhiy)), short(cd->get(xdownloy)), short(cd->get(xorigin)),
      short(cd->get(xprehiy)), short(cd->get(xpreloy)), short(cd->get(xprex)),
      short(cd->get(xoppos)), short(chain ? cd2->get(xopposhide) : 0), short(cd->get(xtup_start)),
      short(cd->get(xtup_end)));
  REPORT_ERROR(2, "%s", text);
  if (!chain) return;
  std::snprintf(text, sizeof text,
                "(4 of 4) CDDATA: xtup_mark %hd,\rxupbstem %hd, xdnbstem %hd,\rxnewmeas %hd, "
                "xrcmeas %hd,\rxswholec %lx, xmwholec %lx,\rxbelowbeam %hd,%hd, xabovebeam "
                "%hd,%hd,\rxidealx %hd, xreloc_zone %hd xreloc_spring %hd",
                short(cd->get(xtup_mark)), short(cd->get(xupbstem)), short(cd->get(xdnbstem)),
                short(cd->get(xnewmeas)), short(cd->get(xrcmeas)),
                (unsigned long)cd2->get(xswholec), (unsigned long)cd2->get(xmwholec),
                short(cd2->get(xbelowbeam, 0)), short(cd2->get(xbelowbeam, 1)),
                short(cd2->get(xabovebeam, 0)), short(cd2->get(xabovebeam, 1)),
                short(cd2->get(xidealx)), short(cd2->get(xreloc_zone)),
                short(cd2->get(xreloc_spring)));
  REPORT_ERROR(2, "%s", text);
}

void fill_dialog(DialogRef dialog, Drosa note, int voice) {
  const bool rest = note->get(xrest);
  platform_set_item_value(dialog, NOTE_RADIO, !rest);
  platform_set_item_value(dialog, REST_RADIO, rest);
  for (const NumberField& f : NUMBER_FIELDS) set_long_item(dialog, f.item, note->get(*f.field));
  set_long_item(dialog, MOD7, note->get(xmod7));
  set_long_item(dialog, ACC, note->get(xacc));
  set_long_item(dialog, TUPL, note->get(xtupl));
  platform_set_item_text(dialog, INTIMEOF, trimmed(note->get(xintimeof) / 4.0));
  const uint16_t pitch = note->get(xpitch);
  platform_set_item_text(dialog, PITCH, trimmed((pitch >> 8) + (pitch & 0xFF) / 200.0));
  set_hex_item(dialog, LENGTH, int32_t(note->get(xlength)));
  set_hex_item(dialog, TTN, int32_t(note->get(xttn)));
  platform_set_item_text(dialog, VOLUME, trimmed(note->get(xvolume) / 2.0));
  set_long_item(dialog, VOICE, voice + 1);
  for (const Box& b : BOXES) platform_set_item_value(dialog, b.item, note->get(*b.field));
}

// Reads every field into the edit; false at the first one out of range (said, the field
// selected).
bool read_fields(DialogRef dialog, Drosa edit, int voice) {
  auto refuse = [&](int item) {
    platform_select_item_text(dialog, item, 0, 32767);
    return false;
  };
  const bool rest = platform_item_value(dialog, REST_RADIO) != 0;
  edit->set(xrest, rest);
  for (int i = 0; i < 2; ++i) {  // lgval, dots
    const NumberField& f = NUMBER_FIELDS[i];
    const int32_t v = get_long_item(dialog, f.item, f.name, f.low, f.high);
    if (v == BAD_LONG_ITEM) return refuse(f.item);
    edit->set(*f.field, v);
  }
  const int32_t tupl = get_long_item(dialog, TUPL, "tupl", 1, 99);
  if (tupl == BAD_LONG_ITEM) return refuse(TUPL);
  edit->set(xtupl, uint8_t(tupl));
  const double intimeof = get_double_item(dialog, INTIMEOF, "in time of", 0.25, 60, nullptr);
  if (intimeof == BAD_DOUBLE_ITEM) return refuse(INTIMEOF);
  edit->set(xintimeof, uint8_t(std::lround(intimeof * 4)));
  for (size_t i = 2; i < std::size(NUMBER_FIELDS); ++i) {
    const NumberField& f = NUMBER_FIELDS[i];
    const int32_t v = get_long_item(dialog, f.item, f.name, f.low, f.high);
    if (v == BAD_LONG_ITEM) return refuse(f.item);
    edit->set(*f.field, v);
  }
  if (rest) {
    edit->set(xmod7, 0);
    edit->set(xacc, 0);
  } else {
    // A position is a signed byte; the program places notes from 0 up.
    const int32_t mod7 = get_long_item(dialog, MOD7, "mod7", 0, 127);
    if (mod7 == BAD_LONG_ITEM) return refuse(MOD7);
    edit->set(xmod7, int8_t(mod7));
    const int32_t acc =
        get_long_item(dialog, ACC, "acc (0 none, 1 --; 2 -; 3 nat; 4 +; 5 ++)", 0, 5);
    if (acc == BAD_LONG_ITEM) return refuse(ACC);
    edit->set(xacc, acc);
  }
  const double pitch = get_double_item(dialog, PITCH, "pitch", 0, 127, nullptr);
  if (pitch == BAD_DOUBLE_ITEM) return refuse(PITCH);
  const double k = pitch + 0.0025;
  edit->set(xpitch, uint16_t(int(k) * 256 + int(k * 200) % 200));
  const int32_t length = get_hex_item(dialog, LENGTH, "length", 0, 0x7FFFFFFF);
  if (length == BAD_LONG_ITEM) return refuse(LENGTH);
  edit->set(xlength, uint32_t(length));
  const int32_t ttn = get_hex_item(dialog, TTN, "ttn", 0, 0x7FFFFFFF);
  if (ttn == BAD_LONG_ITEM) return refuse(TTN);
  edit->set(xttn, uint32_t(ttn));
  const double volume = get_double_item(dialog, VOLUME, "volume", 0, 100, nullptr);
  if (volume == BAD_DOUBLE_ITEM) return refuse(VOLUME);
  edit->set(xvolume, uint8_t(std::lround(volume * 2)));
  if (get_long_item(dialog, VOICE, "voice", voice + 1, voice + 1) == BAD_LONG_ITEM)
    return refuse(VOICE);
  for (const Box& b : BOXES) edit->set(*b.field, platform_item_value(dialog, b.item) != 0);
  return true;
}

}  // namespace

int internal_fields_dialog() {
  Drosa old = insertion_point;
  if (!old || old->xkind != NOTE) return 0;
  if (debug_modifier_down()) show_layout_records(old);
  const int voice = old->get(xvoice);
  // The edit starts as a copy of the note: the bits the dialog does not show are kept.
  Drosa edit = copyDrosa(old);
  edit->xcontext = 0;
  char layer[48];
  const int voices_of_part = max_voice_number_like(voice) + 1;
  if (Drosa print = find_prev_kind(PRINT, old))
    std::snprintf(layer, sizeof layer, "Layer %d  Vop %d", int(print->get(xlayer)), voices_of_part);
  else
    std::snprintf(layer, sizeof layer, "Layer ?  Vop %d", voices_of_part);
  platform_set_param_texts(layer, "", "", "");
  DialogRef dialog = open_dialog_in_front(INTERNAL_FIELDS_DIALOG);
  if (!dialog) {
    destroyDrosa(edit);
    return 0;
  }
  fill_dialog(dialog, old, voice);
  draw_dialog_frame(dialog, nullptr, layer);
  for (;;) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == 1) {
      if (read_fields(dialog, edit, voice)) break;
      continue;
    }
    if (item == 2) {
      close_dialog_in_front(dialog);
      destroyDrosa(edit);
      return 0;
    }
    if (item == NOTE_RADIO || item == REST_RADIO) {
      platform_set_item_value(dialog, NOTE_RADIO, item == NOTE_RADIO);
      platform_set_item_value(dialog, REST_RADIO, item == REST_RADIO);
    } else if ((item >= 28 && item <= 37) || (item >= 46 && item <= 57)) {
      platform_set_item_value(dialog, item, !platform_item_value(dialog, item));
    } else if (platform_item_kind(dialog, item) != ITEM_EDIT_TEXT) {
      REPORT_ERROR(4, "%s", "Unexpected item returned from internal fields dialog");
    }
  }
  close_dialog_in_front(dialog);
  // The marks of a pitch or volume set by hand follow a change of them.
  if (edit->get(xpitch) != old->get(xpitch)) edit->set(xpitch_edited, 1);
  if (edit->get(xvolume) != old->get(xvolume)) edit->set(xvolume_edited, 1);
  const char* refusal = nullptr;
  if (edit->get(xendvcd) != old->get(xendvcd))
    refusal =
        edit->get(xendvcd) ? "You cannot set end-of-chord." : "You cannot remove end-of-chord.";
  else if (!duration_edits_enabled && edit->get(xgrace) != old->get(xgrace))
    refusal = edit->get(xgrace) ? "You cannot change non-grace notes to grace notes."
                                : "You cannot change grace notes to non-grace notes.";
  if (refusal) REPORT_ERROR(2, "%s", refusal);
  if (refusal || same_Drosa(edit, old)) {
    destroyDrosa(edit);
    return 0;
  }
  stop_flashing(old);
  // The old note goes first, then the edit takes its place: each record keeps a place that
  // stays in the list.
  Drosa before = old->xback;
  removevc_with_undo(old);
  insertvc_node_with_undo(edit, before);
  set_insertion_point(edit, 0, voice);
  start_flashing(edit);
  mark_piece_changed(1, 1, current_ncontext);
  return 1;
}
