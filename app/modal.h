// Every modal window of the program opens through one door. While one is open the
// document's reloads wait (a poll tick would otherwise free the model the window
// shows), and tests answer the windows instead of showing them.
#pragma once

#include <functional>

class QDialog;
class QzDocument;

namespace app {

// Runs the dialog modally and returns its result (QDialog::Accepted, ... or the
// button of a message box).
int ExecModal(QDialog& dialog);

// The document whose reloads wait while a modal window is open; null for none.
void SetModalDocument(QzDocument* document);

// Replaces the showing of modal windows: the handler gets each dialog, already set
// up, and returns its result without running it. An empty handler shows them again.
using ModalHandler = std::function<int(QDialog&)>;
void SetModalHandler(ModalHandler handler);

}  // namespace app
