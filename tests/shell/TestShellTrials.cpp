#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "gui/shell/ApplicationSetup.h"

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QTest>

// What a first try of an installed copy turned up.
class TestShellTrials : public QObject
{
    Q_OBJECT

private slots:
    void aCopyInstalledIntoAnyPrefixFindsItsIcon()
    {
        TestEnvironment env;
        const QString prefix = env.path(u"prefix"_qs);
        const QString apps = prefix + u"/share/icons/hicolor/48x48/apps"_qs;
        QVERIFY(QDir().mkpath(apps) && QDir().mkpath(prefix + u"/bin"_qs));
        QImage picture(48, 48, QImage::Format_ARGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(apps + u"/kotrina.png"_qs));
        // The offscreen platform names no icon theme and searches no system folder, where a
        // desktop has hicolor with its index.
        QIcon::setThemeName(u"hicolor"_qs);
        QVERIFY(!env.writeFile(u"prefix/share/icons/hicolor/index.theme"_qs,
                               "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n[48x48/apps]\nSize=48\n")
                     .isEmpty());
        const QIcon icon = programIcon(prefix + u"/bin"_qs);
        QVERIFY(!icon.isNull());
    }
};

KOTRINA_REGISTER_TEST(TestShellTrials)
#include "TestShellTrials.moc"
