#include "player/book/info_base.h"

#include <algorithm>

COrv_InfoBase::~COrv_InfoBase() { COrv_InfoBase::Clear(); }

void COrv_InfoBase::Clear() {
  m_subkeys.clear();
  m_indexes.clear();
  m_keys.clear();
  m_distinctKeys.clear();
  m_mode = kEmpty;
}

void COrv_InfoBase::AddKey(int index, std::uint32_t key) {
  m_mode = kSingleKeys;
  if (std::find(m_distinctKeys.begin(), m_distinctKeys.end(), key) == m_distinctKeys.end())
    m_distinctKeys.push_back(key);
  for (size_t i = m_keys.size(); i-- > 0;) {
    if (m_keys[i] == key) {
      m_indexes[i] = static_cast<std::uint32_t>(index);
      return;
    }
  }
  m_keys.push_back(key);
  m_subkeys.push_back(0);
  m_indexes.push_back(static_cast<std::uint32_t>(index));
}

void COrv_InfoBase::AddKeyPair(int index, std::uint32_t key, std::uint32_t subkey) {
  m_mode = kKeyPairs;
  for (size_t i = m_keys.size(); i-- > 0;) {
    if (m_keys[i] == key && m_subkeys[i] == subkey) {
      m_indexes[i] = static_cast<std::uint32_t>(index);
      return;
    }
  }
  m_keys.push_back(key);
  m_subkeys.push_back(subkey);
  m_indexes.push_back(static_cast<std::uint32_t>(index));
}

int COrv_InfoBase::FindKey(std::uint32_t key) const {
  if (m_mode == kEmpty) return -1;
  for (size_t i = m_keys.size(); i-- > 0;)
    if (m_keys[i] == key) return static_cast<int>(m_indexes[i]);
  return -1;
}

int COrv_InfoBase::FindKeyPair(std::uint32_t key, std::uint32_t subkey) const {
  if (m_mode == kEmpty) return -1;
  for (size_t i = m_keys.size(); i-- > 0;)
    if (m_keys[i] == key && m_subkeys[i] == subkey) return static_cast<int>(m_indexes[i]);
  return -1;
}

std::int64_t COrv_InfoBase::GetKeyAt(int n) const {
  if (n < 1 || n > GetKeyCount()) return -1;
  return m_distinctKeys[static_cast<size_t>(n - 1)];
}

int COrv_InfoBase::ReportError(int line, const std::string& sourceFile, int code, int kind) const {
  if (m_errorSink) return m_errorSink->SetError(line, sourceFile, code, kind);
  return 0;
}
