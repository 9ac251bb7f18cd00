#include "browser/webkit/extension/memory_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>

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

struct Check {
  uint64_t limit_bytes;
  int64_t page_size;
};

gboolean CheckNow(gpointer data) {
  const auto* check = static_cast<const Check*>(data);
  // One short read of a file the kernel fills from counters: no walk of
  // the process's pages, unlike smaps.
  char text[128];
  const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return G_SOURCE_CONTINUE;
  const ssize_t length = read(fd, text, sizeof text - 1);
  close(fd);
  if (length <= 0) return G_SOURCE_CONTINUE;
  text[length] = '\0';
  const int64_t bytes = AnonymousResidentBytes(text, check->page_size);
  if (bytes >= 0 && static_cast<uint64_t>(bytes) > check->limit_bytes) {
    std::fprintf(stderr, "brevane: web process ended at %" PRId64 " MB, past its ceiling of %" PRIu64 " MB\n",
                 bytes >> 20, check->limit_bytes >> 20);
    std::fflush(stderr);
    _exit(1);
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace

void StartMemoryCheck(const GVariant* settings) {
  if (settings == nullptr) return;
  auto* dict = const_cast<GVariant*>(settings);
  guint64 limit_bytes = 0;
  guint32 seconds = 0;
  if (!g_variant_lookup(dict, kMemoryLimitKey, "t", &limit_bytes) ||
      !g_variant_lookup(dict, kMemoryCheckKey, "u", &seconds) || limit_bytes == 0 || seconds == 0) {
    return;
  }
  // Whole seconds let GLib wake the process once for this and its other
  // second-long timers together. The check lives as long as the process.
  g_timeout_add_seconds(seconds, CheckNow, new Check{limit_bytes, sysconf(_SC_PAGESIZE)});
}

}  // namespace brevane
