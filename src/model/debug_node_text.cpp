// debug_node_text.cpp: the one-line descriptions of nodes that the debug dumps write.
//
// Every kind has its own line; a note's line also shows its layout record (the NTDATA after
// it) and a chord's line its three chord records. A node is named by its handle, written as
// an address; it is the same on every run of the same piece. Fields come from the accessors of the
// subsystem that owns the kind; a count read from a node is clamped to its table, so a damaged node
// cannot make a dump read out of bounds.
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Editor/CString.h"
#include "ImportExport/musicxml_services.h"
#include "layout/layout_services.h"
#include "model/debug_dump.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/undo.h"
#include "model/voice_lists.h"
#include "params/param_services.h"
#include "performance/performance_services.h"

namespace {

void appendf(std::string* line, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string* line, const char* format, ...) {
  char text[320];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  *line += text;
}

// A node as the dumps name it: its handle, written as an address ("(nil)" for NIL).
const void* id(Drosa node) { return reinterpret_cast<const void*>(uintptr_t(node.handle())); }

// The layout record of the given kind directly after the node, or NIL.
Drosa record_after(Drosa node, int kind) {
  Drosa next = node ? node->xnext : NIL;
  return next && next->xkind == kind ? next : NIL;
}

// The CDDATA of the staff chord a note with its NTDATA ends or belongs to: the first one
// before the next note.
Drosa chord_record(Drosa nt) {
  for (Drosa p = nt->xnext; p && p->xkind != NOTE; p = p->xnext)
    if (p->xkind == CDDATA) return p;
  return NIL;
}

// The three packed numbers p, v and s that a TPARAM (and a note, in the same bytes) carries.
void append_style_reference(std::string* line, Drosa node) {
  int w = load_big_endian(node->bytes() + xstyle_reference.offset, 2);
  appendf(line, "<p%d,v%d,s%d>", (w & 0x7F) - 1, ((w >> 7) & 0x1F) - 1, (w >> 12) & 0xF);
}

// ---- Notes --------------------------------------------------------------------------------

const char* const PRINTED_ACCIDENTALS[8] = {"??", "--", "-", "n", "+", "++", "??", "??"};
const char* const IMPLIED_ACCIDENTALS[8] = {"??", "~~", "~", "", "#", "##", "??", "??"};
const char* const ACCIDENTAL_NAMES[6] = {"", "FLAT2 ", "FLAT ", "NAT ", "SHARP ", "SHARP2 "};

bool seen_here(Drosa node) {
  int c = node->xcontext;
  return c == 0 || c == current_ncontext || (c == -1 && current_ncontext != 1);
}

const char* stem_word(int xdir) {
  switch (xdir) {
    case 3:
      return "UPORDOWN";
    case 2:
      return "UP";
    case 1:
      return "DOWN";
    default:
      return "BAD XDIR!!";
  }
}

// Steps 1 to 5 of a note's line: kind, address, links, brief text, value, chord and beam marks.
void note_head_fields(std::string* line, Drosa note, Drosa nt) {
  const bool rest = note->get(xrest);
  appendf(line, "%s   %p ", rest ? "REST" : "NOTE", id(note));
  if (nt && nt->get(xpnext)) appendf(line, "pn%p ", id(nt->get(xpnext)));
  if (nt && nt->get(xpback)) appendf(line, "pb%p ", id(nt->get(xpback)));
  CString brief;
  describe_note_brief(brief, note);
  *line += static_cast<const char*>(brief);
  if (rest)
    appendf(line, "[%d] ", nt ? nt->get(xrestchar) : 0);
  else
    appendf(line, "mod%d ", note->get(xmod7));
  appendf(line, "lg%d ", note->get(xlgval));
  if (note->get(xendvcd)) *line += "vocCD ";
  if (!nt) return;
  if (nt->get(xendscd)) *line += "stfCD ";
  if (nt->get(xtmpbeam)) *line += "tmpENDBEAM ";
  if (nt->get(xendbeam)) *line += "ENDBEAM ";
  if (nt->get(xendbeam) && !nt->get(xendscd))
    *line += ">>>ENDBEAM but not highest note of stmdir<<< ";
  appendf(line, "x%d y%d stsz%d", nt->get(xhdx), nt->get(xhdy), nt->get(xstsize));
}

// Steps 6 to 10: the second line with accidental, stem, voice, marks and rest or performance.
void note_tail_fields(std::string* line, Drosa note, Drosa nt) {
  const bool rest = note->get(xrest);
  *line += "\n           ";
  if (nt && nt->get(xcluster)) *line += "XMODP ";
  if (note->get(xaccplot)) {
    if (rest) debug_out("WARNING: PRINTING ACC FOR REST\n");
    int acc = note->get(xacc);
    if (acc >= 1 && acc <= 5)
      *line += ACCIDENTAL_NAMES[acc];
    else
      appendf(line, "acc'%d' ", acc);
    if (nt && nt->get(xtabtyp))
      appendf(line, "xtabtyp%d xtabstr%d", nt->get(xtabtyp), nt->get(xtabstr));
    else if (nt)
      appendf(line, "accx%d ", nt->get(xaccx));
  }
  std::string direction = stem_word(note->get(xdir));
  if (nt) {
    if (nt->get(xstmdir) == 1) direction = "DN";
    if (nt->get(xstmdir) == 2) direction = "UP";
    if (nt->get(xtmpdir)) direction = "TEMP" + direction;
  }
  appendf(line, "%c %s ", nt && nt->get(xforced) ? 'F' : 'U', direction.c_str());
  appendf(line, "voc%d ", note->get(xvoice));
  if (nt && nt->get(xtup_info)) *line += "TUPINFO ";
  if (note->get(xgrace)) *line += note->get(xnachschlag) ? "grace-nachschlag " : "grace ";
  if (note->get(xtie)) appendf(line, "tie%d ", note->get(xtie));
  if (note->get(xslur)) appendf(line, "slr%d ", note->get(xslur));
  if (note->get(xtenu)) *line += "tenu ";
  if (note->get(xstacc)) *line += "stac ";
  if (note->get(xferm)) *line += "ferm ";
  if (note->get(xebeam)) *line += "endBm ";
  if (note->get(xcbeam)) *line += "conBm ";
  if (note->get(xesbeam)) *line += "sndSBm ";
  if (note->get(xcsbeam)) *line += "conSBm ";
  if (rest && nt) {
    if (nt->get(xrestchar) == 1) *line += " WHOLE REST";
    Drosa cd = chord_record(nt);
    if (nt->get(xrestchar) == 2) appendf(line, " %dMEAS REST", cd ? cd->get(xrcmeas) : 0);
  } else if (!nt) {
    appendf(line, " xlength %0lx xttn %0lx (no NTDATA ", (unsigned long)note->get(xlength),
            (unsigned long)note->get(xttn));
    append_style_reference(line, note);
    *line += ")";
  }
}

void note_line(std::string* line, Drosa note) {
  if (!seen_here(note)) {
    appendf(line, "NOTE   %p non-notated...", id(note));
    return;
  }
  Drosa nt = record_after(note, NTDATA);
  note_head_fields(line, note, nt);
  note_tail_fields(line, note, nt);
}

// ---- Chord records ------------------------------------------------------------------------

void chord_line(std::string* line, Drosa cd) {
  Drosa cd2 = record_after(cd, CDDATA2);
  Drosa cd3 = record_after(cd2, CDDATA3);
  appendf(line, "CHORD  %p num %d wholec s0x%X m0x%X; ", id(cd), cd2 ? cd2->get(xchordNum) : -1,
          cd2 ? unsigned(cd2->get(xswholec)) : 0u, cd2 ? unsigned(cd2->get(xmwholec)) : 0u);
  if (cd3)
    appendf(line, "tsn/b(%p,%p) pstf %d lyr %d ", id(cd3->get(xnextchord)),
            id(cd3->get(xprevchord)), cd3->get(xpstaff), cd3->get(xcdlayer));
  appendf(line, "uphiyloydn(%d,%d,%d,%d) ", cd->get(xuphiy), cd->get(xuploy), cd->get(xdownhiy),
          cd->get(xdownloy));
  appendf(line, "org %d idealx %d ", cd->get(xorigin), cd2 ? cd2->get(xidealx) : 0);
  appendf(line, "prehiy%d preloy%d prex%d ", cd->get(xprehiy), cd->get(xpreloy), cd->get(xprex));
  appendf(line, "xop%d,%d ", cd->get(xoppos), cd2 ? cd2->get(xopposhide) : 0);
  if (cd->get(xtup_start)) *line += "TUPSTART ";
  if (cd->get(xtup_end)) *line += "TUPEND ";
  if (cd->get(xtup_mark) == 1) *line += "TUPMARKHERE ";
  if (cd->get(xtup_mark) == 2) *line += "TUPMARKBEFORE ";
  if (cd2) appendf(line, " zone%d sprng%d ", cd2->get(xreloc_zone), cd2->get(xreloc_spring));
  appendf(line, "lorchorx%d lorheadx%d ", cd->get(xcdleft), cd->get(xcdoverhang));
}

// ---- Annotations ----------------------------------------------------------------------------

void tparam_line(std::string* line, Drosa t) {
  appendf(line, "TPARAM %p adj%d x%d y%d, font%d, charset%d, size%d, face%d, just%d,%s", id(t),
          t->get(xadjacent), t->get(xtextx), t->get(xtexty), t->get(xtextfont), t->get(xcharset),
          t->get(xtextsize), t->get(xtextface), t->get(xjustified), t->get(xboxed) ? " BOXED" : "");
  appendf(line, "\n          space%d, stsiz%d, noSAdj%d, fromstaff%d, footer%d relx%d rely%d ",
          t->get(xleavespace), t->get(xtext_stsize), t->get(xno_size_adjust), t->get(xfromstaff),
          t->get(xfooter), t->get(xrelativex), t->get(xrelativey));
  append_style_reference(line, t);
  appendf(line, " %s", t->get(xbackslash) ? "BACKSLASH" : "");
  appendf(line, "\n          expand%d, super%d", t->get(xexpand), t->get(xsuper));
  appendf(line, "\n          eocvar%d, eocord%d, drawmode%d", t->get(xeocvar), t->get(xeocord),
          t->get(xtext_drawmode));
}

// A text's characters, with those that are not printable written as =hex.
void text_line(std::string* line, Drosa t) {
  std::string shown;
  char special[4];
  for (unsigned char c : t->get(xtext)) {
    if (c >= 32 && c < 127) {
      shown += char(c);
    } else {
      std::snprintf(special, sizeof special, "=%02x", c);
      shown += special;
    }
  }
  appendf(line, "TTEXT  %p '%s'", id(t), shown.c_str());
}

void line_line(std::string* line, Drosa l) {
  appendf(line, "LINE  %p (%d,%d),(%d,%d) curve %d (%d,%d),(%d,%d) wid %d", id(l), l->get(xstartx),
          l->get(xstarty), l->get(xendx), l->get(xendy), l->get(xcurve), l->get(xc1x), l->get(xc1y),
          l->get(xc2x), l->get(xc2y), l->get(xlinewidth));
  const int ord = l->get(xline_eocvar) ? 0 : l->get(xline_ord);
  appendf(line,
          "\n          dashgap (%d,%d) hvlock (%d,%d) severypart (%d,%d,%d) drawmd %d ord %d "
          "%s%s%s",
          l->get(xdashlth), l->get(xgaplth), l->get(xline_pagemargin), l->get(xline_fromstaff),
          l->get(xline_eachsys), l->get(xline_eachpage), l->get(xline_everypart),
          l->get(xline_drawmode), l->get(xline_ord), ord == 1 ? "ENDLINE " : "",
          ord == 3 ? "BEGLINE " : "", ord == 2 ? "MIDLINE " : "");
  appendf(line, "\n          metaline %d", l->get(xmetaline));
  appendf(line, "\n          eocvar%d, drawmode%d", l->get(xline_eocvar), l->get(xline_drawmode));
}

// ---- Performance nodes ------------------------------------------------------------------------

void play_line(std::string* line, Drosa p) {
  appendf(line, "PLAY  %p time 0x%X new %d ", id(p), unsigned(p->get(xplay_time)),
          p->get(xplay_pending));
  switch (p->get(xplay_type)) {
    case PLAY_NOTE_ON:
      appendf(line, "start note pitch 0x%X", p->get(xplay_pitch));
      break;
    case PLAY_NOTE_OFF:
      appendf(line, "stop note pitch 0x%X", p->get(xplay_pitch));
      break;
    case PLAY_PACKET:
      appendf(line, "send MIDI node %d", p->get(xplay_volume));
      break;
    case PLAY_END:
      *line += "stop all notes";
      break;
    default:
      appendf(line, "ERROR bad operation %d", p->get(xplay_type));
      break;
  }
}

void rnote_line(std::string* line, Drosa r) {
  appendf(line, "RNOTE  %p ", id(r));
  switch (int key = r->get(rnotenum)) {
    case RNOTE_BEAT_FILLER:
      *line += "tieFromPrev";
      break;
    case RNOTE_FINAL:
      *line += "finalNote";
      break;
    case RNOTE_REST:
      *line += "rest";
      break;
    default:
      appendf(line, "notenum %d", key);
      break;
  }
  appendf(line,
          " endcd %d newbt %d strt %ld lth %ld ttn %ld normttn %ld lgv %d tup %d dots %d vol %d",
          r->get(rendchord), r->get(rnewbeat), long(r->get(rstart_time)), long(r->get(rlength)),
          long(r->get(rttn)), long(r->get(rnormttn)), r->get(rlgval), r->get(rtupl), r->get(rdots),
          r->get(rvolume));
}

void midi_line(std::string* line, Drosa m) {
  const int count = std::clamp<int>(m->get(xmidi_count), 0, xmidi_bytes.count);
  appendf(line, "MIDI%p OBSOLETE NODE time0x%X bytes%d", id(m), unsigned(m->get(xmidi_time)),
          count);
  for (int i = 0; i < count; ++i) appendf(line, ", %02x", m->get(xmidi_bytes, i));
}

// ---- The other kinds of the piece ---------------------------------------------------------

// The codes of a table of 15, `count` of them (clamped to the table).
void entries(std::string* line, Drosa node, int count, const ArrayField<uint8_t>& table) {
  for (int i = 0; i < count; ++i) appendf(line, "%d, ", node->get(table, i));
}

int clamped_count(int count, const ArrayField<uint8_t>& table) {
  return std::clamp(count, 0, int(table.count));
}

void bar_line(std::string* line, Drosa b) {
  appendf(line, "BAR    %p double%d unnumbered%d x%d  bar#%d", id(b), b->get(xdouble),
          b->get(xunnumbered), b->get(xbarx), b->get(xbarnumber));
  // A jump (coda, repeat to a bar) is kept in bytes 32 and 34.
  const int goto_type = node_byte(b, 32);
  const int goto_bar = int16_t(load_big_endian(b->bytes() + 34, 2));
  if (goto_type) appendf(line, "  goto_type %d goto_bar %d", goto_type, goto_bar);
}

void undo_line(std::string* line, Drosa u) {
  switch (u->get(xundo_op)) {
    case UNDO_INSERT_AFTER:
      appendf(line, "UNDO   %p  insertAfter %p lastInserted %p", id(u), id(u->get(xundo_prev)),
              id(u->get(xundo_last)));
      break;
    case UNDO_DELETE_AFTER:
      appendf(line, "UNDO   %p  deleteAfter %p", id(u), id(u->get(xundo_prev)));
      break;
    default:
      appendf(line, "UNDO   %p  modify %p", id(u), id(u->get(xundo_prev)));
      break;
  }
}

void param_line(std::string* line, Drosa p) {
  const ParamValue v = get_xparam_value(p);
  const char c = v.character() >= 32 && v.character() < 127 ? char(v.character()) : ' ';
  appendf(line, "PARAM  %p xparam_index %d xparam_small %d stsize %d ival %d char %c ", id(p),
          p->get(xparam_index), p->get(xparam_small), p->get(xparam_stsize), v.integer(), c);
}

void endsyst_line(std::string* line, Drosa e) {
  appendf(line, "ENDSYST%p ", id(e));
  if (e->get(xbracket) == 2)
    *line += "NO_BRACKET ";
  else if (e->get(xbracket) != 0)
    *line += "NOT BRACKET_BETWEEN ";
}

void sdrag_line(std::string* line, Drosa s) {
  Drosa print = find_prev_kind(PRINT, s);
  appendf(line, "SDRAG  %p: move %d sstaff %d (voice's sstaff %d)", id(s), s->get(xstaffdrag),
          s->get(xsdrag_sstaff), print ? print->get(xsstaff) : -999);
}

// The kinds whose line is one format.
bool simple_line(std::string* line, Drosa n) {
  switch (n->xkind) {
    case CLEF:
      appendf(line, "CLEF   %p xclef%d xclefx%d xcleforigin%d", id(n), n->get(xclef),
              n->get(xclefx), n->get(xcleforigin));
      return true;
    case KEYSIG: {
      const int count = clamped_count(n->get(xkeycnt), xkeysig_entry);
      appendf(line, "KEYSIG %p xkey %d cnt%d:", id(n), n->get(xkey), count);
      entries(line, n, count, xkeysig_entry);
      return true;
    }
    case SPACC: {
      const int count = clamped_count(n->get(xnumspacc), xspacc_entry);
      appendf(line, "SPACC %p cnt%d:", id(n), count);
      entries(line, n, count, xspacc_entry);
      return true;
    }
    case COLOR:
      appendf(line, "COLOR %p ", id(n));
      return true;
    case NEST:
      appendf(line, "NEST %p %d:%2.1f", id(n), n->get(xnest_tupl), n->get(xnest_intimeof) / 4.0);
      return true;
    case TSMOD:
      appendf(line, "STMOD %p xstacissimo %d", id(n), n->get(xstacissimo));
      return true;
    case TIMESIG:
      appendf(line, "TIMESIG%p bpm%d beat%d", id(n), n->get(xbpm), n->get(xbeat));
      return true;
    case SPACE:
      appendf(line, "SPACE%p space%d", id(n), n->get(xspace));
      return true;
    case BARSEP:
      appendf(line, "BARSEP    %p", id(n));
      return true;
    case TEMPO:
      appendf(line, ">>>>OBSOLETE NODE TYPE<<<< TEMPO  %p lgval%d bpm%d", id(n),
              n->get(xtempo_lgval), n->get(xtempo_bpm));
      return true;
    case XMLT:
      appendf(line, "XMLT   %p xnwholec=0x%X xxmltime=%d xxmlincr=%d", id(n),
              unsigned(n->get(xnwholec)), n->get(xxmltime), n->get(xxmlincr));
      return true;
    case NTVIEW:
      appendf(line, "NTVIEW  %p ntview %d xvhdx,y %d,%d xvrestchar %d xvbarx %d", id(n),
              n->get(xntview), n->get(xvhdx), n->get(xvhdy), n->get(xvrestchar), n->get(xvbarx));
      return true;
    case PVIEW:
      appendf(line, "PVIEW  %p pview %d xvx/y1 %d,%d xvx/y2 %d,%d", id(n), n->get(xpview),
              n->get(xvx1), n->get(xvy1), n->get(xvx2), n->get(xvy2));
      return true;
    case PRINT:
      appendf(line, "PRINT  %p sstaff %d layer %d dir %d slines %d xstaffsize %d list %d", id(n),
              n->get(xsstaff), n->get(xlayer), n->get(xprintdir), n->get(xslines),
              n->get(xstaffsize), n->get(xlist));
      return true;
    case BEAMING:
      appendf(line, "BEAMING%p bvalue 0x%X, 0x%X, 0x%X, 0x%X, sbvalue 0x%X", id(n),
              unsigned(n->get(xbvalue, 0)), unsigned(n->get(xbvalue, 1)),
              unsigned(n->get(xbvalue, 2)), unsigned(n->get(xbvalue, 3)),
              unsigned(n->get(xsbvalue)));
      return true;
    case CMOVE:
      appendf(line, "CMOVE  %p: move %d", id(n), n->get(xchordmove));
      return true;
    case AMOVE:
      appendf(line, "AMOVE  %p: move %d", id(n), n->get(xmove));
      return true;
    case RMOVE:
      appendf(line, "RMOVE  %p: move %d", id(n), n->get(xmove));
      return true;
    case ZONE:
      appendf(line, "ZONE  %p: xzone_xpermil %d", id(n), n->get(xzone_xpermil));
      return true;
    case VINFO:
      appendf(line, "VINFO  %p: midichan %d part name '%s' voiceOnPart %d", id(n),
              n->get(xmidichan), n->get(xpname).c_str(), n->get(xvoiceOnPart));
      return true;
    case PDATA:
      appendf(line, "PDATA  %p (%d,%d),(%d,%d) pstf (%d,%d) scr (%d,%d),(%d,%d)", id(n),
              n->get(xpagex1), n->get(xpagey1), n->get(xpagex2), n->get(xpagey2), n->get(xy1pstaff),
              n->get(xy2pstaff), n->get(xscrx1), n->get(xscry1), n->get(xscrx2), n->get(xscry2));
      return true;
    case MARK:
      appendf(line, "MARK   %p", id(n));
      return true;
    case ROD:
      appendf(line, "ROD    %p  xrodleft %d xrodright %d xrodlength %d xrodforce %ld", id(n),
              n->get(xrodleft), n->get(xrodright), n->get(xrodlength), long(rod_force(n)));
      return true;
    case SPRING:
      appendf(line, "SPRING %p  xspringnum %d springk %ld xminforce %ld length %ld", id(n),
              n->get(xspringnum), long(spring_k(n)), long(spring_minforce(n)),
              long(spring_length(n)));
      return true;
    default:
      return false;
  }
}

// A layout record stands after the node it belongs to.
bool follows(Drosa record, int owner_kind) {
  return record->xback && record->xback->xkind == owner_kind;
}

}  // namespace

void describe_note_brief(CString& out, Drosa node) {
  if (!node || node->xkind != NOTE) {
    out = "NotNoteRest";
    return;
  }
  const int code = node->get(xlgval);
  char value[16];
  std::snprintf(value, sizeof value, "%d", code == 0 ? -1 : 1 << (code - 1));
  char tuplet[24] = "";
  const int count = node->get(xtupl), intimeof = node->get(xintimeof);
  if (count != 1) {
    if (intimeof % 4 == 0)
      std::snprintf(tuplet, sizeof tuplet, "[%d:%d]", count, intimeof / 4);
    else
      std::snprintf(tuplet, sizeof tuplet, "[%d:%2.1f]", count, intimeof / 4.0);
  }
  const char* dots = &"ddd"[3 - node->get(xdots)];
  if (node->get(xrest)) {
    out.format("%s%s%s%s ", node->get(xhider) ? "r" : "R", value, tuplet, dots);
    return;
  }
  // Positions below the staff's lowest octave are taken down to the octave below, so that the
  // letter is always one of the seven.
  const int mod7 = node->get(xmod7);
  const int octave = mod7 >= 0 ? mod7 / 7 : -((6 - mod7) / 7);
  const char letter = "cdefgab"[mod7 - octave * 7];
  const int acc = node->get(xacc);
  const char* accidental =
      node->get(xaccplot) ? PRINTED_ACCIDENTALS[acc] : IMPLIED_ACCIDENTALS[acc];
  out.format("%d%s%s%s%s%s%s ", octave, std::string(1, letter).c_str(), accidental, value, tuplet,
             dots, node->get(xgrace) ? "g" : "");
}

void dump_voice_nodes(Drosa node, std::string* line) {
  line->clear();
  appendf(line, "%d$$ ", node->xcontext);
  if (simple_line(line, node)) return;
  switch (node->xkind) {
    case NOTE:
      note_line(line, node);
      break;
    case NTDATA:
      if (follows(node, NOTE))
        appendf(line, "NTDATA  %p", id(node));
      else
        appendf(line, "NTDATA  %p   WARNING: No NOTE node to go with this!", id(node));
      break;
    case CDDATA:
      chord_line(line, node);
      break;
    case CDDATA2:
      if (follows(node, CDDATA))
        appendf(line, "CDDATA2  %p", id(node));
      else
        appendf(line, "CDDATA2  %p    WARNING: No CDDATA node to go with this!", id(node));
      break;
    case CDDATA3:
      if (follows(node, CDDATA2))
        appendf(line, "CDDATA3  %p", id(node));
      else
        appendf(line, "CDDATA3  %p    WARNING: No CDDATA node to go with this!", id(node));
      break;
    case TPARAM:
      tparam_line(line, node);
      break;
    case TEXT:
      text_line(line, node);
      break;
    case LINE:
      line_line(line, node);
      break;
    case PARAM:
      param_line(line, node);
      break;
    case BAR:
      bar_line(line, node);
      break;
    case ENDSYST:
      endsyst_line(line, node);
      break;
    case SDRAG:
      sdrag_line(line, node);
      break;
    case UNDO:
      undo_line(line, node);
      break;
    case PLAY:
      play_line(line, node);
      break;
    case RNOTE:
      rnote_line(line, node);
      break;
    case MIDI:
      midi_line(line, node);
      break;
    default:
      appendf(line, "xkind = %d", node->xkind);
      break;
  }
}
