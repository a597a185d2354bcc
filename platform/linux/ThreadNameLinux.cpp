#include "platform/ThreadName.h"

#include <pthread.h>

void SetCurrentThreadName(const std::string& name) noexcept { pthread_setname_np(pthread_self(), name.c_str()); }
