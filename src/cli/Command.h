#pragma once

#include "core/store/Database.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
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

    // args are the words after the verb's name.
    virtual int execute(const QStringList& args) = 0;

    // "使い方: kotrina export lines FILE.idb …" with the arguments and options explained.
    QString helpText() const;

protected:
    // Reads args against the verb's arguments and options. False when the verb is not to
    // run: help was asked for (printed), or the words are wrong (told on err); status says
    // which exit status that is.
    bool parse(QCommandLineParser& parser, const QStringList& args, int* status);
    // The value of a required option, or nullopt after telling that it is missing.
    std::optional<QString> required(const QCommandLineParser& parser, const QCommandLineOption& option);
    // A date written YYYY-MM-DD, or nullopt after telling what is wrong with it.
    std::optional<QDate> date(const QString& text);
    // Opens a Kotrina file as the program does; read-write only for verbs that write.
    bool openDatabase(Database& db, const QString& path, Database::Access access);
    // Tells a failure on the error stream (message boxes' "\r" become line breaks).
    int fail(const QString& message);

    QTextStream& m_out;
    QTextStream& m_err;
};
