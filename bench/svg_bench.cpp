// SVG reading speed on the artwork-like document of gen_synth_svg.py (400 paths of 120 mixed
// segments, about 1.2 MB), side by side with what bounds it from below:
//   - the whole reader with the attribute map, against libxml2's bare walk over the same text;
//   - the path-data parser alone, against a plain std::from_chars scan of the same numbers.

#include "svg/element_reader.h"
#include "svg/path_data_parser.h"

#include <benchmark/benchmark.h>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <libxml/xmlreader.h>
#include <regex>

using namespace kaleon;

namespace {

std::string g_document;
std::vector<std::string> g_pathData;
size_t g_pathDataBytes = 0;

void loadInputs()
{
    const auto file = std::filesystem::temp_directory_path() / "kaleon-bench-synth.svg";
    const std::string command = "python3 '" KALEON_SYNTH_SVG_SCRIPT "' '" + file.string() + "'";
    if (std::system(command.c_str()) != 0) {
        std::cerr << "cannot run " << KALEON_SYNTH_SVG_SCRIPT << "\n";
        std::exit(1);
    }
    std::ifstream in(file, std::ios::binary);
    g_document.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
