#pragma once
// Saving pictures for the shots tools: a widget as it paints itself, and
// the whole virtual screen as the user sees it (title bars, the maximised
// frame), the latter only when PLANOVIX_SHOTS_DESKTOP names a folder.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstdio>

namespace pv::shots {

inline void Settle() {
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
}

inline void Save(QWidget* w, const QString& dir, const QString& name) {
  Settle();
  const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
  if (!w->grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  else std::printf("%s\n", qPrintable(path));
}

inline void SaveDesktop(const QString& name) {
  const QString dir = qEnvironmentVariable("PLANOVIX_SHOTS_DESKTOP");
  if (dir.isEmpty()) return;
  Settle();
  QDir().mkpath(dir);
  const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || !screen->grabWindow(0).save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  else std::printf("%s\n", qPrintable(path));
}

} // namespace pv::shots
