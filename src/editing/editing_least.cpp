// editing_least.cpp: what the music window and the menus ask of editing commands not built
// yet: chord and staff drags do nothing.
#include "editing/editing_services.h"

void drag_chord(Point, int) {}
void next_drag_staff(Point, Rect) {}
