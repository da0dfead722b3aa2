// editing_least.cpp: what the music window and the menus ask of editing commands not built
// yet: chord and staff drags do nothing, and the system clipboard is not read.
#include "editing/editing_services.h"

void drag_chord(Point, int) {}
void next_drag_staff(Point, Rect) {}

void clear_music_scrap(int flag) {
  if (flag) return;  // the system clipboard is not read yet: it never holds text or a picture
  if (clipboard_list) destroy_chain(clipboard_list, NIL);
  clipboard_list = NIL;
  clipboard_kind = 0;
}
