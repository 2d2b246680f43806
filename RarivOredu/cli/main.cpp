#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "RarivOredu/cli/Messages.h"
#include "RarivOredu/cli/Program.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    rarivoredu::cli::Program program(std::cout, std::cerr, std::cin, rarivoredu::cli::Messages::fromEnvironment(),
                                     isatty(STDERR_FILENO) == 1);
    const int status = program.run(std::vector<std::string>(argv + 1, argv + argc));
    std::cout.flush();
    return std::cout.fail() && status == 0 ? 1 : status;
}
