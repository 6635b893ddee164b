#include "platform/ui/resources/res_reader.h"

#include <charconv>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/fs/file_io.h"

namespace plat::ui {
namespace {

// True when `s` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF) without NUL bytes.
bool validUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == 0) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (s.size() - i < len) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)) return false;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

constexpr std::string_view kBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(const std::vector<uint8_t>& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += kBase64[(v >> 6) & 63];
    out += kBase64[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = uint32_t{bytes[i]} << 16;
    if (rest == 2) v |= uint32_t{bytes[i + 1]} << 8;
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += rest == 2 ? kBase64[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// Strict decoding: length a multiple of 4, padding only at the end, and
// the unused bits of the last group zero (so every byte string has one
// spelling).
std::optional<std::vector<uint8_t>> base64Decode(std::string_view text, std::string& error) {
  if (text.size() % 4 != 0) {
    error = "base64 length is not a multiple of 4";
    return std::nullopt;
  }
  if (text.size() / 4 * 3 > kResMaxImageBytes + 2) {
    error = "image too large";
    return std::nullopt;
  }
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    uint32_t v = 0;
    int pad = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char ch = text[i + k];
      uint32_t d = 0;
      if (ch == '=') {
        if (i + 4 != text.size() || k < 2) {
          error = "misplaced base64 padding";
          return std::nullopt;
        }
        ++pad;
      } else {
        if (pad > 0) {
          error = "misplaced base64 padding";
          return std::nullopt;
        }
        const auto pos = kBase64.find(ch);
        if (pos == std::string_view::npos) {
          error = "bad base64 character";
          return std::nullopt;
        }
        d = static_cast<uint32_t>(pos);
      }
      v = (v << 6) | d;
    }
    if ((pad == 1 && (v & 0xFF) != 0) || (pad == 2 && (v & 0xFFFF) != 0)) {
      error = "non-canonical base64";
      return std::nullopt;
    }
    out.push_back(static_cast<uint8_t>(v >> 16));
    if (pad < 2) out.push_back(static_cast<uint8_t>(v >> 8));
    if (pad < 1) out.push_back(static_cast<uint8_t>(v));
  }
  if (out.size() > kResMaxImageBytes) {
    error = "image too large";
    return std::nullopt;
  }
  return out;
}

std::string escapeText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::optional<std::string> unescapeText(std::string_view s, std::string& error) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (i + 1 == s.size()) {
      error = "backslash at the end of a text";
      return std::nullopt;
    }
    switch (s[++i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      default:
        error = "unknown escape";
        return std::nullopt;
    }
  }
  if (out.size() > kResMaxTextBytes) {
    error = "text too long";
    return std::nullopt;
  }
  return out;
}

// Splits off the first blank-separated field of `rest`.
std::string_view takeField(std::string_view& rest) {
  const auto blank = rest.find(' ');
  std::string_view field = rest.substr(0, blank);
  rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
  return field;
}

std::optional<int> parseId(std::string_view field) {
  if (field.empty() || field.size() > 5) return std::nullopt;
  for (const char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  int value = 0;
  const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc() || ptr != field.data() + field.size() || value > kResMaxId) return std::nullopt;
  return value;
}

// Key texts are short printable ASCII ("Ctrl+PgDown").
bool validKey(std::string_view key) {
  if (key.empty() || key.size() > 64) return false;
  for (const char c : key) {
    if (c <= ' ' || c > '~') return false;
  }
  return true;
}

bool validFileName(std::string_view name) {
  if (name.empty() || name.size() > kResMaxFileNameBytes) return false;
  if (name == "." || name == "..") return false;
  for (const char c : name) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

class Parser {
 public:
  ResReadResult run(std::string_view bytes);

 private:
  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }
  bool record(std::string_view line);
  bool menuRecord(std::string_view keyword, std::string_view rest);
  bool addEntry(MenuItem item);

  ResourceModule module_;
  std::string error_;
  bool inMenu_ = false;
  int menuId_ = 0;
  Menu menu_;
  std::vector<MenuItem> popups_;  // open popups, innermost last
  std::size_t menuEntries_ = 0;
  int accelTable_ = -1;             // table being read by consecutive accel lines
  std::vector<Accelerator> accel_;

  bool flushAccelerators() {
    if (accelTable_ < 0) return true;
    const int table = accelTable_;
    accelTable_ = -1;
    if (!module_.addAccelerators(table, std::move(accel_))) return fail("accelerator table used twice");
    accel_.clear();
    return true;
  }
};

ResReadResult Parser::run(std::string_view bytes) {
  ResReadResult result;
  if (bytes.size() > kResMaxFileBytes) {
    result.error = "file too large";
    return result;
  }
  if (!validUtf8(bytes)) {
    result.error = "not UTF-8 text";
    return result;
  }
  bool sawHeader = false;
  std::size_t records = 0;
  int lineNo = 0;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    ++lineNo;
    auto end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(pos, end - pos);
    pos = end + 1;
    if (line.size() > kResMaxLineBytes) {
      result.error = "line too long";
      result.line = lineNo;
      return result;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    bool ok;
    if (!sawHeader) {
      sawHeader = true;
      std::string_view rest = line;
      const std::string_view magic = takeField(rest);
      const auto version = parseId(rest);
      if (magic != "TVRES" || !version) {
        ok = fail("missing TVRES format line");
      } else if (*version != kResFormatVersion) {
        ok = fail("unsupported format version " + std::to_string(*version));
      } else {
        ok = true;
      }
    } else if (++records > kResMaxRecords) {
      ok = fail("too many records");
    } else {
      ok = record(line);
    }
    if (!ok) {
      result.error = error_;
      result.line = lineNo;
      return result;
    }
  }
  if (!sawHeader) {
    result.error = "missing TVRES format line";
    return result;
  }
  if (!flushAccelerators()) {
    result.error = error_;
    result.line = lineNo;
    return result;
  }
  if (inMenu_) {
    result.error = "menu " + std::to_string(menuId_) + " is not closed";
    result.line = lineNo;
    return result;
  }
  result.module = std::move(module_);
  return result;
}

bool Parser::addEntry(MenuItem item) {
  if (++menuEntries_ > kResMaxMenuEntries) return fail("too many menu entries");
  if (popups_.empty()) {
    menu_.items.push_back(std::move(item));
  } else {
    popups_.back().children.push_back(std::move(item));
  }
  return true;
}

bool Parser::menuRecord(std::string_view keyword, std::string_view rest) {
  if (keyword == "end") {
    if (!rest.empty()) return fail("text after end");
    if (popups_.empty()) {
      inMenu_ = false;
      if (!module_.addMenu(menuId_, std::move(menu_))) return fail("menu id used twice");
      menu_ = Menu();
      return true;
    }
    MenuItem done = std::move(popups_.back());
    popups_.pop_back();
    if (popups_.empty()) {
      menu_.items.push_back(std::move(done));
    } else {
      popups_.back().children.push_back(std::move(done));
    }
    return true;
  }
  if (keyword == "separator") {
    if (!rest.empty()) return fail("text after separator");
    return addEntry(MenuItem::separator());
  }
  if (keyword == "popup") {
    if (popups_.size() >= kResMaxMenuDepth) return fail("menu nested too deep");
    if (++menuEntries_ > kResMaxMenuEntries) return fail("too many menu entries");
    auto caption = unescapeText(rest, error_);
    if (!caption) return false;
    popups_.push_back(MenuItem::popup(std::move(*caption), {}));
    return true;
  }
  if (keyword == "item") {
    const auto id = parseId(takeField(rest));
    if (!id) return fail("bad command id");
    auto caption = unescapeText(rest, error_);
    if (!caption) return false;
    return addEntry(MenuItem::command(*id, std::move(*caption)));
  }
  return fail("unknown record inside a menu");
}

bool Parser::record(std::string_view line) {
  std::string_view rest = line;
  const std::string_view keyword = takeField(rest);
  if (inMenu_) return menuRecord(keyword, rest);
  // The lines of an accelerator table are consecutive: any other record ends it.
  if (keyword != "accel" && !flushAccelerators()) return false;

  if (keyword == "string") {
    const auto id = parseId(takeField(rest));
    if (!id) return fail("bad string id");
    auto text = unescapeText(rest, error_);
    if (!text) return false;
    if (!module_.addString(*id, std::move(*text))) return fail("string id used twice");
    return true;
  }
  if (keyword == "menu") {
    const auto id = parseId(rest);
    if (!id) return fail("bad menu id");
    if (module_.menu(*id)) return fail("menu id used twice");
    inMenu_ = true;
    menuId_ = *id;
    menuEntries_ = 0;
    return true;
  }
  if (keyword == "accel") {
    const auto table = parseId(takeField(rest));
    const auto command = parseId(takeField(rest));
    if (!table || !command) return fail("bad accelerator id");
    if (!validKey(rest)) return fail("bad accelerator key");
    if (accelTable_ != *table) {
      if (!flushAccelerators()) return false;
      if (module_.accelerators(*table)) return fail("accelerator table used twice");
      accelTable_ = *table;
    }
    if (accel_.size() >= kResMaxAccelerators) return fail("too many accelerators");
    accel_.push_back(Accelerator{std::string(rest), *command});
    return true;
  }
  if (keyword == "image") {
    const auto id = parseId(takeField(rest));
    if (!id) return fail("bad image id");
    const std::string_view kind = takeField(rest);
    Image image;
    if (kind == "file") {
      if (!validFileName(rest)) return fail("bad image file name");
      image.kind = Image::Kind::File;
      image.fileName = std::string(rest);
    } else if (kind == "png" || kind == "svg") {
      auto bytes = base64Decode(rest, error_);
      if (!bytes) return false;
      if (bytes->empty()) return fail("empty image");
      image.kind = kind == "png" ? Image::Kind::Png : Image::Kind::Svg;
      image.bytes = std::move(*bytes);
    } else {
      return fail("unknown image kind");
    }
    if (!module_.addImage(*id, std::move(image))) return fail("image id used twice");
    return true;
  }
  if (keyword == "TVRES") return fail("second format line");
  return fail("unknown record");
}

}  // namespace

ResReadResult readResourceModule(std::string_view bytes) { return Parser().run(bytes); }

ResReadResult loadResourceModuleFile(const std::filesystem::path& path) {
  ResReadResult result;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    result.error = "cannot open " + path.string() + ": " + ec.message();
    return result;
  }
  if (size > kResMaxFileBytes) {
    result.error = "file too large";
    return result;
  }
  std::string bytes;
  ec = plat::fs::readFile(path, bytes);
  if (ec) {
    result.error = "cannot read " + path.string() + ": " + ec.message();
    return result;
  }
  return readResourceModule(bytes);
}

std::string writeResourceModule(const ResourceModule& module) {
  std::string out = "TVRES " + std::to_string(kResFormatVersion) + "\n";
  for (const auto& [id, text] : module.strings()) {
    out += "string " + std::to_string(id) + " " + escapeText(text) + "\n";
  }
  for (const auto& [id, table] : module.acceleratorTables()) {
    for (const Accelerator& a : table) {
      out += "accel " + std::to_string(id) + " " + std::to_string(a.command) + " " + a.key + "\n";
    }
  }
  for (const auto& [id, image] : module.images()) {
    out += "image " + std::to_string(id) + " ";
    switch (image.kind) {
      case Image::Kind::File: out += "file " + image.fileName; break;
      case Image::Kind::Png: out += "png " + base64Encode(image.bytes); break;
      case Image::Kind::Svg: out += "svg " + base64Encode(image.bytes); break;
    }
    out += "\n";
  }
  for (const auto& [id, menu] : module.menus()) {
    out += "menu " + std::to_string(id) + "\n";
    // Depth-first with an explicit stack of (entries, next index).
    std::vector<std::pair<const std::vector<MenuItem>*, std::size_t>> stack{{&menu.items, 0}};
    while (!stack.empty()) {
      auto& [items, next] = stack.back();
      const std::string indent(2 * stack.size(), ' ');
      if (next == items->size()) {
        stack.pop_back();
        out += std::string(2 * stack.size(), ' ') + "end\n";
        continue;
      }
      const MenuItem& item = (*items)[next++];
      switch (item.kind) {
        case MenuItem::Kind::Command:
          out += indent + "item " + std::to_string(item.id) + " " + escapeText(item.caption) + "\n";
          break;
        case MenuItem::Kind::Separator: out += indent + "separator\n"; break;
        case MenuItem::Kind::Popup:
          out += indent + "popup " + escapeText(item.caption) + "\n";
          stack.emplace_back(&item.children, 0);
          break;
      }
    }
  }
  return out;
}

}  // namespace plat::ui
