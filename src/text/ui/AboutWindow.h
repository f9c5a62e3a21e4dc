#pragma once
// The About window: product title, the maker's web site, the user guide of
// the current language, and a way to the system-information tool.
#include <QWidget>
#include <array>

class QLabel;
class QPushButton;

namespace pv {

struct AppState;
class Prompter;

// The system-information tool of this platform, or empty when none is found.
QString FindSystemInfoTool();

class AboutWindow final : public QWidget {
  Q_OBJECT
public:
  AboutWindow(AppState& state, Prompter& prompter, QWidget* parent = nullptr);
  void applyCaptions(const QString& windowTitle);

  void openWeb();
  void openManual();
  void startSysInfo();

signals:
  void closeRequested();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  AppState& state_;
  Prompter& prompter_;
  QLabel* title_;
  std::array<QLabel*, 2> links_{};
  QLabel* icon_;
  QLabel* pdf_;
};

} // namespace pv
