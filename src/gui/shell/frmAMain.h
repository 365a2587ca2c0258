// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/files/DatabaseFiles.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class AppState;
class BackgroundCheck;
class FinalisedMark;
class QAction;
class QComboBox;
class QDateEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class DialogPhones;
class frmTana;

// The main window: the settlement date every stocktaking screen starts from, the open
// database file, and the buttons and menus of every function.
class frmAMain : public QMainWindow, private FileCommandsView
{
    Q_OBJECT
public:
    // commandLineFile: the database file named on the command line, or empty.
    explicit frmAMain(AppState& state, QString commandLineFile = {}, QWidget* parent = nullptr);
    ~frmAMain() override;

    // Reads the settings, opens the database and loads the picture. Run while the splash shows.
    void load();

    // The screens opened from here.
    enum class Screen
    {
        Tana,
        InAmd2,
        TanaMoto1,
        List,
        TanaMoto2,
        ExcelA,
        ExcelB,
        Koumoku,
        InShohin,
        Tani,
        PrinterP,
        About,
        Update
    };

public Q_SLOTS:
    // Another start of the program asked this one to come forward.
    void bringToFront();
    // Another start of the program was given this database file: come forward and, unless it
    // is the open one, offer to close the open file and open it.
    void openHandedOver(const QString& file);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void setTabOrder();

    // What the file commands show here.
    QString fileName() const override;
    void setFileName(const QString& name) override;
    void showFileStatus(const QString& text) override;
    void showSizeBefore(const QString& text) override;
    void showSizeAfter(const QString& text) override;
    std::unique_ptr<LongWork> startWork(const QString& caption, const QString& text) override;
    // What the window of long work belongs to: this window once it shows, the splash before.
    QWidget* workParent() const;

    void onActivated();
    void runFirstRunGuidance();
    void stopGuidance();

    // Opens nothing and says so when 棚卸マスター holds no line.
    bool checkLines(const QString& emptyMessage);
    void checkAndOpen(const QString& emptyMessage, Screen screen, bool hourglass = false);
    void confirmDateAndOpenEntry();
    bool screenAvailable(Screen screen) const;
    void openScreen(Screen screen);
    // The print dialog of the code list (frmAMainCodeList.cpp).
    void openCodeList();
    void openPhones();

    // 変更履歴: the history of the lines of the main window's date.
    void openHistory();
    // The user's manual in the desktop's viewer; a missing manual is said.
    void openManual();
    void replacePicture();
    void resetPicture();
    void showPicture();
    void toggleRepairFrame();
    // Turns the commands that change the file off while it is open read-only.
    void showAccess();
    // Runs a file command and refreshes the screens that show the database.
    void fileCommand(const std::function<void()>& command);
    // The open command: the file chosen in its dialog, or the one named.
    void openDatabase(const QString& name = {});
    // A screen or a dialog is open besides the main window.
    bool otherWindowsOpen() const;
    // Checks the open file in the background and reports damage as soon as it is found.
    void checkOpenFile();

    // The finalising of the settlement date (frmAMainFinalise.cpp).
    void showFinalised();
    void finaliseDate();
    void undoFinalisation();
    void verifyFinalisation();
    void saveFiledSheet();

    void closeOtherWindows();
    bool saveSettings();
    // Leaves the backup copy of the file that was open; what the user is to be told of it
    // (a failure, an earlier backup kept under another name), or empty.
    QString makeBackup();

    AppState& m_state;
    DatabaseFiles m_files;
    QString m_commandLineFile;
    bool GuidanceShown = false;
    bool m_settingsLoaded = false; // the settings written at close were read by load()
    bool m_activationQueued = false;
    bool m_closed = false;
    bool m_checkedAtStart = false;
    BackgroundCheck* m_check;
    QPointer<frmTana> m_tana; // the entry screen runs beside the main window
    QPointer<DialogPhones> m_phones; // serves the phones while it is open

    QLabel* Label1;
    QDateEdit* DTPicker1;
    FinalisedMark* m_finalisedMark;
    QLineEdit* txtFileName;
    QLabel* Label9;
    QLabel* Label13;
    QLabel* Picture2;
    QLabel* Picture3;
    QGroupBox* Frame1;
    QFrame* Frame8;
    QGroupBox* Frame4;
    QComboBox* Combo3;
    QLabel* Label5;
    QLabel* Label7;
    QStatusBar* StatusBar1;
    QLabel* m_panel1;

    QPushButton* Command17;
    QPushButton* Command19;
    QPushButton* Command21;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;
    QPushButton* Command28;
    QPushButton* Command33;
    QPushButton* Command24;
    QPushButton* Command1;
    QPushButton* Command22;
    QPushButton* cmdSalvage;
    QPushButton* Command58;
    QPushButton* Command2;
};
