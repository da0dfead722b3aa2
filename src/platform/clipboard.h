// clipboard.h: the system clipboard: its plain text, cleared, asked whether another program has
// put text or a picture on it, and given a picture of the page recorded from drawing (as PDF
// and PNG, so that other programs can paste it).
#pragma once

#include <string>
#include <vector>

#include "platform/geometry.h"

struct Port;
struct PictureRecording;

// Puts UTF-8 text on the system clipboard, replacing what it held (marked as this program's).
void platform_clipboard_set_text(const std::string& utf8);
// The system clipboard's text as UTF-8; empty when it holds none.
std::string platform_clipboard_text();
// The system clipboard holds a picture.
bool platform_clipboard_has_image();

// Empties the system clipboard.
void platform_clipboard_clear();
// True when the clipboard holds text or an image that this program did not put there.
bool platform_clipboard_has_foreign_text_or_picture();
// The kinds of data (MIME types) on the clipboard now, for tests.
std::vector<std::string> platform_clipboard_formats();
// The bytes of one kind of data on the clipboard ("" when there is none).
std::string platform_clipboard_data(const std::string& mime_type);

// Starts a picture of `frame`, a rectangle of the drawing's pixels (y downward): drawing on the
// port returned, at those pixels, goes into one PDF page of the frame's size in points
// (points_per_pixel each) and into an image of the frame. nullptr when it cannot start.
PictureRecording* platform_picture_begin(Rect frame, int drawing_width, int drawing_height,
                                         double points_per_pixel);
Port* platform_picture_port(PictureRecording* picture);
// Ends the picture and puts it on the clipboard as PDF and PNG (marked as this program's);
// the bytes put there, or -1 when the clipboard could not take it. Frees the recording.
long platform_picture_end_to_clipboard(PictureRecording* picture);
