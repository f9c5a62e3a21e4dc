#pragma once
// The program's answer to a termination signal: a session logout (SIGTERM),
// a closed terminal (SIGHUP) or Ctrl+C in it does what Exit does. A running
// exchange ends safely first (a measurement gets its "SM", a write finishes
// and is read back), then every window closes. A dialog open at that moment
// is answered as its Cancel or close button would.
namespace pv {

class Program;
class TerminationSignals;

void ExitOnSignals(TerminationSignals& stops, Program& program);

} // namespace pv
