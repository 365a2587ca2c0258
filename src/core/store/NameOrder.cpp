// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/NameOrder.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>
#include <QtDebug>
#include <array>
#include <atomic>
#include <sqlite3.h>
#include <unicode/ucol.h>
#include <vector>

namespace NameOrder {

namespace {

// The Japanese collator every connection's collator is cloned from, opened once. Tertiary
// strength: one word in hiragana, katakana or half-width katakana, or in Latin letters of
// either width, compares equal (ｱｲｽ, アイス) or next to its other forms (ﾎﾞｰﾙﾍﾟﾝ, ボールペン);
// orderBy() puts the equal ones in a fixed order.
const UCollator* japanese()
{
    static const UCollator* const collator = []() -> UCollator* {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* c = ucol_open("ja", &status);
        // Without the Japanese tailoring ICU falls back to the root order, which puts kanji
        // in code point order: refuse that rather than sort names half right.
        if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING) {
            qWarning("ICU has no Japanese collation: %s", u_errorName(status));
            ucol_close(c);
            return nullptr;
        }
        ucol_setStrength(c, UCOL_TERTIARY);
        return c;
    }();
    return collator;
}

UCollator* cloneJapanese()
{
    const UCollator* base = japanese();
    if (!base)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_clone(base, &status);
    if (U_FAILURE(status)) {
        ucol_close(c);
        return nullptr;
    }
    return c;
}

void closeCollator(void* collator)
{
    ucol_close(static_cast<UCollator*>(collator));
}

// The collation: SQLite hands both texts as UTF-8, which ICU compares as they are (a
// malformed sequence counts as U+FFFD).
int compare(void* collator, int leftBytes, const void* left, int rightBytes, const void* right)
{
    UErrorCode status = U_ZERO_ERROR;
    return int(ucol_strcollUTF8(static_cast<UCollator*>(collator), static_cast<const char*>(left), leftBytes,
                                static_cast<const char*>(right), rightBytes, &status));
}

// The key function. The argument arrives as UTF-16 (the function is registered so), the
// form ucol_getSortKey reads. The key's closing zero byte is left out: it changes no order.
void sortKey(sqlite3_context* context, int, sqlite3_value** arguments)
{
    sqlite3_value* name = arguments[0];
    if (sqlite3_value_type(name) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = static_cast<const UChar*>(sqlite3_value_text16(name));
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const int32_t length = sqlite3_value_bytes16(name) / int32_t(sizeof(UChar));
    auto* collator = static_cast<UCollator*>(sqlite3_user_data(context));
    std::array<uint8_t, 512> buffer;
    const int32_t size = ucol_getSortKey(collator, text, length, buffer.data(), int32_t(buffer.size()));
    if (size <= 0) {
        sqlite3_result_error(context, "no sort key", -1);
        return;
    }
    if (size <= int32_t(buffer.size())) {
        sqlite3_result_blob(context, buffer.data(), size - 1, SQLITE_TRANSIENT);
        return;
    }
    std::vector<uint8_t> large(size_t(size), 0);
    ucol_getSortKey(collator, text, length, large.data(), size);
    sqlite3_result_blob(context, large.data(), size - 1, SQLITE_TRANSIENT);
}

sqlite3* handleOf(const QSqlDatabase& db)
{
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// Whether Qt's SQLite driver runs the SQLite library this program calls (Debian's Qt
// uses the system's libsqlite3). A driver with an engine of its own would hand over a
// handle our library must not touch. Asked once: it cannot change while the program runs.
bool driverRunsOurLibrary(const QSqlDatabase& db)
{
    enum State
    {
        Unknown,
        Same,
        Other
    };
    static std::atomic<int> state { Unknown };
    if (state == Unknown) {
        QSqlQuery q(db);
        const bool same = q.exec(QStringLiteral("SELECT sqlite_source_id()")) && q.next()
            && q.value(0).toString() == QLatin1String(sqlite3_sourceid());
        if (!same)
            qWarning("Qt's SQLite driver does not use the linked SQLite library (%s)", sqlite3_sourceid());
        state = same ? Same : Other;
    }
    return state == Same;
}

} // namespace

bool install(const QSqlDatabase& db)
{
    sqlite3* connection = handleOf(db);
    if (!connection || !driverRunsOurLibrary(db))
        return false;
    UCollator* forCollation = cloneJapanese();
    UCollator* forKeys = cloneJapanese();
    if (!forCollation || !forKeys) {
        ucol_close(forCollation);
        ucol_close(forKeys);
        return false;
    }
    // SQLite owns each collator from here on and closes it with the connection. A failed
    // collation leaves its collator with us; a failed function closes its own.
    const bool collation
        = sqlite3_create_collation_v2(connection, Collation, SQLITE_UTF8, forCollation, compare, closeCollator)
        == SQLITE_OK;
    if (!collation)
        ucol_close(forCollation);
    const bool keys
        = sqlite3_create_function_v2(connection, KeyFunction, 1, SQLITE_UTF16 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                     forKeys, sortKey, nullptr, nullptr, closeCollator)
        == SQLITE_OK;
    return collation && keys;
}

QString orderBy(Engine engine, const QString& name, const QString& id)
{
    // A server compares by the collation itself; its ICU is the one the key function uses. A
    // missing name comes first, as SQLite puts NULL before every value.
    QString terms = engine == Engine::Postgres
        ? QStringLiteral(R"(%1 COLLATE "%2" NULLS FIRST, %3)")
              .arg(name, QLatin1String(Collation), byCharacters(engine, name))
        : QStringLiteral("%1(%2), %3").arg(QLatin1String(KeyFunction), name, byCharacters(engine, name));
    if (!id.isEmpty())
        terms += QStringLiteral(", ") + id;
    return terms;
}

QString byCharacters(Engine engine, const QString& name)
{
    // UTF-8 compared byte by byte is the order of the code points.
    return name + (engine == Engine::Postgres ? QStringLiteral(R"( COLLATE "C")") : QStringLiteral(" COLLATE BINARY"));
}

} // namespace NameOrder
