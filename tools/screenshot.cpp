// Draws the main window on a fresh database into a PNG file, for the documentation.
//   kotrina-screenshot OUTPUT.png [--repair]
// --repair also shows the repair and deletion frame.

#include "shell/AppState.h"
#include "shell/ApplicationSetup.h"
#include "shell/Clock.h"
#include "shell/Settings.h"
#include "shell/WidgetPrompter.h"
#include "shell/frmAMain.h"
#include "store/FileOps.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kotrina-screenshot OUTPUT.png [--repair]\n");
        return 2;
    }
    setUpApplication(app);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("店舗/棚卸2026.idb"));
    QDir(dir.path()).mkpath(QStringLiteral("店舗"));
    const Paths paths(QApplication::applicationDirPath(), dir.filePath(QStringLiteral("home")),
                      dir.filePath(QStringLiteral("Kotrina.conf")));
    if (!FileOps::copyFileAtomically(paths.templatePath(), file)) {
        std::fprintf(stderr, "no template beside the program\n");
        return 1;
    }
    FixedClock clock(QDate(2026, 3, 31));
    Settings settings(paths.settingsFile(), clock);
    WidgetPrompter prompter;
    AppState state(paths, settings, prompter, clock);
    frmAMain window(state, file);
    window.load();
    window.show();
    if (args.contains(QStringLiteral("--repair")))
        window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
    window.adjustSize();
    const bool ok = window.grab().save(args.at(1));
    window.hide();
    return ok ? 0 : 1;
}
