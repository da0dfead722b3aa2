// layout_fixture.cpp: a one-system page set up as the page formatter does, and the passes of
// the system run in its order.
#include "support/layout_fixture.h"

#include <algorithm>

#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

int fixture_middle_y(int p) { return 8000 - 1000 * p; }

void prepare_one_system() {
  param_init();
  int staves = 1;
  for (int v = 0; v < voice_count; ++v) {
    VoiceData& vd = voice_data[v];
    vd.system_start = page_start[v];
    vd.system_end = find_next_kind(ENDSYST, page_start[v]);
    vd.print = find_next_kind_before_note(PRINT, piece_start[v]);
    vd.beaming_start = vd.beaming_end = beaming_head;
    for (Drosa p = vd.system_start; p && p != vd.system_end; p = p->xnext)
      if (effective_kind(p) == PRINT) staves = std::max(staves, p->get(xsstaff) + 1);
  }
  pstaff_count = staves;
  first_pstaff = 0;
  last_pstaff = staves - 1;
  for (int p = 0; p < staves; ++p) {
    StaffData& s = staff_data[p];
    s.middle_y = s.screen_middle_y = fixture_middle_y(p);
    s.place = uint8_t(p + 1);
    for (Drosa& head : s.ppnt)
      if (!head) head = new_chain_head();
  }
  for (int v = voice_count - 1; v >= 0; --v) {
    Drosa print = voice_data[v].print;
    if (!print || print->get(xsstaff) < 0) continue;
    StaffData& s = staff_data[print->get(xsstaff)];
    s.lines = uint8_t(print->get(xslines));
    s.staff_size = print->get(xstaffsize);
    s.staff_type = uint8_t(print->get(xtablature));
  }
  prepare_layout_nodes(1);
  last_chord = NIL;
}

int layer_system() {
  Drosa chords_before = last_chord;
  int runs = 0;
  for (int r = 0; r < 8; ++r) {
    last_chord = chords_before;
    if (!setprint()) return -1;
    ++runs;
    if (r == 7 || !split_voices_to_layers(r + 1)) break;
  }
  return runs;
}

int format_one_system() {
  prepare_one_system();
  if (layer_system() < 0) return 0;
  return beam_end_pass() && note_positions_pass() && setstdir() && split_unequal_chords() &&
         join_beams_pass();
}

Drosa ntdata_of_note(Drosa note) { return note->xnext; }

std::string chain_text(int pstaff, int layer) {
  std::string text;
  Drosa head = staff_data[pstaff].ppnt[layer];
  bool open = false;
  for (Drosa n = head ? head->xnext->get(xpnext) : NIL; n; n = n->xnext->get(xpnext)) {
    Drosa nt = n->xnext;
    text += open ? " " : text.empty() ? "[" : " [";
    open = true;
    text += std::to_string(n->get(xvoice)) + ":";
    text += n->get(xrest) ? "r" : std::to_string(n->get(xmod7));
    if (n->get(xgrace)) text += "g";
    int dir = nt->get(xstmdir);
    text += dir == 1 ? "v" : dir == 2 ? "^" : "-";
    if (nt->get(xforced)) text += "!";
    Drosa next = nt->get(xpnext);
    bool same_stem_group = !nt->get(xendscd) && next && next->xnext->get(xstmdir) == dir;
    if (!nt->get(xendbeam) && !same_stem_group) text += "=";
    if (nt->get(xendscd)) {
      text += "]";
      open = false;
    }
  }
  return text;
}
