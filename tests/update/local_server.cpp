#include "local_server.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace fs = std::filesystem;

struct LocalServer::Impl {
    httplib::Server server;
    std::thread thread;
    mutable std::mutex mutex;
    std::map<std::string, Handler> handlers;
    fs::path folder;
    std::vector<Seen> seen;
    std::atomic<bool> stopping = false;

    Reply answer(const Seen& request) {
        Handler handler;
        {
            std::lock_guard lock(mutex);
            seen.push_back(request);
            if (auto it = handlers.find(request.path); it != handlers.end())
                handler = it->second;
            else if (auto any = handlers.find("*"); any != handlers.end())
                handler = any->second;
        }
        if (handler)
            return handler(request);
        return from_folder(request.path);
    }

    Reply from_folder(const std::string& path) const {
        if (!folder.empty() && path.find("..") == std::string::npos) {
            std::ifstream in(folder / fs::path(path).relative_path(), std::ios::binary);
            if (in && !fs::is_directory(folder / fs::path(path).relative_path())) {
                std::ostringstream body;
                body << in.rdbuf();
                return {200, body.str(), "application/octet-stream"};
            }
        }
        return {404, "<html><body>404 Not Found</body></html>", "text/html"};
    }
};

namespace {

// A pause that stop() cuts short, so that a stalling answer never holds up a test's end.
void nap(int ms, const std::atomic<bool>& stopping) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void send(const Reply& reply, httplib::Response& res, const std::atomic<bool>& stopping) {
    nap(reply.hold_ms, stopping);
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers)
        res.set_header(name, value);
    if (reply.endless) {
        auto left = std::make_shared<std::uint64_t>(reply.endless);
        res.set_chunked_content_provider(
            reply.content_type, [left](std::size_t, httplib::DataSink& sink) {
                std::string piece(std::min<std::uint64_t>(*left, 64 * 1024), 'x');
                *left -= piece.size();
                sink.write(piece.data(), piece.size());
                if (*left == 0)
                    sink.done();
                return true;
            });
        return;
    }
    auto length = std::max<std::uint64_t>(reply.declared_length, reply.body.size());
    auto body = std::make_shared<std::string>(reply.body);
    int ms = reply.pause_ms;
    res.set_content_provider(
        length, reply.content_type,
        [body, ms, &stopping](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset >= body->size())
                return false; // announced more than there is: drop the connection
            nap(ms, stopping);
            auto n = std::min<std::size_t>(4096, body->size() - offset);
            sink.write(body->data() + offset, n);
            return true;
        });
}

} // namespace

LocalServer::LocalServer() : m_impl(std::make_unique<Impl>()) {
    auto handle = [this](const httplib::Request& req, httplib::Response& res) {
        send(m_impl->answer({req.target, req.path, req.get_header_value("Host")}), res,
             m_impl->stopping);
    };
    m_impl->server.Get(".*", handle);
    m_impl->server.set_keep_alive_max_count(1);
    m_port = m_impl->server.bind_to_any_port("127.0.0.1");
    m_impl->thread = std::thread([this] { m_impl->server.listen_after_bind(); });
    while (!m_impl->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LocalServer::~LocalServer() {
    stop();
}

void LocalServer::stop() {
    m_impl->stopping = true;
    m_impl->server.stop();
    if (m_impl->thread.joinable())
        m_impl->thread.join();
}

void LocalServer::serve_folder(fs::path folder) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->folder = std::move(folder);
}

void LocalServer::on(std::string path, Handler handler) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->handlers[std::move(path)] = std::move(handler);
}

void LocalServer::on(std::string path, Reply reply) {
    on(std::move(path), [reply](const Seen&) { return reply; });
}

std::string LocalServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

std::vector<Seen> LocalServer::requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->seen;
}

void LocalServer::forget_requests() {
    std::lock_guard lock(m_impl->mutex);
    m_impl->seen.clear();
}

std::vector<std::string> LocalServer::paths() const {
    std::vector<std::string> out;
    for (const auto& r : requests())
        out.push_back(r.path);
    return out;
}

int dead_port() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

} // namespace testsupport
