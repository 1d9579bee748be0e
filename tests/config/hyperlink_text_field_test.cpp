#include "config/hyperlink_text_field.h"
#include "config/swatches_view.h"

#include <algorithm>
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
