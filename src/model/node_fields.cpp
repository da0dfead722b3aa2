// node_fields.cpp: the field registry and the text and table accessors.
#include "model/node_fields.h"

#include "model/error_report.h"

void report_bad_field_index(const char* field, int index) {
  REPORT_ERROR(4, "Index %d out of range for the field %s", index, field);
}

std::string DrosaNode::get(const TextField& f) const {
  const char* text = reinterpret_cast<const char*>(bytes() + f.offset);
  size_t length = 0;
  while (length + 1 < f.size && text[length]) ++length;
  return std::string(text, length);
}

void DrosaNode::set(const TextField& f, const char* text) {
  uint8_t* p = bytes() + f.offset;
  size_t length = 0;
  while (length + 1 < f.size && text[length]) ++length;
  std::memcpy(p, text, length);
  std::memset(p + length, 0, f.size - length);
}

const NodeField* const model_node_fields[] = {
    &xmod7,          &xnostem,
    &xseparate,      &xlgval,
    &xbstem,         &xtrembeam,
    &xendvcd,        &xgliss,
    &xtie,           &xtenu,
    &xstacc,         &xgrace,
    &xnoslash,       &xrest,
    &xhider,         &xhidet,
    &xstring,        &xdots,
    &xacc,           &xaccplot,
    &xferm,          &xdir,
    &xcbeam,         &xebeam,
    &xcsbeam,        &xesbeam,
    &xaccent,        &xselected,
    &xcue,           &xtupl,
    &xnotehead,      &xslur,
    &xtremolo,       &xintimeof,
    &xdashtie,       &xdashslur,
    &xthumb,         &xbendtie,
    &xparen,         &xbendslur,
    &xvolume,        &xnachschlag,
    &xcrawlslur,     &xvoice,
    &xpitch,         &xlength,
    &xttn,           &xnest_tupl,
    &xnest_intimeof, &xhangRslur,
    &xhangLslur,     &xleftonlyslur,
    &xhangRtie,      &xhangLtie,
    &xleftonlytie,   &xsplitslur,
    &xa_altslursize, &xa_slur,
    &xa_crawlslur,   &xa_handRslur,
    &xa_hangLslur,   &xa_leftonlyslur,
    &xa_splitslur,   &xa_dashslur,
    &bendslur,       &xstacissimo,
    &xnumspacc,      &xclef,
    &xclefx,         &xcleforigin,
    &xkeycnt,        &xkey,
    &xbpm,           &xbeat,
    &xdouble,        &xnumbering,
    &xbarx,          &xbarnumber,
    &xendpage,       &xendpiece,
    &xstartpiece,    &xbracket,
    &xbrace,         &xsys_voice,
    &xsstaff,        &xprintdir,
    &xslines,        &xlhrh,
    &xfirst_bracket, &xfirst_brace,
    &xtablature,     &xstaffsize,
    &xpartstaff,     &xpartstaves,
    &xlist,          &xlayer,
    &xmidichan,      &xvoiceOnPart,
    &xsbvalue,       &xred,
    &xgreen,         &xblue,
    &xcolor_index,   &xmove,
    &xchordmove,     &xstaffdrag,
    &xsdrag_sstaff,  &xzone_xpermil,
    &xzone_wholec,   &xzone_sys_wholec,
    &xzone_bar,      &xspace,
    &xtempo_lgval,   &xtempo_bpm,
    &xclef_change,   &xtimesig_symbol,
    &xrepeat_before, &xrepeat_after,
    &xnwholec,       &xxmltime,
    &xxmlincr,       &key_transposition,
};

const int model_node_field_count = sizeof model_node_fields / sizeof model_node_fields[0];
