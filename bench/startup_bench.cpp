// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Time from process start to the main window shown and painted, the way the program
// starts: splash, load (settings, database, picture), show.
//   bench_startup DATABASE.idb [runs are separate processes: call it repeatedly]

#include "gui/shell/ApplicationSetup.h"
#include "gui/shell/Startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds this process has been alive, from the kernel's record of its start.
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble(); // field 22 of the whole line
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    return nowMs - startTicks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    QApplication app(argc, argv);
    setUpApplication(app);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_startup DATABASE.idb\n");
        return 2;
    }
    const qint64 appReady = sinceMain.elapsed();
    QTemporaryDir home;
    const Paths paths(QApplication::applicationDirPath() + QStringLiteral("/.."), home.path(),
                      home.filePath(QStringLiteral("Kotrina.conf")));

    const auto program = startProgram(paths, QString::fromLocal8Bit(argv[1]));
    frmAMain& window = program->window;
    const bool exposed = QTest::qWaitForWindowExposed(&window, 5000);
    window.repaint();
    const qint64 shown = sinceMain.elapsed();
    std::printf("application object %lld ms, main window shown %lld ms after main(), %.0f ms after process "
                "start%s; database open: %s\n",
                static_cast<long long>(appReady), static_cast<long long>(shown), msSinceProcessStart(),
                exposed ? "" : " (window never exposed)", program->state.ConnectionOpen ? "yes" : "no");
    return 0;
}
