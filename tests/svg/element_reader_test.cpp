#include "svg/element_reader.h"

#include "core/log.h"
#include "svg/svg_writer.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kaleon;
using svg::CGPathsFromSVGString;

namespace {

std::string svgDocument(const std::string& body)
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">" + body + "</svg>";
}

std::vector<std::string> pathData(const svg::PathList& paths)
{
    std::vector<std::string> data;
    for (const auto& path : paths)
        data.push_back(svg::SVGPathData(*path));
    return data;
}

std::vector<std::string> read(const std::string& body, bool withAttributes = true)
{
    std::shared_ptr<svg::PathAttributeMap> attributes;
    return pathData(CGPathsFromSVGString(svgDocument(body), withAttributes ? &attributes : nullptr));
}

// Collects what is written to stderr while it lives.
class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_saved = ::dup(2);
        m_file = std::tmpfile();
        ::dup2(::fileno(m_file), 2);
    }
    ~StderrCapture()
    {
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        std::fclose(m_file);
    }
    std::string text()
    {
        std::fflush(stderr);
        std::rewind(m_file);
        std::string contents;
        char buffer[256];
        while (const size_t n = std::fread(buffer, 1, sizeof buffer, m_file))
            contents.append(buffer, n);
        return contents;
    }

private:
    int m_saved = -1;
    std::FILE* m_file = nullptr;
};

} // namespace

TEST(ElementReader, ReadsTheFourShapesInDocumentOrder)
{
    const auto paths = read("<path d='M1,1L2,2'/><polygon points='0,0 10,0 10,10'/>"
                            "<rect x='1' y='2' width='3' height='4'/><circle cx='5' cy='5' r='5'/>");
    ASSERT_EQ(paths.size(), 4u);
    EXPECT_EQ(paths[0], "M1,1L2,2");
    EXPECT_EQ(paths[1], "M0,0L10,0L10,10Z");
    EXPECT_EQ(paths[2], "M1,2L4,2L4,6L1,6L1,2Z");
    EXPECT_EQ(paths[3], "M10,5C10,7.761,7.761,10,5,10C2.239,10,0,7.761,0,5C0,2.239,2.239,0,5,0C7.761,0,10,2.239,10,5Z");
}

TEST(ElementReader, NamesAreCaseInsensitiveAndContainersAreRead)
{
    EXPECT_EQ(read("<defs><path d='M1,1'/></defs><ellipse cx='1' cy='1' rx='1' ry='1'/><PATH d='M2,2'/>"
                   "<Rect width='1' height='1'/><svg:path xmlns:svg='http://www.w3.org/2000/svg' d='M3,3'/>"
                   "<line x1='0' y1='0' x2='1' y2='1'/><text>hi</text><use href='#a'/>"),
        (std::vector<std::string> { "M1,1", "M2,2", "M0,0L1,0L1,1L0,1L0,0Z" }));
}

TEST(ElementReader, GroupTransformsApplyOnlyWithTheAttributeMap)
{
    const std::string body = "<g transform='translate(10,0)'><rect x='0' y='0' width='10' height='10'/></g>";
    EXPECT_EQ(read(body, true), std::vector<std::string> { "M10,0L20,0L20,10L10,10L10,0Z" });
    EXPECT_EQ(read(body, false), std::vector<std::string> { "M0,0L10,0L10,10L0,10L0,0Z" });
    // An empty group passes nothing on to what follows it.
    EXPECT_EQ(read("<g transform='translate(10,0)'/><rect width='1' height='1'/>"),
        std::vector<std::string> { "M0,0L1,0L1,1L0,1L0,0Z" });
    EXPECT_EQ(read("<g transform='translate(5,0)'><g transform='scale(2)'/><path d='M1,1'/></g><path d='M1,1'/>"),
        (std::vector<std::string> { "M6,1", "M1,1" }));
}

TEST(ElementReader, PolygonPoints)
{
    struct Case {
        const char* points;
        std::vector<std::string> paths;
        std::vector<std::string> logs;
    };
    const Case cases[] = {
        { "0,0 10,0 10,10", { "M0,0L10,0L10,10Z" }, {} },
        { "5,5", { "M5,5Z" }, {} },
        { "5", {}, { "*** Error: Too few points in <polygon>" } },
        { "0, 0, 10, 0, 10, 10", { "M0,0L0,10L0,10Z" },
            { "*** Error: Invalid parameter count in M style token",
                "*** Error: Invalid parameter count in L style token" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.points);
        ScopedLogCapture capture;
        EXPECT_EQ(read(std::string("<polygon points='") + c.points + "'/>"), c.paths);
        EXPECT_EQ(capture.lines(), c.logs);
    }
    ScopedLogCapture capture;
    EXPECT_TRUE(read("<polygon/>").empty());
    EXPECT_EQ(capture.lines(), std::vector<std::string> { "*** Error: Too few points in <polygon>" });
}

TEST(ElementReader, RectanglesAndCircles)
{
    EXPECT_EQ(
        read("<rect x='20' y='0' width='-10' height='5'/>"), std::vector<std::string> { "M10,0L20,0L20,5L10,5L10,0Z" });
    EXPECT_EQ(read("<rect x='0.12345' y='1px' width='1' height='1' rx='5'/>"),
        std::vector<std::string> { "M0.123,1L1.123,1L1.123,2L0.123,2L0.123,1Z" });
    // Non-finite attribute numbers read as 0.
    EXPECT_EQ(
        read("<rect x='inf' y='nan' width='1e39' height='2'/>"), std::vector<std::string> { "M0,0L0,0L0,2L0,2L0,0Z" });
    EXPECT_EQ(read("<circle cx='3' cy='4'/>"),
        std::vector<std::string> { "M3,4C3,4,3,4,3,4C3,4,3,4,3,4C3,4,3,4,3,4C3,4,3,4,3,4Z" });
}

TEST(ElementReader, PathWithoutDataIsLeftOut)
{
    ScopedLogCapture capture;
    EXPECT_EQ(read("<path/><path d=''/>"), std::vector<std::string> { "M0,0" });
    EXPECT_EQ(capture.lines(), std::vector<std::string> { "*** Error: Invalid/missing d attribute in <path>" });
}

TEST(ElementReader, MalformedXmlStopsQuietlyAfterTheShapesBeforeIt)
{
    ScopedLogCapture capture;
    StderrCapture stderrCapture;
    // Every shape before the error is read, however far ahead libxml2 had looked.
    std::string text = "<svg>";
    std::vector<std::string> expected;
    for (int i = 0; i < 2000; ++i) {
        expected.push_back(std::string("M").append(std::to_string(i)).append(",0"));
        text.append("<path d='").append(expected.back()).append("'/>");
    }
    text += "<g><oops></svg>";
    for (int i = 0; i < 2000; ++i)
        text += "<path d='M1,1'/>";
    EXPECT_EQ(pathData(CGPathsFromSVGString(text, nullptr)), expected);
    for (const char* broken :
        { "<svg><path d='M1,1'/><g><oops></svg>", "<svg><path d='M1,1'/><path d='M2,2' d='M3,3'/>",
            "<svg><path d='M1,1'/></svg><path d='M2,2'/>", "<svg><path d='M1,1'/><path d='M2,2'" })
        EXPECT_EQ(pathData(CGPathsFromSVGString(broken, nullptr)), std::vector<std::string> { "M1,1" }) << broken;
    EXPECT_TRUE(pathData(CGPathsFromSVGString("not xml at all <path d='M1,1'/>", nullptr)).empty());
    EXPECT_TRUE(pathData(CGPathsFromSVGString("", nullptr)).empty());
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_EQ(stderrCapture.text(), "");
}

// What a document tree would have resolved: references in values, namespace declarations as
// attributes, and neither the shapes of an entity's definition nor a DTD's defaults.
TEST(ElementReader, ReadsValuesAsADocumentTreeHoldsThem)
{
    const std::string text = "<!DOCTYPE svg [<!ENTITY e 'M1,1L2,2'><!ENTITY f '&e;L3,3'>"
                             "<!ENTITY shape '<path d=\"M5,5\"/>'><!ATTLIST path stroke CDATA '#00ff00'>]>"
                             "<svg xmlns:x='urn:x'>&shape;<path d='&f;' x:id='a&amp;b&#65;&#38;' xmlns:y='urn:y'/>"
                             "&shape;<path d='M7,7' id=' a\tb&#38;amp;'/></svg>";
    std::shared_ptr<svg::PathAttributeMap> attributes;
    const auto paths = CGPathsFromSVGString(text, &attributes);
    ASSERT_EQ(pathData(paths), (std::vector<std::string> { "M1,1L2,2L3,3", "M7,7" }));
    const auto& first = attributes->at(paths[0]);
    EXPECT_EQ(std::get<std::string>(first.at("d")), "M1,1L2,2L3,3");
    EXPECT_EQ(std::get<std::string>(first.at("x:id")), "a&bA&");
    EXPECT_EQ(std::get<std::string>(first.at("xmlns:y")), "urn:y");
    EXPECT_EQ(first.count("stroke"), 0u);
    EXPECT_EQ(std::get<std::string>(attributes->at(paths[1]).at("id")), " a b&amp;");
}

TEST(ElementReader, AttributeMapHasAnEntryPerPath)
{
    std::shared_ptr<svg::PathAttributeMap> attributes;
    const auto paths
        = CGPathsFromSVGString(svgDocument("<rect/><rect style='fill'/><path id='a' d='M1,1'/>"), &attributes);
    ASSERT_TRUE(attributes);
    ASSERT_EQ(paths.size(), 3u);
    ASSERT_EQ(attributes->count(paths[0]), 1u);
    EXPECT_TRUE(attributes->at(paths[0]).empty());
    EXPECT_EQ(attributes->count(paths[1]), 0u);
    EXPECT_EQ(std::get<std::string>(attributes->at(paths[2]).at("id")), "a");
    EXPECT_EQ(std::get<std::string>(attributes->at(paths[2]).at("d")), "M1,1");

    std::shared_ptr<svg::PathAttributeMap> empty;
    CGPathsFromSVGString("", &empty);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(ElementReader, CountsWhatItPassesOver)
{
    const auto counts = svg::passedOverElements(svgDocument(
        "<defs><linearGradient id='g'><stop/><stop/></linearGradient></defs><ellipse/><ellipse/><path d='M1,1'/>"
        "<g><text>t</text></g>"));
    EXPECT_EQ(counts,
        (std::map<std::string, int> {
            { "defs", 1 }, { "ellipse", 2 }, { "linearGradient", 1 }, { "stop", 2 }, { "text", 1 } }));
}
