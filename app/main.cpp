#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <new>

#include "app.h"
#include "files.h"
#include "process.h"
#include "version.h"

int main(int argc, char** argv) {
    // Help and version need no window.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(UsageText().toUtf8().constData(), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("zarvel " ZARVEL_VERSION);
            return 0;
        }
    }
    // A thread count outside 1 to 64 is refused before any window opens.
    if (const std::string problem = plat::DrawThreadsProblem(); !problem.empty()) {
        std::fprintf(stderr, "zarvel: %s\n", problem.c_str());
        return 2;
    }
    // The toolkit finds the settings through HOME and XDG_CONFIG_HOME itself: let it
    // find them where the program's own code does.
    plat::SettleUserFolderEnvironment();
    QApplication application(argc, argv);
    QApplication::setApplicationName(CQzApp::kApplication);
    QApplication::setOrganizationName(CQzApp::kCompany);
    try {
        // The toolkit has taken its own switches out of argv by now; the rest are kept as
        // bytes, so a file name that is not UTF-8 opens.
        CQzApp app(std::vector<std::string>(argv + 1, argv + argc));
        if (!app.InitInstance()) return app.ExitInstance();
        const int status = QApplication::exec();
        app.ExitInstance();
        return status;
    } catch (const std::bad_alloc&) {
        // Whatever ran out of memory, the program ends with a message, not an abort; what
        // failed was freed on the way here, so the box has room.
        std::fputs("zarvel: out of memory\n", stderr);
        try {
            QMessageBox::critical(nullptr, QStringLiteral("Zarvel"),
                                  QStringLiteral("Out of memory: Zarvel has to close."));
        } catch (const std::bad_alloc&) {
        }
        return 1;
    }
}
