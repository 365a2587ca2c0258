// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "ScreenTest.h"
#include "TestSession.h"
#include "core/store/Database.h"
#include "gui/shell/frmAMain.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
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
            chooseFromMenu(action);
        else
            QFAIL(qPrintable(QStringLiteral("no control %1").arg(QLatin1String(name))));
        ScreenTest::settle();
    }

    // Opens the menu bar's menu holding the entry and clicks the entry, as a user does.
    void chooseFromMenu(QAction* entry)
    {
        QMenu* menu = nullptr;
        for (QObject* holder : entry->associatedObjects()) {
            if (auto* found = qobject_cast<QMenu*>(holder))
                menu = found;
        }
        if (!menu)
            QFAIL(qPrintable(QStringLiteral("%1 is in no menu").arg(entry->objectName())));
        window->menuBar()->setActiveAction(menu->menuAction());
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        if (menu->isVisible()) // a disabled entry leaves the menu open
            QTest::keyClick(menu, Qt::Key_Escape);
        // The closed pop-up hands the keyboard back to the window, as it does on a desktop.
        QTRY_VERIFY(!menu->isVisible());
        if (window->isVisible() && !QApplication::activeModalWidget()) {
            window->activateWindow();
            QTRY_VERIFY(window->isActiveWindow());
        }
    }

    QString panel1() const { return find<QLabel>("Panel1")->text(); }
    // Where the window names the open file: the file box, the status line and the setting.
    QStringList fileNames() const
    {
        return { find<QLineEdit>("txtFileName")->text(), panel1(), settings.value(Setting::MDBFileName) };
    }

    void addLine(const QString& file)
    {
        Database db;
        QVERIFY(db.open(file));
        QVERIFY(db.exec(
            QStringLiteral(R"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名", "価格") VALUES (?, ?, ?, 100))"),
            { db.nextId(Table::Tana), QStringLiteral("2026-03-31"), QStringLiteral("りんご") }));
    }
};
