// The batch mode's answer to the core's questions: messages go to stderr, no
// one is ever asked anything, nothing waits for a click.
#pragma once

#include "app/batch_output.h"
#include "common/interrupt.h"
#include "common/text.h"
#include "package/user_interface.h"
#include "presentation/catalogue.h"

namespace vornix {

class BatchUi : public UserInterface {
 public:
  void warn(const std::string& caption, const std::string& text) override {
    // A job stopped by a signal ends quietly: what fails after that follows from the stop.
    if (StopRequested()) return;
    const std::string message = Cp1252ToUtf8(ReplaceAll(ReplaceAll(text, "\r\n", "\n"), "\r", "\n"));
    Say(caption != kCaption ? Cp1252ToUtf8(caption) + ": " + message : message);
    ++m_warnings;
  }
  int warnings() const { return m_warnings; }

  void filePlaced(const std::filesystem::path& file) override { ListWritten(file); }

 private:
  int m_warnings = 0;
};

}  // namespace vornix
