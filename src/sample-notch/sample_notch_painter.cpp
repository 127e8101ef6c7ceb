#include "sample_notch_painter.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace quillon {
namespace {

struct Rgb {
  double r;
  double g;
  double b;
};

Rgb toRgb(std::uint32_t color) {
  return {static_cast<double>((color >> 16U) & 0xffU), static_cast<double>((color >> 8U) & 0xffU),
          static_cast<double>(color & 0xffU)};
}

Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

// A shape: its bounding box (so filling it visits only the pixels it may cover) and an
// inside test.
struct Shape {
  double minX;
  double minY;
  double maxX;
  double maxY;
  std::function<bool(double, double)> inside;
};

class Canvas {
 public:
  Canvas(int width, int height)
      : width_(width),
        height_(height),
        pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0U) {}

  // Source-over of `color` with the shape's coverage, sampled 4 × 4 per pixel.
  void fill(const Shape& shape, Rgb color) {
    constexpr int kSamples = 4;
    const auto& inside = shape.inside;
    const int top = std::max(0, static_cast<int>(std::floor(shape.minY)));
    const int bottom = std::min(height_, static_cast<int>(std::ceil(shape.maxY)));
    const int left = std::max(0, static_cast<int>(std::floor(shape.minX)));
    const int right = std::min(width_, static_cast<int>(std::ceil(shape.maxX)));
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        int hits = 0;
        for (int sy = 0; sy < kSamples; ++sy) {
          for (int sx = 0; sx < kSamples; ++sx) {
            if (inside(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples)) {
              ++hits;
            }
          }
        }
        if (hits == 0) {
          continue;
        }
        const double a = static_cast<double>(hits) / (kSamples * kSamples);
        auto& dst =
            pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
        const double inv = 1.0 - a;
        const auto channel = [&](unsigned shift, double src) {
          const double d = static_cast<double>((dst >> shift) & 0xffU);
          return static_cast<std::uint32_t>(std::lround(std::clamp(src * a + d * inv, 0.0, 255.0)));
        };
        const std::uint32_t outA = channel(24, 255.0);
        const std::uint32_t outR = channel(16, color.r);
        const std::uint32_t outG = channel(8, color.g);
        const std::uint32_t outB = channel(0, color.b);
        dst = (outA << 24U) | (outR << 16U) | (outG << 8U) | outB;
      }
    }
  }

  std::vector<std::uint32_t> take() { return std::move(pixels_); }

 private:
  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;
};

// A rectangle with separate radii for the top and the bottom corners.
Shape roundedRect(double x0, double y0, double w, double h, double topRadius, double bottomRadius) {
  return {x0, y0, x0 + w, y0 + h, [=](double px, double py) {
            if (px < x0 || py < y0 || px >= x0 + w || py >= y0 + h) {
              return false;
            }
            const auto outsideCorner = [&](double cx, double cy, double r) { return std::hypot(px - cx, py - cy) > r; };
            const double rt = topRadius;
            const double rb = bottomRadius;
            if (py < y0 + rt && px < x0 + rt) return !outsideCorner(x0 + rt, y0 + rt, rt);
            if (py < y0 + rt && px > x0 + w - rt) return !outsideCorner(x0 + w - rt, y0 + rt, rt);
            if (py > y0 + h - rb && px < x0 + rb) return !outsideCorner(x0 + rb, y0 + h - rb, rb);
            if (py > y0 + h - rb && px > x0 + w - rb) return !outsideCorner(x0 + w - rb, y0 + h - rb, rb);
            return true;
          }};
}

Shape circle(double cx, double cy, double r) {
  return {cx - r, cy - r, cx + r, cy + r, [=](double px, double py) { return std::hypot(px - cx, py - cy) <= r; }};
}

Shape ring(double cx, double cy, double r, double thickness) {
  return {cx - r, cy - r, cx + r, cy + r, [=](double px, double py) {
            const double d = std::hypot(px - cx, py - cy);
            return d <= r && d >= r - thickness;
          }};
}

void paintDrawing(Canvas& canvas, SampleNotchStyle style, Rgb accent, double x0, double y0, double w, double h) {
  switch (style) {
    case SampleNotchStyle::rings: {
      const double cx = x0 + w / 2;
      const double cy = y0 + h / 2;
      const double outer = std::min(w, h) / 2;
      for (int i = 0; i < 3; ++i) {
        canvas.fill(ring(cx, cy, outer * (1.0 - i * 0.3), std::max(1.5, outer * 0.12)), accent);
      }
      break;
    }
    case SampleNotchStyle::bars: {
      constexpr int kBars = 9;
      const double gap = w / (kBars * 2 - 1);
      for (int i = 0; i < kBars; ++i) {
        const double level = 0.3 + 0.7 * std::abs(std::sin(i * 0.9 + 0.4));
        const double bh = h * level;
        canvas.fill(roundedRect(x0 + i * 2 * gap, y0 + h - bh, gap, bh, gap / 2, gap / 2), accent);
      }
      break;
    }
    case SampleNotchStyle::dots: {
      const int cols = w > 3 * h ? 7 : 3;
      const int rows = h > 40 ? 3 : 1;
      const double stepX = w / cols;
      const double stepY = h / rows;
      const double r = std::min(stepX, stepY) * 0.32;
      for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < cols; ++col) {
          canvas.fill(circle(x0 + (col + 0.5) * stepX, y0 + (row + 0.5) * stepY, r), accent);
        }
      }
      break;
    }
  }
}

}  // namespace

std::vector<std::uint32_t> paintSampleNotch(const SampleNotchIdentity& identity, int width, int height, bool expanded) {
  Canvas canvas(width, height);
  const Rgb body = toRgb(identity.color);
  const Rgb accent = mix(body, {255, 255, 255}, 0.6);
  const double w = width;
  const double h = height;
  if (expanded) {
    canvas.fill(roundedRect(0, 0, w, h, 14, 30), body);
    paintDrawing(canvas, identity.style, accent, w * 0.2, h * 0.2, w * 0.6, h * 0.6);
  } else {
    canvas.fill(roundedRect(0, 0, w, h, h / 2, h / 2), body);
    paintDrawing(canvas, identity.style, accent, w * 0.35, h * 0.25, w * 0.3, h * 0.5);
  }
  return canvas.take();
}

std::vector<std::uint32_t> paintSampleIcon(const SampleNotchIdentity& identity, int size) {
  Canvas canvas(size, size);
  const Rgb body = toRgb(identity.color);
  const double s = size;
  canvas.fill(roundedRect(s * 0.06, s * 0.06, s * 0.88, s * 0.88, s * 0.2, s * 0.2), body);
  paintDrawing(canvas, identity.style, mix(body, {255, 255, 255}, 0.7), s * 0.24, s * 0.3, s * 0.52, s * 0.4);
  return canvas.take();
}

namespace {

// libpng reports errors by a long jump back here; nothing needing cleanup lives across it
// but the row, which is then leaked once.
bool encodePng(png_structp png, png_infop info, std::FILE* file, const std::vector<std::uint32_t>& pixels, int width,
               int height) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 4);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      const std::uint32_t p = pixels[y * static_cast<std::size_t>(width) + x];
      const unsigned a = p >> 24;
      const auto straight = [a](unsigned c) {
        return static_cast<png_byte>(a == 0 ? 0 : std::min(255U, (c * 255 + a / 2) / a));
      };
      row[x * 4] = straight((p >> 16) & 0xff);
      row[x * 4 + 1] = straight((p >> 8) & 0xff);
      row[x * 4 + 2] = straight(p & 0xff);
      row[x * 4 + 3] = static_cast<png_byte>(a);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool writeSamplePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  const bool encoded = info != nullptr && encodePng(png, info, file, pixels, width, height);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && encoded;
}

}  // namespace quillon
