// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/CommandLine.h"
#include "core/app/MemoryReuse.h"
#include "core/app/Paths.h"
#include "core/app/SingleInstance.h"
#include "core/app/TerminationSignals.h"
#include "core/store/ServerLogin.h"
#include "gui/shell/ApplicationSetup.h"
#include "gui/shell/Startup.h"
#include "gui/widgets/WidgetPrompter.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>
#include <csignal>
#include <optional>
#include <unistd.h>

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

// A verb asked to end stops where it is: every file it writes is written beside its target
// and renamed over it only when complete, and the database is changed in one transaction,
// so nothing half-done is left where the user looks. Only what a signal handler may call.
extern "C" void endCommand(int signal)
{
    static const char said[] = "kotrina: 終了の要求を受けたため、処理を中断しました。"
                               "書きかけの内容が出力先やデータベースに残ることはありません。\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, said, sizeof said - 1);
    ::_exit(TerminationSignals::exitStatusFor(signal));
}

void endCommandsOnSignal()
{
    for (int signal : { SIGTERM, SIGHUP, SIGINT }) {
        struct sigaction before = {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        std::signal(signal, endCommand);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    keepFreedMemoryForReuse();
    // A verb as the first argument runs without a window, a dialog or the hand-over to a
    // program already running.
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    if (CommandLine::isFor(words)) {
        endCommandsOnSignal();
        qInstallMessageHandler(quietQtNotes);
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (!CommandLine::drawsPages(words)) {
            const QCoreApplication app(argc, argv);
            return CommandLine(out, err).run(QCoreApplication::arguments().mid(1));
        }
        // Verbs that print draw text, which needs the application's fonts: a windowing
        // platform that needs no display, so a verb runs the same on a server.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        const QGuiApplication app(argc, argv);
        return CommandLine(out, err).run(QCoreApplication::arguments().mid(1));
    }
    // Anything else is a file to open (or none), never a guess: a mistyped verb or an
    // unknown option ends here, before any window or display is needed.
    std::optional<QString> windowFile;
    {
        QTextStream err(stderr);
        windowFile = CommandLine::windowFile(words, err);
        if (!windowFile)
            return Command::Failure;
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            if (!windowFile->isEmpty() && !ServerLogin::isServerName(*windowFile) && !QFileInfo::exists(*windowFile))
                err << QStringLiteral("kotrina: ファイルが見つかりません: ") << *windowFile << Qt::endl;
            else
                err << QStringLiteral("kotrina: 画面（DISPLAY）がないため、ウィンドウを開けません。"
                                      "ウィンドウなしで使えるコマンドは kotrina help で表示されます。")
                    << Qt::endl;
            return Command::Failure;
        }
    }

    QApplication app(argc, argv);
    setUpApplication(app);
    // A request to end runs the main window's closing steps (settings, backup). One that comes
    // before the window is up is kept for it; a start-up message waiting for an answer is given
    // up, and none is shown after it: nobody is there to answer.
    TerminationSignals endRequests;
    int endedBy = 0;
    QObject::connect(&endRequests, &TerminationSignals::received, [&endedBy](int signal) {
        endedBy = signal;
        WidgetPrompter::setUnattended();
        if (QWidget* waiting = QApplication::activeModalWidget())
            waiting->close();
    });
    endRequests.watch();

    const Paths paths = Paths::fromEnvironment();
    // Made absolute here, against the folder this start was given: the running program may
    // have been started anywhere else.
    const QString file = commandLineFile({ QApplication::applicationFilePath(), *windowFile });
    SingleInstance instance(SingleInstance::keyFor(paths.dataDir()));
    switch (instance.start(file)) {
    case SingleInstance::Start::Running:
        break;
    case SingleInstance::Start::HandedOver:
        return 0;
    case SingleInstance::Start::FileNotTaken: {
        // Started from the file manager, nobody reads standard error: the window says it too.
        const QString said
            = QStringLiteral("起動中のコトリナにファイルを渡せませんでした。起動中のコトリナを終了してから、"
                             "もう一度開いてください。\r")
            + file;
        QTextStream(stderr) << QString(said).replace(QLatin1Char('\r'), QLatin1Char('\n')) << Qt::endl;
        WidgetPrompter().notice(said, Prompter::Icon::Exclamation, QStringLiteral("Information"));
        return 1;
    }
    case SingleInstance::Start::Blocked:
        // Two copies on one data directory would overwrite each other's backup and settings.
        qWarning("another Kotrina on %s does not answer; this one ends", qPrintable(paths.dataDir()));
        return 1;
    }

    const auto program = startProgram(paths, file);
    if (endedBy != 0) {
        program->window.close();
        return TerminationSignals::exitStatusFor(endedBy);
    }
    listenForHandOver(instance, program->window);
    endOnSignal(endRequests, *program);
    return QApplication::exec();
}
