// Inputs meant to hurt: each must end quickly, within bounded memory, without a crash.
#include "core/log.h"
#include "svg/document.h"
#include "svg/element_reader.h"
#include "svg/legacy_path_tokenizer.h"
#include "svg/path_data_parser.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <malloc.h>
#include <new>

using namespace kaleon;

namespace {

// What this test program holds through new at the moment, and the most it held since the
// last reset.
std::atomic<size_t> g_heldBytes = 0;
std::atomic<size_t> g_mostHeldBytes = 0;

size_t mostHeldSince(const std::function<void()>& work)
{
    const size_t before = g_heldBytes;
    g_mostHeldBytes = before;
    work();
    return g_mostHeldBytes - before;
}

std::string manyRectangles(int count)
{
    std::string text = "<svg xmlns='http://www.w3.org/2000/svg'>\n";
    for (int i = 0; i < count; ++i)
        text
            += "<rect x='" + std::to_string(i % 997) + "' y='" + std::to_string(i % 991) + "' width='9' height='7'/>\n";
    return text + "</svg>\n";
}

} // namespace

void* operator new(size_t size)
{
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (!memory)
        throw std::bad_alloc();
    const size_t held = g_heldBytes += malloc_usable_size(memory);
    for (size_t most = g_mostHeldBytes; held > most && !g_mostHeldBytes.compare_exchange_weak(most, held);) { }
    return memory;
}

void* operator new[](size_t size)
{
    return operator new(size);
}

void operator delete(void* memory) noexcept
{
    if (!memory)
        return;
    g_heldBytes -= malloc_usable_size(memory);
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    operator delete(memory);
}

void operator delete(void* memory, size_t) noexcept
{
    operator delete(memory);
}

void operator delete[](void* memory, size_t) noexcept
{
    operator delete(memory);
}

TEST(HostileInput, TenMegabytesOfPathData)
{
    std::string data = "M0,0";
    while (data.size() < 10'000'000)
        data += "l1.5,-2.25c1,2 3,4 5,6";
    const gfx::Path path = svg::pathDefinitionParser(data).parse();
    EXPECT_GT(path.elementCount(), 600'000u);

    ScopedLogCapture quiet;
    const svg::TGSVGPath legacy(data.substr(0, 1'000'000));
    EXPECT_GT(legacy.bezierPath().elementCount(), 60'000u);
}

TEST(HostileInput, HundredThousandNestedGroups)
{
    std::string text = "<svg>";
    for (int i = 0; i < 100'000; ++i)
        text += "<g transform='translate(1,0)' fill='#f00'>";
    text += "<path d='M0,0L1,1'/>";
    for (int i = 0; i < 100'000; ++i)
        text += "</g>";
    text += "</svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    // The XML reader refuses nesting this deep; the read ends early with what it had.
    EXPECT_TRUE(svg::CGPathsFromSVGString(text, &attributes).empty());
}

TEST(HostileInput, InvalidUTF8)
{
    const std::string text = "<svg><path d='M1,1\xff\xfeL2,2'/><rect width='\xc3' height='1'/></svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    EXPECT_LE(svg::CGPathsFromSVGString(text, &attributes).size(), 2u);
    ScopedLogCapture capture;
    const gfx::Path path = svg::pathDefinitionParser("M1,1\xff\xfe").parse();
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0].substr(0, 30), "*** SVG parse error at index: ");
}

TEST(HostileInput, EntityExpansion)
{
    std::string text = "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY a0 'M1,1L2,2'>";
    for (int i = 1; i < 30; ++i)
        text += "<!ENTITY a" + std::to_string(i) + " '&a" + std::to_string(i - 1) + ";&a" + std::to_string(i - 1)
            + ";'>";
    text += "]><svg><path d='&a29;'/><path d='&a29;'/></svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    // Two to the 29th copies would be gigabytes: the reader stops instead.
    EXPECT_TRUE(svg::CGPathsFromSVGString(text, &attributes).empty());

    const std::string external = "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"
                                 "<svg><path id='&x;' d='M1,1'/></svg>";
    const auto paths = svg::CGPathsFromSVGString(external, &attributes);
    for (const auto& path : paths) {
        const auto& dictionary = attributes->at(path);
        if (const auto id = dictionary.find("id"); id != dictionary.end()) {
            EXPECT_EQ(std::get<std::string>(id->second).find("root:"), std::string::npos);
        }
    }
}

TEST(HostileInput, DeepStyleAndTransformText)
{
    std::string style = "fill:#f00";
    for (int i = 0; i < 100'000; ++i)
        style += ";a" + std::to_string(i) + ":b";
    std::string transform;
    for (int i = 0; i < 100'000; ++i)
        transform += "rotate(1) translate(1,2) ((((";
    const std::string text = "<svg><path style='" + style + "' transform='" + transform + "' d='M1,1'/></svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    const auto paths = svg::CGPathsFromSVGString(text, &attributes);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_GT(attributes->at(paths[0]).size(), 100'000u);
}

TEST(HostileInput, ElementsWithTensOfThousandsOfAttributes)
{
    const auto withAttributes = [](int count) {
        std::string text = "<svg><!-- a='1' b='2' --><path title='a>b=c' d='M0,0L1,1'";
        for (int i = 0; i < count; ++i)
            text += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
        return text + "/></svg>";
    };
    ScopedLogCapture capture;
    EXPECT_EQ(svg::CGPathsFromSVGString(withAttributes(254), nullptr).size(), 1u) << "256 in all still read";
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(svg::CGPathsFromSVGString(withAttributes(40'000), nullptr).empty());
    EXPECT_TRUE(svg::passedOverElements(withAttributes(40'000)).empty());
    EXPECT_EQ(capture.lines(),
        std::vector<std::string> { "Not reading the SVG text: an element has more than 256 attributes" });
}

TEST(HostileInput, OneEntityRepeatedUntilItOutgrowsTheText)
{
    // 100 kB repeated 100,000 times in one attribute would be 10 GB of text; the read stops at
    // its budget (the text's size and a little more) with one line naming the source.
    std::string text = "<?xml version='1.0'?><!DOCTYPE svg [<!ENTITY a '" + std::string(100'000, 'x')
        + "'><!ENTITY ns 'http://www.w3.org/2000/svg'>]><svg xmlns='&ns;'><path id='&ns;&ns;' d='M1,1L2,2'/>"
          "<path fill='";
    for (int i = 0; i < 100'000; ++i)
        text += "&a;";
    text += "' d='M0,0L9,9'/><path d='M3,3'/></svg>";

    ScopedLogCapture capture;
    std::shared_ptr<svg::PathAttributeMap> attributes;
    const auto paths = svg::CGPathsFromSVGString(text, &attributes);
    ASSERT_EQ(paths.size(), 1u) << "the shapes before the blow-up stay";
    EXPECT_EQ(std::get<std::string>(attributes->at(paths[0]).at("id")),
        "http://www.w3.org/2000/svghttp://www.w3.org/2000/svg");
    EXPECT_EQ(capture.lines(),
        std::vector<std::string> {
            "Stopped reading the SVG text: its entity references expand to more text than it may hold" });

    capture.clear();
    EXPECT_EQ(svg::readSVGPaths(text, { "drawing.svg", {} }).size(), 1u);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_TRUE(capture.lines()[0].starts_with("Stopped reading drawing.svg: ")) << capture.lines()[0];
}

TEST(HostileInput, ReadingStopsAtItsElementAndTimeLimits)
{
    const std::string text = manyRectangles(5);
    struct Case {
        const char* name;
        svg::WalkLimits limits;
        size_t paths;
        std::string line;
    };
    svg::WalkLimits fewElements;
    fewElements.mostElements = 4; // the svg element and three rectangles
    svg::WalkLimits noTime;
    noTime.mostTime = std::chrono::milliseconds(0);
    const Case cases[] = {
        { "within the limits", {}, 5, "" },
        { "too many elements", fewElements, 3, "Stopped reading x.svg: it has more than 4 elements" },
        { "out of time", noTime, 0, "Stopped reading x.svg: still not read after 0 s" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedLogCapture capture;
        EXPECT_EQ(svg::readSVGPaths(text, { "x.svg", c.limits }).size(), c.paths);
        EXPECT_EQ(capture.lines(), c.line.empty() ? std::vector<std::string>() : std::vector<std::string> { c.line });
    }
}

TEST(HostileInput, ReadingHoldsAFewTimesTheTextAtMost)
{
    // Tens of thousands of small shapes once took 35 to 75 times the text's size.
    const std::string text = manyRectangles(10'000);
    struct Case {
        const char* name;
        std::function<size_t()> read; // the paths it kept
    };
    const Case cases[] = {
        { "shape by shape",
            [&] {
                svg::PathList kept;
                svg::readSVGShapes(text, {}, [&](std::shared_ptr<const gfx::Path> path, svg::AttributeDictionary*) {
                    kept.push_back(std::move(path));
                });
                return kept.size();
            } },
        { "a document, scaled",
            [&] {
                const auto document = svg::TGSVG::makeWithSVGString(text);
                document->applyTransform(gfx::AffineTransform::scale(2, 2));
                return document->cgPaths().size();
            } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        size_t paths = 0;
        const size_t most = mostHeldSince([&] { paths = c.read(); });
        EXPECT_EQ(paths, 10'000u);
        // libxml2's copy of the text comes on top, from malloc.
        EXPECT_LT(most, 8 * text.size());
    }
}
