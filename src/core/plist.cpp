#include "core/plist.h"

#include "core/c_handle.h"
#include "core/file.h"
#include "core/text.h"

#include <cstdlib>
#include <limits>
#include <plist/plist.h>

namespace kaleon {

namespace {

using PlistHandle = CHandle<void, plist_free>;
using MallocText = CHandle<char, std::free>;

// Deeper trees than this are refused rather than walked, so hostile files cannot exhaust the stack.
constexpr int kMaximumDepth = 128;

// The plist library builds and frees trees recursively, so depth is judged before it sees a
// file. A binary list cannot be deeper than it has objects; at this many the library's
// recursion stays well within a worker thread's stack.
constexpr std::uint64_t kMaximumBinaryObjects = 10000;
constexpr std::string_view kBinaryMagic = "bplist00";
constexpr size_t kBinaryTrailerSize = 32;

Error plistError(std::string message)
{
    return Error { std::string(kPlistErrorDomain), 1, std::move(message) };
}

// Whether an XML property list nests arrays and dictionaries deeper than `limit`. Comments,
// CDATA and processing instructions are skipped; text cannot hold a bare '<'.
bool nestsDeeperThan(std::string_view text, int limit)
{
    int depth = 0;
    return anyXmlTag(text, [&](std::string_view tag) {
        if (tag.starts_with("/array") || tag.starts_with("/dict")) {
            --depth;
        } else if (tag.starts_with("array") || tag.starts_with("dict")) {
            const size_t close = tag.find('>');
            const bool empty = close != std::string_view::npos && close > 0 && tag[close - 1] == '/';
            if (!empty && ++depth > limit)
                return std::string_view::npos;
        }
        return size_t { 0 };
    });
}

std::uint64_t bigEndian64(std::span<const std::uint8_t> bytes)
{
    std::uint64_t value = 0;
    for (const auto byte : bytes.first(8))
        value = value << 8 | byte;
    return value;
}

// Refuses what the plist library must not be given.
Result<void> checkShape(std::span<const std::uint8_t> bytes)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with(kBinaryMagic)) {
        // The trailer ends the file: 6 unused bytes, two sizes, then the object count.
        if (bytes.size() >= kBinaryMagic.size() + kBinaryTrailerSize
            && bigEndian64(bytes.subspan(bytes.size() - kBinaryTrailerSize + 8)) > kMaximumBinaryObjects)
            return plistError("property list has too many objects");
        return {};
    }
    if (nestsDeeperThan(text, kMaximumDepth))
        return plistError("property list nested too deeply");
    return {};
}

// XML 1.0 cannot hold control characters other than tab, line feed and carriage return, not
// even as references, nor bytes that are not UTF-8: text that held one would make a settings
// file no reader takes. So every text read or written drops them (of text that is not UTF-8,
// only the ASCII stays).
std::string xmlText(std::string_view text)
{
    const bool utf8 = isValidUTF8(text);
    std::string kept;
    kept.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && (utf8 || byte < 0x80)) || c == '\t' || c == '\n' || c == '\r')
            kept.push_back(c);
    }
    return kept;
}

Result<PlistValue> fromNode(plist_t node, int depth)
{
    if (depth > kMaximumDepth)
        return plistError("property list nested too deeply");
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return PlistValue(value != 0);
    }
    case PLIST_UINT: {
        std::uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return PlistValue(static_cast<std::int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return PlistValue(value);
    }
    case PLIST_STRING: {
        // By pointer and length: the library's copying reader aborts on text holding a NUL.
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return PlistValue(xmlText(text ? std::string_view(text, length) : std::string_view()));
    }
    case PLIST_KEY: {
        char* raw = nullptr;
        plist_get_key_val(node, &raw);
        const MallocText text(raw);
        return PlistValue(xmlText(text ? text.get() : ""));
    }
    case PLIST_DATA: {
        char* raw = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        const MallocText bytes(raw);
        const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes.get());
        return PlistValue(PlistValue::Data(begin, begin + (bytes ? length : 0)));
    }
    case PLIST_ARRAY: {
        PlistValue::Array array;
        const std::uint32_t count = plist_array_get_size(node);
        array.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            auto item = fromNode(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return item.error();
            array.push_back(std::move(*item));
        }
        return PlistValue(std::move(array));
    }
    case PLIST_DICT: {
        PlistValue::Dictionary dictionary;
        plist_dict_iter rawIterator = nullptr;
        plist_dict_new_iter(node, &rawIterator);
        const CHandle<void, std::free> iterator(rawIterator);
        for (;;) {
            char* rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, rawIterator, &rawKey, &item);
            const MallocText key(rawKey);
            if (!item)
                break;
            auto value = fromNode(item, depth + 1);
            if (!value)
                return value.error();
            dictionary.insert_or_assign(xmlText(key ? key.get() : ""), std::move(*value));
        }
        return PlistValue(std::move(dictionary));
    }
    default:
        // Dates and UIDs mean nothing to us; they read as null.
        return PlistValue();
    }
}

plist_t toNode(const PlistValue& value)
{
    if (auto* b = value.asBool())
        return plist_new_bool(*b ? 1 : 0);
    if (auto* i = value.asInteger())
        return plist_new_uint(static_cast<std::uint64_t>(*i));
    if (auto* r = value.asReal())
        return plist_new_real(*r);
    if (auto* s = value.asString())
        return plist_new_string(xmlText(*s).c_str());
    if (auto* d = value.asData())
        return plist_new_data(reinterpret_cast<const char*>(d->data()), d->size());
    if (auto* a = value.asArray()) {
        plist_t array = plist_new_array();
        for (const auto& item : *a)
            plist_array_append_item(array, toNode(item));
        return array;
    }
    if (auto* dictionary = value.asDictionary()) {
        plist_t node = plist_new_dict();
        for (const auto& [key, item] : *dictionary)
            plist_dict_set_item(node, xmlText(key).c_str(), toNode(item));
        return node;
    }
    // Property lists have no null: an empty string stands in.
    return plist_new_string("");
}

} // namespace

const PlistValue* PlistValue::find(std::string_view key) const
{
    const auto* dictionary = asDictionary();
    if (!dictionary)
        return nullptr;
    const auto it = dictionary->find(key);
    return it == dictionary->end() ? nullptr : &it->second;
}

Result<PlistValue> parsePlist(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return plistError("empty property list");
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max())
        return plistError("property list too large");
    if (auto acceptable = checkShape(bytes); !acceptable)
        return acceptable.error();
    plist_t raw = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &raw);
    const PlistHandle root(raw);
    if (!root)
        return plistError("not a property list");
    return fromNode(root.get(), 0);
}

Result<PlistValue> readPlistFile(const std::filesystem::path& path)
{
    const auto contents = readFile(path);
    if (!contents)
        return plistError(contents.error().message);
    return parsePlist({ reinterpret_cast<const std::uint8_t*>(contents->data()), contents->size() });
}

std::string xmlPlist(const PlistValue& value)
{
    const PlistHandle root(toNode(value));
    char* raw = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root.get(), &raw, &length);
    const CHandle<char, plist_to_xml_free> text(raw);
    return text ? std::string(text.get(), length) : std::string();
}

std::vector<std::uint8_t> binaryPlist(const PlistValue& value)
{
    const PlistHandle root(toNode(value));
    char* raw = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(root.get(), &raw, &length);
    const CHandle<char, plist_to_bin_free> bytes(raw);
    const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes.get());
    return bytes ? std::vector<std::uint8_t>(begin, begin + length) : std::vector<std::uint8_t>();
}

} // namespace kaleon
