// A Windows program that says it runs and then waits to be ended: the running
// product that an update must not replace.
#include <windows.h>

#include <cstdio>

int main() {
    std::printf("running\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
