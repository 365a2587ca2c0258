// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

// The phones paired to count into the file (スマートフォン) and the identifiers they gave
// the lines they sent (スマートフォン明細). A phone proves itself by a token it was given at
// pairing; the file keeps its SHA-256 only.
namespace PhoneRegistry {

struct Phone
{
    int id = 0;
    QString name;
};

struct PairedPhone
{
    Phone phone;
    QString token; // given to the phone once, never kept
};

// Whether the file has the phones' tables (an older file opened read-only has not).
bool available(const Database& db);

// A new phone, named "スマートフォンN" (N its number), with a fresh token.
std::optional<PairedPhone> pair(const Database& db, QString* error = nullptr);
// The paired phone holding token; nullopt for an unknown or unpaired one.
std::optional<Phone> phoneOf(const Database& db, const QString& token);

struct PhoneCount
{
    Phone phone;
    qint64 lines = 0; // of the date asked
};
// The phones paired now, in the order paired, with their lines of date.
std::optional<QList<PhoneCount>> phones(const Database& db, QDate date, QString* error = nullptr);

// The name must be non-empty and fit the product name's limit; error says why not.
bool rename(const Database& db, int phoneId, const QString& name, QString* error = nullptr);
// The phone's token no longer holds; its lines stay, still naming it.
bool unpair(const Database& db, int phoneId, QString* error = nullptr);

// The line the phone sent under key; nullopt when none was (error empty) or the file could
// not be read (error says why). A line deleted since gives its old ID with exists false.
struct KeyedLine
{
    int lineId = 0;
    bool exists = false;
};
std::optional<KeyedLine> lineOfKey(const Database& db, int phoneId, const QString& key, QString* error = nullptr);
// Inside the transaction that registers the line: key now names lineId for the phone.
bool recordKey(const Database& db, int phoneId, const QString& key, int lineId, QString* error = nullptr);

// One of a phone's lines as the phone lists it.
struct PhoneLine
{
    QString key;
    int id = 0;
    int categoryId = 0;
    QString product;
    double quantity = 0;
    QString unit;
    double unitPrice = 0;
    double amount = 0;
    QString note;
};
// The phone's lines of date that still exist, in the order sent.
std::optional<QList<PhoneLine>> linesOf(const Database& db, int phoneId, QDate date, QString* error = nullptr);
std::optional<PhoneLine> lineById(const Database& db, int lineId, const QString& key, QString* error = nullptr);

// SHA-256 of a token, as the file keeps it.
QString tokenHash(const QString& token);

} // namespace PhoneRegistry
