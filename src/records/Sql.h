#pragma once
// The record store's own helpers for Qt SQL, shared by its source files.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

namespace pv::sql {

QString Reason(const QSqlError& e);
// Runs one statement with positional values; false with the reason.
bool Exec(QSqlDatabase& db, const QString& sql, const QVariantList& values, QString* error,
          QSqlQuery* result = nullptr);
// Begins a transaction that holds the store's write lock until it ends.
bool BeginWrite(QSqlDatabase& db, QString* error);
// Commits; on failure rolls back and gives the reason.
bool Commit(QSqlDatabase& db, QString* error);

} // namespace pv::sql
