#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One running program per user (and per KOTRINA_HOME): a second start asks the
// running one to come to the front and then ends.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QString key, QObject* parent = nullptr);

    // The key of this user and data directory.
    static QString keyFor(const QString& dataDir);

    // True when another instance answered and was asked to come forward.
    bool handOverToRunning(int timeoutMs = 500);
    // Becomes the running instance; false when the name cannot be taken.
    bool listen();

    enum class Start
    {
        Running, // this is the one instance on the data directory
        HandedOver, // another instance runs and was asked to come forward: end this one
        Blocked, // another instance holds the name but never answered: end this one too
    };
    // Hands over to a running instance or becomes the running one. Two starts at the same
    // moment race for the name: the loser hands over to the winner as soon as the winner
    // answers, and never runs beside it.
    Start start(int timeoutMs = 5000);

Q_SIGNALS:
    void activationRequested();

private:
    QString m_key;
    QLocalServer m_server;
};
