// A small HTTP/1.1 server on 127.0.0.1 for tests: one thread accepts, one
// thread per connection answers through a handler and closes the connection.
// Handlers may block; Stop() wakes them through Released() and joins all.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ztest {

struct HttpRequest
{
    QByteArray method;
    QByteArray target; // path and query
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray header(const char *name) const
    {
        for (const auto &h : headers)
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        return {};
    }
};

struct HttpResponse
{
    int status = 200;
    QByteArray reason = "OK";
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool dropConnection = false; // close without answering
};

class HttpServer
{
public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    explicit HttpServer(Handler handler) : m_handler(std::move(handler))
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
            || ::listen(m_listen, 64) != 0)
            throw std::runtime_error("test server cannot listen");
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~HttpServer() { Stop(); }

    void Stop()
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopped)
                return;
            m_stopped = true;
        }
        m_released.notify_all();
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        if (m_acceptor.joinable())
            m_acceptor.join();
        std::vector<std::thread> workers;
        {
            std::lock_guard lock(m_mutex);
            workers.swap(m_workers);
        }
        for (auto &w : workers)
            w.join();
    }

    int Port() const { return m_port; }
    QString Url(const QString &path = QStringLiteral("/")) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }

    // For handlers that stall: waits until the server stops or the time passes.
    void WaitReleased(std::chrono::milliseconds max)
    {
        std::unique_lock lock(m_mutex);
        m_released.wait_for(lock, max, [this] { return m_stopped; });
    }

    int RequestCount() const { return m_requests.load(); }

private:
    void acceptLoop()
    {
        for (;;) {
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                return;
            std::lock_guard lock(m_mutex);
            if (m_stopped) {
                ::close(fd);
                return;
            }
            m_workers.emplace_back([this, fd] { serve(fd); });
        }
    }

    static bool readMore(int fd, QByteArray &buf)
    {
        char chunk[8192];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        buf.append(chunk, qsizetype(n));
        return true;
    }

    void serve(int fd)
    {
        QByteArray buf;
        qsizetype headerEnd = -1;
        while ((headerEnd = buf.indexOf("\r\n\r\n")) < 0)
            if (!readMore(fd, buf)) {
                ::close(fd);
                return;
            }
        HttpRequest req;
        const QList<QByteArray> lines = buf.left(headerEnd).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        req.method = first.value(0);
        req.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                req.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        const qsizetype length = req.header("Content-Length").toLongLong();
        req.body = buf.mid(headerEnd + 4);
        while (req.body.size() < length)
            if (!readMore(fd, req.body))
                break;
        ++m_requests;

        const HttpResponse resp = m_handler(req);
        if (!resp.dropConnection) {
            QByteArray out = "HTTP/1.1 " + QByteArray::number(resp.status) + ' ' + resp.reason + "\r\n";
            for (const auto &h : resp.headers)
                out += h.first + ": " + h.second + "\r\n";
            out += "Content-Length: " + QByteArray::number(resp.body.size()) + "\r\n";
            out += "Connection: close\r\n\r\n";
            out += resp.body;
            qsizetype sent = 0;
            while (sent < out.size()) {
                const ssize_t n = ::send(fd, out.constData() + sent, size_t(out.size() - sent), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
            }
        }
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }

    Handler m_handler;
    int m_listen = -1;
    int m_port = 0;
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_stopped = false;
    std::vector<std::thread> m_workers;
    std::atomic<int> m_requests{0};
};

} // namespace ztest
