// real_scores.cpp: finding the real documents beside the repository.
#include "support/real_scores.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

std::filesystem::path real_scores_folder() {
  std::filesystem::path up = std::filesystem::path(VESK_TEST_DATA).parent_path();
  for (int level = 0; level < 4; ++level, up = up.parent_path())
    if (std::filesystem::is_directory(up / "shared" / "data" / "scores"))
      return up / "shared" / "data" / "scores";
  return {};
}

std::vector<std::string> real_score_names() {
  std::vector<std::string> names;
  std::error_code error;
  const std::filesystem::path folder = real_scores_folder();
  if (!folder.empty())
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
      if (entry.path().extension() == ".musicxml") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  if (names.empty()) names.push_back("none");
  return names;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
