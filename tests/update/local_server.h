#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

/// What the local server answers to one request, with the faults a real server may show.
struct Reply {
    int status = 200;
    std::string body;
    std::string content_type = "text/plain";
    std::vector<std::pair<std::string, std::string>> headers; ///< e.g. {"Location", url}
    /// Content-Length to announce; above body.size() the connection drops after the body.
    std::uint64_t declared_length = 0;
    int pause_ms = 0;          ///< pause before each 4 KiB piece of the body (a slow server)
    int hold_ms = 0;           ///< pause before the answer starts (a server that stalls)
    std::uint64_t endless = 0; ///< when set: this many bytes of 'x', chunked, no length
};

/// One request as the server saw it.
struct Seen {
    std::string target; ///< the request line's target as sent (absolute through a proxy)
    std::string path;   ///< decoded path
    std::string host;   ///< the Host header
};

using Handler = std::function<Reply(const Seen& request)>;

/// An HTTP server on 127.0.0.1 in a thread of the test. It answers the paths given to
/// on(), then files below a folder given to serve_folder() (404 with an HTML page when
/// missing). Every request is recorded.
class LocalServer {
public:
    LocalServer();
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    void serve_folder(std::filesystem::path folder);
    /// `path` is matched exactly against the decoded path; "*" answers every request.
    void on(std::string path, Handler handler);
    void on(std::string path, Reply reply);

    int port() const { return m_port; }
    std::string url(std::string_view path = "/") const; ///< "http://127.0.0.1:port" + path
    std::string root() const { return url("/zelkon/"); }
    std::vector<Seen> requests() const;
    /// Drops the requests seen so far; a server that answers millions keeps memory flat.
    void forget_requests();
    /// The decoded paths of the requests, in order.
    std::vector<std::string> paths() const;

    /// Stops answering, cutting short any pause; later requests are refused as by a dead
    /// server.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    int m_port = 0;
};

/// A port on 127.0.0.1 where nothing listens (bound once, then closed).
int dead_port();

} // namespace testsupport
