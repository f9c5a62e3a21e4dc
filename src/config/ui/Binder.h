#pragma once
// Moves values between widgets and a core model. Each binding knows how to
// copy the model into its widget; sync() runs them all with the widgets'
// own signals blocked, so a repaint never looks like a user edit.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

namespace pv {

class Binder {
public:
  void sync() {
    for (auto& s : syncers_) s();
  }

  // A text box whose text is a model field; edits go straight to the field.
  void text(QLineEdit* e, QString* field, std::function<void()> after = {}) {
    QObject::connect(e, &QLineEdit::textEdited, e, [field, after](const QString& t) {
      *field = t;
      if (after) after();
    });
    syncers_.push_back([e, field] {
      if (e->text() != *field) {
        QSignalBlocker b(e);
        e->setText(*field);
      }
    });
  }

  // A caption.
  void label(QLabel* l, const QString* field) {
    syncers_.push_back([l, field] {
      if (l->text() != *field) l->setText(*field);
    });
  }

  // A list with its items and chosen text; choosing runs the rule.
  template <typename Combo>
  void combo(QComboBox* box, Combo* field, std::function<void()> rule) {
    QObject::connect(box, &QComboBox::activated, box, [box, field, rule](int) {
      field->text = box->currentText();
      if (rule) rule();
    });
    syncers_.push_back([box, field] {
      QSignalBlocker b(box);
      QStringList now;
      for (int i = 0; i < box->count(); ++i) now << box->itemText(i);
      if (now != field->items) {
        box->clear();
        box->addItems(field->items);
      }
      const int i = field->items.indexOf(field->text);
      if (i >= 0) {
        box->setCurrentIndex(i);
      } else {
        // A name the list does not hold (the doubler text, a file for
        // another unit) is still shown, as an editable box would.
        box->setCurrentIndex(-1);
        box->setPlaceholderText(field->text);
      }
    });
  }

  // An option group: the chosen button's offset within the group.
  void options(std::vector<QAbstractButton*> buttons, int* field, std::function<void()> after = {}) {
    for (size_t i = 0; i < buttons.size(); ++i) {
      QObject::connect(buttons[i], &QAbstractButton::clicked, buttons[i], [field, i, after] {
        *field = static_cast<int>(i);
        if (after) after();
      });
    }
    syncers_.push_back([buttons, field] {
      for (size_t i = 0; i < buttons.size(); ++i) {
        QSignalBlocker b(buttons[i]);
        buttons[i]->setChecked(*field == static_cast<int>(i));
      }
    });
  }

  void check(QCheckBox* box, bool* field, std::function<void()> rule = {}, const bool* enabled = nullptr) {
    QObject::connect(box, &QCheckBox::clicked, box, [field, rule](bool on) {
      *field = on;
      if (rule) rule();
    });
    syncers_.push_back([box, field, enabled] {
      QSignalBlocker b(box);
      box->setChecked(*field);
      if (enabled) box->setEnabled(*enabled);
    });
  }

  void visible(QWidget* w, const bool* field) {
    syncers_.push_back([w, field] {
      // Hidden widgets keep no space; visibility follows the model only.
      w->setVisible(*field);
    });
  }

  void custom(std::function<void()> syncer) { syncers_.push_back(std::move(syncer)); }

private:
  std::vector<std::function<void()>> syncers_;
};

} // namespace pv
