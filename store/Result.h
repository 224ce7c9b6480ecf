#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

// What failed, in words the operator can read; the window decides how to show it.
struct Failure
{
    QString message;
};

// A value or the reason there is none. Store functions return this instead of throwing or
// showing anything themselves.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return checked(); }
    T& value() & { return checked(); }
    T&& value() && { return std::move(checked()); }
    const T* operator->() const { return &checked(); }
    T* operator->() { return &checked(); }
    const QString& error() const { return m_failure.message; }
    // Hands the failure on to a caller returning another kind of result.
    Failure failure() const { return m_failure; }

private:
    // Reading a value that is not there is a fault in the caller; stop before it spreads, in
    // release builds too.
    const T& checked() const
    {
        if (!m_value)
            qFatal("value of a failed result read: %s", qPrintable(m_failure.message));
        return *m_value;
    }
    T& checked()
    {
        if (!m_value)
            qFatal("value of a failed result read: %s", qPrintable(m_failure.message));
        return *m_value;
    }

    std::optional<T> m_value;
    Failure m_failure;
};

// Success carries nothing; failure carries its message.
class [[nodiscard]] Status
{
public:
    Status() = default;
    Status(Failure failure) : m_failed(true), m_message(std::move(failure.message)) {}
    static Status success() { return {}; }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return m_message; }
    Failure failure() const { return Failure{m_message}; }

private:
    bool m_failed = false;
    QString m_message;
};
