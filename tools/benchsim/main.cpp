// planovix-benchsim: a whole factory bench in one process. The unit and the
// serial instruments each get a pseudo-terminal, the USB instruments a raw
// SCPI socket on 127.0.0.1. POSIX only.
//
// Standard output, one "name=value" line each, then "ready":
//   unit=/dev/pts/4 supply=... calibrator=... meter-a=... meter-b=... switch=...
//   generator=TCPIP::127.0.0.1::PORT::SOCKET usb-meter=TCPIP::127.0.0.1::PORT::SOCKET
// and with --env the same as the program's variables (PLANOVIX_COM2=...).
#include "Bench.h"
#include "PtyLoop.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace pv;
using namespace pv::bench;
using namespace pv::pty;

namespace {

constexpr qint64 kDefaultFramePeriodMs = 100;

// One serial end of the bench on its pseudo-terminal.
struct SerialEnd : Terminal {
  QString name;
  int com = 0;
  QByteArray out;
  std::function<void(const QByteArray&)> receive;
  std::function<const QList<QByteArray>&()> transcript;
  std::function<qsizetype()> settled;
  TranscriptFile log;
};

// A raw SCPI socket: one listening port, any number of clients; answers go
// to the client that asked.
struct Socket {
  QString name;
  int usb = 0;
  int listener = -1;
  quint16 port = 0;
  LineInstrument* instrument = nullptr;
  struct Client {
    int fd;
    QByteArray out;
  };
  std::vector<Client> clients;
  Client* current = nullptr;
  TranscriptFile log;
};

void Listen(Socket& s, quint16 wanted) {
  s.listener = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s.listener < 0) Fail(QStringLiteral("no socket: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
  const int yes = 1;
  setsockopt(s.listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // this machine only
  a.sin_port = htons(wanted);
  if (::bind(s.listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s.listener, 4) != 0)
    Fail(QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(wanted).arg(QString::fromLocal8Bit(std::strerror(errno))));
  socklen_t len = sizeof a;
  getsockname(s.listener, reinterpret_cast<sockaddr*>(&a), &len);
  s.port = ntohs(a.sin_port);
  fcntl(s.listener, F_SETFL, fcntl(s.listener, F_GETFL) | O_NONBLOCK);
}

QByteArray Resource(const Socket& s) {
  return "TCPIP::127.0.0.1::" + QByteArray::number(s.port) + "::SOCKET";
}

void SaveState(const QString& path, const SimulatedBench& bench, const QJsonObject& extra) {
  QJsonObject o = bench.state();
  for (auto it = extra.begin(); it != extra.end(); ++it) o[it.key()] = it.value();
  // A whole file at every moment (written aside, then renamed over), but
  // not forced to the disk: the file is rewritten after every command, and
  // a sync each time would hold up the bench's answers.
  const QString aside = path + QStringLiteral(".new");
  QFile f(aside);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  const QByteArray bytes = QJsonDocument(o).toJson(QJsonDocument::Indented);
  const bool written = f.write(bytes) == bytes.size();
  f.close();
  if (!written || std::rename(QFile::encodeName(aside).constData(), QFile::encodeName(path).constData()) != 0)
    QFile::remove(aside);
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  const QString description = QStringLiteral(
      "A simulated factory bench: one unit with a power supply, a calibrator, two\n"
      "multimeters and a switching unit on pseudo-terminals, and a function generator\n"
      "and a USB multimeter as raw SCPI sockets on 127.0.0.1. The instruments are\n"
      "coupled to the unit, so a calibration converges on a good unit.\n"
      "Prints \"name=value\" lines (with --env also PLANOVIX_COMn / PLANOVIX_USBn lines),\n"
      "then \"ready\". Stops on Ctrl+C or SIGTERM.\n"
      "Wiring: unit COM 2, meter Com3, supply Com4, switch Com5, calibrator Com6,\n"
      "second meter Com7, generator Usb1 (the program's \"UsbDevice1\"), USB meter Usb2.");
  const QCommandLineOption model(QStringLiteral("model"),
      QStringLiteral("Model of the unit (default KRV2212A): %1.").arg(ModelIds().join(QStringLiteral(", "))),
      QStringLiteral("M"), QStringLiteral("KRV2212A"));
  const QCommandLineOption fault(QStringLiteral("fault"),
      QStringLiteral("Give the unit or the bench a fault (repeatable): %1.").arg(FaultHelp()),
      QStringLiteral("F"));
  const QCommandLineOption seed(QStringLiteral("seed"),
      QStringLiteral("Spread of this unit's hidden gains, outputs and consumption (default 1; 0 = exactly nominal)."),
      QStringLiteral("N"), QStringLiteral("1"));
  const QCommandLineOption ambient(QStringLiteral("ambient"),
      QStringLiteral("Ambient temperature in degrees C the calibrator reads (default 23.4)."),
      QStringLiteral("C"), QStringLiteral("23.4"));
  const QCommandLineOption state(QStringLiteral("state"),
      QStringLiteral("Keep FILE up to date with what the bench did (JSON)."), QStringLiteral("FILE"));
  const QCommandLineOption transcripts(QStringLiteral("transcripts"),
      QStringLiteral("Append every command each instrument receives to DIR/<instrument>.log, "
                     "one per line; CR as \\r, LF as \\n, other non-printable bytes as \\xHH."),
      QStringLiteral("DIR"));
  const QCommandLineOption env(QStringLiteral("env"),
      QStringLiteral("Also print PLANOVIX_COMn=... and PLANOVIX_USBn=... lines."));
  const QCommandLineOption tcpPort(QStringLiteral("tcp-port"),
      QStringLiteral("Generator on port N, USB meter on N+1 (default: any free ports)."),
      QStringLiteral("N"), QStringLiteral("0"));
  const QCommandLineOption dipOperator(QStringLiteral("dip-operator"),
      QStringLiteral("Someone at the bench flips every DIP switch to the other end after each switch "
                     "read, starting all ON, as the calibration's switch check asks."));
  const QCommandLineOption unitNeedsPower(QStringLiteral("unit-needs-power"),
      QStringLiteral("The unit answers and streams only while the bench supply is on at 12 V or more "
                     "(default: the unit is always powered)."));
  const QCommandLineOption framePeriod(QStringLiteral("frame-ms"),
      QStringLiteral("Milliseconds between two streamed frames (default 100)."), QStringLiteral("MS"),
      QString::number(kDefaultFramePeriodMs));
  const QCommandLineOption coldJunctionError(QStringLiteral("cold-junction-error"),
      QStringLiteral("Degrees C the unit's cold-junction sensor reads high, on both channels, instead of "
                     "the seed's spread (-5 to 5)."),
      QStringLiteral("C"));
  ReadCommandLine(parser, "planovix-benchsim", description,
                  {model, fault, seed, ambient, state, transcripts, env, tcpPort, dipOperator, unitNeedsPower,
                   framePeriod, coldJunctionError});

  const ModelRow* row = FindModel(parser.value(model));
  if (!row)
    Fail(QStringLiteral("unknown model \"%1\"; one of: %2").arg(parser.value(model), ModelIds().join(QStringLiteral(", "))));
  BenchFaults faults;
  for (const QString& f : parser.values(fault))
    if (const QString error = ApplyFault(faults, f); !error.isEmpty()) Fail(error);
  faults.dipOperator = parser.isSet(dipOperator);
  const bool needsPower = parser.isSet(unitNeedsPower);
  bool ok = false;
  const uint seedValue = parser.value(seed).toUInt(&ok);
  if (!ok) Fail(QStringLiteral("--seed takes a whole number, not \"%1\"").arg(parser.value(seed)));
  const double ambientValue = QLocale::c().toDouble(parser.value(ambient), &ok);
  if (!ok || ambientValue < -40 || ambientValue > 80)
    Fail(QStringLiteral("--ambient takes degrees C from -40 to 80, not \"%1\"").arg(parser.value(ambient)));
  const uint firstPort = parser.value(tcpPort).toUInt(&ok);
  if (!ok || firstPort > 65534) Fail(QStringLiteral("--tcp-port takes a port number, not \"%1\"").arg(parser.value(tcpPort)));

  const qint64 framePeriodMs = parser.value(framePeriod).toLongLong(&ok);
  if (!ok || framePeriodMs < 1 || framePeriodMs > 10000)
    Fail(QStringLiteral("--frame-ms takes 1 to 10000, not \"%1\"").arg(parser.value(framePeriod)));
  UnitTruth truth = NominalTruth(*row, seedValue);
  if (parser.isSet(coldJunctionError)) {
    const double c = QLocale::c().toDouble(parser.value(coldJunctionError), &ok);
    if (!ok || c < -5 || c > 5)
      Fail(QStringLiteral("--cold-junction-error takes degrees C from -5 to 5, not \"%1\"")
               .arg(parser.value(coldJunctionError)));
    for (ChannelTruth& ch : truth.channel) ch.coldJunctionError = c;
  }
  SimulatedBench bench(*row, truth, faults);
  bench.calibrator().setAmbient(ambientValue);

  // The serial ends, in the order the calibration window lists them.
  std::vector<SerialEnd> terms(6);
  const std::pair<const char*, int> ends[] = {{"unit", 2},    {"supply", 4},  {"calibrator", 6},
                                              {"meter-a", 3}, {"meter-b", 7}, {"switch", 5}};
  for (size_t i = 0; i < terms.size(); ++i) {
    terms[i].name = QLatin1String(ends[i].first);
    terms[i].com = ends[i].second;
  }
  Instrument* serial[6] = {nullptr, &bench.supply(), &bench.calibrator(), &bench.meter(0), &bench.meter(1),
                           &bench.switches()};
  for (size_t i = 0; i < terms.size(); ++i) {
    SerialEnd& t = terms[i];
    static_cast<Terminal&>(t) = OpenTerminal(i == 1 ? B2400 : B9600);
    if (i == 0) {
      sim::DeviceSimulator& unit = bench.unit();
      unit.setSink([&t](const QByteArray& b) { t.out += b; });
      // With --unit-needs-power an unpowered unit hears nothing.
      t.receive = [&unit, &bench, &needsPower](const QByteArray& b) {
        if (!needsPower || bench.unitPowered()) unit.receive(b);
      };
      t.transcript = [&unit]() -> const QList<QByteArray>& { return unit.transcript(); };
      t.settled = [&unit] { return unit.transcript().size(); };
    } else {
      Instrument* in = serial[i];
      in->setSink([&t](const QByteArray& b) { t.out += b; });
      t.receive = [in](const QByteArray& b) { in->receive(b); };
      t.transcript = [in]() -> const QList<QByteArray>& { return in->transcript(); };
      t.settled = [in] { return in->settledEntries(); };
    }
  }

  std::vector<Socket> sockets(2);
  sockets[0].name = QStringLiteral("generator");
  sockets[0].usb = 1;
  sockets[0].instrument = &bench.generator();
  sockets[1].name = QStringLiteral("usb-meter");
  sockets[1].usb = 2;
  sockets[1].instrument = &bench.meter(2);
  for (size_t i = 0; i < sockets.size(); ++i) {
    Socket& s = sockets[i];
    Listen(s, firstPort == 0 ? 0 : static_cast<quint16>(firstPort + i));
    s.instrument->setSink([&s](const QByteArray& b) {
      if (s.current) s.current->out += b;
    });
  }

  if (parser.isSet(transcripts)) {
    const QString dir = parser.value(transcripts);
    if (!QDir().mkpath(dir)) Fail(QStringLiteral("cannot create %1").arg(dir));
    const auto path = [&](const QString& name) { return QDir(dir).filePath(name + QStringLiteral(".log")); };
    for (SerialEnd& t : terms) t.log.open(path(t.name));
    for (Socket& s : sockets) s.log.open(path(s.name));
  }
  const QString statePath = parser.isSet(state) ? parser.value(state) : QString();

  LoopSignals control;

  QJsonObject endpoints;
  for (const SerialEnd& t : terms) {
    std::printf("%s=%s\n", qPrintable(t.name), t.path.constData());
    endpoints[t.name] = QString::fromLocal8Bit(t.path);
  }
  for (const Socket& s : sockets) {
    std::printf("%s=%s\n", qPrintable(s.name), Resource(s).constData());
    endpoints[s.name] = QString::fromLatin1(Resource(s));
  }
  if (parser.isSet(env)) {
    for (const SerialEnd& t : terms) std::printf("PLANOVIX_COM%d=%s\n", t.com, t.path.constData());
    for (const Socket& s : sockets) std::printf("PLANOVIX_USB%d=%s\n", s.usb, Resource(s).constData());
  }
  std::printf("ready\n");
  std::fflush(stdout);
  std::fprintf(stderr, "planovix-benchsim: %s on %s%s\n", row->id, terms[0].path.constData(),
               parser.isSet(fault) ? " (with faults)" : "");
  const QJsonObject extra{{QStringLiteral("endpoints"), endpoints},
                          {QStringLiteral("faults"), QJsonArray::fromStringList(parser.values(fault))},
                          {QStringLiteral("seed"), static_cast<qint64>(seedValue)}};
  if (!statePath.isEmpty()) SaveState(statePath, bench, extra);

  // What waits for each reader goes out, as much as it takes now.
  const auto sendAll = [&] {
    for (SerialEnd& t : terms) {
      WriteAll(t.master, t.out);
      TrimBacklog(t.out);
    }
    for (Socket& s : sockets)
      for (auto& c : s.clients) {
        WriteAll(c.fd, c.out);
        TrimBacklog(c.out);
      }
  };
  FrameClock frames(static_cast<double>(framePeriodMs));
  while (!control.stopRequested()) {
    const double now = NowMs();
    sim::DeviceSimulator& unit = bench.unit();
    if (frames.due(unit.streaming() && (!needsPower || bench.unitPowered()), now)) unit.emitFrame(frames.stamp(now));
    sendAll();

    std::vector<pollfd> fds;
    for (const SerialEnd& t : terms) fds.push_back({t.master, POLLIN, 0});
    for (const Socket& s : sockets) {
      fds.push_back({s.listener, POLLIN, 0});
      for (const auto& c : s.clients) fds.push_back({c.fd, short(POLLIN | (c.out.isEmpty() ? 0 : POLLOUT)), 0});
    }
    bool pending = false;
    for (const SerialEnd& t : terms) pending = pending || !t.out.isEmpty();
    double wait = frames.waitMs(now);
    if (pending) wait = wait < 0 ? 5 : std::min(wait, 5.0);
    const int ready = control.poll(fds.data(), fds.size(), wait);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) continue;

    bool changed = false, idleHangUp = false;
    size_t k = 0;
    for (SerialEnd& t : terms) {
      const pollfd& p = fds[k++];
      if (p.revents & POLLIN) {
        const QByteArray bytes = ReadSome(t.master);
        if (!bytes.isEmpty()) {
          t.receive(bytes);
          t.log.flush(t.transcript(), t.settled());
          changed = true;
        }
      } else if (p.revents & (POLLHUP | POLLERR)) {
        idleHangUp = true;  // nobody holds the other side
      }
    }
    for (Socket& s : sockets) {
      const pollfd& listen = fds[k++];
      std::vector<size_t> gone;
      for (size_t i = 0; i < s.clients.size(); ++i) {
        const pollfd& p = fds[k++];
        auto& c = s.clients[i];
        if (p.revents & POLLIN) {
          char buffer[65536];
          const ssize_t n = ::read(c.fd, buffer, sizeof buffer);
          if (n > 0) {
            s.current = &c;
            s.instrument->receive(QByteArray(buffer, static_cast<qsizetype>(n)));
            s.current = nullptr;
            s.log.flush(s.instrument->transcript(), s.instrument->settledEntries());
            changed = true;
          } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            gone.push_back(i);
          }
        } else if (p.revents & (POLLHUP | POLLERR)) {
          gone.push_back(i);
        }
      }
      for (auto it = gone.rbegin(); it != gone.rend(); ++it) {
        ::close(s.clients[*it].fd);
        s.clients.erase(s.clients.begin() + static_cast<long>(*it));
      }
      if (listen.revents & POLLIN) {
        const int fd = ::accept(s.listener, nullptr, nullptr);
        if (fd >= 0) {
          fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
          s.clients.push_back({fd, {}});
        }
      }
    }
    if (changed && !statePath.isEmpty()) {
      // Answers go out before the (slower) state file is rewritten.
      sendAll();
      SaveState(statePath, bench, extra);
    }
    if (idleHangUp && !changed) IdlePause();
  }

  for (SerialEnd& t : terms) {
    t.log.flush(t.transcript(), t.transcript().size());
    t.log.close();
    CloseTerminal(t);
  }
  for (Socket& s : sockets) {
    s.log.flush(s.instrument->transcript(), s.instrument->transcript().size());
    s.log.close();
    for (auto& c : s.clients) ::close(c.fd);
    ::close(s.listener);
  }
  if (!statePath.isEmpty()) SaveState(statePath, bench, extra);
  return 0;
}
