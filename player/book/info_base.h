#pragma once
// The keyed base of every list of book information. A derived list keeps its
// data in arrays of its own; the base keeps the map from a key (usually an
// Echomark or a language number), or a (key, subkey) pair, to the position
// of the data in those arrays, and the error sink that reading code reports
// through.
//
// To store a value, a derived list asks FindKey / FindKeyPair for the
// position, takes the end of its own array when the answer is -1, stores
// the value there and then calls AddKey / AddKeyPair with that position.
// A later entry wins. Lookups go through hash maps, so reading a list of n
// entries costs O(n), not O(n^2), even for hostile files.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "player/env/error_info.h"


class COrv_InfoBase {
 public:
  enum Mode { kEmpty = 0, kSingleKeys = 1, kKeyPairs = 2 };

  COrv_InfoBase() = default;
  // Lists may own files on disk (waves, spots): never copied.
  COrv_InfoBase(const COrv_InfoBase&) = delete;
  COrv_InfoBase& operator=(const COrv_InfoBase&) = delete;
  virtual ~COrv_InfoBase();

  // Empties the map and the distinct keys; mode 0. The loaded mark stays:
  // it tells whether a reader has filled the list since it was built.
  virtual void Clear();

  // Single-key mode: records the key among the distinct keys when new;
  // an entry with this key gets `index`, else (key, index) is appended.
  void AddKey(int index, std::uint32_t key);
  // Pair mode: an entry with this key and subkey gets `index`, else
  // (key, subkey, index) is appended.
  void AddKeyPair(int index, std::uint32_t key, std::uint32_t subkey);

  // The index of the last entry with this key (and subkey); -1 when none
  // or when nothing was ever added since the last Clear.
  int FindKey(std::uint32_t key) const;
  int FindKeyPair(std::uint32_t key, std::uint32_t subkey) const;

  // Distinct keys of single-key mode, in order of first addition.
  int GetKeyCount() const { return static_cast<int>(m_distinctKeys.size()); }
  // Distinct key n, counted from 1; -1 outside 1..count.
  std::int64_t GetKeyAt(int n) const;

  int GetMode() const { return m_mode; }
  // Number of map entries.
  int GetEntryCount() const { return static_cast<int>(m_keys.size()); }

  void SetErrorSink(orv::InfoErrorSink* sink) { m_errorSink = sink; }
  orv::InfoErrorSink* GetErrorSink() const { return m_errorSink; }
  // Stores the error in the sink when one is set; 0 either way.
  int ReportError(int line, const std::string& sourceFile, int code, int kind) const;

  void SetLoaded(int flag) { m_loaded = flag; }
  int GetLoaded() const { return m_loaded; }

 private:
  std::vector<std::uint32_t> m_subkeys;
  std::vector<std::uint32_t> m_indexes;
  std::vector<std::uint32_t> m_keys;
  std::vector<std::uint32_t> m_distinctKeys;
  std::unordered_set<std::uint32_t> m_distinctSet;
  // key -> position of the last entry with that key (any subkey)
  std::unordered_map<std::uint32_t, size_t> m_lastByKey;
  // (key << 32 | subkey) -> position of the entry with that pair
  std::unordered_map<std::uint64_t, size_t> m_byPair;
  int m_loaded = 0;
  orv::InfoErrorSink* m_errorSink = nullptr;
  int m_mode = kEmpty;
};
