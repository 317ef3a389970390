#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace core {

/// Why an operation failed, in words a user can read ("cannot open 'x.zdb': No such file").
struct Error {
    enum class Code { Failed, Cancelled, NotFound, BadInput, Exists };
    Code code = Code::Failed;
    std::string message;

    static Error failed(std::string text) { return {Code::Failed, std::move(text)}; }
    static Error bad_input(std::string text) { return {Code::BadInput, std::move(text)}; }
    static Error not_found(std::string text) { return {Code::NotFound, std::move(text)}; }
    static Error exists(std::string text) { return {Code::Exists, std::move(text)}; }
};

/// A value or the reason there is none. The caller must look at it.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : m_v(std::move(value)) {}
    Result(Error error) : m_v(std::move(error)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<0>(m_v);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(m_v);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(m_v));
    }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const {
        assert(!ok());
        return std::get<1>(m_v);
    }

private:
    std::variant<T, Error> m_v;
};

/// Success or the reason for failure.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : m_error(std::move(error)), m_ok(false) {}
    static Status success() { return {}; }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const Error& error() const {
        assert(!m_ok);
        return m_error;
    }

private:
    Error m_error;
    bool m_ok = true;
};

} // namespace core
