// The program's window for a long read-only text: the warnings and errors of a load and
// the statistics report. Modal, resizable, with a size grip; the text follows the size.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

class CLogDlg : public QDialog {
    Q_OBJECT

  public:
    // The caption applies when the window opens; the body starts empty.
    explicit CLogDlg(const QString& caption, QWidget* parent = nullptr);

    // The body text: lines end in "\r\n", tabs align columns. Set it before showing.
    QString text;

    // Shows the text modally; returns when the user closes the window.
    void DoModal();

    // For tests: the text area and the OK button as the window lays them out.
    QPlainTextEdit* TextArea() const { return edit_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    QString caption_;
    QPlainTextEdit* edit_;
    QPushButton* ok_;
};

inline constexpr const char* kInputLogCaption = "Warnings and errors during input";
