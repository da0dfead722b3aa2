// percussion_staff.cpp: display positions of a document on percussion staves.
#include "ImportExport/percussion_staff.h"

#include <algorithm>

#include "layout/layout_services.h"

namespace {

constexpr int DOCUMENT_LOWEST_LINE = 7 * 5 + 2;  // E4

}  // namespace

bool is_percussion_clef(int clef) { return clef >= 7 && clef <= 9; }

int percussion_display_shift(int clef, int lines) {
  // clefmod7 is the position of the space above the middle line; a staff of n lines reaches
  // (n - 1) / 2 spaces below it.
  const int middle = clefmod7(clef, NIL) - 1;
  const int lowest = middle - 2 * ((std::max(lines, 1) - 1) / 2);
  return lowest - DOCUMENT_LOWEST_LINE;
}
