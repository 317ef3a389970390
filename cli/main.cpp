#include <iostream>

#include "cli.h"
#include "interrupt.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    cli::catch_interrupts();
    std::vector<std::string> args(argv + 1, argv + argc);
    int code = cli::run_cli(args, {std::cout, std::cerr, {}});
    std::cout.flush();
    return code;
}
