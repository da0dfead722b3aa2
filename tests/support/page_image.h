// page_image.h: writes the page formatted last as an image for engravers to look at.
#pragma once

#include <string>
#include <vector>

#include "model/model_services.h"
#include "support/page_checker.h"

// Draws the GE list on the offscreen page and writes it to test-output/<folder>/<file> of the
// build folder; nothing is written when the tests run from elsewhere. False when the image
// could not be written. `mode` is the plotting mode (PLOT_SCREEN draws as the screen does).
bool save_drawn_page(const std::string& folder, const std::string& file, int mode = 0);

// The elements of a graphics list (after its head) byte for byte, one a line.
std::string drawn_elements(Drosa head);

// The page formatted last as drawn and placed: every element byte for byte, the staves' middle
// lines and the heads of the first voice's notes, one a line, to compare two formats of a page.
std::string drawn_page();
