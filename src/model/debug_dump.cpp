// debug_dump.cpp: the debug stream, the dumps of lists and layout buffers, and the chooser.
//
// Everything goes through debug_out to the debug stream, which is standard output (shown by
// the console window) from its first use until the chooser closes it. On standard output the
// dumps of lists are coloured with terminal escapes: blue for headings, magenta for the
// heading of each list. Every walk is bounded by the number of nodes in the store, so a
// damaged list cannot keep a dump going for ever.
#include "model/debug_dump.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/number_dialogs.h"
#include "model/voice_lists.h"

namespace {

const char* const BLUE = "\033[34m";
const char* const MAGENTA = "\033[35m";
const char* const PLAIN = "\033[0m";

void outf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void outf(const char* format, ...) {
  char text[400];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  debug_out(text);
}

// A colour, only on the console.
void colour(const char* escape) {
  debug_out("");  // sets the stream up
  if (debug_stream == stdout) debug_out(escape);
}

// The file's name of the current piece; empty for an untitled piece (no name, or a name
// beginning with ':').
std::string piece_name() {
  std::string leaf = piece_fsspec.substr(piece_fsspec.find_last_of('/') + 1);
  return leaf.empty() || leaf[0] == ':' ? std::string() : leaf;
}

// Sees the node from its own notation context.
void see_as_own(Drosa node) {
  if (node->xcontext > 0) current_ncontext = node->xcontext;
  if (node->xcontext == -1 && current_ncontext == 1) current_ncontext = 2;
}

// One line per node from first to the end of its list, or to `stop` (not written).
void dump_list(Drosa first, Drosa stop) {
  std::string line;
  int32_t steps = 0;
  for (Drosa p = first; p && p != stop && steps <= total_Drosa_count; p = p->xnext, ++steps) {
    see_as_own(p);
    dump_voice_nodes(p, &line);
    line += "\n";
    debug_out(line.c_str());
  }
}

const char* heading_of(int mode) {
  switch (mode) {
    case DUMP_SYSTEM:
      return "\n ====== System being formatted (or last system on the page) ======\n(If you "
             "switched views without reformatting, you must use 'v' instead!)";
    case DUMP_VOICES:
      return "\nComplete dump of voices from start of piece";
    case DUMP_UNDO:
      return "\nDump of undo/redo lists";
    case DUMP_RODS:
      return "\nDump of relocation rods";
    case DUMP_SPRINGS:
      return "\nDump of relocation springs";
    case DUMP_PLAY:
      return "\nDump of PLAY nodes";
    default:
      return "\nDump of RNOTE nodes";
  }
}

// The first note of a pstaff's layer-0 print chain, after its dummy head.
Drosa first_chain_note(const StaffData& staff) {
  Drosa head = staff.ppnt[0];
  Drosa nt = head ? head->xnext : NIL;
  return nt && nt->xkind == NTDATA ? nt->get(xpnext) : NIL;
}

void dump_staves() {
  const int count = std::clamp<int32_t>(pstaff_count, 0, MAX_PSTAVES);
  for (int p = 0; p < count; ++p) {
    std::string line;
    char part[48];
    std::snprintf(part, sizeof part, "pstaff %d, %p", p, dump_id(staff_data[p].ppnt[0]));
    line = part;
    if (Drosa first = first_chain_note(staff_data[p])) {
      std::snprintf(part, sizeof part, " n%p", dump_id(first));
      line += part;
    }
    line += "; ";
    debug_out(line.c_str());
  }
  outf("\ninsertion point %p\n", dump_id(insertion_point));
}

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

// The system being formatted, voice by voice: its nodes from the system's start up to the
// ENDSYST that closes it.
void dump_system_voices() {
  for (int v = 0; v < voices(); ++v) {
    const VoiceData& vd = voice_data[v];
    colour(MAGENTA);
    if (voice_not_shown(v)) {
      Drosa start = page_start[v];
      outf("Voice+ %d is not active.  PRINT at %p page start %p endpiece %d \n", v + 1,
           dump_id(vd.print), dump_id(start),
           start && start->xkind == ENDSYST ? start->get(xendpiece) : 0);
      colour(PLAIN);
      continue;
    }
    outf("--------------Voice+ %d, sstaff %d--------------\n", v + 1,
         vd.print ? vd.print->get(xsstaff) : -1);
    colour(PLAIN);
    if (!vd.system_start) {
      REPORT_ERROR(4, "startvc logic error");
      continue;
    }
    if (!vd.system_end || vd.system_end->xkind != ENDSYST) {
      REPORT_ERROR(4, "endvc logic error");
      continue;
    }
    dump_list(vd.system_start, vd.system_end);
  }
}

void dump_whole_voices() {
  for (int v = 0; v < voices(); ++v) {
    colour(MAGENTA);
    outf("\n----------Complete dump of voice+ %d (of %d)----------\n", v + 1, voices());
    colour(PLAIN);
    dump_list(piece_start[v], NIL);
  }
}

void dump_undo_lists() {
  for (int list = 0; list < 2; ++list) {
    colour(MAGENTA);
    outf("--------------Undo/redo list %d--------------\n", list);
    colour(PLAIN);
    dump_list(undo_heads[list], NIL);
  }
}

}  // namespace

void debug_out(const char* text) {
  if (!debug_stream) {
    debug_stream = stdout;
    std::string name = piece_name();
    if (!name.empty()) std::fprintf(debug_stream, "\nVesk Piece '%s'\n\n", name.c_str());
  }
  std::fputs(text, debug_stream);
  if (debug_stream != stdout) std::fflush(debug_stream);
}

void dump_voices(int mode, const char* message) {
  const int16_t context = current_ncontext;
  debug_out("\n");
  colour(BLUE);
  if (message) outf("\n%s", message);
  debug_out(heading_of(mode));
  debug_out(":\n");
  if (mode == DUMP_SYSTEM || mode == DUMP_VOICES) dump_staves();
  switch (mode) {
    case DUMP_SYSTEM:
      dump_system_voices();
      break;
    case DUMP_VOICES:
      dump_whole_voices();
      break;
    case DUMP_UNDO:
      dump_undo_lists();
      break;
    case DUMP_RODS:
      colour(PLAIN);
      dump_list(model_hooks.rod_list(), NIL);
      break;
    case DUMP_SPRINGS:
      colour(PLAIN);
      dump_list(model_hooks.spring_list(), NIL);
      break;
    case DUMP_PLAY:
      colour(PLAIN);
      dump_list(model_hooks.play_queue_first(), NIL);
      break;
    default:
      colour(PLAIN);
      dump_list(model_hooks.recorded_notes_first(), NIL);
      break;
  }
  colour(BLUE);
  debug_out("=============end of dump=============\n");
  colour(PLAIN);
  debug_out("\n");
  std::fflush(debug_stream);
  current_ncontext = context;
}

void debug_dump_menu(const char* message) {
  std::string prompt;
  if (message) {
    char quoted[REPORT_TEXT_SIZE + 8];
    std::snprintf(quoted, sizeof quoted, "  \"%s\"\n", message);
    prompt = quoted;
  }
  prompt +=
      "Choose a dump: 1-sys 2-vocs 3-undo 4-GE 5-prettyGE 6-beam 7-slr 8-tie 9-sprng 10-play "
      "11-record 12-strings; 0 closes dump; -1 stops in relocate; -2 skips relocate; -3 readout";
  if (!number_dialog_long(prompt.c_str(), 2, -3, 11, &debug_last_choice)) return;
  switch (debug_last_choice) {
    case 0:
      if (debug_stream && debug_stream != stdout) std::fclose(debug_stream);
      debug_stream = nullptr;
      break;
    case -1:
      stop_in_relocate = !stop_in_relocate;
      REPORT_ERROR(4, "%s", stop_in_relocate ? "Will stop." : "Won't stop.");
      break;
    case -2:
      skip_relocate = !skip_relocate;
      REPORT_ERROR(4, "%s", skip_relocate ? "Will skip." : "Won't skip.");
      break;
    case 1:
      dump_voices(DUMP_SYSTEM, message);
      break;
    case 2:
      dump_voices(DUMP_VOICES, message);
      break;
    case 3:
      dump_voices(DUMP_UNDO, message);
      break;
    case 4:
      model_hooks.debug_GE();
      break;
    case 5:
      model_hooks.dump_GE();
      break;
    case 6:
      model_hooks.print_beam_buffer();
      break;
    case 7:
      model_hooks.dump_slur_buffer();
      break;
    case 8:
      model_hooks.dump_tie_buffer();
      break;
    case 9:
      dump_springs_next = true;
      break;
    case 10:
      dump_voices(DUMP_PLAY, message);
      break;
    case 11:
      record_transcribe = !record_transcribe;
      REPORT_ERROR(4, "%s",
                   record_transcribe ? "record transcribe" : "no longer record-transcribing");
      break;
    default:  // -3: nothing
      break;
  }
}
