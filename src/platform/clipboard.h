// clipboard.h: the system clipboard's plain text.
#pragma once

#include <string>

// Puts UTF-8 text on the system clipboard, replacing what it held.
void platform_clipboard_set_text(const std::string& utf8);
// The system clipboard's text as UTF-8; empty when it holds none.
std::string platform_clipboard_text();
// The system clipboard holds a picture.
bool platform_clipboard_has_image();
