#pragma once

#include "config/attributed_string.h"
#include "config/hyperlink_text_field.h"
#include "config/swatches_view.h"
#include "host/configure_sheet.h"
#include "supply/color_palette.h"

#include "core/c_handle.h"
#include <filesystem>

#include <gtk/gtk.h>
#include <memory>
#include <string_view>
#include <vector>

namespace kaleon::config {

// The configuration sheet: the palette, speed and direction of the saver, the palette's
// colours, and the credits. Every change of a control is written to the settings at once,
// flushed, and announced in this process with TGKaleonConfigurationDidChangeNotificationName
// (other processes see the file change). There is no OK or Cancel; the close button and
// Escape end the sheet, which is hidden and kept for the next time.
//
// The window and its controls come from the interface file "KaleonConfigureWindowController"
// in the resource folder; the controller owns the window, and its outlets point into it.
class KaleonConfigureWindowController final : public host::ConfigureSheet {
public:
    static constexpr std::string_view kWindowNibName = "KaleonConfigureWindowController";
    // The palette pop-up's tag: the row of `defaultsKeyForControl` it uses.
    static constexpr int kColorPaletteTag = 0;
    // The link colour of the credits.
    static constexpr gfx::Color kLinkColor { 0.172, 0.366, 0.806, 1.0 };

    // Loads the interface file now and fills the controls from the settings; empty (and
    // logged) when the file cannot be loaded. Needs GTK to be initialised.
    static std::shared_ptr<KaleonConfigureWindowController> make();
    // The same with an interface file of the caller's.
    static std::shared_ptr<KaleonConfigureWindowController> makeWithInterfaceFile(const std::filesystem::path& file);
    ~KaleonConfigureWindowController() override;

    void* window() const override { return m_window.get(); }
    GtkWindow* gtkWindow() const { return m_window.get(); }

    // Runs the five filling steps, in this order.
    void awakeFromNib();
    void setupColorPalettes();
    void setupSpeed();
    void setupSwatches();
    void setupAnimationDirection();
    void setupCredits();
    static AttributedString hyperlinkForString(std::string text, std::string url);

    // The actions of the controls.
    void colorPaletteChanged(GtkDropDown* sender);
    void animationDirectionChanged(GtkDropDown* sender);
    void speedChanged(GtkRange* sender);
    void close();
    // The settings key that belongs to a control, by its tag; empty for another tag.
    static std::string_view defaultsKeyForControl(int tag);

    // The outlets.
    GtkDropDown* colorPaletteButton() const { return m_colorPaletteButton; }
    GtkRange* speedSlider() const { return m_speedSlider; }
    TGSwatchesView* swatchesView() const { return m_swatchesView; }
    GtkDropDown* animationDirectionButton() const { return m_animationDirectionButton; }
    HyperlinkTextField* creditsLabel() const { return m_creditsLabel; }
    GtkLabel* messageLabel() const { return m_messageLabel; }

    const std::vector<std::shared_ptr<supply::TGColorPalette>>& colorPalettes() const { return m_colorPalettes; }
    const std::shared_ptr<supply::TGColorPalette>& currentPalette() const { return m_currentPalette; }

private:
    KaleonConfigureWindowController() = default;

    // Stores `value` under `key`, flushes and announces it. On a failed write the stored value
    // is put back, the window says why, and false comes back.
    bool store(std::string_view key, PlistValue value);

    // The window is ours until destroyed, then given back.
    struct WindowRelease {
        void operator()(GtkWindow* window) const
        {
            gtk_window_destroy(window);
            g_object_unref(window);
        }
    };
    std::unique_ptr<GtkWindow, WindowRelease> m_window;
    GtkDropDown* m_colorPaletteButton = nullptr;
    GtkRange* m_speedSlider = nullptr;
    TGSwatchesView* m_swatchesView = nullptr;
    GtkDropDown* m_animationDirectionButton = nullptr;
    HyperlinkTextField* m_creditsLabel = nullptr;
    GtkLabel* m_messageLabel = nullptr;
    std::vector<std::shared_ptr<supply::TGColorPalette>> m_colorPalettes;
    std::shared_ptr<supply::TGColorPalette> m_currentPalette;
    // Set while the controls are filled from the settings, when their changes are not the user's.
    bool m_filling = false;
    // Where the builder's handlers find this controller.
    CHandle<GObject, g_object_unref> m_anchor;
};

} // namespace kaleon::config
