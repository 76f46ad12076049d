#pragma once

// Servers on 127.0.0.1 for network tests: a cpp-httplib server on its own thread, a raw server
// that answers with exact bytes (and records exact requests), and a socket that takes
// connections and never answers. Every one picks a free port and stops in its destructor.

#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace loopback {

inline int ListenOnFreePort(int& port, int backlog) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, backlog) != 0) {
        ::close(fd);
        throw std::runtime_error("bind or listen failed");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

// A port on which nothing listens (connections are refused).
inline int ClosedPort() {
    int port = 0;
    int fd = ListenOnFreePort(port, 1);
    ::close(fd);
    return port;
}

// cpp-httplib on a thread of its own. Add routes with Server() before Start().
class CHttpServer {
public:
    CHttpServer() = default;
    explicit CHttpServer(httplib::Server* server) : m_external(server) {}
    ~CHttpServer() { Stop(); }
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    httplib::Server& Server() { return m_external ? *m_external : m_server; }

    // address: any of 127.0.0.0/8, so that tests can stand for several hosts.
    void Start(const std::string& address = "127.0.0.1") {
        m_address = address;
        m_port = Server().bind_to_any_port(address);
        if (m_port <= 0)
            throw std::runtime_error("cannot bind a test server");
        m_thread = std::thread([this] { Server().listen_after_bind(); });
        // The socket listens already; wait (bounded) until the accept loop runs so that Stop()
        // cannot come before it.
        for (int i = 0; i < 500 && !Server().is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    void Stop() {
        if (m_thread.joinable()) {
            Server().stop();
            m_thread.join();
        }
    }

    int Port() const { return m_port; }
    std::string Url(const std::string& path = "/") const {
        return "http://" + m_address + ":" + std::to_string(m_port) + path;
    }

private:
    std::string m_address = "127.0.0.1";
    httplib::Server m_server;
    httplib::Server* m_external = nullptr;
    std::thread m_thread;
    int m_port = 0;
};

// Answers every connection with the bytes the responder returns for the request read from it,
// then closes. Requests are recorded byte for byte.
class CRawServer {
public:
    using Responder = std::function<std::string(const std::string& request)>;

    explicit CRawServer(Responder responder) : m_responder(std::move(responder)) {
        m_fd = ListenOnFreePort(m_port, 16);
        m_thread = std::thread([this] { Run(); });
    }
    ~CRawServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    CRawServer(const CRawServer&) = delete;
    CRawServer& operator=(const CRawServer&) = delete;

    int Port() const { return m_port; }
    std::string Url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    std::vector<std::string> Requests() const {
        std::lock_guard lock(m_lock);
        return m_requests;
    }

    // A whole answer with a Content-Length that matches the body.
    static std::string Answer(int status, const std::string& body,
                              const std::string& extraHeaders = "") {
        return "HTTP/1.1 " + std::to_string(status) +
               " X\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
    }

private:
    void Run() {
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            int client = ::accept(m_fd, nullptr, nullptr);
            if (client < 0)
                continue;
            std::string request = ReadRequest(client);
            {
                std::lock_guard lock(m_lock);
                m_requests.push_back(request);
            }
            std::string answer = m_responder(request);
            size_t sent = 0;
            while (sent < answer.size()) {
                ssize_t n =
                    ::send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += static_cast<size_t>(n);
            }
            ::shutdown(client, SHUT_WR);
            ::close(client);
        }
    }

    // Headers, and as many body bytes as Content-Length says; bounded by time and size.
    std::string ReadRequest(int client) {
        std::string data;
        char buffer[4096];
        size_t needed = std::string::npos;
        for (int rounds = 0; rounds < 200 && data.size() < (1u << 20); ++rounds) {
            if (needed != std::string::npos && data.size() >= needed)
                break;
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            data.append(buffer, static_cast<size_t>(n));
            size_t end = data.find("\r\n\r\n");
            if (end != std::string::npos && needed == std::string::npos) {
                needed = end + 4;
                std::string head = data.substr(0, end);
                for (char& c : head)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                size_t length = head.find("content-length:");
                if (length != std::string::npos)
                    needed += std::stoul(head.substr(length + 15));
            }
        }
        return data;
    }

    Responder m_responder;
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
};

// Listens and never accepts: the kernel completes the connections, and nothing is ever said.
class CSilentServer {
public:
    CSilentServer() { m_fd = ListenOnFreePort(m_port, 64); }
    ~CSilentServer() { ::close(m_fd); }
    CSilentServer(const CSilentServer&) = delete;
    CSilentServer& operator=(const CSilentServer&) = delete;
    std::string Url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};

// Takes every connection and reads what comes, but never answers: a transfer to it hangs until
// the client gives up. Counts the connections taken and those the client has closed since.
class CHangingServer {
public:
    CHangingServer() {
        m_fd = ListenOnFreePort(m_port, 16);
        m_thread = std::thread([this] { Run(); });
    }
    ~CHangingServer() {
        m_stop = true;
        m_thread.join();
        for (const pollfd& client : m_clients)
            ::close(client.fd);
        ::close(m_fd);
    }
    CHangingServer(const CHangingServer&) = delete;
    CHangingServer& operator=(const CHangingServer&) = delete;

    std::string Url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    int Accepted() const { return m_accepted; }
    int ClosedByClient() const { return m_closed; }

private:
    void Run() {
        while (!m_stop) {
            std::vector<pollfd> watched{{m_fd, POLLIN, 0}};
            for (const pollfd& client : m_clients)
                if (client.events)
                    watched.push_back(client);
            if (::poll(watched.data(), watched.size(), 20) <= 0)
                continue;
            if (watched[0].revents & POLLIN) {
                if (int client = ::accept(m_fd, nullptr, nullptr); client >= 0) {
                    m_clients.push_back({client, POLLIN, 0});
                    ++m_accepted;
                }
            }
            for (size_t i = 1; i < watched.size(); ++i) {
                if (!watched[i].revents)
                    continue;
                char buffer[4096];
                if (::recv(watched[i].fd, buffer, sizeof buffer, 0) > 0)
                    continue;
                for (pollfd& client : m_clients)
                    if (client.fd == watched[i].fd)
                        client.events = 0; // closed: no longer watched
                ++m_closed;
            }
        }
    }

    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::atomic<int> m_closed{0};
    std::vector<pollfd> m_clients; // the server thread's own
    std::thread m_thread;
};

} // namespace loopback
