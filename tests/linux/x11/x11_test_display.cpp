#include "x11_test_display.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace quillon {

// A server of the display's own: scripts/with-x running a shell that prints DISPLAY and
// then waits for its input to close, which is when the harness stops the server.
class X11TestDisplay::Server {
 public:
  explicit Server(const std::vector<std::string>& serverArguments) {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> arguments{QUILLON_SOURCE_DIR "/scripts/with-x"};
    for (const auto& argument : serverArguments) arguments.push_back("--server-arg=" + argument);
    arguments.insert(arguments.end(), {"--", "/bin/sh", "-c", "echo \"$DISPLAY\"; exec cat >/dev/null"});
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(input[0], STDIN_FILENO);
      ::dup2(output[1], STDOUT_FILENO);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(input[0]);
    ::close(output[1]);
    input_ = input[1];
    if (pid_ < 0) throw std::runtime_error("fork failed");
    // Xvfb starts within a second or two; a loaded machine gets far longer.
    std::string line;
    char c = 0;
    while (line.find('\n') == std::string::npos) {
      pollfd fd{output[0], POLLIN, 0};
      if (::poll(&fd, 1, 60'000) <= 0 || ::read(output[0], &c, 1) != 1) break;
      line += c;
    }
    ::close(output[0]);
    if (line.size() < 2 || line.front() != ':') throw std::runtime_error("the private X server did not start");
    display_ = line.substr(0, line.size() - 1);
  }
  ~Server() {
    ::close(input_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  std::string display_;
};

X11TestDisplay::X11TestDisplay(const std::vector<std::string>& serverArguments) {
  if (!serverArguments.empty()) {
    server_ = std::make_unique<Server>(serverArguments);
    display_.emplace("DISPLAY", server_->display());
  }
  if (const char* name = std::getenv("DISPLAY")) name_ = name;
  adapters_ = X11Connection::open(nullptr, &log_);
  other_ = X11Connection::open();
  if (!adapters_ || !other_) throw std::runtime_error("no X display; run under scripts/with-x");
  adapters_->attach(loop_);
}

X11TestDisplay::~X11TestDisplay() = default;

xcb_window_t X11TestDisplay::createWindow(const WindowOptions& options) {
  X11Connection& client = options.client != nullptr ? *options.client : *other_;
  auto* c = client.get();
  const xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t values[] = {options.rgb, options.overrideRedirect ? 1U : 0U, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, client.root(), static_cast<std::int16_t>(options.bounds.x),
                    static_cast<std::int16_t>(options.bounds.y), static_cast<std::uint16_t>(options.bounds.width),
                    static_cast<std::uint16_t>(options.bounds.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
  const auto setAtom = [&](const char* property, const char* value) {
    const xcb_atom_t atom = client.atom(value);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, client.atom(property), XCB_ATOM_ATOM, 32, 1, &atom);
  };
  if (options.state != nullptr) setAtom("_NET_WM_STATE", options.state);
  if (options.type != nullptr) setAtom("_NET_WM_WINDOW_TYPE", options.type);
  const auto setCardinal = [&](const char* property, std::uint32_t value) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, client.atom(property), XCB_ATOM_CARDINAL, 32, 1, &value);
  };
  if (options.opacity) {
    setCardinal("_NET_WM_WINDOW_OPACITY", static_cast<std::uint32_t>(std::lround(*options.opacity * 4294967295.0)));
  }
  if (options.netWmPid) setCardinal("_NET_WM_PID", *options.netWmPid);
  xcb_map_window(c, window);
  xcb_flush(c);
  // MapNotify on our own window means the server has mapped it.
  while (XcbReply<xcb_generic_event_t> event{xcb_wait_for_event(c)}) {
    if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
        reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window == window) {
      break;
    }
  }
  return window;
}

void X11TestDisplay::movePointer(int x, int y) {
  auto* c = other_->get();
  xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, other_->root(), static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 0);
  XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

const WindowRow* rowOf(const std::vector<WindowRow>& rows, std::uint32_t window) {
  const auto found =
      std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.windowNumber == window; });
  return found == rows.end() ? nullptr : &*found;
}

}  // namespace quillon
