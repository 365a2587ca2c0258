// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/serve/PhoneService.h"

#include "core/lines/LineRegistration.h"
#include "core/masters/LookupModel.h"
#include "core/masters/ProductCodes.h"
#include "core/masters/ScannedCode.h"
#include "core/rules/TextRules.h"
#include "core/store/HistoryTrail.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace {

constexpr int MostProducts = 20;
constexpr qsizetype MostBody = 64 * 1024;
constexpr qsizetype MostNote = 200;

PhoneResponse json(int status, const QJsonValue& value)
{
    PhoneResponse response;
    response.status = status;
    response.body = value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                    : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    return response;
}

PhoneResponse refused(int status, const QString& reason)
{
    return json(status, QJsonObject { { QStringLiteral("error"), reason } });
}

PhoneResponse htmlPage(int status, const QString& title, const QString& text)
{
    PhoneResponse response;
    response.status = status;
    response.contentType = "text/html; charset=utf-8";
    response.body = QStringLiteral("<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
                                   "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                                   "<title>%1</title></head><body><h1>%1</h1><p>%2</p></body></html>")
                        .arg(title.toHtmlEscaped(), text.toHtmlEscaped())
                        .toUtf8();
    return response;
}

const QString NotPaired = QStringLiteral(
    "このスマートフォンはペアリングされていません。机のパソコンに表示されたQRコードを読み取ってください。");

QJsonObject lineJson(const PhoneRegistry::PhoneLine& line)
{
    return QJsonObject { { QStringLiteral("key"), line.key },
                         { QStringLiteral("id"), line.id },
                         { QStringLiteral("category"), line.categoryId },
                         { QStringLiteral("product"), line.product },
                         { QStringLiteral("quantity"), line.quantity },
                         { QStringLiteral("unit"), line.unit },
                         { QStringLiteral("price"), line.unitPrice },
                         { QStringLiteral("amount"), line.amount },
                         { QStringLiteral("note"), line.note } };
}

// A number field of a line as the phone sends it: a JSON number, or the text typed, read as
// the entry screen reads its boxes. Empty: nullopt without refusal.
TextRules::NumberInput numberField(const QString& field, const QJsonValue& value)
{
    if (value.isDouble())
        return TextRules::readNumber(field, QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest));
    if (value.isString())
        return TextRules::readNumber(field, value.toString());
    if (value.isUndefined() || value.isNull())
        return {};
    return { std::nullopt, QStringLiteral("%1が数値ではありません。").arg(field) };
}

bool categoryExists(const Database& db, int id)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT 1 FROM "項目分類" WHERE "項目ID" = ?)"));
    q.addBindValue(id);
    return q.exec() && q.next();
}

// The line the body describes, checked as the entry screen checks what is typed; the reason
// (the entry screen's message) in refusal otherwise.
std::optional<LineInput> readLine(const Database& db, QDate date, const QJsonObject& body, QString* refusal)
{
    auto refuse = [&](const QString& text) {
        *refusal = text;
        return std::optional<LineInput>();
    };
    // A line the phone kept while the desk moved on to another settlement date is not counted
    // into that date.
    const QJsonValue countedFor = body.value(QStringLiteral("date"));
    const QString served = date.toString(QStringLiteral("yyyy/MM/dd"));
    if (!countedFor.isUndefined() && !countedFor.isNull() && countedFor.toString() != served)
        return refuse(QStringLiteral("この行は決算日 %1 の棚卸として数えたものです。いまの入力先は決算日 %2 です。")
                          .arg(countedFor.isString() ? countedFor.toString() : QStringLiteral("？"), served));
    LineInput line;
    line.date = date;
    const QJsonValue category = body.value(QStringLiteral("category"));
    if (category.isUndefined() || category.isNull())
        line.categoryId = 0;
    else if (!category.isDouble() || category.toDouble() != std::trunc(category.toDouble())
             || !categoryExists(db, category.toInt()))
        return refuse(QStringLiteral("この項目/分類は登録されていません。"));
    else
        line.categoryId = category.toInt();

    const QJsonValue product = body.value(QStringLiteral("product"));
    if (!product.isUndefined() && !product.isNull() && !product.isString())
        return refuse(QStringLiteral("品名が文字ではありません。"));
    line.product = product.toString().trimmed();
    if (line.product.isEmpty())
        return refuse(QString::fromUtf8(LineRefusal::NoProduct));
    if (const std::optional<QString> tooLong = TextRules::nameTooLong(TextRules::Name::Product, line.product))
        return refuse(*tooLong);

    const TextRules::NumberInput quantity = numberField(QStringLiteral("数量"), body.value(QStringLiteral("quantity")));
    if (!quantity.refusal.isEmpty())
        return refuse(quantity.refusal);
    if (!quantity.value)
        return refuse(QString::fromUtf8(LineRefusal::NoQuantity));
    line.quantity = *quantity.value;

    const TextRules::NumberInput price = numberField(QStringLiteral("単価"), body.value(QStringLiteral("price")));
    if (!price.refusal.isEmpty())
        return refuse(price.refusal);
    line.unitPrice = price.value.value_or(0);
    if (!TextRules::fitsSheet(TextRules::lineAmount(line.unitPrice, line.quantity)))
        return refuse(QString::fromUtf8(LineRefusal::AmountTooLarge));

    const QJsonValue unit = body.value(QStringLiteral("unit"));
    if (!unit.isUndefined() && !unit.isNull() && !unit.isString())
        return refuse(QStringLiteral("単位が文字ではありません。"));
    line.unit = unit.toString().trimmed();
    if (const std::optional<QString> tooLong = TextRules::nameTooLong(TextRules::Name::Unit, line.unit))
        return refuse(*tooLong);

    const QJsonValue note = body.value(QStringLiteral("note"));
    if (!note.isUndefined() && !note.isNull() && !note.isString())
        return refuse(QStringLiteral("備考が文字ではありません。"));
    line.memo = note.toString();
    if (line.memo.size() > MostNote)
        return refuse(QStringLiteral("備考が長すぎます（%1 文字まで）。").arg(MostNote));
    return line;
}

bool validKey(const QString& key)
{
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    return shape.match(key).hasMatch();
}

QByteArray contentTypeOf(const QString& path)
{
    if (path.endsWith(QLatin1String(".html")))
        return "text/html; charset=utf-8";
    if (path.endsWith(QLatin1String(".js")))
        return "text/javascript; charset=utf-8";
    if (path.endsWith(QLatin1String(".css")))
        return "text/css; charset=utf-8";
    if (path.endsWith(QLatin1String(".json")) || path.endsWith(QLatin1String(".webmanifest")))
        return "application/manifest+json; charset=utf-8";
    if (path.endsWith(QLatin1String(".png")))
        return "image/png";
    if (path.endsWith(QLatin1String(".svg")))
        return "image/svg+xml";
    return "application/octet-stream";
}

} // namespace

PhoneService::PhoneService(const Database& db, QDate date, QObject* parent)
    : QObject(parent)
    , m_db(db)
    , m_date(date)
{ }

QString PhoneService::csrfOf(const QString& sessionToken)
{
    const QByteArray salted = QByteArray("kotrina anti-forgery ") + sessionToken.toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(salted, QCryptographicHash::Sha256).toHex());
}

QString PhoneService::newPairingCode()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto it = m_codes.begin(); it != m_codes.end();)
        it = it.value() < now ? m_codes.erase(it) : std::next(it);
    // 10 digits: typed by hand if need be, and far too many to guess within the held-off tries.
    QString code;
    for (int i = 0; i < 10; ++i)
        code += QChar(u'0' + QRandomGenerator::system()->bounded(10));
    m_codes.insert(code, now.addSecs(CodeLifetimeSeconds));
    return code;
}

std::optional<QString> PhoneService::sessionToken(const PhoneRequest& request) const
{
    const QByteArray name = QByteArray(CookieName) + '=';
    for (QByteArray part : request.cookie.split(';')) {
        part = part.trimmed();
        if (part.startsWith(name))
            return QString::fromLatin1(part.mid(name.size()));
    }
    return std::nullopt;
}

PhoneResponse PhoneService::answer(const PhoneRequest& request)
{
    if (request.body.size() > MostBody)
        return refused(413, QStringLiteral("送られた内容が大きすぎます。"));
    const QString& path = request.path;
    if (path == QLatin1String("/pair") && request.method == "GET")
        return pairPhone(request);
    if (!path.startsWith(QLatin1String("/api/")))
        return request.method == "GET" ? page(path) : refused(405, QStringLiteral("この操作はできません。"));

    const std::optional<QString> token = sessionToken(request);
    const std::optional<PhoneRegistry::Phone> phone = token ? PhoneRegistry::phoneOf(m_db, *token) : std::nullopt;
    if (!phone)
        return refused(401, NotPaired);
    if (request.method != "GET" && request.csrf != csrfOf(*token).toLatin1())
        return refused(403, QStringLiteral("ページを読み込み直してください（確認用の符号がありません）。"));

    if (path == QLatin1String("/api/state") && request.method == "GET")
        return state(*phone, *token);
    if (path == QLatin1String("/api/products") && request.method == "GET")
        return products(request.query.value(QStringLiteral("q")));
    if (path == QLatin1String("/api/lines")) {
        if (request.method == "GET")
            return lines(*phone);
        if (request.method == "POST")
            return postLine(*phone, request.body);
    }
    if (path.startsWith(QLatin1String("/api/lines/"))) {
        const QString key = path.mid(11);
        if (request.method == "PUT")
            return putLine(*phone, key, request.body);
        if (request.method == "DELETE")
            return deleteLine(*phone, key);
    }
    return refused(404, QStringLiteral("この操作はありません。"));
}

PhoneResponse PhoneService::pairPhone(const PhoneRequest& request)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString title = QStringLiteral("ペアリングできません");
    if (m_pairingHeldUntil.isValid() && now < m_pairingHeldUntil)
        return htmlPage(403, title,
                        QStringLiteral("ペアリングの失敗が続きました。%1 秒待ってから、もう一度読み取ってください。")
                            .arg(now.secsTo(m_pairingHeldUntil) + 1));
    const QString code = request.query.value(QStringLiteral("code"));
    const auto found = m_codes.find(code);
    if (code.isEmpty() || found == m_codes.end() || found.value() < now) {
        if (found != m_codes.end())
            m_codes.erase(found);
        if (++m_failedPairings > FreeFailures)
            m_pairingHeldUntil = now.addSecs(std::min(60, 1 << std::min(6, m_failedPairings - FreeFailures)));
        return htmlPage(403, title,
                        QStringLiteral("このペアリングコードは使えません（使用済みか期限切れです）。"
                                       "机のパソコンに新しいQRコードを表示して、読み取ってください。"));
    }
    m_codes.erase(found); // one phone only
    QString error;
    const std::optional<PhoneRegistry::PairedPhone> paired = PhoneRegistry::pair(m_db, &error);
    if (!paired)
        return htmlPage(500, title, QStringLiteral("データベースに書き込めませんでした。"));
    m_failedPairings = 0;
    m_pairingHeldUntil = {};
    PhoneResponse response;
    response.status = 303;
    response.contentType = "text/plain; charset=utf-8";
    QByteArray cookie = QByteArray(CookieName) + '=' + paired->token.toLatin1()
        + "; HttpOnly; SameSite=Strict; Path=/; Max-Age=31536000";
    if (m_https)
        cookie += "; Secure";
    response.headers = { { "Set-Cookie", cookie }, { "Location", "/" } };
    Q_EMIT phonesChanged();
    return response;
}

PhoneResponse PhoneService::page(const QString& path)
{
    const QString name = path == QLatin1String("/") ? QStringLiteral("index.html") : path.mid(1);
    // Only the page's own files: no way up or around the folder.
    if (name.contains(QLatin1String("..")) || name.startsWith(QLatin1Char('/')))
        return refused(404, QStringLiteral("ありません。"));
    QFile file(QStringLiteral(":/phone/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return refused(404, QStringLiteral("ありません。"));
    PhoneResponse response;
    response.contentType = contentTypeOf(name);
    response.body = file.readAll();
    response.headers = { { "Cache-Control", "no-cache" } };
    return response;
}

PhoneResponse PhoneService::state(const PhoneRegistry::Phone& phone, const QString& token)
{
    QJsonArray categories;
    LookupModel categoryList(LookupModel::Kind::AnyCategory);
    categoryList.setDatabase(&m_db);
    categoryList.refresh(QString());
    while (categoryList.canFetchMore({}))
        categoryList.fetchMore({});
    for (int row = 0; row < categoryList.rowCount(); ++row) {
        const QModelIndex index = categoryList.index(row);
        categories.append(QJsonObject { { QStringLiteral("id"), index.data(LookupModel::IdRole).toInt() },
                                        { QStringLiteral("name"), index.data().toString() } });
    }
    QJsonArray units;
    LookupModel unitList(LookupModel::Kind::Unit);
    unitList.setDatabase(&m_db);
    unitList.refresh(QString());
    while (unitList.canFetchMore({}))
        unitList.fetchMore({});
    for (int row = 0; row < unitList.rowCount(); ++row)
        units.append(unitList.index(row).data().toString());
    return json(200,
                QJsonObject { { QStringLiteral("date"), m_date.toString(QStringLiteral("yyyy/MM/dd")) },
                              { QStringLiteral("finalised"), HistoryTrail::lockOf(m_db, m_date).has_value() },
                              { QStringLiteral("phone"), phone.name },
                              { QStringLiteral("csrf"), csrfOf(token) },
                              { QStringLiteral("https"), m_https },
                              { QStringLiteral("categories"), categories },
                              { QStringLiteral("units"), units } });
}

PhoneResponse PhoneService::products(const QString& text)
{
    QJsonArray list;
    QList<int> listed;
    auto add = [&](int id, const QString& name, const QVariant& unit, const QVariant& price) {
        if (listed.contains(id))
            return;
        listed.append(id);
        list.append(QJsonObject { { QStringLiteral("id"), id },
                                  { QStringLiteral("name"), name },
                                  { QStringLiteral("unit"), unit.toString() },
                                  { QStringLiteral("price"), price.isNull() ? QJsonValue() : price.toDouble() } });
    };
    const QString typed = text.trimmed();
    // A scanned code (a Bluetooth scanner types it) finds its product first.
    if (ProductCodes::looksLikeCode(typed)) {
        const ScannedCode::Result scanned = ScannedCode::resolve(m_db, typed, false);
        if (scanned.kind == ScannedCode::Result::Kind::Found)
            add(scanned.owner.productId, scanned.owner.name, scanned.owner.unit, scanned.owner.unitPrice);
    }
    LookupModel found(LookupModel::Kind::Product);
    found.setDatabase(&m_db);
    found.refresh(typed);
    for (int row = 0; row < found.rowCount() && list.size() < MostProducts; ++row) {
        const QString name = found.index(row).data().toString();
        const std::optional<ProductInfo> info = findProduct(m_db, name);
        add(found.index(row).data(LookupModel::IdRole).toInt(), name, info ? info->unit : QVariant(),
            info ? info->unitPrice : QVariant());
    }
    return json(200, list);
}

PhoneResponse PhoneService::lines(const PhoneRegistry::Phone& phone)
{
    QString error;
    const std::optional<QList<PhoneRegistry::PhoneLine>> list = PhoneRegistry::linesOf(m_db, phone.id, m_date, &error);
    if (!list)
        return refused(503, QStringLiteral("データベースを読み込めませんでした。"));
    QJsonArray array;
    for (const PhoneRegistry::PhoneLine& line : *list)
        array.append(lineJson(line));
    return json(200, array);
}

PhoneResponse PhoneService::postLine(const PhoneRegistry::Phone& phone, const QByteArray& body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (!document.isObject())
        return refused(400, QStringLiteral("送られた内容が読み取れません。"));
    const QJsonObject object = document.object();
    const QString key = object.value(QStringLiteral("key")).toString();
    if (!validKey(key))
        return refused(400, QStringLiteral("行の識別子がありません。"));
    QString error;
    // The same line sent again (its answer was lost on the way) is answered, not counted twice.
    const std::optional<PhoneRegistry::KeyedLine> known = PhoneRegistry::lineOfKey(m_db, phone.id, key, &error);
    if (!error.isEmpty())
        return refused(503, QStringLiteral("データベースを読み込めませんでした。"));
    if (known) {
        if (!known->exists)
            return refused(410, QStringLiteral("この行は削除されています。"));
        const std::optional<PhoneRegistry::PhoneLine> line = PhoneRegistry::lineById(m_db, known->lineId, key);
        return line ? json(200, lineJson(*line)) : refused(503, QStringLiteral("データベースを読み込めませんでした。"));
    }
    QString refusal;
    const std::optional<LineInput> input = readLine(m_db, m_date, object, &refusal);
    if (!input)
        return refused(400, refusal);
    if (const std::optional<HistoryTrail::DateLock> lock = HistoryTrail::lockOf(m_db, m_date))
        return refused(409, HistoryTrail::refusal(*lock));
    std::optional<RegisteredLine> registered;
    {
        const StationScope station(m_db, phone.name);
        registered = registerLine(m_db, *input, &error, [&](const RegisteredLine& line, QString* keyError) {
            return PhoneRegistry::recordKey(m_db, phone.id, key, line.lineId, keyError);
        });
    }
    if (!registered)
        return refused(503, QStringLiteral("データベースに書き込めませんでした。この行は登録されていません。"));
    Q_EMIT linesChanged();
    PhoneRegistry::PhoneLine line {
        key,         registered->lineId, input->categoryId,  input->product, input->quantity,
        input->unit, input->unitPrice,   registered->amount, input->memo
    };
    return json(201, lineJson(line));
}

PhoneResponse PhoneService::putLine(const PhoneRegistry::Phone& phone, const QString& key, const QByteArray& body)
{
    QString error;
    const std::optional<PhoneRegistry::KeyedLine> known = PhoneRegistry::lineOfKey(m_db, phone.id, key, &error);
    if (!error.isEmpty())
        return refused(503, QStringLiteral("データベースを読み込めませんでした。"));
    if (!known || !known->exists)
        return refused(404, QStringLiteral("このスマートフォンの行ではありません。"));
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return refused(400, QStringLiteral("送られた内容が読み取れません。"));
    QString refusal;
    const std::optional<LineInput> input = readLine(m_db, m_date, document.object(), &refusal);
    if (!input)
        return refused(400, refusal);
    if (const std::optional<HistoryTrail::DateLock> lock = HistoryTrail::lockOf(m_db, m_date))
        return refused(409, HistoryTrail::refusal(*lock));
    std::optional<RegisteredLine> changed;
    {
        const StationScope station(m_db, phone.name);
        changed = changeLine(m_db, known->lineId, *input, &error);
    }
    if (!changed)
        return refused(503, QStringLiteral("データベースに書き込めませんでした。この行は変更されていません。"));
    Q_EMIT linesChanged();
    PhoneRegistry::PhoneLine line { key,         changed->lineId,  input->categoryId, input->product, input->quantity,
                                    input->unit, input->unitPrice, changed->amount,   input->memo };
    return json(200, lineJson(line));
}

PhoneResponse PhoneService::deleteLine(const PhoneRegistry::Phone& phone, const QString& key)
{
    QString error;
    const std::optional<PhoneRegistry::KeyedLine> known = PhoneRegistry::lineOfKey(m_db, phone.id, key, &error);
    if (!error.isEmpty())
        return refused(503, QStringLiteral("データベースを読み込めませんでした。"));
    if (!known)
        return refused(404, QStringLiteral("このスマートフォンの行ではありません。"));
    if (!known->exists)
        return json(200, QJsonObject { { QStringLiteral("key"), key }, { QStringLiteral("deleted"), true } });
    if (const std::optional<HistoryTrail::DateLock> lock = HistoryTrail::lockOf(m_db, m_date))
        return refused(409, HistoryTrail::refusal(*lock));
    bool deleted = false;
    {
        const StationScope station(m_db, phone.name);
        deleted = ::deleteLine(m_db, known->lineId, &error);
    }
    if (!deleted)
        return refused(503, QStringLiteral("データベースに書き込めませんでした。この行は削除されていません。"));
    Q_EMIT linesChanged();
    return json(200, QJsonObject { { QStringLiteral("key"), key }, { QStringLiteral("deleted"), true } });
}
