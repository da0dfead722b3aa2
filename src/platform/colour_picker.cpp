// colour_picker.cpp: the colour picker: the toolkit's own colour dialog, run in our event
// loop while it is shown (so no nested toolkit loop runs), or the script's answer. Built
// without the toolkit's widgets (VESK_HEADLESS: the program that only prints), there is no
// dialog: only a script answers.
#include "platform/colour_picker.h"

#ifndef VESK_HEADLESS
#include <QApplication>
#include <QColor>
#include <QColorDialog>
#endif
#include <QString>

#include "platform/event_input.h"
#include "platform/script.h"
#include "platform/script_answers.h"

bool platform_pick_colour(const std::string& prompt, RgbColour* colour) {
  if (script_active()) {
    script_record_shown(0, prompt);
    RgbColour chosen;
    if (!script_take_colour(&chosen)) return false;
    *colour = chosen;
    return true;
  }
#ifdef VESK_HEADLESS
  return false;
#else
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || !input_window_system_usable())
    return false;
  QColorDialog dialog;
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  dialog.setWindowTitle(QString::fromStdString(prompt).trimmed());
  dialog.setCurrentColor(QColor::fromRgba64(colour->red, colour->green, colour->blue));
  if (!input_run_dialog(&dialog)) return false;
  const QRgba64 c = dialog.selectedColor().rgba64();
  *colour = {c.red(), c.green(), c.blue()};
  return true;
#endif
}
