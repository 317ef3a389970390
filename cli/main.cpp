#include <iostream>
#include <unistd.h>

#include "cli.h"
#include "interrupt.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    cli::catch_interrupts();
    std::vector<std::string> args(argv + 1, argv + argc);
    // Questions are asked only of a user who can see them and answer.
    const bool interactive = isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1;
    int code = cli::run_cli(args, {std::cout, std::cerr, {}, interactive, &std::cin});
    std::cout.flush();
    return code;
}
