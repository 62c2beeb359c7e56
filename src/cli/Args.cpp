#include "cli/Args.h"

namespace rowcaster::cli {

std::optional<std::string> Args::Option(const std::string& name) {
  if (Done()) return std::nullopt;
  const std::string& a = args_[pos_];
  if (a == name) {
    if (pos_ + 1 >= args_.size()) throw UsageError{name + " needs a value"};
    pos_ += 2;
    return args_[pos_ - 1];
  }
  if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
    ++pos_;
    return a.substr(name.size() + 1);
  }
  return std::nullopt;
}

bool Args::Flag(const std::string& name) {
  if (Done() || args_[pos_] != name) return false;
  ++pos_;
  return true;
}

convert::Rules RulesOption(const std::string& name) {
  if (const auto rules = convert::RulesNamed(name)) return *rules;
  throw UsageError{"--rules " + name + ": classic or recommended"};
}

iso2709::Encoding EncodingOption(const std::string& name) {
  if (const auto e = iso2709::EncodingNamed(name)) return *e;
  throw UsageError{"--encoding " + name + ": gbk, gb18030 or utf-8"};
}

iso2709::Format FormatOption(const std::string& name) {
  if (const auto f = iso2709::FormatNamed(name)) return *f;
  throw UsageError{"--format " + name + ": iso2709, marcxml or text"};
}

Clock ClockFrom(const std::optional<std::string>& now) {
  if (!now) return SystemLocalTime;
  const std::optional<LocalTime> t = ParseLocalTime(*now);
  if (!t) throw UsageError{"--now takes a local time YYYY-MM-DDTHH:MM:SS, not '" + *now + "'"};
  return FixedClock(*t);
}

}  // namespace rowcaster::cli
