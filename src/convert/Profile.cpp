#include "convert/Profile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "convert/Composition.h"
#include "convert/Subfields.h"
#include "mapping/ColumnNames.h"
#include "mapping/MarcFields.h"
#include "platform/text/Gbk.h"

namespace rowcaster::convert {
namespace {

using Json = nlohmann::ordered_json;
constexpr std::string_view kFormat = "rowcaster-profile";
constexpr int kVersion = 1;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::optional<Profile> BuiltInProfile(std::string_view name) {
  Profile p;
  if (name == kStandardProfile) return p;
  if (name == kRecommendedProfile) {
    p.name = std::string(kRecommendedProfile);
    p.rules = Rules::Recommended;
    p.mapByName = true;
    return p;
  }
  return std::nullopt;
}

std::string ProfileJson(const Profile& p) {
  Json j;
  j["format"] = kFormat;
  j["version"] = kVersion;
  j["name"] = p.name;
  j["rules"] = RulesName(p.rules);
  j["agency"] = p.agencyCode;
  j["mapByName"] = p.mapByName;
  j["defaultRole"] = p.defaultRole;
  if (!p.holdings.preset.empty()) j["holdings"] = p.holdings.preset;
  if (!p.holdings.library.empty()) j["library"] = p.holdings.library;
  if (!p.holdings.location.empty()) j["location"] = p.holdings.location;
  if (!p.holdings.itemType.empty()) j["itemType"] = p.holdings.itemType;
  j["keepDuplicates"] = p.keepDuplicates;
  j["recordFormat"] = iso2709::NameOf(p.format);
  if (p.encoding) j["encoding"] = iso2709::NameOf(*p.encoding);
  Json mapping = Json::array();
  for (const auto& m : p.mapping) {
    Json e;
    e["column"] = m.column;
    if (m.position > 0) e["position"] = m.position;
    e["code"] = m.code;
    mapping.push_back(e);
  }
  j["mapping"] = mapping;
  if (!p.columns.empty()) j["columns"] = p.columns;
  if (!p.targets.empty()) j["targets"] = Json::parse(catalogue::TargetsJson(p.targets, -1));
  if (p.copyPriceAlways) j["copyPriceAlways"] = true;
  if (p.copyByTitle) j["copyByTitle"] = true;
  if (!p.checkHoldings.empty()) j["checkHoldings"] = p.checkHoldings;
  if (p.held != catalogue::HeldAction::Skip) j["held"] = p.held == catalogue::HeldAction::Convert ? "convert" : "items";
  j["template"] = p.templateText.empty() ? Json(nullptr) : Json(Lines(p.templateText));
  return j.dump(2) + "\n";
}

std::optional<Profile> ParseProfile(std::string_view text, std::string& error) {
  const Json j = Json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    error = "不是有效的 JSON 文本";
    return std::nullopt;
  }
  if (j.value("format", std::string()) != kFormat) {
    error = "不是 Rowcaster 转换方案（缺少 \"format\": \"rowcaster-profile\"）";
    return std::nullopt;
  }
  Profile p;
  try {
    p.name = j.value("name", p.name);
    if (j.contains("rules")) {
      const auto rules = RulesNamed(j.at("rules").get<std::string>());
      if (!rules) {
        error = "规则“" + j.at("rules").get<std::string>() + "”不是 classic 或 recommended";
        return std::nullopt;
      }
      p.rules = *rules;
    }
    p.agencyCode = j.value("agency", std::string());
    p.mapByName = j.value("mapByName", false);
    p.defaultRole = j.value("defaultRole", p.defaultRole);
    p.holdings.preset = j.value("holdings", std::string());
    if (!p.holdings.preset.empty() && !IsHoldingsPreset(p.holdings.preset)) {
      error = "馆藏方式“" + p.holdings.preset + "”不是 905、905-per-copy、koha-unimarc，也不是一行字段模板";
      return std::nullopt;
    }
    p.holdings.library = j.value("library", std::string());
    p.holdings.location = j.value("location", std::string());
    p.holdings.itemType = j.value("itemType", std::string());
    p.keepDuplicates = j.value("keepDuplicates", false);
    if (j.contains("recordFormat")) {
      const std::string name = j.at("recordFormat").get<std::string>();
      const auto format = iso2709::FormatNamed(name);
      if (!format) {
        error = "记录格式“" + name + "”不是 iso2709、marcxml 或 text";
        return std::nullopt;
      }
      p.format = *format;
    }
    if (j.contains("encoding") && !j.at("encoding").is_null()) {
      const std::string name = j.at("encoding").get<std::string>();
      p.encoding = iso2709::EncodingNamed(name);
      if (!p.encoding) {
        error = "编码“" + name + "”不是 gbk、gb18030 或 utf-8";
        return std::nullopt;
      }
    }
    if (const std::string why = iso2709::Unsupported(p.format, ProfileEncoding(p)); !why.empty()) {
      error = why;
      return std::nullopt;
    }
    if (j.contains("mapping")) {
      const std::string list = mapping::DefaultMarcCodeList();
      for (const auto& e : j.at("mapping")) {
        ProfileColumn c;
        c.column = e.value("column", std::string());
        c.position = e.value("position", 0);
        c.code = e.at("code").get<std::string>();
        if (!mapping::IsMarcCode(c.code, list)) {
          error = "“" + c.code + "”不是字段代码";
          return std::nullopt;
        }
        p.mapping.push_back(std::move(c));
      }
    }
    if (j.contains("columns"))
      for (const auto& name : j.at("columns")) p.columns.push_back(name.get<std::string>());
    if (j.contains("targets")) {
      catalogue::TargetsRead targets = catalogue::ParseTargetsJson(j.at("targets").dump());
      if (targets.problem != catalogue::TargetProblem::None) {
        error = "套录目标“" + targets.value + "”读不出";
        return std::nullopt;
      }
      p.targets = std::move(targets.targets);
    }
    p.copyPriceAlways = j.value("copyPriceAlways", false);
    p.copyByTitle = j.value("copyByTitle", false);
    p.checkHoldings = j.value("checkHoldings", std::string());
    if (j.contains("held")) {
      const auto held = catalogue::ParseHeldAction(j.value("held", std::string()));
      if (!held) {
        error = "“held”应是 skip、convert 或 items";
        return std::nullopt;
      }
      p.held = *held;
    }
    if (j.contains("template") && j.at("template").is_array()) {
      for (const auto& line : j.at("template")) p.templateText += line.get<std::string>() + "\r\n";
    } else if (j.contains("template") && j.at("template").is_string()) {
      p.templateText = j.at("template").get<std::string>();
    }
  } catch (const Json::exception& e) {
    error = std::string("内容不完整或类型不对：") + e.what();
    return std::nullopt;
  }
  if (!text::IsValidUtf8(p.templateText) || !text::IsValidUtf8(p.name)) {
    error = "不是 UTF-8 文本";
    return std::nullopt;
  }
  return p;
}

std::optional<Profile> LoadProfile(const std::string& nameOrPath, std::string& error) {
  if (auto p = BuiltInProfile(nameOrPath)) return p;
  std::ifstream in(nameOrPath, std::ios::binary);
  if (!in) {
    error = "找不到转换方案 " + nameOrPath;
    return std::nullopt;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  auto p = ParseProfile(text, error);
  if (!p) error = "转换方案 " + nameOrPath + " 读不出：" + error;
  return p;
}

bool SaveProfile(const Profile& profile, const std::string& path, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << ProfileJson(profile);
  if (!out.flush()) {
    error = "无法写入转换方案 " + path;
    return false;
  }
  return true;
}

namespace {

bool Taken(const std::vector<std::string>& codes, const std::string& code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// One pass over the entries still pending: each goes to the first free column `same` accepts.
template <typename Same>
void MatchPass(std::vector<const ProfileColumn*>& pending, const std::vector<std::string>& names,
               std::vector<std::string>& codes, Same same) {
  std::vector<const ProfileColumn*> left;
  for (const ProfileColumn* m : pending) {
    if (Taken(codes, m->code)) continue;  // a column named for the code has it already
    std::size_t at = 0;
    while (at < names.size() && !(codes[at].empty() && same(*m, at))) ++at;
    if (at < names.size())
      codes[at] = m->code;
    else
      left.push_back(m);
  }
  pending = std::move(left);
}

}  // namespace

ProfileMatch MatchProfile(const Profile& p, const std::vector<std::string>& names,
                          const std::vector<ProfileColumn>& remembered, const mapping::ColumnSamples& samples) {
  ProfileMatch match;
  match.codes.assign(names.size(), std::string());
  const std::string list = mapping::DefaultMarcCodeList();
  for (std::size_t c = 0; c < names.size(); ++c)
    if (mapping::IsMarcCode(names[c], list)) match.codes[c] = names[c];
  std::vector<const ProfileColumn*> pending;
  for (const ProfileColumn& m : remembered) pending.push_back(&m);
  MatchPass(pending, names, match.codes,
            [&](const ProfileColumn& m, std::size_t c) { return !m.column.empty() && names[c] == m.column; });
  pending.clear();
  for (const ProfileColumn& m : p.mapping) pending.push_back(&m);
  MatchPass(pending, names, match.codes,
            [&](const ProfileColumn& m, std::size_t c) { return !m.column.empty() && names[c] == m.column; });
  MatchPass(pending, names, match.codes, [&](const ProfileColumn& m, std::size_t c) {
    return !m.column.empty() && mapping::ColumnKey(names[c]) == mapping::ColumnKey(m.column);
  });
  // The same columns under the same names: a column the names could not tell (empty, or named
  // twice) is found by its position.
  if (!p.columns.empty() && p.columns == names)
    MatchPass(pending, names, match.codes,
              [](const ProfileColumn& m, std::size_t c) { return m.position >= 1 && static_cast<std::size_t>(m.position) == c + 1; });
  for (const ProfileColumn* m : pending) match.unmatched.push_back(*m);
  if (p.mapByName) match.byName = mapping::MapByColumnNames(names, samples, match.codes);
  return match;
}

std::vector<std::string> ProfileMapping(const Profile& p, const std::vector<std::string>& names,
                                        const mapping::ColumnSamples& samples) {
  return MatchProfile(p, names, {}, samples).codes;
}

std::string ProfileTemplate(const Profile& p) {
  return p.templateText.empty() ? std::string(DefaultTemplate(p.rules)) : p.templateText;
}

iso2709::Encoding ProfileEncoding(const Profile& p) { return p.encoding.value_or(iso2709::DefaultEncoding(p.format)); }

}  // namespace rowcaster::convert
