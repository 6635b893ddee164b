// Parses arbitrary bytes as an ini file, reads every name it finds and
// checks the editing rules on it: an unedited document serialises to its
// input, a written value reads back, a deleted key or section is gone, and
// the other sections keep their values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/profile/ini_document.h"
#include "platform/profile/ini_text.h"

using plat::profile::IniDocument;

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

// Every other section keeps the values of its keys.
void othersUnchanged(const IniDocument& before, const IniDocument& after, std::string_view touched) {
  for (std::string_view sec : before.sectionNames()) {
    if (plat::profile::text::equalNoCase(sec, touched)) continue;
    for (std::string_view key : before.keyNames(sec)) require(before.value(sec, key) == after.value(sec, key));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const IniDocument doc(input);
  require(doc.serialise() == input);

  const std::vector<std::string_view> sections = doc.sectionNames();
  for (std::string_view sec : sections) {
    require(doc.hasSection(sec));
    for (std::string_view key : doc.keyNames(sec)) require(doc.value(sec, key).has_value());
  }

  size_t checked = 0;
  for (std::string_view sec : sections) {
    if (++checked > 4) break;
    if (!plat::profile::isValidSectionName(sec)) continue;
    {
      IniDocument edit(input);
      edit.setValue(sec, "fuzz key", "v 1");
      const IniDocument after(edit.serialise());
      require(after.value(sec, "FUZZ KEY") == std::string_view("v 1"));
      othersUnchanged(doc, after, sec);
    }
    {
      IniDocument edit(input);
      edit.eraseSection(sec);
      const IniDocument after(edit.serialise());
      require(!after.hasSection(sec));
      othersUnchanged(doc, after, sec);
    }
    const std::vector<std::string_view> keys = doc.keyNames(sec);
    if (!keys.empty() && plat::profile::isValidKeyName(keys.front())) {
      IniDocument edit(input);
      edit.setValue(sec, keys.front(), "changed");
      edit.eraseKey(sec, keys.back());
      const IniDocument after(edit.serialise());
      if (keys.size() > 1) {
        require(after.value(sec, keys.front()) == std::string_view("changed"));
        require(!after.value(sec, keys.back()).has_value());
      } else {
        require(!after.value(sec, keys.front()).has_value());
      }
      othersUnchanged(doc, after, sec);
    }
  }
  // A new section at the end.
  IniDocument edit(input);
  edit.setValue("fuzz section", "k", "\"q\"");
  const IniDocument after(edit.serialise());
  require(after.value("Fuzz Section", "K") == std::string_view("q") || doc.hasSection("fuzz section"));
  return 0;
}
