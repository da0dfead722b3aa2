// printer_list.cpp: the printers the toolkit's printing library knows. Built without that
// library (VESK_HEADLESS: the program that only prints, which its launcher starts only where no
// print server might answer), there are none.
#include "platform/printer_list.h"

#ifndef VESK_HEADLESS
#include <QPageSize>
#include <QPrinterInfo>
#include <QString>
#endif

std::vector<std::string> printer_list_names() {
  std::vector<std::string> names;
#ifndef VESK_HEADLESS
  for (const QString& name : QPrinterInfo::availablePrinterNames())
    names.push_back(name.toStdString());
#endif
  return names;
}

std::string printer_list_default_name() {
#ifdef VESK_HEADLESS
  return {};
#else
  return QPrinterInfo::defaultPrinterName().toStdString();
#endif
}

int printer_list_default_paper_is_a4() {
#ifdef VESK_HEADLESS
  return -1;
#else
  const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
  if (printer.isNull()) return -1;
  return printer.defaultPageSize().id() == QPageSize::A4 ? 1 : 0;
#endif
}
