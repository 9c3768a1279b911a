// A UserInterface that records what the core asked, for exact-text assertions.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "package/user_interface.h"

namespace vornix::testing {

class RecordingUi : public UserInterface {
 public:
  void warn(const std::string& caption, const std::string& text) override { warnings.emplace_back(caption, text); }
  void signatureRejected() override { ++signatureRejections; }
  void progress(int64_t done, int64_t total) override {
    lastDone = done;
    lastTotal = total;
  }
  std::vector<std::pair<std::string, std::string>> warnings;
  int signatureRejections = 0;
  int64_t lastDone = 0, lastTotal = 0;
};

}  // namespace vornix::testing
