#pragma once
// The program's pictures, drawn as vector shapes so they stay sharp at any
// size and screen density.
#include <QIcon>

namespace pv {

enum class Picture {
  Write,      // arrow into the unit
  Read,       // arrow out of the unit
  Start,      // measurement stopped: press to start
  Stop,       // measurement running: press to stop
  ViewConfig, // configuration editor
  ViewMeasure,// measurement window
  ViewSwitch, // DIP-switch wizard
  Language,   // language window
  FlagItaly,
  FlagEnglish,
  Logo,
  Document,
};

QIcon MakeIcon(Picture picture);

} // namespace pv
