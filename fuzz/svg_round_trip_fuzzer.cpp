// Differential: paths built from the input (moves, lines, cubic curves, closes) are written as
// SVG and read back; what comes back must be the same paths, element for element and point for
// point. Coordinates are eighths
// within ±4096, which the writer's three decimals and the reader's floats both hold exactly.
#include "fuzz_support.h"
#include "svg/element_reader.h"
#include "svg/svg_writer.h"

namespace {

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    bool empty() const { return m_at >= m_size; }
    std::uint8_t byte() { return empty() ? 0 : m_data[m_at++]; }
    kaleon::gfx::Point point()
    {
        const auto coordinate = [this] {
            const auto raw = static_cast<std::int16_t>(byte() | byte() << 8);
            return static_cast<double>(raw) / 8.0;
        };
        const double x = coordinate();
        return { x, coordinate() };
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    silenceLog();
    Bytes input(data, size);
    kaleon::gfx::PathList paths;
    while (!input.empty() && paths.size() < 64) {
        auto path = std::make_shared<kaleon::gfx::Path>();
        for (int count = input.byte() % 32; count > 0 && !input.empty(); --count) {
            // No quadratic curves: the path-data reader knows Q but draws nothing for it.
            switch (input.byte() % 4) {
            case 0:
                path->moveTo(input.point());
                break;
            case 1:
                path->lineTo(input.point());
                break;
            case 2: {
                const auto control1 = input.point();
                const auto control2 = input.point();
                path->curveTo(control1, control2, input.point());
                break;
            }
            default:
                path->closeSubpath();
            }
        }
        if (!path->isEmpty())
            paths.push_back(std::move(path));
    }
    const std::string text = kaleon::svg::SVGStringFromCGPaths(paths, nullptr);
    const auto back = kaleon::svg::CGPathsFromSVGString(text, nullptr);
    if (back.size() != paths.size())
        __builtin_trap();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!(*back[i] == *paths[i]))
            __builtin_trap();
    }
    return 0;
}
