#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace kaleon {

// What went wrong: a domain (which library), a code within it and a readable text.
struct Error {
    std::string domain;
    int code = 0;
    std::string message;

    friend bool operator==(const Error&, const Error&) = default;
};

// Either a value or an Error. Member names follow std::expected, so the day we build
// as C++23 this becomes `template<class T> using Result = std::expected<T, Error>;`.
template<class T>
class [[nodiscard]] Result {
public:
    Result(T value)
        : m_storage(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Error error)
        : m_storage(std::in_place_index<1>, std::move(error))
    {
    }

    bool has_value() const { return m_storage.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() &
    {
        assert(has_value());
        return std::get<0>(m_storage);
    }
    const T& value() const&
    {
        assert(has_value());
        return std::get<0>(m_storage);
    }
    T&& value() &&
    {
        assert(has_value());
        return std::get<0>(std::move(m_storage));
    }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const
    {
        assert(!has_value());
        return std::get<1>(m_storage);
    }

private:
    std::variant<T, Error> m_storage;
};

template<>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error)
        : m_error(std::move(error))
        , m_failed(true)
    {
    }

    bool has_value() const { return !m_failed; }
    explicit operator bool() const { return has_value(); }
    void value() const { assert(has_value()); }
    const Error& error() const
    {
        assert(m_failed);
        return m_error;
    }

private:
    Error m_error;
    bool m_failed = false;
};

} // namespace kaleon
