// key_names.cpp: the modifier keys of the program's messages and dialogs named as on this
// platform. The program's texts name the keys Command, Option and Control; here they are
// Ctrl, Alt and Meta, as the menus show their shortcuts. The same words also mean other things
// ("menu option", "control point", a "command" text), so a word changes only where it plainly
// stands for a key.
#include "platform/key_names.h"

#include <cctype>
#include <cstring>

namespace {

struct KeyName {
  const char* program;  // lower case; matched with its first letter in either case
  const char* here;
};
constexpr KeyName KEYS[] = {{"command", "Ctrl"}, {"option", "Alt"}, {"control", "Meta"}};

bool letter_at(const std::string& text, size_t i) {
  return i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]));
}

bool ends_with_at(const std::string& text, size_t end, const char* word) {
  const size_t n = std::strlen(word);
  return end >= n && text.compare(end - n, n, word) == 0;
}

// The key whose name starts at i as a whole word, or nullptr.
const KeyName* key_word_at(const std::string& text, size_t i) {
  if (i > 0 && letter_at(text, i - 1)) return nullptr;
  for (const KeyName& key : KEYS) {
    const size_t n = std::strlen(key.program);
    if (i + n > text.size() || letter_at(text, i + n)) continue;
    if (std::tolower(static_cast<unsigned char>(text[i])) != key.program[0]) continue;
    if (text.compare(i + 1, n - 1, key.program + 1) == 0) return &key;
  }
  return nullptr;
}

// Whether the word of length n at i names a key by what stands around it.
bool names_a_key(const std::string& text, size_t i, size_t n) {
  const size_t after = i + n;
  if (after < text.size() && text[after] == '-' && after + 1 < text.size() &&
      !std::isspace(static_cast<unsigned char>(text[after + 1])))
    return true;
  if (text.compare(after, 4, " key") == 0) return true;
  for (const char* before : {"down ", "holding ", "(not ", "Shift-"})
    if (ends_with_at(text, i, before)) return true;
  return false;
}

}  // namespace

std::string platform_key_names(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const KeyName* key = key_word_at(text, i);
    const size_t n = key ? std::strlen(key->program) : 0;
    if (!key || !names_a_key(text, i, n)) {
      out += text[i++];
      continue;
    }
    out += key->here;
    i += n;
    // A shortcut is written as the menus write it: "Ctrl+X".
    if (i + 1 < text.size() && text[i] == '-' && !letter_at(text, i + 2)) {
      out += '+';
      ++i;
    }
  }
  return out;
}
