// Message boxes of the core shown as Qt message boxes: caption "Zarvel", the icon of
// their kind, OK or Yes and No.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "messagebox.h"

namespace app {

class QtMessageBox : public plat::MessageBoxHandler {
  public:
    // The boxes are owned by the given window (the main frame), centred over it.
    void SetOwner(QWidget* owner) { owner_ = owner; }
    plat::MessageAnswer Show(const std::string& text, plat::MessageKind kind) override;

  private:
    QPointer<QWidget> owner_;
};

// A box that closes itself after timeoutMs unless the user closes it first. Returns 0
// when it timed out, else the button pressed.
int ShowTimedMessage(QWidget* owner, const QString& text, const QString& caption,
                     QMessageBox::Icon icon, int timeoutMs);

}  // namespace app
