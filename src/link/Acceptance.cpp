#include "link/Acceptance.h"

#include "kernel/AppState.h"
#include "kernel/Prompter.h"
#include "text/Texts.h"
#include "link/DeviceCommands.h"

namespace pv {

namespace {
constexpr int kDeviceChanged = 69;
constexpr int kNotCompatible = 70;
} // namespace

bool ReadAcceptance(const AppState& state, Prompter& prompter) {
  if (state.identity.deviceCode == 12) return true;
  prompter.ask(ProductTitle(state), Tr(state, kNotCompatible), Buttons::Ok, Icon::Critical);
  return false;
}

bool WriteAcceptance(DeviceCommands& commands) {
  AppState& state = commands.state();
  state.savedDeviceCode = state.identity.deviceCode;
  state.savedVariant = state.identity.variant;
  const IdentityBytes id = commands.ReadIdentity();
  if (id[0] == 1 || state.commError) return false;
  if (state.identity.deviceCode != state.savedDeviceCode ||
      state.identity.variant != state.savedVariant) {
    state.identity.deviceCode = state.savedDeviceCode;
    state.identity.variant = state.savedVariant;
    commands.prompter().ask(ProductTitle(state), Tr(state, kDeviceChanged), Buttons::Ok,
                            Icon::Critical);
    return false;
  }
  if (state.identity.deviceCode != 11 && state.identity.deviceCode != 12) {
    commands.prompter().ask(ProductTitle(state), Tr(state, kNotCompatible), Buttons::Ok,
                            Icon::Critical);
    return false;
  }
  return true;
}

} // namespace pv
