#include "player/book/catalogue.h"

#include <filesystem>

#include "platform/fs/program_folder.h"
#include "platform/fs/temp_files.h"
#include "player/book/content_dispatch.h"
#include "player/book/talvane.h"

int COrv_CatalogueRecord::Load(const std::string& path) {
  m_count = 0;
  m_names.clear();
  m_valueA.clear();
  m_valueB.clear();
  COrv_Talvane book;
  COrv_TvlCoreIO reader;
  book.SetSourceFile(path, -1);
  std::vector<int> versions, numbers;
  std::vector<std::string> names;
  const int count = reader.ReadCatalogue(book, versions, numbers, names);
  const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
  if (n == 0 || versions.size() < n || numbers.size() < n || names.size() < n) return 0;
  names.resize(n);
  m_names = std::move(names);
  for (size_t i = 0; i < n; ++i) {
    m_valueA.push_back(static_cast<std::uint32_t>(numbers[i]));
    m_valueB.push_back(static_cast<std::uint32_t>(versions[i]));
  }
  m_count = count;
  return m_count;
}

std::string COrv_CatalogueRecord::GetName(int n) const {
  return valid(n) ? m_names[static_cast<size_t>(n - 1)] : std::string();
}

std::uint32_t COrv_CatalogueRecord::GetValueA(int n) const {
  return valid(n) ? m_valueA[static_cast<size_t>(n - 1)] : 0;
}

std::uint32_t COrv_CatalogueRecord::GetValueB(int n) const {
  return valid(n) ? m_valueB[static_cast<size_t>(n - 1)] : 0;
}

namespace orv {

namespace {

bool makeTempFile(std::string_view prefix, plat::fs::TempFile& out) {
  const std::filesystem::path folder = plat::fs::systemTempFolder();
  return !folder.empty() && !plat::fs::createTempFile(folder, prefix, out);
}

}  // namespace

std::string GetTempFileNameIn(std::string_view prefix) {
  plat::fs::TempFile temp;
  return makeTempFile(prefix, temp) ? temp.path.string() : std::string();
}

std::uint32_t MakeTempFileNumber(std::string_view prefix) {
  plat::fs::TempFile temp;
  return makeTempFile(prefix, temp) ? temp.unique : 0;
}

bool TempFileNameOf(std::string_view prefix, std::uint32_t unique, std::string& name) {
  name.clear();
  const std::filesystem::path folder = plat::fs::systemTempFolder();
  if (folder.empty()) return false;
  name = plat::fs::tempFileName(folder, prefix, unique).string();
  return !name.empty();
}

}  // namespace orv
