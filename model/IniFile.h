#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>

// One INI-style text file (a VM definition file or the settings file), read and written one key
// at a time: every call opens the file, does its work and closes it again, so nothing is cached.
//
// Section and key names compare without regard to case; the first of two equal keys is the one
// read and replaced. A write replaces the value in place and keeps every other line byte for byte;
// a missing key is appended at the end of its section, a missing section at the end of the file.
// Only the first section of a name counts: a later section of the same name is neither read nor
// written. Lines before the first section belong to none and are never read or replaced.
// Lines are written with CRLF; lines ending in LF alone are read too. Text is UTF-8 (a line that is
// not valid UTF-8 reads as Latin-1 and is never rewritten unless it is the line being changed).
// Every write goes to a new file beside the old one, is flushed to disk and renamed over it, so a
// crash or a full disk leaves either the old file or the new one, never a mix.
class IniFile final
{
public:
    // What a write does to a file that does not exist.
    enum class MissingFile
    {
        Create, // the settings file: made with the first key written
        Fail    // a VM definition file: only its template creates it
    };
    explicit IniFile(QString path, MissingFile missing = MissingFile::Create);

    const QString& path() const { return m_path; }

    // The value, or defaultValue when the file, the section or the key does not exist.
    QString read(const QString& section, const QString& key,
                 const QString& defaultValue = {}) const;
    // Creates the file when missing, or fails writing nothing (MissingFile::Fail). Line breaks in
    // the value are written as blanks. Fails, changing nothing, for names that would not read
    // back: empty, holding a line break, or a key holding "=" or starting with "[".
    bool write(const QString& section, const QString& key, const QString& value,
               QString* error = nullptr) const;
    // Removes the key's first line; true when there was nothing to remove too.
    bool deleteKey(const QString& section, const QString& key, QString* error = nullptr) const;
    // Removes the section header and all its lines (the first section of that name).
    bool eraseSection(const QString& section, QString* error = nullptr) const;
    // The "key=value" lines of the first section of that name, in file order.
    QStringList readSectionValues(const QString& section) const;
    bool sectionExists(const QString& section) const;

private:
    QString m_path;
    MissingFile m_missing;
};

// The file as it was at one moment, read once, for a burst of reads (a command line, the settings
// view) that would otherwise open it once per key. It reads exactly as IniFile does. It is made for
// one such burst and dropped: it does not see later writes and is never kept between operations.
class IniSnapshot final
{
public:
    explicit IniSnapshot(const QString& path);
    Q_DISABLE_COPY_MOVE(IniSnapshot)

    QString read(QAnyStringView section, QAnyStringView key,
                 const QString& defaultValue = {}) const;
    QStringList readSectionValues(const QString& section) const;
    bool sectionExists(const QString& section) const;

private:
    struct Value
    {
        qsizetype line = 0;  // where its line begins
        qsizetype value = 0; // after the "="
        qsizetype end = 0;   // before the line break
    };
    // Made by the first read: a snapshot read for its sections only does not need it.
    void index() const;

    QByteArray m_text;
    bool m_loaded = false;
    mutable bool m_indexed = false;
    mutable int m_walkedReads = 0;
    mutable QByteArray m_names; // each key's section and name, folded, joined by an LF
    mutable QHash<QByteArrayView, Value> m_values; // views of m_names
};
