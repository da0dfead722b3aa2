// number_dialogs.h: ready-made dialogs that ask for one number or one choice.
#pragma once

#include <cstdint>

#include "model/model_services.h"

inline constexpr int NUMBER_DIALOG = 15946;
inline constexpr int POPUP_DIALOG = 151;
inline constexpr int POPUP_TEXT_DIALOG = 152;
inline constexpr int POPUP_TEXT_SINGLE_DIALOG = 153;

// The chosen entry of choices[1], choices[2], ... (up to the first null) after OK, from 1;
// 0 after Cancel.
int popup_dialog(const char* prompt, const char* const* choices);

// A choice and a typed text. With a prompt: opens the dialog and runs it; with a null
// prompt: runs the dialog left open again; with a null text and prompt: closes it (0).
// After OK the typed text (at most 255 characters) is copied into text (which holds 256
// bytes) and the result is 1 for a single choice, else the chosen entry; the dialog stays
// open. After Cancel it closes itself and the result is 0.
int popup_text_dialog(char* text, const char* prompt, const char* const* choices);
