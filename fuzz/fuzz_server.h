// For the targets of texts a server hands us: a local server that answers every request
// with the current input, reached as the proxy of every address so that nothing leaves the
// machine, and an application home in the scratch folder.
#pragma once
#include <memory>
#include <mutex>
#include <string>

#include "app_home.h"
#include "fuzz_support.h"
#include "http_client.h"
#include "local_server.h"
#include "update_server.h"

namespace fuzzing {

class ServedInput {
public:
    ServedInput() {
        core::set_app_home(scratch_folder());
        m_server.on("*", [this](const testsupport::Seen&) {
            std::lock_guard lock(m_mutex);
            return testsupport::Reply{.body = m_body};
        });
    }
    void serve(std::string_view body) {
        m_server.forget_requests();
        std::lock_guard lock(m_mutex);
        m_body = std::string(body);
    }
    /// The address is never reached: the proxy takes every request.
    update::ServerAddresses addresses() const {
        return update::ServerAddresses("http://updates.invalid/zelkon/");
    }
    update::HttpClient http() const {
        return update::HttpClient({.proxy_server = "127.0.0.1",
                                   .proxy_port = m_server.port(),
                                   .connect_timeout_seconds = 2,
                                   .stall_timeout_seconds = 2});
    }

private:
    testsupport::LocalServer m_server;
    std::mutex m_mutex;
    std::string m_body;
};

} // namespace fuzzing
