#include "svg/document.h"

#include "core/file.h"
#include "core/log.h"
#include "core/resource_folder.h"
#include "core/text.h"
#include "svg/element_reader.h"

#include <algorithm>
#include <limits>

namespace kaleon::svg {

namespace {

std::optional<std::string> readUTF8File(const std::filesystem::path& path)
{
    auto read = readFile(path);
    if (!read)
        return std::nullopt;
    std::string text = std::move(*read);
    if (!isValidUTF8(text))
        return std::nullopt;
    return text;
}

// Box minima and maxima over all paths, the maxima starting at 0.
struct Extent {
    double minX = std::numeric_limits<double>::max();
    double minY = std::numeric_limits<double>::max();
    double maxX = 0;
    double maxY = 0;
};

Extent extentOf(const PathList& paths)
{
    Extent extent;
    if (const auto box = gfx::boundingBox(paths))
        extent = { box->minX(), box->minY(), std::max(0.0, box->maxX()), std::max(0.0, box->maxY()) };
    return extent;
}

} // namespace

std::shared_ptr<TGSVG> TGSVG::makeWithSVGFileAtPath(const std::filesystem::path& path, ParseStyle parseStyle)
{
    auto document = make();
    document->m_filePath = path.string();
    document->m_filename = path.filename().string();
    document->m_parseStyle = parseStyle;
    const auto text = readUTF8File(path);
    const std::string source = path.string();
    document->m_attributes = std::make_shared<PathAttributeMap>();
    readSVGShapes(text.value_or(std::string()), { source, {} },
        [&](std::shared_ptr<const gfx::Path> shape, AttributeDictionary* attributes) {
            if (attributes)
                document->m_attributes->emplace(shape, std::move(*attributes));
            document->m_cgPaths.push_back(std::move(shape));
        });
    return document;
}

std::shared_ptr<TGSVG> TGSVG::makeWithSVGFileNamed(std::string_view name, ParseStyle parseStyle)
{
    const auto folder = mainResourceFolder();
    std::error_code error;
    if (folder) {
        const auto path = *folder / (std::string(name) + ".svg");
        if (std::filesystem::is_regular_file(path, error))
            return makeWithSVGFileAtPath(path, parseStyle);
    }
    log("TGSVG: Error reading file with name: " + std::string(name));
    return nullptr;
}

std::shared_ptr<TGSVG> TGSVG::makeWithSVGString(
    std::string_view text, ParseStyle parseStyle, const ReadOptions& options)
{
    auto document = make();
    document->m_parseStyle = parseStyle;
    document->m_cgPaths = readSVGPaths(text, options);
    return document;
}

std::shared_ptr<TGSVG> TGSVG::copy() const
{
    auto document = make();
    document->m_filename = m_filename;
    document->m_filePath = m_filePath;
    document->m_attributes = m_attributes;
    document->m_cgPaths = m_cgPaths;
    return document;
}

void TGSVG::applyTransform(const gfx::AffineTransform& transform)
{
    // One at a time, so that a large drawing is not held twice; paths shared with others stay
    // as they are for them.
    for (auto& path : m_cgPaths)
        path = std::make_shared<const gfx::Path>(path->transformed(transform));
}

gfx::Size TGSVG::totalSize() const
{
    const Extent extent = extentOf(m_cgPaths);
    return { extent.maxX - extent.minX, extent.maxY - extent.minY };
}

gfx::Rect TGSVG::bounds() const
{
    const Extent extent = extentOf(m_cgPaths);
    return { { extent.minX, extent.minY }, totalSize() };
}

} // namespace kaleon::svg
