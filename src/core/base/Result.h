#pragma once

#include <QString>

#include <type_traits>
#include <utility>
#include <variant>

// What kind of failure ended an operation. Callers that act on the kind (the
// command line's exit codes, the download's error window) switch on it; what
// the user reads is the failure's message, never derived from the code.
enum class ErrorCode {
    Usage,        // an option or a value the program cannot take
    NotFound,     // no such port, or no meter answers on it
    Permission,   // the system refused access (a port without dialout)
    Transfer,     // the meter link failed during an exchange
    Unreadable,   // a file that cannot be opened or read
    NotData,      // a file that is not of the kind it should be
    Damaged,      // a file or image that is of its kind but broken
    NoData,       // readable and sound, but holding no data
    TooLarge,     // more than the program reads
    WriteFailed,  // a file or folder that cannot be created or written
    Cancelled,    // the user stopped it
    Refused,      // the program's state refuses it now (busy, recording)
};

// A failure: its kind and the one sentence the user is shown.
struct Failure
{
    ErrorCode code = ErrorCode::Damaged;
    QString message;
};

// A value, or the failure that prevented it (std::expected in spirit). Every
// fallible operation of the core returns one, so a caller cannot mistake a
// failure for success and always has the user's message at hand.
template <typename T = void>
class [[nodiscard]] Result
{
public:
    Result(const T &value) : m_v(std::in_place_index<0>, value) {}
    Result(T &&value) : m_v(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_v(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }

    T &value() & { return std::get<0>(m_v); }
    const T &value() const & { return std::get<0>(m_v); }
    T &&value() && { return std::get<0>(std::move(m_v)); }
    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    T valueOr(T fallback) const { return ok() ? value() : std::move(fallback); }

    const Failure &failure() const { return std::get<1>(m_v); }
    ErrorCode code() const { return failure().code; }
    const QString &message() const { return failure().message; }

private:
    std::variant<T, Failure> m_v;
};

template <>
class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : m_failed(true), m_failure(std::move(failure)) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }

    const Failure &failure() const { return m_failure; }
    ErrorCode code() const { return m_failure.code; }
    const QString &message() const { return m_failure.message; }

private:
    bool m_failed = false;
    Failure m_failure;
};

inline Failure fail(ErrorCode code, QString message)
{
    return Failure{code, std::move(message)};
}
