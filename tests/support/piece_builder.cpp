// piece_builder.cpp: pieces made in code, and their text dumps.
#include "support/piece_builder.h"

#include <algorithm>
#include <cstdio>

#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

std::string format(const char* f, long a = 0, long b = 0, long c = 0, long d = 0) {
  char text[160];
  std::snprintf(text, sizeof text, f, a, b, c, d);
  return text;
}

std::string link_text(Drosa link, const std::vector<Drosa>& numbering) {
  if (!link) return "NIL";
  auto at = std::find(numbering.begin(), numbering.end(), link);
  if (at == numbering.end()) return "out";
  return "#" + std::to_string(at - numbering.begin());
}

}  // namespace

int new_voice(const char* part, int voice_on_part, int staff) {
  int v = voice_count++;
  Drosa head = newDrosa(ENDSYST, 0);
  head->set(xstartpiece, 1);
  head->set(xendpage, 1);
  Drosa end = newDrosa(ENDSYST, 0);
  end->set(xendpiece, 1);
  end->set(xendpage, 1);
  link_after(end, head);
  piece_start[v] = page_start[v] = head;
  Drosa info = add(v, VINFO);
  info->set(xpname, part);
  info->set(xvoiceOnPart, int8_t(voice_on_part));
  add_print(v, 1, staff);
  return v;
}

// The last node of each voice, remembered with the head it was found from, so that building
// long voices stays linear.
struct VoiceEnd {
  Drosa head, end;
};
VoiceEnd voice_ends[MAX_VOICES];

Drosa voice_end(int v) {
  VoiceEnd& known = voice_ends[v];
  if (known.head == piece_start[v] && known.end && known.end->xkind == ENDSYST &&
      known.end->get(xendpiece) && !known.end->xnext)
    return known.end;
  Drosa p = piece_start[v];
  while (p->xnext) p = p->xnext;
  known = {piece_start[v], p};
  return p;
}

Drosa add(int v, int kind, int context) {
  Drosa node = newDrosa(kind, context);
  link_after(node, voice_end(v)->xback);
  return node;
}

Drosa add_note(int v, int lgval, int mod7, int dots, bool chord_continues) {
  Drosa n = add(v, NOTE);
  n->set(xlgval, lgval);
  n->set(xmod7, int8_t(mod7));
  n->set(xacc, 3);  // natural: every note holds a spelling
  n->set(xdots, dots);
  n->set(xtupl, 1);
  n->set(xintimeof, 4);
  n->set(xvolume, 100);
  n->set(xdir, 3);
  n->set(xvoice, v);
  n->set(xendvcd, chord_continues ? 0 : 1);
  return n;
}

Drosa add_rest(int v, int lgval, int dots) {
  Drosa n = add_note(v, lgval, 35, dots);
  n->set(xrest, 1);
  return n;
}

Drosa add_grace(int v, int lgval, bool after_note, int mod7) {
  Drosa n = add_note(v, lgval, mod7);
  n->set(xgrace, 1);
  n->set(xnachschlag, after_note ? 1 : 0);
  return n;
}

Drosa add_chord(int v, int lgval, const std::vector<int>& mod7s) {
  Drosa first = NIL;
  for (size_t i = 0; i < mod7s.size(); ++i) {
    Drosa n = add_note(v, lgval, mod7s[i], 0, i + 1 < mod7s.size());
    if (!first) first = n;
  }
  return first;
}

void make_tuplet(Drosa note, int tupl, int intimeof) {
  note->set(xtupl, uint8_t(tupl));
  note->set(xintimeof, uint8_t(4 * intimeof));
}

Drosa add_nest(int v, int tupl_factor, int intimeof_factor4) {
  Drosa n = add(v, NEST);
  n->set(xnest_tupl, uint8_t(tupl_factor));
  n->set(xnest_intimeof, uint8_t(intimeof_factor4));
  return n;
}

Drosa add_bar(int v, int context) { return add(v, BAR, context); }

Drosa add_clef(int v, int clef_type, int context) {
  Drosa n = add(v, CLEF, context);
  n->set(xclef, uint8_t(clef_type));
  return n;
}

Drosa add_key(int v, int key, int context) {
  Drosa n = add(v, KEYSIG, context);
  n->set(xkey, int8_t(key));
  return n;
}

Drosa add_timesig(int v, int bpm, int beat, int context) {
  Drosa n = add(v, TIMESIG, context);
  n->set(xbpm, int16_t(bpm));
  n->set(xbeat, int16_t(beat));
  return n;
}

Drosa add_print(int v, int context, int sstaff, int layer) {
  Drosa n = add(v, PRINT, context);
  n->set(xsstaff, int16_t(sstaff));
  n->set(xprintdir, int16_t(3));
  n->set(xslines, int16_t(5));
  n->set(xstaffsize, int16_t(50));
  n->set(xlayer, uint8_t(layer));
  return n;
}

Drosa add_beaming(int v, std::vector<int> beats, int secondary) {
  Drosa n = add(v, BEAMING);
  n->set(xsbvalue, secondary);
  for (size_t i = 0; i < beats.size() && i < 4; ++i) n->set(xbvalue, int(i), beats[i]);
  return n;
}

Drosa add_system_break(int v, bool page, int context) {
  Drosa n = add(v, ENDSYST, context);
  n->set(xendpage, page ? 1 : 0);
  return n;
}

Drosa add_after(Drosa anchor, int kind, int context) {
  Drosa node = newDrosa(kind, context);
  link_after(node, anchor);
  return node;
}

std::vector<Drosa> voice_nodes(int v) {
  std::vector<Drosa> nodes;
  for (Drosa p = piece_start[v]; p; p = p->xnext) nodes.push_back(p);
  return nodes;
}

std::vector<int> bars_per_system(int v) {
  std::vector<int> bars{0};
  for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
    if (effective_kind(p) == BAR) ++bars.back();
    if (effective_kind(p) == ENDSYST && !p->get(xendpiece)) bars.push_back(0);
  }
  return bars;
}

std::string dump_node(Drosa n, const std::vector<Drosa>& numbering) {
  std::string s = kind_name(n->xkind);
  if (n->xcontext) s += format("@%ld", n->xcontext);
  switch (n->xkind) {
    case NOTE:
      if (n->get(xrest)) s = "REST" + s.substr(4);
      s += format(" lg%ld", n->get(xlgval));
      if (!n->get(xrest)) s += format(" m%ld", n->get(xmod7));
      if (n->get(xdots)) s += format(" d%ld", n->get(xdots));
      if (n->get(xtupl) != 1) s += format(" %ld:%ld", n->get(xtupl), n->get(xintimeof));
      if (n->get(xgrace)) s += n->get(xnachschlag) ? " grace-after" : " grace";
      if (n->get(xendvcd)) s += " endvcd";
      if (n->get(xacc) != 3 || n->get(xaccplot))
        s += format(" acc%ld", n->get(xacc)) + (n->get(xaccplot) ? "+" : "");
      if (n->get(xtie)) s += " tie";
      break;
    case BAR:
      if (n->get(xrepeat_end)) s += " :|";
      if (n->get(xrepeat_start)) s += " |:";
      if (n->get(xdouble)) s += format(" style%ld", n->get(xdouble));
      if (n->get(xunnumbered)) s += " unnumbered";
      break;
    case ENDSYST:
      if (n->get(xstartpiece)) s += " start";
      if (n->get(xendpiece)) s += " end";
      if (n->get(xendpage)) s += " page";
      break;
    case PRINT:
      s += format(" staff%ld layer%ld", n->get(xsstaff), n->get(xlayer));
      break;
    case TIMESIG:
      s += format(" %ld/%ld", n->get(xbpm), n->get(xbeat));
      break;
    case CLEF:
      s += format(" %ld", n->get(xclef));
      break;
    case KEYSIG:
      s += format(" %ld", n->get(xkey));
      break;
    case NEST:
      s += format(" %ld:%ld", n->get(xnest_tupl), n->get(xnest_intimeof));
      break;
    case NTDATA:
      s += " pb" + link_text(n->get(xpback), numbering) + " pn" +
           link_text(n->get(xpnext), numbering);
      if (n->get(xendscd)) s += " endscd";
      if (n->get(xstmdir)) s += format(" dir%ld", n->get(xstmdir));
      break;
    case CDDATA3:
      s += format(" pstaff%ld layer%ld", n->get(xpstaff), n->get(xcdlayer));
      break;
    case CDDATA2:
      s += format(" t%ld m%ld n%ld", n->get(xswholec), n->get(xmwholec), n->get(xchordNum));
      break;
    default:
      break;
  }
  return s;
}

std::string dump_voice(int v) {
  std::vector<Drosa> nodes = voice_nodes(v);
  std::string text;
  for (size_t i = 0; i < nodes.size(); ++i)
    text += std::to_string(i) + " " + dump_node(nodes[i], nodes) + "\n";
  return text;
}
