// text_assistant.h: the Text Assistant's dialogs, which compose coded texts.
#pragma once

#include <string>
#include <vector>

// text_assistant_dialog: the dialog of a category (0 Title, 1 Subtitle, 2 Composer, 3 Poet,
// 4 Copyright, 5 Dynamic, 6 Tempo Marking, 7 Ornament, 8 Other Symbols, 9 Fret Grid, 10 Chord
// Symbol, 11 General MIDI). On OK the text template takes the category's class and a new text
// is started at the insertion point with the composed text in it (titles and the like may
// first remove the older texts of their kind; a composer's name ends at the staff's right
// edge). 1 when a text was started; 0 when cancelled, empty or refused. The choices made are
// kept for the next time, a cancel's too.
// Failure: level 2 "You must select the first note or rest in the piece before you can do
// this." for categories 0..4 elsewhere; level 4 "Could not load helper %d!" without its dialog.
int text_assistant_dialog(int category);
// text_assistant_compose: the coded text of a category (5..11) for its pop-ups' choices (from 1,
// in item order).
std::string text_assistant_compose(int category, const std::vector<int>& values);
// text_assistant_class: the class a category's text gets (Other Symbols: by the symbol).
int text_assistant_class(int category, const std::vector<int>& values);
