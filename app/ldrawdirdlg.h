// The "LDraw Directory" dialog: the library folder as text, with a folder picker.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

class CLDrawDirDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CLDrawDirDlg(QWidget* parent = nullptr);

    // Shows the directory; on OK returns true with the text exactly as typed.
    bool DoModal(std::string& directory);

    QLineEdit* Field() const { return field_; }
    QPushButton* BrowseButton() const { return browse_; }

  private:
    void Browse();

    QLineEdit* field_;
    QPushButton* browse_;
};

inline constexpr const char* kLDrawDirPrompt =
    "Select the LDraw directory containing the 3 directories P, PARTS and MODELS";
