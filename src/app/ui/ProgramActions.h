#pragma once
// The program's commands as one set of actions, shared by the main frame's
// menu bar, the communication window's menu bar and its buttons. The
// program object connects them; the menus only show them.
#include <QObject>

class QAction;

namespace pv {

struct AppState;

class ProgramActions final : public QObject {
  Q_OBJECT
public:
  explicit ProgramActions(QObject* parent = nullptr);

  QAction* fileOpen;
  QAction* fileSave;
  QAction* fileSaveAs;
  QAction* viewProgram;
  QAction* viewMeasure;
  QAction* viewSwitch;
  QAction* read;
  QAction* write;
  QAction* writeChanged;  // write only the fields changed since the last read
  QAction* undoWrite;     // puts back the cells saved before the last write
  QAction* compare;       // the compare window
  QAction* start;  // starts a run; does nothing while one runs
  QAction* stop;   // the start/stop button's press
  QAction* language;
  QAction* about;
  QAction* exit;
  QAction* eeprom;
  QAction* taratura;
  QAction* station;
  QAction* test;
  QAction* records;  // Collaudo > Records

  // Captions in the current language.
  void applyCaptions(const AppState& s);
  // Read, write, start and stop follow the device link.
  void setDeviceActionsEnabled(bool on);
};

} // namespace pv
