#pragma once

#include "http_client.h"

namespace testsupport {

/// Short timeouts, so that a stalling or dead server fails a test in about a second.
inline update::HttpOptions quick_http() {
    update::HttpOptions options;
    options.connect_timeout_seconds = 2;
    options.stall_timeout_seconds = 1;
    return options;
}

} // namespace testsupport
