#include "platform/profile/ini_document.h"

#include <cstring>
#include <unordered_set>

#include "platform/profile/ini_text.h"

namespace plat::profile {

namespace {
bool holdsLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

std::string_view unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) return v.substr(1, v.size() - 2);
  return v;
}

// Ends `out` with a line break unless it is empty or ends with one already.
void endLine(std::string& out) {
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += "\r\n";
}

// Where the line starting at `pos` ends: its first CR or LF, or the end.
size_t lineEndAt(std::string_view t, size_t pos) {
  const char* p = t.data() + pos;
  const char* end = t.data() + t.size();
  // memchr for LF is fast; a CR can only come before it.
  const void* nl = std::memchr(p, '\n', static_cast<size_t>(end - p));
  const char* stop = nl ? static_cast<const char*>(nl) : end;
  const void* cr = std::memchr(p, '\r', static_cast<size_t>(stop - p));
  return static_cast<size_t>((cr ? static_cast<const char*>(cr) : stop) - t.data());
}
}  // namespace

bool isValidSectionName(std::string_view name) {
  return !holdsLineBreakOrNul(name) && name.find(']') == std::string_view::npos && !text::trim(name).empty();
}

bool isValidKeyName(std::string_view name) {
  if (holdsLineBreakOrNul(name) || name.find('=') != std::string_view::npos) return false;
  const std::string_view t = text::trim(name);
  return !t.empty() && t.front() != '[' && t.front() != ';';
}

bool isValidValue(std::string_view value) { return !holdsLineBreakOrNul(value); }

IniDocument::IniDocument(std::string text) : text_(std::move(text)) { parse(); }

void IniDocument::parse() {
  const std::string_view t(text_);
  long current = -1;
  size_t pos = 0;
  while (pos < t.size()) {
    // A line ends at LF, CRLF or a CR alone (files written on old Macs or
    // by hand read as Windows reads them).
    const size_t lineEnd = lineEndAt(t, pos);
    Line line;
    line.begin = pos;
    line.next = lineEnd;
    if (lineEnd < t.size()) line.next += (t[lineEnd] == '\r' && lineEnd + 1 < t.size() && t[lineEnd + 1] == '\n') ? 2 : 1;
    size_t b = pos, e = lineEnd;
    // A UTF-8 byte-order mark (as some editors put at the start of a
    // file) is no part of the first line's text; it stays in the file.
    if (pos == 0 && t.substr(0, 3) == "\xEF\xBB\xBF") b = std::min<size_t>(3, e);
    while (b < e && text::isBlank(t[b])) ++b;
    while (e > b && text::isBlank(t[e - 1])) --e;
    const size_t index = lines_.size();
    if (b == e) {
      line.kind = Kind::Blank;
    } else if (t[b] == ';') {
      line.kind = Kind::Comment;
    } else if (t[b] == '[') {
      line.kind = Kind::Header;
      const size_t close = t.substr(b + 1, e - b - 1).find(']');
      const std::string_view inner = t.substr(b + 1, close == std::string_view::npos ? e - b - 1 : close);
      const std::string_view nm = text::trim(inner);
      line.nameBegin = static_cast<size_t>(nm.data() - t.data());
      line.nameEnd = line.nameBegin + nm.size();
      if (current >= 0) sections_[static_cast<size_t>(current)].end = index;
      Section s;
      s.name = std::string(nm);
      s.folded = text::foldKey(nm);
      s.header = s.anchor = index;
      s.end = index + 1;
      current = static_cast<long>(sections_.size());
      sectionIndex_[s.folded].push_back(sections_.size());
      sections_.push_back(std::move(s));
    } else {
      const size_t eq = t.substr(b, e - b).find('=');
      // A line without '=' is no key: it is kept as it stands and read as
      // nothing.
      const std::string_view key = text::trim(t.substr(b, eq == std::string_view::npos ? e - b : eq));
      const std::string_view val = eq == std::string_view::npos ? std::string_view() : text::trim(t.substr(b + eq + 1, e - b - eq - 1));
      line.kind = (key.empty() || eq == std::string_view::npos) ? Kind::Nameless : Kind::Key;
      line.nameBegin = static_cast<size_t>(key.data() - t.data());
      line.nameEnd = line.nameBegin + key.size();
      line.valueBegin = val.empty() ? e : static_cast<size_t>(val.data() - t.data());
      line.valueEnd = line.valueBegin + val.size();
      if (current >= 0 && line.kind == Kind::Key) sections_[static_cast<size_t>(current)].anchor = index;
    }
    lines_.push_back(line);
    pos = line.next;
  }
  if (current >= 0) sections_[static_cast<size_t>(current)].end = lines_.size();
  anchoredSection_.assign(lines_.size(), -1);
  for (size_t i = 0; i < sections_.size(); ++i) anchoredSection_[sections_[i].anchor] = static_cast<long>(i);
}

long IniDocument::findSection(std::string_view section) const {
  const auto it = sectionIndex_.find(text::foldKey(text::trim(section)));
  if (it == sectionIndex_.end() || it->second.empty()) return -1;
  return static_cast<long>(it->second.front());
}

IniDocument::Section& IniDocument::indexKeys(size_t index) const {
  Section& s = sections_[index];
  if (!s.keysIndexed) {
    s.keysIndexed = true;
    if (s.real) {
      for (size_t i = s.header + 1; i < s.end; ++i)
        if (lines_[i].kind == Kind::Key) s.keys[text::foldKey(name(lines_[i]))].push_back(KeyRef{false, i});
    }
  }
  return s;
}

std::optional<std::string_view> IniDocument::value(std::string_view section, std::string_view key) const {
  const long si = findSection(section);
  if (si < 0) return std::nullopt;
  const Section& s = sections_[static_cast<size_t>(si)];
  const std::string_view k = text::trim(key);
  // A small section is searched directly; a large one through its index.
  if (!s.keysIndexed && s.end - s.header <= 16) {
    for (size_t i = s.header + 1; i < s.end; ++i)
      if (lines_[i].kind == Kind::Key && text::equalNoCase(name(lines_[i]), k)) return unquote(rawValue(lines_[i]));
    return std::nullopt;
  }
  const Section& idx = indexKeys(static_cast<size_t>(si));
  const auto it = idx.keys.find(text::foldKey(k));
  if (it == idx.keys.end() || it->second.empty() || it->second.front().added) return std::nullopt;
  return unquote(rawValue(lines_[it->second.front().index]));
}

bool IniDocument::hasSection(std::string_view section) const { return findSection(section) >= 0; }

std::vector<std::string_view> IniDocument::sectionNames() const {
  std::vector<std::string_view> out;
  for (size_t i = 0; i < sections_.size(); ++i) {
    const Section& s = sections_[i];
    if (!s.real || s.name.empty()) continue;
    const auto it = sectionIndex_.find(s.folded);
    if (it != sectionIndex_.end() && !it->second.empty() && it->second.front() == i) out.push_back(name(lines_[s.header]));
  }
  return out;
}

std::vector<std::string_view> IniDocument::keyNames(std::string_view section) const {
  std::vector<std::string_view> out;
  const long si = findSection(section);
  if (si < 0) return out;
  const Section& s = indexKeys(static_cast<size_t>(si));
  if (!s.real) return out;
  for (size_t i = s.header + 1; i < s.end; ++i) {
    if (lines_[i].kind != Kind::Key) continue;
    const auto it = s.keys.find(text::foldKey(name(lines_[i])));
    if (it != s.keys.end() && !it->second.empty() && !it->second.front().added && it->second.front().index == i)
      out.push_back(name(lines_[i]));
  }
  return out;
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view sec = text::trim(section);
  const std::string_view k = text::trim(key);
  long si = findSection(sec);
  if (si < 0) {
    Section s;
    s.name = std::string(sec);
    s.folded = text::foldKey(sec);
    s.real = false;
    s.keysIndexed = true;
    si = static_cast<long>(sections_.size());
    sectionIndex_[s.folded].push_back(sections_.size());
    sections_.push_back(std::move(s));
  }
  Section& s = indexKeys(static_cast<size_t>(si));
  std::vector<KeyRef>& refs = s.keys[text::foldKey(k)];
  if (refs.empty()) {
    refs.push_back(KeyRef{true, s.added.size()});
    s.added.push_back(Added{std::string(k), std::string(value)});
    return;
  }
  const KeyRef first = refs.front();
  if (first.added) {
    s.added[first.index].value = std::string(value);
    return;
  }
  Line& line = lines_[first.index];
  if (rawValue(line) == value) {
    // The line already says so: it stays as it is, line end included.
    line.state = State::Kept;
    replaced_.erase(first.index);
    return;
  }
  line.state = State::Replaced;
  std::string& out = replaced_[first.index];
  out.assign(name(line));
  out += '=';
  out += value;
  out += "\r\n";
}

void IniDocument::eraseKey(std::string_view section, std::string_view key) {
  const long si = findSection(section);
  if (si < 0) return;
  Section& s = indexKeys(static_cast<size_t>(si));
  const auto it = s.keys.find(text::foldKey(text::trim(key)));
  if (it == s.keys.end()) return;
  for (const KeyRef& r : it->second) {
    if (r.added) {
      s.added[r.index].alive = false;
    } else {
      lines_[r.index].state = State::Deleted;
      replaced_.erase(r.index);
    }
  }
  s.keys.erase(it);
}

void IniDocument::eraseSection(std::string_view section) {
  const auto it = sectionIndex_.find(text::foldKey(text::trim(section)));
  if (it == sectionIndex_.end()) return;
  for (size_t si : it->second) {
    Section& s = sections_[si];
    s.removed = true;
    if (!s.real) continue;
    for (size_t i = s.header; i < s.end; ++i) {
      lines_[i].state = State::Deleted;
      replaced_.erase(i);
    }
  }
  sectionIndex_.erase(it);
}

std::string IniDocument::serialise() const {
  std::string out;
  out.reserve(text_.size() + 64);
  const auto appendAdded = [&out](const Section& s) {
    for (const Added& a : s.added) {
      if (!a.alive) continue;
      out += a.key;
      out += '=';
      out += a.value;
      out += "\r\n";
    }
  };
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (l.state == State::Kept) {
      out.append(text_, l.begin, l.next - l.begin);
    } else if (l.state == State::Replaced) {
      out += replaced_.at(i);
    }
    const long si = anchoredSection_[i];
    if (si >= 0) {
      const Section& s = sections_[static_cast<size_t>(si)];
      if (!s.removed && !s.added.empty()) {
        endLine(out);
        appendAdded(s);
      }
    }
  }
  for (const Section& s : sections_) {
    if (s.real || s.removed) continue;
    endLine(out);
    out += '[';
    out += s.name;
    out += "]\r\n";
    appendAdded(s);
  }
  return out;
}

}  // namespace plat::profile
