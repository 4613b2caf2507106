#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace mavrel {

// Why an operation failed: a text for the user or the log, and a number where the caller
// needs one (the machine-wide store's error numbers, an HTTP status, ...).
struct Error
{
    QString message;
    qint64 code = 0;
};

// The one result type across module boundaries: a value or an Error, never an exception.
template<typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Error error) : m_error(std::move(error)) {}

    static Result failure(QString message, qint64 code = 0)
    {
        return Error{std::move(message), code};
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    T &value() & { return *m_value; }
    const T &value() const & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    T valueOr(T fallback) const { return m_value ? *m_value : std::move(fallback); }

    const Error &error() const { return m_error; }

private:
    std::optional<T> m_value;
    Error m_error;
};

template<> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Error error) : m_failed(true), m_error(std::move(error)) {}

    static Result failure(QString message, qint64 code = 0)
    {
        return Error{std::move(message), code};
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Error &error() const { return m_error; }

private:
    bool m_failed = false;
    Error m_error;
};

} // namespace mavrel
