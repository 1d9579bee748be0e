// Makes Kaleon's artwork: the shape files (".tgshape") and "logo.svg", the same bytes on every
// run, and a contact sheet of all shapes.
//
//   kaleon_make_artwork OUTPUT_FOLDER [--contact-sheet SHEET.png]
//
// Every shape is built from our own Path type, written with SVGStringFromCGPaths and packed with
// the container writer under the shape password. The moving layer fills all of a shape's paths
// at once with the non-zero rule, so holes wind the other way round.

#include "container/encryptor.h"
#include "core/file.h"
#include "gfx/bitmap.h"
#include "gfx/cairo_drawing.h"
#include "gfx/path.h"
#include "supply/shape_file.h"
#include "svg/document.h"
#include "svg/svg_writer.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <numbers>
#include <openssl/evp.h>
#include <string>
#include <vector>

using namespace kaleon;
using gfx::Path;
using gfx::Point;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kHandle = 0.5522847498;

using Paths = std::vector<Path>;

Point polar(Point centre, double radius, double angle)
{
    return { centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle) };
}

// A closed polygon; `clockwise` on screen (y down) is the filled direction, the other a hole.
Path polygon(const std::vector<Point>& points, bool clockwise = true)
{
    Path path;
    const size_t n = points.size();
    for (size_t i = 0; i < n; ++i) {
        const Point& p = points[clockwise ? i : n - 1 - i];
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

// Appends a circle as four cubic quarters.
void addCircle(Path& path, Point c, double r, bool clockwise = true)
{
    const double h = r * kHandle;
    const double s = clockwise ? 1 : -1;
    path.moveTo({ c.x + r, c.y });
    path.curveTo({ c.x + r, c.y + s * h }, { c.x + h, c.y + s * r }, { c.x, c.y + s * r });
    path.curveTo({ c.x - h, c.y + s * r }, { c.x - r, c.y + s * h }, { c.x - r, c.y });
    path.curveTo({ c.x - r, c.y - s * h }, { c.x - h, c.y - s * r }, { c.x, c.y - s * r });
    path.curveTo({ c.x + h, c.y - s * r }, { c.x + r, c.y - s * h }, { c.x + r, c.y });
    path.closeSubpath();
}

Path circle(Point c, double r, bool clockwise = true)
{
    Path path;
    addCircle(path, c, r, clockwise);
    return path;
}

Path ring(Point c, double outer, double inner)
{
    Path path;
    addCircle(path, c, outer, true);
    addCircle(path, c, inner, false);
    return path;
}

std::vector<Point> starPoints(Point c, int tips, double outer, double inner, double rotation)
{
    std::vector<Point> points;
    points.reserve(2 * static_cast<size_t>(tips));
    for (int i = 0; i < 2 * tips; ++i)
        points.push_back(polar(c, i % 2 == 0 ? outer : inner, rotation + i * kPi / tips));
    return points;
}

std::vector<Point> regular(Point c, int sides, double r, double rotation)
{
    std::vector<Point> points;
    points.reserve(static_cast<size_t>(sides));
    for (int i = 0; i < sides; ++i)
        points.push_back(polar(c, r, rotation + 2 * kPi * i / sides));
    return points;
}

// A pointed petal from the centre outwards along `angle`, `width` wide at its middle.
Path petal(Point c, double inner, double outer, double angle, double width)
{
    const Point base = polar(c, inner, angle);
    const Point tip = polar(c, outer, angle);
    const double mid = (inner + outer) / 2;
    const Point side1 = polar(polar(c, mid, angle), width, angle + kPi / 2);
    const Point side2 = polar(polar(c, mid, angle), width, angle - kPi / 2);
    Path path;
    path.moveTo(base);
    path.curveTo(side1, side1, tip);
    path.curveTo(side2, side2, base);
    path.closeSubpath();
    return path;
}

// A band between y = top and y = top + thickness that waves `waves` times across `width`.
Path wave(double top, double width, double thickness, double amplitude, int waves)
{
    Path path;
    const double step = width / (waves * 2);
    path.moveTo({ 0, top });
    for (int i = 0; i < waves * 2; ++i) {
        const double x0 = i * step;
        const double dy = (i % 2 == 0 ? -amplitude : amplitude);
        path.curveTo({ x0 + step * 0.5, top + dy }, { x0 + step * 0.5, top + dy }, { x0 + step, top });
    }
    path.lineTo({ width, top + thickness });
    for (int i = waves * 2 - 1; i >= 0; --i) {
        const double x0 = i * step;
        const double dy = (i % 2 == 0 ? -amplitude : amplitude);
        path.curveTo({ x0 + step * 0.5, top + thickness + dy }, { x0 + step * 0.5, top + thickness + dy },
            { x0, top + thickness });
    }
    path.closeSubpath();
    return path;
}

// A thick spiral arm: its radius grows from `start` to `end` over `turns`, its width from a
// fifth of `thickness` to all of it. Both edges are cubic curves (twelve a turn, each matching
// the spiral's point and direction at its ends), so the arm stays smooth however large it is
// drawn; the ends are straight.
Path spiral(Point c, double turns, double start, double end, double thickness, double rotation)
{
    const double sweep = turns * 2 * kPi;
    // A point of an edge at angle `angle` from the start, `side` +1 outer and -1 inner.
    const auto edge = [&](double angle, double side) {
        const double t = angle / sweep;
        const double r = start + (end - start) * t;
        const double w = thickness * (0.2 + 0.8 * t);
        return polar(c, std::max(0.0, r + side * w / 2), rotation + angle);
    };
    const auto direction = [&](double angle, double side) {
        constexpr double h = 1e-6;
        const Point a = edge(angle - h, side);
        const Point b = edge(angle + h, side);
        return Point { (b.x - a.x) / (2 * h), (b.y - a.y) / (2 * h) };
    };
    const int segments = static_cast<int>(std::ceil(turns * 12));
    const double step = sweep / segments;
    // One edge, outwards from the start or back inwards to it, as cubic pieces.
    const auto trace = [&](Path& path, double side, bool outwards) {
        for (int i = 0; i < segments; ++i) {
            const double a0 = outwards ? i * step : (segments - i) * step;
            const double a1 = outwards ? a0 + step : a0 - step;
            const Point p0 = edge(a0, side);
            const Point p1 = edge(a1, side);
            const Point d0 = direction(a0, side);
            const Point d1 = direction(a1, side);
            const double k = (a1 - a0) / 3;
            path.curveTo({ p0.x + d0.x * k, p0.y + d0.y * k }, { p1.x - d1.x * k, p1.y - d1.y * k }, p1);
        }
    };
    Path path;
    path.moveTo(edge(0, 1));
    trace(path, 1, true);
    path.lineTo(edge(sweep, -1));
    trace(path, -1, false);
    path.closeSubpath();
    return path;
}

Path rectangle(double x, double y, double w, double h, bool clockwise = true)
{
    return polygon({ { x, y }, { x + w, y }, { x + w, y + h }, { x, y + h } }, clockwise);
}

Path rotated(const Path& path, Point c, double angle)
{
    const auto t = gfx::AffineTransform::translation(-c.x, -c.y)
                       .then(gfx::AffineTransform::rotation(angle))
                       .then(gfx::AffineTransform::translation(c.x, c.y));
    return path.transformed(t);
}

const Point kC { 500, 500 };

struct Shape {
    const char* name;
    std::function<Paths()> build;
};

std::vector<Shape> shapes()
{
    return {
        { "rosette",
            [] {
                Paths p;
                for (int i = 0; i < 12; ++i)
                    p.push_back(ring(polar(kC, 330, i * kPi / 6), 170, 120));
                p.push_back(ring(kC, 200, 150));
                p.push_back(circle(kC, 90));
                return p;
            } },
        { "star-eight", [] { return Paths { polygon(starPoints(kC, 8, 500, 220, -kPi / 2)) }; } },
        { "star-five-ringed",
            [] {
                // A ring cut out of the star: the band between the circles winds back to zero.
                Paths p { polygon(starPoints(kC, 5, 500, 200, -kPi / 2)) };
                p.push_back(circle(kC, 150, false));
                p.push_back(circle(kC, 110, true));
                return p;
            } },
        { "lotus",
            [] {
                Paths p;
                for (int i = 0; i < 12; ++i)
                    p.push_back(petal(kC, 110, 500, i * kPi / 6, 110));
                p.push_back(ring(kC, 100, 60));
                return p;
            } },
        { "daisy",
            [] {
                Paths p;
                for (int i = 0; i < 20; ++i)
                    p.push_back(petal(kC, 150, 500, i * kPi / 10, 55));
                p.push_back(ring(kC, 140, 70));
                return p;
            } },
        { "mandala",
            [] {
                Paths p { ring(kC, 500, 440), ring(kC, 200, 150) };
                for (int i = 0; i < 16; ++i)
                    p.push_back(petal(kC, 210, 430, i * kPi / 8, 50));
                for (int i = 0; i < 8; ++i)
                    p.push_back(circle(polar(kC, 90, i * kPi / 4), 35));
                return p;
            } },
        { "sunburst",
            [] {
                Paths p { circle(kC, 180) };
                for (int i = 0; i < 24; ++i) {
                    const double a = i * kPi / 12;
                    p.push_back(polygon({ polar(kC, 200, a - 0.09), polar(kC, 500, a), polar(kC, 200, a + 0.09) }));
                }
                return p;
            } },
        { "gear",
            [] {
                std::vector<Point> teeth;
                for (int i = 0; i < 18; ++i) {
                    const double a = i * 2 * kPi / 18;
                    teeth.push_back(polar(kC, 400, a - 0.1));
                    teeth.push_back(polar(kC, 500, a - 0.06));
                    teeth.push_back(polar(kC, 500, a + 0.06));
                    teeth.push_back(polar(kC, 400, a + 0.1));
                }
                Paths p { polygon(teeth) };
                p.push_back(circle(kC, 160, false));
                for (int i = 0; i < 6; ++i)
                    p.push_back(circle(polar(kC, 280, i * kPi / 3), 55, false));
                return p;
            } },
        { "interlocking-rings",
            [] {
                Paths p;
                for (int i = 0; i < 5; ++i)
                    p.push_back(ring({ 170.0 + i * 165, 500.0 + (i % 2 ? 120 : -120) }, 170, 135));
                return p;
            } },
        { "olympic-knot",
            [] {
                Paths p;
                for (int i = 0; i < 6; ++i)
                    p.push_back(ring(polar(kC, 200, i * kPi / 3), 300, 260));
                return p;
            } },
        { "waves",
            [] {
                Paths p;
                for (int i = 0; i < 5; ++i)
                    p.push_back(wave(80 + i * 170, 1000, 80, 60, 4));
                return p;
            } },
        { "ripple",
            [] {
                Paths p;
                for (int i = 0; i < 5; ++i)
                    p.push_back(ring(kC, 500 - i * 100, 450 - i * 100));
                return p;
            } },
        { "lattice",
            [] {
                Paths p { rectangle(0, 0, 1000, 1000) };
                for (int y = 0; y < 5; ++y) {
                    for (int x = 0; x < 5; ++x)
                        p.push_back(rectangle(30 + x * 196, 30 + y * 196, 154, 154, false));
                }
                return p;
            } },
        { "diamond-lattice",
            [] {
                Paths p;
                for (int y = 0; y < 6; ++y) {
                    for (int x = 0; x < 6; ++x) {
                        const Point c { 83.0 + x * 167, 83.0 + y * 167 };
                        p.push_back(polygon(regular(c, 4, 95, 0)));
                        p.push_back(polygon(regular(c, 4, 40, 0), false));
                    }
                }
                return p;
            } },
        { "honeycomb",
            [] {
                Paths p;
                for (int row = 0; row < 6; ++row) {
                    for (int col = 0; col < 6; ++col) {
                        const Point c { 90.0 + col * 160 + (row % 2) * 80, 90.0 + row * 139 };
                        p.push_back(polygon(regular(c, 6, 88, kPi / 6)));
                        p.push_back(polygon(regular(c, 6, 60, kPi / 6), false));
                    }
                }
                return p;
            } },
        { "spiral-galaxy",
            [] {
                Paths p;
                for (int i = 0; i < 3; ++i)
                    p.push_back(spiral(kC, 1.25, 40, 500, 110, i * 2 * kPi / 3));
                p.push_back(circle(kC, 70));
                return p;
            } },
        { "nautilus", [] { return Paths { spiral(kC, 2.5, 20, 500, 150, 0) }; } },
        { "snowflake",
            [] {
                Paths p;
                for (int i = 0; i < 6; ++i) {
                    const double a = i * kPi / 3;
                    p.push_back(rotated(rectangle(470, 0, 60, 500), kC, a));
                    p.push_back(rotated(polygon({ { 500, 150 }, { 620, 60 }, { 640, 90 }, { 500, 210 } }), kC, a));
                    p.push_back(rotated(polygon({ { 500, 150 }, { 500, 210 }, { 360, 90 }, { 380, 60 } }), kC, a));
                }
                p.push_back(polygon(regular(kC, 6, 110, 0)));
                return p;
            } },
        { "compass-rose",
            [] {
                Paths p;
                for (int i = 0; i < 8; ++i) {
                    const double a = i * kPi / 4;
                    const double length = i % 2 == 0 ? 500 : 330;
                    p.push_back(
                        polygon({ kC, polar(kC, 70, a - kPi / 4), polar(kC, length, a), polar(kC, 70, a + kPi / 4) }));
                }
                p.push_back(ring(kC, 200, 170));
                return p;
            } },
        { "clover",
            [] {
                Paths p;
                for (int i = 0; i < 4; ++i)
                    p.push_back(circle(polar(kC, 270, i * kPi / 2 + kPi / 4), 230));
                return p;
            } },
        { "crescents",
            [] {
                Paths p;
                for (int i = 0; i < 3; ++i) {
                    Path moon;
                    const Point c { 180.0 + i * 320, 500 };
                    addCircle(moon, c, 170, true);
                    addCircle(moon, { c.x + 60, c.y - 20 }, 120, false);
                    p.push_back(moon);
                }
                return p;
            } },
        { "chevrons",
            [] {
                Paths p;
                for (int i = 0; i < 5; ++i) {
                    const double y = i * 200;
                    p.push_back(polygon({ { 0, y }, { 500, y + 150 }, { 1000, y }, { 1000, y + 90 }, { 500, y + 240 },
                        { 0, y + 90 } }));
                }
                return p;
            } },
        { "fan",
            [] {
                Paths p;
                const Point pivot { 500, 950 };
                for (int i = 0; i < 9; ++i)
                    p.push_back(petal(pivot, 60, 900, kPi + kPi * (0.06 + i * 0.11), 70));
                p.push_back(circle(pivot, 50));
                return p;
            } },
        { "heart-bloom",
            [] {
                Paths p;
                for (int i = 0; i < 5; ++i) {
                    Path heart;
                    heart.moveTo({ 500, 480 });
                    heart.curveTo({ 500, 380 }, { 640, 330 }, { 700, 420 });
                    heart.curveTo({ 760, 510 }, { 650, 600 }, { 500, 700 });
                    heart.curveTo({ 350, 600 }, { 240, 510 }, { 300, 420 });
                    heart.curveTo({ 360, 330 }, { 500, 380 }, { 500, 480 });
                    heart.closeSubpath();
                    p.push_back(
                        rotated(heart.transformed(gfx::AffineTransform::translation(0, -230)), kC, i * 2 * kPi / 5));
                }
                p.push_back(circle(kC, 130));
                return p;
            } },
        { "zigzag-ring",
            [] {
                Paths p { polygon(starPoints(kC, 36, 500, 440, 0)) };
                p.push_back(polygon(starPoints(kC, 36, 380, 330, kPi / 36), false));
                p.push_back(polygon(starPoints(kC, 6, 300, 120, -kPi / 2)));
                return p;
            } },
        { "pinwheel",
            [] {
                Paths p;
                for (int i = 0; i < 6; ++i) {
                    const double a = i * kPi / 3;
                    Path blade;
                    blade.moveTo(kC);
                    blade.curveTo(polar(kC, 300, a), polar(kC, 500, a + 0.2), polar(kC, 500, a + 0.6));
                    blade.curveTo(polar(kC, 350, a + 0.7), polar(kC, 150, a + 0.6), kC);
                    blade.closeSubpath();
                    p.push_back(blade);
                }
                return p;
            } },
    };
}

// Appends `hole` to `letter` as a subpath of the same path: the logo fills each path on its own,
// so a letter's counter must live inside the letter's path.
Path withHole(Path letter, const Path& hole)
{
    hole.forEachElement([&](const gfx::PathElement& element) {
        switch (element.type) {
        case gfx::PathElementType::MoveTo:
            letter.moveTo(element.points[0]);
            break;
        case gfx::PathElementType::LineTo:
            letter.lineTo(element.points[0]);
            break;
        case gfx::PathElementType::CloseSubpath:
            letter.closeSubpath();
            break;
        default:
            break;
        }
    });
    return letter;
}

// Letters of the wordmark on a 100 × 140 grid per letter, as polygons (holes wound backwards).
Paths wordmark()
{
    Paths p;
    const auto at = [](double x, double y, std::vector<Point> points, bool clockwise = true) {
        for (auto& point : points)
            point = { point.x + x, point.y + y };
        return polygon(points, clockwise);
    };
    double x = 0;
    // K
    p.push_back(at(x, 0,
        { { 0, 0 }, { 28, 0 }, { 28, 58 }, { 72, 0 }, { 106, 0 }, { 52, 68 }, { 108, 140 }, { 74, 140 }, { 28, 80 },
            { 28, 140 }, { 0, 140 } }));
    x += 124;
    // A
    p.push_back(withHole(
        at(x, 0,
            { { 40, 0 }, { 72, 0 }, { 112, 140 }, { 84, 140 }, { 75, 108 }, { 37, 108 }, { 28, 140 }, { 0, 140 } }),
        at(x, 0, { { 56, 30 }, { 44, 84 }, { 68, 84 } }, false)));
    x += 128;
    // L
    p.push_back(at(x, 0, { { 0, 0 }, { 28, 0 }, { 28, 114 }, { 90, 114 }, { 90, 140 }, { 0, 140 } }));
    x += 106;
    // E
    p.push_back(at(x, 0,
        { { 0, 0 }, { 92, 0 }, { 92, 26 }, { 28, 26 }, { 28, 57 }, { 84, 57 }, { 84, 83 }, { 28, 83 }, { 28, 114 },
            { 92, 114 }, { 92, 140 }, { 0, 140 } }));
    x += 110;
    // O
    {
        const Point c { x + 60, 70 };
        std::vector<Point> ellipseOuter;
        std::vector<Point> ellipseInner;
        for (int i = 0; i < 48; ++i) {
            const double a = 2 * kPi * i / 48;
            ellipseOuter.push_back({ c.x + 60 * std::cos(a), c.y + 70 * std::sin(a) });
            ellipseInner.push_back({ c.x + 32 * std::cos(a), c.y + 44 * std::sin(a) });
        }
        p.push_back(withHole(polygon(ellipseOuter), polygon(ellipseInner, false)));
    }
    x += 138;
    // N
    p.push_back(at(x, 0,
        { { 0, 0 }, { 28, 0 }, { 78, 90 }, { 78, 0 }, { 104, 0 }, { 104, 140 }, { 78, 140 }, { 26, 50 }, { 26, 140 },
            { 0, 140 } }));
    return p;
}

// Moves a drawing so that its box starts at the origin, and shares the paths.
svg::PathList placed(const Paths& paths)
{
    svg::PathList list;
    for (const auto& path : paths)
        list.push_back(std::make_shared<const Path>(path));
    const auto box = gfx::boundingBox(list);
    if (!box)
        return list;
    for (auto& path : list)
        path = std::make_shared<const Path>(
            path->transformed(gfx::AffineTransform::translation(-box->minX(), -box->minY())));
    return list;
}

// Salts and IV from the name, so that the same artwork always packs to the same bytes.
container::Bytes derived(const std::string& label, size_t length)
{
    unsigned char digest[32];
    unsigned size = 0;
    EVP_Digest(label.data(), label.size(), digest, &size, EVP_sha256(), nullptr);
    return container::Bytes(digest, digest + length);
}

bool writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    return static_cast<bool>(replaceFile(path, bytes));
}

bool writeContactSheet(
    const std::filesystem::path& out, const std::vector<std::pair<std::string, svg::PathList>>& drawings)
{
    constexpr int kCell = 200;
    constexpr int kColumns = 6;
    const int rows = static_cast<int>((drawings.size() + kColumns - 1) / kColumns);
    auto sheet = gfx::Bitmap::create(kCell * kColumns, kCell * rows);
    const auto context = sheet->createContext();
    cairo_t* cr = context.get();
    gfx::setSourceColor(cr, gfx::Color::fromRGB8(0xf1, 0xfa, 0xee));
    cairo_paint(cr);
    for (size_t i = 0; i < drawings.size(); ++i) {
        auto document = svg::TGSVG::make();
        document->setCgPaths(drawings[i].second);
        const gfx::Size size = document->totalSize();
        const double factor = (kCell - 24) / std::max(size.width, size.height);
        cairo_save(cr);
        const int column = static_cast<int>(i) % kColumns;
        const int row = static_cast<int>(i) / kColumns;
        const double x = column * kCell + (kCell - size.width * factor) / 2;
        const double y = row * kCell + (kCell - size.height * factor) / 2;
        cairo_translate(cr, x, y);
        cairo_scale(cr, factor, factor);
        for (const auto& path : document->cgPaths())
            gfx::appendPathToCairo(cr, *path);
        cairo_restore(cr);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        gfx::setSourceColor(cr, gfx::Color::fromRGB8(0x1d, 0x35, 0x57));
        cairo_fill(cr);
    }
    return static_cast<bool>(sheet->writePNG(out));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: kaleon_make_artwork OUTPUT_FOLDER [--contact-sheet SHEET.png]\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    std::vector<std::pair<std::string, svg::PathList>> drawings;
    for (const auto& shape : shapes()) {
        const auto paths = placed(shape.build());
        const std::string text = svg::SVGStringFromCGPaths(paths, nullptr);
        const std::string name = shape.name;
        const auto packed = container::TGEncryptor::encryptData(container::bytesOf(text),
            container::kTGCryptorDefaultSettings, supply::TGSecret, derived(name + "/iv", 16),
            derived(name + "/salt", 8), derived(name + "/hmac-salt", 8));
        if (!packed || !writeFile(folder / (name + ".tgshape"), std::string(packed->begin(), packed->end()))) {
            std::cerr << "kaleon_make_artwork: cannot write " << name << ".tgshape\n";
            return 1;
        }
        drawings.emplace_back(name, paths);
    }
    if (!writeFile(folder / "logo.svg", svg::SVGStringFromCGPaths(placed(wordmark()), nullptr))) {
        std::cerr << "kaleon_make_artwork: cannot write logo.svg\n";
        return 1;
    }
    if (argc >= 4 && std::string(argv[2]) == "--contact-sheet" && !writeContactSheet(argv[3], drawings)) {
        std::cerr << "kaleon_make_artwork: cannot write " << argv[3] << "\n";
        return 1;
    }
    std::cout << "Wrote " << drawings.size() << " shapes and logo.svg to " << folder.string() << "\n";
    return 0;
}
