#include "core/app/DesktopServices.h"

#include "core/app/Prompter.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

bool DesktopServices::open(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
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
