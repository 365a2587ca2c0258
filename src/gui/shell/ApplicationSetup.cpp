#include "gui/shell/ApplicationSetup.h"

#include "core/app/BuiltinPicture.h"
#include "core/app/Version.h"
#include "core/store/FileOps.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

void setUpApplication(QApplication& app)
{
    FileOps::letOversizedWritesFail();
    QApplication::setApplicationName(QStringLiteral("Kotrina"));
    QApplication::setApplicationVersion(QStringLiteral(KOTRINA_VERSION));
    // The desktop matches the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("kotrina"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kotrina")));
    BuiltinPicture::installFontSubstitutions();
    // The program speaks Japanese whatever the system's language, and so do Qt's dialogs.
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}
