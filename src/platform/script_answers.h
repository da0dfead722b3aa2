// script_answers.h: inside the platform layer, the scripted answers as the dialogs take them,
// and the records of what was shown and what went wrong.
#pragma once

#include <string>

#include "platform/events.h"

enum class AnswerKind { HIT, TYPE, CHOOSE, EVENT, ALERT_FAILS, IMAGE };

struct ScriptAnswer {
  AnswerKind kind = AnswerKind::HIT;
  int item = 0;
  uint16_t modifiers = 0;  // HIT
  std::string text;        // TYPE, Mac OS Roman; IMAGE, the file's path
  int entry = 0;           // CHOOSE
  EventRecord event;       // EVENT
};

// The next answer, left in the queue; nullptr when none is left.
const ScriptAnswer* script_peek_answer();
// Takes the next answer; false when none is left.
bool script_take_answer(ScriptAnswer* answer);
// Counts a question left without an answer; returns how many came in a row since the last
// answer taken or the script's start.
int script_count_unanswered();

void script_record_shown(int id, const std::string& text);
void script_record_fault(const std::string& fault);
