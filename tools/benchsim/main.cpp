// planovix-benchsim: a whole factory bench in one process. The unit and the
// serial instruments each get a pseudo-terminal, the USB instruments a raw
// SCPI socket on 127.0.0.1. POSIX only.
//
// Standard output, one "name=value" line each, then "ready":
//   unit=/dev/pts/4 supply=... calibrator=... meter-a=... meter-b=... switch=...
//   generator=TCPIP::127.0.0.1::PORT::SOCKET usb-meter=TCPIP::127.0.0.1::PORT::SOCKET
// and with --env the same as the program's variables (PLANOVIX_COM2=...).
#include "Bench.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <cstdio>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace pv;
using namespace pv::bench;

namespace {

volatile sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

constexpr qint64 kDefaultFramePeriodMs = 100;
// What may wait for a reader that does not read; older bytes are lost, as
// they would be on a real line.
constexpr qsizetype kMaxBacklog = 64 * 1024;

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void Fail(const QString& message) {
  std::fprintf(stderr, "planovix-benchsim: %s\n", qPrintable(message));
  std::exit(2);
}

void WriteAll(int fd, QByteArray& queue) {
  while (!queue.isEmpty()) {
    const ssize_t n = ::write(fd, queue.constData(), static_cast<size_t>(queue.size()));
    if (n > 0) queue.remove(0, n);
    else if (n < 0 && errno == EINTR) continue;
    else return;  // full: next turn
  }
  if (queue.size() > kMaxBacklog) queue.remove(0, queue.size() - kMaxBacklog);
}

// Where the commands an endpoint received are logged.
struct Log {
  FILE* file = nullptr;
  qsizetype written = 0;
  void flush(const QList<QByteArray>& lines, qsizetype upTo) {
    if (!file) return;
    for (; written < upTo; ++written) std::fprintf(file, "%s\n", sim::EscapeBytes(lines[written]).constData());
    std::fflush(file);
  }
};

// One pseudo-terminal. The slave stays open here too, so the master sees no
// hang-up while the program closes and reopens its side.
struct Terminal {
  QString name;
  int com = 0;
  int master = -1, slave = -1;
  QByteArray path, out;
  std::function<void(const QByteArray&)> receive;
  std::function<const QList<QByteArray>&()> transcript;
  std::function<qsizetype()> settled;
  Log log;
};

void OpenTerminal(Terminal& t, speed_t speed) {
  t.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (t.master < 0 || grantpt(t.master) != 0 || unlockpt(t.master) != 0)
    Fail(QStringLiteral("no pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
  const char* name = ptsname(t.master);
  if (!name) Fail(QStringLiteral("no pseudo-terminal name"));
  t.path = name;
  t.slave = ::open(name, O_RDWR | O_NOCTTY);
  if (t.slave < 0) Fail(QStringLiteral("cannot open %1").arg(QString::fromLocal8Bit(t.path)));
  termios tio{};
  if (tcgetattr(t.slave, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tcsetattr(t.slave, TCSANOW, &tio);
  }
  fcntl(t.master, F_SETFL, fcntl(t.master, F_GETFL) | O_NONBLOCK);
}

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
  Log log;
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
  QCoreApplication::setApplicationName(QStringLiteral("planovix-benchsim"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "A simulated factory bench: one unit with a power supply, a calibrator, two\n"
      "multimeters and a switching unit on pseudo-terminals, and a function generator\n"
      "and a USB multimeter as raw SCPI sockets on 127.0.0.1. The instruments are\n"
      "coupled to the unit, so a calibration converges on a good unit.\n"
      "Prints \"name=value\" lines (with --env also PLANOVIX_COMn / PLANOVIX_USBn lines),\n"
      "then \"ready\". Stops on Ctrl+C or SIGTERM.\n"
      "Wiring: unit COM 2, meter Com3, supply Com4, switch Com5, calibrator Com6,\n"
      "second meter Com7, generator Usb1 (the program's \"UsbDevice1\"), USB meter Usb2."));
  parser.addHelpOption();
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
  parser.addOptions({model, fault, seed, ambient, state, transcripts, env, tcpPort, dipOperator, unitNeedsPower,
                     framePeriod, coldJunctionError});
  parser.process(app);
  if (!parser.positionalArguments().isEmpty())
    Fail(QStringLiteral("unexpected argument \"%1\" (see --help)").arg(parser.positionalArguments().first()));

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
  std::vector<Terminal> terms(6);
  const std::pair<const char*, int> ends[] = {{"unit", 2},    {"supply", 4},  {"calibrator", 6},
                                              {"meter-a", 3}, {"meter-b", 7}, {"switch", 5}};
  for (size_t i = 0; i < terms.size(); ++i) {
    terms[i].name = QLatin1String(ends[i].first);
    terms[i].com = ends[i].second;
  }
  Instrument* serial[6] = {nullptr, &bench.supply(), &bench.calibrator(), &bench.meter(0), &bench.meter(1),
                           &bench.switches()};
  for (size_t i = 0; i < terms.size(); ++i) {
    Terminal& t = terms[i];
    OpenTerminal(t, i == 1 ? B2400 : B9600);
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
    auto open = [&](const QString& name) {
      const QString path = QDir(dir).filePath(name + QStringLiteral(".log"));
      // Appended to, never through a link planted in its place.
      const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
      FILE* f = fd < 0 ? nullptr : fdopen(fd, "a");
      if (!f) Fail(QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
      return f;
    };
    for (Terminal& t : terms) t.log.file = open(t.name);
    for (Socket& s : sockets) s.log.file = open(s.name);
  }
  const QString statePath = parser.isSet(state) ? parser.value(state) : QString();

  // Signals are blocked except inside ppoll, so a stop request is never lost.
  struct sigaction sa{};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t blocked, waitMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  sigaddset(&blocked, SIGTERM);
  sigprocmask(SIG_BLOCK, &blocked, &waitMask);
  sigdelset(&waitMask, SIGINT);
  sigdelset(&waitMask, SIGTERM);

  QJsonObject endpoints;
  for (const Terminal& t : terms) {
    std::printf("%s=%s\n", qPrintable(t.name), t.path.constData());
    endpoints[t.name] = QString::fromLocal8Bit(t.path);
  }
  for (const Socket& s : sockets) {
    std::printf("%s=%s\n", qPrintable(s.name), Resource(s).constData());
    endpoints[s.name] = QString::fromLatin1(Resource(s));
  }
  if (parser.isSet(env)) {
    for (const Terminal& t : terms) std::printf("PLANOVIX_COM%d=%s\n", t.com, t.path.constData());
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

  const double start = NowMs();
  double nextFrame = -1;
  while (!gStop) {
    const double now = NowMs();
    sim::DeviceSimulator& unit = bench.unit();
    if (unit.streaming() && (!needsPower || bench.unitPowered())) {
      if (nextFrame < 0) nextFrame = now + framePeriodMs;
      if (now >= nextFrame) {
        unit.emitFrame(static_cast<qint64>(now - start));
        nextFrame = now + framePeriodMs;
      }
    } else {
      nextFrame = -1;
    }
    for (Terminal& t : terms) WriteAll(t.master, t.out);
    for (Socket& s : sockets)
      for (auto& c : s.clients) WriteAll(c.fd, c.out);

    std::vector<pollfd> fds;
    for (const Terminal& t : terms) fds.push_back({t.master, POLLIN, 0});
    for (const Socket& s : sockets) {
      fds.push_back({s.listener, POLLIN, 0});
      for (const auto& c : s.clients) fds.push_back({c.fd, short(POLLIN | (c.out.isEmpty() ? 0 : POLLOUT)), 0});
    }
    bool pending = false;
    for (const Terminal& t : terms) pending = pending || !t.out.isEmpty();
    double wait = nextFrame >= 0 ? std::max(0.0, nextFrame - now) : -1;
    if (pending) wait = wait < 0 ? 5 : std::min(wait, 5.0);
    timespec ts{};
    timespec* timeout = nullptr;
    if (wait >= 0) {
      const auto us = static_cast<long long>(wait * 1000.0);
      ts.tv_sec = us / 1000000;
      ts.tv_nsec = (us % 1000000) * 1000;
      timeout = &ts;
    }
    const int ready = ppoll(fds.data(), fds.size(), timeout, &waitMask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) continue;

    bool changed = false, idleHangUp = false;
    size_t k = 0;
    for (Terminal& t : terms) {
      const pollfd& p = fds[k++];
      if (p.revents & POLLIN) {
        char buffer[4096];
        const ssize_t n = ::read(t.master, buffer, sizeof buffer);
        if (n > 0) {
          t.receive(QByteArray(buffer, static_cast<qsizetype>(n)));
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
      for (Terminal& t : terms) WriteAll(t.master, t.out);
      for (Socket& s : sockets)
        for (auto& c : s.clients) WriteAll(c.fd, c.out);
      SaveState(statePath, bench, extra);
    }
    if (idleHangUp && !changed) {
      timespec pause{0, 20 * 1000000};
      nanosleep(&pause, nullptr);
    }
  }

  for (Terminal& t : terms) {
    t.log.flush(t.transcript(), t.transcript().size());
    if (t.log.file) std::fclose(t.log.file);
    ::close(t.master);
    ::close(t.slave);
  }
  for (Socket& s : sockets) {
    s.log.flush(s.instrument->transcript(), s.instrument->transcript().size());
    if (s.log.file) std::fclose(s.log.file);
    for (auto& c : s.clients) ::close(c.fd);
    ::close(s.listener);
  }
  if (!statePath.isEmpty()) SaveState(statePath, bench, extra);
  return 0;
}
