#pragma once
// Shared by the fuzz targets: an invariant check that stops the run with a
// readable reason (libFuzzer then saves the input), and a reader that takes
// typed values off the front of the fuzzer's bytes.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pv::fuzz {

[[noreturn]] inline void Violated(const char* file, int line, const char* what, const QString& detail) {
  std::fprintf(stderr, "\nINVARIANT VIOLATED at %s:%d: %s\n%s\n", file, line, what, qPrintable(detail));
  std::abort();
}

// Bytes in front, then zeros once they run out (a short input is still a case).
class Input {
public:
  Input(const uint8_t* data, size_t size) : p_(data), left_(size) {}
  uint8_t byte() {
    if (left_ == 0) return 0;
    --left_;
    return *p_++;
  }
  bool flag() { return byte() & 1; }
  double rawDouble() {
    uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) bits |= static_cast<uint64_t>(byte()) << (8 * k);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  QByteArray take(size_t n) {
    n = n < left_ ? n : left_;
    QByteArray out(reinterpret_cast<const char*>(p_), static_cast<qsizetype>(n));
    p_ += n;
    left_ -= n;
    return out;
  }
  QByteArray rest() { return take(left_); }
  size_t left() const { return left_; }

private:
  const uint8_t* p_;
  size_t left_;
};

// Same value, NaN equal to NaN (a NaN that survives is not a change).
inline bool SameValue(double a, double b) { return a == b || (a != a && b != b); }

} // namespace pv::fuzz

#define PV_FUZZ_CHECK(cond, detail) \
  do { \
    if (!(cond)) ::pv::fuzz::Violated(__FILE__, __LINE__, #cond, (detail)); \
  } while (0)
