// text_assistant.h: the Text Assistant's dialogs, which compose coded texts.
#pragma once

#include <string>
#include <vector>

#include "annotations/anno_services.h"

// text_assistant_compose: the coded text of a category (5..11) for its pop-ups' choices (from 1,
// in item order).
std::string text_assistant_compose(int category, const std::vector<int>& values);
// text_assistant_class: the class a category's text gets (Other Symbols: by the symbol).
int text_assistant_class(int category, const std::vector<int>& values);
