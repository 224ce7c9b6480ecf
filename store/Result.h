#pragma once

#include <QString>

#include <optional>
#include <utility>

// What failed, in words the operator can read; the window decides how to show it.
struct Failure
{
    QString message;
};

// A value or the reason there is none. Store functions return this instead of throwing or
// showing anything themselves.
template <typename T> class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return *m_value; }
    T& value() & { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const T* operator->() const { return &*m_value; }
    T* operator->() { return &*m_value; }
    const QString& error() const { return m_failure.message; }

private:
    std::optional<T> m_value;
    Failure m_failure;
};

// Success carries nothing; failure carries its message.
class Status
{
public:
    Status() = default;
    Status(Failure failure) : m_failed(true), m_message(std::move(failure.message)) {}
    static Status success() { return {}; }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return m_message; }

private:
    bool m_failed = false;
    QString m_message;
};
