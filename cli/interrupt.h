#pragma once

namespace cli {

/// Ctrl-C and SIGTERM set a flag instead of ending the program at once, so that a command
/// can stop between files and clean up its temporary files. A second Ctrl-C ends it.
void catch_interrupts();
bool interrupted();

} // namespace cli
