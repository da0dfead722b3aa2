// format.cpp: the page formatter.
//
// The formatter's passes are not built yet; its interrupt poll never stops a pass.
#include "layout/format.h"

int32_t format_interrupted() { return 0; }
