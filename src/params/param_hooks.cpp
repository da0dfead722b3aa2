// param_hooks.cpp: what the model calls of the parameters, registered at start-up, and the
// hooks through which the parameters reach the frame's menus, the
// annotations' text sizes and the drawing's glyphs and measuring port, which those subsystems
// register at start-up.
#include "params/param_services.h"

ParamHooks param_hooks;

void register_param_hooks() {
  model_hooks.param_changed.routine = param_changed;
  model_hooks.param_float_value.routine = param_float_value;
}
