#pragma once

#include <QString>

#include <optional>
#include <utility>

// The value of an operation that can fail, or the user-facing description of
// why it failed.
template <typename T>
class Result {
public:
    static Result success(T value) { return Result(std::move(value), {}); }
    static Result failure(QString error) { return Result(std::nullopt, std::move(error)); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only meaningful when ok().
    const T& value() const& { return *value_; }
    T&& value() && { return std::move(*value_); }
    // Empty when ok().
    const QString& error() const { return error_; }

private:
    Result(std::optional<T> value, QString error)
        : value_(std::move(value))
        , error_(std::move(error))
    {
    }

    std::optional<T> value_;
    QString error_;
};
