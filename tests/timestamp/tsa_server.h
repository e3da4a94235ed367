// make_tsa.sh's authority and tsa_server.py (timestamps, OCSP, CRLs) on a
// free port of 127.0.0.1, stopped with the object.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace corvane::test {

class TsaServer {
 public:
  explicit TsaServer(const std::filesystem::path& dir)
      : dir_(dir), server_({"python3", std::string(CORVANE_TSA_SCRIPTS) + "/tsa_server.py", dir.string()}) {
    EXPECT_EQ(run_command(script("make_tsa.sh") + " " + shell_quote(dir.string())).exit_code, 0);
  }

  std::string url(const std::string& path) const { return "http://127.0.0.1:" + server_.first_line() + path; }

  // make_ltv_ca.sh's hierarchy, whose revocation data the server answers for; its folder.
  std::filesystem::path make_ltv_hierarchy() const {
    const auto ltv = dir_ / "ltv";
    EXPECT_EQ(run_command(script("make_ltv_ca.sh") + " " + shell_quote(ltv.string()) + " " + url("")).exit_code, 0);
    return ltv;
  }
  // Spoils the OCSP or CRL answers as tsa_server.py describes; "" for none.
  void set_fault(const std::string& fault) const { write_file(dir_ / "ltv" / "fault", fault); }

 private:
  static std::string script(const std::string& name) {
    return "bash " + shell_quote(std::string(CORVANE_TSA_SCRIPTS) + "/" + name);
  }
  std::filesystem::path dir_;
  BackgroundProgram server_;
};

}  // namespace corvane::test
