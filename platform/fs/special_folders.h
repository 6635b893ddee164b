#pragma once
// The user's special folders, from the XDG conventions:
//   Documents        XDG_DOCUMENTS_DIR of $XDG_CONFIG_HOME/user-dirs.dirs. A
//                    missing entry, or one that names HOME itself (how
//                    xdg-user-dirs marks a folder the user switched off),
//                    counts as none: the answer is empty.
//   Desktop          XDG_DESKTOP_DIR of the same file, else $HOME/Desktop.
//   ApplicationsMenu $XDG_DATA_HOME/applications (where .desktop menu entries
//                    go), XDG_DATA_HOME defaulting to ~/.local/share.
//   Autostart        $XDG_CONFIG_HOME/autostart, XDG_CONFIG_HOME defaulting to
//                    ~/.config.
// Relative values of the XDG variables are ignored, as the conventions say.
// Nothing is created; an empty answer means "no such folder".

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plat::fs {

enum class SpecialFolder { Documents, Desktop, ApplicationsMenu, Autostart };

std::filesystem::path specialFolder(SpecialFolder which);

// The folder that a classic CSIDL number stands for: 5 (personal) gives
// Documents, 16 Desktop, 2 (programs menu) ApplicationsMenu, 7 (startup)
// Autostart; any other number none.
std::optional<SpecialFolder> specialFolderForCsidl(int csidl);

// The value of `key` (e.g. "XDG_DOCUMENTS_DIR") in the text of a
// user-dirs.dirs file, with "$HOME" expanded to `home`. Empty when the key
// is missing or its value is neither absolute nor relative to $HOME.
std::filesystem::path userDirsEntry(std::string_view text, std::string_view key,
                                    const std::filesystem::path& home);

}  // namespace plat::fs
