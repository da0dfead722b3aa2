// file_dialog.cpp: the toolkit's file dialog, run in our event loop (no nested toolkit loop),
// or the script's answer. The folders last used are kept for the next run in a small text
// file of the configuration folder: one line per key, the key, a tab and the folder. Built
// without the toolkit's widgets (VESK_HEADLESS: the program that only prints), there is no
// dialog: only a script answers.
#include "platform/file_dialog.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#ifndef VESK_HEADLESS
#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#endif
#include <QString>
#include <QStringList>

#include "platform/event_input.h"
#include "platform/script.h"
#include "platform/script_answers.h"

namespace {

constexpr const char* ANY_KEY = "*";  // the folder last used by any dialog

std::map<std::string, std::string> folders_by_key;
bool folders_read = false;

std::string folders_file_folder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/Vesk";
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : ".") + "/.config/Vesk";
}

std::string folders_file() { return folders_file_folder() + "/Folders"; }

void read_folders() {
  if (folders_read) return;
  folders_read = true;
  std::ifstream in(folders_file());
  std::string line;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    if (tab != std::string::npos && tab > 0 && tab + 1 < line.size())
      folders_by_key[line.substr(0, tab)] = line.substr(tab + 1);
  }
}

// Written beside the old file and renamed over it; a folder that cannot be kept is only
// forgotten at the end of the run.
void write_folders() {
  const std::string folder = folders_file_folder();
  ::mkdir((folder.substr(0, folder.rfind('/'))).c_str(), 0700);
  ::mkdir(folder.c_str(), 0700);
  const std::string temporary = folders_file() + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const auto& [key, path] : folders_by_key)
      if (path.find('\n') == std::string::npos) out << key << '\t' << path << '\n';
    if (!out.flush()) return;
  }
  std::rename(temporary.c_str(), folders_file().c_str());
}

void remember_folder(const std::string& key, const std::string& chosen) {
  const std::string folder = QFileInfo(QString::fromStdString(chosen)).absolutePath().toStdString();
  read_folders();
  folders_by_key[key] = folder;
  folders_by_key[ANY_KEY] = folder;
  write_folders();
}

bool is_folder(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string shown_text(const FileDialogRequest& r) {
  std::string text = r.title + "\n" + r.message + "\n" + r.action_button;
  if (r.save) text += "\n" + r.default_name;
  return text;
}

}  // namespace

std::string platform_file_dialog_folder(const FileDialogRequest& request) {
  if (is_folder(request.folder)) return request.folder;
  read_folders();
  for (const std::string& key : {request.preference_key, std::string(ANY_KEY)}) {
    auto it = folders_by_key.find(key);
    if (it != folders_by_key.end() && is_folder(it->second)) return it->second;
  }
  return QDir::homePath().toStdString();
}

void platform_forget_file_dialog_folders() {
  folders_by_key.clear();
  folders_read = false;
}

bool platform_file_dialog(const FileDialogRequest& request, std::string* path) {
  if (script_active()) {
    script_record_shown(FILE_DIALOG_ID, shown_text(request));
    std::string chosen;
    if (!script_take_file_name(&chosen) || chosen.empty()) return false;
    *path = chosen[0] == '/' ? chosen : platform_file_dialog_folder(request) + "/" + chosen;
    remember_folder(request.preference_key, *path);
    return true;
  }
#ifdef VESK_HEADLESS
  return false;
#else
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
  dialog.setDirectory(QString::fromStdString(platform_file_dialog_folder(request)));
  if (request.save) dialog.selectFile(QString::fromStdString(request.default_name));
  // The line of advice ("Save VESK score (published)") under the files; a blank one shows none.
  auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
  if (grid && request.message.find_first_not_of(' ') != std::string::npos) {
    auto* advice = new QLabel(QString::fromStdString(request.message), &dialog);
    advice->setObjectName("advice");
    grid->addWidget(advice, grid->rowCount(), 0, 1, grid->columnCount());
  }
  if (!input_run_dialog(&dialog) || dialog.selectedFiles().isEmpty()) return false;
  const QString chosen = dialog.selectedFiles().front();
  *path = chosen.toStdString();
  remember_folder(request.preference_key, *path);
  return true;
#endif
}
