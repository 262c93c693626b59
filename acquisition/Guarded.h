#pragma once

#include <QMutex>
#include <QMutexLocker>

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
        QMutexLocker lock(&mutex_);
        value_ = value;
        return *this;
    }
    T get() const
    {
        QMutexLocker lock(&mutex_);
        return value_;
    }

private:
    mutable QMutex mutex_;
    T value_{};
};
