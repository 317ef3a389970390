#include "interrupt.h"

#include <atomic>
#include <csignal>

namespace cli {
namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void on_interrupt(int signal_number) {
    if (g_interrupted.exchange(true)) {
        std::signal(signal_number, SIG_DFL);
        std::raise(signal_number);
    }
}

} // namespace

void catch_interrupts() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interrupted() {
    return g_interrupted.load();
}

} // namespace cli
