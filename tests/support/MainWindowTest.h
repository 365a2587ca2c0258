#pragma once

#include "ScreenTest.h"
#include "TestSession.h"
#include "core/store/Database.h"
#include "gui/shell/frmAMain.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

// One main window on a fresh environment, with the day fixed and every dialog scripted.
struct MainWindow : TestSession
{
    std::unique_ptr<frmAMain> window;
    ModalAnswerer modals;

    void start(const QString& commandLine = {})
    {
        settings.sync();
        window = std::make_unique<frmAMain>(state, commandLine);
        window->load();
        ScreenTest::showActive(window.get());
    }

    template<typename T> T* find(const char* name) const
    {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qWarning("no control %s", name);
        return child;
    }

    void trigger(const char* name)
    {
        if (auto* button = window->findChild<QPushButton*>(QString::fromLatin1(name)))
            QTest::mouseClick(button, Qt::LeftButton);
        else if (auto* action = window->findChild<QAction*>(QString::fromLatin1(name)))
            action->trigger();
        else
            QFAIL(qPrintable(QStringLiteral("no control %1").arg(QLatin1String(name))));
        ScreenTest::settle();
    }

    QString panel1() const { return find<QLabel>("Panel1")->text(); }

    void addLine(const QString& file)
    {
        Database db;
        QVERIFY(db.open(file));
        QVERIFY(db.exec(
            QStringLiteral(R"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名", "価格") VALUES (?, ?, ?, 100))"),
            { db.nextId(Table::Tana), QStringLiteral("2026-03-31"), QStringLiteral("りんご") }));
    }
};
