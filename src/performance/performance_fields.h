// performance_fields.h: the payload fields of the performance subsystem's nodes: PLAY (an
// entry of the play queue), RNOTE (a recorded key) and MIDI (raw MIDI bytes in a voice).
// Descriptors as in model/node_fields.h. PLAY and RNOTE exist only at run time.
#pragma once

#include "model/model_services.h"

// Kinds of play-queue entry (xplay_type).
inline constexpr int PLAY_NOTE_ON = 1;
inline constexpr int PLAY_NOTE_OFF = 2;
inline constexpr int PLAY_PACKET = 3;
inline constexpr int PLAY_END = 5;

// rnotenum values that are no key.
inline constexpr int RNOTE_REST = -1;
inline constexpr int RNOTE_BEAT_FILLER = 200;  // a beat with no onset: the keys held go on
inline constexpr int RNOTE_FINAL = 201;        // the end of the recording

// clang-format off
// ---- PLAY: an event of the play queue, in time order --------------------------------------
inline constexpr auto xplay_type = word_field<uint8_t>("xplay_type", PLAY, 10);        // PLAY_NOTE_ON ...
inline constexpr auto xplay_pending = word_field<uint8_t>("xplay_pending", PLAY, 11);  // 1 queued, 0 sent
inline constexpr auto xplay_time = word_field<int32_t>("xplay_time", PLAY, 12);        // due, in ms
inline constexpr auto xplay_volume = word_field<uint8_t>("xplay_volume", PLAY, 16);    // note on 0..200; packet: bytes
inline constexpr auto xplay_chanmode = word_field<uint8_t>("xplay_chanmode", PLAY, 17);
inline constexpr auto xplay_channel = word_field<uint8_t>("xplay_channel", PLAY, 18);
inline constexpr auto xplay_chancount = word_field<uint8_t>("xplay_chancount", PLAY, 19);
inline constexpr ArrayField<uint8_t> xplay_packet{"xplay_packet", PLAY, 18, 12};       // a packet's bytes
inline constexpr auto xplay_pitch = word_field<uint16_t>("xplay_pitch", PLAY, 20);     // pitch word
inline constexpr LinkField xplay_note{"xplay_note", PLAY, 22};                          // the NOTE played, or NIL

// ---- Performance bits of a NOTE ----------------------------------------------------------
inline constexpr auto xvolume_edited = bit_field("xvolume_edited", NOTE, 15, 2, 2);  // volume set by hand
inline constexpr auto xpitch_edited = bit_field("xpitch_edited", NOTE, 19, 4, 4);    // pitch set by hand

// ---- VINFO: how a voice is played ----------------------------------------------------------
inline constexpr auto xvoice_heard = bit_field("xvoice_heard", VINFO, 27, 7, 7);  // chosen in Hear...
inline constexpr auto xchanmode = word_field<uint8_t>("xchanmode", VINFO, 28);     // CHANNEL_SINGLE ...
inline constexpr auto xnumchans = word_field<uint8_t>("xnumchans", VINFO, 29);     // channels of a rotation

// ---- BAR: repeats and jumps ----------------------------------------------------------------
// Code 1 starts a first ending (skipped on the second pass), 2 a second ending; a code c above
// 2 jumps to the bar xrepeat_target on pass c - 2.
inline constexpr auto xrepeat_code = word_field<uint8_t>("xrepeat_code", BAR, 32);
inline constexpr auto xpass_count = word_field<uint8_t>("xpass_count", BAR, 33);     // passes so far
inline constexpr auto xrepeat_target = word_field<int16_t>("xrepeat_target", BAR, 34);  // bar number

// ---- RNOTE: a key recorded, or a rest, beat filler or end --------------------------------
inline constexpr auto rnotenum = word_field<int16_t>("rnotenum", RNOTE, 10);         // key 0..127, or RNOTE_...
inline constexpr auto rstart_time = word_field<int32_t>("rstart_time", RNOTE, 12);   // onset
inline constexpr auto rlength = word_field<int32_t>("rlength", RNOTE, 16);           // key-up less onset; 0 held
inline constexpr auto rttn = word_field<int32_t>("rttn", RNOTE, 20);                 // group onset to next group
inline constexpr auto rnormttn = word_field<int32_t>("rnormttn", RNOTE, 24);         // rttn in 1/60000 beat
inline constexpr auto rlgval = word_field<uint8_t>("rlgval", RNOTE, 28);             // note value code
inline constexpr auto rtupl = word_field<uint8_t>("rtupl", RNOTE, 29);               // 1 plain, 3 triplet
inline constexpr auto rendchord = bit_field("rendchord", RNOTE, 30, 5, 5);          // last note of its group
inline constexpr auto rnewbeat = bit_field("rnewbeat", RNOTE, 30, 4, 4);            // its group opens a beat
inline constexpr auto rdots = bit_field("rdots", RNOTE, 30, 1, 0);
inline constexpr auto rvolume = word_field<uint8_t>("rvolume", RNOTE, 31);           // 1..200

// ---- MIDI: raw MIDI bytes before a note (older pieces) or a sustain-pedal event ----------
inline constexpr ArrayField<uint8_t> xmidi_bytes{"xmidi_bytes", MIDI, 10, 12};
inline constexpr auto xmidi_time = word_field<int32_t>("xmidi_time", MIDI, 22);   // 0 none
inline constexpr auto xmidi_count = word_field<int8_t>("xmidi_count", MIDI, 27);  // bytes in use
// clang-format on
