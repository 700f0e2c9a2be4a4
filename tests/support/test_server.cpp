#include "support/test_server.h"

#include <mysql.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

std::string runCommand(const std::string& cmd, int* status) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) {
    *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = pclose(p);
  return out;
}

std::string script() {
  return sourcePath("scripts/dbserver.sh");
}

std::string readAccountValue(const std::string& key) {
  std::ifstream in(sourcePath("sql/account.conf"));
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  return {};
}

}  // namespace

std::string hexLiteral(const std::string& bytes) {
  if (bytes.empty()) return "''";
  static const char digits[] = "0123456789ABCDEF";
  std::string out = "X'";
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out + "'";
}

std::string sourcePath(const std::string& relative) {
  return std::string(BOOKAUDIT_SOURCE_DIR) + "/" + relative;
}

TestServer::TestServer(std::string charset) : charset_(std::move(charset)) {
  const char* root = std::getenv("BOOKAUDIT_TEST_ROOT");
  std::string tmpl = std::string(root && *root ? root : "/tmp") + "/bookaudit-db.XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) dir_ = buf.data();
}

TestServer::~TestServer() {
  stop();
  if (!dir_.empty() && !std::getenv("BOOKAUDIT_KEEP_TEST_DIRS")) {
    int status;
    runCommand("rm -rf '" + dir_ + "'", &status);
  }
}

bool TestServer::start(const std::vector<std::string>& sqlFiles) {
  std::string cmd = "'" + script() + "' start '" + dir_ + "' --charset " + charset_;
  if (port_) cmd += " --port " + std::to_string(port_);
  for (const auto& f : sqlFiles) cmd += " '" + f + "'";
  int status;
  std::string out = runCommand(cmd, &status);
  if (status != 0) {
    std::fprintf(stderr, "test server did not start: %s\n", out.c_str());
    return false;
  }
  port_ = std::atoi(out.c_str());
  // The client library reads the port from here once, when it initialises, which the root
  // connection below would otherwise do first.
  setenv("MYSQL_TCP_PORT", std::to_string(port_).c_str(), 1);
  return connectAdmin();
}

void TestServer::stop() {
  closeAdmin();
  int status;
  runCommand("'" + script() + "' stop '" + dir_ + "'", &status);
}

bool TestServer::restart() {
  stop();
  return start();
}

void TestServer::killHard() {
  closeAdmin();
  std::ifstream in(dir_ + "/server.pid");
  int pid = 0;
  if (in >> pid && pid > 0) {
    ::kill(pid, SIGKILL);
    for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i) usleep(50000);
  }
  std::remove((dir_ + "/server.pid").c_str());
}

bool TestServer::running() const {
  std::ifstream in(dir_ + "/server.pid");
  int pid = 0;
  return (in >> pid) && pid > 0 && ::kill(pid, 0) == 0;
}

bool TestServer::connectAdmin() {
  closeAdmin();
  MYSQL* m = mysql_init(nullptr);
  if (!m) return false;
  mysql_options(m, MYSQL_SET_CHARSET_NAME, "binary");
  std::string socket = dir_ + "/sock";
  const char* user = std::getenv("USER");
  std::string db = readAccountValue("DbName");
  if (!mysql_real_connect(m, "localhost", geteuid() == 0 ? "root" : user, nullptr, db.c_str(), 0,
                          socket.c_str(), CLIENT_MULTI_STATEMENTS)) {
    std::fprintf(stderr, "admin connection failed: %s\n", mysql_error(m));
    mysql_close(m);
    return false;
  }
  admin_ = m;
  mysql_query(m, "SET sql_log_off = 1");
  return true;
}

void TestServer::closeAdmin() {
  if (admin_) mysql_close(static_cast<MYSQL*>(admin_));
  admin_ = nullptr;
}

bool TestServer::exec(const std::string& sql) {
  auto* m = static_cast<MYSQL*>(admin_);
  if (!m) return false;
  bool ok = mysql_real_query(m, sql.data(), sql.size()) == 0;
  if (!ok) std::fprintf(stderr, "admin statement failed: %s\n", mysql_error(m));
  // Drain every result, also of multi-statements.
  do {
    if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
  } while (mysql_next_result(m) == 0);
  return ok;
}

std::vector<TestServer::Row> TestServer::rows(const std::string& sql) {
  std::vector<Row> out;
  auto* m = static_cast<MYSQL*>(admin_);
  if (!m || mysql_real_query(m, sql.data(), sql.size()) != 0) {
    if (m) std::fprintf(stderr, "admin query failed: %s\n", mysql_error(m));
    return out;
  }
  MYSQL_RES* r = mysql_store_result(m);
  if (!r) return out;
  unsigned n = mysql_num_fields(r);
  while (MYSQL_ROW row = mysql_fetch_row(r)) {
    unsigned long* len = mysql_fetch_lengths(r);
    Row values;
    for (unsigned i = 0; i < n; ++i)
      values.push_back(row[i] ? std::optional<std::string>(std::string(row[i], len[i]))
                              : std::nullopt);
    out.push_back(std::move(values));
  }
  mysql_free_result(r);
  return out;
}

std::string TestServer::value(const std::string& sql) {
  auto r = rows(sql);
  if (r.empty() || r[0].empty() || !r[0][0]) return {};
  return *r[0][0];
}

void TestServer::resetBook() {
  exec("DELETE FROM book");
}

std::size_t TestServer::logMark() const {
  struct stat st;
  return ::stat((dir_ + "/general.log").c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size)
                                                           : 0;
}

std::vector<std::string> TestServer::queriesSince(std::size_t mark) const {
  std::ifstream in(dir_ + "/general.log", std::ios::binary);
  in.seekg(static_cast<std::streamoff>(mark));
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  // An entry starts with an optional time stamp, a tab, the thread id, the command and a
  // tab; a statement with line breaks continues on the following lines.
  static const std::regex head(R"(^(\d{6}\s+\d{1,2}:\d{2}:\d{2})?\t\s*\d+ ([A-Za-z ]+?)\t)");
  std::vector<std::string> out;
  bool inQuery = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    std::smatch m;
    if (std::regex_search(line, m, head)) {
      inQuery = m[2] == "Query";
      if (inQuery) out.push_back(line.substr(m[0].length()));
    } else if (inQuery && !out.empty()) {
      out.back() += "\n" + line;
    }
    pos = end + 1;
  }
  return out;
}

namespace {
TestServer* processServer = nullptr;
}

TestServer& testServer() {
  return *processServer;
}

void setProcessTestServer(TestServer* s) {
  processServer = s;
}
