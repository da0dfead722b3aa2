// ge_fields.cpp: the registry of the graphics elements' fields.
#include "graphics/ge_fields.h"

const NodeField* const ge_node_fields[] = {
    &xdrawmode,   &xganno,     &xgremove,    &xgscreen,    &xgc_x,      &xgc_y,      &xgc_pstaff,
    &xgc_var,     &xgc_font,   &xgc_cset,    &xgc_size,    &xgc_char,   &xgc_style,  &xgc_layout,
    &xgc_color,   &xgc_yreloc, &xgc_dy,      &xgc_dx,      &xge_x1,     &xge_y1,     &xge_pstaff1,
    &xge_pstaff2, &xge_x2,     &xge_y2,      &xgl_clipx1,  &xgl_clipy1, &xgl_clipx2, &xgl_clipy2,
    &xgl_width,   &xgl_color,  &xgl_yreloc1, &xgl_yreloc2, &xgl_var,    &xgl_dash,   &xgl_gap,
    &xgv_c1x,     &xgv_c1y,    &xgv_dash,    &xgv_gap,     &xgv_c2x,    &xgv_c2y,    &xgv_fill,
    &xgv_color,   &xgv_var,
};
const int ge_node_field_count = sizeof ge_node_fields / sizeof ge_node_fields[0];
