#include "supply/shape_file.h"

#include "container/decryptor.h"
#include "container/encryptor.h"
#include "core/file.h"
#include "core/log.h"
#include "core/text.h"

namespace kaleon::supply {

namespace {

Error shapeError(std::string message)
{
    return Error { "Shape", 1, std::move(message) };
}

} // namespace

Result<std::string> readTGShape(const std::filesystem::path& path)
{
    const auto bytes = readFile(path);
    if (!bytes)
        return shapeError("cannot be read");
    const auto plain = container::TGDecryptor::decryptData(
        container::bytesOf(*bytes), container::kTGCryptorDefaultSettings, TGSecret);
    if (!plain) {
        const auto& error = plain.error();
        return shapeError("cannot be decrypted: " + (error.message.empty() ? "cipher error" : error.message) + " (code "
            + std::to_string(error.code) + ")");
    }
    std::string text(plain->begin(), plain->end());
    if (!isValidUTF8(text))
        return shapeError("is not UTF-8 text");
    return text;
}

std::shared_ptr<svg::TGSVG> makeSVGWithTGShapePath(const std::filesystem::path& path)
{
    auto text = readTGShape(path);
    if (!text) {
        logOnce(fileVersion(path), "Shape file " + path.string() + " " + text.error().message);
        return svg::TGSVG::makeWithSVGString("");
    }
    const std::string source = path.string();
    return svg::TGSVG::makeWithSVGString(*text, svg::ParseStyle::No, { source, {} });
}

Result<std::vector<std::uint8_t>> packTGShape(std::string_view svgText)
{
    return container::TGEncryptor::encryptData(
        container::bytesOf(svgText), container::kTGCryptorDefaultSettings, TGSecret);
}

} // namespace kaleon::supply
