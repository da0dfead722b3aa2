// performance_fields.h: the payload fields of the performance subsystem's nodes: PLAY (an
// entry of the play queue), RNOTE (a recorded key) and MIDI (raw MIDI bytes in a voice).
// Descriptors as in model/node_fields.h. PLAY and RNOTE exist only at run time.
#pragma once

#include "model/model_services.h"
#include "performance/performance_services.h"

// clang-format off
// ---- PLAY: the kinds of entry besides a note's start, and a note's volume ------------------
inline constexpr int PLAY_NOTE_OFF = 2;
inline constexpr int PLAY_PACKET = 3;
inline constexpr int PLAY_END = 5;
inline constexpr auto xplay_volume = word_field<uint8_t>("xplay_volume", PLAY, 16);    // note on 0..200; packet: bytes

// ---- RNOTE: the rest and the end of a recording, and a recorded key's times and value -------
inline constexpr int RNOTE_REST = -1;
inline constexpr int RNOTE_FINAL = 201;        // the end of the recording
inline constexpr auto rstart_time = word_field<int32_t>("rstart_time", RNOTE, 12);   // onset
inline constexpr auto rlength = word_field<int32_t>("rlength", RNOTE, 16);           // key-up less onset; 0 held
inline constexpr auto rnormttn = word_field<int32_t>("rnormttn", RNOTE, 24);         // rttn in 1/60000 beat
inline constexpr auto rlgval = word_field<uint8_t>("rlgval", RNOTE, 28);             // note value code
inline constexpr auto rtupl = word_field<uint8_t>("rtupl", RNOTE, 29);               // 1 plain, 3 triplet
inline constexpr auto rnewbeat = bit_field("rnewbeat", RNOTE, 30, 4, 4);            // its group opens a beat
inline constexpr auto rdots = bit_field("rdots", RNOTE, 30, 1, 0);
inline constexpr auto rvolume = word_field<uint8_t>("rvolume", RNOTE, 31);           // 1..200

// ---- MIDI -----------------------------------------------------------------------------------
inline constexpr auto xmidi_time = word_field<int32_t>("xmidi_time", MIDI, 22);   // 0 none
// clang-format on

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
