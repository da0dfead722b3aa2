// performance_fields.h: the payload fields of the performance subsystem's nodes: PLAY (an
// entry of the play queue), RNOTE (a recorded key) and MIDI (raw MIDI bytes in a voice).
// Descriptors as in model/node_fields.h. PLAY and RNOTE exist only at run time.
#pragma once

#include "model/model_services.h"
#include "performance/performance_services.h"

inline constexpr auto xplay_chanmode = word_field<uint8_t>("xplay_chanmode", PLAY, 17);

inline constexpr auto xplay_channel = word_field<uint8_t>("xplay_channel", PLAY, 18);

inline constexpr auto xplay_chancount = word_field<uint8_t>("xplay_chancount", PLAY, 19);

inline constexpr ArrayField<uint8_t> xplay_packet{"xplay_packet", PLAY, 18,
                                                  12};  // a packet's bytes

inline constexpr LinkField xplay_note{"xplay_note", PLAY, 22};  // the NOTE played, or NIL

// ---- VINFO: how a voice is played ----------------------------------------------------------
inline constexpr auto xvoice_heard =
    bit_field("xvoice_heard", VINFO, 27, 7, 7);  // chosen in Hear...

// The program (0..127) the voice's channels are given when a play starts; 0 gives none, and the
// channels keep the synthesizer's first program, a piano.
inline constexpr auto xmidiprog = bit_field("xmidiprog", VINFO, 27, 6, 0);

inline constexpr auto xchanmode =
    word_field<uint8_t>("xchanmode", VINFO, 28);  // CHANNEL_SINGLE ...

inline constexpr auto xnumchans =
    word_field<uint8_t>("xnumchans", VINFO, 29);  // channels of a rotation

inline constexpr auto xpass_count = word_field<uint8_t>("xpass_count", BAR, 33);  // passes so far
