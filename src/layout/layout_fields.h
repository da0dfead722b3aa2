// layout_fields.h: the payload fields of the layout records NTDATA, CDDATA, CDDATA2, CDDATA3
// and PDATA (descriptors as in model/node_fields.h).
//
// Coordinates are layout units (tenths of a point, y upward); 0x80000000 in a screen
// coordinate means "not drawn"; chord extents start at -2100000000 (highest values) and
// 2100000000 (lowest values).
#pragma once

#include "model/model_services.h"

inline constexpr int32_t NOT_DRAWN = INT32_MIN;  // 0x80000000
inline constexpr int32_t EXTENT_HIGH_START = -2100000000;
inline constexpr int32_t EXTENT_LOW_START = 2100000000;
inline constexpr uint8_t NO_ACCIDENTAL_X = 255;

// clang-format off
// ---- NTDATA: after every NOTE of the formatted page ----------------------------------
inline constexpr auto xforced = bit_field("xforced", NTDATA, 10, 7, 7);      // stem direction forced
inline constexpr auto xendbeam = bit_field("xendbeam", NTDATA, 10, 6, 6);    // a beam ends here
inline constexpr auto xtmpbeam = bit_field("xtmpbeam", NTDATA, 10, 5, 5);    // may be beamed to the next chord
inline constexpr auto xcluster = bit_field("xcluster", NTDATA, 10, 4, 4);    // chord-drawing flag
inline constexpr auto xendscd = bit_field("xendscd", NTDATA, 10, 3, 3);      // last note of its staff chord
inline constexpr auto xstmdir = bit_field("xstmdir", NTDATA, 10, 2, 1);      // 1 down, 2 up, 3 none
inline constexpr auto xtmpdir = bit_field("xtmpdir", NTDATA, 10, 0, 0);      // grace copy bit
inline constexpr auto xtabtyp = bit_field("xtabtyp", NTDATA, 11, 7, 5);      // tablature kind of the staff
inline constexpr auto xtabstr = bit_field("xtabstr", NTDATA, 11, 4, 1);      // tablature string
inline constexpr auto xtieup = bit_field("xtieup", NTDATA, 11, 0, 0);        // the tie goes above
inline constexpr LinkField xpback{"xpback", NTDATA, 12};  // previous note of the print chain
inline constexpr LinkField xpnext{"xpnext", NTDATA, 16};  // next note of the print chain
inline constexpr auto xhdx = word_field<int32_t>("xhdx", NTDATA, 20);        // note-head position
inline constexpr auto xhdy = word_field<int32_t>("xhdy", NTDATA, 24);
inline constexpr auto xaccx = word_field<uint8_t>("xaccx", NTDATA, 28);      // accidental distance / 5; 255 none
inline constexpr auto xrestchar = bit_field("xrestchar", NTDATA, 29, 7, 6);  // rest glyph choice
inline constexpr auto xscrrestchar = bit_field("xscrrestchar", NTDATA, 29, 5, 4);
inline constexpr auto xtup_info = bit_field("xtup_info", NTDATA, 29, 1, 1);  // carries tuplet information
inline constexpr auto xother_staff = bit_field("xother_staff", NTDATA, 29, 0, 0);  // drawn on the next staff
inline constexpr auto xstemxoff = word_field<int8_t>("xstemxoff", NTDATA, 30);  // horizontal stem offset
inline constexpr auto xstsize = word_field<int8_t>("xstsize", NTDATA, 31);      // staff size of the note
inline constexpr auto xscrhdx = word_field<int32_t>("xscrhdx", NTDATA, 32);     // screen copy of the head
inline constexpr auto xscrhdy = word_field<int32_t>("xscrhdy", NTDATA, 36);

// ---- CDDATA: after the NTDATA of the last note of a staff chord ----------------------
inline constexpr auto xuphiy = word_field<int32_t>("xuphiy", CDDATA, 10);      // extents with stems up
inline constexpr auto xuploy = word_field<int32_t>("xuploy", CDDATA, 14);
inline constexpr auto xdownhiy = word_field<int32_t>("xdownhiy", CDDATA, 18);  // extents with stems down
inline constexpr auto xdownloy = word_field<int32_t>("xdownloy", CDDATA, 22);
inline constexpr auto xorigin = word_field<int32_t>("xorigin", CDDATA, 26);    // packed x of the chord
inline constexpr auto xprehiy = word_field<int32_t>("xprehiy", CDDATA, 30);    // what stands before the chord
inline constexpr auto xpreloy = word_field<int32_t>("xpreloy", CDDATA, 34);
inline constexpr auto xprex = word_field<int32_t>("xprex", CDDATA, 38);
inline constexpr auto xoppos = bit_field("xoppos", CDDATA, 42, 7, 7);          // shares the staff with the other direction
inline constexpr auto xtup_start = bit_field("xtup_start", CDDATA, 42, 6, 6);
inline constexpr auto xtup_end = bit_field("xtup_end", CDDATA, 42, 5, 5);
inline constexpr auto xtup_mark = bit_field("xtup_mark", CDDATA, 42, 4, 3);
inline constexpr auto xupbstem = bit_field("xupbstem", CDDATA, 42, 2, 2);
inline constexpr auto xdnbstem = bit_field("xdnbstem", CDDATA, 42, 1, 1);
inline constexpr auto xnewmeas = bit_field("xnewmeas", CDDATA, 42, 0, 0);      // first chord of a measure
inline constexpr auto xcdclef = word_field<uint8_t>("xcdclef", CDDATA, 43);    // clef type of the chord
inline constexpr auto xrcmeas = word_field<int16_t>("xrcmeas", CDDATA, 44);    // measures of a multi-measure rest
inline constexpr auto xcdleft = word_field<int16_t>("xcdleft", CDDATA, 48);    // left edge from the packed x, less 20
inline constexpr auto xcdoverhang = word_field<uint8_t>("xcdoverhang", CDDATA, 50);  // a displaced head's overhang

// ---- CDDATA2 ------------------------------------------------------------------------
inline constexpr auto xswholec = word_field<int32_t>("xswholec", CDDATA2, 10);  // time from the system start
inline constexpr auto xmwholec = word_field<int32_t>("xmwholec", CDDATA2, 14);  // time from the measure start
inline constexpr ArrayField<uint8_t> xabovebeam{"xabovebeam", CDDATA2, 18, 2};  // beams above, by direction
inline constexpr ArrayField<uint8_t> xbelowbeam{"xbelowbeam", CDDATA2, 20, 2};  // beams below, by direction
inline constexpr auto xidealx = word_field<int32_t>("xidealx", CDDATA2, 24);    // ideal x from spacing
inline constexpr auto xopposhide = bit_field("xopposhide", CDDATA2, 28, 7, 7);  // the other voice hides the rest
inline constexpr auto xreloc_zone = word_field<uint8_t>("xreloc_zone", CDDATA2, 29);
// A system may hold more time points and springs than 16 bits count: both are 32 bits wide.
inline constexpr auto xchordNum = word_field<int32_t>("xchordNum", CDDATA2, 32);  // time point in the system
inline constexpr auto xreloc_spring = word_field<int32_t>("xreloc_spring", CDDATA2, 36);

// ---- CDDATA3: the page's chord chain --------------------------------------------------
inline constexpr LinkField xnextchord{"xnextchord", CDDATA3, 10};  // CDDATA of the next chord closed
inline constexpr LinkField xprevchord{"xprevchord", CDDATA3, 14};  // CDDATA of the previous one
inline constexpr auto xpstaff = word_field<uint8_t>("xpstaff", CDDATA3, 18);
inline constexpr auto xcdlayer = word_field<uint8_t>("xcdlayer", CDDATA3, 19);   // layer 0..7

// ---- PDATA: after every annotation and staff-resizing mark ---------------------------
inline constexpr auto xpagex1 = word_field<int32_t>("xpagex1", PDATA, 10);  // page rectangle
inline constexpr auto xpagey1 = word_field<int32_t>("xpagey1", PDATA, 14);
inline constexpr auto xpagex2 = word_field<int32_t>("xpagex2", PDATA, 18);
inline constexpr auto xpagey2 = word_field<int32_t>("xpagey2", PDATA, 22);
inline constexpr auto xy1pstaff = word_field<int8_t>("xy1pstaff", PDATA, 26);  // pstaff of each end
inline constexpr auto xy2pstaff = word_field<int8_t>("xy2pstaff", PDATA, 27);
inline constexpr auto xscrx1 = word_field<int32_t>("xscrx1", PDATA, 28);    // screen rectangle
inline constexpr auto xscry1 = word_field<int32_t>("xscry1", PDATA, 32);
inline constexpr auto xscrx2 = word_field<int32_t>("xscrx2", PDATA, 36);
inline constexpr auto xscry2 = word_field<int32_t>("xscry2", PDATA, 40);
inline constexpr auto xchyphen = word_field<int16_t>("xchyphen", PDATA, 44);  // width of a centred hyphen
inline constexpr auto xanno_selected = bit_field("xanno_selected", PDATA, 46, 7, 7);
// ---- BAR: what page location and the formatter read and write ---------------------------
// A non-zero xunnumbered keeps the bar out of the count; xrestart_number (bit 0x40 of the
// flag word at byte 14) restarts the count at xbarnumber with the measure after the bar.
inline constexpr auto xunnumbered = word_field<uint8_t>("xunnumbered", BAR, 14);
inline constexpr auto xrestart_number = bit_field("xrestart_number", BAR, 15, 6, 6);
inline constexpr auto xscrbarx = word_field<int32_t>("xscrbarx", BAR, 20);  // screen copy of xbarx
// The sign bit of the flag byte makes the bar's lines thick (its repeat dots are the model's
// xrepeat_end and xrepeat_start).
inline constexpr auto xbarthick = bit_field("xbarthick", BAR, 15, 7, 7);
// How the bar's lines are drawn: without its number, as a short rule across the top line,
// not at all, dashed.
inline constexpr auto xbar_no_number = bit_field("xbar_no_number", BAR, 15, 5, 5);
inline constexpr auto xbar_chant = bit_field("xbar_chant", BAR, 15, 4, 4);
inline constexpr auto xbar_invisible = word_field<uint8_t>("xbar_invisible", BAR, 24);
inline constexpr auto xbar_dashed = word_field<uint8_t>("xbar_dashed", BAR, 25);

// ---- Signs spacing places: their x and what decides their width --------------------------
inline constexpr auto xclefchange = word_field<uint8_t>("xclefchange", CLEF, 11);  // drawn small
inline constexpr auto xclefhide = word_field<uint8_t>("xclefhide", CLEF, 12);      // not drawn
inline constexpr auto xkeyx = word_field<int32_t>("xkeyx", KEYSIG, 28);
inline constexpr auto xtimex = word_field<int32_t>("xtimex", TIMESIG, 14);
// clang-format on

extern const NodeField* const layout_node_fields[];
extern const int layout_node_field_count;
