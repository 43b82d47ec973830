#include "platform/process.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/platform_internal.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace srtm::platform {
namespace {

// The temporary files being written, for the signal handler, which may run on any
// thread at any moment: fixed storage and lock-free states only. A slot is free (0),
// being filled (1) or holds a file to remove (2).
#if defined(_WIN32)
constexpr std::size_t kSlotBytes = kMaxPath + 32;
constexpr int kSignals[] = {SIGINT, SIGTERM};
#else
constexpr std::size_t kSlotBytes = PATH_MAX;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
#endif
constexpr int kSignalCount = static_cast<int>(sizeof kSignals / sizeof kSignals[0]);
constexpr int kSlots = 320;  // a batch writes one file per thread, and takes 256 threads at most
struct Slot {
  std::atomic<int> state{0};
  char path[kSlotBytes];
};
Slot g_slots[kSlots];

std::atomic<int> g_stopRequests{0};  // StopRequests alive
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

void RemoveTemporaries() {
  for (Slot& slot : g_slots) {
    if (slot.state.load() != 2) continue;
#if defined(_WIN32)
    ::DeleteFileA(slot.path);  // the file is open for deleting: it goes when the process does
#else
    ::unlink(slot.path);
#endif
  }
}

extern "C" void OnSignal(int signal) {
  int none = 0;
  if (g_stopRequests.load() > 0 && g_stopSignal.compare_exchange_strong(none, signal)) {
#if defined(_WIN32)
    std::signal(signal, OnSignal);  // the runtime resets the handler before calling it
#endif
    return;
  }
  RemoveTemporaries();
  _exit(128 + signal);
}

#if !defined(_WIN32)
void Install(int signal, struct sigaction* previous) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // A stop request lets the work go on to the end of its block: interrupted calls resume.
  action.sa_flags = SA_RESTART;
  sigaction(signal, &action, previous);
}
#endif

}  // namespace

int RegisterTemporary(const std::string& nativePath) {
  if (nativePath.size() >= kSlotBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (!g_slots[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(g_slots[i].path, nativePath.c_str(), nativePath.size() + 1);
    g_slots[i].state.store(2);
    return i;
  }
  return -1;
}

void ReleaseTemporary(int slot) {
  if (slot >= 0 && slot < kSlots) g_slots[slot].state.store(0);
}

void StartProcess() {
#if defined(_WIN32)
  for (int signal : kSignals) std::signal(signal, OnSignal);
#else
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    // The lowest free descriptor is the one taken: each closed one in turn.
    if (::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
      ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    }
  }
  for (int signal : kSignals) Install(signal, nullptr);
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

struct StopRequests::Saved {
#if defined(_WIN32)
  void (*handlers[kSignalCount])(int);
#else
  struct sigaction actions[kSignalCount];
#endif
};

StopRequests::StopRequests() : saved_(new Saved) {
  g_stopSignal.store(0);
  g_stopRequests.fetch_add(1);
  for (int i = 0; i < kSignalCount; ++i) {
#if defined(_WIN32)
    saved_->handlers[i] = std::signal(kSignals[i], OnSignal);
#else
    Install(kSignals[i], &saved_->actions[i]);
#endif
  }
}

StopRequests::~StopRequests() {
  for (int i = 0; i < kSignalCount; ++i) {
#if defined(_WIN32)
    std::signal(kSignals[i], saved_->handlers[i]);
#else
    sigaction(kSignals[i], &saved_->actions[i], nullptr);
#endif
  }
  g_stopRequests.fetch_sub(1);
  g_stopSignal.store(0);
  delete saved_;
}

int StopSignal() { return g_stopSignal.load(); }

bool FlushStandardOutput(std::string* why) {
  // The reason of the first failed flush: a later flush of an empty buffer succeeds and
  // the stream only remembers that something failed.
  static std::string firstFailure;  // the main thread's only
  errno = 0;
  if (std::fflush(stdout) != 0 && firstFailure.empty()) firstFailure = errno != 0 ? std::strerror(errno) : "";
  if (!std::ferror(stdout)) return true;
  if (why) *why = firstFailure.empty() ? "a write failed" : firstFailure;
  return false;
}

}  // namespace srtm::platform
