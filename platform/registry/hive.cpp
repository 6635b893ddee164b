#include "platform/registry/hive.h"

#include "platform/text/utf8.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace plat::registry::hive {

namespace {

constexpr std::string_view kHeader = "talvane-registry-hive 1";
// A hive is a small settings file; anything larger is not one of ours.
constexpr std::size_t kMaxHiveBytes = 64u << 20;

// The Unicode upper-casing of C.UTF-8, whatever the process locale is; the
// ASCII rule when that locale is missing.
locale_t upperLocale() {
  static locale_t loc = [] {
    locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (l == static_cast<locale_t>(nullptr))
      l = ::newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(nullptr));
    return l;
  }();
  return loc;
}

char32_t upper(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  locale_t loc = upperLocale();
  if (loc == static_cast<locale_t>(nullptr)) return c;
  const wint_t u = ::towupper_l(static_cast<wint_t>(c), loc);
  // Keep the result a scalar value whatever the table says.
  if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return c;
  return static_cast<char32_t>(u);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr char kHex[] = "0123456789abcdef";

void appendHex(std::string& out, std::string_view bytes) {
  for (unsigned char b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
}

bool parseHex(std::string_view text, std::string& out) {
  out.clear();
  if (text.size() % 2 != 0) return false;
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = hexDigit(text[i]), lo = hexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

bool parseDecimal(std::string_view text, std::uint32_t& out) {
  if (text.empty() || text.size() > 10) return false;
  std::uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFu) return false;
  out = static_cast<std::uint32_t>(v);
  return true;
}

bool isTextType(std::uint32_t type) { return type == 1 || type == 2 || type == 7; }

std::string_view textKind(std::uint32_t type) {
  switch (type) {
    case 1: return "sz";
    case 2: return "expand_sz";
    case 7: return "multi_sz";
    default: return {};
  }
}

void appendValue(std::string& out, const Value& v) {
  out += escape(v.name);
  out += '=';
  if (isTextType(v.type)) {
    out += textKind(v.type);
    out += ':';
    out += escape(v.data);
  } else if (v.type == 4 && v.data.size() == 4) {
    const auto* d = reinterpret_cast<const unsigned char*>(v.data.data());
    const std::uint32_t n = static_cast<std::uint32_t>(d[0]) | (static_cast<std::uint32_t>(d[1]) << 8) |
                            (static_cast<std::uint32_t>(d[2]) << 16) | (static_cast<std::uint32_t>(d[3]) << 24);
    out += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(n >> shift) & 15];
  } else if (v.type == 3) {
    out += "binary:";
    appendHex(out, v.data);
  } else {
    out += "hex(" + std::to_string(v.type) + "):";
    appendHex(out, v.data);
  }
  out += '\n';
}

void appendKept(std::string& out, const Key& key) {
  for (const std::string& line : key.keptLines) {
    out += line;
    out += '\n';
  }
}

// Writes `key` and everything below it; `path` is the key's escaped path,
// one buffer shared by every level so deep trees cost no extra copies.
void appendKey(std::string& out, const Key& key, std::string& path) {
  out += '[';
  out += path;
  out += "]\n";
  for (const Value& v : key.values) appendValue(out, v);
  appendKept(out, key);
  for (const auto& [folded, sub] : key.subkeys) {
    const std::size_t keep = path.size();
    path += '\\';
    path += escape(sub->name);
    appendKey(out, *sub, path);
    path.resize(keep);
  }
}

// Parses "kind:payload" into a type and its stored bytes.
bool parseData(std::string_view text, std::uint32_t& type, std::string& data, std::string& why) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    why = "value without a type";
    return false;
  }
  const std::string_view kind = text.substr(0, colon), payload = text.substr(colon + 1);
  if (kind == "sz" || kind == "expand_sz" || kind == "multi_sz") {
    type = kind == "sz" ? 1 : kind == "expand_sz" ? 2 : 7;
    if (!unescape(payload, data)) {
      why = "bad escape in a text value";
      return false;
    }
    return true;
  }
  if (kind == "dword") {
    std::string be;
    if (payload.size() != 8 || !parseHex(payload, be)) {
      why = "a dword needs 8 hex digits";
      return false;
    }
    type = 4;
    data.assign(be.rbegin(), be.rend());
    return true;
  }
  if (kind == "binary") {
    type = 3;
  } else if (kind.size() > 5 && kind.substr(0, 4) == "hex(" && kind.back() == ')') {
    if (!parseDecimal(kind.substr(4, kind.size() - 5), type)) {
      why = "bad type number";
      return false;
    }
  } else {
    why = "unknown value kind";
    return false;
  }
  if (!parseHex(payload, data)) {
    why = "bad hex data";
    return false;
  }
  return true;
}

}  // namespace

std::string fold(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  std::size_t i = 0;
  while (i < name.size()) {
    const std::size_t at = i;
    const char32_t c = plat::text::decodeNext(name, i);
    if (c & plat::text::kRawByte)
      out += name[at];
    else
      plat::text::appendUtf8(out, upper(c));
  }
  return out;
}

std::size_t charCount(std::string_view name) { return plat::text::countChars(name); }

bool splitPath(std::string_view path, std::vector<std::string>& parts) {
  parts.clear();
  if (path.empty()) return true;
  if (path.back() == '\\') path.remove_suffix(1);
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find('\\', start);
    const std::string_view part = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty()) return false;
    parts.emplace_back(part);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

std::string escape(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char b = p[i];
    if (b >= 0x80) {
      std::size_t next = i;
      if (!(plat::text::decodeNext(bytes, next) & plat::text::kRawByte)) {
        out.append(bytes.substr(i, next - i));
        i = next;
        continue;
      }
    }
    if (b < 0x20 || b == 0x7F || b >= 0x80 || b == '%' || b == '=' || b == '[' || b == ']') {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
    ++i;
  }
  return out;
}

bool unescape(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int hi = hexDigit(text[i + 1]), lo = hexDigit(text[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

Key* Key::findSubkey(std::string_view name) const {
  auto it = subkeys.find(fold(name));
  return it == subkeys.end() ? nullptr : it->second.get();
}

Key* Key::addSubkey(std::string_view name, bool* created) {
  auto [it, inserted] = subkeys.try_emplace(fold(name));
  if (inserted) {
    it->second = std::make_unique<Key>();
    it->second->name = std::string(name);
  }
  if (created) *created = inserted;
  return it->second.get();
}

bool Key::removeSubkey(std::string_view name) { return subkeys.erase(fold(name)) > 0; }

Value* Key::findValue(std::string_view name) {
  const std::string f = fold(name);
  for (Value& v : values)
    if (v.name == name || fold(v.name) == f) return &v;
  return nullptr;
}

const Value* Key::findValue(std::string_view name) const { return const_cast<Key*>(this)->findValue(name); }

void Key::setValue(std::string_view name, std::uint32_t type, std::string_view data) {
  if (Value* v = findValue(name)) {
    v->type = type;
    v->data = std::string(data);
    return;
  }
  values.push_back(Value{std::string(name), type, std::string(data)});
}

bool Key::removeValue(std::string_view name) {
  const std::string f = fold(name);
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (fold(it->name) == f) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

std::unique_ptr<Key> Key::clone() const {
  auto copy = std::make_unique<Key>();
  copy->name = name;
  copy->values = values;
  copy->keptLines = keptLines;
  for (const auto& [folded, sub] : subkeys) copy->subkeys.emplace(folded, sub->clone());
  return copy;
}

namespace {

// Reads one line into the tree. False with `why` when the line cannot be
// taken; `current` becomes the key a sound key line names.
bool parseLine(std::string_view line, Key& root, Key*& current, std::vector<std::string>& parts, std::string& name,
               std::string& data, std::string& why) {
  if (line.front() == '[') {
    if (line.back() != ']' || line.size() < 2) return why = "key line without its closing ']'", false;
    const std::string_view path = line.substr(1, line.size() - 2);
    if (!path.empty() && path.back() == '\\') return why = "key path ends in a backslash", false;
    if (!splitPath(path, parts)) return why = "empty key name in a path", false;
    if (parts.size() > kMaxDepth) return why = "key path too deep", false;
    // The whole path is checked before any key of it is made.
    std::vector<std::string> names;
    names.reserve(parts.size());
    for (const std::string& part : parts) {
      if (!unescape(part, name)) return why = "bad escape in a key name", false;
      if (name.find('\\') != std::string::npos) return why = "backslash inside a key name", false;
      if (charCount(name) > kMaxKeyNameChars) return why = "key name too long", false;
      names.push_back(name);
    }
    Key* key = &root;
    for (const std::string& n : names) key = key->addSubkey(n);
    current = key;
    return true;
  }

  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return why = "line is neither a key nor a value", false;
  if (!unescape(line.substr(0, eq), name)) return why = "bad escape in a value name", false;
  if (charCount(name) > kMaxValueNameChars) return why = "value name too long", false;
  std::uint32_t type = 0;
  if (!parseData(line.substr(eq + 1), type, data, why)) return false;
  // The first of two values of one name counts, as our writer never
  // writes both.
  if (current->findValue(name) == nullptr) current->values.push_back(Value{name, type, data});
  return true;
}

}  // namespace

ParseReport parse(std::string_view text, Key& root) {
  root.values.clear();
  root.subkeys.clear();
  root.keptLines.clear();
  ParseReport report;
  if (text.size() > kMaxHiveBytes) {
    report.sound = false;
    report.refused = true;
    report.line = 1;
    report.message = "file too large for a hive";
    return report;
  }
  auto keep = [&](std::size_t lineNo, std::string_view line, Key& owner, std::string why) {
    if (report.sound) {
      report.sound = false;
      report.line = lineNo;
      report.message = std::move(why);
    }
    owner.keptLines.emplace_back(line);
    report.keptLines.emplace_back(line);
  };

  Key* current = &root;
  // After a key line that cannot be taken, the lines up to the next sound
  // key line are that key's: they are kept with it, not given to another.
  bool inUnreadKey = false;
  bool headerSeen = false;
  std::size_t lineNo = 0, pos = 0;
  std::vector<std::string> parts;
  std::string name, data, why;
  while (pos < text.size()) {
    const std::size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    ++lineNo;
    // CR LF ends a line, and so do any CRs before the LF: a kept line then
    // never ends in a CR that the next read would take for its line end.
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;

    if (!headerSeen) {
      headerSeen = true;
      if (line == kHeader) continue;
      // Not our first line: the file is read as far as it can be all the
      // same, and the line is kept when it cannot be read.
      report.sound = false;
      report.line = lineNo;
      report.message = "not a registry hive (header missing)";
    }

    Key* before = current;
    if (inUnreadKey && line.front() != '[') {
      before->keptLines.emplace_back(line);
      report.keptLines.emplace_back(line);
      continue;
    }
    if (parseLine(line, root, current, parts, name, data, why)) {
      if (line.front() == '[') inUnreadKey = false;
      continue;
    }
    current = before;
    keep(lineNo, line, *current, why);
    if (line.front() == '[') inUnreadKey = true;
  }
  return report;
}

std::string serialize(const Key& root) {
  std::string out(kHeader);
  out += '\n';
  for (const Value& v : root.values) appendValue(out, v);
  appendKept(out, root);
  std::string path;
  for (const auto& [folded, sub] : root.subkeys) {
    path = escape(sub->name);
    appendKey(out, *sub, path);
  }
  return out;
}

bool sameTree(const Key& a, const Key& b) {
  if (a.name != b.name || a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size() ||
      a.keptLines != b.keptLines)
    return false;
  for (std::size_t i = 0; i < a.values.size(); ++i) {
    const Value &x = a.values[i], &y = b.values[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  auto ia = a.subkeys.begin();
  auto ib = b.subkeys.begin();
  for (; ia != a.subkeys.end(); ++ia, ++ib)
    if (ia->first != ib->first || !sameTree(*ia->second, *ib->second)) return false;
  return true;
}

}  // namespace plat::registry::hive
