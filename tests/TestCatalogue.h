#pragma once
// A Zebra catalogue on a free loopback port for the window's tests and screenshots: the records of
// tests/catalogue/make_catalogue.py as CNUTF8 (UTF-8) and CNGBK (GBK); stopped when it goes.

#include <csignal>
#include <cstdio>
#include <string>

#include <sys/types.h>

namespace rowcaster::test {

class TestCatalogue {
 public:
  TestCatalogue(const std::string& dir, int records) : dir_(dir) {
    const std::string command =
        "bash '" + std::string(ROWCASTER_TEST_DIR) + "/catalogue/zebra_serve.sh' '" + dir + "' " + std::to_string(records);
    if (FILE* p = popen(command.c_str(), "r")) {
      if (std::fscanf(p, "%d %d", &port_, &pid_) != 2) port_ = pid_ = 0;
      pclose(p);
    }
  }
  ~TestCatalogue() {
    if (pid_ > 0) kill(pid_, SIGTERM);
  }
  TestCatalogue(const TestCatalogue&) = delete;
  TestCatalogue& operator=(const TestCatalogue&) = delete;

  bool ok() const { return port_ > 0; }
  int port() const { return port_; }
  std::string Url(const std::string& database, const std::string& query) const {
    return "z3950://127.0.0.1:" + std::to_string(port_) + "/" + database + "?" + query;
  }
  // The catalogue's records as an export file would hold them (ISO 2709, UTF-8), and what they are.
  std::string Export() const { return dir_ + "/utf8.iso"; }
  std::string Books() const { return dir_ + "/books.tsv"; }

 private:
  std::string dir_;
  int port_ = 0, pid_ = 0;
};

}  // namespace rowcaster::test
