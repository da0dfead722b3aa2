// layout_fields.cpp: the registry of the layout records' fields.
#include "layout/layout_fields.h"

const NodeField* const layout_node_fields[] = {
    &xforced,        &xendbeam,   &xtmpbeam,       &xcluster,      &xendscd,        &xstmdir,
    &xtmpdir,        &xtabtyp,    &xtabstr,        &xtieup,        &xhdx,           &xhdy,
    &xaccx,          &xrestchar,  &xscrrestchar,   &xtup_info,     &xtup_first,     &xtup_last,
    &xother_staff,   &xstemxoff,  &xstsize,        &xscrhdx,       &xscrhdy,        &xuphiy,
    &xuploy,         &xdownhiy,   &xdownloy,       &xorigin,       &xprehiy,        &xpreloy,
    &xprex,          &xoppos,     &xtup_start,     &xtup_end,      &xtup_mark,      &xupbstem,
    &xdnbstem,       &xnewmeas,   &xcdclef,        &xrcmeas,       &xswholec,       &xmwholec,
    &xidealx,        &xopposhide, &xreloc_zone,    &xreloc_spring, &xchordNum,      &xpstaff,
    &xcdlayer,       &xpagex1,    &xpagey1,        &xpagex2,       &xpagey2,        &xy1pstaff,
    &xy2pstaff,      &xscrx1,     &xscry1,         &xscrx2,        &xscry2,         &xchyphen,
    &xanno_selected, &xbarthick,  &xbar_no_number, &xbar_chant,    &xbar_invisible, &xbar_dashed,
    &xclefchange,    &xclefhide,  &xkeyx,          &xtimex,        &xcdleft,        &xcdoverhang,
};
const int layout_node_field_count = sizeof layout_node_fields / sizeof layout_node_fields[0];
