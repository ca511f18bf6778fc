#include "modal.h"

#include <QDialog>

#include "doccore.h"

namespace app {

namespace {

QzDocument* modalDocument = nullptr;
ModalHandler modalHandler;

}  // namespace

int ExecModal(QDialog& dialog) {
    const QzDocument::ReloadHold hold(modalDocument);
    if (modalHandler) return modalHandler(dialog);
    return dialog.exec();
}

void SetModalDocument(QzDocument* document) { modalDocument = document; }

void SetModalHandler(ModalHandler handler) { modalHandler = std::move(handler); }

}  // namespace app
