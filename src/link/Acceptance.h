#pragma once
// The identity checks that guard a configuration read and a configuration
// write. Both return whether the operation may go on; they have already
// told the user why when it may not.
namespace pv {

struct AppState;
class Prompter;
class DeviceCommands;

// After a successful identity read: only device code 12 may be read.
// Otherwise "device not compatible" as a critical message.
bool ReadAcceptance(const AppState& state, Prompter& prompter);

// Reads the identity again and compares it with the one the editor was
// filled for. A changed unit restores the old device code and variant and
// says "Device Changed"; a device code other than 11 or 12 is refused.
bool WriteAcceptance(DeviceCommands& commands);

} // namespace pv
