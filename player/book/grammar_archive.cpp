#include "player/book/grammar_archive.h"

#include <QByteArrayView>
#include <QStringDecoder>

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "platform/fs/program_folder.h"
#include "platform/riff/riff.h"
#include "player/env/msg_box.h"

namespace {

constexpr int kStrNoBrowserPath = 20004;

// Page records.
constexpr std::size_t kPageCountAt = 6;
constexpr std::size_t kPageKeySize = 9;
constexpr std::size_t kPageTitleAt = 9;
constexpr std::size_t kPageTitleSize = 132;
constexpr std::size_t kAnchorCountAt = 141;
constexpr std::size_t kFirstAnchorAt = 143;
// Anchor records.
constexpr std::size_t kAnchorKeySize = 29;
constexpr std::size_t kAnchorTitleAt = 29;
constexpr std::size_t kAnchorTitleSize = 130;

using PageRecord = std::array<char, COrv_GrammarArchive::kPageRecordSize>;
using AnchorRecord = std::array<char, COrv_GrammarArchive::kAnchorRecordSize>;

// A zero-terminated text inside a fixed field; the whole field when it holds
// no zero.
std::string_view field(const char* record, std::size_t at, std::size_t size) {
  const char* start = record + at;
  const void* zero = std::memchr(start, 0, size);
  return {start, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - start) : size};
}

// A signed count or number; negative values count as 0 (nothing to read).
int number(const char* record, std::size_t at) {
  const auto v = static_cast<std::int16_t>(plat::riff::getU16(record + at));
  return v < 0 ? 0 : v;
}

std::string title(std::string_view bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QString text = utf8(view);
  if (!utf8.hasError()) return std::string(bytes);
  QStringDecoder cp1252("windows-1252");
  text = cp1252(view);
  return text.toStdString();
}

template <std::size_t N>
bool readRecord(std::ifstream& in, std::array<char, N>& record) {
  in.read(record.data(), static_cast<std::streamsize>(N));
  return static_cast<std::size_t>(in.gcount()) == N;
}

// Opens the table and checks its header's tag ("GPT" or "GPB" and a zero).
template <std::size_t N>
bool openTable(std::ifstream& in, const std::filesystem::path& path, const char (&tag)[4],
               std::array<char, N>& header) {
  in.open(path, std::ios::binary);
  return in && readRecord(in, header) && std::memcmp(header.data(), tag, 4) == 0;
}

}  // namespace

COrv_GrammarArchive::COrv_GrammarArchive() : COrv_GrammarArchive(plat::fs::programFolder()) {}

COrv_GrammarArchive::COrv_GrammarArchive(const std::filesystem::path& programFolder) {
  if (programFolder.empty()) {
    COrv_MsgBox box;
    box.m_nKind = 3;
    box.m_nMessageId = kStrNoBrowserPath;
    box.Show();
    return;
  }
  m_folder = programFolder / "Gramm" / "Arch";
}

std::string COrv_GrammarArchive::FindTitle(std::string_view link) const {
  const std::size_t hash = link.find('#');
  const bool hasAnchor = hash != std::string_view::npos;
  const std::string_view pageKey = link.substr(0, hash);
  const std::string_view anchorKey = hasAnchor ? link.substr(hash + 1) : std::string_view();

  std::ifstream pages;
  std::ifstream anchors;
  PageRecord record{};
  AnchorRecord anchor{};
  if (!openTable(pages, GetPagePath(), "GPT", record) ||
      !openTable(anchors, GetAnchorPath(), "GPB", anchor))
    return {};
  const int pageCount = number(record.data(), kPageCountAt);

  // Counts are at most 32767, so a hostile table costs a bounded read.
  for (int i = 1; i <= pageCount; ++i) {
    if (!readRecord(pages, record)) return {};
    if (field(record.data(), 0, kPageKeySize) != pageKey) continue;
    if (!hasAnchor) return title(field(record.data(), kPageTitleAt, kPageTitleSize));

    const int anchorCount = number(record.data(), kAnchorCountAt);
    const int first = number(record.data(), kFirstAnchorAt);
    if (first < 1 || anchorCount < 1) return {};
    anchors.seekg(static_cast<std::streamoff>(kAnchorRecordSize) * first);
    for (int j = 1; j <= anchorCount; ++j) {
      if (!readRecord(anchors, anchor)) return {};
      if (field(anchor.data(), 0, kAnchorKeySize) == anchorKey)
        return title(field(anchor.data(), kAnchorTitleAt, kAnchorTitleSize));
    }
    return {};
  }
  return {};
}

int COrv_GrammarArchive::FindTitles(const std::vector<std::string>& links,
                                    std::vector<std::string>& titles) const {
  if (titles.size() < links.size()) titles.resize(links.size());
  for (std::size_t i = 0; i < links.size(); ++i) titles[i] = FindTitle(links[i]);
  return static_cast<int>(links.size());
}
