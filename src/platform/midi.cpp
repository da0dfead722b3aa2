// midi.cpp: live MIDI through the ALSA sequencer, and its loopback stand-in.
//
// The sequencer's client is one handle: the input thread waits on it for events and turns
// each into a complete message with the sequencer's own byte codec; sends (from whichever
// thread plays) encode channel messages with the codec and pass system-exclusive pieces as
// they are, each delivered at once. Sends are serialised here, so callers on several threads
// need no lock of their own for this layer.
#include "platform/midi.h"

#include <alloca.h>
#include <alsa/asoundlib.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dlfcn.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "platform/ticks.h"

namespace {

// ALSA's library is loaded when the sequencer is first opened, not when the program starts: a
// run that never plays (one started only to print) maps and binds none of it. The calls made
// here, found in it by name.
#define VESK_ALSA_CALLS(X)            \
  X(snd_lib_error_set_handler)        \
  X(snd_midi_event_decode)            \
  X(snd_midi_event_encode_byte)       \
  X(snd_midi_event_free)              \
  X(snd_midi_event_new)               \
  X(snd_midi_event_no_status)         \
  X(snd_midi_event_reset_decode)      \
  X(snd_midi_event_reset_encode)      \
  X(snd_seq_client_id)                \
  X(snd_seq_client_info_get_client)   \
  X(snd_seq_client_info_get_name)     \
  X(snd_seq_client_info_set_client)   \
  X(snd_seq_close)                    \
  X(snd_seq_connect_from)             \
  X(snd_seq_create_simple_port)       \
  X(snd_seq_disconnect_from)          \
  X(snd_seq_event_input)              \
  X(snd_seq_event_input_pending)      \
  X(snd_seq_event_output_direct)      \
  X(snd_seq_open)                     \
  X(snd_seq_poll_descriptors)         \
  X(snd_seq_poll_descriptors_count)   \
  X(snd_seq_port_info_get_capability) \
  X(snd_seq_port_info_get_name)       \
  X(snd_seq_port_info_get_port)       \
  X(snd_seq_port_info_set_client)     \
  X(snd_seq_port_info_set_port)       \
  X(snd_seq_query_next_client)        \
  X(snd_seq_query_next_port)          \
  X(snd_seq_set_client_name)          \
  X(snd_seq_client_info_sizeof)       \
  X(snd_seq_port_info_sizeof)

struct Alsa {
#define VESK_ALSA_CALL(name) decltype(&::name) name = nullptr;
  VESK_ALSA_CALLS(VESK_ALSA_CALL)
#undef VESK_ALSA_CALL
};
Alsa alsa;

// Loads the library once; false when it or one of its calls is missing.
bool load_alsa() {
  static const bool loaded = [] {
    void* library = dlopen(VESK_ALSA_LIBRARY, RTLD_LAZY | RTLD_LOCAL);
    if (!library) return false;
    bool found = true;
#define VESK_ALSA_FIND(name) \
  found = found && (alsa.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)));
    VESK_ALSA_CALLS(VESK_ALSA_FIND)
#undef VESK_ALSA_FIND
    return found;
  }();
  return loaded;
}

struct Port {
  int client;
  int port;
  std::string name;
};

struct MidiService {
  std::mutex lock;  // the handle, the encoder and the lists
  snd_seq_t* seq = nullptr;
  int client = -1, input_port = -1, output_port = -1;
  snd_midi_event_t* encoder = nullptr;
  std::thread input_thread;
  int wake_pipe[2] = {-1, -1};
  std::vector<Port> sources, destinations;
  int connected_client = -1, connected_port = -1;
  bool loopback_on = false;  // the next open makes the loopback
  bool loopback = false;     // the loopback is open
  bool loopback_connected = false;
  std::vector<SentMidi> sent;
};

MidiService service;
std::atomic<MidiInputRoutine> input_routine{nullptr};

// The loopback's input thread: it alone hands the loopback's messages to the input routine, as
// the sequencer's input thread does for real input.
struct LoopbackInput {
  std::mutex lock;
  std::condition_variable wake, done;
  std::deque<std::vector<uint8_t>> pending;
  bool busy = false;  // a message is being handed on
  bool stopping = false;
  std::thread thread;
};
LoopbackInput loopback_input;

void deliver(const uint8_t* message, int length);

void stop_loopback_input();

void loopback_input_loop() {
  std::unique_lock<std::mutex> held(loopback_input.lock);
  for (;;) {
    loopback_input.wake.wait(
        held, [] { return loopback_input.stopping || !loopback_input.pending.empty(); });
    if (loopback_input.pending.empty()) return;
    std::vector<uint8_t> message = std::move(loopback_input.pending.front());
    loopback_input.pending.pop_front();
    loopback_input.busy = true;
    held.unlock();
    deliver(message.data(), int(message.size()));
    held.lock();
    loopback_input.busy = false;
    loopback_input.done.notify_all();
  }
}

void start_loopback_input() {
  static const bool registered = [] { return std::atexit(stop_loopback_input) == 0; }();
  (void)registered;
  std::lock_guard<std::mutex> held(loopback_input.lock);
  if (loopback_input.thread.joinable()) return;
  loopback_input.stopping = false;
  loopback_input.thread = std::thread(loopback_input_loop);
}

void stop_loopback_input() {
  {
    std::lock_guard<std::mutex> held(loopback_input.lock);
    if (!loopback_input.thread.joinable()) return;
    loopback_input.stopping = true;
    loopback_input.pending.clear();
    loopback_input.wake.notify_all();
  }
  loopback_input.thread.join();
  loopback_input.thread = std::thread();
}

void queue_loopback_input(std::vector<std::vector<uint8_t>> messages) {
  std::lock_guard<std::mutex> held(loopback_input.lock);
  for (auto& m : messages) loopback_input.pending.push_back(std::move(m));
  loopback_input.wake.notify_all();
}

void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

int message_length(uint8_t status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 2;
    case 0xF0:
      return status == 0xF1 || status == 0xF3 ? 2 : status == 0xF2 ? 3 : 1;
    default:
      return 3;
  }
}

// Complete channel messages of a byte run (running status honoured; system-exclusive bytes and
// stray data bytes skipped).
std::vector<std::vector<uint8_t>> split_messages(const uint8_t* bytes, int count) {
  std::vector<std::vector<uint8_t>> messages;
  uint8_t status = 0;
  for (int i = 0; i < count;) {
    if (bytes[i] >= 0xF0) {
      status = 0;
      ++i;
      continue;
    }
    if (bytes[i] & 0x80) status = bytes[i++];
    if (!status) {
      ++i;
      continue;
    }
    const int need = message_length(status) - 1;
    if (i + need > count) break;
    std::vector<uint8_t> m{status};
    for (int k = 0; k < need; ++k) m.push_back(bytes[i + k]);
    i += need;
    messages.push_back(std::move(m));
  }
  return messages;
}

// Back to nothing open; the loopback switch and what the loopback received stay.
void clear_service() {
  service.seq = nullptr;
  service.client = service.input_port = service.output_port = -1;
  service.encoder = nullptr;
  service.wake_pipe[0] = service.wake_pipe[1] = -1;
  service.sources.clear();
  service.destinations.clear();
  service.connected_client = service.connected_port = -1;
  service.loopback = service.loopback_connected = false;
}

void deliver(const uint8_t* message, int length) {
  if (MidiInputRoutine routine = input_routine.load()) routine(message, length);
}

// ---- The sequencer ---------------------------------------------------------------------------

std::vector<Port> list_ports(unsigned needed_caps) {
  std::vector<Port> ports;
  const size_t client_size = alsa.snd_seq_client_info_sizeof();
  const size_t port_size = alsa.snd_seq_port_info_sizeof();
  auto* client = static_cast<snd_seq_client_info_t*>(alloca(client_size));
  auto* port = static_cast<snd_seq_port_info_t*>(alloca(port_size));
  std::memset(client, 0, client_size);
  std::memset(port, 0, port_size);
  alsa.snd_seq_client_info_set_client(client, -1);
  while (alsa.snd_seq_query_next_client(service.seq, client) >= 0) {
    const int id = alsa.snd_seq_client_info_get_client(client);
    if (id == service.client || id == SND_SEQ_CLIENT_SYSTEM) continue;
    alsa.snd_seq_port_info_set_client(port, id);
    alsa.snd_seq_port_info_set_port(port, -1);
    while (alsa.snd_seq_query_next_port(service.seq, port) >= 0) {
      if ((alsa.snd_seq_port_info_get_capability(port) & needed_caps) != needed_caps) continue;
      ports.push_back({id, alsa.snd_seq_port_info_get_port(port),
                       std::string(alsa.snd_seq_client_info_get_name(client)) + ": " +
                           alsa.snd_seq_port_info_get_name(port)});
    }
  }
  return ports;
}

void refresh_lists() {
  service.sources = list_ports(SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
  service.destinations = list_ports(SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
}

// The input thread: waits for events (or the wake pipe at close) and hands on each note,
// controller and other channel message as bytes.
void input_loop(snd_seq_t* seq, int wake_fd) {
  snd_midi_event_t* decoder = nullptr;
  if (alsa.snd_midi_event_new(64, &decoder) < 0) return;
  alsa.snd_midi_event_no_status(decoder, 1);
  const int count = alsa.snd_seq_poll_descriptors_count(seq, POLLIN);
  std::vector<pollfd> fds(size_t(count) + 1);
  alsa.snd_seq_poll_descriptors(seq, fds.data(), unsigned(count), POLLIN);
  fds[size_t(count)] = {wake_fd, POLLIN, 0};
  for (;;) {
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[size_t(count)].revents) break;
    snd_seq_event_t* event = nullptr;
    while (alsa.snd_seq_event_input(seq, &event) >= 0 && event) {
      uint8_t bytes[16];
      alsa.snd_midi_event_reset_decode(decoder);
      const long n = alsa.snd_midi_event_decode(decoder, bytes, sizeof bytes, event);
      if (n > 0 && (bytes[0] & 0x80) && bytes[0] < 0xF0) deliver(bytes, int(n));
      if (alsa.snd_seq_event_input_pending(seq, 0) <= 0) break;
    }
  }
  alsa.snd_midi_event_free(decoder);
}

bool open_sequencer(const char* client_name, const char* input_name, const char* output_name,
                    int codes[3]) {
  if (!load_alsa()) {
    codes[0] = -ENOENT;
    return false;
  }
  alsa.snd_lib_error_set_handler(quiet_alsa);
  int result = alsa.snd_seq_open(&service.seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
  codes[0] = result < 0 ? result : 0;
  if (result < 0) {
    service.seq = nullptr;
    return false;
  }
  alsa.snd_seq_set_client_name(service.seq, client_name);
  service.client = alsa.snd_seq_client_id(service.seq);
  service.input_port = alsa.snd_seq_create_simple_port(
      service.seq, input_name, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  codes[1] = service.input_port < 0 ? service.input_port : 0;
  service.output_port = alsa.snd_seq_create_simple_port(
      service.seq, output_name, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  codes[2] = service.output_port < 0 ? service.output_port : 0;
  if (service.input_port < 0 || service.output_port < 0 ||
      alsa.snd_midi_event_new(256, &service.encoder) < 0 || pipe(service.wake_pipe) != 0) {
    if (service.encoder) alsa.snd_midi_event_free(service.encoder);
    service.encoder = nullptr;
    alsa.snd_seq_close(service.seq);
    service.seq = nullptr;
    return false;
  }
  refresh_lists();
  service.input_thread = std::thread(input_loop, service.seq, service.wake_pipe[0]);
  return true;
}

void close_sequencer() {
  if (!service.seq) return;
  const char byte = 0;
  if (write(service.wake_pipe[1], &byte, 1) < 0) {
  }
  if (service.input_thread.joinable()) service.input_thread.join();
  if (service.connected_client >= 0)
    alsa.snd_seq_disconnect_from(service.seq, service.input_port, service.connected_client,
                                 service.connected_port);
  alsa.snd_midi_event_free(service.encoder);
  alsa.snd_seq_close(service.seq);
  close(service.wake_pipe[0]);
  close(service.wake_pipe[1]);
  clear_service();
}

void output_event(snd_seq_event_t* event, const Port& to) {
  snd_seq_ev_set_source(event, service.output_port);
  snd_seq_ev_set_dest(event, to.client, to.port);
  snd_seq_ev_set_direct(event);
  alsa.snd_seq_event_output_direct(service.seq, event);
}

bool send_to_sequencer(const Port& to, const uint8_t* bytes, int count) {
  snd_seq_event_t event;
  if (bytes[0] == 0xF0 || bytes[0] == 0xF7 || !(bytes[0] & 0x80)) {
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_sysex(&event, unsigned(count), const_cast<uint8_t*>(bytes));
    output_event(&event, to);
    return true;
  }
  alsa.snd_midi_event_reset_encode(service.encoder);
  for (int i = 0; i < count; ++i) {
    snd_seq_ev_clear(&event);
    if (alsa.snd_midi_event_encode_byte(service.encoder, bytes[i], &event) == 1)
      output_event(&event, to);
  }
  return true;
}

}  // namespace

bool platform_midi_open(const char* client_name, const char* input_port, const char* output_port,
                        int codes[3]) {
  std::lock_guard<std::mutex> held(service.lock);
  codes[0] = codes[1] = codes[2] = 1;
  if (service.seq || service.loopback) return true;
  if (service.loopback_on) {
    service.loopback = true;
    start_loopback_input();
    service.sources = {{0, 0, LOOPBACK_PORT_NAME}};
    service.destinations = {{0, 0, LOOPBACK_PORT_NAME}};
    codes[0] = codes[1] = codes[2] = 0;
    return true;
  }
  return open_sequencer(client_name, input_port, output_port, codes);
}

void platform_midi_close() {
  std::lock_guard<std::mutex> held(service.lock);
  if (service.loopback) {
    clear_service();
    stop_loopback_input();
  } else {
    close_sequencer();
  }
}

bool platform_midi_is_open() {
  std::lock_guard<std::mutex> held(service.lock);
  return service.seq || service.loopback;
}

std::vector<std::string> platform_midi_sources() {
  std::lock_guard<std::mutex> held(service.lock);
  std::vector<std::string> names;
  for (const Port& p : service.sources) names.push_back(p.name);
  return names;
}

std::vector<std::string> platform_midi_destinations() {
  std::lock_guard<std::mutex> held(service.lock);
  std::vector<std::string> names;
  for (const Port& p : service.destinations) names.push_back(p.name);
  return names;
}

bool platform_midi_connect_source(int index) {
  std::lock_guard<std::mutex> held(service.lock);
  const bool valid = index >= 0 && size_t(index) < service.sources.size();
  if (service.loopback) {
    service.loopback_connected = valid;
    return valid;
  }
  if (!service.seq) return false;
  if (service.connected_client >= 0)
    alsa.snd_seq_disconnect_from(service.seq, service.input_port, service.connected_client,
                                 service.connected_port);
  service.connected_client = service.connected_port = -1;
  if (!valid) return false;
  const Port& from = service.sources[size_t(index)];
  if (alsa.snd_seq_connect_from(service.seq, service.input_port, from.client, from.port) < 0)
    return false;
  service.connected_client = from.client;
  service.connected_port = from.port;
  return true;
}

bool platform_midi_source_connected() {
  std::lock_guard<std::mutex> held(service.lock);
  if (service.loopback) return service.loopback_connected;
  return service.seq && service.connected_client >= 0;
}

bool platform_midi_send(int destination, const uint8_t* bytes, int count) {
  if (count <= 0) return false;
  std::vector<std::vector<uint8_t>> echo;
  {
    std::lock_guard<std::mutex> held(service.lock);
    if (destination < 0 || size_t(destination) >= service.destinations.size()) return false;
    if (!service.loopback)
      return service.seq &&
             send_to_sequencer(service.destinations[size_t(destination)], bytes, count);
    service.sent.push_back({platform_microseconds(), destination, {bytes, bytes + count}});
    if (service.loopback_connected) echo = split_messages(bytes, count);
  }
  if (!echo.empty()) queue_loopback_input(std::move(echo));
  return true;
}

void platform_midi_set_input_routine(MidiInputRoutine routine) { input_routine = routine; }

void platform_midi_use_loopback(bool on) {
  std::lock_guard<std::mutex> held(service.lock);
  service.loopback_on = on;
  service.sent.clear();
}

std::vector<SentMidi> platform_midi_take_sent() {
  std::lock_guard<std::mutex> held(service.lock);
  std::vector<SentMidi> taken;
  taken.swap(service.sent);
  return taken;
}

void platform_midi_loopback_play(const std::vector<uint8_t>& bytes) {
  {
    std::lock_guard<std::mutex> held(service.lock);
    if (!service.loopback || !service.loopback_connected) return;
  }
  queue_loopback_input(split_messages(bytes.data(), int(bytes.size())));
  std::unique_lock<std::mutex> held(loopback_input.lock);
  loopback_input.done.wait(held,
                           [] { return loopback_input.pending.empty() && !loopback_input.busy; });
}
