// The manual page and `vornix --help` describe the same command line. Both
// lists are read from the two texts, so a word or option added to one and
// forgotten in the other fails here.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "helpers/run_process.h"

namespace vornix {
namespace {

using Names = std::set<std::string>;

// The man page's text without roff: macro names, font changes and escapes
// gone, one string per section keyed by its heading.
std::map<std::string, std::string> ManSections(const std::string& roff) {
  std::map<std::string, std::string> sections;
  std::string current;
  std::istringstream in(roff);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(".SH ", 0) == 0) {
      current = line.substr(4);
      continue;
    }
    if (!line.empty() && line[0] == '.') {
      const size_t space = line.find(' ');
      line = space == std::string::npos ? std::string() : line.substr(space + 1);
    }
    line = std::regex_replace(line, std::regex(R"(\\f[BIRP])"), "");
    line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
    line = std::regex_replace(line, std::regex(R"(\\\(\w\w|\\e|")"), " ");
    sections[current] += line + "\n";
  }
  return sections;
}

Names OptionsIn(const std::string& text) {
  Names names;
  const std::regex option(R"((?:^|[\s\[|(,])(--?[A-Za-z][A-Za-z0-9-]*))");
  for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) names.insert((*it)[1]);
  return names;
}

// Lower-case words between the command and any description: the batch words.
Names WordsIn(const std::string& usage) {
  Names names;
  std::istringstream in(usage);
  for (std::string token; in >> token;)
    if (token != "vornix" && std::regex_match(token, std::regex("[a-z]+"))) names.insert(token);
  return names;
}

struct CommandLineTexts {
  std::string helpText, helpUsage, manText, manSynopsis;
};

CommandLineTexts ReadTexts() {
  CommandLineTexts t;
  const testing::ProcessResult help = testing::RunProcess(VORNIX_BINARY, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  t.helpText = help.out;
  // Usage lines start with the command; two spaces part the form from its description.
  std::istringstream in(help.out);
  for (std::string line; std::getline(in, line);) {
    const size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line.compare(start, 7, "vornix ") != 0) continue;
    t.helpUsage += line.substr(start, line.find("  ", start) - start) + "\n";
  }
  const auto sections = ManSections(testing::ReadAll(VORNIX_SOURCE_DIR "/data/vornix.1"));
  for (const auto& [heading, text] : sections)
    if (heading != "EXAMPLES" && heading != "SEE ALSO") t.manText += text;  // examples use other tools' options
  if (sections.count("SYNOPSIS")) t.manSynopsis = sections.at("SYNOPSIS");
  return t;
}

TEST(ManPage, HasEveryOptionOfHelpAndNoOther) {
  const CommandLineTexts t = ReadTexts();
  const Names help = OptionsIn(t.helpText);
  ASSERT_FALSE(help.empty()) << t.helpText;
  EXPECT_EQ(OptionsIn(t.manText), help);
}

TEST(ManPage, SynopsisHasEveryWordOfHelpAndNoOther) {
  const CommandLineTexts t = ReadTexts();
  const Names help = WordsIn(t.helpUsage);
  ASSERT_FALSE(help.empty()) << t.helpText;
  EXPECT_EQ(WordsIn(t.manSynopsis), help);
}

}  // namespace
}  // namespace vornix
