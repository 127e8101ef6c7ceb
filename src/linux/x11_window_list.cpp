#include "linux/x11_window_list.h"

#include <xcb/res.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>

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

// Reads replies by one deadline and remembers whether any was lost to it, so that a list
// cut short by a stalled server is told apart from one whose windows vanished meanwhile.
class ReplyReader {
 public:
  ReplyReader(X11Connection& connection, X11Deadline deadline, const X11WatchWindow* watch = nullptr)
      : connection_(connection), deadline_(deadline), watch_(watch) {}
  X11Connection& connection() const { return connection_; }
  X11Deadline deadline() const { return deadline_; }
  bool expired() const { return expired_; }
  void watch(xcb_window_t window, std::uint32_t eventMask) const {
    if (watch_ != nullptr && *watch_) (*watch_)(window, eventMask);
  }

  template <class R>
  XcbReply<R> read(X11PendingReply& request) {
    auto reply = request.take<R>(deadline_);
    if (!reply && std::chrono::steady_clock::now() >= deadline_) expired_ = true;
    return reply;
  }

 private:
  X11Connection& connection_;
  X11Deadline deadline_;
  const X11WatchWindow* watch_;
  bool expired_ = false;
};

// The properties that describe a client window, as sendClientRequests asks for them.
constexpr const char* kNetWmPid = "_NET_WM_PID";
constexpr const char* kNetWmWindowType = "_NET_WM_WINDOW_TYPE";
constexpr const char* kNetWmState = "_NET_WM_STATE";
constexpr const char* kNetWmWindowOpacity = "_NET_WM_WINDOW_OPACITY";
constexpr const char* kClientProperties[] = {kNetWmPid, kNetWmWindowType, kNetWmState, kNetWmWindowOpacity};

// The requests that describe one client window, sent together so that a whole window
// list costs a few round trips rather than several per window.
struct ClientRequests {
  X11PendingReply pid;
  X11PendingReply type;
  X11PendingReply state;
  X11PendingReply opacity;
  X11PendingReply wmClass;
  X11PendingReply res;
};

struct ClientFacts {
  std::optional<std::int32_t> netWmPid;
  std::optional<std::int32_t> serverPid;
  std::vector<xcb_atom_t> types;
  std::vector<xcb_atom_t> states;
  std::optional<std::uint32_t> opacity;
  bool hasClass = false;
};

ClientRequests sendClientRequests(ReplyReader& reader, xcb_window_t window) {
  auto& x = reader.connection();
  auto* c = x.get();
  const auto property = [&](const char* name, xcb_atom_t type, std::uint32_t length) {
    return x.pending(xcb_get_property(c, 0, window, x.atom(name, reader.deadline()), type, 0, length));
  };
  reader.watch(window, XCB_EVENT_MASK_PROPERTY_CHANGE);
  ClientRequests requests;
  requests.pid = property(kNetWmPid, XCB_ATOM_CARDINAL, 1);
  requests.type = property(kNetWmWindowType, XCB_ATOM_ATOM, 32);
  requests.state = property(kNetWmState, XCB_ATOM_ATOM, 32);
  requests.opacity = property(kNetWmWindowOpacity, XCB_ATOM_CARDINAL, 1);
  requests.wmClass = x.pending(xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 0));
  if (x.hasXRes()) {
    xcb_res_client_id_spec_t clientIdQuery{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    requests.res = x.pending(xcb_res_query_client_ids(c, 1, &clientIdQuery));
  }
  return requests;
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

ClientFacts collectClientFacts(ReplyReader& reader, ClientRequests& requests) {
  ClientFacts facts;
  auto pid = reader.read<xcb_get_property_reply_t>(requests.pid);
  auto type = reader.read<xcb_get_property_reply_t>(requests.type);
  auto state = reader.read<xcb_get_property_reply_t>(requests.state);
  auto opacity = reader.read<xcb_get_property_reply_t>(requests.opacity);
  auto wmClass = reader.read<xcb_get_property_reply_t>(requests.wmClass);
  if (auto value = cardinalOf(pid.get()); value && *value > 0 && *value <= 0x7fffffffU) {
    facts.netWmPid = static_cast<std::int32_t>(*value);
  }
  facts.types = atomsOf(type.get());
  facts.states = atomsOf(state.get());
  facts.opacity = cardinalOf(opacity.get());
  facts.hasClass = wmClass && wmClass->type != XCB_ATOM_NONE;
  if (auto res = reader.read<xcb_res_query_client_ids_reply_t>(requests.res)) {
    // The query asks for the process ID alone, so every value in the answer is one.
    for (auto it = xcb_res_query_client_ids_ids_iterator(res.get()); it.rem > 0; xcb_res_client_id_value_next(&it)) {
      if (xcb_res_client_id_value_value_length(it.data) == 1) {
        const auto value = *xcb_res_client_id_value_value(it.data);
        if (value > 0 && value <= 0x7fffffffU) facts.serverPid = static_cast<std::int32_t>(value);
      }
    }
  }
  return facts;
}

// Only the server's own record names the owner. _NET_WM_PID is whatever the client
// wrote, so a window whose client the server cannot name (a client over TCP) has no
// owner rather than the one it claims.
std::optional<std::int32_t> ownerPid(const ClientFacts& facts) { return facts.serverPid; }

// Whether the window describes itself; one that does not may be a window manager's frame.
bool describesItself(const ClientFacts& facts) { return facts.hasClass || facts.netWmPid; }

bool hasAtom(const std::vector<xcb_atom_t>& atoms, xcb_atom_t wanted) {
  return wanted != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), wanted) != atoms.end();
}

// A reparenting window manager puts each client into a frame of its own; the client
// window, which carries the properties, is the frame's top-most child with WM_CLASS.
// The requests of each step are sent together for all frames.
std::vector<std::optional<xcb_window_t>> clientsInsideFrames(ReplyReader& reader,
                                                             const std::vector<xcb_window_t>& frames) {
  auto& x = reader.connection();
  auto* c = x.get();
  std::vector<std::optional<xcb_window_t>> clients(frames.size());
  std::vector<X11PendingReply> trees;
  trees.reserve(frames.size());
  for (auto frame : frames) {
    // Its clients may come and go, and their properties describe the frame.
    reader.watch(frame, XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    trees.push_back(x.pending(xcb_query_tree(c, frame)));
  }
  std::vector<std::vector<xcb_window_t>> children(frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    auto tree = reader.read<xcb_query_tree_reply_t>(trees[i]);
    if (!tree) continue;
    const auto* list = xcb_query_tree_children(tree.get());
    children[i].assign(list, list + xcb_query_tree_children_length(tree.get()));
  }
  std::vector<std::vector<X11PendingReply>> classes(frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    for (auto child : children[i]) {
      reader.watch(child, XCB_EVENT_MASK_PROPERTY_CHANGE);
      classes[i].push_back(x.pending(xcb_get_property(c, 0, child, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 0)));
    }
  }
  for (std::size_t i = 0; i < frames.size(); ++i) {
    for (std::size_t k = 0; k < children[i].size(); ++k) {
      auto wmClass = reader.read<xcb_get_property_reply_t>(classes[i][k]);
      if (wmClass && wmClass->type != XCB_ATOM_NONE) clients[i] = children[i][k];
    }
  }
  return clients;
}

}  // namespace

bool x11WindowListReadsProperty(X11Connection& x, std::uint32_t atom) {
  if (atom == XCB_ATOM_WM_CLASS) return true;
  return std::any_of(std::begin(kClientProperties), std::end(kClientProperties),
                     [&](const char* name) { return x.atom(name) == atom; });
}

std::optional<std::vector<X11WindowInfo>> listX11Windows(X11Connection& x, X11Deadline deadline,
                                                         const X11WatchWindow& watch) {
  auto* c = x.get();
  ReplyReader reader(x, deadline, &watch);
  auto treeRequest = x.pending(xcb_query_tree(c, x.root()));
  auto tree = reader.read<xcb_query_tree_reply_t>(treeRequest);
  if (!tree) return std::nullopt;
  const auto* children = xcb_query_tree_children(tree.get());
  const auto count = static_cast<std::size_t>(xcb_query_tree_children_length(tree.get()));

  std::vector<X11PendingReply> attributeRequests;
  std::vector<X11PendingReply> geometryRequests;
  for (std::size_t i = 0; i < count; ++i) {
    attributeRequests.push_back(x.pending(xcb_get_window_attributes(c, children[i])));
    geometryRequests.push_back(x.pending(xcb_get_geometry(c, children[i])));
  }
  struct Pending {
    X11WindowInfo info;
    bool overrideRedirect;
    ClientRequests requests;
  };
  std::vector<Pending> pending;
  for (std::size_t i = 0; i < count; ++i) {
    auto attributes = reader.read<xcb_get_window_attributes_reply_t>(attributeRequests[i]);
    auto geometry = reader.read<xcb_get_geometry_reply_t>(geometryRequests[i]);
    if (reader.expired()) return std::nullopt;
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
    pending.push_back({info, attributes->override_redirect != 0, {}});
  }
  // Sent only once every geometry is read: a request sent between two reads is written
  // to the server on its own, a system call each.
  for (auto& entry : pending) entry.requests = sendClientRequests(reader, entry.info.window);

  const xcb_atom_t dockType = x.atom("_NET_WM_WINDOW_TYPE_DOCK", deadline);
  const xcb_atom_t desktopType = x.atom("_NET_WM_WINDOW_TYPE_DESKTOP", deadline);
  const xcb_atom_t aboveState = x.atom("_NET_WM_STATE_ABOVE", deadline);
  const xcb_atom_t belowState = x.atom("_NET_WM_STATE_BELOW", deadline);
  std::vector<ClientFacts> facts;
  facts.reserve(pending.size());
  for (auto& entry : pending) facts.push_back(collectClientFacts(reader, entry.requests));
  if (reader.expired()) return std::nullopt;
  // Windows that say nothing about themselves may be a window manager's frames; their
  // clients are looked up together, a few round trips for the whole list.
  std::vector<std::size_t> frames;
  std::vector<xcb_window_t> frameWindows;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (!pending[i].overrideRedirect && !describesItself(facts[i])) {
      frames.push_back(i);
      frameWindows.push_back(pending[i].info.window);
    }
  }
  const auto clients = clientsInsideFrames(reader, frameWindows);
  std::vector<std::pair<std::size_t, ClientRequests>> clientRequests;
  for (std::size_t k = 0; k < frames.size(); ++k) {
    if (clients[k]) clientRequests.emplace_back(frames[k], sendClientRequests(reader, *clients[k]));
  }
  for (auto& [i, requests] : clientRequests) facts[i] = collectClientFacts(reader, requests);
  if (reader.expired()) return std::nullopt;

  std::vector<X11WindowInfo> result;
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

std::optional<X11WindowSnapshot> readX11WindowSnapshot(X11Connection& connection, X11Deadline deadline,
                                                       const X11WatchWindow& watch) {
  if (connection.hasError()) return std::nullopt;
  auto monitorsRequest = requestX11Monitors(connection);
  auto windows = listX11Windows(connection, deadline, watch);
  auto monitors = readX11Monitors(connection, monitorsRequest, deadline);
  if (!windows || !monitors) return std::nullopt;
  return X11WindowSnapshot{std::move(*monitors), std::move(*windows)};
}

std::optional<std::int32_t> x11WindowPid(X11Connection& x, std::uint32_t window, X11Deadline deadline) {
  ReplyReader reader(x, deadline);
  auto requests = sendClientRequests(reader, window);
  ClientFacts facts = collectClientFacts(reader, requests);
  if (!describesItself(facts)) {
    if (const auto clients = clientsInsideFrames(reader, {window}); clients.front()) {
      auto clientRequests = sendClientRequests(reader, *clients.front());
      facts = collectClientFacts(reader, clientRequests);
    }
  }
  return ownerPid(facts);
}

}  // namespace quillon
