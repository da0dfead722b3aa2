// synth.h: the built-in synthesizer: FluidSynth with the General MIDI sound font that the
// system's sound-font package installs, played through the system's audio (PulseAudio or
// PipeWire's PulseAudio service, else ALSA, whichever answers first).
//
// A machine with no sound device still gets the synthesizer, silent: messages are taken and
// dropped, so playback runs the same way with nothing heard.
//
// Test double: offline rendering. With it on, the synthesizer is made without an audio
// device and its sound is computed as the clock (ticks.h, usually virtual) moves: each message
// takes effect at the clock's time, and the sound so far can be written as a WAV file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum SynthState {
  SYNTH_NONE = 0,      // no synthesizer (the library or the sound font failed)
  SYNTH_SOUNDING = 1,  // playing through the system's audio (or rendering offline)
  SYNTH_SILENT = 2,    // made, but there is no sound device: messages are dropped
};

// Starts making the synthesizer on a thread of its own (nothing when it was started); the
// routines below wait for that thread before they touch the synthesizer.
void platform_synth_start();
// Makes the synthesizer (nothing when it exists); its state.
SynthState platform_synth_open();
SynthState platform_synth_state();
void platform_synth_close();

// One channel message: note on and off, controllers, program changes (the drum kit on channel
// 10), channel pressure and pitch bend; anything else (system-exclusive pieces) is ignored.
// Any thread.
void platform_synth_send(const uint8_t* bytes, int count);

// The General MIDI sound font found, "" when none is installed.
std::string platform_synth_sound_font();

// ---- Test doubles -------------------------------------------------------------------------------
inline constexpr int SYNTH_SAMPLE_RATE = 44100;
// With offline rendering on, the next open renders instead of playing; the rendering starts
// at the clock's time then.
void platform_synth_use_offline(bool on);
// With no device on, the next open makes no audio driver: the synthesizer is silent, as on a
// machine without sound hardware (tests run the same on every machine).
void platform_synth_use_no_device(bool on);
// The sound from the rendering's start up to `microseconds` after it, as 16-bit stereo frames
// interleaved (left, right), rendering what is still missing.
std::vector<int16_t> platform_synth_rendered(int64_t microseconds);
// Writes the same as a 16-bit stereo WAV file; false when it cannot be written.
bool platform_synth_write_wav(const std::string& path, int64_t microseconds);
