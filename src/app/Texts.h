#pragma once
// Looking texts up for the current language and brand.
#include "app/AppState.h"
#include "text/StringTable.h"

namespace pv {

// A language-dependent text: id (Italian) plus the language offset.
inline QString Tr(const AppState& s, int id) { return LoadText(id + s.languageOffset); }

// A text of the selected brand block (brand::Company, brand::ProductTitle...).
inline QString BrandText(const AppState& s, int idInBlock) {
  return LoadText(BrandBase(s.brandIndex) + idInBlock);
}

// The title of every message box.
inline QString ProductTitle(const AppState& s) { return BrandText(s, brand::ProductTitle); }

} // namespace pv
