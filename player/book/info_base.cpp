#include "player/book/info_base.h"

COrv_InfoBase::~COrv_InfoBase() { COrv_InfoBase::Clear(); }

void COrv_InfoBase::Clear() {
  m_subkeys.clear();
  m_indexes.clear();
  m_keys.clear();
  m_distinctKeys.clear();
  m_distinctSet.clear();
  m_lastByKey.clear();
  m_byPair.clear();
  m_mode = kEmpty;
}

namespace {
std::uint64_t pairKey(std::uint32_t key, std::uint32_t subkey) {
  return (std::uint64_t{key} << 32) | subkey;
}
}  // namespace

void COrv_InfoBase::AddKey(int index, std::uint32_t key) {
  m_mode = kSingleKeys;
  if (m_distinctSet.insert(key).second) m_distinctKeys.push_back(key);
  if (auto it = m_lastByKey.find(key); it != m_lastByKey.end()) {
    m_indexes[it->second] = static_cast<std::uint32_t>(index);
    return;
  }
  const size_t pos = m_keys.size();
  m_keys.push_back(key);
  m_subkeys.push_back(0);
  m_indexes.push_back(static_cast<std::uint32_t>(index));
  m_lastByKey[key] = pos;
  m_byPair[pairKey(key, 0)] = pos;
}

void COrv_InfoBase::AddKeyPair(int index, std::uint32_t key, std::uint32_t subkey) {
  m_mode = kKeyPairs;
  const std::uint64_t pk = pairKey(key, subkey);
  if (auto it = m_byPair.find(pk); it != m_byPair.end()) {
    m_indexes[it->second] = static_cast<std::uint32_t>(index);
    return;
  }
  const size_t pos = m_keys.size();
  m_keys.push_back(key);
  m_subkeys.push_back(subkey);
  m_indexes.push_back(static_cast<std::uint32_t>(index));
  m_lastByKey[key] = pos;
  m_byPair[pk] = pos;
}

int COrv_InfoBase::FindKey(std::uint32_t key) const {
  if (m_mode == kEmpty) return -1;
  auto it = m_lastByKey.find(key);
  return it == m_lastByKey.end() ? -1 : static_cast<int>(m_indexes[it->second]);
}

int COrv_InfoBase::FindKeyPair(std::uint32_t key, std::uint32_t subkey) const {
  if (m_mode == kEmpty) return -1;
  auto it = m_byPair.find(pairKey(key, subkey));
  return it == m_byPair.end() ? -1 : static_cast<int>(m_indexes[it->second]);
}

std::int64_t COrv_InfoBase::GetKeyAt(int n) const {
  if (n < 1 || n > GetKeyCount()) return -1;
  return m_distinctKeys[static_cast<size_t>(n - 1)];
}

int COrv_InfoBase::ReportError(int line, const std::string& sourceFile, int code, int kind) const {
  if (m_errorSink) return m_errorSink->SetError(line, sourceFile, code, kind);
  return 0;
}
