#include "qtmessagebox.h"

#include <QTimer>

#include "modal.h"

namespace app {

plat::MessageAnswer QtMessageBox::Show(const std::string& text, plat::MessageKind kind) {
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
        case plat::MessageKind::Stop:
            icon = QMessageBox::Critical;
            break;
        case plat::MessageKind::Exclamation:
            icon = QMessageBox::Warning;
            break;
        case plat::MessageKind::Information:
            icon = QMessageBox::Information;
            break;
        case plat::MessageKind::Question:
            icon = QMessageBox::Question;
            break;
        case plat::MessageKind::Plain:
            icon = QMessageBox::NoIcon;
            break;
    }
    const bool question = kind == plat::MessageKind::Question;
    QMessageBox box(icon, plat::kAppTitle, QString::fromStdString(text),
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner_);
    const int result = ExecModal(box);
    if (!question) return plat::MessageAnswer::Ok;
    return result == QMessageBox::Yes ? plat::MessageAnswer::Yes : plat::MessageAnswer::No;
}

int ShowTimedMessage(QWidget* owner, const QString& text, const QString& caption,
                     QMessageBox::Icon icon, int timeoutMs) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    bool timedOut = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &box, [&] {
        timedOut = true;
        box.done(0);
    });
    timer.start(timeoutMs);
    const int result = ExecModal(box);
    timer.stop();
    return timedOut ? 0 : result;
}

}  // namespace app
