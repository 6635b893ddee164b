#pragma once
// COrv_CatalogueFilter: which installed Talvanes the catalogue lists. Four
// filters (category, difficulty, book language, where the source lies),
// each a set of ticked rows of its filter list. A book passes a filter when
// nothing is ticked there or when one ticked row stands for its value, and
// it is listed when it passes all four (OR within a filter, AND across).
//
// Row r of the category, difficulty and source lists stands for the value
// r + 1; row r of the language list for language r, where the stored
// language 32 counts as 0.

#include <array>
#include <string>
#include <vector>

namespace orv::views {

// What the catalogue shows of one installed Talvane.
struct CatalogueBook {
  std::string code;
  std::string title;
  std::string description;
  int category = 0;
  int difficulty = 0;
  int language = -1;   // as stored; -1 when unset
  int sourceType = 0;  // the SourceType bits
  int quotes = 0;
};

class COrv_CatalogueFilter {
 public:
  enum Kind { kCategory = 1, kDifficulty = 2, kLanguage = 3, kSource = 4 };

  // 0 local, 1 network, 2 Internet download (no source path), 3 CD-ROM,
  // 4 none of these.
  static int SourceKind(int sourceTypeBits);

  // Ticks the row when it is not ticked, unticks it otherwise; answers
  // whether it is ticked now.
  bool Toggle(int kind, int row);
  bool IsTicked(int kind, int row) const;
  bool IsEmpty(int kind) const;
  // Unticks every row of the kind.
  void Clear(int kind);

  bool Passes(const CatalogueBook& book) const;
  // The indices of the books that pass, in the books' order.
  std::vector<int> Apply(const std::vector<CatalogueBook>& books) const;

 private:
  static bool validKind(int kind) { return kind >= kCategory && kind <= kSource; }
  bool passes(int kind, int value) const;
  std::array<std::vector<int>, 5> ticked_;
};

}  // namespace orv::views
