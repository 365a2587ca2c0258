// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ListedPrinters.h"
#include "MainWindowTest.h"
#include "SampleData.h"
#include "TestRegistry.h"
#include "core/history/Finalisation.h"
#include "gui/shell/frmSplash.h"
#include "gui/widgets/WidgetPrompter.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDirIterator>
#include <QGroupBox>
#include <QSet>
#include <QSqlQuery>
#include <QTableView>

namespace {

// The captions whose access keys a user has at hand in window together: its own shown
// controls (a label's only when it leads to a buddy) and a main window's menu titles, not
// those of another window opened over it.
QStringList captionsShownIn(QWidget* window)
{
    QStringList captions;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (control->window() != window || !control->isVisibleTo(window))
            continue;
        if (const auto* button = qobject_cast<QAbstractButton*>(control))
            captions << button->text();
        else if (const auto* label = qobject_cast<QLabel*>(control); label && label->buddy())
            captions << label->text();
        else if (const auto* group = qobject_cast<QGroupBox*>(control))
            captions << group->title();
    }
    if (auto* main = qobject_cast<QMainWindow*>(window); main && main->menuWidget()) {
        for (const QAction* title : main->menuBar()->actions())
            if (title->isVisible())
                captions << title->text();
    }
    return captions;
}

// "scope: Alt+K 品名(&K) / 削除(&K)" for each access key that more than one caption carries.
QStringList keysUsedTwice(const QString& scope, const QStringList& captions)
{
    std::map<QString, QStringList> byKey;
    for (const QString& caption : captions)
        byKey[QKeySequence::mnemonic(caption).toString()] << caption;
    byKey.erase(QString());
    QStringList clashes;
    for (const auto& [key, holders] : byKey) {
        if (holders.size() > 1)
            clashes << scope + u": "_qs + key + u" "_qs + holders.join(u" / "_qs);
    }
    return clashes;
}

// The windows of the program: every header of the screens named as a screen (frm…,
// Dialog…, …Dialog) declares one, named like its file.
QSet<QString> programWindows()
{
    QSet<QString> windows;
    QDirIterator files(QStringLiteral(KOTRINA_SOURCE_DIR "/src/gui"), { u"*.h"_qs }, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString name = QFileInfo(files.next()).completeBaseName();
        if (name.startsWith(u"frm"_qs) || name.startsWith(u"Dialog"_qs) || name.endsWith(u"Dialog"_qs))
            windows << name;
    }
    return windows;
}

// Checks the access keys of every window the program opens, when it shows and when it
// becomes the modal window; a modal window is then visited (its steps, by object name, once,
// run from the event loop so that they may open further windows) and closed.
class WindowWalk : public QObject
{
public:
    std::map<QString, std::function<void(QDialog*)>> visits;
    QStringList clashes;
    QSet<QString> classesSeen;

    WindowWalk()
    {
        qApp->installEventFilter(this);
        connect(&m_timer, &QTimer::timeout, this, &WindowWalk::tick);
        m_timer.start(5);
    }
    ~WindowWalk() override { qApp->removeEventFilter(this); }

    void check(QWidget* window, const QString& scope = {})
    {
        clashes << keysUsedTwice(scope.isEmpty() ? QString::fromLatin1(window->metaObject()->className()) : scope,
                                 captionsShownIn(window));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
            for (const QMetaObject* m = watched->metaObject(); m; m = m->superClass())
                classesSeen << QString::fromLatin1(m->className());
            check(static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    void tick()
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("visiting").toBool())
            return;
        if (dialog->property("visited").toBool())
            return dialog->reject();
        dialog->setProperty("visited", true);
        check(dialog);
        if (const auto it = visits.find(dialog->objectName()); it != visits.end()) {
            dialog->setProperty("visiting", true);
            QTimer::singleShot(0, dialog, [dialog, visit = std::move(it->second)] {
                visit(dialog);
                dialog->setProperty("visiting", false);
            });
            visits.erase(it);
        }
    }

    QTimer m_timer;
};

void click(QWidget* window, const char* name)
{
    auto* button = window->findChild<QPushButton*>(QString::fromLatin1(name));
    QVERIFY2(button && button->isVisible() && button->isEnabled(), name);
    QTest::mouseClick(button, Qt::LeftButton);
    ScreenTest::settle();
}

void action(QWidget* window, const char* name)
{
    auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
    QVERIFY2(action && action->isEnabled(), name);
    action->trigger();
    ScreenTest::settle();
}

} // namespace

class TestAccessKeys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noKeyServesTwoControlsOfAWindow();
};

void TestAccessKeys::noKeyServesTwoControlsOfAWindow()
{
    TestSession s;
    ListedPrinters printers;
    printers.names = { u"Kotrina-Test"_qs };
    printers.drivers[u"Kotrina-Test"_qs] = PrinterDetails { { { 9, u"A4"_qs } }, 999, 7, 9, 210, 297 };
    s.state.printers = &printers;
    s.settings.setValue(Setting::FDate, u"2026/03/31"_qs);
    // The update window opens only where the settings name an update page (a dealer's).
    s.settings.setValue(Setting::UpdateURL, u"https://shop.example.jp/kotrina/"_qs);
    s.settings.sync();
    const QString file = sampleDatabase(s.env, 20);
    QVERIFY(!file.isEmpty());
    // A count corrected, for the history screen to list.
    QVERIFY(onRawConnection(file, [](QSqlQuery& q) {
        return q.exec(
            uR"(UPDATE "棚卸マスター" SET "数量" = "数量" + 1 WHERE "ID" = (SELECT MIN("ID") FROM "棚卸マスター"))"_qs);
    }));
    // The list's category check and the stocktaking sheet offer to move uncategorised lines: No.
    s.prompter.answerAsk(false);
    s.prompter.answerAsk(false);
    WindowWalk walk;
    {
        frmSplash splash;
        splash.show();
        ScreenTest::settle();
    }
    frmAMain window(s.state, file);
    window.load();
    ScreenTest::showActive(&window);

    // The repair frame shows beside the buttons; every menu is a scope of its own.
    click(&window, "Command1");
    walk.check(&window, u"frmAMain with Frame8"_qs);
    click(&window, "Command1");
    for (QAction* title : window.menuBar()->actions()) {
        QStringList entries;
        for (const QAction* entry : title->menu()->actions())
            entries << (entry->isVisible() ? entry->text() : QString());
        walk.clashes << keysUsedTwice(title->text(), entries);
    }

    // Every window opened from those as a user opens them; looked into further: the list in
    // each view and its totals' print dialog, the printer settings of a print dialog, the
    // imports' column assignments and help, the codes and the product import of the product screen.
    walk.visits[u"frmList"_qs] = [&walk](QDialog* list) {
        auto* views = list->findChild<QComboBox*>(u"Combo1"_qs);
        for (const QString& view : ScreenTest::itemTexts(views)) {
            QVERIFY(ScreenTest::chooseFromList(views, view));
            walk.check(list, u"frmList "_qs + view);
        }
        QVERIFY(ScreenTest::chooseFromList(views, ScreenTest::itemTexts(views).first()));
        click(list, "Command2");
    };
    walk.visits[u"DialogTanaMoto1"_qs] = [](QDialog* dialog) { click(dialog, "Command7"); };
    walk.visits[u"DialogExcelA"_qs] = [](QDialog* dialog) {
        click(dialog, "Command3");
        click(dialog, "Command4");
    };
    walk.visits[u"DialogExcelB"_qs] = [](QDialog* dialog) { click(dialog, "Command3"); };
    walk.visits[u"frmInShohin"_qs] = [](QDialog* products) {
        click(products, "cmdCodes");
        click(products, "Command1");
    };
    // The history: a line's own history from a double click on its entry, then the print dialog.
    walk.visits[u"frmRireki"_qs] = [](QDialog* history) {
        auto* grid = history->findChild<QTableView*>(u"dgdRireki"_qs);
        QVERIFY(grid->model()->rowCount() > 0);
        const QPoint cell = grid->visualRect(grid->model()->index(0, 0)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
        ScreenTest::settle();
        click(history, "Command2");
    };
    for (const char* button :
         { "Command19", "Command21", "Command3", "Command4", "Command5", "Command28", "Command33", "Command24" })
        click(&window, button);
    for (const char* entry : { "mnuPreTana", "munPrinter", "mnuUpdate", "mnuAbout", "mnuCodeList", "mnuRireki",
                               "mnuServer", "mnuCopyToServer", "mnuPhones" })
        action(&window, entry);
    // The phones' window serves while it is open: closed at once.
    auto* phones = window.findChild<QWidget*>(u"DialogPhones"_qs);
    QVERIFY(phones);
    phones->close();
    auto* entry = window.findChild<QWidget*>(u"frmTana"_qs);
    QVERIFY(entry);
    click(entry, "Command4"); // its help
    entry->close();
    // The finalising of a date, its undoing (the reason's dialog shows for a finalised date) and
    // the saving of a filed sheet.
    action(&window, "mnuKakutei");
    QVERIFY(s.db().exec(u"UPDATE \"棚卸マスター\" SET \"項目ID\" = 0"_qs));
    QCOMPARE(Finalisation::finalise(s.db(), QDate(2026, 3, 31), {}).status, Finalisation::Outcome::Status::Done);
    s.prompter.answerAsk(true);
    action(&window, "mnuKakuteiTorikeshi");
    // The choice of the sheet to save shows once the date was finalised twice.
    QVERIFY(Finalisation::undo(s.db(), QDate(2026, 3, 31), u"訂正のため"_qs));
    QCOMPARE(Finalisation::finalise(s.db(), QDate(2026, 3, 31), {}).status, Finalisation::Outcome::Status::Done);
    action(&window, "mnuKakuteiHozon");
    // The print dialogs' font choice, which the scripted prompter answers in their place.
    QCOMPARE(WidgetPrompter().chooseFont(u"ＭＳ 明朝"_qs, 16), std::nullopt);

    QVERIFY2(walk.visits.empty(), "a window was not opened");
    walk.clashes.removeDuplicates();
    QVERIFY2(walk.clashes.isEmpty(), qPrintable(walk.clashes.join(u'\n')));
    QStringList neverOpened = (programWindows() - walk.classesSeen).values();
    neverOpened.sort();
    QCOMPARE(neverOpened, QStringList());
    QVERIFY(s.prompter.problems().isEmpty());
}

KOTRINA_REGISTER_TEST(TestAccessKeys)
#include "TestAccessKeys.moc"
