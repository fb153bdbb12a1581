#include "cli/signal_cleanup.h"

#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <iterator>

namespace brenvik {

namespace {

// Fixed storage, because the handler may call only async-signal-safe functions.
struct held_name {
  char path[PATH_MAX];
  volatile std::sig_atomic_t held;
};
held_name held_names[2];

constexpr int stopping_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void remove_held_names(int signal_number) {
  for (held_name& name : held_names)
    if (name.held != 0) unlink(name.path);
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigaction(signal_number, &standard, nullptr);
  raise(signal_number);  // delivered when the handler returns: the process ends by it
}

void catch_stopping_signals() {
  static bool caught = false;
  if (caught) return;
  caught = true;
  struct sigaction handler {};
  handler.sa_handler = remove_held_names;
  sigemptyset(&handler.sa_mask);
  for (const int signal_number : stopping_signals)
    sigaddset(&handler.sa_mask, signal_number);
  for (const int signal_number : stopping_signals) {
    struct sigaction old {};
    if (sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
      sigaction(signal_number, &handler, nullptr);
    }
  }
}

}  // namespace

int hold_name(const std::string& path) {
  catch_stopping_signals();
  for (int slot = 0; slot < static_cast<int>(std::size(held_names)); ++slot) {
    held_name& name = held_names[slot];
    if (name.held != 0 || path.size() >= sizeof name.path) continue;
    std::memcpy(name.path, path.c_str(), path.size() + 1);
    name.held = 1;
    return slot;
  }
  return -1;
}

void release_name(int slot) {
  if (slot >= 0) held_names[slot].held = 0;
}

}  // namespace brenvik
