// QMutexLocker that ThreadSanitizer can see through. QMutex locks inside the
// Qt library, which is not built with the sanitizer, so a sanitized build
// cannot tell that the lock orders the accesses it guards and reports them
// as races. Here the lock and unlock are announced to it as well.
#pragma once

#include <QMutex>

#if defined(__SANITIZE_THREAD__)
#define TESSARY_ANNOTATE_MUTEX 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TESSARY_ANNOTATE_MUTEX 1
#endif
#endif

#ifdef TESSARY_ANNOTATE_MUTEX
#include <sanitizer/tsan_interface.h>
#endif

class AnnotatedMutexLocker
{
public:
    explicit AnnotatedMutexLocker(QMutex& mutex) : m_mutex(mutex)
    {
#ifdef TESSARY_ANNOTATE_MUTEX
        __tsan_mutex_pre_lock(&m_mutex, __tsan_mutex_not_static);
        m_mutex.lock();
        __tsan_mutex_post_lock(&m_mutex, __tsan_mutex_not_static, 0);
#else
        m_mutex.lock();
#endif
    }

    ~AnnotatedMutexLocker()
    {
#ifdef TESSARY_ANNOTATE_MUTEX
        __tsan_mutex_pre_unlock(&m_mutex, 0);
        m_mutex.unlock();
        __tsan_mutex_post_unlock(&m_mutex, 0);
#else
        m_mutex.unlock();
#endif
    }

    AnnotatedMutexLocker(const AnnotatedMutexLocker&) = delete;
    AnnotatedMutexLocker& operator=(const AnnotatedMutexLocker&) = delete;

private:
    QMutex& m_mutex;
};
