#include "support/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

constexpr std::size_t MaxHeadBytes = 64 * 1024;
constexpr std::size_t MaxKeptRequests = 10000;
constexpr std::size_t MaxLiveConnections = 128;
constexpr int HeadTimeoutMs = 10000;

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

const char* reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

// Request line and headers; false when the head is not an HTTP request.
bool parseHead(const std::string& head, HttpRequest& req) {
  if (head.size() < 4 || head[0] < 'A' || head[0] > 'Z' ||
      head.compare(head.size() - 4, 4, "\r\n\r\n") != 0)
    return false;
  req.raw = head;
  std::size_t eol = head.find("\r\n");
  const std::string line = head.substr(0, eol);
  const auto first = line.find(' ');
  const auto last = line.rfind(' ');
  if (first == std::string::npos || first == last) return false;
  req.method = line.substr(0, first);
  req.target = line.substr(first + 1, last - first - 1);
  req.version = line.substr(last + 1);
  for (std::size_t pos = eol + 2; pos < head.size();) {
    const std::size_t end = head.find("\r\n", pos);
    if (end == std::string::npos || end == pos) break;
    const std::string field = head.substr(pos, end - pos);
    const auto colon = field.find(':');
    if (colon != std::string::npos)
      req.headers.emplace_back(field.substr(0, colon), trim(field.substr(colon + 1)));
    pos = end + 2;
  }
  return true;
}

}  // namespace

bool HttpRequest::hasHeader(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return strcasecmp(h.first.c_str(), name.c_str()) == 0; });
}

std::string HttpRequest::header(const std::string& name) const {
  for (const auto& h : headers)
    if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return h.second;
  return {};
}

HttpReply::HttpReply(int status, std::string body, std::vector<std::string> headers)
    : status(status), headers(std::move(headers)), body(std::move(body)) {}

HttpReply HttpReply::redirect(const std::string& location, int status) {
  return HttpReply(status, "moved", {"Location: " + location});
}

HttpReply HttpReply::raw(std::string bytes) {
  HttpReply r;
  r.kind = Kind::Raw;
  r.body = std::move(bytes);
  return r;
}

HttpReply HttpReply::silent() {
  HttpReply r;
  r.kind = Kind::Silent;
  return r;
}

HttpReply HttpReply::stallAfter(std::string body, std::size_t sentBytes) {
  HttpReply r(200, std::move(body));
  r.kind = Kind::StallAfter;
  r.sendBytes = sentBytes;
  return r;
}

HttpReply HttpReply::cutOff(std::string body, std::size_t sentBytes) {
  HttpReply r(200, std::move(body));
  r.kind = Kind::CutOff;
  r.sendBytes = sentBytes;
  return r;
}

HttpReply HttpReply::filler(std::uint64_t bytes, bool declareLength) {
  HttpReply r;
  r.kind = Kind::Filler;
  r.fillerBytes = bytes;
  r.contentLength = declareLength;
  return r;
}

HttpReply HttpReply::endless() {
  HttpReply r;
  r.kind = Kind::Endless;
  r.contentLength = false;
  return r;
}

HttpReply HttpReply::trickle(std::string body, std::chrono::milliseconds interval) {
  HttpReply r(200, std::move(body));
  r.kind = Kind::Trickle;
  r.interval = interval;
  return r;
}

struct HttpServer::Impl {
  int listenFd = -1;
  int stopPipe[2] = {-1, -1};  // readable once stopping: every wait polls it
  std::uint16_t port = 0;
  std::thread acceptor;
  bool stopped = false;

  struct Connection {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::list<Connection> connections;  // acceptor thread only (and stop() after joining it)

  mutable std::mutex mutex;  // guards what follows
  std::map<std::string, Handler> routes;
  Handler fallback = [](const HttpRequest&) { return HttpReply(404, "not found"); };
  std::vector<HttpRequest> kept;
  std::size_t requestCount = 0;
  std::size_t connectionCount = 0;

  // Waits until fd is ready for events or the server stops; false when stopping.
  bool waitFor(int fd, short events, int timeoutMs, short* revents) const {
    pollfd fds[2] = {{fd, events, 0}, {stopPipe[0], POLLIN, 0}};
    for (;;) {
      const int n = poll(fds, 2, timeoutMs);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || fds[1].revents) return false;
      *revents = fds[0].revents;
      return true;
    }
  }

  bool sendAll(int fd, const char* data, std::size_t len) const {
    while (len > 0) {
      short revents = 0;
      if (!waitFor(fd, POLLOUT, -1, &revents)) return false;
      if (revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
      const ssize_t n = send(fd, data, len, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
        return false;
      }
      data += n;
      len -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool sendAll(int fd, const std::string& s) const { return sendAll(fd, s.data(), s.size()); }

  // Waits, reading and dropping anything sent, until the client leaves or the server stops.
  void holdOpen(int fd, int timeoutMs = -1) const {
    char scratch[4096];
    for (;;) {
      short revents = 0;
      if (!waitFor(fd, POLLIN | POLLRDHUP, timeoutMs, &revents) || revents == 0) return;
      const ssize_t n = recv(fd, scratch, sizeof scratch, MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
    }
  }

  // Sends `count` generated bytes (forever when count is 0 and endless).
  bool sendFiller(int fd, std::uint64_t count, bool endless) const {
    static const std::string chunk = [] {
      std::string c(64 * 1024, '\0');
      for (std::size_t i = 0; i < c.size(); ++i) c[i] = static_cast<char>('a' + i % 26);
      return c;
    }();
    while (endless || count > 0) {
      const std::size_t n = endless ? chunk.size() : std::min<std::uint64_t>(count, chunk.size());
      if (!sendAll(fd, chunk.data(), n)) return false;
      if (!endless) count -= n;
    }
    return true;
  }

  // Reads through the blank line that ends the head; "" when the client stops short or
  // sends too much.
  std::string readHead(int fd, bool* tooLarge) const {
    std::string head;
    char buf[4096];
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(HeadTimeoutMs);
    while (head.find("\r\n\r\n") == std::string::npos) {
      if (head.size() > MaxHeadBytes) {
        *tooLarge = true;
        return {};
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      short revents = 0;
      if (left.count() <= 0 || !waitFor(fd, POLLIN, static_cast<int>(left.count()), &revents))
        return {};
      if (revents == 0) continue;
      const ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) return {};
      head.append(buf, static_cast<std::size_t>(n));
      // Not a request line (a TLS hello, say): no point waiting for a blank line.
      if (head[0] < 'A' || head[0] > 'Z') return head;
    }
    return head.substr(0, head.find("\r\n\r\n") + 4);
  }

  std::string statusAndHeaders(const HttpReply& r, const std::string* length) const {
    std::string out = "HTTP/1.0 " + std::to_string(r.status) + " " + reason(r.status) + "\r\n";
    if (length) out += "Content-Length: " + *length + "\r\n";
    for (const auto& h : r.headers) out += h + "\r\n";
    out += "Connection: close\r\n\r\n";
    return out;
  }

  // Returns true when the connection should be closed in an orderly way (after the reply).
  bool answer(int fd, const HttpReply& r) const {
    short revents = 0;
    if (r.delay.count() > 0 &&
        (!waitFor(fd, POLLRDHUP, static_cast<int>(r.delay.count()), &revents) || revents))
      return false;
    const std::string bodyLength = std::to_string(r.body.size());
    switch (r.kind) {
      case HttpReply::Kind::Complete:
        return sendAll(fd, statusAndHeaders(r, r.contentLength ? &bodyLength : nullptr) + r.body);
      case HttpReply::Kind::Raw:
        return sendAll(fd, r.body);
      case HttpReply::Kind::Silent:
        holdOpen(fd);
        return false;
      case HttpReply::Kind::StallAfter:
        if (sendAll(fd, statusAndHeaders(r, &bodyLength) + r.body.substr(0, r.sendBytes)))
          holdOpen(fd);
        return false;
      case HttpReply::Kind::CutOff:
        sendAll(fd, statusAndHeaders(r, &bodyLength) + r.body.substr(0, r.sendBytes));
        return false;
      case HttpReply::Kind::Filler: {
        const std::string length = std::to_string(r.fillerBytes);
        return sendAll(fd, statusAndHeaders(r, r.contentLength ? &length : nullptr)) &&
               sendFiller(fd, r.fillerBytes, false);
      }
      case HttpReply::Kind::Endless:
        if (sendAll(fd, statusAndHeaders(r, nullptr))) sendFiller(fd, 0, true);
        return false;
      case HttpReply::Kind::Trickle:
        if (!sendAll(fd, statusAndHeaders(r, &bodyLength))) return false;
        for (char byte : r.body) {
          if (!waitFor(fd, POLLRDHUP, static_cast<int>(r.interval.count()), &revents) || revents ||
              !sendAll(fd, &byte, 1))
            return false;
        }
        return true;
    }
    return false;
  }

  HttpReply replyFor(const HttpRequest& req) const {
    Handler handler;
    {
      std::lock_guard<std::mutex> lock(mutex);
      auto it = routes.find(req.target);
      handler = it != routes.end() ? it->second : fallback;
    }
    return handler(req);
  }

  void serve(int fd) {
    bool tooLarge = false;
    const std::string head = readHead(fd, &tooLarge);
    HttpRequest req;
    if (tooLarge) {
      sendAll(fd, statusAndHeaders(HttpReply(431, ""), nullptr));
    } else if (!head.empty() && !parseHead(head, req)) {
      sendAll(fd, statusAndHeaders(HttpReply(400, ""), nullptr));
    } else if (!head.empty()) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        ++requestCount;
        if (kept.size() < MaxKeptRequests) kept.push_back(req);
      }
      if (answer(fd, replyFor(req))) {
        // Orderly close: the client reads to the end before the socket goes away.
        shutdown(fd, SHUT_WR);
        holdOpen(fd, 2000);
      }
    }
    close(fd);
  }

  void acceptLoop() {
    for (;;) {
      short revents = 0;
      if (!waitFor(listenFd, POLLIN, -1, &revents)) return;
      const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EMFILE || errno == ENFILE)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        ++connectionCount;
      }
      for (auto it = connections.begin(); it != connections.end();) {
        if (*it->done) {
          it->thread.join();
          it = connections.erase(it);
        } else {
          ++it;
        }
      }
      if (connections.size() >= MaxLiveConnections) {
        close(fd);
        continue;
      }
      auto done = std::make_shared<std::atomic<bool>>(false);
      connections.push_back({std::thread([this, fd, done] {
                               serve(fd);
                               *done = true;
                             }),
                             done});
    }
  }
};

HttpServer::HttpServer(std::uint16_t port) : impl_(std::make_unique<Impl>()) {
  auto fail = [this](const char* what) {
    const std::string message = std::string("HttpServer: ") + what + ": " + std::strerror(errno);
    if (impl_->listenFd >= 0) close(impl_->listenFd);
    for (int fd : impl_->stopPipe)
      if (fd >= 0) close(fd);
    throw std::runtime_error(message);
  };
  if (pipe2(impl_->stopPipe, O_CLOEXEC) != 0) fail("pipe");
  impl_->listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (impl_->listenFd < 0) fail("socket");
  const int on = 1;
  setsockopt(impl_->listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (bind(impl_->listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) fail("bind");
  if (listen(impl_->listenFd, 64) != 0) fail("listen");
  socklen_t len = sizeof addr;
  if (getsockname(impl_->listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    fail("getsockname");
  impl_->port = ntohs(addr.sin_port);
  impl_->acceptor = std::thread([this] { impl_->acceptLoop(); });
}

HttpServer::~HttpServer() {
  stop();
}

void HttpServer::stop() {
  if (impl_->stopped) return;
  impl_->stopped = true;
  const char byte = 1;
  while (write(impl_->stopPipe[1], &byte, 1) < 0 && errno == EINTR) {
  }
  impl_->acceptor.join();
  close(impl_->listenFd);
  for (auto& c : impl_->connections) c.thread.join();
  impl_->connections.clear();
  close(impl_->stopPipe[0]);
  close(impl_->stopPipe[1]);
}

void HttpServer::route(const std::string& target, HttpReply reply) {
  route(target, [reply](const HttpRequest&) { return reply; });
}

void HttpServer::route(const std::string& target, Handler handler) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->routes[target] = std::move(handler);
}

void HttpServer::setFallback(Handler handler) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->fallback = std::move(handler);
}

std::uint16_t HttpServer::port() const {
  return impl_->port;
}

std::string HttpServer::url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + target;
}

std::vector<HttpRequest> HttpServer::requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->kept;
}

std::size_t HttpServer::requestCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->requestCount;
}

std::size_t HttpServer::connectionCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->connectionCount;
}
