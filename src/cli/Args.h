#pragma once
// Small helpers shared by the rowcaster-cli commands.

#include <optional>
#include <string>
#include <vector>

#include "convert/Rules.h"
#include "iso2709/Writers.h"
#include "platform/Clock.h"

namespace rowcaster::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Thrown for a command line that does not fit; main prints the text and exits with kExitUsage.
struct UsageError {
  std::string text;
};

// Walks the arguments of one command: options with values, flags, and the rest.
class Args {
 public:
  explicit Args(std::vector<std::string> args) : args_(std::move(args)) {}

  bool Done() const { return pos_ >= args_.size(); }
  const std::string& Peek() const { return args_[pos_]; }
  std::string Next() { return args_[pos_++]; }
  // The value of an option "--name VALUE" or "--name=VALUE" when the next argument is that
  // option; nothing otherwise.
  std::optional<std::string> Option(const std::string& name);
  bool Flag(const std::string& name);

 private:
  std::vector<std::string> args_;
  std::size_t pos_ = 0;
};

// The rule set named by --rules; a UsageError for another name.
convert::Rules RulesOption(const std::string& name);

// The encoding named by --encoding, the format named by --format; a UsageError for other names.
iso2709::Encoding EncodingOption(const std::string& name);
iso2709::Format FormatOption(const std::string& name);

// The clock of --now, or the system clock.
Clock ClockFrom(const std::optional<std::string>& now);

}  // namespace rowcaster::cli
