// SVG reading speed on an artwork-like document (400 paths of 120 mixed segments, about
// 1.2 MB, made here), side by side with what bounds it from below and what users compare it to:
//   - the whole reader with the attribute map, against libxml2's walk over the same text (bare,
//     and reading every element's attributes), and against librsvg loading it;
//   - the path-data parser alone, against a plain std::from_chars scan of the same numbers.

#include "svg/element_reader.h"
#include "svg/path_data_parser.h"
#include "svg/scanner.h"

#include <benchmark/benchmark.h>
#include <charconv>
#include <cstdio>
#include <libxml/xmlreader.h>
#include <random>
#ifdef KALEON_HAVE_LIBRSVG
#include <librsvg/rsvg.h>
#endif

using namespace kaleon;

namespace {

std::string g_document;
std::vector<std::string> g_pathData;
size_t g_pathDataBytes = 0;

// 400 filled paths of 120 segments each, picked from M L H V C S Z (absolute and relative),
// with numbers of three decimals from -500 to 500: the same bytes on every run.
std::string syntheticDocument()
{
    constexpr int kPaths = 400;
    constexpr int kSegments = 120;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-500, 500);
    const auto number = [&] {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", coordinate(random));
        return std::string(text);
    };
    const auto point = [&] { return number() + "," + number(); };
    constexpr std::string_view kCommands = "CcSsLlHhVv";
    std::string document = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" height=\"1000\">";
    for (int p = 0; p < kPaths; ++p) {
        std::string d = "M" + point();
        for (int segment = 0; segment < kSegments; ++segment) {
            const char command = kCommands[random() % kCommands.size()];
            d += ' ';
            d += command;
            switch (command) {
            case 'C':
            case 'c':
                d += point() + " " + point() + " " + point();
                break;
            case 'S':
            case 's':
                d += point() + " " + point();
                break;
            case 'L':
            case 'l':
                d += point();
                break;
            default:
                d += number();
                break;
            }
        }
        char fill[8];
        std::snprintf(fill, sizeof fill, "%06x", static_cast<unsigned>(random() % (1u << 24)));
        document += "\n<path fill=\"#" + std::string(fill) + "\" d=\"" + d + " Z\"/>";
    }
    return document + "\n</svg>";
}

void loadInputs()
{
    g_document = syntheticDocument();
    for (size_t at = g_document.find(" d=\""); at != std::string::npos; at = g_document.find(" d=\"", at)) {
        at += 4;
        const size_t end = g_document.find('"', at);
        g_pathData.push_back(g_document.substr(at, end - at));
        g_pathDataBytes += end - at;
        at = end;
    }
}

void BM_LibXml2BareWalk(benchmark::State& state)
{
    for (auto _ : state) {
        xmlTextReaderPtr reader
            = xmlReaderForDoc(reinterpret_cast<const xmlChar*>(g_document.c_str()), nullptr, nullptr, XML_PARSE_NONET);
        int nodes = 0;
        while (xmlTextReaderRead(reader) == 1)
            ++nodes;
        xmlFreeTextReader(reader);
        benchmark::DoNotOptimize(nodes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_document.size()));
}
BENCHMARK(BM_LibXml2BareWalk)->Unit(benchmark::kMillisecond);

// Every element and every attribute's name and value, with no number read.
void BM_LibXml2WalkWithAttributes(benchmark::State& state)
{
    for (auto _ : state) {
        xmlTextReaderPtr reader
            = xmlReaderForDoc(reinterpret_cast<const xmlChar*>(g_document.c_str()), nullptr, nullptr, XML_PARSE_NONET);
        size_t bytes = 0;
        while (xmlTextReaderRead(reader) == 1) {
            if (xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT)
                continue;
            bytes += xmlStrlen(xmlTextReaderConstLocalName(reader));
            while (xmlTextReaderMoveToNextAttribute(reader) == 1)
                bytes += xmlStrlen(xmlTextReaderConstLocalName(reader)) + xmlStrlen(xmlTextReaderConstValue(reader));
        }
        xmlFreeTextReader(reader);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_document.size()));
}
BENCHMARK(BM_LibXml2WalkWithAttributes)->Unit(benchmark::kMillisecond);

// The same through libxml2's SAX2 interface, which builds no nodes: the reader's own base, so
// what is left above it is ours.
void BM_LibXml2SAX2WalkWithAttributes(benchmark::State& state)
{
    xmlSAXHandler handler {};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = [](void* context, const xmlChar* localName, const xmlChar*, const xmlChar*, int,
                                 const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
        auto& bytes = *static_cast<size_t*>(context);
        bytes += xmlStrlen(localName);
        // Five pointers per attribute: local name, prefix, URI, value start and value end.
        for (int i = 0; i < attributeCount; ++i)
            bytes
                += static_cast<size_t>(xmlStrlen(attributes[5 * i]) + (attributes[5 * i + 4] - attributes[5 * i + 3]));
    };
    for (auto _ : state) {
        size_t bytes = 0;
        xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&handler, &bytes, nullptr, 0, nullptr);
        xmlCtxtUseOptions(context, XML_PARSE_NONET);
        xmlParseChunk(context, g_document.data(), static_cast<int>(g_document.size()), 1);
        xmlFreeParserCtxt(context);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_document.size()));
}
BENCHMARK(BM_LibXml2SAX2WalkWithAttributes)->Unit(benchmark::kMillisecond);

#ifdef KALEON_HAVE_LIBRSVG
void BM_LibrsvgLoad(benchmark::State& state)
{
    for (auto _ : state) {
        GError* error = nullptr;
        RsvgHandle* handle
            = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(g_document.data()), g_document.size(), &error);
        if (!handle) {
            state.SkipWithError(error ? error->message : "librsvg could not read the document");
            g_clear_error(&error);
            break;
        }
        g_object_unref(handle);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_document.size()));
}
BENCHMARK(BM_LibrsvgLoad)->Unit(benchmark::kMillisecond);
#endif

void BM_CGPathsFromSVGStringWithAttributes(benchmark::State& state)
{
    for (auto _ : state) {
        std::shared_ptr<svg::PathAttributeMap> attributes;
        auto paths = svg::CGPathsFromSVGString(g_document, &attributes);
        benchmark::DoNotOptimize(paths.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_document.size()));
}
BENCHMARK(BM_CGPathsFromSVGStringWithAttributes)->Unit(benchmark::kMillisecond);

void BM_FromCharsScanReference(benchmark::State& state)
{
    for (auto _ : state) {
        float sum = 0;
        for (const auto& text : g_pathData) {
            const char* p = text.data();
            const char* end = p + text.size();
            while (p < end) {
                float value = 0;
                const auto result = std::from_chars(p, end, value);
                if (result.ec == std::errc()) {
                    sum += value;
                    p = result.ptr;
                } else {
                    ++p;
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_pathDataBytes));
}
BENCHMARK(BM_FromCharsScanReference)->Unit(benchmark::kMillisecond);

// The reader's own number scanner over the same text, the same way.
void BM_NumberScanner(benchmark::State& state)
{
    for (auto _ : state) {
        float sum = 0;
        for (const auto& text : g_pathData) {
            const char* p = text.data();
            const char* end = p + text.size();
            while (p < end) {
                float value = 0;
                if (const char* next = svg::readDecimal(p, end, value)) {
                    sum += value;
                    p = next;
                } else {
                    ++p;
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_pathDataBytes));
}
BENCHMARK(BM_NumberScanner)->Unit(benchmark::kMillisecond);

void BM_PathDefinitionParser(benchmark::State& state)
{
    for (auto _ : state) {
        size_t elements = 0;
        for (const auto& text : g_pathData)
            elements += svg::pathDefinitionParser(text).parse().elementCount();
        benchmark::DoNotOptimize(elements);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_pathDataBytes));
}
BENCHMARK(BM_PathDefinitionParser)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    loadInputs();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
