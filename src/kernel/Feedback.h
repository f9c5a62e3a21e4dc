#pragma once
// What the device link tells the communication window while it works: the
// busy lamp, the progress fill, the hourglass pointer and the enabling of
// the port frame and of the window. The core reports; the window paints.

namespace pv {

class Feedback {
public:
  virtual ~Feedback() = default;
  virtual void setBusy(bool busy) { (void)busy; }                    // lamp red / green
  virtual void setProgress(int done, int total) { (void)done; (void)total; }  // 0 / total empties
  virtual void setHourglass(bool on) { (void)on; }
  virtual void setPortFrameEnabled(bool on) { (void)on; }
  virtual void setCommWindowEnabled(bool on) { (void)on; }
};

} // namespace pv
