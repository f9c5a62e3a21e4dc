#pragma once
// Moves values between widgets and a core model. Each binding knows how to
// copy the model into its widget; sync() runs them all with the widgets'
// own signals blocked, so a repaint never looks like a user edit. A user's
// edit goes to the model through the binding's setter.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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

  // A text box: get gives the model's text, set takes the user's.
  void text(QLineEdit* e, std::function<QString()> get, std::function<void(const QString&)> set) {
    QObject::connect(e, &QLineEdit::textEdited, e, [set](const QString& t) { set(t); });
    syncers_.push_back([e, get] {
      if (const QString now = get(); e->text() != now) {
        QSignalBlocker b(e);
        e->setText(now);
      }
    });
  }
  // A text box whose text is a model field; edits go straight to the field.
  void text(QLineEdit* e, QString* field, std::function<void()> after = {}) {
    text(e, [field] { return *field; }, [field, after](const QString& t) {
      *field = t;
      if (after) after();
    });
  }

  // A caption.
  void label(QLabel* l, const QString* field) {
    syncers_.push_back([l, field] {
      if (l->text() != *field) l->setText(*field);
    });
  }

  // A list with its entries and the text it shows; chosen gets the entry
  // the user picks.
  void combo(QComboBox* box, const QStringList* items, std::function<QString()> get,
             std::function<void(const QString&)> chosen) {
    QObject::connect(box, &QComboBox::activated, box, [box, chosen](int) { chosen(box->currentText()); });
    syncers_.push_back([box, items, get] {
      QSignalBlocker b(box);
      Refill(box, *items);
      const QString text = get();
      const int i = items->indexOf(text);
      if (i >= 0) {
        box->setCurrentIndex(i);
      } else {
        // A name the list does not hold (the doubler text, a file for
        // another unit) is still shown, as an editable box would.
        box->setCurrentIndex(-1);
        box->setPlaceholderText(text);
      }
    });
  }
  // The same for a field with items and text; choosing runs the rule.
  template <typename Combo>
  void combo(QComboBox* box, Combo* field, std::function<void()> rule) {
    combo(box, &field->items, [field] { return field->text; }, [field, rule](const QString& t) {
      field->text = t;
      if (rule) rule();
    });
  }

  // A list chosen by position. get gives its items, the chosen index (-1
  // for none) and the text shown while none is chosen; chosen gets the
  // index the user picks.
  template <typename Get>
  void choice(QComboBox* box, Get get, std::function<void(int)> chosen) {
    QObject::connect(box, &QComboBox::activated, box, [chosen](int i) { chosen(i); });
    syncers_.push_back([box, get] {
      const auto& now = get();
      QSignalBlocker b(box);
      Refill(box, now.items);
      box->setCurrentIndex(now.index);
      box->setPlaceholderText(now.index < 0 ? now.text : QString());
    });
  }

  // A list of entries with one selected (-1 for none), kept in view;
  // clicked gets the row the user clicks.
  void list(QListWidget* l, std::function<QStringList()> entries, std::function<int()> selected,
            std::function<void(int)> clicked) {
    QObject::connect(l, &QListWidget::itemClicked, l, [l, clicked](QListWidgetItem* it) { clicked(l->row(it)); });
    syncers_.push_back([l, entries, selected] {
      QSignalBlocker b(l);
      const QStringList want = entries();
      QStringList now;
      for (int i = 0; i < l->count(); ++i) now << l->item(i)->text();
      if (now != want) {
        l->clear();
        l->addItems(want);
      }
      const int row = selected();
      l->setCurrentRow(row);
      if (row >= 0) l->scrollToItem(l->item(row));
    });
  }

  // An option group: the chosen button's offset within the group.
  void options(std::vector<QAbstractButton*> buttons, std::function<int()> get, std::function<void(int)> set) {
    for (size_t i = 0; i < buttons.size(); ++i)
      QObject::connect(buttons[i], &QAbstractButton::clicked, buttons[i], [set, i] { set(static_cast<int>(i)); });
    syncers_.push_back([buttons, get] {
      const int chosen = get();
      for (size_t i = 0; i < buttons.size(); ++i) {
        QSignalBlocker b(buttons[i]);
        buttons[i]->setChecked(chosen == static_cast<int>(i));
      }
    });
  }
  void options(std::vector<QAbstractButton*> buttons, int* field, std::function<void()> after = {}) {
    options(std::move(buttons), [field] { return *field; }, [field, after](int k) {
      *field = k;
      if (after) after();
    });
  }

  void check(QCheckBox* box, std::function<bool()> get, std::function<void(bool)> set,
             std::function<bool()> enabled = {}) {
    QObject::connect(box, &QCheckBox::clicked, box, [set](bool on) { set(on); });
    syncers_.push_back([box, get, enabled] {
      QSignalBlocker b(box);
      box->setChecked(get());
      if (enabled) box->setEnabled(enabled());
    });
  }
  void check(QCheckBox* box, bool* field, std::function<void()> rule = {}, const bool* enabled = nullptr) {
    check(
        box, [field] { return *field; },
        [field, rule](bool on) {
          *field = on;
          if (rule) rule();
        },
        enabled ? std::function<bool()>([enabled] { return *enabled; }) : std::function<bool()>());
  }

  void visible(QWidget* w, const bool* field) {
    syncers_.push_back([w, field] {
      // Hidden widgets keep no space; visibility follows the model only.
      w->setVisible(*field);
    });
  }

  void custom(std::function<void()> syncer) { syncers_.push_back(std::move(syncer)); }

private:
  // New items only when they differ, so that a sync leaves an unchanged
  // list as the user left it.
  static void Refill(QComboBox* box, const QStringList& items) {
    QStringList now;
    for (int i = 0; i < box->count(); ++i) now << box->itemText(i);
    if (now != items) {
      box->clear();
      box->addItems(items);
    }
  }

  std::vector<std::function<void()>> syncers_;
};

} // namespace pv
