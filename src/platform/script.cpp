// script.cpp: the scripted mode of dialogs and alerts: a queue of answers, and the records of
// the texts shown and of the faults met. The dialogs take the answers (dialogs.cpp).
#include "platform/script.h"

#include <deque>
#include <utility>

#include "platform/script_answers.h"
#include "platform/ticks.h"

namespace {
bool scripted = false;
std::deque<ScriptAnswer> answers;
std::deque<std::string> file_names;
std::deque<std::pair<bool, RgbColour>> colours;  // (chosen, colour); not chosen is Cancel
std::vector<ShownText> shown;
std::vector<std::string> faults;
int unanswered_in_a_row = 0;  // questions asked since the last answer taken

void queue_answer(ScriptAnswer answer) { answers.push_back(std::move(answer)); }

void queue_event(const EventRecord& event) {
  ScriptAnswer answer;
  answer.kind = AnswerKind::EVENT;
  answer.event = event;
  if (answer.event.when == 0) answer.event.when = platform_ticks();
  queue_answer(std::move(answer));
}
}  // namespace

void script_begin() {
  scripted = true;
  answers.clear();
  file_names.clear();
  colours.clear();
  shown.clear();
  faults.clear();
  unanswered_in_a_row = 0;
  platform_set_test_modifiers(false, 0);
}

void script_end() {
  scripted = false;
  platform_set_test_modifiers(false, 0);
}

bool script_active() { return scripted; }

void script_hit(int item, uint16_t modifiers) {
  ScriptAnswer answer;
  answer.kind = AnswerKind::HIT;
  answer.item = item;
  answer.modifiers = modifiers;
  queue_answer(std::move(answer));
}

void script_type(int item, const std::string& macroman_text) {
  ScriptAnswer answer;
  answer.kind = AnswerKind::TYPE;
  answer.item = item;
  answer.text = macroman_text;
  queue_answer(std::move(answer));
}

void script_choose(int item, int entry) {
  ScriptAnswer answer;
  answer.kind = AnswerKind::CHOOSE;
  answer.item = item;
  answer.entry = entry;
  queue_answer(std::move(answer));
}

void script_event(const EventRecord& event) { queue_event(event); }

void script_key(uint8_t character, uint16_t modifiers, bool repeat) {
  EventRecord event;
  event.what = repeat ? EVENT_AUTO_KEY : EVENT_KEY_DOWN;
  event.message = character;
  event.modifiers = modifiers;
  queue_event(event);
}

void script_click(int x, int y, uint16_t modifiers) {
  EventRecord event;
  event.what = EVENT_MOUSE_DOWN;
  event.where = {x, y};
  event.modifiers = modifiers;
  queue_event(event);
}

void script_alert_fails() {
  ScriptAnswer answer;
  answer.kind = AnswerKind::ALERT_FAILS;
  queue_answer(std::move(answer));
}

void script_save_image(const std::string& path) {
  ScriptAnswer answer;
  answer.kind = AnswerKind::IMAGE;
  answer.text = path;
  queue_answer(std::move(answer));
}

void script_file_name(const std::string& path) { file_names.push_back(path); }

bool script_take_file_name(std::string* path) {
  if (file_names.empty()) {
    faults.push_back("file dialog ran out of file names");
    return false;
  }
  *path = std::move(file_names.front());
  file_names.pop_front();
  return true;
}

void script_colour(RgbColour colour) { colours.push_back({true, colour}); }

void script_colour_cancel() { colours.push_back({false, {}}); }

bool script_take_colour(RgbColour* colour) {
  if (colours.empty()) {
    faults.push_back("colour picker ran out of colours");
    return false;
  }
  const auto [chosen, c] = colours.front();
  colours.pop_front();
  if (chosen) *colour = c;
  return chosen;
}

int script_pending() {
  return static_cast<int>(answers.size() + file_names.size() + colours.size());
}

std::vector<ShownText> script_take_shown() { return std::exchange(shown, {}); }

std::vector<std::string> script_take_faults() { return std::exchange(faults, {}); }

// ---- Inside the platform layer ------------------------------------------------------------

const ScriptAnswer* script_peek_answer() { return answers.empty() ? nullptr : &answers.front(); }

bool script_take_answer(ScriptAnswer* answer) {
  if (answers.empty()) return false;
  *answer = std::move(answers.front());
  answers.pop_front();
  unanswered_in_a_row = 0;
  return true;
}

int script_count_unanswered() { return ++unanswered_in_a_row; }

void script_record_shown(int id, const std::string& text) { shown.push_back({id, text}); }

void script_record_fault(const std::string& fault) { faults.push_back(fault); }
