// param_hooks.cpp: the hooks through which the parameters reach the frame's menus, the
// annotations' text sizes and the drawing's glyphs and measuring port, which those subsystems
// register at start-up.
#include "params/param_services.h"

ParamHooks param_hooks;
