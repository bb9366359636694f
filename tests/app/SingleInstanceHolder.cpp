// Test helper: takes the single-instance guard of the name given and holds it until killed
// (at most 60 s). Prints "held" or "refused".

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/SingleInstance.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    velor::SingleInstance guard(argv[1]);
    if (!guard.acquire()) {
        std::puts("refused");
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return 0;
}
