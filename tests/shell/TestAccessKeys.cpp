#include "ListedPrinters.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/shell/frmAMain.h"
#include "gui/shell/frmSplash.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <map>

namespace {

// The text whose access key reaches the control: a label's leads to its buddy, a group box's
// into its first control, a button's or option's presses it.
QString captionOf(const QWidget* control)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->buddy() ? label->text() : QString();
    if (const auto* group = qobject_cast<const QGroupBox*>(control))
        return group->title();
    return {};
}

// "scope: Alt+K 品名(&K) / 削除(&K)" for each access key that more than one caption carries.
QStringList keysUsedTwice(const QString& scope, const QStringList& captions)
{
    std::map<QString, QStringList> byKey;
    for (const QString& caption : captions) {
        const QKeySequence key = QKeySequence::mnemonic(caption);
        if (!key.isEmpty())
            byKey[key.toString()] << caption;
    }
    QStringList clashes;
    for (const auto& [key, holders] : byKey) {
        if (holders.size() > 1)
            clashes << scope + u": "_qs + key + u" "_qs + holders.join(u" / "_qs);
    }
    return clashes;
}

// The captions of the controls a user sees together in window: those shown with it, not
// those of another window opened over it. A main window's menu titles share its keys.
QStringList captionsShownIn(QWidget* window)
{
    QStringList captions;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (control->window() == window && control->isVisibleTo(window))
            captions << captionOf(control);
    }
    if (auto* main = qobject_cast<QMainWindow*>(window); main && main->menuWidget()) {
        for (const QAction* title : main->menuBar()->actions()) {
            if (title->isVisible())
                captions << title->text();
        }
    }
    return captions;
}

QString scopeOf(const QWidget* window)
{
    const QString name = window->objectName();
    return name.isEmpty() ? QString::fromLatin1(window->metaObject()->className()) : name;
}

// The windows of the program: every header of the screens library named as a screen
// (frm…, Dialog…, …Dialog) declares one, named like its file.
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

// Watches every window the program opens while a test drives it: each one's access keys are
// checked when it shows and when it becomes the modal window; a modal window is then visited
// (the steps given for it by object name, once, run from the event loop so that they may
// open further windows) and closed.
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

    void check(QWidget* window, const QString& scope)
    {
        for (const QString& clash : keysUsedTwice(scope, captionsShownIn(window))) {
            if (!clashes.contains(clash))
                clashes << clash;
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* window = static_cast<QWidget*>(watched);
            const Qt::WindowType type = window->windowType();
            if (window->isWindow() && type != Qt::Popup && type != Qt::ToolTip) {
                for (const QMetaObject* m = window->metaObject(); m; m = m->superClass())
                    classesSeen << QString::fromLatin1(m->className());
                check(window, scopeOf(window));
            }
        }
        return false;
    }

private:
    void tick()
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("visiting").toBool())
            return;
        if (!dialog->property("visited").toBool()) {
            dialog->setProperty("visited", true);
            check(dialog, scopeOf(dialog));
            if (const auto it = visits.find(scopeOf(dialog)); it != visits.end()) {
                dialog->setProperty("visiting", true);
                QTimer::singleShot(0, dialog, [dialog, visit = std::move(it->second)] {
                    visit(dialog);
                    dialog->setProperty("visiting", false);
                });
                visits.erase(it);
            }
            return;
        }
        dialog->reject();
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
    s.settings.sync();
    const QString file = sampleDatabase(s.env, 20);
    QVERIFY(!file.isEmpty());

    // The category check of the list and the stocktaking sheet's dialog offer to move the
    // lines without a category; they stay.
    s.prompter.answerAsk(false);
    s.prompter.answerAsk(false);
    WindowWalk walk;
    // The splash shows before the main window exists.
    {
        frmSplash splash;
        splash.show();
        ScreenTest::settle();
    }
    frmAMain window(s.state, file);
    window.load();
    ScreenTest::showActive(&window);

    // The repair frame shows beside the buttons, and every menu is a scope of its own.
    click(&window, "Command1");
    walk.check(&window, u"frmAMain with Frame8"_qs);
    click(&window, "Command1");
    for (QAction* title : window.menuBar()->actions()) {
        QStringList entries;
        for (const QAction* entry : title->menu()->actions()) {
            if (entry->isVisible() && !entry->isSeparator())
                entries << entry->text();
        }
        walk.clashes << keysUsedTwice(title->text(), entries);
    }

    // The windows opened from those, as a user opens them, each checked as it shows. Some are
    // looked into further: the list in each of its views, after which its totals go to their
    // print dialog; the printer settings from a print dialog; the column assignments and the
    // help of the imports; the product import from the product screen.
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
    walk.visits[u"frmInShohin"_qs] = [](QDialog* products) { click(products, "Command1"); };

    for (const char* button :
         { "Command19", "Command21", "Command3", "Command4", "Command5", "Command28", "Command33", "Command24" })
        click(&window, button);
    for (const char* entry : { "mnuPreTana", "munPrinter", "mnuUpdate", "mnuAbout" }) {
        auto* action = window.findChild<QAction*>(QString::fromLatin1(entry));
        QVERIFY2(action && action->isEnabled(), entry);
        action->trigger();
        ScreenTest::settle();
    }
    auto* entry = window.findChild<QWidget*>(u"frmTana"_qs);
    QVERIFY(entry && entry->isVisible());
    click(entry, "Command4"); // its help
    entry->close();

    QVERIFY2(walk.visits.empty(), "a window was not opened");
    QVERIFY2(walk.clashes.isEmpty(), qPrintable(walk.clashes.join(u'\n')));
    QStringList neverOpened = (programWindows() - walk.classesSeen).values();
    neverOpened.sort();
    QCOMPARE(neverOpened, QStringList());
    QVERIFY(s.prompter.problems().isEmpty());
}

KOTRINA_REGISTER_TEST(TestAccessKeys)
#include "TestAccessKeys.moc"
