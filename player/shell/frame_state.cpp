#include "player/shell/frame_state.h"

#include <cstring>

#include "platform/profile/ini_text.h"
#include "player/env/environment.h"

void COrv_FrameState::LoadSettings(orv::COrv_Environment& env) {
  for (int n = 1; n <= 36; ++n) {
    if (!cached(n)) continue;
    if (n == kTextSetting) {
      orv::DWORD size = 0;
      if (!env.GetSetting(n, nullptr, &size)) continue;
      std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
      orv::DWORD got = static_cast<orv::DWORD>(buffer.size());
      if (!env.GetSetting(n, buffer.data(), &got)) continue;
      buffer.back() = '\0';
      SetValue(n, buffer.data());
    } else {
      uint32_t value = 0;
      orv::DWORD size = sizeof value;
      if (!env.GetSetting(n, &value, &size)) continue;
      SetValue(n, &value);
    }
  }
}

void COrv_FrameState::LoadSettings() {
  orv::COrv_Environment env;
  LoadSettings(env);
}

std::size_t COrv_FrameState::GetValue(int n, void* buffer) const {
  if (m_values.empty() || !cached(n)) return 0;
  auto it = m_values.find(n);
  if (it == m_values.end()) return 0;
  if (buffer != nullptr) std::memcpy(buffer, it->second.data(), it->second.size());
  // The text's length leaves out its terminating zero.
  return n == kTextSetting ? it->second.size() - 1 : it->second.size();
}

void COrv_FrameState::SetValue(int n, const void* data) {
  if (data == nullptr || !cached(n)) return;
  const auto* bytes = static_cast<const unsigned char*>(data);
  const std::size_t length = n == kTextSetting ? std::strlen(static_cast<const char*>(data)) + 1 : 4;
  m_values[n].assign(bytes, bytes + length);
}

int32_t COrv_FrameState::GetInt(int n, int32_t fallback) const {
  if (n == kTextSetting) return fallback;
  int32_t value = 0;
  return GetValue(n, &value) == 4 ? value : fallback;
}

void COrv_FrameState::SetUserName(std::string_view name) {
  m_strUserName = std::string(plat::profile::text::cutChars(name, kMaxUserNameChars));
}
