#include "config/configure_window_controller.h"

#include "core/log.h"
#include "core/notification_center.h"
#include "core/resource_folder.h"
#include "supply/defaults_keys.h"
#include "supply/direction.h"
#include "supply/svg_manager.h"

#include <string>

namespace kaleon::config {

namespace {

constexpr std::string_view kNoPalettes = "No palettes found";
constexpr const char* kControllerKey = "KaleonConfigureWindowController";

// The credits line: product data of our own.
constexpr std::string_view kProduct = "Kaleon " KALEON_VERSION;
constexpr std::string_view kSite = "kaleon.example.org";
constexpr std::string_view kSiteAddress = "https://kaleon.example.org/";
constexpr std::string_view kRights = "\u00a9 2026 The Kaleon developers. Some rights reserved.\n";
constexpr std::string_view kFirstHandle = "@kaleonsaver";
constexpr std::string_view kFirstHandleAddress = "https://social.example.org/@kaleonsaver";
constexpr std::string_view kSecondHandle = "@kaleonshapes";
constexpr std::string_view kSecondHandleAddress = "https://social.example.org/@kaleonshapes";

// Marks the controls as filled from the settings while it lives: their changes are not the
// user's then.
class Filling {
public:
    explicit Filling(bool& flag)
        : m_flag(flag)
        , m_was(flag)
    {
        flag = true;
    }
    ~Filling() { m_flag = m_was; }
    Filling(const Filling&) = delete;
    Filling& operator=(const Filling&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

KaleonConfigureWindowController* controllerOf(gpointer anchor)
{
    return static_cast<KaleonConfigureWindowController*>(g_object_get_data(G_OBJECT(anchor), kControllerKey));
}

void onColorPaletteChanged(GtkDropDown* sender, GParamSpec*, gpointer anchor)
{
    controllerOf(anchor)->colorPaletteChanged(sender);
}

void onAnimationDirectionChanged(GtkDropDown* sender, GParamSpec*, gpointer anchor)
{
    controllerOf(anchor)->animationDirectionChanged(sender);
}

void onSpeedChanged(GtkRange* sender, gpointer anchor)
{
    controllerOf(anchor)->speedChanged(sender);
}

void onClose(GtkButton*, gpointer anchor)
{
    controllerOf(anchor)->close();
}

GtkStringList* itemsOf(GtkDropDown* popUp)
{
    return GTK_STRING_LIST(gtk_drop_down_get_model(popUp));
}

} // namespace

std::shared_ptr<KaleonConfigureWindowController> KaleonConfigureWindowController::make()
{
    const auto folder = mainResourceFolder();
    const std::string name = std::string(kWindowNibName) + ".ui";
    return makeWithInterfaceFile(folder ? *folder / name : std::filesystem::path(name));
}

std::shared_ptr<KaleonConfigureWindowController> KaleonConfigureWindowController::makeWithInterfaceFile(
    const std::filesystem::path& file)
{
    auto controller = std::shared_ptr<KaleonConfigureWindowController>(new KaleonConfigureWindowController());
    controller->m_anchor.reset(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
    g_object_set_data(controller->m_anchor.get(), kControllerKey, controller.get());

    const CHandle<GtkBuilderScope, g_object_unref> scope(gtk_builder_cscope_new());
    const auto callbacks = GTK_BUILDER_CSCOPE(scope.get());
    gtk_builder_cscope_add_callback_symbol(callbacks, "colorPaletteChanged", G_CALLBACK(onColorPaletteChanged));
    gtk_builder_cscope_add_callback_symbol(
        callbacks, "animationDirectionChanged", G_CALLBACK(onAnimationDirectionChanged));
    gtk_builder_cscope_add_callback_symbol(callbacks, "speedChanged", G_CALLBACK(onSpeedChanged));
    gtk_builder_cscope_add_callback_symbol(callbacks, "close", G_CALLBACK(onClose));
    const CHandle<GtkBuilder, g_object_unref> builderHandle(gtk_builder_new());
    GtkBuilder* builder = builderHandle.get();
    gtk_builder_set_scope(builder, scope.get());
    gtk_builder_set_current_object(builder, controller->m_anchor.get());
    GError* error = nullptr;
    bool loaded = false;
    {
        // The controls report their first values while the file loads: not the user's changes.
        const Filling filling(controller->m_filling);
        loaded = gtk_builder_add_from_file(builder, file.c_str(), &error);
    }
    const auto object = [builder](const char* id) { return gtk_builder_get_object(builder, id); };
    if (!loaded || !GTK_IS_WINDOW(object("window")) || !GTK_IS_DROP_DOWN(object("colorPaletteButton"))
        || !GTK_IS_RANGE(object("speedSlider")) || !GTK_IS_DRAWING_AREA(object("swatchesView"))
        || !GTK_IS_DROP_DOWN(object("animationDirectionButton")) || !GTK_IS_DRAWING_AREA(object("creditsLabel"))
        || !GTK_IS_LABEL(object("messageLabel"))) {
        log("Cannot load the configuration sheet from " + file.string() + ": "
            + (error ? error->message : "a control is missing"));
        g_clear_error(&error);
        if (GTK_IS_WINDOW(object("window")))
            gtk_window_destroy(GTK_WINDOW(object("window")));
        return nullptr;
    }
    auto& c = *controller;
    // The window outlives the builder: it is ours until we destroy it.
    c.m_window.reset(GTK_WINDOW(g_object_ref_sink(object("window"))));
    c.m_colorPaletteButton = GTK_DROP_DOWN(object("colorPaletteButton"));
    c.m_speedSlider = GTK_RANGE(object("speedSlider"));
    c.m_swatchesView = TGSwatchesView::attach(GTK_DRAWING_AREA(object("swatchesView")));
    c.m_animationDirectionButton = GTK_DROP_DOWN(object("animationDirectionButton"));
    c.m_creditsLabel = HyperlinkTextField::attach(GTK_DRAWING_AREA(object("creditsLabel")));
    c.m_messageLabel = GTK_LABEL(object("messageLabel"));
    g_object_set_data(G_OBJECT(c.m_colorPaletteButton), "tag", GINT_TO_POINTER(kColorPaletteTag));
    c.awakeFromNib();
    return controller;
}

KaleonConfigureWindowController::~KaleonConfigureWindowController()
{
    // The window first: its controls' handlers find the controller through the anchor.
    m_window.reset();
    m_anchor.reset();
}

void KaleonConfigureWindowController::awakeFromNib()
{
    setupColorPalettes();
    setupSpeed();
    setupSwatches();
    setupAnimationDirection();
    setupCredits();
}

void KaleonConfigureWindowController::setupColorPalettes()
{
    const Filling filling(m_filling);
    m_colorPalettes = supply::TGColorPalette::allColorPalettes();
    supply::TGColorPalette::sortForDisplay(m_colorPalettes);
    m_currentPalette = supply::TGColorPalette::currentPalette();
    GtkStringList* items = itemsOf(m_colorPaletteButton);
    gtk_string_list_splice(items, 0, g_list_model_get_n_items(G_LIST_MODEL(items)), nullptr);
    if (m_colorPalettes.empty()) {
        // The saver shows its built-in colours.
        gtk_string_list_append(items, std::string(kNoPalettes).c_str());
        gtk_drop_down_set_selected(m_colorPaletteButton, 0);
        gtk_widget_set_sensitive(GTK_WIDGET(m_colorPaletteButton), FALSE);
        return;
    }
    gtk_widget_set_sensitive(GTK_WIDGET(m_colorPaletteButton), TRUE);
    guint selected = 0;
    for (size_t i = 0; i < m_colorPalettes.size(); ++i) {
        gtk_string_list_append(items, m_colorPalettes[i]->name().c_str());
        // A later match overrides an earlier one.
        if (m_currentPalette && m_colorPalettes[i]->filename() == m_currentPalette->filename())
            selected = static_cast<guint>(i);
    }
    gtk_drop_down_set_selected(m_colorPaletteButton, selected);
}

void KaleonConfigureWindowController::setupSpeed()
{
    const Filling filling(m_filling);
    const double minimum = gtk_adjustment_get_lower(gtk_range_get_adjustment(m_speedSlider));
    const double maximum = gtk_adjustment_get_upper(gtk_range_get_adjustment(m_speedSlider));
    const float stored = supply::moduleDefaults()->floatForKey(supply::TGKaleonSpeedDefaultsKey);
    gtk_range_set_value(m_speedSlider, static_cast<float>((minimum + maximum) - static_cast<double>(stored)));
}

void KaleonConfigureWindowController::setupSwatches()
{
    const Filling filling(m_filling);
    if (m_currentPalette && !m_colorPalettes.empty())
        m_swatchesView->setColors(m_currentPalette->colors());
    else
        m_swatchesView->setColors(supply::TGSVGManager::fallbackColors());
    m_swatchesView->setNeedsDisplay();
}

void KaleonConfigureWindowController::setupAnimationDirection()
{
    const Filling filling(m_filling);
    GtkStringList* items = itemsOf(m_animationDirectionButton);
    if (g_list_model_get_n_items(G_LIST_MODEL(items)) != supply::kDirections.size()) {
        gtk_string_list_splice(items, 0, g_list_model_get_n_items(G_LIST_MODEL(items)), nullptr);
        for (const auto& entry : supply::kDirections)
            gtk_string_list_append(items, std::string(entry.title).c_str());
    }
    // Item i is direction i. A stored direction the list does not hold (the saver draws it
    // without motion) selects none.
    const auto direction = supply::directionFromStored(
        supply::moduleDefaults()->integerForKey(supply::TGKaleonAnimationDirectionDefaultsKey));
    gtk_drop_down_set_selected(
        m_animationDirectionButton, direction ? static_cast<guint>(*direction) : GTK_INVALID_LIST_POSITION);
}

void KaleonConfigureWindowController::setupCredits()
{
    const Filling filling(m_filling);
    AttributedString credits(std::string(kProduct) + " | ");
    credits.append(hyperlinkForString(std::string(kSite), std::string(kSiteAddress)));
    credits.append("\n");
    credits.append(std::string(kRights));
    credits.append(hyperlinkForString(std::string(kFirstHandle), std::string(kFirstHandleAddress)));
    credits.append(" ");
    credits.append(hyperlinkForString(std::string(kSecondHandle), std::string(kSecondHandleAddress)));
    credits.setAlignment(TextAlignment::Left);
    m_creditsLabel->setAttributedStringValue(std::move(credits));
}

AttributedString KaleonConfigureWindowController::hyperlinkForString(std::string text, std::string url)
{
    return AttributedString(std::move(text), TextAttributes { std::move(url), kLinkColor });
}

std::string_view KaleonConfigureWindowController::defaultsKeyForControl(int tag)
{
    return tag == kColorPaletteTag ? supply::TGKaleonColorPaletteDefaultsKey : std::string_view();
}

bool KaleonConfigureWindowController::store(std::string_view key, PlistValue value)
{
    const auto defaults = supply::moduleDefaults();
    const auto& stored = defaults->storedValues();
    const auto previous = stored.find(key);
    const std::optional<PlistValue> before
        = previous == stored.end() ? std::nullopt : std::optional<PlistValue>(previous->second);
    defaults->setValue(key, std::move(value));
    if (auto saved = defaults->synchronize(); !saved) {
        if (before)
            defaults->setValue(key, *before);
        else
            defaults->removeObjectForKey(key);
        const std::string message = "The setting could not be saved: " + saved.error().message;
        log(message);
        gtk_label_set_text(m_messageLabel, message.c_str());
        gtk_widget_set_visible(GTK_WIDGET(m_messageLabel), TRUE);
        return false;
    }
    gtk_widget_set_visible(GTK_WIDGET(m_messageLabel), FALSE);
    NotificationCenter::defaultCenter().post(supply::TGKaleonConfigurationDidChangeNotificationName);
    return true;
}

void KaleonConfigureWindowController::colorPaletteChanged(GtkDropDown* sender)
{
    const guint index = gtk_drop_down_get_selected(sender);
    if (m_filling || index >= m_colorPalettes.size())
        return;
    const auto tag = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(sender), "tag"));
    const auto previous = m_currentPalette;
    m_currentPalette = m_colorPalettes[index];
    if (!store(defaultsKeyForControl(tag), PlistValue(m_currentPalette->filename()))) {
        m_currentPalette = previous;
        setupColorPalettes();
    }
    setupSwatches();
}

void KaleonConfigureWindowController::animationDirectionChanged(GtkDropDown* sender)
{
    const guint index = gtk_drop_down_get_selected(sender);
    if (m_filling || index == GTK_INVALID_LIST_POSITION)
        return;
    if (!store(supply::TGKaleonAnimationDirectionDefaultsKey, PlistValue(static_cast<std::int64_t>(index)))) {
        setupAnimationDirection();
    }
}

void KaleonConfigureWindowController::speedChanged(GtkRange* sender)
{
    if (m_filling)
        return;
    GtkAdjustment* range = gtk_range_get_adjustment(sender);
    const double speed
        = (gtk_adjustment_get_lower(range) + gtk_adjustment_get_upper(range)) - gtk_range_get_value(sender);
    if (!store(supply::TGKaleonSpeedDefaultsKey, PlistValue(static_cast<double>(static_cast<float>(speed))))) {
        setupSpeed();
    }
}

void KaleonConfigureWindowController::close()
{
    gtk_window_close(m_window.get());
}

} // namespace kaleon::config
