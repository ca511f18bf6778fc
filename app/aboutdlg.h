// The "About Zarvel" box: its fixed version line, a notice with the package version,
// and when this program was built.
#pragma once

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    void DoModal();

    // The three lines as shown.
    QStringList Lines() const;

  private:
    QLabel* lines_[3];
};

// The two web pages the Help menu opens.
inline constexpr const char* kZarvelHomePage = "https://zarvel.example/";
inline constexpr const char* kTolpixHomePage = "https://tolpix.example/";

// Asks the desktop to open the address in the user's browser; says so when it fails.
void LaunchBrowser(const char* address);
