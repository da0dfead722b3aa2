// piece_files.h: piece files written for tests and benchmarks that start the program with
// them.
#pragma once

#include <functional>
#include <string>

// Builds a piece of `pages` pages (each of two systems of two 4/4 bars) on `staves` staves,
// one voice a staff with quarters, eighths and a chord in every bar, and writes it to `path`.
// Uses a node store of its own, which is gone afterwards (every global is reset), so that the
// program can start afresh. The file asks to be shown at `shown_page`. False when the file
// could not be written. Bar `long_bar` (from 1; 0 none) holds an eighth too many in every voice.
bool write_piece_of_pages(const std::string& path, int pages, int staves, int shown_page = 1,
                          int long_bar = 0);

// Builds a piece with `build` (which adds voices with piece_builder) in a node store of its
// own, gives its notes their playback data and writes it to `path` as the program's default
// piece shown at page 1; every global is reset afterwards. False when it could not be written.
bool write_built_piece(const std::string& path, const std::function<void()>& build);
