// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "MainWindowTest.h"
#include "SampleData.h"
#include "TestRegistry.h"
#include "gui/widgets/WorkProgress.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {

// The window of long work, when it is up.
QDialog* workWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("WorkProgress") && w->isVisible())
            return qobject_cast<QDialog*>(w);
    }
    return nullptr;
}

} // namespace

// The window every long work shows: only after a moment, with its words, how far the work
// has come, and a cancel where the work can stop.
class TestWorkProgress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsAfterAMomentAndCancels();
    void workThatCannotStopKeepsItsWindow();
    void aShopFileIsUpgradedAndClosedWithoutAWord();
};

void TestWorkProgress::showsAfterAMomentAndCancels()
{
    QWidget owner;
    owner.show();
    {
        // Work that ends at once shows nothing.
        WorkProgress quick(&owner, u"データベースの修復/最適化"_qs, u"検査しています…"_qs);
        QVERIFY(quick.step(10, 100));
        QVERIFY(!workWindow());
        QVERIFY(!quick.wasShown());
    }

    WorkProgress work(&owner, u"データベースの修復/最適化"_qs, u"検査しています…"_qs);
    QVERIFY(work.step(0, 0));
    QVERIFY(!workWindow());
    QTest::qWait(WorkProgress::ShowAfterMs + 100);
    QVERIFY(work.step(250, 1000));
    QDialog* window = workWindow();
    QVERIFY(window);
    QVERIFY(work.wasShown());
    QCOMPARE(window->windowTitle(), u"データベースの修復/最適化"_qs);
    QVERIFY(window->isModal());
    auto* text = window->findChild<QLabel*>(u"lblWork"_qs);
    auto* bar = window->findChild<QProgressBar*>(u"barWork"_qs);
    auto* cancel = window->findChild<QPushButton*>(u"cmdCancel"_qs);
    QVERIFY(text && bar && cancel);
    QCOMPARE(text->text(), u"検査しています…"_qs);
    QCOMPARE(bar->value() * 4, bar->maximum());

    // A stage of unknown length only moves the bar.
    work.setText(u"最適化しています…"_qs);
    QVERIFY(work.step(0, 0));
    QCOMPARE(text->text(), u"最適化しています…"_qs);
    QCOMPARE(bar->maximum(), 0);

    // The user's click is taken while the work goes on, and stays: the work is asked to stop.
    QCOMPARE(cancel->text(), u"ｷｬﾝｾﾙ"_qs);
    QVERIFY(cancel->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(!work.step(500, 1000));
    QVERIFY(!work.step(600, 1000));
    QVERIFY(!cancel->isEnabled());
    QCOMPARE(text->text(), u"最適化しています…\n中止しています…"_qs);
}

void TestWorkProgress::workThatCannotStopKeepsItsWindow()
{
    QWidget owner;
    owner.show();
    {
        WorkProgress work(&owner, u"終了処理"_qs, u"バックアップを作成しています…"_qs);
        work.setCancellable(false);
        QTest::qWait(WorkProgress::ShowAfterMs + 100);
        QVERIFY(work.step(1, 2));
        QDialog* window = workWindow();
        QVERIFY(window);
        QVERIFY(!window->findChild<QPushButton*>(u"cmdCancel"_qs)->isEnabled());
        // Neither Escape nor the close box ends it.
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(work.step(2, 2));
        window->close();
        QVERIFY(work.step(2, 2));
        QVERIFY(!QGuiApplication::overrideCursor() || QGuiApplication::overrideCursor()->shape() == Qt::ArrowCursor);
    }
    // Gone with the work, and so is the pointer it set.
    QVERIFY(!workWindow());
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestWorkProgress::aShopFileIsUpgradedAndClosedWithoutAWord()
{
    // A file of a few thousand lines of the older version: the upgrade at opening and the
    // backup at closing end before their window would show, and nothing is said of them.
    MainWindow run;
    const QString file = sampleDatabase(run.env, 3000);
    QVERIFY(makeVersion(file, 1));
    run.start(file);
    QCOMPARE(run.prompter.texts(), QStringList());
    QVERIFY(run.state.DatabaseConnection.hasNameIndexes());
    QCOMPARE(run.state.DatabaseConnection.upgrade(), Schema::Upgrade::Done);
    run.trigger("Command2");
    QCOMPARE(run.prompter.texts(), QStringList());
    QCOMPARE(schemaVersion(file), Schema::UserVersion);
    QCOMPARE(schemaVersion(run.env.paths().backupPath()), Schema::UserVersion);
}

KOTRINA_REGISTER_TEST(TestWorkProgress)
#include "TestWorkProgress.moc"
