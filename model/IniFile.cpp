#include "model/IniFile.h"

#include "platform/FileSystem.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QSet>
#include <QVarLengthArray>

#include <cstring>
#include <type_traits>
#include <utility>

// The file is handled as bytes: only the line being changed is ever re-encoded, so lines in other
// encodings, odd spacing and LF-only line ends elsewhere in the file survive every write.

namespace {

constexpr QByteArrayView kLineBreak("\r\n");
constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool isAscii(QByteArrayView text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Strict: overlong forms, surrogates and code points above U+10FFFF are invalid, so such a line
// falls back to Latin-1 instead of being decoded into replacement characters.
bool isValidUtf8(QByteArrayView text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        char32_t codePoint = 0;
        char32_t smallest = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            codePoint = lead & 0x1Fu;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            codePoint = lead & 0x0Fu;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            codePoint = lead & 0x07u;
            smallest = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (p[i] & 0x3Fu);
        }
        if (codePoint < smallest || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

// Text of a part of a line: UTF-8 when the whole line is valid UTF-8, Latin-1 otherwise.
QString decode(QByteArrayView part, QByteArrayView line)
{
    if (isAscii(part))
        return QString::fromLatin1(part);
    return isValidUtf8(line) ? QString::fromUtf8(part) : QString::fromLatin1(part);
}

// A section or key name as asked for, ready for comparisons against the raw lines.
struct Name
{
    QString text;
    QByteArray utf8;
    bool ascii = true;
};

Name makeName(const QString& name)
{
    Name result;
    result.utf8 = trimBlanks(QByteArrayView(name.toUtf8())).toByteArray();
    result.ascii = isAscii(result.utf8);
    result.text = QString::fromUtf8(result.utf8);
    return result;
}

bool nameMatches(QByteArrayView stored, QByteArrayView line, const Name& wanted)
{
    if (wanted.ascii && isAscii(stored)) {
        return stored.size() == wanted.utf8.size() &&
               qstrnicmp(stored.data(), wanted.utf8.constData(),
                         static_cast<size_t>(stored.size())) == 0;
    }
    return decode(stored, line).compare(wanted.text, Qt::CaseInsensitive) == 0;
}

struct Line
{
    qsizetype begin = 0;
    qsizetype contentEnd = 0; // before the CR LF or LF
    qsizetype end = 0;        // after the line break
};

// Walks the lines of the text; a line ends at LF, with a CR before it dropped from the content.
class LineReader final
{
public:
    // A byte order mark some editors put first would otherwise hide the first section header.
    explicit LineReader(QByteArrayView text)
        : m_text(text), m_pos(text.startsWith(kUtf8Bom) ? kUtf8Bom.size() : 0)
    {}
    // Starts at a line that begins at offset from.
    LineReader(QByteArrayView text, qsizetype from) : m_text(text), m_pos(from) {}

    bool next(Line* line)
    {
        const qsizetype size = m_text.size();
        if (m_pos >= size)
            return false;
        const char* const data = m_text.data();
        const auto* const lf = static_cast<const char*>(
            std::memchr(data + m_pos, '\n', static_cast<size_t>(size - m_pos)));
        line->begin = m_pos;
        line->end = lf ? (lf - data) + 1 : size;
        line->contentEnd = lf ? lf - data : size;
        // A CR closing the last line is a line break cut short, not part of the value.
        if (line->contentEnd > line->begin && data[line->contentEnd - 1] == '\r')
            --line->contentEnd;
        m_pos = line->end;
        return true;
    }

private:
    QByteArrayView m_text;
    qsizetype m_pos;
};

enum class LineKind
{
    Blank,
    Header,
    KeyValue,
    Other,
};

struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QByteArrayView name;      // section name of a header, key of a key line; blanks trimmed
    qsizetype valueBegin = 0; // of a key line, offset of the value in the line's content
};

ParsedLine parseLine(QByteArrayView content)
{
    ParsedLine parsed;
    qsizetype first = 0;
    while (first < content.size() && isBlank(content[first]))
        ++first;
    if (first == content.size()) {
        parsed.kind = LineKind::Blank;
        return parsed;
    }
    if (content[first] == '[') {
        const qsizetype close = content.lastIndexOf(']');
        if (close > first) {
            parsed.kind = LineKind::Header;
            parsed.name = trimBlanks(content.sliced(first + 1, close - first - 1));
            return parsed;
        }
    }
    const auto* const equals = static_cast<const char*>(
        std::memchr(content.data() + first, '=', static_cast<size_t>(content.size() - first)));
    if (equals) {
        const qsizetype at = equals - content.data();
        parsed.kind = LineKind::KeyValue;
        parsed.name = trimBlanks(content.first(at));
        parsed.valueBegin = at + 1;
    }
    return parsed;
}

// True for the file's last line when no LF ends it: a new line after it needs a break first. A
// lone CR there does not count as a break: LF-delimited reading would join the lines.
bool endsUnfinished(QByteArrayView text, const Line& line)
{
    return line.end == text.size() && !text.endsWith('\n');
}

// What ends the text's last line before another is added: nothing after an LF, the LF of a CR
// LF cut short (another CR would end up in that line's value), else a whole CR LF.
QByteArrayView lineBreakToEnd(QByteArrayView text)
{
    if (text.isEmpty() || text.endsWith('\n'))
        return {};
    return text.endsWith('\r') ? QByteArrayView("\n") : kLineBreak;
}

// Where a section and one of its keys lie in the text. Only the first section of that name counts.
struct Lookup
{
    bool sectionFound = false;
    Line header;
    qsizetype sectionEnd = 0; // start of the next header, or the end of the text
    // Just after the section's last non-blank line, so a new key goes before any blank lines that
    // separate the section from the next.
    qsizetype appendAt = 0;
    bool appendNeedsBreak = false; // that line is the last of the file and has no LF
    bool keyFound = false;
    Line keyLine;
    qsizetype valueBegin = 0; // offset in the text
};

// Stops at the first matching key, so sectionEnd and appendAt are only set when none was found.
Lookup find(QByteArrayView text, const Name& section, const Name* key)
{
    Lookup result;
    LineReader reader(text);
    Line line;
    while (reader.next(&line)) {
        const QByteArrayView content = text.sliced(line.begin, line.contentEnd - line.begin);
        const ParsedLine parsed = parseLine(content);
        if (!result.sectionFound) {
            if (parsed.kind == LineKind::Header && nameMatches(parsed.name, content, section)) {
                result.sectionFound = true;
                result.header = line;
                result.appendAt = line.end;
                result.appendNeedsBreak = endsUnfinished(text, line);
            }
            continue;
        }
        if (parsed.kind == LineKind::Header) {
            result.sectionEnd = line.begin;
            return result;
        }
        if (parsed.kind != LineKind::Blank) {
            result.appendAt = line.end;
            result.appendNeedsBreak = endsUnfinished(text, line);
        }
        if (key && parsed.kind == LineKind::KeyValue && nameMatches(parsed.name, content, *key)) {
            result.keyFound = true;
            result.keyLine = line;
            result.valueBegin = line.begin + parsed.valueBegin;
            return result;
        }
    }
    result.sectionEnd = text.size();
    return result;
}

enum class LoadResult
{
    Loaded,
    Missing,
    Failed,
};

LoadResult load(const QString& path, QByteArray* text, QString* error)
{
    switch (FileSystem::readWholeFile(path, text)) {
    case FileSystem::ReadResult::Read:
        return LoadResult::Loaded;
    case FileSystem::ReadResult::Missing:
        return LoadResult::Missing;
    case FileSystem::ReadResult::Failed:
        break;
    }
    if (error) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    }
    return LoadResult::Failed;
}

bool store(const QString& path, const QByteArray& text, QString* error)
{
    QString reason;
    if (FileSystem::writeFileAtomically(path, text, &reason))
        return true;
    if (error)
        *error = QStringLiteral("Cannot write %1: %2").arg(path, reason);
    return false;
}

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

bool hasLineBreak(QByteArrayView text)
{
    return text.contains('\r') || text.contains('\n');
}

// A name that, written out, would read back as the same name and change no other line.
bool isWritableSection(const Name& section)
{
    return !section.utf8.isEmpty() && !hasLineBreak(section.utf8);
}

bool isWritableKey(const Name& key)
{
    return !key.utf8.isEmpty() && !hasLineBreak(key.utf8) && !key.utf8.contains('=') &&
           !key.utf8.startsWith('[');
}

// Each CR LF, CR or LF becomes one blank, so a value can never add lines, keys or sections.
QByteArray encodeValue(const QString& value)
{
    QByteArray bytes = value.toUtf8();
    if (!hasLineBreak(bytes))
        return bytes;
    QByteArray flat;
    flat.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            flat.append(' ');
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            flat.append(c);
        }
    }
    return flat;
}

// The key's value found by walking the text's lines, or defaultValue.
QString walkedRead(QByteArrayView text, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    const Name sectionName = makeName(section);
    const Name keyName = makeName(key);
    if (sectionName.utf8.isEmpty() || keyName.utf8.isEmpty())
        return defaultValue;
    const Lookup found = find(text, sectionName, &keyName);
    if (!found.keyFound)
        return defaultValue;
    return decode(text.sliced(found.valueBegin, found.keyLine.contentEnd - found.valueBegin),
                  text.sliced(found.keyLine.begin, found.keyLine.contentEnd - found.keyLine.begin));
}

} // namespace

IniFile::IniFile(QString path, MissingFile missing) : m_path(std::move(path)), m_missing(missing) {}

QString IniFile::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    QByteArray text;
    if (load(m_path, &text, nullptr) != LoadResult::Loaded)
        return defaultValue;
    return walkedRead(text, section, key, defaultValue);
}

bool IniFile::write(const QString& section, const QString& key, const QString& value,
                    QString* error) const
{
    const Name sectionName = makeName(section);
    const Name keyName = makeName(key);
    if (!isWritableSection(sectionName))
        return fail(error, QStringLiteral("Invalid section name \"%1\"").arg(section));
    if (!isWritableKey(keyName))
        return fail(error, QStringLiteral("Invalid key name \"%1\"").arg(key));

    QByteArray text;
    const LoadResult loaded = load(m_path, &text, error);
    if (loaded == LoadResult::Failed)
        return false;
    if (loaded == LoadResult::Missing && m_missing == MissingFile::Fail)
        return fail(error, QStringLiteral("%1 does not exist").arg(m_path));
    const QByteArray valueBytes = encodeValue(value);
    const QByteArrayView view(text);
    const Lookup found = find(view, sectionName, &keyName);

    QByteArray result;
    result.reserve(text.size() + sectionName.utf8.size() + keyName.utf8.size() + valueBytes.size() +
                   8);
    if (found.keyFound) {
        const qsizetype valueEnd = found.keyLine.contentEnd;
        // Saves a rewrite and its disk flushes when the value is already stored.
        if (view.sliced(found.valueBegin, valueEnd - found.valueBegin) == valueBytes)
            return true;
        // The key keeps its own spelling and line break; only the value changes.
        result.append(view.first(found.valueBegin));
        result.append(valueBytes);
        result.append(view.sliced(valueEnd));
    } else if (found.sectionFound) {
        result.append(view.first(found.appendAt));
        if (found.appendNeedsBreak)
            result.append(lineBreakToEnd(view));
        result.append(keyName.utf8).append('=').append(valueBytes).append(kLineBreak);
        result.append(view.sliced(found.appendAt));
    } else {
        result.append(text);
        result.append(lineBreakToEnd(view));
        result.append('[').append(sectionName.utf8).append(']').append(kLineBreak);
        result.append(keyName.utf8).append('=').append(valueBytes).append(kLineBreak);
    }
    return store(m_path, result, error);
}

bool IniFile::deleteKey(const QString& section, const QString& key, QString* error) const
{
    const Name sectionName = makeName(section);
    const Name keyName = makeName(key);
    if (sectionName.utf8.isEmpty() || keyName.utf8.isEmpty())
        return true;
    QByteArray text;
    switch (load(m_path, &text, error)) {
    case LoadResult::Missing:
        return true;
    case LoadResult::Failed:
        return false;
    case LoadResult::Loaded:
        break;
    }
    const QByteArrayView view(text);
    const Lookup found = find(view, sectionName, &keyName);
    if (!found.keyFound)
        return true;
    QByteArray result;
    result.reserve(text.size());
    result.append(view.first(found.keyLine.begin));
    result.append(view.sliced(found.keyLine.end));
    return store(m_path, result, error);
}

bool IniFile::eraseSection(const QString& section, QString* error) const
{
    const Name sectionName = makeName(section);
    if (sectionName.utf8.isEmpty())
        return true;
    QByteArray text;
    switch (load(m_path, &text, error)) {
    case LoadResult::Missing:
        return true;
    case LoadResult::Failed:
        return false;
    case LoadResult::Loaded:
        break;
    }
    const QByteArrayView view(text);
    const Lookup found = find(view, sectionName, nullptr);
    if (!found.sectionFound)
        return true;
    QByteArray result;
    result.reserve(text.size());
    result.append(view.first(found.header.begin));
    result.append(view.sliced(found.sectionEnd));
    return store(m_path, result, error);
}

QStringList IniFile::readSectionValues(const QString& section) const
{
    return IniSnapshot(m_path).readSectionValues(section);
}

bool IniFile::sectionExists(const QString& section) const
{
    return IniSnapshot(m_path).sectionExists(section);
}

namespace {

// A name as the index holds it: compared without case exactly as nameMatches compares, so an ASCII
// name folds byte by byte and any other through Unicode case folding, one code unit for one.
void appendFolded(QByteArray& out, QByteArrayView stored, QByteArrayView line)
{
    if (!isAscii(stored)) {
        out.append(decode(stored, line).toCaseFolded().toUtf8());
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + stored.size());
    char* to = out.data() + at;
    for (const char c : stored)
        *to++ = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The wanted name the way makeName trims it, folded; false when it is empty. Names asked for are
// nearly always plain ASCII, which folds here without a conversion or an allocation.
bool appendFolded(QVarLengthArray<char, 128>& out, QAnyStringView name)
{
    const qsizetype at = out.size();
    const bool ascii = name.visit([&out](auto view) {
        qsizetype begin = 0;
        qsizetype end = view.size();
        const auto unit = [&view](qsizetype i) -> char32_t {
            if constexpr (std::is_same_v<decltype(view), QStringView>)
                return view[i].unicode();
            else
                return static_cast<unsigned char>(view.data()[i]);
        };
        while (begin < end && (unit(begin) == ' ' || unit(begin) == '\t'))
            ++begin;
        while (end > begin && (unit(end - 1) == ' ' || unit(end - 1) == '\t'))
            --end;
        for (qsizetype i = begin; i < end; ++i) {
            const char32_t u = unit(i);
            if (u >= 0x80)
                return false;
            out.append(u >= 'A' && u <= 'Z' ? char(u - 'A' + 'a') : char(u));
        }
        return true;
    });
    if (!ascii) {
        out.resize(at);
        const QByteArray folded = makeName(name.toString()).text.toCaseFolded().toUtf8();
        out.append(folded.constData(), folded.size());
    }
    return out.size() > at;
}

} // namespace

IniSnapshot::IniSnapshot(const QString& path)
{
    m_loaded = load(path, &m_text, nullptr) == LoadResult::Loaded;
}

// One pass records where each key's value lies, applying the lookup's rules: only the first section
// of a name counts, and in it the first of two equal keys.
void IniSnapshot::index() const
{
    m_indexed = true;
    struct Entry
    {
        qsizetype at;
        qsizetype size;
        Value value;
    };
    QList<Entry> entries;
    const QByteArrayView view(m_text);
    QSet<QByteArray> sections;
    QByteArray section; // the current section's name and an LF, which no name in a file holds
    bool counting = false;
    LineReader reader(view);
    Line line;
    while (reader.next(&line)) {
        const QByteArrayView content = view.sliced(line.begin, line.contentEnd - line.begin);
        const ParsedLine parsed = parseLine(content);
        if (parsed.kind == LineKind::Header) {
            section.clear();
            appendFolded(section, parsed.name, content);
            section.append('\n');
            counting = !sections.contains(section);
            sections.insert(section);
        } else if (counting && parsed.kind == LineKind::KeyValue) {
            const qsizetype at = m_names.size();
            m_names.append(section);
            appendFolded(m_names, parsed.name, content);
            entries.append({at, m_names.size() - at,
                            Value{line.begin, line.begin + parsed.valueBegin, line.contentEnd}});
        }
    }
    // The names are complete, so views of them stay valid from here on.
    const QByteArrayView names(m_names);
    m_values.reserve(entries.size());
    for (const Entry& entry : entries) {
        const QByteArrayView name = names.sliced(entry.at, entry.size);
        if (!m_values.contains(name))
            m_values.insert(name, entry.value);
    }
}

QString IniSnapshot::read(QAnyStringView section, QAnyStringView key,
                          const QString& defaultValue) const
{
    if (!m_loaded)
        return defaultValue;
    // The first few reads walk the text as IniFile does: indexing a file for one or two keys
    // (the run state of each VM at start-up) would cost more than it saves.
    constexpr int WalkedReads = 3;
    if (!m_indexed && m_walkedReads < WalkedReads) {
        ++m_walkedReads;
        return walkedRead(m_text, section.toString(), key.toString(), defaultValue);
    }
    QVarLengthArray<char, 128> wanted;
    if (!appendFolded(wanted, section))
        return defaultValue;
    wanted.append('\n');
    if (!appendFolded(wanted, key))
        return defaultValue;
    if (!m_indexed)
        index();
    const auto found = m_values.constFind(QByteArrayView(wanted.constData(), wanted.size()));
    if (found == m_values.cend())
        return defaultValue;
    const QByteArrayView view(m_text);
    return decode(view.sliced(found->value, found->end - found->value),
                  view.sliced(found->line, found->end - found->line));
}

QStringList IniSnapshot::readSectionValues(const QString& section) const
{
    QStringList values;
    const Name sectionName = makeName(section);
    if (!m_loaded || sectionName.utf8.isEmpty())
        return values;
    const QByteArrayView view(m_text);
    const Lookup found = find(view, sectionName, nullptr);
    if (!found.sectionFound)
        return values;
    LineReader reader(view.first(found.sectionEnd), found.header.end);
    Line line;
    while (reader.next(&line)) {
        const QByteArrayView content = view.sliced(line.begin, line.contentEnd - line.begin);
        const ParsedLine parsed = parseLine(content);
        if (parsed.kind != LineKind::KeyValue)
            continue;
        values.append(decode(parsed.name, content) + QLatin1Char('=') +
                      decode(content.sliced(parsed.valueBegin), content));
    }
    return values;
}

bool IniSnapshot::sectionExists(const QString& section) const
{
    const Name sectionName = makeName(section);
    if (!m_loaded || sectionName.utf8.isEmpty())
        return false;
    return find(m_text, sectionName, nullptr).sectionFound;
}
