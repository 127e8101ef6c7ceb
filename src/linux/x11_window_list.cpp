#include "linux/x11_window_list.h"

#include <xcb/res.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "linux/x11_connection.h"

namespace quillon {

int x11WindowLayer(const X11WindowHints& hints) {
  if (hints.overrideRedirect) return kX11OverrideLayer;
  if (hints.desktop) return kX11DesktopLayer;
  if (hints.dock) return kX11DockLayer;
  if (hints.above) return kX11AboveLayer;
  if (hints.below) return kX11BelowLayer;
  return kX11NormalLayer;
}

namespace {

// The requests that describe one client window, sent together so that a whole window
// list costs a few round trips rather than several per window.
struct ClientCookies {
  xcb_get_property_cookie_t pid;
  xcb_get_property_cookie_t type;
  xcb_get_property_cookie_t state;
  xcb_get_property_cookie_t opacity;
  xcb_get_property_cookie_t wmClass;
  std::optional<xcb_res_query_client_ids_cookie_t> res;
};

struct ClientFacts {
  std::optional<std::int32_t> netWmPid;
  std::optional<std::int32_t> serverPid;
  std::vector<xcb_atom_t> types;
  std::vector<xcb_atom_t> states;
  std::optional<std::uint32_t> opacity;
  bool hasClass = false;
};

ClientCookies sendClientRequests(X11Connection& x, xcb_window_t window) {
  auto* c = x.get();
  ClientCookies cookies{};
  cookies.pid = xcb_get_property(c, 0, window, x.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1);
  cookies.type = xcb_get_property(c, 0, window, x.atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 0, 32);
  cookies.state = xcb_get_property(c, 0, window, x.atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 32);
  cookies.opacity = xcb_get_property(c, 0, window, x.atom("_NET_WM_WINDOW_OPACITY"), XCB_ATOM_CARDINAL, 0, 1);
  cookies.wmClass = xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 0);
  if (x.hasXRes()) {
    xcb_res_client_id_spec_t clientIdQuery{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    cookies.res = xcb_res_query_client_ids(c, 1, &clientIdQuery);
  }
  return cookies;
}

std::vector<xcb_atom_t> atomsOf(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->format != 32) return {};
  const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
  const int count = xcb_get_property_value_length(reply) / 4;
  return {data, data + count};
}

std::optional<std::uint32_t> cardinalOf(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->format != 32 || xcb_get_property_value_length(reply) < 4) return std::nullopt;
  std::uint32_t value = 0;
  std::memcpy(&value, xcb_get_property_value(reply), sizeof value);
  return value;
}

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// The reply to `sequence`; with a deadline, none once it has passed.
template <class R>
XcbReply<R> replyTo(X11Connection& x, unsigned int sequence, const Deadline& deadline) {
  if (!deadline) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<R> reply(static_cast<R*>(xcb_wait_for_reply(x.get(), sequence, &error)));
    std::free(error);
    return reply;
  }
  const double left = std::chrono::duration<double>(*deadline - std::chrono::steady_clock::now()).count();
  return XcbReply<R>(static_cast<R*>(x.waitForReply(sequence, left).release()));
}

ClientFacts collectClientFacts(X11Connection& x, const ClientCookies& cookies, const Deadline& deadline = {}) {
  ClientFacts facts;
  auto pid = replyTo<xcb_get_property_reply_t>(x, cookies.pid.sequence, deadline);
  auto type = replyTo<xcb_get_property_reply_t>(x, cookies.type.sequence, deadline);
  auto state = replyTo<xcb_get_property_reply_t>(x, cookies.state.sequence, deadline);
  auto opacity = replyTo<xcb_get_property_reply_t>(x, cookies.opacity.sequence, deadline);
  auto wmClass = replyTo<xcb_get_property_reply_t>(x, cookies.wmClass.sequence, deadline);
  if (auto value = cardinalOf(pid.get()); value && *value > 0 && *value <= 0x7fffffffU) {
    facts.netWmPid = static_cast<std::int32_t>(*value);
  }
  facts.types = atomsOf(type.get());
  facts.states = atomsOf(state.get());
  facts.opacity = cardinalOf(opacity.get());
  facts.hasClass = wmClass && wmClass->type != XCB_ATOM_NONE;
  if (cookies.res) {
    auto res = replyTo<xcb_res_query_client_ids_reply_t>(x, cookies.res->sequence, deadline);
    if (res) {
      for (auto it = xcb_res_query_client_ids_ids_iterator(res.get()); it.rem > 0; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 &&
            xcb_res_client_id_value_value_length(it.data) == 1) {
          const auto value = *xcb_res_client_id_value_value(it.data);
          if (value > 0 && value <= 0x7fffffffU) facts.serverPid = static_cast<std::int32_t>(value);
        }
      }
    }
  }
  return facts;
}

std::optional<std::int32_t> ownerPid(const ClientFacts& facts) {
  return facts.serverPid ? facts.serverPid : facts.netWmPid;
}

bool hasAtom(const std::vector<xcb_atom_t>& atoms, xcb_atom_t wanted) {
  return wanted != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), wanted) != atoms.end();
}

// A reparenting window manager puts each client into a frame of its own; the client
// window, which carries the properties, is the frame's child with WM_CLASS.
std::optional<xcb_window_t> clientInsideFrame(X11Connection& x, xcb_window_t frame, const Deadline& deadline = {}) {
  auto* c = x.get();
  auto tree = replyTo<xcb_query_tree_reply_t>(x, xcb_query_tree(c, frame).sequence, deadline);
  if (!tree) return std::nullopt;
  const auto* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  for (int i = count - 1; i >= 0; --i) {
    auto wmClass = replyTo<xcb_get_property_reply_t>(
        x, xcb_get_property(c, 0, children[i], XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 0).sequence, deadline);
    if (wmClass && wmClass->type != XCB_ATOM_NONE) return children[i];
  }
  return std::nullopt;
}

// The same for many frames at once, with the requests of each step sent together.
std::vector<std::optional<xcb_window_t>> clientsInsideFrames(X11Connection& x,
                                                             const std::vector<xcb_window_t>& frames) {
  auto* c = x.get();
  std::vector<std::optional<xcb_window_t>> clients(frames.size());
  std::vector<xcb_query_tree_cookie_t> treeCookies;
  for (auto frame : frames) treeCookies.push_back(xcb_query_tree(c, frame));
  std::vector<std::vector<xcb_window_t>> children(frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, treeCookies[i], nullptr));
    if (!tree) continue;
    const auto* list = xcb_query_tree_children(tree.get());
    children[i].assign(list, list + xcb_query_tree_children_length(tree.get()));
  }
  std::vector<std::vector<xcb_get_property_cookie_t>> classCookies(frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    for (auto child : children[i]) {
      classCookies[i].push_back(xcb_get_property(c, 0, child, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 0));
    }
  }
  for (std::size_t i = 0; i < frames.size(); ++i) {
    // Every reply is read, so none is left queued; the top-most child with a class wins.
    for (std::size_t k = 0; k < children[i].size(); ++k) {
      XcbReply<xcb_get_property_reply_t> wmClass(xcb_get_property_reply(c, classCookies[i][k], nullptr));
      if (wmClass && wmClass->type != XCB_ATOM_NONE) clients[i] = children[i][k];
    }
  }
  return clients;
}

}  // namespace

std::vector<X11WindowInfo> listX11Windows(X11Connection& x) {
  auto* c = x.get();
  std::vector<X11WindowInfo> result;
  XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, x.root()), nullptr));
  x.scheduleDispatch();
  if (!tree) return result;
  const auto* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());

  std::vector<xcb_get_window_attributes_cookie_t> attributeCookies;
  std::vector<xcb_get_geometry_cookie_t> geometryCookies;
  for (int i = 0; i < count; ++i) {
    attributeCookies.push_back(xcb_get_window_attributes(c, children[i]));
    geometryCookies.push_back(xcb_get_geometry(c, children[i]));
  }
  struct Pending {
    X11WindowInfo info;
    bool overrideRedirect;
    ClientCookies cookies;
  };
  std::vector<Pending> pending;
  for (int i = 0; i < count; ++i) {
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributeCookies[static_cast<std::size_t>(i)], nullptr));
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, geometryCookies[static_cast<std::size_t>(i)], nullptr));
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
      continue;
    }
    X11WindowInfo info;
    info.window = children[i];
    const double border = geometry->border_width;
    info.rootBounds = {static_cast<double>(geometry->x), static_cast<double>(geometry->y), geometry->width + 2 * border,
                       geometry->height + 2 * border};
    info.depth = geometry->depth;
    pending.push_back({info, attributes->override_redirect != 0, sendClientRequests(x, children[i])});
  }

  const xcb_atom_t dockType = x.atom("_NET_WM_WINDOW_TYPE_DOCK");
  const xcb_atom_t desktopType = x.atom("_NET_WM_WINDOW_TYPE_DESKTOP");
  const xcb_atom_t aboveState = x.atom("_NET_WM_STATE_ABOVE");
  const xcb_atom_t belowState = x.atom("_NET_WM_STATE_BELOW");
  std::vector<ClientFacts> facts;
  facts.reserve(pending.size());
  for (auto& entry : pending) facts.push_back(collectClientFacts(x, entry.cookies));
  // Windows that say nothing about themselves may be a window manager's frames; their
  // clients are looked up together, a few round trips for the whole list.
  std::vector<std::size_t> frames;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (!pending[i].overrideRedirect && !facts[i].hasClass && !facts[i].netWmPid) frames.push_back(i);
  }
  std::vector<xcb_window_t> frameWindows;
  for (auto i : frames) frameWindows.push_back(pending[i].info.window);
  const auto clients = clientsInsideFrames(x, frameWindows);
  std::vector<std::pair<std::size_t, ClientCookies>> clientCookies;
  for (std::size_t k = 0; k < frames.size(); ++k) {
    if (clients[k]) clientCookies.emplace_back(frames[k], sendClientRequests(x, *clients[k]));
  }
  for (const auto& [i, cookies] : clientCookies) facts[i] = collectClientFacts(x, cookies);

  for (std::size_t i = 0; i < pending.size(); ++i) {
    auto& entry = pending[i];
    const ClientFacts& windowFacts = facts[i];
    X11WindowHints hints;
    hints.overrideRedirect = entry.overrideRedirect;
    hints.dock = hasAtom(windowFacts.types, dockType);
    hints.desktop = hasAtom(windowFacts.types, desktopType);
    hints.above = hasAtom(windowFacts.states, aboveState);
    hints.below = hasAtom(windowFacts.states, belowState);
    entry.info.layer = x11WindowLayer(hints);
    entry.info.desktopElement = hints.desktop;
    entry.info.pid = ownerPid(windowFacts);
    if (windowFacts.opacity) entry.info.alpha = static_cast<double>(*windowFacts.opacity) / 4294967295.0;
    result.push_back(entry.info);
  }
  // QueryTree lists children bottom to top; the window list is front to back.
  std::reverse(result.begin(), result.end());
  return result;
}

std::optional<std::int32_t> x11WindowPid(X11Connection& x, std::uint32_t window, double timeoutSeconds) {
  const Deadline deadline =
      std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                             std::chrono::duration<double>(std::max(0.0, timeoutSeconds)));
  ClientFacts facts = collectClientFacts(x, sendClientRequests(x, window), deadline);
  if (!facts.hasClass && !facts.netWmPid) {
    if (auto client = clientInsideFrame(x, window, deadline)) {
      facts = collectClientFacts(x, sendClientRequests(x, *client), deadline);
    }
  }
  x.scheduleDispatch();
  return ownerPid(facts);
}

}  // namespace quillon
