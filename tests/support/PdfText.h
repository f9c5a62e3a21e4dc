#pragma once
// Reading a PDF back with poppler's tools, as a technician's viewer would:
// the page count (pdfinfo) and the text (pdftotext). Tests skip when the
// tools are missing (./setup installs them with poppler-utils).
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>

namespace pv::test {

inline bool PopplerAvailable() {
  return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

inline QString RunTool(const QString& tool, const QStringList& args) {
  QProcess p;
  p.start(tool, args);
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

// Pages as pdfinfo counts them; -1 when it cannot read the file.
inline int PdfPages(const QString& pdf) {
  const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
  const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The page's text with every blank removed: word spacing in a PDF is the
// reader's guess, the letters are not.
inline QString PdfTextCompact(const QString& pdf) {
  QString t = RunTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
  t.remove(QRegularExpression(QStringLiteral("\\s")));
  return t;
}

inline QString Compact(QString s) {
  s.remove(QRegularExpression(QStringLiteral("\\s")));
  return s;
}

} // namespace pv::test
