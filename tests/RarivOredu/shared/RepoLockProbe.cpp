// Takes the lock of the repository folder given as its argument, then exits: 0 once it held it.
#include <cstdio>
#include <exception>

#include "RarivOredu/shared/RepoLock.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    try {
        rarivoredu::RepoLock lock(argv[1]);
        std::puts("held");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
