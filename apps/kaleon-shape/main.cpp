// kaleon-shape: checks, prints and renders shape artwork as the saver will read it.

#include "core/file.h"
#include "core/log.h"
#include "core/text.h"
#include "gfx/bitmap.h"
#include "gfx/cairo_drawing.h"
#include "supply/shape_file.h"
#include "svg/document.h"
#include "svg/element_reader.h"
#include "svg/svg_writer.h"

#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>

using namespace kaleon;

namespace {

constexpr const char* kDescription
    = R"(Checks, prints, renders and packs Kaleon shape artwork the way the saver reads it.
FILE is a plain SVG file or a packed ".tgshape" shape file.)";

constexpr const char* kExamples = R"(
Examples:
  kaleon-shape check rosette.svg
  kaleon-shape paths rosette.svg > as-read.svg
  kaleon-shape render rosette.svg --out rosette.png --size 800x600 --fit --color 1d3557
  kaleon-shape render star.svg --out star.png --size 200x200 --scale 2 --translate=-50,-50
  kaleon-shape pack rosette.svg star.svg --out ~/.local/share/kaleon
  kaleon-shape unpack /usr/share/kaleon/lotus.tgshape --out /tmp

Exit status: 0 on success, 1 when the file cannot be read (or, for check, holds no path),
2 for a mistake on the command line.
)";

struct ShapeFile {
    std::string text;
    std::string error; // why it could not be read; empty when it was
};

ShapeFile readShapeFile(const std::string& path)
{
    if (std::filesystem::path(path).extension() == ".tgshape") {
        auto text = supply::readTGShape(path);
        if (!text)
            return { {}, path + " " + text.error().message };
        return { std::move(*text), {} };
    }
    auto read = readFile(path);
    if (!read)
        return { {}, read.error().message };
    std::string bytes = std::move(*read);
    if (!isValidUTF8(bytes))
        return { {}, path + " is not UTF-8 text" };
    return { std::move(bytes), {} };
}

// A picture size in whole pixels.
std::optional<gfx::Size> parsePixelSize(const std::string& text)
{
    const auto size = gfx::parseSize(text);
    if (!size || size->width != std::floor(size->width) || size->height != std::floor(size->height))
        return std::nullopt;
    return size;
}

// RRGGBB, with or without a leading #.
std::optional<gfx::Color> parseColor(std::string text)
{
    if (!text.empty() && text.front() == '#')
        text.erase(0, 1);
    unsigned value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.size() != 6 || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return gfx::Color::fromRGB8(static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value));
}

int fail(const std::string& message, int status)
{
    std::cerr << "kaleon-shape: " << message << "\n";
    return status;
}

int runCheck(const std::string& file)
{
    const auto shape = readShapeFile(file);
    if (!shape.error.empty())
        return fail(shape.error, 1);
    size_t count = 0;
    {
        ScopedLogCapture capture;
        count = svg::readSVGPaths(shape.text, { file, {} }).size();
        for (const auto& line : capture.lines())
            std::cout << line << "\n";
    }
    std::cout << count << (count == 1 ? " path" : " paths") << " read\n";
    const auto passedOver = svg::passedOverElements(shape.text);
    if (!passedOver.empty()) {
        std::cout << "passed over:";
        for (const auto& [name, n] : passedOver)
            std::cout << " " << name << " (" << n << ")";
        std::cout << "\n";
    }
    return count == 0 ? 1 : 0;
}

// Written as it is read, so that a large drawing is never held whole.
int runPaths(const std::string& file)
{
    const auto shape = readShapeFile(file);
    if (!shape.error.empty())
        return fail(shape.error, 1);
    std::string body;
    std::optional<gfx::Rect> box;
    svg::readSVGShapes(shape.text, { file, {} },
        [&](const std::shared_ptr<const gfx::Path>& path, svg::AttributeDictionary* attributes) {
            body += svg::SVGPathElement(*path, attributes);
            if (const auto pathBox = path->boundingBox())
                box = box ? box->united(*pathBox) : *pathBox;
        });
    std::cout << svg::SVGDocumentWithBody(body, box) << std::flush;
    if (!std::cout)
        return fail(std::string("cannot write the output: ") + std::strerror(errno), 1);
    return 0;
}

struct RenderRequest {
    std::string file;
    std::string out;
    gfx::Size size;
    double scale = 1;
    gfx::Point translation;
    bool fit = false;
    gfx::Color color = gfx::Color::black();
    std::optional<gfx::Color> background;
    bool separate = false;
};

int runRender(const RenderRequest& request)
{
    const auto shape = readShapeFile(request.file);
    if (!shape.error.empty())
        return fail(shape.error, 1);
    const auto document = svg::TGSVG::makeWithSVGString(shape.text, svg::ParseStyle::No, { request.file, {} });
    if (document->cgPaths().empty())
        return fail(request.file + " holds no path to draw (kaleon-shape check tells why)", 1);

    gfx::AffineTransform transform
        = gfx::AffineTransform::scale(request.scale, request.scale)
              .then(gfx::AffineTransform::translation(request.translation.x, request.translation.y));
    if (request.fit) {
        // As the saver does: one factor for both axes, the width filling a landscape canvas and
        // the height a portrait or square one, then centred with the origin rounded down.
        const double width = request.size.width;
        const double height = request.size.height;
        const gfx::Size natural = document->totalSize();
        const double factor = width > height ? width / natural.width : height / natural.height;
        document->applyTransform(gfx::AffineTransform::scale(factor, factor));
        const gfx::Size fitted = document->totalSize();
        transform = gfx::AffineTransform::translation(
            std::floor(width * 0.5 - fitted.width * 0.5), std::floor(height * 0.5 - fitted.height * 0.5));
    }

    const auto bitmap
        = gfx::Bitmap::create(static_cast<int>(request.size.width), static_cast<int>(request.size.height));
    if (!bitmap)
        return fail("cannot make a bitmap of that size", 1);
    const auto context = bitmap->createContext();
    if (request.background) {
        gfx::setSourceColor(context.get(), *request.background);
        cairo_paint(context.get());
    }
    const cairo_matrix_t matrix = gfx::cairoMatrix(transform);
    cairo_set_matrix(context.get(), &matrix);
    cairo_set_fill_rule(context.get(), CAIRO_FILL_RULE_WINDING);
    gfx::setSourceColor(context.get(), request.color);
    for (const auto& path : document->cgPaths()) {
        gfx::appendPathToCairo(context.get(), *path);
        if (request.separate)
            cairo_fill(context.get());
    }
    cairo_fill(context.get());

    if (auto written = bitmap->writePNG(request.out); !written)
        return fail(written.error().message, 1);
    return 0;
}

int runPack(const std::vector<std::string>& files, const std::string& folder, bool pack)
{
    const auto outputFor = [&](const std::string& file) {
        return std::filesystem::path(folder)
            / (std::filesystem::path(file).stem().string() + (pack ? ".tgshape" : ".svg"));
    };
    // Two inputs of the same name would overwrite each other's output: refuse before writing.
    std::map<std::filesystem::path, std::string> inputs;
    for (const auto& file : files) {
        const auto [entry, added] = inputs.emplace(outputFor(file), file);
        if (!added)
            return fail(entry->second + " and " + file + " would both be written to " + entry->first.string(), 2);
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return fail("cannot create " + folder + ": " + error.message(), 1);
    int status = 0;
    for (const auto& file : files) {
        const auto shape = readShapeFile(file);
        if (!shape.error.empty()) {
            status = fail(shape.error, 1);
            continue;
        }
        const std::string stem = std::filesystem::path(file).stem().string();
        const auto out = outputFor(file);
        std::string bytes = shape.text;
        if (pack) {
            {
                ScopedLogCapture quiet;
                if (svg::CGPathsFromSVGString(shape.text, nullptr).empty())
                    std::cerr << "kaleon-shape: warning: " << file << " holds no path the saver can draw\n";
            }
            if (stem.find("logo") != std::string::npos)
                std::cerr << "kaleon-shape: warning: the saver passes over shape files whose name contains \"logo\"\n";
            const auto packed = supply::packTGShape(shape.text);
            if (!packed) {
                status = fail("cannot pack " + file + ": " + packed.error().message, 1);
                continue;
            }
            bytes.assign(packed->begin(), packed->end());
        }
        // Replaced whole or not at all; a link in its place is replaced, not followed.
        if (auto written = replaceFile(out, bytes); !written) {
            status = fail(written.error().message, 1);
            continue;
        }
        std::cout << out.string() << "\n";
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    failWritesPastTheFileSizeLimit();
    CLI::App app { kDescription, "kaleon-shape" };
    setUpCommandLine(app);
    app.footer(kExamples);
    app.require_subcommand(1);

    std::string checkFile;
    auto* check = app.add_subcommand(
        "check", "List what the reader says about FILE, then a summary; exit 1 when no path is read");
    check->add_option("FILE", checkFile, "SVG file")->required();

    std::string pathsFile;
    auto* paths = app.add_subcommand("paths", "Print FILE as the reader understood it, written back as SVG");
    paths->add_option("FILE", pathsFile, "SVG file")->required();

    RenderRequest request;
    std::string sizeText;
    std::string translateText;
    std::string colorText;
    std::string backgroundText;
    auto* render = app.add_subcommand(
        "render", "Fill FILE's paths in one colour, all in one non-zero fill as the saver draws them, and write a PNG");
    render->add_option("FILE", request.file, "SVG file")->required();
    render->add_option("--out", request.out, "PNG file to write")->required()->option_text("OUT.png");
    render->add_option("--size", sizeText, "Picture size in pixels")->required()->option_text("WxH");
    auto* scale = render->add_option("--scale", request.scale, "x' = S·x + TX, y' = S·y + TY (default 1; up to 1e6)")
                      ->option_text("S")
                      ->check(numberFrom(1e-6, 1e6));
    auto* translate = render->add_option("--translate", translateText, "Offset in pixels after scaling (default 0,0)")
                          ->option_text("TX,TY")
                          ->allow_extra_args(false);
    auto* fit = render->add_flag("--fit", request.fit, "Scale and centre the drawing as the saver does");
    fit->excludes(scale)->excludes(translate);
    render->add_option("--color", colorText, "Fill colour (default 000000)")->option_text("RRGGBB");
    render->add_option("--background", backgroundText, "Background colour (default transparent)")
        ->option_text("RRGGBB");
    render->add_flag("--separate", request.separate, "Fill each path on its own, so overlaps never leave holes");

    std::vector<std::string> packFiles;
    std::string packFolder;
    auto* pack = app.add_subcommand(
        "pack", "Pack SVG files as shape files DIR/NAME.tgshape, encrypted as the saver reads them");
    pack->add_option("FILES", packFiles, "SVG files")->required();
    pack->add_option("--out", packFolder, "Folder for the shape files")->required()->option_text("DIR");
    std::vector<std::string> unpackFiles;
    std::string unpackFolder;
    auto* unpack = app.add_subcommand("unpack", "Unpack shape files to their SVG text, DIR/NAME.svg");
    unpack->add_option("FILES", unpackFiles, "Shape files")->required();
    unpack->add_option("--out", unpackFolder, "Folder for the SVG files")->required()->option_text("DIR");

    // "--translate -5,3" must reach the option as its value, not as an unknown flag.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "--translate" && !arguments[i + 1].empty() && arguments[i + 1][0] == '-') {
            arguments[i] += "=" + arguments[i + 1];
            arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        }
    }
    std::reverse(arguments.begin(), arguments.end());
    try {
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : 2;
    }

    if (check->parsed())
        return runCheck(checkFile);
    if (paths->parsed())
        return runPaths(pathsFile);
    removeTemporaryFilesOnSignals();
    if (pack->parsed())
        return runPack(packFiles, packFolder, true);
    if (unpack->parsed())
        return runPack(unpackFiles, unpackFolder, false);

    const auto size = parsePixelSize(sizeText);
    if (!size)
        return fail("--size wants WIDTHxHEIGHT in pixels, for example 800x600, not '" + sizeText + "'", 2);
    request.size = *size;
    if (!translateText.empty()) {
        const auto pair = gfx::parsePoint(translateText);
        if (!pair)
            return fail("--translate wants TX,TY, for example 10,-5, not '" + translateText + "'", 2);
        request.translation = *pair;
    }
    if (!colorText.empty()) {
        const auto color = parseColor(colorText);
        if (!color)
            return fail("--color wants six hex digits RRGGBB, not '" + colorText + "'", 2);
        request.color = *color;
    }
    if (!backgroundText.empty()) {
        const auto color = parseColor(backgroundText);
        if (!color)
            return fail("--background wants six hex digits RRGGBB, not '" + backgroundText + "'", 2);
        request.background = *color;
    }
    return runRender(request);
}
