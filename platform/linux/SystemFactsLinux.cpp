#include "platform/SystemFacts.h"

#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <string_view>

bool Is64BitSystem() noexcept {
    struct utsname u {};
    if (uname(&u) != 0) return sizeof(void*) == 8;
    const std::string_view machine = u.machine;
    return machine.find("64") != std::string_view::npos || machine == "s390x";
}

std::string KernelRelease() {
    struct utsname u {};
    return uname(&u) == 0 ? u.release : "";
}

int64_t AvailableDiskBytes(const std::filesystem::path& path) {
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}
