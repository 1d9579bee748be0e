// kaleon-config: Kaleon's settings window, a live preview of the saver with its options sheet.

#include "config/configure_window_controller.h"
#include "core/file.h"
#include "core/log.h"
#include "core/notification_center.h"
#include "gfx/bitmap.h"
#include "host/configure_sheet.h"
#include "host/gpu.h"
#include "host/gtk/preview_area.h"
#include "saver/kaleon_screensaver_view.h"
#include "supply/defaults_keys.h"

#include "command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <gtk/gtk.h>
#include <iostream>

using namespace kaleon;

namespace {

constexpr const char* kDescription
    = R"(Kaleon's settings window: a live preview of the saver, and the Options sheet that
sets the palette, the speed and the direction. Every change is saved at once to
$XDG_CONFIG_HOME/kaleon/org.kaleon.saver.plist, and a kaleon already running picks
it up.)";

constexpr const char* kExamples = R"(
Examples:
  kaleon-config                                the settings window
  kaleon-config --screenshot window.png        a picture of the window, then exit
  kaleon-config --screenshot sheet.png --sheet the window with its Options sheet
)";

constexpr int kPreviewWidth = 400;
constexpr int kPreviewHeight = 225;
constexpr int kScreenshotTries = 100;

struct Options {
    std::string screenshot;
    bool sheet = false;
    double delay = 1.5;
};

// Restarts the preview's pacing when the settings change in this process.
struct PreviewRefresh {
    host::gtk::PreviewArea* preview;
    void configurationDidChange(const Notification&) { preview->refresh(); }
};

struct Settings {
    GtkWindow* window = nullptr;
    host::gtk::PreviewArea* preview = nullptr;
    std::shared_ptr<PreviewRefresh> refresh;
    GMainLoop* loop = nullptr;
    int status = 0;
    int screenshotTries = 0;
};

void showSheet(Settings& settings)
{
    if (!settings.preview->view())
        return;
    auto* sheet = static_cast<GtkWindow*>(settings.preview->view()->configureSheet());
    if (!sheet) {
        log("The options sheet cannot be shown");
        return;
    }
    gtk_window_set_transient_for(sheet, settings.window);
    gtk_window_present(sheet);
}

GtkWindow* makeWindow(Settings& settings)
{
    auto* window = GTK_WINDOW(gtk_window_new());
    gtk_window_set_title(window, "Kaleon Settings");
    gtk_window_set_icon_name(window, "kaleon-config");
    auto* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_widget_set_margin_start(box, 16);
    gtk_widget_set_margin_end(box, 16);
    gtk_widget_set_margin_top(box, 16);
    gtk_widget_set_margin_bottom(box, 16);

    auto* area = gtk_drawing_area_new();
    gtk_drawing_area_set_content_width(GTK_DRAWING_AREA(area), kPreviewWidth);
    gtk_drawing_area_set_content_height(GTK_DRAWING_AREA(area), kPreviewHeight);
    gtk_widget_set_hexpand(area, TRUE);
    gtk_widget_set_vexpand(area, TRUE);
    gtk_accessible_update_property(GTK_ACCESSIBLE(area), GTK_ACCESSIBLE_PROPERTY_LABEL, "Preview of the saver", -1);
    settings.preview = host::gtk::PreviewArea::attach(GTK_DRAWING_AREA(area), [](gfx::Rect frame, bool isPreview) {
        return std::static_pointer_cast<host::ScreenSaverView>(saver::KaleonScreensaverView::make(frame, isPreview));
    });
    gtk_box_append(GTK_BOX(box), area);

    auto* options = gtk_button_new_with_mnemonic("_Options\u2026");
    gtk_widget_set_halign(options, GTK_ALIGN_END);
    g_signal_connect(options, "clicked",
        G_CALLBACK(+[](GtkButton*, gpointer data) { showSheet(*static_cast<Settings*>(data)); }), &settings);
    gtk_box_append(GTK_BOX(box), options);
    gtk_window_set_child(window, box);
    g_signal_connect(window, "destroy",
        G_CALLBACK(+[](GtkWidget*, gpointer data) { g_main_loop_quit(static_cast<Settings*>(data)->loop); }),
        &settings);
    return window;
}

// A picture of `window` as GTK draws it, through the window's own renderer, in the window's
// pixels: at GDK_SCALE=2 twice as wide and high as it is in points.
std::shared_ptr<gfx::Bitmap> pictureOf(GtkWindow* window)
{
    GdkPaintable* paintable = gtk_widget_paintable_new(GTK_WIDGET(window));
    const int scale = std::max(1, gtk_widget_get_scale_factor(GTK_WIDGET(window)));
    const int width = gtk_widget_get_width(GTK_WIDGET(window)) * scale;
    const int height = gtk_widget_get_height(GTK_WIDGET(window)) * scale;
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gtk_snapshot_scale(snapshot, static_cast<float>(scale), static_cast<float>(scale));
    gdk_paintable_snapshot(paintable, GDK_SNAPSHOT(snapshot), gtk_widget_get_width(GTK_WIDGET(window)),
        gtk_widget_get_height(GTK_WIDGET(window)));
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    g_object_unref(paintable);
    if (!node)
        return nullptr;
    GskRenderer* renderer = gtk_native_get_renderer(GTK_NATIVE(window));
    const graphene_rect_t area = GRAPHENE_RECT_INIT(0, 0, static_cast<float>(width), static_cast<float>(height));
    GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &area);
    gsk_render_node_unref(node);
    auto bitmap = gfx::Bitmap::create(gdk_texture_get_width(texture), gdk_texture_get_height(texture));
    if (bitmap) {
        cairo_surface_flush(bitmap->surface());
        gdk_texture_download(
            texture, cairo_image_surface_get_data(bitmap->surface()), static_cast<gsize>(bitmap->bytesPerRow()));
        bitmap->markModified();
    }
    g_object_unref(texture);
    return bitmap;
}

// Writes the window (with its sheet beside it) and quits; false while GTK has nothing drawn to give yet.
bool takeScreenshot(Settings& settings, const Options& options)
{
    auto picture = pictureOf(settings.window);
    GtkWindow* sheet = options.sheet && settings.preview->view()
        ? static_cast<GtkWindow*>(settings.preview->view()->configureSheet())
        : nullptr;
    const auto sheetPicture = sheet ? pictureOf(sheet) : nullptr;
    if ((!picture || (sheet && !sheetPicture)) && ++settings.screenshotTries < kScreenshotTries)
        return false;
    if (picture && options.sheet) {
        constexpr int kGap = 16;
        auto both = sheetPicture ? gfx::Bitmap::create(picture->width() + kGap + sheetPicture->width(),
                        std::max(picture->height(), sheetPicture->height()))
                                 : nullptr;
        if (both) {
            const auto context = both->createContext();
            picture->paint(context.get(), 1.0);
            cairo_translate(context.get(), picture->width() + kGap, 0);
            sheetPicture->paint(context.get(), 1.0);
        }
        picture = both;
    }
    if (!picture) {
        log("kaleon-config: cannot draw the window");
        settings.status = 1;
    } else if (auto written = picture->writePNG(options.screenshot); !written) {
        log("kaleon-config: " + written.error().message);
        settings.status = 1;
    }
    g_main_loop_quit(settings.loop);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    failWritesPastTheFileSizeLimit();
    CLI::App app { kDescription, "kaleon-config" };
    setUpCommandLine(app);
    app.footer(kExamples);
    Options options;
    app.add_option("--screenshot", options.screenshot, "Write a PNG picture of the window to FILE, then exit")
        ->option_text("FILE");
    app.add_flag("--sheet", options.sheet, "With --screenshot: show the Options sheet too");
    app.add_option("--delay", options.delay,
           "With --screenshot: seconds to wait before the picture, at least until the preview's first (default 1.5)")
        ->check(numberFrom(0.0, 60.0))
        ->option_text("S");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 2;
    }

    // Without a GPU, GTK's own GL would be emulated on the CPU: draw with Cairo.
    if (!host::hasRenderNode())
        ::setenv("GSK_RENDERER", "cairo", 0);
    if (!gtk_init_check()) {
        std::cerr << "kaleon-config: cannot open a window (no display?)\n";
        return 1;
    }
    host::setConfigureSheetMaker([] { return config::KaleonConfigureWindowController::make(); });

    Settings settings;
    settings.loop = g_main_loop_new(nullptr, FALSE);
    settings.window = makeWindow(settings);
    settings.refresh = std::make_shared<PreviewRefresh>(PreviewRefresh { settings.preview });
    NotificationCenter::defaultCenter().addObserver(settings.refresh,
        std::string(supply::TGKaleonConfigurationDidChangeNotificationName), &PreviewRefresh::configurationDidChange);
    gtk_window_present(settings.window);

    if (!options.screenshot.empty()) {
        static Options screenshotOptions;
        screenshotOptions = options;
        if (options.sheet)
            g_idle_add_once([](gpointer data) { showSheet(*static_cast<Settings*>(data)); }, &settings);
        // After the delay, and not before the preview has drawn its first picture.
        g_timeout_add(
            std::max(10u, static_cast<guint>(options.delay * 1000)),
            [](gpointer data) -> gboolean {
                auto& shown = *static_cast<Settings*>(data);
                if (shown.preview->framesDrawn() == 0 || !takeScreenshot(shown, screenshotOptions))
                    return G_SOURCE_CONTINUE;
                return G_SOURCE_REMOVE;
            },
            &settings);
    }
    g_main_loop_run(settings.loop);
    if (!options.screenshot.empty())
        gtk_window_destroy(settings.window);
    g_main_loop_unref(settings.loop);
    return settings.status;
}
