#include "text/ui/AboutWindow.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "kernel/ui/Icons.h"

#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace pv {

QString FindSystemInfoTool() {
#ifdef Q_OS_WIN
  QSettings msinfo(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                   QSettings::NativeFormat);
  const QString path = msinfo.value(QStringLiteral("PATH")).toString();
  if (!path.isEmpty()) return path;
  QSettings location(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location"),
                     QSettings::NativeFormat);
  const QString dir = location.value(QStringLiteral("MSINFO")).toString();
  if (!dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("\\MSINFO32.EXE")))
    return dir + QStringLiteral("\\MSINFO32.EXE");
  return {};
#else
  // Desktop tools that show the hardware and the system, most specific first.
  for (const char* tool : {"hardinfo", "kinfocenter", "gnome-system-monitor", "plasma-systemmonitor",
                           "mate-system-monitor", "xfce4-taskmanager"}) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (!path.isEmpty()) return path;
  }
  return {};
#endif
}

AboutWindow::AboutWindow(AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), state_(state), prompter_(prompter) {
  setObjectName(QStringLiteral("frmAbout"));
  auto* l = new QGridLayout(this);
  l->setContentsMargins(16, 16, 16, 16);
  l->setHorizontalSpacing(16);
  icon_ = new QLabel(this);
  icon_->setObjectName(QStringLiteral("picIcon"));
  icon_->setPixmap(MakeIcon(Picture::Logo).pixmap(QSize(64, 64), devicePixelRatioF()));
  icon_->setCursor(Qt::PointingHandCursor);
  icon_->installEventFilter(this);
  l->addWidget(icon_, 0, 0, 2, 1, Qt::AlignTop);

  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("lblTitle"));
  QFont f = title_->font();
  f.setPointSizeF(f.pointSizeF() * 1.6);
  f.setBold(true);
  title_->setFont(f);
  l->addWidget(title_, 0, 1, 1, 2);

  for (int i = 0; i < 2; ++i) {
    links_[i] = new QLabel(this);
    links_[i]->setObjectName(QStringLiteral("lbl_Link_%1").arg(i));
    links_[i]->setTextFormat(Qt::RichText);
    links_[i]->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    links_[i]->setCursor(Qt::PointingHandCursor);
    connect(links_[i], &QLabel::linkActivated, this, [this, i] { i == 0 ? openWeb() : openManual(); });
  }
  l->addWidget(links_[0], 1, 1, 1, 2);
  pdf_ = new QLabel(this);
  pdf_->setObjectName(QStringLiteral("picPDF"));
  pdf_->setPixmap(MakeIcon(Picture::Document).pixmap(QSize(32, 32), devicePixelRatioF()));
  pdf_->setCursor(Qt::PointingHandCursor);
  pdf_->installEventFilter(this);
  l->addWidget(pdf_, 2, 1);
  l->addWidget(links_[1], 2, 2);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  auto* sys = new QPushButton(QStringLiteral("&System Info..."), this);
  sys->setObjectName(QStringLiteral("cmdSysInfo"));
  l->addWidget(ok, 3, 3);
  l->addWidget(sys, 4, 3);
  l->setColumnStretch(2, 1);
  connect(ok, &QPushButton::clicked, this, &AboutWindow::closeRequested);
  connect(sys, &QPushButton::clicked, this, &AboutWindow::startSysInfo);
}

void AboutWindow::applyCaptions(const QString& windowTitle) {
  setWindowTitle(windowTitle);
  title_->setText(ProductTitle(state_));
  links_[0]->setText(QStringLiteral("<a href=\"web\">%1</a>").arg(state_.webAddress.toHtmlEscaped()));
  links_[1]->setText(QStringLiteral("<a href=\"guide\">%1</a>").arg(state_.manualFile.toHtmlEscaped()));
}

void AboutWindow::openWeb() {
  QString target = state_.webAddress;
  if (!target.contains(QStringLiteral("://"))) target.prepend(QStringLiteral("https://"));
  QDesktopServices::openUrl(QUrl(target));
}

void AboutWindow::openManual() {
  // The guide's name is relative to the program's working directory.
  const QString path = QDir::current().absoluteFilePath(state_.manualFile);
  if (!QFileInfo::exists(path) || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
    prompter_.ask(ProductTitle(state_), Tr(state_, 88).arg(path), Buttons::Ok, Icon::Information);
}

void AboutWindow::startSysInfo() {
  const QString tool = FindSystemInfoTool();
  if (!tool.isEmpty() && QProcess::startDetached(tool, {})) return;
  prompter_.ask(ProductTitle(state_), SystemInfoUnavailableText(), Buttons::Ok, Icon::Information);
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == icon_) openWeb();
    if (watched == pdf_) openManual();
  }
  return QWidget::eventFilter(watched, event);
}

} // namespace pv
