#include "config/hyperlink_text_field.h"
#include "config/swatches_view.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace kaleon;
using config::AttributedString;
using config::HyperlinkTextField;

namespace {

class Field : public testing::Test {
protected:
    void SetUp() override
    {
        if (!gtk_init_check())
            GTEST_SKIP() << "no display for GTK";
        area = GTK_DRAWING_AREA(g_object_ref_sink(gtk_drawing_area_new()));
        field = HyperlinkTextField::attach(area);
        HyperlinkTextField::setOpener([this](const std::string& url) { opened.push_back(url); });
    }
    void TearDown() override
    {
        HyperlinkTextField::setOpener({});
        if (area)
            g_object_unref(area);
    }
    // The middle of the character at byte `index`.
    gfx::Point pointAt(size_t index) const
    {
        PangoRectangle box {};
        pango_layout_index_to_pos(field->textLayout().get(), static_cast<int>(index), &box);
        return { (box.x + box.width / 2.0) / PANGO_SCALE, (box.y + box.height / 2.0) / PANGO_SCALE };
    }
    static AttributedString link(std::string text, std::string url)
    {
        return AttributedString(std::move(text), config::TextAttributes { std::move(url), std::nullopt });
    }

    GtkDrawingArea* area = nullptr;
    HyperlinkTextField* field = nullptr;
    std::vector<std::string> opened;
};

} // namespace

TEST_F(Field, ClicksOpenTheLinkUnderThePointerOnly)
{
    AttributedString text("see ");
    text.append(link("one", "https://one.example.org/"));
    text.append(" and ");
    text.append(link("two", "mailto:two@example.org"));
    field->setAttributedStringValue(text);
    const auto infos = field->hyperlinkInfos();
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_EQ(infos[0].start, 4u);
    EXPECT_EQ(infos[0].length, 3u);
    EXPECT_EQ(infos[1].url, "mailto:two@example.org");
    EXPECT_GT(infos[0].rect.width(), 0);

    field->mouseUp(pointAt(6)); // the last character of "one"
    EXPECT_EQ(opened, std::vector<std::string> { "https://one.example.org/" });
    field->mouseUp(pointAt(7)); // the blank after it
    field->mouseUp(pointAt(9)); // a plain character between the links
    EXPECT_EQ(opened.size(), 1u);
    field->mouseUp(pointAt(12));
    EXPECT_EQ(opened.back(), "mailto:two@example.org");
    field->mouseUp({ 5000, 5000 }); // off the text
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(Field, OpensOnlyWebAndMailAddressesAndNothingWithoutText)
{
    AttributedString text(link("run", "file:///etc/passwd"));
    text.append(" ");
    text.append(link("web", "HTTPS://example.org"));
    field->setAttributedStringValue(text);
    field->mouseUp(pointAt(1));
    field->mouseUp(pointAt(5));
    EXPECT_EQ(opened, std::vector<std::string> { "HTTPS://example.org" });
    EXPECT_FALSE(HyperlinkTextField::isOpenable("javascript:alert(1)"));

    field->setAttributedStringValue(AttributedString());
    EXPECT_TRUE(field->hyperlinkInfos().empty());
    field->mouseUp({ 0, 0 });
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(Field, TabReachesEveryLinkThenLeaves)
{
    AttributedString text("Kaleon | ");
    text.append(link("site", "https://site.example.org/"));
    text.append("\n(c) ");
    text.append(link("@one", "https://one.example.org/"));
    text.append(" ");
    text.append(link("@two", "https://two.example.org/"));
    field->setAttributedStringValue(text);
    struct Step {
        guint key;
        bool backwards;
        bool taken;
    };
    // The field takes the focus on its first link; Return then opens the link picked.
    const Step steps[] = { { GDK_KEY_Return, false, true }, { GDK_KEY_Tab, false, true },
        { GDK_KEY_Return, false, true }, { GDK_KEY_Tab, false, true }, { GDK_KEY_Return, false, true },
        { GDK_KEY_Tab, false, false }, { GDK_KEY_ISO_Left_Tab, true, true }, { GDK_KEY_Tab, true, true },
        { GDK_KEY_Tab, true, false }, { GDK_KEY_Right, false, true }, { GDK_KEY_space, false, true } };
    for (const auto& step : steps)
        EXPECT_EQ(field->keyPressed(step.key, step.backwards), step.taken) << step.key;
    EXPECT_EQ(opened,
        (std::vector<std::string> { "https://site.example.org/", "https://one.example.org/", "https://two.example.org/",
            "https://one.example.org/" }));
}

TEST_F(Field, LinksShowInTheThemesLinkColour)
{
    // Whatever colour the text gives its links, they are drawn as the theme draws links.
    AttributedString text(AttributedString(
        "dark", config::TextAttributes { "https://example.org/", gfx::Color { 0.172, 0.366, 0.806, 1.0 } }));
    field->setAttributedStringValue(text);
    GtkWidget* button = GTK_WIDGET(g_object_ref_sink(gtk_link_button_new("https://example.org/")));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GdkRGBA theme {};
    gtk_style_context_get_color(gtk_widget_get_style_context(button), &theme);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(button);
    ASSERT_GT(std::abs(theme.blue - 0.806) + std::abs(theme.red - 0.172), 0.05)
        << "the theme's own colour, not the text's";
    const auto layout = field->textLayout();
    PangoAttrIterator* iterator = pango_attr_list_get_iterator(pango_layout_get_attributes(layout.get()));
    const PangoAttrColor* foreground = nullptr;
    do
        foreground = reinterpret_cast<const PangoAttrColor*>(pango_attr_iterator_get(iterator, PANGO_ATTR_FOREGROUND));
    while (!foreground && pango_attr_iterator_next(iterator));
    ASSERT_NE(foreground, nullptr);
    EXPECT_NEAR(foreground->color.red / 65535.0, theme.red, 0.01);
    EXPECT_NEAR(foreground->color.green / 65535.0, theme.green, 0.01);
    EXPECT_NEAR(foreground->color.blue / 65535.0, theme.blue, 0.01);
    pango_attr_iterator_destroy(iterator);
}

TEST(SwatchWidths, FollowTheStripRule)
{
    EXPECT_EQ(config::swatchWidths(300, 10), (std::vector<int> { 31, 30, 30, 30, 30, 30, 30, 30, 30, 30 }));
    EXPECT_EQ(config::swatchWidths(100, 3), (std::vector<int> { 34, 34, 33 }));
    EXPECT_TRUE(config::swatchWidths(100, 0).empty());
    // Narrower than a point per colour: a point each (the strip's edge clips the rest).
    const auto narrow = config::swatchWidths(5, 10);
    ASSERT_EQ(narrow.size(), 10u);
    EXPECT_TRUE(std::all_of(narrow.begin(), narrow.end(), [](int width) { return width >= 1; }));
}
