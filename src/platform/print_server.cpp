// print_server.cpp: whether a print server might answer (see print_server.h).
#include "platform/print_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#ifndef VESK_HEADLESS
namespace {

bool exists(const char* path) { return ::access(path, F_OK) == 0; }

// Whether the file of that name exists in the user's ~/.cups.
bool exists_in_home(const char* home, const char* name) {
  char path[4096];
  const int length = std::snprintf(path, sizeof path, "%s/.cups/%s", home, name);
  return length > 0 && size_t(length) < sizeof path && exists(path);
}

// Whether something takes the connection to the address (or neither takes nor refuses it at
// once).
bool answers(const sockaddr* address, socklen_t length) {
  const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;  // no such network on this machine
  bool answered = ::connect(fd, address, length) == 0;
  if (!answered && errno == EINPROGRESS) {
    pollfd wait = {fd, POLLOUT, 0};
    const int ready = ::poll(&wait, 1, 50);
    int error = 0;
    socklen_t size = sizeof error;
    answered =
        ready != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error == 0;
  }
  ::close(fd);
  return answered;
}

}  // namespace
#endif

bool print_server_may_answer() {
#ifdef VESK_HEADLESS
  // The program that only prints is loaded by its launcher only where it found that none might
  // (app/main.cpp): asked again at the print, the answer would be the same.
  return false;
#else
  for (const char* name : {"CUPS_SERVER", "CUPS_SERVERROOT", "IPP_PORT", "LPDEST", "PRINTER"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  for (const char* path : {"/etc/cups/client.conf", "/etc/cups/lpoptions", "/run/cups/cups.sock",
                           "/var/run/cups/cups.sock"})
    if (exists(path)) return true;
  if (const char* home = std::getenv("HOME"); home && *home)
    if (exists_in_home(home, "client.conf") || exists_in_home(home, "lpoptions")) return true;
  sockaddr_in ipv4 = {};
  ipv4.sin_family = AF_INET;
  ipv4.sin_port = htons(631);
  ipv4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sockaddr_in6 ipv6 = {};
  ipv6.sin6_family = AF_INET6;
  ipv6.sin6_port = htons(631);
  ipv6.sin6_addr = in6addr_loopback;
  return answers(reinterpret_cast<const sockaddr*>(&ipv4), sizeof ipv4) ||
         answers(reinterpret_cast<const sockaddr*>(&ipv6), sizeof ipv6);
#endif
}
