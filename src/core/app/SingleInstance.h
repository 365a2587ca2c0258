// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One running program per user (and per KOTRINA_HOME): a second start asks the running one
// to come to the front, hands it the database file it was started with, and then ends.
//
// What the second start writes: "raise\n" and, when it names a file, the line
// "open 2 <bytes>\n" followed by the file's absolute path in that many bytes of UTF-8 (a
// length, not a line, so any character of a file name travels). The running program answers
// "ok\n" once it has taken the file. A program that knows only "raise" comes forward and
// answers nothing, and so does one that ends meanwhile: the second start then knows the file
// was not taken. A later version may send another number after "open"; this one then only
// comes forward and answers "?\n".
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QString key, QObject* parent = nullptr);

    // The key of this user and data directory.
    static QString keyFor(const QString& dataDir);

    enum class HandOver
    {
        NoneRunning, // nobody answered on the key
        Raised, // the running instance was asked to come forward (no file was given)
        FileTaken, // it comes forward and has taken the file
        FileNotTaken, // it answered but did not take the file (an older version, or it is ending)
    };
    // Asks a running instance to come forward and, when file is not empty, to open it.
    HandOver handOverToRunning(const QString& file = {}, int timeoutMs = 500);
    // Becomes the running instance; false when the name cannot be taken.
    bool listen();
    // A file handed over while nothing was connected to openRequested yet (the running
    // program still loading its window), or empty; taken only once.
    QString takePendingFile();

    enum class Start
    {
        Running, // this is the one instance on the data directory
        HandedOver, // another instance runs, comes forward and has the file: end this one
        FileNotTaken, // another instance runs and came forward, but did not take the file
        Blocked, // another instance holds the name but never answered: end this one too
    };
    // Hands over to a running instance or becomes the running one. Two starts at the same
    // moment race for the name: the loser hands over to the winner as soon as the winner
    // answers, and never runs beside it.
    Start start(const QString& file = {}, int timeoutMs = 5000);

Q_SIGNALS:
    void activationRequested();
    // Another start was given this file (an absolute path). The request has been answered
    // already: connect queued when the receiver asks the user.
    void openRequested(const QString& file);

private:
    QString m_key;
    QLocalServer m_server;
    QString m_pendingFile;
};
