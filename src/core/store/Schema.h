#pragma once

#include <QSqlDatabase>
#include <QString>

// The four tables of a business file and the marks that tell a file is ours.
namespace Schema {

// "KTRN" in the SQLite header: a file without it is not a Kotrina database.
inline constexpr int ApplicationId = 0x4B54524E;
// Raised whenever the tables change, so an older file can be brought up to date.
inline constexpr int UserVersion = 1;

inline constexpr auto ReservedCategoryName = "未区分";

// Creates the tables, their indexes and the reserved category 0 in an empty database.
bool create(QSqlDatabase& db, QString* error = nullptr);

// True when db holds a Kotrina database this program can work on: our application id,
// a schema version it knows, and the four tables with their columns in order.
bool verify(QSqlDatabase& db, QString* error = nullptr);

} // namespace Schema
