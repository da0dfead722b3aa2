// synth.cpp: the built-in synthesizer over FluidSynth.
//
// The sound font is loaded only when there is somewhere for the sound to go (an audio driver
// was made, or offline rendering is asked for): a machine without sound hardware pays nothing
// at start-up beyond trying the drivers.
#include "platform/synth.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cstdio>
#include <fluidsynth.h>
#include <mutex>
#include <unistd.h>

#include "platform/ticks.h"

namespace {

const char* const SOUND_FONTS[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2",
                                   "/usr/share/sounds/sf2/default-GM.sf2"};
const char* const AUDIO_DRIVERS[] = {"pulseaudio", "alsa"};
constexpr double SYNTH_GAIN = 1.0;  // the sound font is quiet: full gain

struct Synth {
  std::mutex lock;
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_audio_driver_t* driver = nullptr;
  SynthState state = SYNTH_NONE;
  bool offline_on = false;
  bool no_device = false;  // tests: never open an audio device
  bool offline = false;
  int64_t start_microseconds = 0;  // offline: the clock when the rendering began
  std::vector<int16_t> rendered;   // offline: the frames so far, interleaved
};

Synth synth;

void quiet_log(int, const char*, void*) {}
void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

int64_t frames_at(int64_t microseconds) {
  return microseconds <= 0 ? 0 : microseconds * SYNTH_SAMPLE_RATE / 1000000;
}

// Offline: renders the frames up to the clock (held lock).
void render_until(int64_t microseconds) {
  const int64_t want = frames_at(microseconds - synth.start_microseconds);
  int64_t have = int64_t(synth.rendered.size() / 2);
  while (have < want) {
    const int block = int(std::min<int64_t>(want - have, 4096));
    const size_t at = synth.rendered.size();
    synth.rendered.resize(at + size_t(block) * 2);
    fluid_synth_write_s16(synth.synth, block, synth.rendered.data() + at, 0, 2,
                          synth.rendered.data() + at, 1, 2);
    have += block;
  }
}

bool load_sound_font() {
  const std::string path = platform_synth_sound_font();
  return !path.empty() && fluid_synth_sfload(synth.synth, path.c_str(), 1) != FLUID_FAILED;
}

void release() {
  if (synth.driver) delete_fluid_audio_driver(synth.driver);
  if (synth.synth) delete_fluid_synth(synth.synth);
  if (synth.settings) delete_fluid_settings(synth.settings);
  synth.driver = nullptr;
  synth.synth = nullptr;
  synth.settings = nullptr;
  synth.state = SYNTH_NONE;
  synth.offline = false;
  synth.rendered.clear();
}

}  // namespace

SynthState platform_synth_open() {
  std::lock_guard<std::mutex> held(synth.lock);
  if (synth.synth) return synth.state;
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
    fluid_set_log_function(level, quiet_log, nullptr);
  snd_lib_error_set_handler(quiet_alsa);
  synth.settings = new_fluid_settings();
  if (!synth.settings) return SYNTH_NONE;
  fluid_settings_setnum(synth.settings, "synth.gain", SYNTH_GAIN);
  fluid_settings_setnum(synth.settings, "synth.sample-rate", SYNTH_SAMPLE_RATE);
  synth.synth = new_fluid_synth(synth.settings);
  if (!synth.synth) {
    release();
    return SYNTH_NONE;
  }
  if (synth.offline_on) {
    synth.offline = true;
    synth.start_microseconds = platform_microseconds();
    synth.state = load_sound_font() ? SYNTH_SOUNDING : SYNTH_NONE;
    if (synth.state == SYNTH_NONE) release();
    return synth.state;
  }
  for (const char* driver : AUDIO_DRIVERS) {
    if (synth.no_device) break;
    fluid_settings_setstr(synth.settings, "audio.driver", driver);
    synth.driver = new_fluid_audio_driver(synth.settings, synth.synth);
    if (synth.driver) break;
  }
  if (!synth.driver) {
    synth.state = SYNTH_SILENT;
    return synth.state;
  }
  if (!load_sound_font()) {
    release();
    return SYNTH_NONE;
  }
  synth.state = SYNTH_SOUNDING;
  return synth.state;
}

SynthState platform_synth_state() {
  std::lock_guard<std::mutex> held(synth.lock);
  return synth.state;
}

void platform_synth_close() {
  std::lock_guard<std::mutex> held(synth.lock);
  release();
}

void platform_synth_send(const uint8_t* bytes, int count) {
  if (count < 1) return;
  std::lock_guard<std::mutex> held(synth.lock);
  if (synth.state != SYNTH_SOUNDING) return;
  if (synth.offline) render_until(platform_microseconds());
  const int channel = bytes[0] & 0x0F;
  const int a = count > 1 ? bytes[1] & 0x7F : 0, b = count > 2 ? bytes[2] & 0x7F : 0;
  switch (bytes[0] & 0xF0) {
    case 0x90:
      if (count < 3) return;
      if (b)
        fluid_synth_noteon(synth.synth, channel, a, b);
      else
        fluid_synth_noteoff(synth.synth, channel, a);
      break;
    case 0x80:
      if (count >= 3) fluid_synth_noteoff(synth.synth, channel, a);
      break;
    case 0xB0:
      if (count >= 3) fluid_synth_cc(synth.synth, channel, a, b);
      break;
    case 0xC0:
      if (count >= 2) fluid_synth_program_change(synth.synth, channel, a);
      break;
    case 0xD0:
      if (count >= 2) fluid_synth_channel_pressure(synth.synth, channel, a);
      break;
    case 0xE0:
      if (count >= 3) fluid_synth_pitch_bend(synth.synth, channel, a | (b << 7));
      break;
    default:
      break;
  }
}

std::string platform_synth_sound_font() {
  for (const char* path : SOUND_FONTS)
    if (access(path, R_OK) == 0) return path;
  return "";
}

void platform_synth_use_offline(bool on) {
  std::lock_guard<std::mutex> held(synth.lock);
  synth.offline_on = on;
}

void platform_synth_use_no_device(bool on) {
  std::lock_guard<std::mutex> held(synth.lock);
  synth.no_device = on;
}

std::vector<int16_t> platform_synth_rendered(int64_t microseconds) {
  std::lock_guard<std::mutex> held(synth.lock);
  if (!synth.offline) return {};
  render_until(synth.start_microseconds + microseconds);
  const size_t frames = size_t(frames_at(microseconds));
  std::vector<int16_t> out(synth.rendered.begin(),
                           synth.rendered.begin() + std::min(frames * 2, synth.rendered.size()));
  return out;
}

bool platform_synth_write_wav(const std::string& path, int64_t microseconds) {
  const std::vector<int16_t> samples = platform_synth_rendered(microseconds);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  auto put32 = [&](uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, file);
  };
  auto put16 = [&](uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, file);
  };
  const uint32_t data_bytes = uint32_t(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, file);
  put32(36 + data_bytes);
  std::fwrite("WAVEfmt ", 1, 8, file);
  put32(16);
  put16(1);  // PCM
  put16(2);  // stereo
  put32(SYNTH_SAMPLE_RATE);
  put32(SYNTH_SAMPLE_RATE * 4);
  put16(4);
  put16(16);
  std::fwrite("data", 1, 4, file);
  put32(data_bytes);
  for (int16_t s : samples) put16(uint16_t(s));
  return std::fclose(file) == 0;
}
