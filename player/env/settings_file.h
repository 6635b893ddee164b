#pragma once
// The settings file Qlonwin.dpl, shared by the parts of COrv_Environment.

#include <string>
#include <string_view>

namespace orv::detail {

// The file's path (in the machine-settings folder).
std::string settingsFile();
// Writes one value, making the machine-settings folder first. False when
// the write failed.
bool writeSettingsValue(std::string_view section, std::string_view key, std::string_view value);

}  // namespace orv::detail
