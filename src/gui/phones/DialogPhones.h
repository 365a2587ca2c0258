// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDate>
#include <QDialog>
#include <memory>

class AppState;
class PhoneServer;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;
class QrCodeView;

// "スマートフォンで入力": serves the counting page to the shop's phones for as long as it is
// open. It shows the page's address with a one-time pairing code as a QR code, the phones
// paired with their names (renamed in place) and their lines of the date, and unpairs a phone.
// The server starts with the window and stops when it closes, when the program ends or when
// another database is opened.
class DialogPhones : public QDialog
{
    Q_OBJECT
public:
    DialogPhones(AppState& state, QDate date, QWidget* parent = nullptr);
    ~DialogPhones() override;

    // Starts the server; false (the reason told through the Prompter) when it cannot.
    bool start();
    PhoneServer* server() const { return m_server.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void newCode();
    void showPhones();
    void renamePhone(int row);
    void unpairPhone();
    void watchDatabase();

    AppState& m_state;
    QDate m_date;
    QString m_file; // the database served
    std::unique_ptr<PhoneServer> m_server;
    bool m_filling = false;

    QLabel* lblDate;
    QrCodeView* picQr;
    QLabel* lblUrl;
    QLabel* lblHttps;
    QPushButton* cmdNewCode;
    QTableWidget* grdPhones;
    QPushButton* cmdRename;
    QPushButton* cmdUnpair;
    QPushButton* cmdClose;
    QTimer* m_watch;
};
