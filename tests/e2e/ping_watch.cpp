// Plays the desktop's "are you alive" check against one window: sends _NET_WM_PING every 50 ms
// and, on SIGTERM, prints the longest time the window left a ping unanswered.
// Usage: ping_watch WINDOW_TITLE
// Output: "longest-silence-ms N pings P answered A" on stdout; exit 2 when no such window shows.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stop = 0;

void OnTerm(int) {
  g_stop = 1;
}

long long MsSince(Clock::time_point then) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
}

// A viewable top-level window of that title that takes the ping (there is no window manager, so
// top-level windows are the root's children).
Window FindWindow(Display* display, const std::string& title, Atom ping) {
  Window root = DefaultRootWindow(display);
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, root, &root, &parent, &children, &count) == 0) return 0;
  Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[i], &attributes) == 0 ||
        attributes.map_state != IsViewable) {
      continue;
    }
    char* name = nullptr;
    bool named = false;
    if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
      named = title == name;
      XFree(name);
    }
    // Qt gives a helper window the same title; only the real one takes the ping.
    Atom* protocols = nullptr;
    int protocolCount = 0;
    if (named && XGetWMProtocols(display, children[i], &protocols, &protocolCount) != 0) {
      for (int p = 0; p < protocolCount; ++p) {
        if (protocols[p] == ping) found = children[i];
      }
      XFree(protocols);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ping_watch WINDOW_TITLE\n");
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = OnTerm;  // no SA_RESTART: poll returns at once
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "ping_watch: cannot open the display\n");
    return 1;
  }
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
  Window window = 0;
  const auto searchStart = Clock::now();
  while (window == 0 && g_stop == 0) {
    window = FindWindow(display, argv[1], ping);
    if (window == 0) {
      if (MsSince(searchStart) > 60000) break;
      poll(nullptr, 0, 50);
    }
  }
  if (window == 0) {
    std::fprintf(stderr, "ping_watch: no window \"%s\"\n", argv[1]);
    return 2;
  }

  const Window root = DefaultRootWindow(display);
  // The answer goes to the root window for the window manager, with the structure notify mask
  // (some toolkits use substructure notify).
  XSelectInput(display, root, StructureNotifyMask | SubstructureNotifyMask);

  std::map<long, Clock::time_point> pending;  // sent and not yet answered, by number
  long next = 1;
  long answered = 0;
  long long longest = 0;
  auto lastSent = Clock::now() - std::chrono::seconds(1);
  while (g_stop == 0) {
    if (MsSince(lastSent) >= 50) {
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.window = window;
      event.xclient.message_type = protocols;
      event.xclient.format = 32;
      event.xclient.data.l[0] = static_cast<long>(ping);
      event.xclient.data.l[1] = next;  // the timestamp field comes back as sent
      event.xclient.data.l[2] = static_cast<long>(window);
      XSendEvent(display, window, False, NoEventMask, &event);
      XFlush(display);
      lastSent = Clock::now();
      pending.emplace(next++, lastSent);
    }
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != ClientMessage || event.xclient.message_type != protocols ||
          static_cast<Atom>(event.xclient.data.l[0]) != ping) {
        continue;
      }
      const auto sent = pending.find(event.xclient.data.l[1]);
      if (sent == pending.end()) continue;
      longest = std::max(longest, MsSince(sent->second));
      pending.erase(sent);
      ++answered;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 10);
  }
  // A ping still unanswered at the end has waited this long already.
  for (const auto& [number, sent] : pending) longest = std::max(longest, MsSince(sent));
  std::printf("longest-silence-ms %lld pings %ld answered %ld\n", longest, next - 1, answered);
  XCloseDisplay(display);
  return 0;
}
