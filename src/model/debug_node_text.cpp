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
#include "model/debug_dump.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/undo.h"
#include "model/voice_lists.h"

void append_dump_text(std::string* line, const char* format, ...) {
  char text[320];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  *line += text;
}

namespace {

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
  append_dump_text(line, "<p%d,v%d,s%d>", (w & 0x7F) - 1, ((w >> 7) & 0x1F) - 1, (w >> 12) & 0xF);
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
  append_dump_text(line, "%s   %p ", rest ? "REST" : "NOTE", dump_id(note));
  if (nt && nt->get(xpnext)) append_dump_text(line, "pn%p ", dump_id(nt->get(xpnext)));
  if (nt && nt->get(xpback)) append_dump_text(line, "pb%p ", dump_id(nt->get(xpback)));
  CString brief;
  describe_note_brief(brief, note);
  *line += static_cast<const char*>(brief);
  if (rest)
    append_dump_text(line, "[%d] ", nt ? nt->get(xrestchar) : 0);
  else
    append_dump_text(line, "mod%d ", note->get(xmod7));
  append_dump_text(line, "lg%d ", note->get(xlgval));
  if (note->get(xendvcd)) *line += "vocCD ";
  if (!nt) return;
  if (nt->get(xendscd)) *line += "stfCD ";
  if (nt->get(xtmpbeam)) *line += "tmpENDBEAM ";
  if (nt->get(xendbeam)) *line += "ENDBEAM ";
  if (nt->get(xendbeam) && !nt->get(xendscd))
    *line += ">>>ENDBEAM but not highest note of stmdir<<< ";
  append_dump_text(line, "x%d y%d stsz%d", nt->get(xhdx), nt->get(xhdy), nt->get(xstsize));
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
      append_dump_text(line, "acc'%d' ", acc);
    if (nt && nt->get(xtabtyp))
      append_dump_text(line, "xtabtyp%d xtabstr%d", nt->get(xtabtyp), nt->get(xtabstr));
    else if (nt)
      append_dump_text(line, "accx%d ", nt->get(xaccx));
  }
  std::string direction = stem_word(note->get(xdir));
  if (nt) {
    if (nt->get(xstmdir) == 1) direction = "DN";
    if (nt->get(xstmdir) == 2) direction = "UP";
    if (nt->get(xtmpdir)) direction = "TEMP" + direction;
  }
  append_dump_text(line, "%c %s ", nt && nt->get(xforced) ? 'F' : 'U', direction.c_str());
  append_dump_text(line, "voc%d ", note->get(xvoice));
  if (nt && nt->get(xtup_info)) *line += "TUPINFO ";
  if (note->get(xgrace)) *line += note->get(xnachschlag) ? "grace-nachschlag " : "grace ";
  if (note->get(xtie)) append_dump_text(line, "tie%d ", note->get(xtie));
  if (note->get(xslur)) append_dump_text(line, "slr%d ", note->get(xslur));
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
    if (nt->get(xrestchar) == 2) append_dump_text(line, " %dMEAS REST", cd ? cd->get(xrcmeas) : 0);
  } else if (!nt) {
    append_dump_text(line, " xlength %0lx xttn %0lx (no NTDATA ", (unsigned long)note->get(xlength),
                     (unsigned long)note->get(xttn));
    append_style_reference(line, note);
    *line += ")";
  }
}

void note_line(std::string* line, Drosa note) {
  if (!seen_here(note)) {
    append_dump_text(line, "NOTE   %p non-notated...", dump_id(note));
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
  append_dump_text(line, "CHORD  %p num %d wholec s0x%X m0x%X; ", dump_id(cd),
                   cd2 ? cd2->get(xchordNum) : -1, cd2 ? unsigned(cd2->get(xswholec)) : 0u,
                   cd2 ? unsigned(cd2->get(xmwholec)) : 0u);
  if (cd3)
    append_dump_text(line, "tsn/b(%p,%p) pstf %d lyr %d ", dump_id(cd3->get(xnextchord)),
                     dump_id(cd3->get(xprevchord)), cd3->get(xpstaff), cd3->get(xcdlayer));
  append_dump_text(line, "uphiyloydn(%d,%d,%d,%d) ", cd->get(xuphiy), cd->get(xuploy),
                   cd->get(xdownhiy), cd->get(xdownloy));
  append_dump_text(line, "org %d idealx %d ", cd->get(xorigin), cd2 ? cd2->get(xidealx) : 0);
  append_dump_text(line, "prehiy%d preloy%d prex%d ", cd->get(xprehiy), cd->get(xpreloy),
                   cd->get(xprex));
  append_dump_text(line, "xop%d,%d ", cd->get(xoppos), cd2 ? cd2->get(xopposhide) : 0);
  if (cd->get(xtup_start)) *line += "TUPSTART ";
  if (cd->get(xtup_end)) *line += "TUPEND ";
  if (cd->get(xtup_mark) == 1) *line += "TUPMARKHERE ";
  if (cd->get(xtup_mark) == 2) *line += "TUPMARKBEFORE ";
  if (cd2)
    append_dump_text(line, " zone%d sprng%d ", cd2->get(xreloc_zone), cd2->get(xreloc_spring));
  append_dump_text(line, "lorchorx%d lorheadx%d ", cd->get(xcdleft), cd->get(xcdoverhang));
}

// ---- Annotations ----------------------------------------------------------------------------

void tparam_line(std::string* line, Drosa t) {
  append_dump_text(line, "TPARAM %p adj%d x%d y%d, font%d, charset%d, size%d, face%d, just%d,%s",
                   dump_id(t), t->get(xadjacent), t->get(xtextx), t->get(xtexty), t->get(xtextfont),
                   t->get(xcharset), t->get(xtextsize), t->get(xtextface), t->get(xjustified),
                   t->get(xboxed) ? " BOXED" : "");
  append_dump_text(line,
                   "\n          space%d, stsiz%d, noSAdj%d, fromstaff%d, footer%d relx%d rely%d ",
                   t->get(xleavespace), t->get(xtext_stsize), t->get(xno_size_adjust),
                   t->get(xfromstaff), t->get(xfooter), t->get(xrelativex), t->get(xrelativey));
  append_style_reference(line, t);
  append_dump_text(line, " %s", t->get(xbackslash) ? "BACKSLASH" : "");
  append_dump_text(line, "\n          expand%d, super%d", t->get(xexpand), t->get(xsuper));
  append_dump_text(line, "\n          eocvar%d, eocord%d, drawmode%d", t->get(xeocvar),
                   t->get(xeocord), t->get(xtext_drawmode));
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
  append_dump_text(line, "TTEXT  %p '%s'", dump_id(t), shown.c_str());
}

void line_line(std::string* line, Drosa l) {
  append_dump_text(line, "LINE  %p (%d,%d),(%d,%d) curve %d (%d,%d),(%d,%d) wid %d", dump_id(l),
                   l->get(xstartx), l->get(xstarty), l->get(xendx), l->get(xendy), l->get(xcurve),
                   l->get(xc1x), l->get(xc1y), l->get(xc2x), l->get(xc2y), l->get(xlinewidth));
  const int ord = l->get(xline_eocvar) ? 0 : l->get(xline_ord);
  append_dump_text(
      line,
      "\n          dashgap (%d,%d) hvlock (%d,%d) severypart (%d,%d,%d) drawmd %d ord %d "
      "%s%s%s",
      l->get(xdashlth), l->get(xgaplth), l->get(xline_pagemargin), l->get(xline_fromstaff),
      l->get(xline_eachsys), l->get(xline_eachpage), l->get(xline_everypart),
      l->get(xline_drawmode), l->get(xline_ord), ord == 1 ? "ENDLINE " : "",
      ord == 3 ? "BEGLINE " : "", ord == 2 ? "MIDLINE " : "");
  append_dump_text(line, "\n          metaline %d", l->get(xmetaline));
  append_dump_text(line, "\n          eocvar%d, drawmode%d", l->get(xline_eocvar),
                   l->get(xline_drawmode));
}

// ---- The other kinds of the piece ---------------------------------------------------------

// The codes of a table of 15, `count` of them (clamped to the table).
void entries(std::string* line, Drosa node, int count, const ArrayField<uint8_t>& table) {
  for (int i = 0; i < count; ++i) append_dump_text(line, "%d, ", node->get(table, i));
}

int clamped_count(int count, const ArrayField<uint8_t>& table) {
  return std::clamp(count, 0, int(table.count));
}

void bar_line(std::string* line, Drosa b) {
  append_dump_text(line, "BAR    %p double%d unnumbered%d x%d  bar#%d", dump_id(b), b->get(xdouble),
                   b->get(xunnumbered), b->get(xbarx), b->get(xbarnumber));
  // A jump (coda, repeat to a bar) is kept in bytes 32 and 34.
  const int goto_type = node_byte(b, 32);
  const int goto_bar = int16_t(load_big_endian(b->bytes() + 34, 2));
  if (goto_type) append_dump_text(line, "  goto_type %d goto_bar %d", goto_type, goto_bar);
}

void undo_line(std::string* line, Drosa u) {
  switch (u->get(xundo_op)) {
    case UNDO_INSERT_AFTER:
      append_dump_text(line, "UNDO   %p  insertAfter %p lastInserted %p", dump_id(u),
                       dump_id(u->get(xundo_prev)), dump_id(u->get(xundo_last)));
      break;
    case UNDO_DELETE_AFTER:
      append_dump_text(line, "UNDO   %p  deleteAfter %p", dump_id(u), dump_id(u->get(xundo_prev)));
      break;
    default:
      append_dump_text(line, "UNDO   %p  modify %p", dump_id(u), dump_id(u->get(xundo_prev)));
      break;
  }
}

void endsyst_line(std::string* line, Drosa e) {
  append_dump_text(line, "ENDSYST%p ", dump_id(e));
  if (e->get(xbracket) == 2)
    *line += "NO_BRACKET ";
  else if (e->get(xbracket) != 0)
    *line += "NOT BRACKET_BETWEEN ";
}

void sdrag_line(std::string* line, Drosa s) {
  Drosa print = find_prev_kind(PRINT, s);
  append_dump_text(line, "SDRAG  %p: move %d sstaff %d (voice's sstaff %d)", dump_id(s),
                   s->get(xstaffdrag), s->get(xsdrag_sstaff), print ? print->get(xsstaff) : -999);
}

// The kinds whose line is one format.
bool simple_line(std::string* line, Drosa n) {
  switch (n->xkind) {
    case CLEF:
      append_dump_text(line, "CLEF   %p xclef%d xclefx%d xcleforigin%d", dump_id(n), n->get(xclef),
                       n->get(xclefx), n->get(xcleforigin));
      return true;
    case KEYSIG: {
      const int count = clamped_count(n->get(xkeycnt), xkeysig_entry);
      append_dump_text(line, "KEYSIG %p xkey %d cnt%d:", dump_id(n), n->get(xkey), count);
      entries(line, n, count, xkeysig_entry);
      return true;
    }
    case SPACC: {
      const int count = clamped_count(n->get(xnumspacc), xspacc_entry);
      append_dump_text(line, "SPACC %p cnt%d:", dump_id(n), count);
      entries(line, n, count, xspacc_entry);
      return true;
    }
    case COLOR:
      append_dump_text(line, "COLOR %p ", dump_id(n));
      return true;
    case NEST:
      append_dump_text(line, "NEST %p %d:%2.1f", dump_id(n), n->get(xnest_tupl),
                       n->get(xnest_intimeof) / 4.0);
      return true;
    case TSMOD:
      append_dump_text(line, "STMOD %p xstacissimo %d", dump_id(n), n->get(xstacissimo));
      return true;
    case TIMESIG:
      append_dump_text(line, "TIMESIG%p bpm%d beat%d", dump_id(n), n->get(xbpm), n->get(xbeat));
      return true;
    case SPACE:
      append_dump_text(line, "SPACE%p space%d", dump_id(n), n->get(xspace));
      return true;
    case BARSEP:
      append_dump_text(line, "BARSEP    %p", dump_id(n));
      return true;
    case TEMPO:
      append_dump_text(line, ">>>>OBSOLETE NODE TYPE<<<< TEMPO  %p lgval%d bpm%d", dump_id(n),
                       n->get(xtempo_lgval), n->get(xtempo_bpm));
      return true;
    case NTVIEW:
      append_dump_text(line, "NTVIEW  %p ntview %d xvhdx,y %d,%d xvrestchar %d xvbarx %d",
                       dump_id(n), n->get(xntview), n->get(xvhdx), n->get(xvhdy),
                       n->get(xvrestchar), n->get(xvbarx));
      return true;
    case PVIEW:
      append_dump_text(line, "PVIEW  %p pview %d xvx/y1 %d,%d xvx/y2 %d,%d", dump_id(n),
                       n->get(xpview), n->get(xvx1), n->get(xvy1), n->get(xvx2), n->get(xvy2));
      return true;
    case PRINT:
      append_dump_text(line, "PRINT  %p sstaff %d layer %d dir %d slines %d xstaffsize %d list %d",
                       dump_id(n), n->get(xsstaff), n->get(xlayer), n->get(xprintdir),
                       n->get(xslines), n->get(xstaffsize), n->get(xlist));
      return true;
    case BEAMING:
      append_dump_text(line, "BEAMING%p bvalue 0x%X, 0x%X, 0x%X, 0x%X, sbvalue 0x%X", dump_id(n),
                       unsigned(n->get(xbvalue, 0)), unsigned(n->get(xbvalue, 1)),
                       unsigned(n->get(xbvalue, 2)), unsigned(n->get(xbvalue, 3)),
                       unsigned(n->get(xsbvalue)));
      return true;
    case CMOVE:
      append_dump_text(line, "CMOVE  %p: move %d", dump_id(n), n->get(xchordmove));
      return true;
    case AMOVE:
      append_dump_text(line, "AMOVE  %p: move %d", dump_id(n), n->get(xmove));
      return true;
    case RMOVE:
      append_dump_text(line, "RMOVE  %p: move %d", dump_id(n), n->get(xmove));
      return true;
    case ZONE:
      append_dump_text(line, "ZONE  %p: xzone_xpermil %d", dump_id(n), n->get(xzone_xpermil));
      return true;
    case VINFO:
      append_dump_text(line, "VINFO  %p: midichan %d part name '%s' voiceOnPart %d", dump_id(n),
                       n->get(xmidichan), n->get(xpname).c_str(), n->get(xvoiceOnPart));
      return true;
    case PDATA:
      append_dump_text(line, "PDATA  %p (%d,%d),(%d,%d) pstf (%d,%d) scr (%d,%d),(%d,%d)",
                       dump_id(n), n->get(xpagex1), n->get(xpagey1), n->get(xpagex2),
                       n->get(xpagey2), n->get(xy1pstaff), n->get(xy2pstaff), n->get(xscrx1),
                       n->get(xscry1), n->get(xscrx2), n->get(xscry2));
      return true;
    case MARK:
      append_dump_text(line, "MARK   %p", dump_id(n));
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
  append_dump_text(line, "%d$$ ", node->xcontext);
  if (simple_line(line, node) || model_hooks.param_node_text(node, line) ||
      model_hooks.layout_node_text(node, line) || model_hooks.performance_node_text(node, line) ||
      model_hooks.musicxml_node_text(node, line))
    return;
  switch (node->xkind) {
    case NOTE:
      note_line(line, node);
      break;
    case NTDATA:
      if (follows(node, NOTE))
        append_dump_text(line, "NTDATA  %p", dump_id(node));
      else
        append_dump_text(line, "NTDATA  %p   WARNING: No NOTE node to go with this!",
                         dump_id(node));
      break;
    case CDDATA:
      chord_line(line, node);
      break;
    case CDDATA2:
      if (follows(node, CDDATA))
        append_dump_text(line, "CDDATA2  %p", dump_id(node));
      else
        append_dump_text(line, "CDDATA2  %p    WARNING: No CDDATA node to go with this!",
                         dump_id(node));
      break;
    case CDDATA3:
      if (follows(node, CDDATA2))
        append_dump_text(line, "CDDATA3  %p", dump_id(node));
      else
        append_dump_text(line, "CDDATA3  %p    WARNING: No CDDATA node to go with this!",
                         dump_id(node));
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
    default:
      append_dump_text(line, "xkind = %d", node->xkind);
      break;
  }
}
