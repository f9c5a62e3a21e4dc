#pragma once
// Where a bench instrument is reached, parsed from its port selector.
//
// The selectors hold "Com1".."Com8", "Usb1".."Usb4" and "Manuale". The port
// number is the value of the last character ("Com6" -> 6). "Manuale" means
// the operator sets the instrument by hand and types its readings.
//  - Most instruments compare the whole text with "Manuale" and have no USB
//    link: "Usb2" on the power supply is serial port 2.
//  - The multimeter looks at the first three letters only: "Man" manual,
//    "Com" serial, "Usb" an instrument session.
// Bench technicians may also give a device path ("/dev/pts/7", serial) or an
// instrument resource ("TCPIP::10.0.0.5::5025::SOCKET", a session).
#include <QString>
#include <QStringList>

namespace pv {

enum class PortKind {
  Manual,   // nothing is sent; the operator is told or asked
  Serial,   // a serial port: target is the device path
  Session,  // an instrument session: target is the resource string
  Invalid,  // none of the above; target is empty
};

struct InstrumentPort {
  PortKind kind = PortKind::Invalid;
  int number = 0;   // 1..8 for "ComN"/"UsbN", 0 for paths and resources
  QString target;   // device path or resource string, resolved
  QString text;     // the selector text as given
};

// How an instrument reads its selector: one of the three rules below.
using SelectorRules = InstrumentPort (*)(const QString& text);

// The entries of every instrument selector, in order.
QStringList InstrumentSelectorEntries();

// Selector rules of the power supply, calibrator and switching unit.
InstrumentPort ParseSerialInstrumentPort(const QString& text);
// Selector rules of the multimeter (first three letters).
InstrumentPort ParseMultimeterPort(const QString& text);
// Selector rules of the function generator: a session always; "UsbN" and
// "UsbDevice1" resolve as below, paths and resources are taken as given.
InstrumentPort ParseGeneratorPort(const QString& text);

// The one place where a USB instrument name becomes a session resource:
// "UsbDevice1" and "Usb1".."Usb4" give n = 1..4; the resource is the value
// of PLANOVIX_USB<n> when set (any resource string or device path), else
// the kernel's USBTMC file /dev/usbtmc<n-1>. Empty for any other name.
QString ResolveUsbResource(const QString& name);

} // namespace pv
