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

void SetMessageBoxHandler(MessageBoxHandler* handler) {
    currentHandler = handler != nullptr ? handler : &stderrBox;
}

MessageAnswer ShowMessage(const std::string& text, MessageKind kind) {
    return currentHandler->Show(text, kind);
}

}  // namespace plat
