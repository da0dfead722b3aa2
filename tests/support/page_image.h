// page_image.h: writes the page formatted last as an image for engravers to look at.
#pragma once

#include <string>

// Draws the GE list on the offscreen page and writes it to test-output/<folder>/<file> of the
// build folder; nothing is written when the tests run from elsewhere. False when the image
// could not be written.
bool save_drawn_page(const std::string& folder, const std::string& file);
