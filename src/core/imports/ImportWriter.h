#pragma once

#include "core/store/Database.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

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
// take several times as long). The name indexes are brought up to date in one go at commit() rather than
// row by row. Nothing is written unless commit() succeeds; after the first failed
// statement every later call does nothing and hasFailed() is true.
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
    bool commit();

    bool hasFailed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

    // IDs of names as stored; nullopt when there is none yet.
    std::optional<int> categoryId(const QString& name) const;
    std::optional<int> productId(const QString& name) const;

    int addCategory(const QString& name);
    int addProduct(const QString& name, const QString& unit, int unitPrice);
    // A value left out (its field has no column) keeps what the product has.
    void updateProduct(int id, const std::optional<QString>& unit, std::optional<int> unitPrice);
    // Adds a unit the master does not know yet; an empty text is no unit.
    void registerUnit(const QString& unit);
    void addLine(const ImportedLine& line);

private:
    // One prepared statement, run again and again with new values.
    class Statement
    {
    public:
        Statement() = default;
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        bool prepare(sqlite3* db, const QString& sql);
        void finish();
        void bind(int index, int value);
        void bind(int index, double value);
        // The text must live until run() returns.
        void bind(int index, const QString& value);
        bool run();

    private:
        sqlite3_stmt* m_statement = nullptr;
    };

    bool run(Statement& statement);
    // Lets go of the prepared statements: the transaction ends only without them.
    void finishStatements();
    const QString& wordsOfProduct(int id, const QString& name);
    bool runAll(const QStringList& statements);
    bool fail(const QString& error);

    Database& m_db;
    std::unique_ptr<Transaction> m_transaction;
    QHash<QString, int> m_categories;
    QHash<QString, int> m_products;
    QSet<QString> m_units;
    int m_nextLine = 1, m_nextCategory = 1, m_nextProduct = 1, m_nextUnit = 1;
    int m_firstLine = 1, m_firstProduct = 1;
    sqlite3* m_handle = nullptr;
    Statement m_insertLine, m_insertCategory, m_insertProduct, m_updateProduct, m_insertUnit;
    // The short-word index rows of new lines and products, and the words of each product's
    // name, made once for all its lines.
    Statement m_lineWords, m_productWords;
    QHash<int, QString> m_wordsOfProduct;
    QString m_cacheSize;
    bool m_indexesSuspended = false;
    bool m_lineIndexesDropped = false;
    QString m_error;
};
