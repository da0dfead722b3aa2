// number_dialogs.cpp: the number and pop-up dialogs.
#include "model/number_dialogs.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "model/dialog_items.h"
#include "model/error_report.h"
#include "platform/dialogs.h"

namespace {

constexpr int NUMBER_ITEM = 4;
constexpr int PROMPT_ITEM = 3;
constexpr int CHOICE_ITEM = 4;
constexpr int TEXT_ITEM = 5;
constexpr int SELECTED_CHARACTERS = 10;

// Runs the dialog until OK or Cancel.
int run_until_ok_or_cancel(DialogRef dialog) {
  int item;
  do {
    draw_dialog_frame(dialog, nullptr, nullptr);
    item = platform_modal_dialog(dialog, nullptr);
  } while (item != 1 && item != 2);
  return item;
}

// The loop shared by both number dialogs: `read` takes the entry and answers whether it is
// acceptable.
template <typename Read>
int run_number_dialog(DialogRef dialog, const char* prompt, Read read) {
  // A long question gets the lines it needs.
  platform_set_param_texts(prompt, "", "", "");
  platform_fit_text_item(dialog, PROMPT_ITEM);
  platform_select_item_text(dialog, NUMBER_ITEM, 0, SELECTED_CHARACTERS);
  for (;;) {
    draw_dialog_frame(dialog, nullptr, prompt);
    int item = platform_modal_dialog(dialog, nullptr);
    if (item == 2) {
      model_hooks.close_dialog_in_front(dialog);
      return 0;
    }
    if (item != 1) REPORT_ERROR(4, "Unexpected item returned from number dialog");
    bool good = read();
    platform_select_item_text(dialog, NUMBER_ITEM, 0, SELECTED_CHARACTERS);
    if (good) {
      model_hooks.close_dialog_in_front(dialog);
      return 1;
    }
  }
}

DialogRef popup_text_open = nullptr;  // the dialog popup_text_dialog left open
bool popup_text_single = false;       // it was opened with a single choice

}  // namespace

int number_dialog_long(const char* prompt, int32_t initial, int32_t low, int32_t high,
                       int32_t* result, const char* name) {
  *result = BAD_LONG_ITEM;
  DialogRef dialog = model_hooks.open_dialog_in_front(NUMBER_DIALOG);
  if (!dialog) return 0;
  set_long_item(dialog, NUMBER_ITEM, initial);
  return run_number_dialog(dialog, prompt, [&] {
    *result = get_long_item(dialog, NUMBER_ITEM, name, low, high);
    return *result != BAD_LONG_ITEM;
  });
}

int number_dialog_double(const char* prompt, double initial, double low, double high,
                         double* result, double* second, const char* name) {
  *result = BAD_DOUBLE_ITEM;
  DialogRef dialog = model_hooks.open_dialog_in_front(NUMBER_DIALOG);
  if (!dialog) return 0;
  set_double_item(dialog, NUMBER_ITEM, initial);
  return run_number_dialog(dialog, prompt, [&] {
    *result = get_double_item(dialog, NUMBER_ITEM, name, low, high, second);
    return *result != BAD_DOUBLE_ITEM;
  });
}

int popup_dialog(const char* prompt, const char* const* choices) {
  DialogRef dialog = model_hooks.open_dialog_in_front(POPUP_DIALOG);
  if (!dialog) return 0;
  platform_set_item_text(dialog, PROMPT_ITEM, prompt);
  fill_popup_menu(dialog, CHOICE_ITEM, choices);
  platform_set_item_value(dialog, CHOICE_ITEM, 1);
  platform_show_dialog(dialog);
  int item = run_until_ok_or_cancel(dialog);
  int choice = platform_item_value(dialog, CHOICE_ITEM);
  model_hooks.close_dialog_in_front(dialog);
  return item == 1 ? choice : 0;
}

int popup_text_dialog(char* text, const char* prompt, const char* const* choices) {
  if (prompt) {
    if (popup_text_open) model_hooks.close_dialog_in_front(popup_text_open);  // never two at once
    popup_text_single = !choices[1] || !choices[2];
    DialogRef dialog = model_hooks.open_dialog_in_front(popup_text_single ? POPUP_TEXT_SINGLE_DIALOG
                                                                          : POPUP_TEXT_DIALOG);
    if (!dialog) return 0;
    popup_text_open = dialog;
    platform_set_item_text(dialog, PROMPT_ITEM, prompt);
    if (popup_text_single) {
      platform_set_item_text(dialog, CHOICE_ITEM, choices[1] ? choices[1] : "");
    } else {
      fill_popup_menu(dialog, CHOICE_ITEM, choices);
      platform_set_item_value(dialog, CHOICE_ITEM, 1);
    }
    platform_select_item_text(dialog, TEXT_ITEM, 0, SELECTED_CHARACTERS);
  }
  DialogRef dialog = popup_text_open;
  if (!dialog) return 0;  // nothing left open to run or close
  if (!text) {
    popup_text_open = nullptr;
    model_hooks.close_dialog_in_front(dialog);
    return 0;
  }
  platform_show_dialog(dialog);
  if (run_until_ok_or_cancel(dialog) == 2) {
    popup_text_open = nullptr;
    model_hooks.close_dialog_in_front(dialog);
    return 0;
  }
  std::string typed = platform_item_text(dialog, TEXT_ITEM);
  std::snprintf(text, 256, "%s", typed.c_str());
  return popup_text_single ? 1 : platform_item_value(dialog, CHOICE_ITEM);
}
