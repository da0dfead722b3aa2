// file_dialog.cpp: the toolkit's file dialog, run in our event loop (no nested toolkit loop),
// or the script's answer. The folder of each preference key is remembered for the run.
#include "platform/file_dialog.h"

#include <map>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "platform/event_input.h"
#include "platform/script.h"
#include "platform/script_answers.h"

namespace {
std::map<std::string, std::string> folders_by_key;

std::string shown_text(const FileDialogRequest& r) {
  std::string text = r.title + "\n" + r.message + "\n" + r.action_button;
  if (r.save) text += "\n" + r.default_name;
  return text;
}
}  // namespace

bool platform_file_dialog(const FileDialogRequest& request, std::string* path) {
  if (script_active()) {
    script_record_shown(FILE_DIALOG_ID, shown_text(request));
    std::string chosen;
    if (!script_take_file_name(&chosen) || chosen.empty()) return false;
    *path = chosen;
    return true;
  }
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || !input_window_system_usable())
    return false;
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setWindowTitle(QString::fromStdString(request.title));
  dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(request.action_button));
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList filters;
  for (const std::string& f : request.filters) filters << QString::fromStdString(f);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  std::string folder = request.folder;
  if (folder.empty()) {
    auto it = folders_by_key.find(request.preference_key);
    folder = it != folders_by_key.end() ? it->second : QDir::homePath().toStdString();
  }
  dialog.setDirectory(QString::fromStdString(folder));
  if (request.save) dialog.selectFile(QString::fromStdString(request.default_name));
  dialog.setWindowModality(Qt::ApplicationModal);
  bool done = false;
  QObject::connect(&dialog, &QDialog::finished, [&done](int) { done = true; });
  dialog.show();
  // The dialog takes its own input; the program's events wait until it is closed.
  EventRecord ignored;
  while (!done) input_wait_for_event(0, 6, &ignored, [&done] { return done; });
  if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const QString chosen = dialog.selectedFiles().front();
  *path = chosen.toStdString();
  folders_by_key[request.preference_key] = QFileInfo(chosen).absolutePath().toStdString();
  return true;
}
