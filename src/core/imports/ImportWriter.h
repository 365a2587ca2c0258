// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"
#include "core/store/HistoryTrail.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

// A counted line as the import writes it.
struct ImportedLine
{
    QString date; // as stored
    int categoryId = 0;
    QString name;
    double quantity = 0;
    QString unit;
    double unitPrice = 0;
    double amount = 0;
    QString memo;
    int productId = 0;
};

// The database side of an import: one transaction for the whole run, the name → ID maps of
// categories, products and units read once, the next IDs counted here, and statements
// prepared once on the engine itself (a million lines through the generic query layer
// take several times as long). The statements run on a thread of their own while the
// caller reads and checks the next records; the caller's thread keeps the maps and the
// IDs, so what it is told never waits for the engine. The name indexes are brought up to
// date in one go at commit() rather than row by row. Nothing is written unless commit()
// succeeds; after the first failed statement the rest is dropped and hasFailed() becomes
// true (soon after: the failure is noticed on the writing thread).
class ImportWriter
{
public:
    explicit ImportWriter(Database& db);
    ~ImportWriter();
    ImportWriter(const ImportWriter&) = delete;
    ImportWriter& operator=(const ImportWriter&) = delete;

    // expectedLines: about how many lines the run adds (0 for none). When they are many
    // against the lines already there, the lines' indexes are made afresh at commit().
    bool begin(qint64 expectedLines);
    // Before begin(): the lines of this run are counted lines of day (as stored) read from
    // file. In a file with the change history they are then one entry of it, written at
    // commit() with the file's name and the number of lines, instead of one entry a line.
    void recordAsOneEntry(const QString& day, const QString& file);
    bool commit();

    // Keeps the writing thread from the database while the lock lives (it finishes the rows
    // it is writing first), so that the caller's thread may read it meanwhile.
    std::unique_lock<std::mutex> holdWrites();

    bool hasFailed() const;
    QString error() const;

    // IDs of names as stored; nullopt when there is none yet.
    std::optional<int> categoryId(const QString& name) const;
    std::optional<int> productId(const QString& name) const;

    int addCategory(const QString& name);
    int addProduct(const QString& name, const QString& unit, int unitPrice);
    // A value left out (its field has no column) keeps what the product has.
    void updateProduct(int id, const std::optional<QString>& unit, std::optional<int> unitPrice);
    // Adds a unit the master does not know yet; an empty text is no unit.
    void registerUnit(const QString& unit);
    // Adds a counted line, and its unit to the master when it is new there.
    void addLine(const ImportedLine& line);

    // Whether the file keeps products' codes (one older than the codes does not).
    bool keepsCodes() const { return m_keepsCodes; }
    // The product a code (as ProductCodes::check() keeps it) belongs to, in the file or by
    // this run; 0 when none. The codes of the file are read at the first call.
    int codeOwner(const QString& code);
    // Attaches a code nobody has yet to a product, after the codes the product has.
    void addCode(int productId, const QString& code);
    // A product's name, to tell the user which product holds a code.
    QString productName(int id);

private:
    class Statements;
    class FileStatements;
    class ServerStatements;
    class Pipeline;

    // The maps are looked up several times for every line: a plain byte hash is several
    // times quicker than QHash's for names of a few dozen characters.
    struct NameHash
    {
        size_t operator()(const QString& name) const noexcept
        {
            return std::hash<std::u16string_view> {}(
                std::u16string_view(reinterpret_cast<const char16_t*>(name.utf16()), size_t(name.size())));
        }
    };
    template<typename T> using NameMap = std::unordered_map<QString, T, NameHash>;

    // A unit known to the master, as the engine takes it (UTF-8).
    const QByteArray& unitText(const QString& unit);

    bool runAll(const QStringList& statements);
    // The next ID of a row of the table: counted here in a file, which nobody else writes
    // during the run; on a server taken from its sequence in blocks (reserveIds), as every
    // station takes them. 0 once a reservation failed (the run has then failed).
    int takeId(Table table);
    bool reserveIds(Table table);
    bool fail(const QString& error);

    Database& m_db;
    std::unique_ptr<Transaction> m_transaction;
    std::unique_ptr<HistoryTrail::BulkChange> m_bulk; // inside m_transaction
    QString m_historyDay, m_historyFile;
    qint64 m_linesAdded = 0;
    NameMap<int> m_categories;
    NameMap<int> m_products;
    NameMap<QByteArray> m_units;
    // Codes by their number and length (a code as kept is 8 or 13 digits): hundreds of
    // thousands of them are looked up and added far quicker so than as texts.
    std::unordered_map<quint64, int> m_codes;
    // The 順番 of the next code of a product that had codes before the run, and of the
    // products of the run (by their ID less the first one's).
    std::unordered_map<int, int> m_nextCodeOrder;
    std::vector<int> m_nextNewCodeOrder;
    bool m_codesRead = false, m_keepsCodes = false;
    // Where the IDs of each table (by Table) come from.
    static constexpr int MaxReservedIds = 4096;
    struct IdSource
    {
        int next = 1;
        int end = 1; // on a server: past the block taken last
        int block = 16;
    };
    std::array<IdSource, 4> m_ids;
    bool m_onServer = false;
    int m_firstProduct = 1, m_firstLineName = 1;
    // The names the run's lines carry, by product ID (in UTF-8 too, to write them), and
    // any other name a line of an already listed product carries.
    struct LineName
    {
        QString name;
        QByteArray text;
    };
    std::unordered_map<int, LineName> m_lineNames;
    std::set<std::pair<QString, int>> m_otherLineNames;
    // The date of the last line, in UTF-8.
    QString m_date;
    QByteArray m_dateText;
    std::unique_ptr<Statements> m_statements;
    std::unique_ptr<Pipeline> m_pipeline;
    QString m_cacheSize;
    bool m_indexesSuspended = false;
    bool m_lineIndexesDropped = false;
    QString m_error;
};
