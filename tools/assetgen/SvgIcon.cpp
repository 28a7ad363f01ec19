// The scalable icon: the four blocks of the raster icons as vector shapes, the same colours,
// bevels, gloss and symbols that paintBlock draws, so both read as one picture at every size.
#include <cstdio>
#include <string>

#include "Desktop.h"
#include "Palette.h"

namespace {
constexpr int kCanvas = 256;

std::string hex(Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
  return text;
}

std::string num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

std::string polygon(std::initializer_list<std::pair<double, double>> points, Rgb fill) {
  std::string out = "<polygon points=\"";
  for (auto [x, y] : points) out += num(x) + "," + num(y) + " ";
  out.back() = '"';
  return out + " fill=\"" + hex(fill) + "\"/>\n";
}

// The symbol of a colour, as in the game's blocks, grown by `grow` (in units of its radius)
// for its dark rim: circle, triangle, square, diamond.
std::string symbol(int color, double cx, double cy, double r, double grow, Rgb fill) {
  switch (color) {
    case 0:
      return "<circle cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num((0.92 + grow) * r) +
             "\" fill=\"" + hex(fill) + "\"/>\n";
    case 1: {
      double top = cy + (-0.95 - grow * 1.6) * r, bottom = cy + (0.78 + grow) * r;
      double half = (1.0 + grow) * r;
      return polygon({{cx, top}, {cx + half, bottom}, {cx - half, bottom}}, fill);
    }
    case 2: {
      double half = (0.74 + grow) * r;
      return polygon({{cx - half, cy - half},
                      {cx + half, cy - half},
                      {cx + half, cy + half},
                      {cx - half, cy + half}},
                     fill);
    }
    default: {
      double half = (1.08 + grow * 1.4) * r;
      return polygon({{cx, cy - half}, {cx + half, cy}, {cx, cy + half}, {cx - half, cy}}, fill);
    }
  }
}

std::string block(int color, double x, double y, double s) {
  const Rgb base = pal::kBlockColors[color];
  const std::string id = std::to_string(color);
  const double rim = s / 80, bevel = s / 9;
  const double in = x + rim, top = y + rim, out = x + s - rim, bottom = y + s - rim;
  const double fx = in + bevel, fy = top + bevel, fr = out - bevel, fb = bottom - bevel;
  std::string svg = "<g>\n";
  svg += "<linearGradient id=\"face" + id + "\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">" +
         "<stop offset=\"0\" stop-color=\"" + hex(lighten(base, 0.12)) + "\"/>" +
         "<stop offset=\"1\" stop-color=\"" + hex(shade(base, 0.8)) + "\"/></linearGradient>\n";
  svg += "<radialGradient id=\"gloss" + id + "\">" +
         "<stop offset=\"0\" stop-color=\"#ffffff\" stop-opacity=\"0.12\"/>" +
         "<stop offset=\"1\" stop-color=\"#ffffff\" stop-opacity=\"0\"/></radialGradient>\n";
  svg += "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(s) + "\" height=\"" +
         num(s) + "\" rx=\"" + num(s / 24) + "\" fill=\"" + hex(shade(base, 0.3)) + "\"/>\n";
  // The bevel: lit from the top left, as every block of the game.
  svg += polygon({{in, top}, {out, top}, {fr, fy}, {fx, fy}}, lighten(base, 0.36));
  svg += polygon({{in, top}, {fx, fy}, {fx, fb}, {in, bottom}}, lighten(base, 0.2));
  svg += polygon({{in, bottom}, {fx, fb}, {fr, fb}, {out, bottom}}, shade(base, 0.64));
  svg += polygon({{out, top}, {out, bottom}, {fr, fb}, {fr, fy}}, shade(base, 0.76));
  svg += "<rect x=\"" + num(fx) + "\" y=\"" + num(fy) + "\" width=\"" + num(fr - fx) +
         "\" height=\"" + num(fb - fy) + "\" fill=\"url(#face" + id + ")\"/>\n";
  svg += "<ellipse cx=\"" + num(x + s * 0.42) + "\" cy=\"" + num(y + s * 0.3) + "\" rx=\"" +
         num(s * 0.34) + "\" ry=\"" + num(s * 0.16) + "\" fill=\"url(#gloss" + id + ")\"/>\n";
  const double cx = x + s / 2, cy = y + s / 2, r = s * 0.24;
  svg += symbol(color, cx, cy, r, 0.2, shade(base, 0.3));
  svg += symbol(color, cx, cy, r, 0.0, lighten(base, 0.78));
  return svg + "</g>\n";
}
}  // namespace

std::string svgIcon() {
  const IconLayout l = iconLayout(kCanvas);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kCanvas) + "\" height=\"" +
         num(kCanvas) + "\" viewBox=\"0 0 " + num(kCanvas) + " " + num(kCanvas) + "\">\n";
  svg += "<title>Zeph</title>\n";
  // Reading order red, green, blue, yellow, as the raster icons and the title logo.
  for (int k = 0; k < 4; ++k) svg += block(k, l.blockX(k), l.blockY(k), l.block);
  return svg + "</svg>\n";
}
