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

Q_SIGNALS:
    void activationRequested();

private:
    QString m_key;
    QLocalServer m_server;
};
