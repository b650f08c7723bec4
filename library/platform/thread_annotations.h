// Clang's thread-safety attributes, so the compiler checks which lock
// guards which field. Other compilers see nothing.
#pragma once

#if defined(__clang__)
#define TSA_ATTRIBUTE(x) __attribute__((x))
#else
#define TSA_ATTRIBUTE(x)
#endif

#define TSA_CAPABILITY(name) TSA_ATTRIBUTE(capability(name))
#define TSA_SCOPED_CAPABILITY TSA_ATTRIBUTE(scoped_lockable)
#define TSA_GUARDED_BY(lock) TSA_ATTRIBUTE(guarded_by(lock))
#define TSA_PT_GUARDED_BY(lock) TSA_ATTRIBUTE(pt_guarded_by(lock))
#define TSA_ACQUIRE(...) TSA_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define TSA_RELEASE(...) TSA_ATTRIBUTE(release_capability(__VA_ARGS__))
#define TSA_TRY_ACQUIRE(...) TSA_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define TSA_REQUIRES(...) TSA_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define TSA_EXCLUDES(...) TSA_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define TSA_NO_ANALYSIS TSA_ATTRIBUTE(no_thread_safety_analysis)
