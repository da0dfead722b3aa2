// param_catalogue.h: the group fillers of the engraving parameter table, run by param_init
// in this order, each declaring its heading and then its parameters.
//
// Generated from the parameter catalogue; edit the catalogue and regenerate, not this file.
#pragma once

void init_params_accidentals();
void init_params_barlines();
void init_params_beaming();
void init_params_brackets();
void init_params_clefs();
void init_params_editing();
void init_params_dots();
void init_params_dynamics();
void init_params_fingerings();
void init_params_ledger_lines();
void init_params_lyrics();
void init_params_note_heads();
void init_params_flags();
void init_params_stems();
void init_params_tempo_notes();
void init_params_numbers();
void init_params_pedal();
void init_params_rests();
void init_params_tremolo();
void init_params_special_accidentals_1();
void init_params_special_accidentals_2();
void init_params_special_accidentals_3();
void init_params_articulations();
void init_params_staff();
void init_params_tablature();
void init_params_ties();
void init_params_time_signatures();
