// anno_runs.cpp: annotations as runs of nodes standing before their note.
//
// A run is, in list order: PVIEW nodes (one per view that placed it), the head (a TPARAM for
// a text, a LINE for a line or curve), its PDATA, and for a text the TEXT nodes of the head's
// style run followed by further style runs, each a TPARAM with xadjacent and its TEXT nodes.
// Several annotations may stand before one note; each run ends at the first node that is none
// of these, so deleting one never touches the next.
#include "annotations/anno_runs.h"

#include <algorithm>

#include "annotations/anno_codes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

constexpr int LINE_WHOLE_ROLE = 0;

// A part of the text run after its head: a TEXT, or a further style run's TPARAM.
bool continues_text(Drosa node) {
  return node && (node->xkind == TEXT || (node->xkind == TPARAM && node->get(xadjacent)));
}

}  // namespace

// ---- Walking an annotation ---------------------------------------------------------------------

int is_anno_head(Drosa node) {
  if (!node) return 0;
  const int kind = effective_kind(node);
  return kind == LINE || (kind == TPARAM && !node->get(xadjacent));
}

Drosa next_style_run(Drosa run) {
  if (!run || run->xkind != TPARAM) return NIL;
  Drosa p = run->xnext;
  if (p && p->xkind == PDATA && !run->get(xadjacent)) p = p->xnext;
  for (; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == NA || kind == TEXT) continue;
    return kind == TPARAM && p->get(xadjacent) ? p : NIL;
  }
  return NIL;
}

std::string run_text(Drosa run) {
  std::string text;
  if (!run) return text;
  Drosa p = run->xnext;
  if (p && p->xkind == PDATA && !run->get(xadjacent)) p = p->xnext;
  for (; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == NA) continue;
    if (kind != TEXT) break;
    text += p->get(xtext);
  }
  return text;
}

Drosa make_text_nodes(const std::string& text, int context, Drosa* last) {
  Drosa first = NIL, previous = NIL;
  for (size_t at = 0; at < text.size(); at += TEXT_NODE_CHARS) {
    Drosa chars = newDrosa(TEXT, context);
    chars->set(xtext, text.substr(at, TEXT_NODE_CHARS).c_str());
    if (previous)
      link_after(chars, previous);
    else
      first = chars;
    previous = chars;
  }
  if (last) *last = previous;
  return first;
}

// ---- Deleting -------------------------------------------------------------------------------

void forget_anno_references(Drosa anno) {
  if (!anno) return;
  if (current_anno == anno) current_anno = NIL;
  if (previous_anno == anno) previous_anno = NIL;
  if (last_template_source == anno) last_template_source = NIL;
  for (Drosa& model : class_models)
    if (model == anno) model = NIL;
}

Drosa delete_anno_nodes(Drosa anno) {
  int kind = anno ? effective_kind(anno) : NA;
  if (kind != TPARAM && kind != LINE) {
    REPORT_ERROR(4, "Bad parameter to delete_anno_nodes: %lx kind %s",
                 static_cast<unsigned long>(anno.handle()), node_kind_name(anno));
    return anno ? anno->xnext : NIL;
  }
  return delete_anno_run(anno);
}

Drosa delete_anno_run(Drosa anno) {
  const int kind = anno->xkind;
  // A segment of a line that runs on changes the systems around it: both kinds reformat.
  mark_piece_changed(1, 1, anno->xcontext);
  if (anno->xnext && anno->xnext->xkind == PDATA) destroy_node(anno->xnext);
  while (anno->xback && anno->xback->xkind == PVIEW) destroy_node(anno->xback);
  Drosa last = anno;
  if (kind == TPARAM)
    while (continues_text(last->xnext)) last = last->xnext;
  Drosa before = anno->xback;
  forget_anno_references(anno);
  removevc_list_with_undo(anno, last);
  return before;
}

Drosa delete_marked_annos(Drosa node) {
  if (!node) return NIL;
  // The nodes attached before the node: back to the previous note or visible ENDSYST.
  Drosa first = node;
  for (Drosa p = node->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST; p = p->xback)
    first = p;
  for (Drosa p = first; p && p != node;) {
    const int kind = effective_kind(p);
    const bool marked = (kind == TPARAM && !p->get(xadjacent) && p->get(xeocvar) != 0) ||
                        (kind == LINE && p->get(xline_eocvar) != 0);
    p = marked ? delete_anno_nodes(p)->xnext : p->xnext;
  }
  return NIL;
}

// ---- Templates ------------------------------------------------------------------------------

namespace {

void copy_payload(Drosa to, Drosa from) {
  std::copy(from->bytes() + DROSA_PAYLOAD_OFFSET, from->bytes() + DROSA_NODE_SIZE,
            to->bytes() + DROSA_PAYLOAD_OFFSET);
}

void text_template_from(Drosa tparam) {
  copy_payload(text_template, tparam);
  text_template->xcontext = tparam->xcontext;
  text_template->set(xeocvar, 0);
  text_template->set(xeocord, 0);
  text_template->set(xdefault, 0);
  AnnoFontSpec spec = anno_font_spec(tparam);
  text_template->set(xtextfont, spec.font);
  text_template->set(xtextsize, uint8_t(std::clamp<int>(spec.size, 0, 255)));
  text_template->set(xtextface, spec.face);
  text_template->set(xcharset, spec.charset);
}

void line_template_from(Drosa line) {
  copy_payload(line_template, line);
  line_template->xcontext = line->xcontext;
  line_template->set(xline_ord, LINE_WHOLE_ROLE);
  line_template->set(xline_eocvar, 0);
}

}  // namespace

void anno_make_template(Drosa node, int force) {
  if (!node || (!force && node == last_template_source)) return;
  last_template_source = node;
  const int kind = effective_kind(node);
  if (kind == TPARAM && !node->get(xadjacent)) {
    text_template_from(node);
    line_template->set(xline_fromstaff, node->get(xfromstaff));
    line_template->set(xline_pagemargin, node->get(xpagemargin));
    line_template->set(xline_drawmode, node->get(xtext_drawmode));
    line_template->xcontext = node->xcontext;
  } else if (kind == LINE) {
    line_template_from(node);
    text_template->set(xfromstaff, node->get(xline_fromstaff));
    text_template->set(xpagemargin, node->get(xline_pagemargin));
    text_template->set(xtext_drawmode, node->get(xline_drawmode));
    text_template->xcontext = node->xcontext;
  }
}

int32_t staff_value_of_node(Drosa node) {
  if (!node || pstaff_count <= 0) return 0;
  const int32_t p = pstaff_of_node(node);
  return p >= 0 && p < std::min<int32_t>(pstaff_count, MAX_PSTAVES) ? staff_data[p].middle_y : 0;
}

// ---- The user's words -----------------------------------------------------------------------

const char* line_style_name(int style) {
  static const char* const names[] = {
      "plain line",         "hairpin",          "tuplet bracket",      "plain bracket",
      "right bracket",      "left bracket",     "rectangle",           "left of rectangle",
      "right of rectangle", "top of rectangle", "bottom of rectangle", "trill line",
      "pedal line",
  };
  return style >= 0 && style <= 12 ? names[style] : "ERROR BAD VALUE";
}

const AnnoFlagWord anno_flag_words[] = {
    {&xjustified, "Centered", "Centered"},
    {&xpagemargin, "Horizontal Lock", "Horizontal Lock"},
    {&xboxed, "Boxed", "Boxed"},
    {&xleavespace, "Leave Space", "Leave Space"},
    {&xfromstaff, "Vertical Lock", "Vertical Lock"},
    {&xeachsys, "At Each System", "At Each System"},
    {&xfing, "Fingering", "Fingering"},
    {&xeverypart, "In Every Context", "In Every Context"},
    {&xhidden, "Hidden", "Hidden"},
    {&xdefault, "Model for Category:", "Model for Category:"},
    {&xeachpage, "On Each Page", "On Each Page"},
    {&xfooter, "Position Lock", "Position Lock"},
    {&xignore, "Do Not Interpret", "Uninterpreted"},
    {&xkeep_hyphen, "Center Hyphens", "Center Hyphens"},
    {&xkeep_underline, "Extend Underlines", "Extend Underlines"},
    {&xno_size_adjust, "Staff Size Adjust", "Staff Size Adjust"},
    {&xspec_underline, "Flat Underlines", "Flat Underlines"},
    {&xtext_drawmode, "Draw In White", "Draw In White"},
    {&xline_fromstaff, "Vertical Lock", "Vertical Lock"},
    {&xline_pagemargin, "Horizontal Lock", "Horizontal Lock"},
    {&xline_eachsys, "At Each System", "At Each System"},
    {&xline_eachpage, "On Each Page", "On Each Page"},
    {&xline_everypart, "In Every Context", "In Every Context"},
    {&xline_drawmode, "Draw In White", "Draw In White"},
};
const int anno_flag_word_count = sizeof anno_flag_words / sizeof anno_flag_words[0];
