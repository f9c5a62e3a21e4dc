#include "text/ui/LanguageWindow.h"
#include "kernel/ui/Icons.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace pv {

LanguageWindow::LanguageWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frm_Lang"));
  setWindowTitle(QStringLiteral("Lingua / Language"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(16, 16, 16, 16);
  row->setSpacing(16);
  const struct {
    Picture flag;
    const char* caption;
  } buttons[2] = {{Picture::FlagItaly, "&Italiano"}, {Picture::FlagEnglish, "&English"}};
  for (int i = 0; i < 2; ++i) {
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("cmdLanguage_%1").arg(i));
    b->setIcon(MakeIcon(buttons[i].flag));
    b->setIconSize(QSize(64, 64));
    b->setText(QString::fromLatin1(buttons[i].caption));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setMinimumWidth(110);
    row->addWidget(b);
    connect(b, &QToolButton::clicked, this, [this, i] { emit languageChosen(i); });
  }
}

} // namespace pv
