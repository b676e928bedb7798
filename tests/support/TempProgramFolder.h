#pragma once

#include <QString>
#include <QTemporaryDir>

// A program folder in a temporary folder, made the program folder for the test's run: the four
// tables (empty, or with the default store), the folders, no settings file unless asked for.
class TempProgramFolder final
{
public:
    enum Content
    {
        EmptyTables,
        DefaultStore
    };
    explicit TempProgramFolder(Content content = DefaultStore);

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Writes a file of the folder with the given bytes, making folders on the way.
    bool write(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};
