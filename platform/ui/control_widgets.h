// Inside the window layer only: the Qt widgets that need more than their
// stock behaviour to act like the Windows controls they stand for. Each
// reports through its dialog's link, which is empty once the dialog object
// has gone.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPixmap>
#include <QPointer>
#include <QRadioButton>
#include <QWidget>

#include "platform/ui/dialog_window.h"

namespace zvrx::platform::ui {

// The dialog window of a page.
class PageSurface : public QWidget {
 public:
  PageSurface(DialogLink* link, QWidget* parent) : QWidget(parent), link_(link) {}

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<DialogLink> link_;
};

// The dialog window of a modal dialog: Enter, Escape and the close box go
// to the dialog's events, which decide whether it ends.
class ModalSurface : public QDialog {
 public:
  explicit ModalSurface(DialogLink* link) : link_(link) {}
  void reject() override {}  // ending is EndDialog's alone

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<DialogLink> link_;
};

// CHECKBOX and RADIOBUTTON: a click notifies; the page sets the check.
class ManualCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {}
};

class ManualRadioButton : public QRadioButton {
 public:
  using QRadioButton::QRadioButton;

 protected:
  void nextCheckState() override {}
};

// A drop-down list that tells when its list opens and closes.
class DropDownCombo : public QComboBox {
 public:
  DropDownCombo(DialogLink* link, int id, QWidget* parent)
      : QComboBox(parent), link_(link), id_(id) {}
  void showPopup() override;
  void hidePopup() override;

 private:
  QPointer<DialogLink> link_;
  int id_;
};

// An owner-drawn button: shows its image, sunk while highlighted.
class OwnerDrawButton : public QAbstractButton {
 public:
  using QAbstractButton::QAbstractButton;
  void SetImage(const QPixmap& image) {
    image_ = image;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap image_;
};

}  // namespace zvrx::platform::ui
