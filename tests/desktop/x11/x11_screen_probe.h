#pragma once

#include <xcb/xcb.h>

#include <QImage>
#include <QRect>

#include "linux/x11_connection.h"

namespace quillon {

// The topmost child of the root window that is mapped.
inline xcb_window_t topmostMapped(X11Connection& x) {
  XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(x.get(), xcb_query_tree(x.get(), x.root()), nullptr));
  if (!tree) return XCB_WINDOW_NONE;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(x.get(), xcb_get_window_attributes(x.get(), children[i]), nullptr));
    if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE) return children[i];
  }
  return XCB_WINDOW_NONE;
}

// The screen's pixels in `area`, as the X server composed them.
inline QImage screenPixels(X11Connection& x, const QRect& area) {
  XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
      x.get(),
      xcb_get_image(x.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, x.root(), static_cast<std::int16_t>(area.x()),
                    static_cast<std::int16_t>(area.y()), static_cast<std::uint16_t>(area.width()),
                    static_cast<std::uint16_t>(area.height()), ~0U),
      nullptr));
  if (!reply || reply->depth != 24) return {};
  return QImage(xcb_get_image_data(reply.get()), area.width(), area.height(), QImage::Format_RGB32).copy();
}

}  // namespace quillon
