#pragma once

#include <QString>

// Builds a business file the size of a large shop's: lines over several settlement dates,
// a hundred thousand products and sixty categories with Japanese names.
struct BenchDataSize
{
    int lines = 1000000;
    int dates = 5;
    int products = 100000;
    int categories = 60;
};

// Writes the file at path from the template; false with a reason when it cannot.
bool generateBenchData(const QString& templatePath, const QString& path, const BenchDataSize& size, QString* error);

// The settlement dates the generator uses, newest first: 2026-03-31, 2025-03-31, …
QString benchDate(int index);
