#include "cli/CommandLine.h"
#include "core/app/Paths.h"
#include "core/app/SingleInstance.h"
#include "gui/shell/ApplicationSetup.h"
#include "gui/shell/Startup.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTextStream>

namespace {

// On the command line the verbs say in Japanese what went wrong; Qt's own notes (a
// missing runtime directory when run as root, a painter that could not begin on an
// unwritable file) would only add English noise to standard error. Critical messages
// still come through.
void quietQtNotes(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        QTextStream(stderr) << message << Qt::endl;
}

} // namespace

int main(int argc, char* argv[])
{
    // A verb as the first argument runs without a window, a dialog or the hand-over to a
    // program already running.
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    if (CommandLine::isFor(words)) {
        // Verbs that print draw text, which needs the application's fonts: a windowing
        // platform that needs no display, so a verb runs the same on a server.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietQtNotes);
        QGuiApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return CommandLine(out, err).run(QCoreApplication::arguments().mid(1));
    }

    QApplication app(argc, argv);
    setUpApplication(app);

    const Paths paths = Paths::fromEnvironment();
    SingleInstance instance(SingleInstance::keyFor(paths.dataDir()));
    switch (instance.start()) {
    case SingleInstance::Start::Running:
        break;
    case SingleInstance::Start::HandedOver:
        return 0;
    case SingleInstance::Start::Blocked:
        // Two copies on one data directory would overwrite each other's backup and settings.
        qWarning("another Kotrina on %s does not answer; this one ends", qPrintable(paths.dataDir()));
        return 1;
    }

    const auto program = startProgram(paths, commandLineFile(QApplication::arguments()));
    QObject::connect(&instance, &SingleInstance::activationRequested, &program->window, &frmAMain::bringToFront);
    return QApplication::exec();
}
