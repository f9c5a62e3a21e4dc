#pragma once
// Looking texts up for the current language and brand.
#include "kernel/AppState.h"
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

// Caption of a catalogue row in the selected brand, or empty when absent.
inline QString ModelCaption(const AppState& s, int catalogueIndex) {
  if (catalogueIndex < 0) return {};
  return FindText(BrandBase(s.brandIndex) + brand::FirstCaption + catalogueIndex).value_or(QString());
}

} // namespace pv
