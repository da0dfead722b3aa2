// synth.cpp: the built-in synthesizer over FluidSynth.
//
// The sound font is loaded only when there is somewhere for the sound to go (an audio driver
// was made, or offline rendering is asked for): a machine without sound hardware pays nothing
// at start-up beyond trying the drivers.
//
// FluidSynth's library is loaded when the synthesizer is first made, not with the program: it
// brings some forty libraries of its own (audio servers, sound file formats). Start-up makes
// the synthesizer on a thread of its own while the windows are made (platform_synth_start);
// every other routine here waits for that thread first.
#include "platform/synth.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cstdio>
#include <dlfcn.h>
#include <fluidsynth.h>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "platform/ticks.h"

namespace {

const char* const SOUND_FONTS[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2",
                                   "/usr/share/sounds/sf2/default-GM.sf2"};
const char* const AUDIO_DRIVERS[] = {"pulseaudio", "alsa"};
constexpr double SYNTH_GAIN = 1.0;  // the sound font is quiet: full gain

// The routines of FluidSynth's library used here, found when it is loaded.
struct FluidLibrary {
  bool tried = false;
  void* handle = nullptr;
  decltype(&::fluid_set_log_function) set_log_function = nullptr;
  decltype(&::new_fluid_settings) new_settings = nullptr;
  decltype(&::delete_fluid_settings) delete_settings = nullptr;
  decltype(&::fluid_settings_setnum) settings_setnum = nullptr;
  decltype(&::fluid_settings_setstr) settings_setstr = nullptr;
  decltype(&::new_fluid_synth) new_synth = nullptr;
  decltype(&::delete_fluid_synth) delete_synth = nullptr;
  decltype(&::new_fluid_audio_driver) new_audio_driver = nullptr;
  decltype(&::delete_fluid_audio_driver) delete_audio_driver = nullptr;
  decltype(&::fluid_synth_sfload) sfload = nullptr;
  decltype(&::fluid_synth_write_s16) write_s16 = nullptr;
  decltype(&::fluid_synth_noteon) noteon = nullptr;
  decltype(&::fluid_synth_noteoff) noteoff = nullptr;
  decltype(&::fluid_synth_cc) cc = nullptr;
  decltype(&::fluid_synth_program_change) program_change = nullptr;
  decltype(&::fluid_synth_channel_pressure) channel_pressure = nullptr;
  decltype(&::fluid_synth_pitch_bend) pitch_bend = nullptr;
};

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
FluidLibrary fluid;

// Start-up's thread making the synthesizer; joined before anything else touches it, and at
// the latest when the program ends.
struct StartThread {
  std::mutex lock;
  std::thread thread;
  void wait() {
    std::lock_guard<std::mutex> held(lock);
    if (thread.joinable()) thread.join();
  }
  ~StartThread() { wait(); }
} start_thread;

template <typename Routine>
bool find_routine(Routine* routine, const char* name) {
  *routine = reinterpret_cast<Routine>(dlsym(fluid.handle, name));
  return *routine != nullptr;
}

// Loads the library once (held lock); false when it or one of its routines is missing.
bool load_library() {
  if (fluid.tried) return fluid.handle != nullptr;
  fluid.tried = true;
  fluid.handle = dlopen(VESK_FLUIDSYNTH_LIBRARY, RTLD_LAZY | RTLD_LOCAL);
  if (!fluid.handle) return false;
  const bool found = find_routine(&fluid.set_log_function, "fluid_set_log_function") &&
                     find_routine(&fluid.new_settings, "new_fluid_settings") &&
                     find_routine(&fluid.delete_settings, "delete_fluid_settings") &&
                     find_routine(&fluid.settings_setnum, "fluid_settings_setnum") &&
                     find_routine(&fluid.settings_setstr, "fluid_settings_setstr") &&
                     find_routine(&fluid.new_synth, "new_fluid_synth") &&
                     find_routine(&fluid.delete_synth, "delete_fluid_synth") &&
                     find_routine(&fluid.new_audio_driver, "new_fluid_audio_driver") &&
                     find_routine(&fluid.delete_audio_driver, "delete_fluid_audio_driver") &&
                     find_routine(&fluid.sfload, "fluid_synth_sfload") &&
                     find_routine(&fluid.write_s16, "fluid_synth_write_s16") &&
                     find_routine(&fluid.noteon, "fluid_synth_noteon") &&
                     find_routine(&fluid.noteoff, "fluid_synth_noteoff") &&
                     find_routine(&fluid.cc, "fluid_synth_cc") &&
                     find_routine(&fluid.program_change, "fluid_synth_program_change") &&
                     find_routine(&fluid.channel_pressure, "fluid_synth_channel_pressure") &&
                     find_routine(&fluid.pitch_bend, "fluid_synth_pitch_bend");
  if (!found) {
    dlclose(fluid.handle);
    fluid.handle = nullptr;
  }
  return found;
}

void quiet_log(int, const char*, void*) {}
void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

// ALSA's messages quieted in the library FluidSynth brought with it (the program links none of
// its own, and loads none here when FluidSynth did not).
void quiet_alsa_messages() {
  void* alsa = dlopen(VESK_ALSA_LIBRARY, RTLD_LAZY | RTLD_NOLOAD);
  if (!alsa) return;
  using SetHandler = decltype(&snd_lib_error_set_handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
    set(quiet_alsa);
  dlclose(alsa);  // the hold this look took; FluidSynth keeps its own
}

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
    fluid.write_s16(synth.synth, block, synth.rendered.data() + at, 0, 2,
                    synth.rendered.data() + at, 1, 2);
    have += block;
  }
}

bool load_sound_font() {
  const std::string path = platform_synth_sound_font();
  return !path.empty() && fluid.sfload(synth.synth, path.c_str(), 1) != FLUID_FAILED;
}

void release() {
  if (synth.driver) fluid.delete_audio_driver(synth.driver);
  if (synth.synth) fluid.delete_synth(synth.synth);
  if (synth.settings) fluid.delete_settings(synth.settings);
  synth.driver = nullptr;
  synth.synth = nullptr;
  synth.settings = nullptr;
  synth.state = SYNTH_NONE;
  synth.offline = false;
  synth.rendered.clear();
}

// Makes the synthesizer (nothing when it exists); its state.
SynthState open_synth() {
  std::lock_guard<std::mutex> held(synth.lock);
  if (synth.synth) return synth.state;
  if (!load_library()) return SYNTH_NONE;
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
    fluid.set_log_function(level, quiet_log, nullptr);
  quiet_alsa_messages();
  synth.settings = fluid.new_settings();
  if (!synth.settings) return SYNTH_NONE;
  fluid.settings_setnum(synth.settings, "synth.gain", SYNTH_GAIN);
  fluid.settings_setnum(synth.settings, "synth.sample-rate", SYNTH_SAMPLE_RATE);
  synth.synth = fluid.new_synth(synth.settings);
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
    fluid.settings_setstr(synth.settings, "audio.driver", driver);
    synth.driver = fluid.new_audio_driver(synth.settings, synth.synth);
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

}  // namespace

void platform_synth_start() {
  std::lock_guard<std::mutex> held(start_thread.lock);
  if (start_thread.thread.joinable()) return;
  start_thread.thread = std::thread([] { open_synth(); });
}

SynthState platform_synth_open() {
  start_thread.wait();
  return open_synth();
}

SynthState platform_synth_state() {
  start_thread.wait();
  std::lock_guard<std::mutex> held(synth.lock);
  return synth.state;
}

void platform_synth_close() {
  start_thread.wait();
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
        fluid.noteon(synth.synth, channel, a, b);
      else
        fluid.noteoff(synth.synth, channel, a);
      break;
    case 0x80:
      if (count >= 3) fluid.noteoff(synth.synth, channel, a);
      break;
    case 0xB0:
      if (count >= 3) fluid.cc(synth.synth, channel, a, b);
      break;
    case 0xC0:
      if (count >= 2) fluid.program_change(synth.synth, channel, a);
      break;
    case 0xD0:
      if (count >= 2) fluid.channel_pressure(synth.synth, channel, a);
      break;
    case 0xE0:
      if (count >= 3) fluid.pitch_bend(synth.synth, channel, a | (b << 7));
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
