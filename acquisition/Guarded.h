#pragma once

#include <mutex>
#include <utility>

// A value that one thread assigns while another reads it: assignment and
// get() are each one locked copy, so a reader never sees a half-written value.
template <typename T>
class Guarded
{
public:
    Guarded() = default;
    explicit Guarded(T value) : value_(std::move(value)) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    Guarded& operator=(const T& value)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        value_ = value;
        return *this;
    }
    T get() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }

private:
    mutable std::mutex mutex_;
    T value_{};
};
