#include "messagebox.h"

#include <iostream>

namespace plat {

namespace {
StderrMessageBox stderrBox;
MessageBoxHandler* currentHandler = &stderrBox;
}  // namespace

MessageAnswer StderrMessageBox::Show(const std::string& text, MessageKind kind) {
    std::cerr << kAppTitle << ": " << text << "\n";
    std::cerr.flush();
    // Nobody can answer a question on the command line; No is the safe choice.
    return kind == MessageKind::Question ? MessageAnswer::No : MessageAnswer::Ok;
}

MessageBoxHandler* SetMessageBoxHandler(MessageBoxHandler* handler) {
    MessageBoxHandler* previous = currentHandler;
    currentHandler = handler != nullptr ? handler : &stderrBox;
    return previous;
}

MessageAnswer ShowMessage(const std::string& text, MessageKind kind) {
    return currentHandler->Show(text, kind);
}

}  // namespace plat
