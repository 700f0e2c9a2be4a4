#pragma once
// A small real HTTP server on 127.0.0.1 for tests (and the cover server tool): each request is
// recorded byte for byte and answered by a scripted reply, faults included.
//
//   HttpServer server;                               // listens on a free port, own thread
//   server.route("/a.jpg", HttpReply{200, jpeg});
//   server.route("/old", HttpReply::redirect("/a.jpg"));
//   server.route("/hang", HttpReply::silent());
//   httpGetBytes(server.url("/a.jpg"));
//   server.requests()[0].target == "/a.jpg";
//
// Every connection carries one request and ends with the reply (HTTP/1.0 style). Requests are
// matched on their target exactly as it arrived (path and query, raw bytes); targets without a
// route go to the fallback, by default "404 Not Found". Stalls and endless bodies last until
// the client leaves or the server stops, so a test never hangs on its own server.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct HttpRequest {
  std::string raw;      // request line and headers exactly as sent, through the blank line
  std::string method;   // "GET"
  std::string target;   // the bytes between method and version, e.g. "/Cover/a.jpg?x=1"
  std::string version;  // "HTTP/1.0"
  std::vector<std::pair<std::string, std::string>> headers;  // in order; values trimmed

  bool hasHeader(const std::string& name) const;      // names compare case-insensitively
  std::string header(const std::string& name) const;  // first value, "" when absent
};

struct HttpReply {
  enum class Kind {
    Complete,    // status line, headers, the whole body, then close
    Raw,         // the bytes of `body` and nothing else, then close
    Silent,      // sends nothing at all
    StallAfter,  // headers declaring the whole body, its first `sendBytes` bytes, then nothing
    CutOff,      // headers declaring the whole body, its first `sendBytes` bytes, then close
    Filler,      // `fillerBytes` generated body bytes (not held in memory), then close
    Endless,     // generated body bytes without end
    Trickle,     // headers declaring the whole body, then one byte of it every `interval`
  };

  Kind kind = Kind::Complete;
  int status = 200;
  std::vector<std::string> headers;  // extra header lines, "Name: value"
  std::string body;
  bool contentLength = true;              // send a Content-Length header (Complete, Filler)
  std::size_t sendBytes = 0;              // StallAfter, CutOff
  std::uint64_t fillerBytes = 0;          // Filler
  std::chrono::milliseconds delay{0};     // silence before the reply starts
  std::chrono::milliseconds interval{0};  // Trickle

  HttpReply() = default;
  HttpReply(int status, std::string body, std::vector<std::string> headers = {});

  static HttpReply redirect(const std::string& location, int status = 302);
  static HttpReply raw(std::string bytes);
  static HttpReply silent();
  static HttpReply stallAfter(std::string body, std::size_t sentBytes);
  static HttpReply cutOff(std::string body, std::size_t sentBytes);
  static HttpReply filler(std::uint64_t bytes, bool declareLength = true);
  static HttpReply endless();
  static HttpReply trickle(std::string body, std::chrono::milliseconds interval);
};

class HttpServer {
 public:
  using Handler = std::function<HttpReply(const HttpRequest&)>;

  // Listens on 127.0.0.1 at port (0: a free port the kernel picks) and serves on its own
  // threads at once. Throws std::runtime_error when it cannot listen.
  explicit HttpServer(std::uint16_t port = 0);
  ~HttpServer();  // stop()
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  void route(const std::string& target, HttpReply reply);
  void route(const std::string& target, Handler handler);  // a reply made per request
  void setFallback(Handler handler);                       // for targets without a route

  std::uint16_t port() const;
  std::string url(const std::string& target = "/") const;  // "http://127.0.0.1:PORT" + target

  // Requests in the order they arrived (the first 10000 kept), and counts of all of them and
  // of accepted connections (traffic that never became a request included).
  std::vector<HttpRequest> requests() const;
  std::size_t requestCount() const;
  std::size_t connectionCount() const;

  // Ends stalls and endless replies, closes every connection and the listening socket, and
  // waits for its threads. Later connections are refused. Safe to call twice.
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
