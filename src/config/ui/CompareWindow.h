#pragma once
// The compare window (frm_compare): field by field, what differs between
// the unit as last read, the editor and a ".DST" file, with the values and
// their unit. Thin: the rows come from CompareSides in the core.
#include <QByteArray>
#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QTableWidget;

namespace pv {

class EditorModel;
class Prompter;
struct AppState;

class CompareWindow final : public QWidget {
  Q_OBJECT
public:
  CompareWindow(EditorModel& model, Prompter& prompter, QWidget* parent = nullptr);

  void applyCaptions(const AppState& s);
  // Rebuilds the rows from the unit's cells, the editor and the file.
  void refresh();
  // Adds a file as the third side; false (the reason told) when it is not one.
  bool openFile(const QString& path);
  // The file button: a dialog, then openFile.
  void chooseFile();
  // As wide as the columns and as tall as the rows, within reason.
  QSize sizeHint() const override;

private:
  EditorModel& model_;
  Prompter& prompter_;
  std::optional<QByteArray> file_;
  QString fileName_;
  QTableWidget* table_;
  QPushButton* fileButton_;
  QLabel* summary_;
};

} // namespace pv
