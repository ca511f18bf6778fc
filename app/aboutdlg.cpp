#include "aboutdlg.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "dialogunits.h"
#include "format.h"
#include "frametexts.h"
#include "messagebox.h"
#include "modal.h"
#include "resources.h"
#include "version.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Zarvel"));
    std::tm built{};
    const bool known = QzParseBuildTime(__DATE__, __TIME__, built);
    const QString texts[3] = {
        QStringLiteral("Zarvel v1.2 20000616"),
        tr("Zarvel %1: a viewer and checker for LDraw models. Free software.")
            .arg(QStringLiteral(ZARVEL_VERSION)),
        QString::fromStdString(QzBuildLine(known ? &built : nullptr)),
    };
    auto* text = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        lines_[i] = new QLabel(texts[i], this);
        text->addWidget(lines_[i]);
    }
    auto* icon = new QLabel(this);
    icon->setPixmap(app::AppIcon().pixmap(32, 32));
    auto* ok = new QPushButton(tr("&OK"), this);
    auto* www = new QPushButton(tr("&WWW"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(www, &QPushButton::clicked, this, [] { LaunchBrowser(kZarvelHomePage); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addLayout(text, 0, 1, 2, 1);
    layout->addWidget(ok, 0, 2);
    layout->addWidget(www, 1, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
    resize(app::DialogUnits(this, 253, 61));
}

void CAboutDlg::DoModal() { app::ExecModal(*this); }

QStringList CAboutDlg::Lines() const {
    return {lines_[0]->text(), lines_[1]->text(), lines_[2]->text()};
}

void LaunchBrowser(const char* address) {
    if (QDesktopServices::openUrl(QUrl(QString::fromUtf8(address)))) return;
    // The desktop gives no error number; 0 says that the shell could not start at all.
    plat::ShowMessage(
        plat::Format("Sorry, failed to launch Internet Browser with\n%s\nError=%d", address, 0),
        plat::MessageKind::Exclamation);
}
