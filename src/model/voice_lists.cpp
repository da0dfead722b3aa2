// voice_lists.cpp: walking and naming what the voice lists hold.
#include "model/voice_lists.h"

#include "model/model_globals.h"

const char* ncontext_name_of(int n) {
  if (n < 1 || n > MAX_NCONTEXTS) return "";
  return ncontext_name[n];
}
