#include "linux/x11_connection.h"

#include <poll.h>
#include <unistd.h>
#include <xcb/composite.h>
#include <xcb/randr.h>
#include <xcb/res.h>
#include <xcb/xcbext.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/async/main_loop.h"
#include "core/platform/log_sink.h"
#include "linux/x11_xkb.h"

namespace quillon {

std::unique_ptr<X11Connection> X11Connection::open(const char* displayName, LogSink* log) {
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(displayName, &screenNumber);
  if (xcb_connection_has_error(connection) != 0) {
    xcb_disconnect(connection);
    return nullptr;
  }
  auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screenNumber && roots.rem > 0; ++i) xcb_screen_next(&roots);
  if (roots.rem == 0) {
    xcb_disconnect(connection);
    return nullptr;
  }
  std::unique_ptr<X11Connection> result(new X11Connection(connection, roots.data));
  result->queryExtensions(log);
  return result;
}

X11Connection::X11Connection(xcb_connection_t* connection, xcb_screen_t* screen)
    : connection_(connection), screen_(screen) {}

X11Connection::~X11Connection() {
  *alive_ = false;
  if (loop_ != nullptr && watchId_ != 0) loop_->unwatch(watchId_);
  xcb_disconnect(connection_);
}

bool X11Connection::hasError() const { return xcb_connection_has_error(connection_) != 0; }

void X11Connection::queryExtensions(LogSink* log) {
  const auto say = [log](const std::string& line) {
    if (log != nullptr) log->log(line);
  };
  const auto deadline = x11DeadlineAfter(kX11QueryBound);
  // XCB asks the server whether an extension exists the first time a request of that
  // extension is built, and waits without a limit for the answer; and a request to an
  // absent extension closes the connection. So presence is asked for up front, and the
  // reply to a later request proves the answers are in before XCB reads them.
  for (auto* extension : {&xcb_composite_id, &xcb_randr_id, &xcb_res_id, &xcb_test_id, &xcb_input_id, &xcb_xkb_id}) {
    xcb_prefetch_extension_data(connection_, extension);
  }
  if (!pending(xcb_get_input_focus(connection_)).take<xcb_get_input_focus_reply_t>(deadline)) {
    say("[Quillon/startup] The X server did not answer in time; its extensions are not used");
    return;
  }
  const auto present = [this](xcb_extension_t& extension) {
    const auto* data = xcb_get_extension_data(connection_, &extension);
    return data != nullptr && data->present != 0;
  };
  // Version queries are required before an extension's other requests may be used.
  X11PendingReply composite, randr, res, xtest, xinput, xkb;
  if (present(xcb_composite_id)) composite = pending(xcb_composite_query_version(connection_, 0, 4));
  if (present(xcb_randr_id)) randr = pending(xcb_randr_query_version(connection_, 1, 5));
  if (present(xcb_res_id)) res = pending(xcb_res_query_version(connection_, 1, 2));
  if (present(xcb_test_id)) xtest = pending(xcb_test_get_version(connection_, 2, 2));
  if (present(xcb_input_id)) xinput = pending(xcb_input_xi_query_version(connection_, 2, 2));
  if (present(xcb_xkb_id)) xkb = pending(xcb_xkb_use_extension(connection_, 1, 0));

  hasComposite_ = composite.take<xcb_composite_query_version_reply_t>(deadline) != nullptr;
  if (!hasComposite_) say("[Quillon/startup] The X server has no Composite extension; windows cannot be captured");
  auto randrReply = randr.take<xcb_randr_query_version_reply_t>(deadline);
  if (randrReply && (randrReply->major_version > 1 || randrReply->minor_version >= 5)) {
    randrFirstEvent_ = xcb_get_extension_data(connection_, &xcb_randr_id)->first_event;
  } else {
    say("[Quillon/startup] The X server has no RandR 1.5 extension; the whole root window is one screen");
  }
  hasXRes_ = res.take<xcb_res_query_version_reply_t>(deadline) != nullptr;
  if (!hasXRes_) say("[Quillon/startup] The X server has no X-Resource extension; window owners are unknown");
  hasXTest_ = xtest.take<xcb_test_get_version_reply_t>(deadline) != nullptr;
  if (!hasXTest_) say("[Quillon/startup] The X server has no XTEST extension; synthetic input is unavailable");
  auto xinputReply = xinput.take<xcb_input_xi_query_version_reply_t>(deadline);
  if (xinputReply && (xinputReply->major_version > 2 || xinputReply->minor_version >= 2)) {
    xinputOpcode_ = xcb_get_extension_data(connection_, &xcb_input_id)->major_opcode;
  } else {
    say("[Quillon/startup] The X server has no XInput 2.2 extension; the switch gesture is unavailable");
  }
  auto xkbReply = xkb.take<xcb_xkb_use_extension_reply_t>(deadline);
  if (xkbReply && xkbReply->supported != 0) {
    xkbFirstEvent_ = xcb_get_extension_data(connection_, &xcb_xkb_id)->first_event;
  } else {
    say("[Quillon/startup] The X server has no XKB extension; the switch gesture is unavailable");
  }
}

xcb_atom_t X11Connection::atom(const std::string& name, X11Deadline deadline) {
  if (auto found = atoms_.find(name); found != atoms_.end()) return found->second;
  auto reply = pending(xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.data()))
                   .take<xcb_intern_atom_reply_t>(deadline);
  if (!reply) return XCB_ATOM_NONE;
  atoms_.emplace(name, reply->atom);
  return reply->atom;
}

void X11Connection::interruptWaitsOn(const std::atomic<bool>* stop, int wakeFd) {
  interruptStop_ = stop;
  interruptFd_ = stop != nullptr ? wakeFd : -1;
}

bool X11Connection::waitsInterrupted() const { return interruptStop_ != nullptr && interruptStop_->load(); }

void X11Connection::flush() {
  xcb_flush(connection_);
  scheduleDispatch();
}

XcbReply<void> X11Connection::waitForReply(unsigned int sequence, X11Deadline deadline) {
  flush();
  for (;;) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (xcb_poll_for_reply(connection_, sequence, &reply, &error) != 0) {
      std::free(error);
      return XcbReply<void>(reply);
    }
    if (hasError()) return nullptr;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || waitsInterrupted()) {
      xcb_discard_reply(connection_, sequence);
      return nullptr;
    }
    pollfd fds[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {interruptFd_, POLLIN, 0}};
    ::poll(fds, interruptFd_ >= 0 ? 2 : 1,
           static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), 60'000)));
    // A wake-up meant for an earlier request would otherwise keep poll returning at once.
    if (interruptFd_ >= 0 && (fds[1].revents & POLLIN) != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const auto drained = ::read(interruptFd_, &count, sizeof count);
    }
  }
}

std::optional<XcbReply<xcb_generic_error_t>> X11Connection::check(xcb_void_cookie_t cookie, X11Deadline deadline) {
  // Replies come in request order: once a later request is answered, this one's error,
  // if any, has been read.
  if (!pending(xcb_get_input_focus(connection_)).take<xcb_get_input_focus_reply_t>(deadline)) {
    xcb_discard_reply(connection_, cookie.sequence);
    return std::nullopt;
  }
  void* reply = nullptr;
  xcb_generic_error_t* error = nullptr;
  xcb_poll_for_reply(connection_, cookie.sequence, &reply, &error);
  std::free(reply);
  return XcbReply<xcb_generic_error_t>(error);
}

X11PendingReply& X11PendingReply::operator=(X11PendingReply&& other) noexcept {
  if (this != &other) {
    discard();
    connection_ = std::exchange(other.connection_, nullptr);
    sequence_ = other.sequence_;
  }
  return *this;
}

void X11PendingReply::discard() {
  if (auto* connection = std::exchange(connection_, nullptr)) xcb_discard_reply(connection->get(), sequence_);
}

void X11Connection::attach(MainLoop& loop) {
  if (loop_ != nullptr) return;
  loop_ = &loop;
  watchId_ = loop.watchReadable(xcb_get_file_descriptor(connection_), [this] { dispatchPending(); });
  scheduleDispatch();
}

void X11Connection::dispatchPending() {
  dispatchScheduled_ = false;
  while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) handlers_.notify(*event);
  // A broken connection leaves its descriptor readable for good; watching it further
  // would spin the main loop.
  if (hasError() && loop_ != nullptr && watchId_ != 0) {
    loop_->unwatch(watchId_);
    watchId_ = 0;
    losses_.notify();
  }
}

void X11Connection::scheduleDispatch() {
  if (loop_ == nullptr || dispatchScheduled_) return;
  dispatchScheduled_ = true;
  loop_->post([this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.lock()) dispatchPending();
  });
}

}  // namespace quillon
