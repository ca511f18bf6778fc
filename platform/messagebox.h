// Modal message boxes. The core shows them through one handler: the command line's
// writes to standard error, the desktop program's opens a dialog, tests record them.
#pragma once

#include <string>

namespace plat {

inline constexpr const char* kAppTitle = "Zarvel";

enum class MessageKind { Stop, Exclamation, Information, Question, Plain };
enum class MessageAnswer { Ok, Yes, No };

class MessageBoxHandler {
  public:
    virtual ~MessageBoxHandler() = default;
    virtual MessageAnswer Show(const std::string& text, MessageKind kind) = 0;
};

// Writes "Zarvel: " and the text to standard error; answers No to questions.
class StderrMessageBox : public MessageBoxHandler {
  public:
    MessageAnswer Show(const std::string& text, MessageKind kind) override;
};

// Installs the handler ShowMessage uses; null restores the standard-error one.
// Returns the handler that was installed before.
MessageBoxHandler* SetMessageBoxHandler(MessageBoxHandler* handler);
MessageAnswer ShowMessage(const std::string& text, MessageKind kind);

// Installs a handler for the lifetime of the object, then puts back the one before.
class ScopedMessageBoxHandler {
  public:
    explicit ScopedMessageBoxHandler(MessageBoxHandler* handler)
        : previous_(SetMessageBoxHandler(handler)) {}
    ~ScopedMessageBoxHandler() { SetMessageBoxHandler(previous_); }
    ScopedMessageBoxHandler(const ScopedMessageBoxHandler&) = delete;
    ScopedMessageBoxHandler& operator=(const ScopedMessageBoxHandler&) = delete;

  private:
    MessageBoxHandler* previous_;
};

}  // namespace plat
