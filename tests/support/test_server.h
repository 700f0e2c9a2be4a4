#pragma once
#include <optional>
#include <string>
#include <vector>

// A throwaway MariaDB server (scripts/dbserver.sh) owned by one test process, with a root
// connection over its socket for checking what the system under test did. The root
// connection reads and writes raw bytes and stays out of the general query log.
class TestServer {
 public:
  using Row = std::vector<std::optional<std::string>>;

  explicit TestServer(std::string charset = "gbk");
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  bool start(const std::vector<std::string>& sqlFiles = {});
  void stop();
  bool restart();   // stop, then start again on the same port with the same data
  void killHard();  // SIGKILL, as a crash would
  bool running() const;
  int port() const { return port_; }
  const std::string& dir() const { return dir_; }

  // Root access to the database of the compiled-in account.
  bool exec(const std::string& sql);
  std::vector<Row> rows(const std::string& sql);
  std::string value(const std::string& sql);  // first field of the first row, "" when none
  void resetBook();                           // empties `book`

  // The general query log: statements the server received after a mark, in order.
  std::size_t logMark() const;
  std::vector<std::string> queriesSince(std::size_t mark) const;

 private:
  bool connectAdmin();
  void closeAdmin();
  std::string charset_;
  std::string dir_;
  int port_ = 0;
  void* admin_ = nullptr;  // MYSQL*
};

// The server the test main started for this process (tests declared with DB).
TestServer& testServer();

// A byte string as an SQL literal that reaches the server unchanged whatever the connection's
// character set: X'..' (or '' when empty).
std::string hexLiteral(const std::string& bytes);

// Path of a file in the source tree.
std::string sourcePath(const std::string& relative);
