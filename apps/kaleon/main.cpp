// kaleon: the Kaleon screen saver, in a window, full screen, or rendered headless to PNG files.

#include "core/file.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "host/offscreen_host.h"
#include "host/running_saver.h"
#include "host/screen_saver_defaults.h"
#include "host/sdl/window_host.h"
#include "host/settings_watcher.h"
#include "host/wayland/wayland_host.h"
#include "host/x11/x11_host.h"
#include "saver/kaleon_screensaver_view.h"
#include "supply/color_palette.h"
#include "supply/defaults_keys.h"
#include "supply/direction.h"

#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <unistd.h>

using namespace kaleon;

namespace {

constexpr const char* kDescription = R"(Kaleon slides one large decorative shape in from a screen edge every interval,
fills it with a colour of the current palette and paints it into the picture, so
the shapes pile up. Colours and shapes do not repeat until all have been used.

Without options kaleon opens a window. With --fullscreen it covers every monitor,
one view each, and quits on the first key, click or movement of the pointer; on a
Wayland desktop ($WAYLAND_DISPLAY set) it draws on each output above everything
else, as idle managers such as swayidle expect, and kaleon --quit ends it. With
--root it is an XScreenSaver hack: it draws into the window XScreenSaver names in
$XSCREENSAVER_WINDOW (or --window-id, or else the root window) until it is sent
SIGTERM. With --render it runs without a display, on a simulated clock, and writes
one PNG file per interval (with --fps F, also the pictures of each slide). Options
may also be given with one dash, as XScreenSaver writes them (-root).

Settings are read from $XDG_CONFIG_HOME/kaleon/org.kaleon.saver.plist, an XML
property list with the keys TGKaleonSpeedDefaultsKey (a number),
TGKaleonColorPaletteDefaultsKey (a palette file name) and
TGKaleonAnimationDirectionDefaultsKey (an integer); --speed, --palette and
--direction override them for this run only. A running kaleon picks up changed
settings at once.)";

constexpr const char* kExamples = R"(
Examples:
  kaleon                                   a 1280x720 window
  kaleon --fullscreen                      full screen on every monitor
  swayidle timeout 300 'kaleon --fullscreen' resume 'kaleon --quit'
                                           the saver after five idle minutes on sway
  kaleon --palette Ocean --speed 200       another palette, a shape every 2 s
  kaleon --render out --frames 10 --size 1920x1080 --scale 2
                                           ten 3840x2160 pictures into out/
  kaleon --render slide --frames 2 --fps 10 --logo
                                           the logo, then two shapes sliding in
  kaleon --root                            as XScreenSaver runs it (programs: kaleon --root)
  kaleon --window --fps                    a window of its own, with the frame rate shown)";

// XScreenSaver writes long options with one dash ("-root", "-window-id 0x400008"): give them
// the second dash CLI11 expects. Single letters and negative numbers stay as they are.
std::vector<std::string> withDoubleDashes(int argc, char** argv)
{
    std::vector<std::string> arguments;
    for (int i = argc - 1; i >= 1; --i) {
        std::string argument = argv[i];
        if (argument.size() > 2 && argument[0] == '-' && argument[1] != '-'
            && std::isalpha(static_cast<unsigned char>(argument[1])))
            argument.insert(0, "-");
        arguments.push_back(std::move(argument));
    }
    return arguments; // in CLI11's order: last first
}

// "Where shapes come in from: 0 round the edges; 1 left, then right; ...".
std::string directionHelp()
{
    std::string help = "Where shapes come in from:";
    for (const auto& entry : supply::kDirections) {
        std::string title(entry.title);
        title.front() = static_cast<char>(std::tolower(static_cast<unsigned char>(title.front())));
        help += " " + std::to_string(static_cast<int>(entry.direction)) + " " + title + ";";
    }
    return help + " other numbers: no motion";
}

void printProgress(int done, int total)
{
    std::fprintf(stderr, "\rRendering frame %d of %d", done, total);
    if (done == total)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv)
{
    failWritesPastTheFileSizeLimit();
    CLI::App app { kDescription, "kaleon" };
    setUpCommandLine(app);
    app.footer(kExamples);
    app.get_formatter()->column_width(34);

    bool fullscreen = false;
    std::string renderDirectory;
    int frames = 4;
    std::string sizeText = "1280x720";
    double scale = 1.0;
    std::optional<float> speed;
    std::optional<std::string> palette;
    std::optional<int> direction;
    std::optional<std::uint64_t> seed;
    bool listPalettes = false;
    std::optional<std::string> fpsText;
    bool logo = false;
    bool root = false;
    bool ownWindow = false;
    std::optional<std::string> windowIdText;
    std::optional<std::string> backend;

    app.add_flag(
        "--fullscreen", fullscreen, "Full screen on every monitor, one view each; any key or mouse movement quits");
    app.add_option("--render", renderDirectory, "Render headless into DIR as frame-0001.png, ... (no display needed)")
        ->option_text("DIR");
    app.add_option("--frames", frames, "With --render: how many intervals to render (default 4)")
        ->check(CLI::Range(1, 1000000))
        ->option_text("N");
    app.add_option("--size", sizeText, "Window or render size in points (default 1280x720)")->option_text("WxH");
    const auto* fpsOption
        = app.add_option("--fps", fpsText,
                 "With --render F: also write the frames of each slide, F per second; otherwise show the frame rate")
              ->expected(0, 1)
              ->option_text("[F]");
    app.add_flag("--root", root, "Draw into XScreenSaver's window ($XSCREENSAVER_WINDOW), else the root window");
    app.add_option("--window-id", windowIdText, "Draw into this X window (decimal or 0x hex); wins over --root")
        ->option_text("ID");
    app.add_flag("--window", ownWindow, "A plain X window of its own, drawn as in --root (Escape or Q quits)");
    app.add_option("--backend", backend,
           "Show through wayland, x11 or sdl (SDL on its driver of $SDL_VIDEODRIVER, else X11; default: "
           "wayland for --fullscreen when $WAYLAND_DISPLAY is set, or without $DISPLAY, else x11)")
        ->check(CLI::IsMember({ "wayland", "x11", "sdl" }))
        ->option_text("NAME");
    app.add_flag("--logo", logo, "Fade the Kaleon logo out before the first shape");
    app.add_option("--scale", scale, "With --render: pixels per point, 0.1 to 8 (default 1)")
        ->check(numberFrom(0.1, 8.0))
        ->option_text("S");
    app.add_option("--speed", speed,
           "Hundredths of a second from one shape to the next, 1 to 1000000 (stored default 450; 0 means 4 s)")
        ->check(numberFrom(1, supply::kSlowestSpeed, 0.0))
        ->option_text("HUNDREDTHS");
    app.add_option("--palette", palette, "Palette file to use, for example KaleonColors.plist (see --list-palettes)")
        ->option_text("FILE");
    app.add_option("--direction", direction, directionHelp())->option_text("N");
    app.add_option("--seed", seed, "Seed the colour and shape picks, for repeatable renders")->option_text("N");
    app.add_flag("--list-palettes", listPalettes, "List the palettes (file and name) and exit");
    bool quit = false;
    app.add_flag("--quit", quit,
        "End the full-screen saver running in this session and exit (for an idle manager's resume command); "
        "status 1 when none runs");

    try {
        app.parse(withDoubleDashes(argc, argv));
    } catch (const CLI::ParseError& error) {
        // Help is no mistake; every mistake on the command line is status 2.
        return app.exit(error) == 0 ? 0 : 2;
    }
    std::optional<double> fps;
    if (fpsText && !fpsText->empty()) {
        double value = 0;
        const auto result = std::from_chars(fpsText->data(), fpsText->data() + fpsText->size(), value);
        if (result.ec != std::errc() || result.ptr != fpsText->data() + fpsText->size()
            || !(value >= 0.1 && value <= 240)) {
            std::cerr << "kaleon: --fps wants a number of pictures a second from 0.1 to 240, not '" << *fpsText
                      << "'\n";
            return 2;
        }
        fps = value;
    }
    std::optional<unsigned long> windowId;
    if (windowIdText) {
        windowId = host::x11::parseWindowId(*windowIdText);
        if (!windowId) {
            std::cerr << "kaleon: --window-id wants an X window id, decimal or 0x hex, not '" << *windowIdText << "'\n";
            return 2;
        }
    } else if (const char* given = std::getenv("XSCREENSAVER_WINDOW"); root && given && *given) {
        windowId = host::x11::parseWindowId(given);
        if (!windowId) {
            std::cerr << "kaleon: XSCREENSAVER_WINDOW is not an X window id: '" << given << "'\n";
            return 2;
        }
    }

    if (quit) {
        const auto ended = host::quitRunningSaver();
        if (!ended) {
            std::cerr << "kaleon: " << ended.error().message << "\n";
            return 1;
        }
        if (!*ended) {
            std::cerr << "kaleon: no full-screen saver is running\n";
            return 1;
        }
        return 0;
    }

    if (listPalettes) {
        for (const auto& item : supply::TGColorPalette::allColorPalettes())
            std::cout << printable(item->filename()) << "\t" << printable(item->name()) << "\t" << item->colors().size()
                      << " colours\n";
        return 0;
    }

    const auto size = gfx::parseSize(sizeText);
    if (!size) {
        std::cerr << "kaleon: --size wants WIDTHxHEIGHT from 1x1 to " << gfx::kLargestBitmapSide << "x"
                  << gfx::kLargestBitmapSide << ", for example 1920x1080, not '" << sizeText << "'\n";
        return 2;
    }

    const auto defaults = supply::moduleDefaults();
    if (speed)
        defaults->setVolatileValue(supply::TGKaleonSpeedDefaultsKey, PlistValue(static_cast<double>(*speed)));
    if (direction)
        defaults->setVolatileValue(supply::TGKaleonAnimationDirectionDefaultsKey, PlistValue(*direction));
    if (palette) {
        std::string filename = *palette;
        if (!filename.ends_with(".plist"))
            filename += ".plist";
        if (!supply::TGColorPalette::paletteWithFilename(filename)) {
            std::cerr << "kaleon: there is no palette '" << filename << "' (kaleon --list-palettes shows them)\n";
            return 2;
        }
        defaults->setVolatileValue(supply::TGKaleonColorPaletteDefaultsKey, PlistValue(filename));
    }
    if (seed)
        seedRandom(*seed);

    const host::ViewFactory makeView = [logo](gfx::Rect frame, bool isPreview) {
        auto view = saver::KaleonScreensaverView::make(frame, isPreview);
        if (view && logo)
            view->setupLogo();
        return view;
    };

    if (!renderDirectory.empty()) {
        host::RenderOptions options;
        options.directory = renderDirectory;
        options.frames = frames;
        options.size = *size;
        options.scale = scale;
        options.fps = fps;
        if (::isatty(STDERR_FILENO))
            options.progress = printProgress;
        // Interrupted, a render leaves whole pictures only.
        removeTemporaryFilesOnSignals();
        const auto written = host::renderOffscreen(options, makeView);
        if (!written) {
            std::cerr << "kaleon: " << written.error().message << "\n";
            return 1;
        }
        std::cout << "Wrote " << written->size() << (written->size() == 1 ? " picture of " : " pictures of ")
                  << static_cast<int>(size->width * scale) << "x" << static_cast<int>(size->height * scale)
                  << " pixels to " << renderDirectory << "/\n";
        return 0;
    }

    host::SettingsWatcher watcher(defaults, std::string(supply::TGKaleonConfigurationDidChangeNotificationName));
    if (root || windowId || ownWindow) {
        host::x11::X11Options options;
        options.windowId = windowId;
        options.ownWindow = ownWindow;
        options.windowSize = *size;
        options.showFrameRate = fpsOption->count() > 0;
        return host::x11::runX11(options, makeView, &watcher);
    }
    const auto isSet = [](const char* name) { return std::getenv(name) && *std::getenv(name); };
    // On a Wayland desktop without Xwayland a window of SDL's could not be had (see below):
    // the saver covers the outputs instead.
    const bool wayland
        = backend == "wayland" || (!backend && isSet("WAYLAND_DISPLAY") && (fullscreen || !isSet("DISPLAY")));
    // Found by `kaleon --quit` while it runs.
    std::optional<host::RunningSaverMark> mark;
    if (fullscreen || wayland)
        mark.emplace();
    if (wayland) {
        if (!fullscreen)
            log("The Wayland backend covers every output; --fullscreen is implied");
        return host::wayland::runWayland({}, makeView, &watcher);
    }
    // SDL draws through X11 (Xwayland on a Wayland desktop). Its Wayland driver is used only
    // when SDL_VIDEODRIVER asks for it: SDL 2.26's crashes inside SDL_Init on weston.
    if (backend == "x11" || !isSet("SDL_VIDEODRIVER"))
        ::setenv("SDL_VIDEODRIVER", "x11", 1);
    host::sdl::WindowOptions options;
    options.fullscreen = fullscreen;
    options.windowSize = *size;
    return host::sdl::runWindowed(options, makeView, &watcher);
}
