// real_scores.h: the real documents beside the repository (shared/data/scores), which the
// tests that take every real score read, and reading a document whole.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The folder of the real scores; empty when it is not beside the repository.
std::filesystem::path real_scores_folder();

// The real scores' names (without ".musicxml"), sorted; "none" when there are none, so that a
// test parameterised by them still has one case, which skips.
std::vector<std::string> real_score_names();

// The whole of a file, as bytes; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);
