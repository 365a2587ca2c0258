// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/serve/PhoneServer.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <future>
#include <httplib.h>
#include <optional>

struct PhoneServer::Job
{
    PhoneRequest request;
    std::promise<PhoneResponse> answer;
};

namespace {

// The library's threads: enough for every phone of a shop to hold its connection open.
constexpr int HttpThreads = 32;
// How long a request waits for the database's thread before it is answered as busy.
constexpr auto MostWait = std::chrono::seconds(30);

PhoneResponse busy()
{
    PhoneResponse response;
    response.status = 503;
    response.body = QStringLiteral(R"({"error":"サーバーが終了しました。"})").toUtf8();
    return response;
}

PhoneResponse notWritten()
{
    PhoneResponse response;
    response.status = 503;
    response.body = QStringLiteral(R"({"error":"データベースに書き込めませんでした。もう一度送ります。"})").toUtf8();
    return response;
}

PhoneRequest requestOf(const httplib::Request& in)
{
    PhoneRequest request;
    request.method = QByteArray::fromStdString(in.method);
    request.path = QString::fromStdString(in.path); // decoded by the library
    for (const auto& [name, value] : in.params)
        request.query.insert(QString::fromStdString(name), QString::fromStdString(value));
    request.cookie = QByteArray::fromStdString(in.get_header_value("Cookie"));
    request.csrf = QByteArray::fromStdString(in.get_header_value("X-CSRF-Token"));
    request.body = QByteArray::fromStdString(in.body);
    return request;
}

} // namespace

PhoneServer::PhoneServer(const Database& db, QDate date, QObject* parent)
    : QObject(parent)
    , m_db(db)
    , m_service(db, date)
{ }

PhoneServer::~PhoneServer()
{
    stop();
}

bool PhoneServer::start(const Options& options, QString* error)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        m_http.reset();
        return false;
    };
    if (m_listening)
        return true;
    m_https = !options.certificate.isEmpty() || !options.key.isEmpty();
    if (m_https) {
        for (const QString& path : { options.certificate, options.key }) {
            if (path.isEmpty() || !QFileInfo(path).isReadable())
                return fail(QStringLiteral("HTTPS の証明書または秘密鍵のファイルを読めません: %1").arg(path));
        }
        m_http = std::make_unique<httplib::SSLServer>(QFile::encodeName(options.certificate).constData(),
                                                      QFile::encodeName(options.key).constData());
        if (!m_http->is_valid())
            return fail(QStringLiteral("HTTPS の証明書と秘密鍵を読み込めませんでした（形式か組み合わせが違います）。"));
    } else {
        m_http = std::make_unique<httplib::Server>();
    }
    m_service.setHttps(m_https);
    m_http->new_task_queue = [] { return new httplib::ThreadPool(HttpThreads); };
    m_http->set_payload_max_length(MostBody);
    m_http->set_keep_alive_max_count(1000);
    m_http->set_keep_alive_timeout(30);
    m_http->set_read_timeout(10);
    m_http->set_write_timeout(10);
    m_http->set_default_headers({ { "X-Content-Type-Options", "nosniff" },
                                  { "X-Frame-Options", "DENY" },
                                  { "Referrer-Policy", "no-referrer" } });
    const httplib::Server::Handler handler = [this](const httplib::Request& in, httplib::Response& out) {
        auto job = std::make_shared<Job>();
        job->request = requestOf(in);
        std::future<PhoneResponse> answered = job->answer.get_future();
        enqueue(job);
        const PhoneResponse response
            = answered.wait_for(MostWait) == std::future_status::ready ? answered.get() : busy();
        out.status = response.status;
        for (const auto& [name, value] : response.headers)
            out.set_header(name.toStdString(), value.toStdString());
        out.set_content(response.body.toStdString(), response.contentType.toStdString());
    };
    m_http->Get(".*", handler);
    m_http->Post(".*", handler);
    m_http->Put(".*", handler);
    m_http->Delete(".*", handler);
    m_http->set_error_handler([](const httplib::Request&, httplib::Response& out) {
        if (out.status == 413)
            out.set_content(QStringLiteral(R"({"error":"送られた内容が大きすぎます。"})").toStdString(),
                            "application/json; charset=utf-8");
    });

    const std::string host = options.address.toStdString();
    if (options.port == 0) {
        m_port = m_http->bind_to_any_port(host);
        if (m_port <= 0)
            return fail(QStringLiteral("%1 で待ち受けられませんでした。").arg(options.address));
    } else {
        if (!m_http->bind_to_port(host, options.port))
            return fail(
                QStringLiteral("%1 のポート %2 で待ち受けられませんでした（ほかのプログラムが使っていませんか）。")
                    .arg(options.address)
                    .arg(options.port));
        m_port = options.port;
    }
    m_address = options.address;
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    httplib::Server* http = m_http.get();
    m_listener = std::thread([http] { http->listen_after_bind(); });
    m_listening = true;
    return true;
}

void PhoneServer::stop()
{
    if (!m_listening)
        return;
    std::deque<std::shared_ptr<Job>> waiting;
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        waiting.swap(m_waiting);
    }
    for (const std::shared_ptr<Job>& job : waiting)
        job->answer.set_value(busy());
    m_http->stop();
    if (m_listener.joinable())
        m_listener.join();
    m_http.reset();
    m_listening = false;
}

void PhoneServer::enqueue(const std::shared_ptr<Job>& job)
{
    bool first = false;
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping) {
            job->answer.set_value(busy());
            return;
        }
        first = m_waiting.empty();
        m_waiting.push_back(job);
    }
    if (first)
        QMetaObject::invokeMethod(this, &PhoneServer::answerWaiting, Qt::QueuedConnection);
}

void PhoneServer::answerWaiting()
{
    std::deque<std::shared_ptr<Job>> waiting;
    {
        const std::lock_guard lock(m_mutex);
        waiting.swap(m_waiting);
    }
    auto writes
        = [](const PhoneRequest& request) { return request.method != "GET" || request.path == QLatin1String("/pair"); };
    const auto writing = std::count_if(waiting.begin(), waiting.end(),
                                       [&](const std::shared_ptr<Job>& job) { return writes(job->request); });
    std::optional<WriteBatch> batch;
    if (writing > 1)
        batch.emplace(m_db);
    std::vector<PhoneResponse> answers;
    answers.reserve(waiting.size());
    for (const std::shared_ptr<Job>& job : waiting)
        answers.push_back(m_service.answer(job->request));
    if (batch && batch->isActive() && !batch->commit()) {
        batch.reset(); // rolled back: what the answers said was written is not
        for (size_t i = 0; i < waiting.size(); ++i) {
            if (writes(waiting[i]->request) && answers[i].status < 400)
                answers[i] = notWritten();
        }
    }
    for (size_t i = 0; i < waiting.size(); ++i)
        waiting[i]->answer.set_value(answers[i]);
}

QString PhoneServer::pageAddress() const
{
    QString host = m_address;
    const QHostAddress listening(m_address);
    if (listening == QHostAddress::AnyIPv4 || listening == QHostAddress::Any || listening == QHostAddress::AnyIPv6) {
        host = QStringLiteral("127.0.0.1");
        for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
                host = address.toString();
                break;
            }
        }
    } else if (listening.protocol() == QAbstractSocket::IPv6Protocol) {
        host = QLatin1Char('[') + m_address + QLatin1Char(']');
    }
    return QStringLiteral("%1://%2:%3/")
        .arg(m_https ? QStringLiteral("https") : QStringLiteral("http"), host, QString::number(m_port));
}

QString PhoneServer::newPairingUrl()
{
    return pageAddress() + QStringLiteral("pair?code=") + m_service.newPairingCode();
}
