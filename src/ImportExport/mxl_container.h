// mxl_container.h: the MusicXML document inside a compressed MusicXML file (.mxl), a ZIP
// archive whose META-INF/container.xml names the document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ImportExport/musicxml_services.h"

// read_mxl_file: read_mxl_container (musicxml_services.h) for the file at `path`, read whole
// (at most `limit` bytes).
int read_mxl_file(const std::string& path, uint64_t limit, std::string* document,
                  std::string* message);
