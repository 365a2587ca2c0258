// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/DesktopServices.h"

#include "core/app/Prompter.h"

#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

bool DesktopServices::open(const QUrl& url)
{
    // Qt counts a page as opened once xdg-open has started, also when xdg-open then finds
    // no program for it, and the user would be left with nothing on the screen. So
    // xdg-open runs detached (a browser it starts outlives this program) and leaves its
    // exit status in a file: a quick failure is reported; no answer within two seconds
    // means it is showing the page.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    QTemporaryDir dir;
    if (opener.isEmpty() || !dir.isValid())
        return QDesktopServices::openUrl(url);
    const QString status = dir.filePath(QStringLiteral("status"));
    const QString script = QStringLiteral(R"("$1" "$2" >/dev/null 2>&1; echo $? > "$3")");
    if (!QProcess::startDetached(
            QStringLiteral("/bin/sh"),
            { QStringLiteral("-c"), script, QStringLiteral("sh"), opener, url.toString(QUrl::FullyEncoded), status }))
        return false;
    const QDeadlineTimer deadline(2000);
    while (!deadline.hasExpired()) {
        // Only shell built-ins write the status: PATH may not hold the usual tools.
        QFile file(status);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray code = file.readAll().trimmed();
            if (!code.isEmpty())
                return code == "0";
        }
        QThread::msleep(20);
    }
    return true;
}

bool DesktopServices::start(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

std::optional<ProgramCall> systemInformationTool()
{
    // A dedicated system profiler first, then the "about this computer" windows of the
    // desktops Debian ships.
    const ProgramCall known[] = {
        { QStringLiteral("hardinfo"), {} },
        { QStringLiteral("kinfocenter"), {} },
        { QStringLiteral("gnome-control-center"), { QStringLiteral("info-overview") } },
        { QStringLiteral("xfce4-about"), {} },
    };
    for (const ProgramCall& tool : known) {
        const QString found = QStandardPaths::findExecutable(tool.program);
        if (!found.isEmpty())
            return ProgramCall { found, tool.arguments };
    }
    return std::nullopt;
}

void openWebPage(DesktopServices& desktop, Prompter& prompter, const QString& address)
{
    if (!desktop.open(QUrl(address)))
        prompter.notice(QStringLiteral("ブラウザを起動できませんでした。次のページをブラウザで開いてください。\r")
                        + address);
}
