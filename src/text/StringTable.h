#pragma once
// The program's string table: every user-visible word, keyed by number.
//
// Language-dependent texts: Italian at id N, English at N + 300; callers add
// the language offset (0 or 300). Brand texts live in blocks of 100 from 1000
// (company, web address, guide file names, product title, model captions).
#include <QString>
#include <optional>

namespace pv {

// The text for an id, or nothing when the table has no such id.
std::optional<QString> FindText(int id);

// The text for an id. An absent id is a programming fault the caller reports:
// it gets a visible marker instead of a crash, and a warning is logged.
QString LoadText(int id);

// Brand block base for a brand index: 1000 + 100 * brand.
constexpr int BrandBase(int brandIndex) { return 1000 + 100 * brandIndex; }

// Ids inside a brand block.
namespace brand {
constexpr int Company = 0;
constexpr int WebAddress = 1;
constexpr int GuideItalian = 2;
constexpr int GuideEnglish = 3;
constexpr int ProductTitle = 4;
constexpr int FirstCaption = 10;
} // namespace brand

// Offset added to language-dependent ids: numeric value of text 1 times the
// language index, as a 16-bit integer.
qint16 ComputeLanguageOffset(int languageIndex);

// The message shown when no system-information tool can be started.
QString SystemInfoUnavailableText();

} // namespace pv
