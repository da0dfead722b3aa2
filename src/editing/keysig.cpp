// keysig.cpp: key signatures: what a KEYSIG keeps when it is copied to a system start.
#include <algorithm>

#include "editing/editing_services.h"
#include "model/model_services.h"

namespace {
constexpr int KEY_ENTRIES = 14;  // entries a KEYSIG holds
constexpr int FIRST_NATURAL = 14;
}  // namespace

void remove_naturals_from_key(Drosa key) {
  if (!key) {
    REPORT_ERROR(4, "NIL pointer for remove_naturals_from_key");
    return;
  }
  int count = std::min<int>(key->get(xkeycnt), KEY_ENTRIES), kept = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t code = key->get(xkeysig_entry, i);
    if (code < FIRST_NATURAL) key->set(xkeysig_entry, kept++, code);
  }
  for (int i = kept; i < count; ++i) key->set(xkeysig_entry, i, 0);
  key->set(xkeycnt, uint8_t(kept));
}
