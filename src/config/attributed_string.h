#pragma once

#include "gfx/color.h"

#include <optional>
#include <string>
#include <vector>

namespace kaleon::config {

// What a run of text may carry.
struct TextAttributes {
    std::optional<std::string> link; // the address it links to
    std::optional<gfx::Color> foreground;
    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

enum class TextAlignment { Left, Center, Right };

// Text made of runs, each with its own attributes, and a paragraph alignment over all of it.
// Positions are byte offsets into the UTF-8 text.
class AttributedString {
public:
    struct Run {
        std::string text;
        TextAttributes attributes;
    };

    AttributedString() = default;
    explicit AttributedString(std::string text, TextAttributes attributes = {})
    {
        append(std::move(text), std::move(attributes));
    }

    void append(std::string text, TextAttributes attributes = {})
    {
        m_runs.push_back({ std::move(text), std::move(attributes) });
    }
    void append(const AttributedString& other)
    {
        m_runs.insert(m_runs.end(), other.m_runs.begin(), other.m_runs.end());
    }

    const std::vector<Run>& runs() const { return m_runs; }
    std::string text() const
    {
        std::string all;
        for (const auto& run : m_runs)
            all += run.text;
        return all;
    }
    bool isEmpty() const { return text().empty(); }

    const std::optional<TextAlignment>& alignment() const { return m_alignment; }
    void setAlignment(TextAlignment alignment) { m_alignment = alignment; }

private:
    std::vector<Run> m_runs;
    std::optional<TextAlignment> m_alignment;
};

} // namespace kaleon::config
