// The record store's rows read back into entries (records/WriteRecord.h).
// The input is split into the row's text columns at 0x1F bytes, then its
// numbers; the checksum is made to match, so that the decoding of every
// field is reached, then one byte is changed and the row must be refused.
//
// Invariants:
// - a row with a matching checksum is either refused with a reason, or
//   decodes to an entry whose cells are in range, ascending, unique and
//   spell the cells column exactly, whose identity bytes are the row's and
//   whose fingerprint is empty or 16 hex digits;
// - the same row with any text changed is refused (its checksum no longer
//   matches), never read as another entry.
#include "FuzzSupport.h"

#include "records/WriteRecord.h"

using namespace pv;
using namespace pv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  RecordRow row;
  row.id = 1 + in.byte();
  row.blank = in.byte() % 3;
  row.deviceCode = in.byte() * 2 - 2;  // a few past a byte at both ends
  row.variant = in.byte();
  row.revision = in.byte();
  row.spare = in.byte();
  QString RecordRow::*const columns[] = {&RecordRow::time,  &RecordRow::command, &RecordRow::fingerprint,
                                         &RecordRow::fingerprintAfter, &RecordRow::label, &RecordRow::model,
                                         &RecordRow::cells};
  const QList<QByteArray> parts = in.rest().split('\x1f');
  for (int i = 0; i < 7 && i < parts.size(); ++i) row.*columns[i] = QString::fromUtf8(parts[i]);
  row.digest = RecordDigest(row);

  QString why;
  const std::optional<WriteRecord> r = DecodeRecord(row, &why);
  if (!r) {
    PV_FUZZ_CHECK(!why.isEmpty(), QStringLiteral("refused without a reason"));
    return 0;
  }
  PV_FUZZ_CHECK(EncodeCells(r->cells) == row.cells, QStringLiteral("cells \"%1\" read as \"%2\"").arg(row.cells, EncodeCells(r->cells)));
  for (size_t i = 0; i < r->cells.size(); ++i) {
    const StoredCell& c = r->cells[i];
    PV_FUZZ_CHECK(c.bank >= 0 && c.bank <= 255 && c.address >= 0 && c.address <= 255, QStringLiteral("a cell out of range"));
    if (i > 0) {
      const StoredCell& p = r->cells[i - 1];
      PV_FUZZ_CHECK(p.bank < c.bank || (p.bank == c.bank && p.address < c.address), QStringLiteral("cells out of order"));
    }
  }
  PV_FUZZ_CHECK(r->identity.deviceCode == row.deviceCode && r->identity.variant == row.variant &&
                    r->identity.hardwareRevision == row.revision && r->identity.spare == row.spare,
                QStringLiteral("identity bytes changed"));
  PV_FUZZ_CHECK(r->fingerprint.isEmpty() || IsFingerprintText(r->fingerprint), QStringLiteral("a bad fingerprint accepted"));
  PV_FUZZ_CHECK(r->label == CleanLabel(r->label), QStringLiteral("a label of more than one line accepted"));

  // Damage: one character of one column changed.
  RecordRow damaged = row;
  QString& target = damaged.*columns[row.id % 7];
  if (target.isEmpty()) target = QStringLiteral("x");
  else target[0] = QChar(static_cast<char16_t>(target.at(0).unicode() ^ 1));
  PV_FUZZ_CHECK(!DecodeRecord(damaged).has_value(), QStringLiteral("a changed row was accepted"));
  return 0;
}
