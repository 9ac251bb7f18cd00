// brevane-title-watch: prints every window title set on the X display, as
// the X server receives it, for the tests that follow the program's status
// line.
//
// A PropertyNotify event only says that a window's title changed; a client
// that reads the title after the event sees whatever stands then, so under
// load a title that stood for a few milliseconds is lost. This tool asks the
// server's RECORD extension for the ChangeProperty requests of every client
// instead, and prints the title each _NET_WM_NAME change carries: no title
// is missed however briefly it stands, and the order is the server's.
//
// Output, one line per change, flushed at once:
//   ready                      the recording runs (changes from now on are seen)
//   <window in hex> <title>    a title in UTF-8; "\\" and "\n" escaped
// It runs until it is killed, the display closes or the process that started
// it ends (so no test is left waiting on its output pipe).
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

Atom net_wm_name = None;

uint32_t Read32(const unsigned char* p, bool swapped) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return swapped ? __builtin_bswap32(v) : v;
}

uint16_t Read16(const unsigned char* p, bool swapped) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return swapped ? __builtin_bswap16(v) : v;
}

// One recorded ChangeProperty request: the layout of xChangePropertyReq, or
// with BIG-REQUESTS (length field 0) the same fields four bytes later.
void Print(const unsigned char* req, size_t size, bool swapped) {
  if (size < sizeof(xChangePropertyReq) || req[0] != X_ChangeProperty) return;
  size_t shift = Read16(req + 2, swapped) == 0 ? 4 : 0;
  if (size < sizeof(xChangePropertyReq) + shift) return;
  const unsigned char* body = req + shift;
  const int mode = req[1];
  const uint32_t window = Read32(body + 4, swapped);
  const uint32_t property = Read32(body + 8, swapped);
  const int format = body[16];
  const uint32_t units = Read32(body + 20, swapped);
  if (property != net_wm_name || format != 8 || mode != PropModeReplace) return;
  const size_t start = sizeof(xChangePropertyReq) + shift;
  if (units > size - start) return;
  std::string line;
  for (uint32_t i = 0; i < units; ++i) {
    char c = static_cast<char>(body[sizeof(xChangePropertyReq) + i]);
    if (c == '\\') {
      line += "\\\\";
    } else if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  std::printf("%x %s\n", window, line.c_str());
  std::fflush(stdout);
}

void OnRecord(XPointer, XRecordInterceptData* data) {
  if (data->category == XRecordStartOfData) {
    std::printf("ready\n");
    std::fflush(stdout);
  } else if (data->category == XRecordFromClient && data->data != nullptr) {
    Print(data->data, static_cast<size_t>(data->data_len) * 4, data->client_swapped != 0);
  }
  XRecordFreeData(data);
}

}  // namespace

int main() {
  const pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) return 0;  // the parent ended before the line above
  // RECORD needs two connections: one to set the recording up, one that
  // the server streams the recorded requests on.
  Display* control = XOpenDisplay(nullptr);
  Display* stream = XOpenDisplay(nullptr);
  if (control == nullptr || stream == nullptr) {
    std::fprintf(stderr, "brevane-title-watch: cannot open the display\n");
    return 2;
  }
  int major = 0;
  int minor = 0;
  if (!XRecordQueryVersion(control, &major, &minor)) {
    std::fprintf(stderr, "brevane-title-watch: the X server has no RECORD extension\n");
    return 2;
  }
  net_wm_name = XInternAtom(control, "_NET_WM_NAME", False);
  XRecordRange* range = XRecordAllocRange();
  range->core_requests.first = X_ChangeProperty;
  range->core_requests.last = X_ChangeProperty;
  XRecordClientSpec clients = XRecordAllClients;
  XRecordContext context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
  XFree(range);
  if (context == 0) {
    std::fprintf(stderr, "brevane-title-watch: cannot create a recording context\n");
    return 2;
  }
  XSync(control, False);
  // Blocks, calling OnRecord for each request, until the context is disabled
  // or the connection ends.
  if (!XRecordEnableContext(stream, context, OnRecord, nullptr)) {
    std::fprintf(stderr, "brevane-title-watch: cannot start recording\n");
    return 2;
  }
  return 0;
}
