// param_hooks.cpp: what the model calls of the parameters, registered at start-up, and the
// hooks through which the parameters reach the frame's menus, the
// annotations' text sizes and the drawing's glyphs and measuring port, which those subsystems
// register at start-up.
#include "params/param_editor.h"
#include "params/param_services.h"
#include "params/param_table.h"
#include "params/params_globals.h"

ParamHooks param_hooks;

namespace {

int param_type_of(int pindex) {
  return pindex >= 1 && pindex <= PARAM_LAST ? int(param[pindex].type) : -1;
}

int param_node_has_font(Drosa node) {
  const int type = param_type_of(node->get(xparam_index));
  return type == PARAM_CHARACTER || type == PARAM_CHARACTER_PAIR;
}

// The rows of the editor's headings list (5) or of its parameters list (6); the row selected.
int parameter_list_rows(int list, std::vector<std::string>* rows) {
  if (list == 5) {
    int count = find_parameter_heading(-1);
    for (int h = 0; h < count; ++h) rows->push_back(parameter_heading_text(h));
    return heading_cell.v;
  }
  if (heading_cell.v >= heading_count) return 0;  // no heading to list (none built)
  int position = find_parameter_heading(heading_cell.v);
  int count = find_parameter_edit(-1, &position);
  for (int r = 0; r < count; ++r) rows->push_back(parameter_row_text(r));
  return param_cell.v;
}

// A PARAM node's line in the debug dumps; 0 for another kind.
int param_node_text(Drosa p, std::string* line) {
  if (p->xkind != PARAM) return 0;
  const ParamValue v = get_xparam_value(p);
  const char c = v.character() >= 32 && v.character() < 127 ? char(v.character()) : ' ';
  append_dump_text(line, "PARAM  %p xparam_index %d xparam_small %d stsize %d ival %d char %c ",
                   dump_id(p), p->get(xparam_index), p->get(xparam_small), p->get(xparam_stsize),
                   v.integer(), c);
  return 1;
}

}  // namespace

void register_param_hooks() {
  model_hooks.param_changed.routine = param_changed;
  model_hooks.param_float_value.routine = param_float_value;
  model_hooks.param_type.routine = param_type_of;
  model_hooks.param_node_has_font.routine = param_node_has_font;
  model_hooks.polytempo_param.routine = [] { return int(P_POLYTEMPO_NOTE_DURATION_MULTIPLIER); };
  model_hooks.hidden_record_style.routine = [] {
    return int(P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG);
  };
  model_hooks.forget_duration_multiplier_change.routine = [] {
    param[P_POLYTEMPO_NOTE_DURATION_MULTIPLIER].changed = 0;
  };
  model_hooks.parameter_list_rows.routine = parameter_list_rows;
  model_hooks.rebuild_param_table.routine = [] {
    param_init();
    rebuild_param_nodes();
  };
  model_hooks.param_node_text.routine = param_node_text;
}
