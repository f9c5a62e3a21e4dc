#include "factory/InstrumentPort.h"

#include "link/PortNames.h"

#include <QRegularExpression>

namespace pv {

namespace {

const QString kManual = QStringLiteral("Manuale");

bool LooksLikeResource(const QString& t) { return t.contains(QStringLiteral("::")); }
bool LooksLikePath(const QString& t) { return t.startsWith(QLatin1Char('/')); }

// "Com6" -> 6, "Usb2" -> 2 for the listed entries; 0 otherwise.
int ListedNumber(const QString& text, const QString& prefix, int highest) {
  if (text.size() != prefix.size() + 1 || !text.startsWith(prefix)) return 0;
  const int n = PortNumberFromText(text);
  return n >= 1 && n <= highest ? n : 0;
}

InstrumentPort Serial(const QString& text, int n) {
  return {PortKind::Serial, n, ResolveComPort(n), text};
}

InstrumentPort ByPathOrResource(const QString& text, bool sessionAllowed) {
  if (LooksLikePath(text)) return {PortKind::Serial, 0, text, text};
  if (sessionAllowed && LooksLikeResource(text)) return {PortKind::Session, 0, text, text};
  return {PortKind::Invalid, 0, {}, text};
}

} // namespace

QStringList InstrumentSelectorEntries() {
  QStringList list;
  for (int n = 1; n <= 8; ++n) list << QStringLiteral("Com%1").arg(n);
  for (int n = 1; n <= 4; ++n) list << QStringLiteral("Usb%1").arg(n);
  list << kManual;
  return list;
}

InstrumentPort ParseSerialInstrumentPort(const QString& text) {
  if (text == kManual) return {PortKind::Manual, 0, {}, text};
  if (int n = ListedNumber(text, QStringLiteral("Com"), 8)) return Serial(text, n);
  // No USB link on these instruments: "UsbN" is serial port N.
  if (int n = ListedNumber(text, QStringLiteral("Usb"), 4)) return Serial(text, n);
  return ByPathOrResource(text, false);
}

InstrumentPort ParseMultimeterPort(const QString& text) {
  if (LooksLikePath(text)) return {PortKind::Serial, 0, text, text};
  if (LooksLikeResource(text)) return {PortKind::Session, 0, text, text};
  const QString head = text.left(3);
  if (head == QLatin1String("Man")) return {PortKind::Manual, 0, {}, text};
  const int n = PortNumberFromText(text);
  if (head == QLatin1String("Com") && n >= 1 && n <= 8) return Serial(text, n);
  if (head == QLatin1String("Usb") && n >= 1 && n <= 4)
    return {PortKind::Session, n, ResolveUsbResource(QStringLiteral("Usb%1").arg(n)), text};
  return {PortKind::Invalid, 0, {}, text};
}

InstrumentPort ParseGeneratorPort(const QString& text) {
  const QString resource = ResolveUsbResource(text);
  if (!resource.isEmpty())
    return {PortKind::Session, PortNumberFromText(text), resource, text};
  if (LooksLikePath(text) || LooksLikeResource(text)) return {PortKind::Session, 0, text, text};
  return {PortKind::Invalid, 0, {}, text};
}

QString ResolveUsbResource(const QString& name) {
  static const QRegularExpression usb(QStringLiteral("^Usb(?:Device)?([1-4])$"));
  const auto m = usb.match(name);
  if (!m.hasMatch()) return {};
  const int n = m.captured(1).toInt();
  const QByteArray env = qgetenv(QByteArray("PLANOVIX_USB") + QByteArray::number(n));
  if (!env.isEmpty()) return QString::fromLocal8Bit(env);
  return QStringLiteral("/dev/usbtmc%1").arg(n - 1);
}

} // namespace pv
