// hooks.cpp: the registry of hooks, the doors through which the piece model, the parameters and
// the layout engine call the subsystems built on them (drawing, the frame, annotations, editing,
// playback), which register their routines at start-up.
//
// A hook called before its routine is registered reports it and gives a zero result, so a
// start-up path that forgot to connect the subsystems is seen at once, never skips work quietly.
#include <vector>

#include "model/model_services.h"

ModelHooks model_hooks;

namespace {

// Every hook of the program, in the order they were made.
std::vector<const AnyHook*>& every_hook() {
  static std::vector<const AnyHook*> hooks;  // made before the first hook joins
  return hooks;
}

}  // namespace

AnyHook::AnyHook(const char* hook_name) : name(hook_name) { every_hook().push_back(this); }

AnyHook::~AnyHook() { std::erase(every_hook(), this); }

void hook_missing(const char* name) {
  REPORT_ERROR(4, "%s was called before its subsystem registered it", name);
}

std::vector<const char*> unregistered_hooks() {
  std::vector<const char*> names;
  for (const AnyHook* hook : every_hook())
    if (!hook->registered()) names.push_back(hook->name);
  return names;
}
