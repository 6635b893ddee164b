#include "player/views/catalogue_filter.h"

#include <algorithm>

namespace orv::views {

int COrv_CatalogueFilter::SourceKind(int bits) {
  if (bits & 4) return 2;
  if (bits & 8) return 3;
  if (bits & 1) return 0;
  if (bits & 2) return 1;
  return 4;
}

bool COrv_CatalogueFilter::Toggle(int kind, int row) {
  if (!validKind(kind) || row < 0) return false;
  auto& rows = ticked_[static_cast<size_t>(kind)];
  const auto it = std::find(rows.begin(), rows.end(), row);
  if (it != rows.end()) {
    rows.erase(it);
    return false;
  }
  rows.push_back(row);
  return true;
}

bool COrv_CatalogueFilter::IsTicked(int kind, int row) const {
  if (!validKind(kind)) return false;
  const auto& rows = ticked_[static_cast<size_t>(kind)];
  return std::find(rows.begin(), rows.end(), row) != rows.end();
}

bool COrv_CatalogueFilter::IsEmpty(int kind) const {
  return !validKind(kind) || ticked_[static_cast<size_t>(kind)].empty();
}

void COrv_CatalogueFilter::Clear(int kind) {
  if (validKind(kind)) ticked_[static_cast<size_t>(kind)].clear();
}

bool COrv_CatalogueFilter::passes(int kind, int value) const {
  const auto& rows = ticked_[static_cast<size_t>(kind)];
  if (rows.empty()) return true;
  const int offset = kind == kLanguage ? 0 : 1;
  return std::find(rows.begin(), rows.end(), value - offset) != rows.end();
}

bool COrv_CatalogueFilter::Passes(const CatalogueBook& book) const {
  return passes(kCategory, book.category) && passes(kDifficulty, book.difficulty) &&
         passes(kLanguage, book.language == 32 ? 0 : book.language) &&
         passes(kSource, SourceKind(book.sourceType) + 1);
}

std::vector<int> COrv_CatalogueFilter::Apply(const std::vector<CatalogueBook>& books) const {
  std::vector<int> out;
  for (size_t i = 0; i < books.size(); ++i)
    if (Passes(books[i])) out.push_back(static_cast<int>(i));
  return out;
}

}  // namespace orv::views
