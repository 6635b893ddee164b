#include "player/book/info_lists.h"

#include <algorithm>
#include <ctime>
#include <new>

#include <QProcess>
#include <QStringList>

#include "platform/fs/file.h"
#include "platform/fs/file_io.h"
#include "platform/fs/module_names.h"
#include "platform/ipc/presence.h"
#include "platform/win/window.h"
#include "player/book/byte_fields.h"

// --- Texts by language ------------------------------------------------------

void COrv_TextInfo::Clear() {
  m_texts.clear();
  COrv_InfoBase::Clear();
}

void COrv_TextInfo::SetText(const std::string& text, std::uint32_t language) {
  int index = FindKey(language);
  if (index < 0 || static_cast<size_t>(index) >= m_texts.size()) {
    index = static_cast<int>(m_texts.size());
    m_texts.push_back(text);
  } else {
    m_texts[static_cast<size_t>(index)] = text;
  }
  AddKey(index, language);
}

std::string COrv_TextInfo::GetText(std::uint32_t language) const {
  const int index = FindKey(language);
  if (index < 0 || static_cast<size_t>(index) >= m_texts.size()) return {};
  return m_texts[static_cast<size_t>(index)];
}

// --- Dictionary ---------------------------------------------------------------

void COrv_DictionaryInfo::Clear() {
  m_definitions.clear();
  m_secondTexts.clear();
  m_firstTexts.clear();
  m_words.clear();
  COrv_InfoBase::Clear();
}

void COrv_DictionaryInfo::Add(std::uint32_t word, const std::string& firstText,
                              const std::string& secondText, const std::string& definition,
                              std::uint32_t language) {
  if (FindWord(word) < 0) m_words.push_back(word);
  int index = FindKeyPair(language, word);
  if (index < 0 || static_cast<size_t>(index) >= m_firstTexts.size()) {
    index = static_cast<int>(m_firstTexts.size());
    m_firstTexts.push_back(firstText);
    m_secondTexts.push_back(secondText);
    m_definitions.push_back(definition);
  } else {
    const auto i = static_cast<size_t>(index);
    m_firstTexts[i] = firstText;
    m_secondTexts[i] = secondText;
    m_definitions[i] = definition;
  }
  AddKeyPair(index, language, word);
}

const std::string* COrv_DictionaryInfo::entry(const std::vector<std::string>& texts,
                                              std::uint32_t word, std::uint32_t language) const {
  const int index = FindKeyPair(language, word);
  if (index < 0 || static_cast<size_t>(index) >= texts.size()) return nullptr;
  return &texts[static_cast<size_t>(index)];
}

std::string COrv_DictionaryInfo::GetFirstText(std::uint32_t word, std::uint32_t language) const {
  const std::string* s = entry(m_firstTexts, word, language);
  return s ? *s : std::string();
}

std::string COrv_DictionaryInfo::GetSecondText(std::uint32_t word, std::uint32_t language) const {
  const std::string* s = entry(m_secondTexts, word, language);
  return s ? *s : std::string();
}

std::string COrv_DictionaryInfo::GetDefinition(std::uint32_t word, std::uint32_t language) const {
  const std::string* s = entry(m_definitions, word, language);
  return s ? *s : std::string();
}

int COrv_DictionaryInfo::FindWord(std::uint32_t word) const {
  const auto it = std::find(m_words.begin(), m_words.end(), word);
  if (it == m_words.end()) return -1;
  return static_cast<int>(it - m_words.begin()) + 1;
}

std::uint32_t COrv_DictionaryInfo::GetWordAt(int n) const {
  if (n < 1 || n > GetWordCount()) return 0;
  return m_words[static_cast<size_t>(n - 1)];
}

// --- Links ----------------------------------------------------------------------

void COrv_LinkInfo::Clear() {
  m_names.clear();
  m_ids.clear();
  COrv_InfoBase::Clear();
}

void COrv_LinkInfo::Add(const std::string& name, std::uint32_t id) {
  for (size_t i = 0; i < m_names.size(); ++i)
    if (m_ids[i] == id && m_names[i] == name) return;
  m_names.push_back(name);
  m_ids.push_back(id);
}

int COrv_LinkInfo::GetLinks(std::uint32_t id, std::vector<std::string>& names) const {
  for (size_t i = 0; i < m_names.size(); ++i)
    if (m_ids[i] == id) names.push_back(m_names[i]);
  return static_cast<int>(names.size());
}

int COrv_LinkInfo::FindIds(const std::string& name, std::vector<std::uint32_t>& ids) const {
  for (size_t i = 0; i < m_names.size(); ++i)
    if (m_names[i] == name) ids.push_back(m_ids[i]);
  return static_cast<int>(ids.size());
}

int COrv_LinkInfo::CollectIds(std::vector<std::uint32_t>& ids) const {
  if (m_ids.empty()) return 0;
  for (std::uint32_t id : m_ids)
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  return static_cast<int>(ids.size());
}

bool COrv_LinkInfo::HasId(std::uint32_t id) const {
  return std::find(m_ids.begin(), m_ids.end(), id) != m_ids.end();
}

bool COrv_LinkInfo::HasName(const std::string& name) const {
  return std::find(m_names.begin(), m_names.end(), name) != m_names.end();
}

// --- Word lists -----------------------------------------------------------------

void COrv_WordInfo::Clear() {
  m_sorted.clear();
  m_list16.clear();
  m_list8.clear();
  COrv_TextInfo::Clear();
}

void COrv_WordInfo::AddSorted(std::uint32_t n) {
  // Kept ascending at every insertion; the lists are a handful of entries.
  m_sorted.insert(std::upper_bound(m_sorted.begin(), m_sorted.end(), n), n);
}

std::uint32_t COrv_WordInfo::at(const std::vector<std::uint32_t>& list, int k) {
  if (k < 1 || static_cast<size_t>(k) > list.size()) return 0;
  return list[static_cast<size_t>(k - 1)];
}

// --- Media spots -------------------------------------------------------------------

namespace {

std::uint16_t u16At(const std::string& r, size_t at) { return orv::le16(r, at); }
std::int32_t i32At(const std::string& r, size_t at) { return static_cast<std::int32_t>(orv::le32(r, at)); }

// The zero-terminated name of an item record; empty when the record holds
// no terminator.
std::string itemName(const std::string& record) {
  const size_t end = record.find('\0', 8);
  if (end == std::string::npos) return {};
  return record.substr(8, end - 8);
}

// A plain file name that stays inside the folder it is joined to.
bool isPlainName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find('/') == std::string::npos && name.find('\\') == std::string::npos;
}

}  // namespace

COrv_SpotDate COrv_SystemSpotHost::Today() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

void COrv_SystemSpotHost::ScreenSize(int& width, int& height) const {
  width = plat::win::GetSystemMetrics(plat::win::SM_CXSCREEN);
  height = plat::win::GetSystemMetrics(plat::win::SM_CYSCREEN);
}

std::filesystem::path COrv_SystemSpotHost::ViewerProgram(int kind) const {
  if (kind != 0) return {};
  return plat::fs::modulePath("Pelvara.exe");
}

bool COrv_SystemSpotHost::Start(const std::filesystem::path& program,
                                const std::vector<std::string>& args, int idleWaitMs) {
  // Detached: the spot stays up for its time even when the player ends.
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  QProcess process;
  process.setProgram(QString::fromStdString(program.string()));
  process.setArguments(list);
  process.setWorkingDirectory(QString::fromStdString(program.parent_path().string()));
  qint64 pid = 0;
  if (!process.startDetached(&pid)) return false;
  // The viewer takes its window class and says "ready" once its window is
  // up. Whether it does so in time or not, it has been started.
  (void)plat::ipc::waitForStartedProgram(COrv_SpotInfo::kViewerClass, pid, idleWaitMs);
  return true;
}

COrv_SpotInfo::COrv_SpotInfo(COrv_SpotHost* host) : m_host(host ? host : &m_systemHost) {}

void COrv_SpotInfo::deleteExtracted() {
  for (const auto& f : m_extractedFiles) plat::fs::removeFile(f);
  m_extractedFiles.clear();
  m_extractedGroup = 0;
}

void COrv_SpotInfo::forgetRecords() {
  m_offsets.clear();
  m_records.clear();
  m_header.assign(kHeaderSize, '\0');
  m_spotsLoaded = false;
  COrv_InfoBase::Clear();
}

void COrv_SpotInfo::Clear() {
  deleteExtracted();
  if (!m_filePath.empty()) plat::fs::removeFile(m_filePath);
  m_filePath.clear();
  forgetRecords();
}

void COrv_SpotInfo::SetFilePath(const std::filesystem::path& path) {
  if (!m_filePath.empty() && m_filePath != path) Clear();
  m_filePath = path;
}

bool COrv_SpotInfo::Load() {
  if (m_filePath.empty() || m_spotsLoaded) return false;
  plat::fs::File file;
  if (file.open(m_filePath, plat::fs::File::Mode::Read)) return false;

  auto readRecord = [&](std::int64_t at, size_t n, std::string& out) {
    out.assign(n, '\0');
    size_t got = 0;
    return !file.readAt(static_cast<std::uint64_t>(at), out.data(), n, got) && got == n;
  };
  auto fail = [&] {
    forgetRecords();
    return false;
  };

  std::string header;
  if (!readRecord(0, kHeaderSize, header)) return fail();
  // Records of a sound file do not overlap, so there can be no more of them
  // than group-sized slices of the file. A file whose steps loop back over
  // the same bytes would otherwise make up to 65535 x 65535 records.
  std::uint64_t fileSize = 0;
  if (file.size(fileSize)) return fail();
  const std::uint64_t maxRecords = fileSize / kGroupSize;
  const std::int64_t limit = i32At(header, 0);
  const int groups = u16At(header, 10);
  // Every group takes a record of its own: a count the file has no room
  // for is damage, refused before any of it is walked.
  if (std::uint64_t(groups) * kGroupSize > fileSize) return fail();
  std::int64_t p = 0;
  std::int64_t step = std::int64_t{i32At(header, 4)} + 4;
  for (int g = 1; g <= groups; ++g) {
    p += step;
    if (p < 0 || p > limit) return fail();
    std::string group;
    if (!readRecord(p, kGroupSize, group)) return fail();
    if (m_records.size() >= maxRecords) return fail();
    m_records.push_back(group);
    m_offsets.push_back(p);
    AddKeyPair(static_cast<int>(m_records.size() - 1), 0, static_cast<std::uint32_t>(g));
    step = i32At(group, 0);

    std::int64_t q = p;
    std::int64_t itemStep = i32At(group, 4);
    const int items = u16At(group, 8);
    if (std::uint64_t(items) * kItemSize > fileSize) return fail();
    for (int j = 1; j <= items; ++j) {
      q += itemStep;
      if (q < 0 || q > limit) return fail();
      std::string item;
      if (!readRecord(q, kItemSize, item)) return fail();
      // An item smaller than its own record, or a name without its
      // terminator, is malformed.
      if (i32At(item, 0) < static_cast<std::int32_t>(kItemSize) || item.find('\0', 8) == std::string::npos)
        return fail();
      if (m_records.size() >= maxRecords) return fail();
      m_records.push_back(item);
      m_offsets.push_back(q);
      AddKeyPair(static_cast<int>(m_records.size() - 1), static_cast<std::uint32_t>(g),
                 static_cast<std::uint32_t>(j));
      itemStep = i32At(item, 0);
    }
  }
  m_header = header;
  m_spotsLoaded = true;
  return true;
}

int COrv_SpotInfo::GetGroupCount() const { return m_spotsLoaded ? u16At(m_header, 10) : 0; }

const std::string* COrv_SpotInfo::groupRecord(int group) const {
  if (!m_spotsLoaded || group < 1 || group > GetGroupCount()) return nullptr;
  const int index = FindKeyPair(0, static_cast<std::uint32_t>(group));
  if (index < 0 || static_cast<size_t>(index) >= m_records.size()) return nullptr;
  return &m_records[static_cast<size_t>(index)];
}

int COrv_SpotInfo::GetItemCount(int group) const {
  const std::string* g = groupRecord(group);
  return g ? u16At(*g, 8) : 0;
}

const std::string* COrv_SpotInfo::itemRecord(int group, int item) const {
  if (item < 1 || item > GetItemCount(group)) return nullptr;
  const int index = FindKeyPair(static_cast<std::uint32_t>(group), static_cast<std::uint32_t>(item));
  if (index < 0 || static_cast<size_t>(index) >= m_records.size()) return nullptr;
  return &m_records[static_cast<size_t>(index)];
}

std::int64_t COrv_SpotInfo::itemOffset(int group, int item) const {
  const int index = FindKeyPair(static_cast<std::uint32_t>(group), static_cast<std::uint32_t>(item));
  if (index < 0 || static_cast<size_t>(index) >= m_offsets.size()) return -1;
  return m_offsets[static_cast<size_t>(index)];
}

int COrv_SpotInfo::GetMainItem(int group) const {
  const std::string* g = groupRecord(group);
  if (!g) return 0;
  const int main = u16At(*g, 10);
  return itemRecord(group, main) ? main : 0;
}

bool COrv_SpotInfo::GetMainItemSize(int group, int& width, int& height) const {
  const std::string* item = itemRecord(group, GetMainItem(group));
  if (!item) return false;
  width = u16At(*item, 4);
  height = u16At(*item, 6);
  return true;
}

std::string COrv_SpotInfo::GetMainItemName(int group) const {
  const std::string* item = itemRecord(group, GetMainItem(group));
  return item ? itemName(*item) : std::string();
}

int COrv_SpotInfo::GetTriggerKey(int group) const {
  const std::string* g = groupRecord(group);
  return g ? u16At(*g, 12) : -1;
}

int COrv_SpotInfo::GetViewerKind(int group) const {
  const std::string* g = groupRecord(group);
  return g ? u16At(*g, 14) : -1;
}

bool COrv_SpotInfo::Extract(int group) {
  // Without a folder of its own the list writes nowhere.
  if (m_filePath.empty() || m_folder.empty() || !groupRecord(group)) return false;
  plat::fs::File in;
  std::uint64_t fileSize = 0;
  if (in.open(m_filePath, plat::fs::File::Mode::Read) || in.size(fileSize)) return false;
  deleteExtracted();

  std::vector<std::filesystem::path> written;
  auto fail = [&] {
    for (const auto& f : written) plat::fs::removeFile(f);
    return false;
  };
  const int items = GetItemCount(group);
  for (int j = 1; j <= items; ++j) {
    const std::string* item = itemRecord(group, j);
    if (!item) return fail();
    const std::string name = itemName(*item);
    if (!isPlainName(name)) return fail();
    const std::filesystem::path out = m_folder / name;
    const auto length = static_cast<size_t>(i32At(*item, 0)) - kItemSize;
    // The data must lie inside the file before anything is allocated for it.
    const auto from = static_cast<std::uint64_t>(itemOffset(group, j)) + kItemSize;
    if (from > fileSize || length > fileSize - from) return fail();
    std::string bytes;
    try {
      bytes.assign(length, '\0');
    } catch (const std::bad_alloc&) {
      return fail();
    }
    size_t got = 0;
    if (in.readAt(from, bytes.data(), length, got) || got != length)
      return fail();
    // A new file, never through a link that stands at that name: what
    // stands there is removed (a link as a link), and the file is made
    // exclusively.
    plat::fs::removeFile(out);
    plat::fs::File file;
    if (file.open(out, plat::fs::File::Mode::CreateNew)) return fail();
    written.push_back(out);
    if (file.write(bytes.data(), bytes.size()) || file.close()) return fail();
  }
  m_extractedFiles = written;
  m_extractedGroup = group;
  return true;
}

bool COrv_SpotInfo::IsViewerAvailable(int kind) const {
  if (kind != 0) return false;
  const std::filesystem::path program = m_host->ViewerProgram(kind);
  std::error_code ec;
  return !program.empty() && std::filesystem::is_regular_file(program, ec);
}

bool COrv_SpotInfo::IsExpired(int group) const {
  const std::string* g = groupRecord(group);
  if (!g) return true;
  const int day = static_cast<unsigned char>((*g)[24]);
  const int month = static_cast<unsigned char>((*g)[25]);
  const int year = u16At(*g, 26);
  if (day == 0 && month == 0 && year == 0) return false;
  const COrv_SpotDate today = m_host->Today();
  if (today.year != year) return today.year > year;
  if (today.month != month) return today.month > month;
  return today.day > day;
}

bool COrv_SpotInfo::StartViewer(int group) {
  if (!groupRecord(group)) return false;
  const int kind = GetViewerKind(group);
  if (!IsViewerAvailable(kind) || !Extract(group) || kind != 0) return false;
  int width = 0, height = 0;
  if (!GetMainItemSize(group, width, height)) return false;
  if (width == 0) width = kDefaultWindowSize;
  if (height == 0) height = kDefaultWindowSize;
  const std::string name = GetMainItemName(group);
  if (name.empty()) return false;
  int screenWidth = 0, screenHeight = 0;
  m_host->ScreenSize(screenWidth, screenHeight);
  const int left = (screenWidth - width) / 2;
  const int top = (screenHeight - height) / 2;
  const std::vector<std::string> args = {(m_folder / name).string(), std::to_string(left),
                                         std::to_string(top),        std::to_string(left + width),
                                         std::to_string(top + height), "10000"};
  return m_host->Start(m_host->ViewerProgram(kind), args, kIdleWaitMs);
}

bool COrv_SpotInfo::StartByTrigger(int key) {
  const int groups = GetGroupCount();
  if (groups == 0) return false;
  for (int g = 1; g <= groups; ++g) {
    if (GetTriggerKey(g) == key && IsViewerAvailable(GetViewerKind(g)) && !IsExpired(g))
      return StartViewer(g);
  }
  return false;
}
