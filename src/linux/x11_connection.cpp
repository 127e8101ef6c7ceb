#include "linux/x11_connection.h"

#include <poll.h>
#include <xcb/composite.h>
#include <xcb/randr.h>
#include <xcb/res.h>
#include <xcb/xcbext.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/async/launch_main_loop.h"

namespace quillon {

std::unique_ptr<X11Connection> X11Connection::open(const char* displayName) {
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
  result->queryExtensions();
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

void X11Connection::queryExtensions() {
  // Version queries are required before an extension's other requests may be used.
  auto composite = xcb_composite_query_version(connection_, 0, 4);
  auto randr = xcb_randr_query_version(connection_, 1, 5);
  auto res = xcb_res_query_version(connection_, 1, 2);
  auto xtest = xcb_test_get_version(connection_, 2, 2);
  hasComposite_ = XcbReply<xcb_composite_query_version_reply_t>(
                      xcb_composite_query_version_reply(connection_, composite, nullptr)) != nullptr;
  XcbReply<xcb_randr_query_version_reply_t> randrReply(xcb_randr_query_version_reply(connection_, randr, nullptr));
  if (randrReply && (randrReply->major_version > 1 || randrReply->minor_version >= 5)) {
    const auto* data = xcb_get_extension_data(connection_, &xcb_randr_id);
    if (data != nullptr && data->present != 0) randrFirstEvent_ = data->first_event;
  }
  hasXRes_ = XcbReply<xcb_res_query_version_reply_t>(xcb_res_query_version_reply(connection_, res, nullptr)) != nullptr;
  hasXTest_ =
      XcbReply<xcb_test_get_version_reply_t>(xcb_test_get_version_reply(connection_, xtest, nullptr)) != nullptr;
}

xcb_atom_t X11Connection::atom(const std::string& name) {
  if (auto found = atoms_.find(name); found != atoms_.end()) return found->second;
  XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
  if (!reply) return XCB_ATOM_NONE;
  atoms_.emplace(name, reply->atom);
  return reply->atom;
}

XcbReply<void> X11Connection::waitForReply(unsigned int sequence, double timeoutSeconds) {
  xcb_flush(connection_);
  scheduleDispatch();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::max(0.0, timeoutSeconds));
  for (;;) {
    void* reply = nullptr;
    xcb_generic_error_t* error = nullptr;
    if (xcb_poll_for_reply(connection_, sequence, &reply, &error) != 0) {
      std::free(error);
      return XcbReply<void>(reply);
    }
    if (hasError()) return nullptr;
    const auto left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      xcb_discard_reply(connection_, sequence);
      return nullptr;
    }
    pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
    ::poll(&fd, 1, static_cast<int>(std::ceil(left * 1000.0)));
  }
}

void X11Connection::attach(LaunchMainLoop& loop) {
  if (loop_ != nullptr) return;
  loop_ = &loop;
  watchId_ = loop.watchReadable(xcb_get_file_descriptor(connection_), [this] { dispatchPending(); });
  scheduleDispatch();
}

X11Connection::HandlerId X11Connection::addEventHandler(EventHandler handler) {
  const HandlerId id = ++nextHandlerId_;
  handlers_.emplace(id, std::move(handler));
  return id;
}

void X11Connection::removeEventHandler(HandlerId id) { handlers_.erase(id); }

void X11Connection::dispatchPending() {
  dispatchScheduled_ = false;
  while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
    // Copy the handlers: one may remove itself or another while it runs.
    std::vector<EventHandler> current;
    current.reserve(handlers_.size());
    for (const auto& [id, handler] : handlers_) current.push_back(handler);
    for (const auto& handler : current) handler(*event);
  }
  // A broken connection leaves its descriptor readable for good; watching it further
  // would spin the main loop.
  if (hasError() && loop_ != nullptr && watchId_ != 0) {
    loop_->unwatch(watchId_);
    watchId_ = 0;
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
