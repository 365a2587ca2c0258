#pragma once

#include "core/store/Database.h"

#include <QDate>

// Fills the tables with count lines of a settlement date and matching masters, in one
// statement each; names are Japanese and long enough to make a realistic file.
bool addSampleLines(const Database& db, int count, QDate date = QDate(2026, 3, 31));

// Rows of a table, -1 when it cannot be read.
int rowCount(const Database& db, Table table);
