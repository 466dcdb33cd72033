// kestu-display-grab: another X client that grabs the display now and then, as a screen recorder
// or a misbehaving program does. While the grab lasts, every other client's next round trip to
// the server waits. Used beside kestu-latency run on that display, to stall the window's thread
// the way the desktop does.
//   kestu-display-grab MS EVERY_MS COUNT
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: kestu-display-grab MS EVERY_MS COUNT\n");
    return 2;
  }
  const int grabMs = std::atoi(argv[1]);
  const int everyMs = std::atoi(argv[2]);
  const int count = std::atoi(argv[3]);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "kestu-display-grab: no display\n");
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
    XGrabServer(display);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(grabMs));
    XUngrabServer(display);
    XSync(display, False);
  }
  XCloseDisplay(display);
  return 0;
}
