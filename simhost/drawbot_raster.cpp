#include "simhost/drawbot_raster.h"

#include <cmath>
#include <cstdlib>
#include <array>
#include <cstdio>
#include <map>
#include <sstream>

#include "simhost/simhost_error.h"

namespace simhost {
namespace {

struct Colour {
    double r = 0, g = 0, b = 0, a = 1;
};

struct Segment {
    double x0, y0, x1, y1;
};

struct Path {
    std::vector<Segment> segments;
    std::vector<std::array<double, 4>> rects;  // left, top, width, height
    double cx = 0, cy = 0;
};

void plot(OwnedWorld& image, long x, long y, const Colour& c) {
    PF_EffectWorld& w = image.world();
    if (x < 0 || y < 0 || x >= w.width || y >= w.height) return;
    const double rgb[3] = {c.r, c.g, c.b};
    for (int ch = 0; ch < 3; ++ch) {
        const double below = image.channel(int32_t(x), int32_t(y), ch + 1);
        image.set_channel(int32_t(x), int32_t(y), ch + 1, rgb[ch] * c.a + below * (1.0 - c.a));
    }
    image.set_channel(int32_t(x), int32_t(y), 0, 1.0);
}

// A one-pixel line through the pixels the segment passes (Bresenham on the
// pixels holding its ends).
void line(OwnedWorld& image, double x0, double y0, double x1, double y1, const Colour& c) {
    long ax = long(std::floor(x0)), ay = long(std::floor(y0));
    const long bx = long(std::floor(x1)), by = long(std::floor(y1));
    const long dx = std::labs(bx - ax), dy = -std::labs(by - ay);
    const long sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
    long err = dx + dy;
    // A segment from a wild coordinate would take forever; the window is
    // at most this wide.
    if (dx > 100000 || -dy > 100000) return;
    for (;;) {
        plot(image, ax, ay, c);
        if (ax == bx && ay == by) break;
        const long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            ax += sx;
        }
        if (e2 <= dx) {
            err += dx;
            ay += sy;
        }
    }
}

Colour parse_colour(const std::string& word) {
    Colour c;
    if (word.rfind("rgba=", 0) != 0) throw SimhostError("drawing log: no colour in \"" + word + "\"");
    std::sscanf(word.c_str() + 5, "%lf,%lf,%lf,%lf", &c.r, &c.g, &c.b, &c.a);
    return c;
}

}  // namespace

void rasterise_drawbot_log(const std::vector<std::string>& log, OwnedWorld& image) {
    std::map<std::string, Colour> colours;
    std::map<std::string, Path> paths;
    for (const std::string& entry : log) {
        std::istringstream in(entry);
        std::string verb, name;
        in >> verb >> name;
        if (verb == "New") {
            if (name.rfind("pen", 0) == 0 || name.rfind("brush", 0) == 0) {
                std::string word;
                in >> word;
                colours[name] = parse_colour(word);
            } else if (name.rfind("path", 0) == 0) {
                paths[name] = Path{};
            }
        } else if (verb == "MoveTo" || verb == "LineTo") {
            double x = 0, y = 0;
            in >> x >> y;
            Path& p = paths[name];
            if (verb == "LineTo") p.segments.push_back({p.cx, p.cy, x, y});
            p.cx = x;
            p.cy = y;
        } else if (verb == "AddRect") {
            std::array<double, 4> r{};
            in >> r[0] >> r[1] >> r[2] >> r[3];
            paths[name].rects.push_back(r);
        } else if (verb == "StrokePath") {
            std::string path;
            in >> path;
            const Colour c = colours[name];
            for (const Segment& s : paths[path].segments) line(image, s.x0, s.y0, s.x1, s.y1, c);
            for (const auto& r : paths[path].rects) {
                const double l = r[0], t = r[1], rr = r[0] + r[2], b = r[1] + r[3];
                line(image, l, t, rr, t, c);
                line(image, rr, t, rr, b, c);
                line(image, rr, b, l, b, c);
                line(image, l, b, l, t, c);
            }
        } else if (verb == "FillPath") {
            std::string path;
            in >> path;
            const Colour c = colours[name];
            for (const auto& r : paths[path].rects) {
                // Pixels whose centres (x + 0.5, y + 0.5) the rectangle covers.
                for (long y = long(std::ceil(r[1] - 0.5)); y + 0.5 < r[1] + r[3]; ++y)
                    for (long x = long(std::ceil(r[0] - 0.5)); x + 0.5 < r[0] + r[2]; ++x) plot(image, x, y, c);
            }
        } else if (verb == "DrawImage") {
            // "DrawImage image3 at X,Y alpha=A": the banner's pixels are not
            // in the log; its place is.
            continue;
        } else if (verb == "ReleaseObject") {
            colours.erase(name);
            paths.erase(name);
        } else {
            throw SimhostError("drawing log: unknown entry \"" + entry + "\"");
        }
    }
}

}  // namespace simhost
