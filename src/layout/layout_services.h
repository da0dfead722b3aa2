// layout_services.h: what the other subsystems may call of the page layout engine: the page
// formatter, pages and measures, the layout records with their fields, the page state and the
// object lookup.
// Other folders include this header and no other header of layout/.
#pragma once

#include "layout/accidentals.h"
#include "layout/beam_ends.h"
#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/layout_records.h"
#include "layout/note_positions.h"
#include "layout/object_lookup.h"
#include "layout/page_index.h"
#include "layout/pages.h"
#include "layout/placecd.h"
#include "layout/relocate.h"
#include "layout/setprint.h"
#include "layout/setstdir.h"
#include "layout/slurs.h"
#include "layout/spacing.h"
#include "layout/specspace.h"
#include "layout/tuplets.h"
