#include "browser/webkit/extension/memory_check.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "browser/webkit/script_world.h"

namespace brevane {

int64_t AnonymousResidentBytes(const char* statm, int64_t page_size) {
  // size resident shared text lib data dt, in pages.
  unsigned long long size = 0, resident = 0, shared = 0;
  if (statm == nullptr || std::sscanf(statm, "%llu %llu %llu", &size, &resident, &shared) != 3) return -1;
  if (shared > resident) return 0;
  return static_cast<int64_t>(resident - shared) * page_size;
}

namespace {

struct Watch {
  uint64_t limit_bytes = 0;  // 0: no memory check
  uint32_t period_ms = 0;
  pid_t program = 0;         // 0: no program named
  int64_t page_size = 4096;
};

// Ends the web process from whichever thread finds the reason: _exit takes
// every thread with it and runs no page code, no destructor and no handler.
[[noreturn]] void EndProcess(const char* reason, int64_t megabytes, uint64_t limit_megabytes) {
  if (megabytes >= 0)
    std::fprintf(stderr, "brevane: web process ended at %" PRId64 " MB, past its ceiling of %" PRIu64 " MB\n",
                 megabytes, limit_megabytes);
  else
    std::fprintf(stderr, "brevane: web process ended: %s\n", reason);
  std::fflush(stderr);
  _exit(1);
}

// One short read of a file the kernel fills from counters: no walk of the
// process's pages, unlike smaps, so the check can run often. The file stays
// open and is read again from its start.
int64_t ResidentNow(int fd, int64_t page_size) {
  char text[128];
  const ssize_t length = fd < 0 ? -1 : pread(fd, text, sizeof text - 1, 0);
  if (length <= 0) return -1;
  text[length] = '\0';
  return AnonymousResidentBytes(text, page_size);
}

// Sleeps for that much of the process's CPU time (all its threads'), or of
// the wall clock where that clock cannot be slept on.
void SleepOnProcessTime(uint32_t ms) {
  timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  int result;
  while ((result = clock_nanosleep(CLOCK_PROCESS_CPUTIME_ID, 0, &rest, &rest)) == EINTR) {
  }
  if (result == 0) return;
  rest = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) == -1 && errno == EINTR) {
  }
}

// The watch thread: it only reads two counters and sleeps, and lives as long
// as the process. GLib's thread, since WebKit's own threads are GLib's and
// the process is GLib's, and a detached std::thread would be one more
// runtime's.
//
// A process's memory grows only while it runs: its own threads touch the
// pages, and the kernel's work of giving it them counts as their CPU time.
// So the thread checks after every period of the process's CPU time, not of
// the wall clock: a page allocating flat out is checked as often as before
// (one period of CPU time is at most one period of wall time), while a page
// that sits still between passes wakes the thread almost never, where every
// wake-up costs the machine more than the reads it makes.
gpointer RunWatch(gpointer data) {
  const Watch watch = *static_cast<const Watch*>(data);
  delete static_cast<const Watch*>(data);
  const uint32_t period_ms = watch.period_ms > 0 ? watch.period_ms : 250;
  const int statm = watch.limit_bytes > 0 ? open("/proc/self/statm", O_RDONLY | O_CLOEXEC) : -1;
  for (;;) {
    // The parent-death signal covers a program that is killed; this covers
    // a parent that went before the signal was asked for.
    if (watch.program > 0 && getppid() != watch.program) EndProcess("the program has ended", -1, 0);
    if (watch.limit_bytes > 0) {
      const int64_t bytes = ResidentNow(statm, watch.page_size);
      if (bytes >= 0 && static_cast<uint64_t>(bytes) > watch.limit_bytes)
        EndProcess(nullptr, bytes >> 20, watch.limit_bytes >> 20);
    }
    SleepOnProcessTime(period_ms);
  }
  return nullptr;
}

}  // namespace

void StartProcessWatch(const GVariant* settings) {
  if (settings == nullptr) return;
  auto* dict = const_cast<GVariant*>(settings);
  auto* watch = new Watch;
  watch->page_size = sysconf(_SC_PAGESIZE);
  guint64 limit_bytes = 0;
  guint32 period_ms = 0;
  if (g_variant_lookup(dict, kMemoryLimitKey, "t", &limit_bytes) &&
      g_variant_lookup(dict, kMemoryCheckKey, "u", &period_ms) && limit_bytes > 0 && period_ms > 0) {
    watch->limit_bytes = limit_bytes;
    watch->period_ms = period_ms;
  }
  gint64 program = 0;
  if (g_variant_lookup(dict, kProgramPidKey, "x", &program) && program > 1) {
    // WebKit starts the web process as a child of the program's process, so
    // the kernel kills it when the program ends, however it ends. A program
    // that ended before this line is seen at once: the process belongs to
    // init by then. Another parent (a sandbox launcher WebKit put between
    // them, or a session's subreaper after the program went) leaves the
    // parent-death signal as the only watch.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const pid_t parent = getppid();
    if (parent == static_cast<pid_t>(program)) watch->program = parent;
    else if (parent == 1) EndProcess("the program has ended", -1, 0);
  }
  if (watch->program == 0 && watch->limit_bytes == 0) {
    delete watch;
    return;
  }
  g_thread_unref(g_thread_new("brevane-watch", RunWatch, watch));
}

}  // namespace brevane
