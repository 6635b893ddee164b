// A second process for the registry tests. Arguments that may hold any
// byte are given in hex, so no quoting can change them.
//
//   registry_helper set  ROOT KEY NAMEHEX TYPE DATAHEX
//   registry_helper dump ROOT KEY          prints "NAMEHEX TYPE DATAHEX" per value
//   registry_helper many ROOT KEY PREFIX COUNT
//                    writes PREFIX0 .. PREFIX<COUNT-1> as REG_DWORD, one call each
//   registry_helper delkey ROOT KEY
//
// Exit status: 0, or the registry error (capped at 255), or 100 for bad use.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

using namespace plat::registry;

namespace {

HKEY rootNamed(std::string_view name) {
  if (name == "HKLM") return HKEY_LOCAL_MACHINE;
  if (name == "HKCU") return HKEY_CURRENT_USER;
  if (name == "HKCR") return HKEY_CLASSES_ROOT;
  return nullptr;
}

std::string fromHex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

std::string toHex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

int status(LONG r) { return r > 255 ? 255 : static_cast<int>(r); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 100;
  const std::string_view cmd = argv[1];
  HKEY root = rootNamed(argv[2]);
  const std::string keyPath = argv[3];
  if (root == nullptr) return 100;

  if (cmd == "set" && argc == 7) {
    HKEY key;
    if (LONG r = RegCreateKeyEx(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) return status(r);
    const std::string name = fromHex(argv[4]);
    const std::string data = fromHex(argv[6]);
    const LONG r = RegSetValueEx(key, name, 0, static_cast<DWORD>(std::stoul(argv[5])),
                                 reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return status(r);
  }
  if (cmd == "dump" && argc == 4) {
    HKEY key;
    if (LONG r = RegOpenKeyEx(root, keyPath, 0, KEY_READ, &key)) return status(r);
    DWORD values = 0, maxName = 0, maxData = 0;
    if (LONG r = RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &maxName,
                                 &maxData, nullptr, nullptr))
      return status(r);
    std::string name(maxName + 1, '\0'), data(maxData, '\0');
    for (DWORD i = 0; i < values; ++i) {
      DWORD nameSize = maxName + 1, dataSize = maxData, type = 0;
      if (LONG r = RegEnumValue(key, i, name.data(), &nameSize, nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &dataSize))
        return status(r);
      std::printf("%s %u %s\n", toHex(std::string_view(name.data(), nameSize)).c_str(), type,
                  toHex(std::string_view(data.data(), dataSize)).c_str());
    }
    RegCloseKey(key);
    return 0;
  }
  if (cmd == "many" && argc == 6) {
    const std::string prefix = argv[4];
    const int count = std::atoi(argv[5]);
    for (int i = 0; i < count; ++i) {
      HKEY key;
      if (LONG r = RegCreateKeyEx(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return status(r);
      const DWORD v = static_cast<DWORD>(i);
      const LONG r = RegSetValueEx(key, prefix + std::to_string(i), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&v), sizeof v);
      RegCloseKey(key);
      if (r != ERROR_SUCCESS) return status(r);
    }
    return 0;
  }
  if (cmd == "delkey" && argc == 4) return status(RegDeleteKey(root, keyPath));
  return 100;
}
