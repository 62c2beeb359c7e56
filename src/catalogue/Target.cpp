#include "catalogue/Target.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/text/Utf8.h"

namespace rowcaster::catalogue {
namespace {

using Json = nlohmann::ordered_json;

TargetRead Problem(TargetProblem p, std::string value = {}) { return {std::nullopt, p, std::move(value)}; }

// "%41" and "+" as in a query string.
std::string Unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) && std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += s[i] == '+' ? ' ' : s[i];
    }
  }
  return out;
}

std::optional<Syntax> SyntaxNamed(std::string_view name) {
  const std::string n = text::AsciiLower(name);
  if (n == "unimarc" || n == "iso2709" || n == "usmarc") return Syntax::Unimarc;
  if (n == "marcxml" || n == "xml") return Syntax::MarcXml;
  return std::nullopt;
}

std::string_view NameOf(Syntax s) { return s == Syntax::Unimarc ? "unimarc" : "marcxml"; }

// One key=value of the query part; a problem when the key is unknown or its value wrong.
TargetProblem ApplyKey(Target& t, const std::string& key, const std::string& value) {
  if (key == "syntax") {
    const auto s = SyntaxNamed(value);
    if (!s) return TargetProblem::BadSyntax;
    t.syntax = *s;
  } else if (key == "esn") {
    t.elementSet = value;
  } else if (key == "charset") {
    const auto e = iso2709::EncodingNamed(value);
    if (!e) return TargetProblem::BadCharset;
    t.charset = *e;
  } else if (key == "name") {
    t.name = value;
  } else if (key == "own") {
    const std::string v = text::AsciiLower(value);
    if (v != "yes" && v != "no" && v != "true" && v != "false" && v != "1" && v != "0" && !v.empty())
      return TargetProblem::BadOwn;
    t.own = v.empty() || v == "yes" || v == "true" || v == "1";
  } else {
    return TargetProblem::UnknownKey;
  }
  return TargetProblem::None;
}

// HOST[:PORT] of the authority, after any USER:PASSWORD@.
TargetProblem ReadAuthority(std::string_view authority, Target& t, std::string& bad) {
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view login = authority.substr(0, at);
    const std::size_t colon = login.find(':');
    t.user = Unescape(login.substr(0, colon));
    if (colon != std::string_view::npos) t.password = Unescape(login.substr(colon + 1));
    authority = authority.substr(at + 1);
  }
  const std::size_t colon = authority.rfind(':');
  t.host = std::string(authority.substr(0, colon));
  if (t.host.empty()) return TargetProblem::NoHost;
  if (colon == std::string_view::npos) return TargetProblem::None;
  const std::string_view port = authority.substr(colon + 1);
  bad = std::string(port);
  if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos)
    return TargetProblem::BadPort;
  t.port = std::stoi(std::string(port));
  return t.port >= 1 && t.port <= 65535 ? TargetProblem::None : TargetProblem::BadPort;
}

TargetRead FromJsonEntry(const Json& e) {
  if (e.is_string()) return ParseTargetUrl(e.get<std::string>());
  if (!e.is_object() || !e.contains("host") || !e.at("host").is_string()) return Problem(TargetProblem::NotATarget);
  Target t;
  t.host = e.at("host").get<std::string>();
  t.name = e.value("name", t.host);
  t.port = e.value("port", 0);
  t.database = e.value("database", std::string());
  const std::string protocol = text::AsciiLower(e.value("protocol", std::string("z3950")));
  if (protocol != "z3950" && protocol != "sru") return Problem(TargetProblem::NotAUrl, protocol);
  t.protocol = protocol == "sru" ? Protocol::Sru : Protocol::Z3950;
  if (t.port == 0) t.port = t.protocol == Protocol::Sru ? 80 : 210;
  if (t.port < 1 || t.port > 65535) return Problem(TargetProblem::BadPort, std::to_string(t.port));
  for (const char* key : {"syntax", "esn", "charset"})
    if (e.contains(key) && e.at(key).is_string())
      if (const auto p = ApplyKey(t, key, e.at(key).get<std::string>()); p != TargetProblem::None)
        return Problem(p, e.at(key).get<std::string>());
  t.user = e.value("user", std::string());
  t.password = e.value("password", std::string());
  t.own = e.contains("own") && e.at("own").is_boolean() && e.at("own").get<bool>();
  if (t.host.empty()) return Problem(TargetProblem::NoHost);
  return {std::move(t), TargetProblem::None, {}};
}

}  // namespace

TargetRead ParseTargetUrl(std::string_view url) {
  Target t;
  std::string_view rest;
  if (url.starts_with("z3950://")) {
    rest = url.substr(8);
  } else if (url.starts_with("sru://")) {
    t.protocol = Protocol::Sru;
    t.port = 80;
    rest = url.substr(6);
  } else {
    return Problem(TargetProblem::NotAUrl, std::string(url));
  }
  const std::size_t query = rest.find('?');
  const std::string_view path = rest.substr(0, query);
  const std::size_t slash = path.find('/');
  std::string bad;
  if (const auto p = ReadAuthority(path.substr(0, slash), t, bad); p != TargetProblem::None) return Problem(p, bad);
  if (slash != std::string_view::npos) t.database = Unescape(path.substr(slash + 1));
  if (t.database.empty() && t.protocol == Protocol::Z3950) return Problem(TargetProblem::NoDatabase);
  for (std::string_view q = query == std::string_view::npos ? "" : rest.substr(query + 1); !q.empty();) {
    const std::size_t amp = q.find('&');
    const std::string_view pair = q.substr(0, amp);
    q = amp == std::string_view::npos ? "" : q.substr(amp + 1);
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    const std::string key = Unescape(pair.substr(0, eq));
    const std::string value = eq == std::string_view::npos ? "" : Unescape(pair.substr(eq + 1));
    if (const auto p = ApplyKey(t, key, value); p != TargetProblem::None)
      return Problem(p, p == TargetProblem::UnknownKey ? key : value);
  }
  if (t.name.empty()) t.name = t.host;
  return {std::move(t), TargetProblem::None, {}};
}

std::string TargetUrl(const Target& t) {
  std::string url = t.protocol == Protocol::Sru ? "sru://" : "z3950://";
  url += t.host + ":" + std::to_string(t.port) + "/" + t.database;
  url += "?syntax=" + std::string(NameOf(t.syntax)) + "&esn=" + t.elementSet;
  url += "&charset=" + std::string(iso2709::NameOf(t.charset));
  return url;
}

std::string TargetsJson(const std::vector<Target>& targets, int indent) {
  Json list = Json::array();
  for (const Target& t : targets) {
    Json e;
    e["name"] = t.name;
    e["protocol"] = t.protocol == Protocol::Sru ? "sru" : "z3950";
    e["host"] = t.host;
    e["port"] = t.port;
    e["database"] = t.database;
    e["syntax"] = NameOf(t.syntax);
    e["esn"] = t.elementSet;
    e["charset"] = iso2709::NameOf(t.charset);
    if (!t.user.empty()) e["user"] = t.user;
    if (!t.password.empty()) e["password"] = t.password;
    if (t.own) e["own"] = true;
    list.push_back(std::move(e));
  }
  return list.dump(indent);
}

TargetsRead ParseTargetsJson(std::string_view text) {
  TargetsRead read;
  const Json j = Json::parse(text, nullptr, false);
  const Json* list = &j;
  if (!j.is_discarded() && j.is_object() && j.contains("targets")) list = &j.at("targets");
  if (j.is_discarded() || !list->is_array()) {
    read.problem = TargetProblem::NotJson;
    return read;
  }
  for (const Json& e : *list) {
    TargetRead one = FromJsonEntry(e);
    if (!one.target) {
      read.targets.clear();
      read.problem = one.problem;
      read.value = one.value;
      return read;
    }
    read.targets.push_back(std::move(*one.target));
  }
  return read;
}

std::string UserTargetsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string base = config && *config ? config : std::string(home ? home : ".") + "/.config";
  return base + "/rowcaster/targets.json";
}

TargetsRead LoadUserTargets() {
  std::ifstream in(UserTargetsPath(), std::ios::binary);
  if (!in) return {};
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  return ParseTargetsJson(text);
}

TargetRead ResolveTarget(std::string_view nameOrUrl, const std::vector<Target>& known) {
  if (nameOrUrl.find("://") != std::string_view::npos) return ParseTargetUrl(nameOrUrl);
  for (const Target& t : known)
    if (t.name == nameOrUrl) return {t, TargetProblem::None, {}};
  return Problem(TargetProblem::UnknownName, std::string(nameOrUrl));
}

}  // namespace rowcaster::catalogue
