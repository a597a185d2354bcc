// A stand-in for a loader that runs a program it is not: a compatibility layer
// maps the program's image, an interpreter names it on its command line. The
// file named by STANDIN_MAP is mapped (so it need not appear on the command
// line); the arguments are only carried. Prints "ready" once set up, then
// waits until it is stopped.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main() {
    if (const char* image = std::getenv("STANDIN_MAP")) {
        int fd = open(image, O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || fstat(fd, &st) != 0 || st.st_size == 0 ||
            mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0) == MAP_FAILED) {
            std::perror(image);
            return 1;
        }
        close(fd);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}
