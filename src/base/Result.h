#pragma once

// Everything that can fail (a loader, a parser, a socket) answers with a Result: the value, or
// an Error that carries the reason in words a log line can use.

#include <string>
#include <utility>
#include <variant>

namespace kavelin {

// An empty reason means the caller's own error line says all there is to say.
struct Error {
    std::string reason;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { return std::get<1>(state_); }
    const std::string& reason() const { return error().reason; }

private:
    std::variant<T, Error> state_;
};

// Success without a value.
struct Done {};
using Status = Result<Done>;

inline Status done() {
    return Done{};
}

inline Error failure(std::string reason) {
    return Error{std::move(reason)};
}

} // namespace kavelin
