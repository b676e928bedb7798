// Prints the user manual from its Markdown source into a PDF, with Qt's own text layout:
//   vimor-manual MANUAL.md OUT.pdf
// Pictures are found relative to the Markdown file and scaled down to the width of the page.

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <cstdio>

namespace {

// Pictures wider than the text are shrunk to it, keeping their proportions.
void fitPictures(QTextDocument& document, qreal width)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat picture = fragment.charFormat().toImageFormat();
            if (!picture.isValid())
                continue;
            const QImage image =
                document.resource(QTextDocument::ImageResource, QUrl(picture.name()))
                    .value<QImage>();
            if (image.isNull() || image.width() <= width)
                continue;
            picture.setWidth(width);
            picture.setHeight(width * image.height() / image.width());
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(picture);
        }
    }
}

// Tables get room around their text and thin rules between the cells.
void spaceTables(QTextDocument& document)
{
    const QList<QTextFrame*> frames = document.rootFrame()->childFrames();
    for (QTextFrame* frame : frames) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setCellPadding(3);
        format.setCellSpacing(0);
        format.setBorder(0.5);
        format.setBorderCollapse(true);
        table->setFormat(format);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    // Runs during the build, where there may be no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: vimor-manual MANUAL.md OUT.pdf\n");
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString target = QString::fromLocal8Bit(argv[2]);
    QFile markdown(source);
    if (!markdown.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "vimor-manual: cannot read %s\n", argv[1]);
        return 1;
    }

    QPdfWriter writer(target);
    writer.setTitle(QStringLiteral("Vimor 7.0 User Manual"));
    writer.setCreator(QStringLiteral("Vimor"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter));

    QTextDocument document;
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(source).absolutePath() + QLatin1Char('/')));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setMarkdown(QString::fromUtf8(markdown.readAll()));
    // The page as the document lays it out: the printable area in points.
    const QSizeF page = writer.pageLayout().paintRect(QPageLayout::Point).size();
    document.setPageSize(page);
    fitPictures(document, page.width() - 2 * document.documentMargin());
    spaceTables(document);
    document.print(&writer);
    if (!QFileInfo(target).isFile() || QFileInfo(target).size() == 0) {
        std::fprintf(stderr, "vimor-manual: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
