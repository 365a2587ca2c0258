// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QTextStream;

// One verb of the command line: its name ("export lines"), what it does, its positional
// arguments and options, and execute(), which runs it and returns the exit status.
// What it prints goes to the streams it is given, so a test can run it in-process.
class Command
{
public:
    // Exit statuses of every verb.
    enum Status
    {
        Success = 0,
        Found = 1, // a check found what it looks for
        Failure = 2, // the verb could not do its work; the reason is on the error stream
    };

    struct Argument
    {
        QString name;
        QString description;
    };

    Command(QTextStream& out, QTextStream& err, QString name, QString description);
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    const QString name;
    const QString description;
    QList<Argument> positionalArguments;
    QList<QCommandLineOption> options;

    // Runs the verb on args, the words after its name, read against its arguments and
    // options first; the exit status.
    int execute(const QStringList& args);

    // "使い方: kotrina export lines FILE.idb …" with the arguments and options explained.
    QString helpText() const;

    // Whether the verb draws pages, which needs the application's fonts.
    virtual bool drawsPages() const { return false; }

protected:
    // The verb's own work, once its words are read; the exit status.
    virtual int run(const QCommandLineParser& parser) = 0;
    // The arguments and options several verbs share.
    static Argument databaseArgument();
    static QCommandLineOption dateOption();
    static QCommandLineOption xlsxOption();

    // The value of a required option, or nullopt after telling that it is missing.
    std::optional<QString> required(const QCommandLineParser& parser, const QCommandLineOption& option);
    // The required date option, written YYYY-MM-DD; nullopt after telling what is wrong.
    std::optional<QDate> requiredDate(const QCommandLineParser& parser, const QCommandLineOption& option);
    // Which of the allowed words the option's value is; nullopt after telling the choice.
    std::optional<qsizetype> choice(const QCommandLineParser& parser, const QCommandLineOption& option,
                                    const QStringList& allowed);
    // Opens a Kotrina file as the program does; read-write only for verbs that write.
    bool openDatabase(Database& db, const QString& path, Database::Access access);
    // Writes the workbook named by the xlsx option from the database file of the first
    // argument, opened read-only; the exit status.
    using Writer = std::function<bool(const Database& db, const QString& target, QString* error)>;
    int writeWorkbook(const QCommandLineParser& parser, const QCommandLineOption& xlsx, const Writer& write);
    // Tells a failure on the error stream (message boxes' "\r" become line breaks).
    int fail(const QString& message);

    QTextStream& m_out;
    QTextStream& m_err;

private:
    bool checkFile(const QString& path, QString* problem, QString* error);
    bool parse(QCommandLineParser& parser, const QStringList& args, int* status);
};
