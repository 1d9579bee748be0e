#include "config/configure_window_controller.h"

#include "core/notification_center.h"
#include "host/configure_sheet.h"
#include "saver/kaleon_screensaver_view.h"
#include "supply/defaults_keys.h"
#include "support/saver_state.h"
#include "support/test_support.h"

#include "supply/svg_manager.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kaleon;
using config::KaleonConfigureWindowController;

namespace {

// Counts the change notifications and notes what the settings file held when each came.
struct Listener {
    int notifications = 0;
    std::string fileAtNotification;
    void configurationDidChange(const Notification&)
    {
        ++notifications;
        fileAtNotification = test::readFile(supply::moduleDefaults()->file());
    }
};

class Sheet : public test::SaverStateTest {
protected:
    void SetUp() override
    {
        if (!gtk_init_check())
            GTEST_SKIP() << "no display for GTK";
        SaverStateTest::SetUp();
        std::filesystem::copy_file(KALEON_TEST_RESOURCES_DIR "/KaleonConfigureWindowController.ui",
            resources / "KaleonConfigureWindowController.ui");
        ASSERT_TRUE(supply::moduleDefaults()->synchronize());
        NotificationCenter::defaultCenter().addObserver(listener,
            std::string(supply::TGKaleonConfigurationDidChangeNotificationName), &Listener::configurationDidChange);
    }
    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(listener.get());
        SaverStateTest::TearDown();
    }

    void palette(const std::string& file, const std::string& name, const std::vector<std::string>& colors)
    {
        test::writeFile(resources / file, test::paletteText(name, colors));
    }
    // A sheet over these palettes, its speed slider running from 0 to 1000.
    std::shared_ptr<KaleonConfigureWindowController> makeSheet()
    {
        supply::moduleDefaults()->registerDefaults({
            { std::string(supply::TGKaleonSpeedDefaultsKey), PlistValue(450.0) },
            { std::string(supply::TGKaleonColorPaletteDefaultsKey), PlistValue("KaleonColors.plist") },
            { std::string(supply::TGKaleonAnimationDirectionDefaultsKey), PlistValue(0) },
        });
        auto sheet = KaleonConfigureWindowController::make();
        if (sheet) {
            GtkAdjustment* range = gtk_range_get_adjustment(sheet->speedSlider());
            gtk_adjustment_set_lower(range, 0);
            gtk_adjustment_set_upper(range, 1000);
            sheet->setupSpeed();
        }
        return sheet;
    }

    test::TemporaryDirectory resources;
    test::ScopedEnvironment resourceFolder { "KALEON_RESOURCES", resources.path().string() };
    std::shared_ptr<Listener> listener = std::make_shared<Listener>();
};

} // namespace

TEST_F(Sheet, SpeedRunsTheOtherWayFromTheStoredDuration)
{
    palette("KaleonColors.plist", "Kaleon", { "264653" });
    const auto sheet = makeSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(gtk_range_get_value(sheet->speedSlider()), 550);
    EXPECT_EQ(listener->notifications, 0) << "filling the controls is no change";

    gtk_range_set_value(sheet->speedSlider(), 900);
    EXPECT_EQ(supply::moduleDefaults()->floatForKey(supply::TGKaleonSpeedDefaultsKey), 100);
    EXPECT_EQ(listener->notifications, 1);
    EXPECT_NE(listener->fileAtNotification.find("<real>100"), std::string::npos) << "flushed before the news";

    gtk_range_set_value(sheet->speedSlider(), 1000);
    EXPECT_EQ(supply::moduleDefaults()->floatForKey(supply::TGKaleonSpeedDefaultsKey), 0);
    gtk_range_set_value(sheet->speedSlider(), 0);
    EXPECT_EQ(supply::moduleDefaults()->floatForKey(supply::TGKaleonSpeedDefaultsKey), 1000);
    EXPECT_EQ(listener->notifications, 3);

    gtk_drop_down_set_selected(sheet->animationDirectionButton(), 4);
    EXPECT_EQ(supply::moduleDefaults()->integerForKey(supply::TGKaleonAnimationDirectionDefaultsKey), 4);
    EXPECT_EQ(listener->notifications, 4);
}

TEST_F(Sheet, PalettesAreStoredByFileAndTheSwatchesFollow)
{
    palette("A.plist", "First", { "111111" });
    palette("B.plist", "Second", { "222222", "333333" });
    palette("C.plist", "Third", { "444444", "555555", "666666" });
    palette("KaleonColors.plist", "Kaleon", { "264653" });
    const auto sheet = makeSheet();
    ASSERT_TRUE(sheet);
    const auto& palettes = sheet->colorPalettes();
    ASSERT_EQ(palettes.size(), 4u);
    EXPECT_EQ(palettes[gtk_drop_down_get_selected(sheet->colorPaletteButton())]->filename(), "KaleonColors.plist");

    // The third palette, or the second when the third is the one shown.
    const guint pick = gtk_drop_down_get_selected(sheet->colorPaletteButton()) == 2 ? 1 : 2;
    gtk_drop_down_set_selected(sheet->colorPaletteButton(), pick);
    EXPECT_EQ(
        supply::moduleDefaults()->stringForKey(supply::TGKaleonColorPaletteDefaultsKey), palettes[pick]->filename());
    EXPECT_NE(palettes[pick]->filename(), palettes[pick]->name() + ".plist") << "the file name, not the display name";
    EXPECT_EQ(sheet->swatchesView()->colors(), palettes[pick]->colors());
    EXPECT_EQ(listener->notifications, 1);
}

TEST_F(Sheet, TwoPalettesOfOneFileNameSelectTheLater)
{
    // Kaleon's own palettes, then a user's palette of the same file name as the current one.
    test::TemporaryDirectory data;
    std::filesystem::create_directories(data / "kaleon");
    test::writeFile(data / "kaleon" / "KaleonColors.plist", test::paletteText("Mine", { "123456" }));
    const test::ScopedEnvironment dataHome("XDG_DATA_HOME", data.path().string());
    const test::ScopedEnvironment noOverride("KALEON_RESOURCES", std::nullopt);
    const auto sheet = makeSheet();
    ASSERT_TRUE(sheet);
    const auto& palettes = sheet->colorPalettes();
    const auto selected = gtk_drop_down_get_selected(sheet->colorPaletteButton());
    ASSERT_LT(selected, palettes.size());
    EXPECT_EQ(palettes[selected]->name(), "Mine");
    EXPECT_EQ(std::count_if(palettes.begin(), palettes.end(),
                  [](const auto& p) { return p->filename() == "KaleonColors.plist"; }),
        2);
}

TEST_F(Sheet, NoPalettesDisableThePopUpAndShowTheBuiltInColours)
{
    const auto sheet = makeSheet();
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(sheet->colorPaletteButton())));
    auto* item = GTK_STRING_OBJECT(gtk_drop_down_get_selected_item(sheet->colorPaletteButton()));
    EXPECT_STREQ(gtk_string_object_get_string(item), "No palettes found");
    EXPECT_EQ(sheet->swatchesView()->colors(), supply::TGSVGManager::fallbackColors());
}

TEST_F(Sheet, AFailedWriteSaysSoAndPutsTheControlBack)
{
    palette("KaleonColors.plist", "Kaleon", { "264653" });
    const auto sheet = makeSheet();
    ASSERT_TRUE(sheet);
    gtk_range_set_value(sheet->speedSlider(), 700); // stored 300
    ASSERT_EQ(listener->notifications, 1);
    // The settings file cannot be replaced: a folder stands where it would go.
    const auto file = supply::moduleDefaults()->file();
    std::filesystem::rename(file, file.string() + ".kept");
    std::filesystem::create_directory(file);
    gtk_range_set_value(sheet->speedSlider(), 100);
    std::filesystem::remove(file);
    std::filesystem::rename(file.string() + ".kept", file);

    EXPECT_EQ(listener->notifications, 1) << "nothing changed, nothing announced";
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(sheet->messageLabel())));
    EXPECT_NE(std::string(gtk_label_get_text(sheet->messageLabel())).find("could not be saved"), std::string::npos);
    EXPECT_EQ(gtk_range_get_value(sheet->speedSlider()), 700);
    EXPECT_EQ(supply::moduleDefaults()->floatForKey(supply::TGKaleonSpeedDefaultsKey), 300);
    EXPECT_NE(test::readFile(file).find("<real>300"), std::string::npos);
}

TEST_F(Sheet, ASettingsFolderThatCannotBeWrittenSaysWhy)
{
    palette("KaleonColors.plist", "Kaleon", { "264653" });
    const auto sheet = makeSheet();
    ASSERT_TRUE(sheet);
    const auto folder = supply::moduleDefaults()->file().parent_path();
    const auto home = folder.parent_path();
    std::filesystem::create_directories(folder);
    const auto homePermissions = std::filesystem::status(home).permissions();
    std::filesystem::permissions(home, std::filesystem::perms(0755));
    std::filesystem::permissions(folder, std::filesystem::perms(0555));
    {
        // Root writes anywhere: for the change, act as nobody does.
        const uid_t user = ::geteuid();
        if (user == 0) {
            ASSERT_EQ(::seteuid(65534), 0);
        }
        gtk_range_set_value(sheet->speedSlider(), 700);
        if (user == 0) {
            ASSERT_EQ(::seteuid(0), 0);
        }
    }
    std::filesystem::permissions(folder, std::filesystem::perms(0755));
    std::filesystem::permissions(home, homePermissions);

    EXPECT_EQ(listener->notifications, 0);
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(sheet->messageLabel())));
    const std::string message = gtk_label_get_text(sheet->messageLabel());
    EXPECT_NE(message.find("could not be saved"), std::string::npos) << message;
    EXPECT_NE(message.find("Permission denied"), std::string::npos) << message;
}

TEST_F(Sheet, TheViewHandsOverOneSheetForItsLife)
{
    palette("KaleonColors.plist", "Kaleon", { "264653" });
    int made = 0;
    host::setConfigureSheetMaker([&made] {
        ++made;
        return KaleonConfigureWindowController::make();
    });
    const auto view = saver::KaleonScreensaverView::make({ 0, 0, 100, 60 }, true);
    EXPECT_TRUE(view->hasConfigureSheet());
    void* first = view->configureSheet();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(GTK_IS_WINDOW(first));
    EXPECT_EQ(view->configureSheet(), first);
    EXPECT_EQ(made, 1);
    host::setConfigureSheetMaker({});
}

TEST_F(Sheet, CreditsHoldThreeLinkRunsInTheLinkColour)
{
    palette("KaleonColors.plist", "Kaleon", { "264653" });
    const auto sheet = makeSheet();
    ASSERT_TRUE(sheet);
    const auto& credits = sheet->creditsLabel()->attributedStringValue();
    ASSERT_EQ(credits.runs().size(), 7u);
    std::vector<std::string> links;
    for (const auto& run : credits.runs()) {
        if (!run.attributes.link)
            continue;
        links.push_back(*run.attributes.link);
        EXPECT_EQ(run.attributes.foreground, KaleonConfigureWindowController::kLinkColor);
        EXPECT_TRUE(config::HyperlinkTextField::isOpenable(*run.attributes.link));
    }
    EXPECT_EQ(links.size(), 3u);
    EXPECT_EQ(credits.runs()[5].text, " ");
    EXPECT_EQ(credits.runs()[5].attributes, config::TextAttributes {}) << "the blank between the handles";
    EXPECT_EQ(credits.alignment(), config::TextAlignment::Left);
}
