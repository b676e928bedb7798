#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

class QFile;

// One character field of a dBase table: upper-case name of at most 10 characters, width 1-254.
struct TableField
{
    QString name;
    int width = 0;
};

// One open view of a dBase IV table file (level 4, character fields, no memo), with its own
// current row, filter and open state. Several handles may be open on one file at once: each
// reads rows from the file when it moves, so a row posted or deleted through one handle is seen
// by another at its next first() or next(). Every write reaches the file before it returns.
class TableHandle final
{
public:
    TableHandle();
    ~TableHandle();
    TableHandle(const TableHandle&) = delete;
    TableHandle& operator=(const TableHandle&) = delete;

    void setFolder(const QString& folder);
    const QString& folder() const { return m_folder; }
    void setTableName(const QString& fileName);
    const QString& tableName() const { return m_tableName; }
    QString fullPath() const;

    // Filter of the form FIELD = 'literal' (quotes inside the literal doubled); set while closed.
    void setFilter(const QString& filter);
    const QString& filter() const { return m_filter; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // Opens the file and places the current row on the first visible row; an open handle is left
    // as it is. A missing file fails with "Open: file not found: "<full name>".", a damaged one
    // with a message naming the fault; the handle then stays closed.
    bool open(QString* error = nullptr);
    void close();
    bool isOpen() const;

    void first();
    void next();
    bool eof() const;
    bool isEmpty() const;

    // The field of the current row without trailing spaces; empty when there is no current row
    // or no such field. Field names compare without regard to case.
    QString fieldValue(const QString& name) const;
    const QList<TableField>& fields() const;

    void insert();
    void edit();
    // Sets a field of the row being inserted or edited; a longer value is cut to the width.
    void setFieldValue(const QString& name, const QString& value);
    // Writes the row being inserted or edited. An append writes the record and the end byte
    // before the header's count, so an interruption leaves the table as it was.
    bool post(QString* error = nullptr);
    // Marks the current row deleted; the current row moves to the next visible row, or to the
    // previous one when there is none after it.
    bool deleteRow(QString* error = nullptr);
    // Position of the current row among all records of the file, from 1; 0 when there is none.
    int recordNumber() const;
    // Why the last operation failed, also for those that return nothing (a move that found the
    // file cut short, a field write outside insert or edit); empty after one that succeeded.
    const QString& lastError() const;

    // Builds the filter text FIELD = 'value' with every single quote of value doubled.
    static QString equalsFilter(const QString& field, const QString& value);

private:
    struct State;
    std::unique_ptr<State> d;
    QString m_folder;
    QString m_tableName;
    QString m_filter;
    bool m_filtered = false;
};

// Creates a new, empty table file with the given fields. The program itself never creates a
// table; this serves the tool that lays out the program folder, and the tests.
bool CreateTable(const QString& path, const QList<TableField>& fields, QString* error = nullptr);
