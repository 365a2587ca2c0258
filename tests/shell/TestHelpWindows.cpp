// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "MainWindowTest.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "core/app/DesktopServices.h"
#include "core/app/Settings.h"
#include "core/app/Version.h"

#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// A file that marks itself executable, for the search path.
bool makeProgram(const QString& path, const QByteArray& body = {})
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n" + body) > 0
        && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// PATH for as long as the object lives.
struct SearchPath
{
    explicit SearchPath(const QString& path) { qputenv("PATH", path.toLocal8Bit()); }
    ~SearchPath() { qputenv("PATH", saved); }
    const QByteArray saved = qgetenv("PATH");
};

} // namespace

class TestHelpWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void withoutPagesSupportAndUpdateSayWhereThingsAre();
    void updateWindowFillsTheClipboardThenEndsTheProgram_data();
    void updateWindowFillsTheClipboardThenEndsTheProgram();
    void manualAndOnlineSupport();
    void versionWindowAndSystemInformation();
    void anOpenerThatFindsNoProgramIsNoticed();
};

void TestHelpWindows::withoutPagesSupportAndUpdateSayWhereThingsAre()
{
    // As installed: no support or update page in the settings.
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.start(file);
    QGuiApplication::clipboard()->setText(QStringLiteral("前に写したもの"));
    const QString manual = QDir(m.env.programDir()).filePath(QStringLiteral("manual/index.html"));

    // Both entries say how updates arrive, where the version and the manual are, and do
    // nothing else: no page asked for, no window opened, the clipboard and the file kept.
    m.trigger("mnuHelpSport");
    m.trigger("mnuUpdate");
    QCOMPARE(m.prompter.shown().size(), 2);
    QCOMPARE(m.prompter.shown()[0].title, QStringLiteral("オンラインサポート"));
    QCOMPARE(m.prompter.shown()[1].title, QStringLiteral("アップデート"));
    QVERIFY(m.prompter.texts()[0].startsWith(QStringLiteral("オンラインサポートのページは設定されていません。")));
    QVERIFY(m.prompter.texts()[1].startsWith(QStringLiteral("アップデートのページは設定されていません。")));
    for (const ScriptedPrompter::Shown& notice : m.prompter.shown()) {
        QCOMPARE(notice.icon, Prompter::Icon::Information);
        for (const QString& part :
             { QStringLiteral("sudo apt update && sudo apt upgrade"),
               QStringLiteral("デスクトップのソフトウェアの更新"),
               QStringLiteral("バージョンは " KOTRINA_VERSION_TEXT " です"), QStringLiteral("ﾍﾙﾌﾟ → ﾊﾞｰｼﾞｮﾝ情報"),
               QStringLiteral("kotrina --version"), QStringLiteral("ﾍﾙﾌﾟ → 目次と検索"), manual })
            QVERIFY2(notice.text.contains(part), qPrintable(notice.text + u" lacks "_qs + part));
    }
    QVERIFY(m.modals.screens.isEmpty());
    QVERIFY(m.desktop.opened.isEmpty());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("前に写したもの"));
    QVERIFY(m.window->isVisible());
    QVERIFY(m.state.DatabaseConnection.isOpen());
    QCOMPARE(m.state.DatabaseFileName, file);

    // A page of blanks is no page.
    m.settings.setValue(Setting::UpdateURL, QStringLiteral("  "));
    m.trigger("mnuUpdate");
    QCOMPARE(m.prompter.shown().size(), 3);
    QVERIFY(m.modals.screens.isEmpty() && m.window->isVisible());
}

void TestHelpWindows::updateWindowFillsTheClipboardThenEndsTheProgram_data()
{
    QTest::addColumn<bool>("browser");
    QTest::newRow("the browser opens the page") << true;
    QTest::newRow("no browser starts") << false;
}

void TestHelpWindows::updateWindowFillsTheClipboardThenEndsTheProgram()
{
    QFETCH(bool, browser);
    MainWindow m;
    m.start(m.env.newDatabase());
    m.desktop.succeeds = browser;
    m.settings.setValue(Setting::UpdateURL, QStringLiteral("https://shop.example.jp/kotrina/#update"));
    QGuiApplication::clipboard()->setText(QStringLiteral("前に写したもの"));

    // Opening puts the program's folder on the clipboard at once; Escape leaves it empty
    // and the program running.
    QString shown;
    m.modals.steps[u"DialogUpdate"_qs] = [&](QDialog* dialog) {
        shown = dialog->findChild<QLineEdit*>(u"Text1"_qs)->text() + u"|"_qs + QGuiApplication::clipboard()->text();
        QTest::keyClick(dialog, Qt::Key_Escape);
    };
    m.trigger("mnuUpdate");
    QTRY_COMPARE(m.modals.screens.size(), 1);
    QCOMPARE(shown, m.env.programDir() + u"|"_qs + m.env.programDir());
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    QVERIFY(m.desktop.opened.isEmpty() && m.window->isVisible());
    QVERIFY(m.prompter.shown().isEmpty());

    m.modals.steps[QStringLiteral("DialogUpdate")] = [](QDialog* dialog) {
        QTest::keyClick(dialog->findChild<QPushButton*>(QStringLiteral("OKButton")), Qt::Key_Space);
    };
    m.trigger("mnuUpdate");
    QTRY_VERIFY(!m.window->isVisible());

    // The page was asked for, then the main window closed with its usual steps: the
    // connection closed and the backup written.
    QCOMPARE(m.desktop.opened, QList<QUrl> { QUrl(QStringLiteral("https://shop.example.jp/kotrina/#update")) });
    QVERIFY(!m.state.DatabaseConnection.isOpen());
    QVERIFY(QFileInfo::exists(m.env.paths().backupPath()));
    // Without a browser the user keeps the address.
    QCOMPARE(m.prompter.texts(),
             browser ? QStringList()
                     : QStringList { QStringLiteral("ブラウザを起動できませんでした。次のページをブラウザで開いて"
                                                    "ください。\rhttps://shop.example.jp/kotrina/#update") });
}

void TestHelpWindows::manualAndOnlineSupport()
{
    MainWindow m;
    m.start(m.env.newDatabase());
    const QString index = QDir(m.env.programDir()).filePath(QStringLiteral("manual/index.html"));

    // No manual: said, nothing opened.
    m.trigger("mnuHelpReadme");
    QCOMPARE(m.prompter.texts().size(), 1);
    QVERIFY(m.prompter.texts()[0].contains(index));
    QCOMPARE(m.prompter.shown().constFirst().icon, Prompter::Icon::Exclamation);
    QVERIFY(m.desktop.opened.isEmpty());

    // With the manual, chosen from the menu by its keys: the page goes to the desktop's viewer.
    m.env.writeFile(u"program/manual/index.html"_qs, {});
    m.prompter.clear();
    QTest::keyClick(m.window.get(), Qt::Key_H, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_H);
    QTRY_COMPARE(m.desktop.opened, QList<QUrl> { QUrl::fromLocalFile(index) });
    QVERIFY(m.prompter.shown().isEmpty());

    // A desktop without a viewer: the user is told which file to open.
    m.desktop.succeeds = false;
    m.trigger("mnuHelpReadme");
    QVERIFY(m.prompter.texts().last().endsWith(QLatin1Char('\r') + index));

    // Online support: the dealer's page of the settings.
    m.desktop.succeeds = true;
    m.desktop.opened.clear();
    m.prompter.clear();
    m.settings.setValue(Setting::SupportURL, QStringLiteral("https://shop.example.jp/help"));
    m.trigger("mnuHelpSport");
    QCOMPARE(m.desktop.opened, QList<QUrl> { QUrl(QStringLiteral("https://shop.example.jp/help")) });
    QVERIFY(m.prompter.shown().isEmpty());
}

void TestHelpWindows::versionWindowAndSystemInformation()
{
    MainWindow m;
    m.start(m.env.newDatabase());
    const QString tools = m.env.path(QStringLiteral("tools"));
    QVERIFY(QDir().mkpath(tools));
    const SearchPath path(tools);

    QString version;
    auto readAndAskForSystemInformation = [&](QDialog* dialog) {
        version = dialog->findChild<QLabel*>(u"lblVersion"_qs)->text();
        dialog->findChild<QPushButton*>(u"cmdSysInfo"_qs)->click();
    };
    // No system information tool on this desktop.
    m.modals.steps[QStringLiteral("frmAbout")] = readAndAskForSystemInformation;
    m.trigger("mnuAbout");
    QTRY_COMPARE(m.modals.screens, QStringList { QStringLiteral("frmAbout") });
    QCOMPARE(version, QStringLiteral("ﾊﾞｰｼﾞｮﾝ " KOTRINA_VERSION_TEXT));
    QCOMPARE(m.prompter.texts(), QStringList { QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません") });
    QCOMPARE(m.prompter.shown().constFirst().icon, Prompter::Icon::None);
    QVERIFY(m.desktop.started.isEmpty());

    // The desktop's "about this computer" window is found on the search path and started.
    QVERIFY(makeProgram(QDir(tools).filePath(QStringLiteral("gnome-control-center"))));
    m.prompter.clear();
    m.modals.steps[QStringLiteral("frmAbout")] = readAndAskForSystemInformation;
    m.trigger("mnuAbout");
    QTRY_COMPARE(m.modals.screens.size(), 2);
    const ProgramCall settingsAbout { QDir(tools).filePath(QStringLiteral("gnome-control-center")),
                                      { QStringLiteral("info-overview") } };
    QCOMPARE(m.desktop.started, QList<ProgramCall> { settingsAbout });
    QVERIFY(m.prompter.shown().isEmpty());
}

void TestHelpWindows::anOpenerThatFindsNoProgramIsNoticed()
{
    // xdg-open starts, then finds nothing to show the page with (its status 3).
    TestEnvironment env;
    const QString tools = env.path(QStringLiteral("tools"));
    QVERIFY(QDir().mkpath(tools));
    const QString opener = QDir(tools).filePath(QStringLiteral("xdg-open"));
    const SearchPath path(tools);
    DesktopServices desktop;
    QVERIFY(makeProgram(opener, "exit 3\n"));
    QVERIFY(!desktop.open(QUrl(QStringLiteral("https://shop.example.jp/"))));
    QVERIFY(makeProgram(opener, "test \"$1\" = 'https://shop.example.jp/a%20b'\n"));
    QVERIFY(desktop.open(QUrl(QStringLiteral("https://shop.example.jp/a b"))));
}

KOTRINA_REGISTER_TEST(TestHelpWindows)
#include "TestHelpWindows.moc"
