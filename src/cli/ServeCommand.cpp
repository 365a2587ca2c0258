// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/ServeCommand.h"

#include "core/app/Clock.h"
#include "core/app/Paths.h"
#include "core/app/Settings.h"
#include "core/app/TerminationSignals.h"
#include "core/serve/PhoneRegistry.h"
#include "core/serve/PhoneServer.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTextStream>
#include <unistd.h>

ServeCommand::ServeCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("serve"),
              QStringLiteral("スマートフォンから棚卸を入力するページを、店内のネットワークに公開します。\n"
                             "ページのアドレスとペアリング用のURLを表示し、終了させられるまで動きます。\n"
                             "標準入力で Enter を押すたびに、新しいペアリング用のURLを表示します。"))
    , m_date(QStringLiteral("date"), QStringLiteral("決算日。省略すると画面で設定した決算日です。"),
             QStringLiteral("YYYY-MM-DD"))
    , m_port(QStringLiteral("port"),
             QStringLiteral("ポート番号（0 で空いているポート）。既定は %1 です。").arg(PhoneServer::DefaultPort),
             QStringLiteral("N"))
    , m_address(QStringLiteral("address"), QStringLiteral("待ち受けるアドレス。既定はすべて（0.0.0.0）です。"),
                QStringLiteral("A"))
    , m_certificate(QStringLiteral("cert"), QStringLiteral("HTTPS の証明書（PEM）。既定は設定のものです。"),
                    QStringLiteral("CERT.pem"))
    , m_key(QStringLiteral("key"), QStringLiteral("HTTPS の秘密鍵（PEM）。"), QStringLiteral("KEY.pem"))
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_port, m_address, m_certificate, m_key };
}

int ServeCommand::run(const QCommandLineParser& parser)
{
    const SystemClock clock;
    const Settings settings(Paths::fromEnvironment().settingsFile(), clock);
    QDate date;
    if (parser.isSet(m_date)) {
        const std::optional<QDate> given = requiredDate(parser, m_date);
        if (!given)
            return Failure;
        date = *given;
    } else {
        date = DateText::fromText(settings.value(Setting::FDate));
        if (!date.isValid())
            date = clock.today();
    }
    PhoneServer::Options serving;
    if (parser.isSet(m_port)) {
        bool ok = false;
        serving.port = parser.value(m_port).toInt(&ok);
        if (!ok || serving.port < 0 || serving.port > 65535)
            return fail(QStringLiteral("ポート番号「%1」が正しくありません。0 から 65535 で指定してください。")
                            .arg(parser.value(m_port)));
    }
    if (parser.isSet(m_address))
        serving.address = parser.value(m_address);
    serving.certificate
        = parser.isSet(m_certificate) ? parser.value(m_certificate) : settings.value(Setting::PhoneCertificate);
    serving.key = parser.isSet(m_key) ? parser.value(m_key) : settings.value(Setting::PhoneKey);

    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadWrite))
        return Failure;
    if (!PhoneRegistry::available(db))
        return fail(QStringLiteral("このデータベースはスマートフォンからの入力に対応していません。"));

    // The signals are caught before the server listens, so an end asked for at once is clean.
    TerminationSignals ending;
    PhoneServer server(db, date);
    QString error;
    if (!server.start(serving, &error))
        return fail(error);
    m_out << server.pageAddress() << '\n' << server.newPairingUrl() << '\n';
    m_out.flush();

    QEventLoop loop;
    QObject::connect(&ending, &TerminationSignals::received, &loop, [&loop] { loop.quit(); });
    ending.watch();
    // Each line on standard input (Enter in the terminal) asks for a new pairing URL; the end
    // of the input only stops asking.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &loop, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            return;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n')
                m_out << server.newPairingUrl() << '\n';
        }
        m_out.flush();
    });
    loop.exec();
    server.stop();
    return Success;
}
