#pragma once

#include <QString>

// Whole-file work on business files. Every write goes to a temporary file in the
// target's directory and is renamed over the target only when complete, so an
// interrupted copy leaves the old target intact.
namespace FileOps {

bool copyFileAtomically(const QString& source, const QString& target, QString* error = nullptr);

// Case-insensitive path equality, as file names were compared where these files came from.
bool samePathIgnoringCase(const QString& a, const QString& b);

} // namespace FileOps
