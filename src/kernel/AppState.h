#pragma once
// Program-wide state: one instance, owned by the application object and
// handed by reference to the windows, the device link and the tools.
// Plain data only; the rules that change it live in the subsystems.
#include <QString>
#include <array>
#include <cstdint>

namespace pv {

// Identity answered by "$V". Start-up value: device code 12, variant 0.
struct DeviceIdentity {
  uint8_t deviceCode = 12;
  uint8_t variant = 0;
  uint8_t hardwareRevision = 0;
  uint8_t spare = 0;
  friend bool operator==(const DeviceIdentity&, const DeviceIdentity&) = default;
};

// Cells queued for the next write: positions 1..256 are used; count starts
// at 1 and ends one above the number of queued cells.
struct WriteList {
  static constexpr int kCapacity = 256;
  std::array<uint8_t, kCapacity + 1> address{};
  std::array<uint8_t, kCapacity + 1> data{};
  int count = 1;

  void reset() { count = 1; }
  int queued() const { return count - 1; }
  // False when the list is full; the cell is then not queued.
  bool push(uint8_t addr, uint8_t value) {
    if (count > kCapacity) return false;
    address[count] = addr;
    data[count] = value;
    ++count;
    return true;
  }
};

// Decoded configuration of one channel, shared by the editor, the
// measurement window and the configuration file.
struct ChannelSettings {
  uint8_t inputType = 0;     // row of the input range table
  uint8_t outputType = 0;    // row 0..3 of the output range table
  uint8_t inputDecimals = 0;
  double inputMax = 0, inputMin = 0;    // engineering unit
  double outputMax = 0, outputMin = 0;  // mA or V
  double physicalMax = 0, physicalMin = 0;        // scaled input (variant 5)
  double physicalOutMax = 0, physicalOutMin = 0;  // scaled output (variant 5)
  uint8_t operatorOption = 0;  // 0..15, see the options window
  uint8_t optionValue = 0;
  // Used by the measurement window only.
  QString inputUnit, outputUnit, description;
  uint8_t function = 0;  // 0 linear, 1 tank, 2 square root
  bool fromSwitches = false;
};

struct TripRecord {
  int16_t direction = 0;  // 0 maximum trip, 1 minimum trip
  double high = 0, low = 0;
  int16_t delay = 0;
};

struct AppState {
  // Language and brand
  uint8_t brandIndex = 0;
  uint8_t languageIndex = 0;   // 0 Italian, 1 English
  int16_t languageOffset = 0;  // 0 or 300, set when captions are applied
  QString webAddress;
  QString manualFile;

  // Device
  DeviceIdentity identity;
  uint8_t savedDeviceCode = 0;
  uint8_t savedVariant = 0;
  int16_t channelSelector = 1;
  std::array<uint8_t, 257> programmingBuffer{};
  // Cell 4 as last read from the unit: on variants 2..6 its bits 5 and 6
  // name the family. Kept apart from the programming buffer, which other
  // reads (the span and zero tables, the measurement set-up) overwrite.
  uint8_t familyCell = 0;
  WriteList writeList;
  uint8_t spanPoints = 0;  // calibration table sizes, set by the "$S" read
  uint8_t zeroPoints = 0;
  bool signedValues = true;  // word signedness of table and cell words

  // Flags
  bool commError = false;
  bool measureRunning = false;
  bool measureLoopActive = false;
  bool switchEventsEnabled = false;
  bool demoMode = false;
  bool exitFlag = false;
  // Termination signals a command-line run has received (Ctrl+C, SIGTERM,
  // SIGHUP): from the first, no new exchange starts and a read stops at
  // once, while a cell write in hand finishes; from the second, a write
  // stops too. Each routine leaves the unit out of programming mode.
  int stopRequests = 0;

  // Switch-configured units
  std::array<uint8_t, 3> switchBytes{};
  QString modelId;      // demonstration model chosen in the switch wizard
  QString modelFamily;  // "KRV2211" once that family has been seen

  // Records: what the running command is called in the record store
  // ("write-config", "Write"...), and the operator's label for the
  // connected unit (the serial on its sticker), empty when none was given.
  QString recordCommand;
  QString unitLabel;
  // The fingerprint last computed for the unit on the line, and the identity
  // it was computed for; cleared when the unit may have changed unseen.
  QString unitFingerprint;
  DeviceIdentity unitFingerprintFor;

  // Configuration
  std::array<ChannelSettings, 2> channels;
  std::array<TripRecord, 2> trips;
};

} // namespace pv
