#include "reports/core/UPDFReportPrinter.h"

#include "data/UCodePage.h"
#include "data/UErrors.h"
#include "data/UOrvanIO.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <hpdf.h>

#ifdef Q_OS_WIN
#include <QDir>
#include <QStandardPaths>
#else
#include <fontconfig/fontconfig.h>
#endif

namespace {

HPDF_Doc Doc(void *p)
{
    return static_cast<HPDF_Doc>(p);
}

HPDF_Page Page(void *p)
{
    return static_cast<HPDF_Page>(p);
}

const char *kProbeLine = "12345678901234567";

// Windows-1250 bytes of a report line through a table made once: the
// printer writes tens of thousands of lines. A character outside the code
// page becomes "?", as in the encoder.
QByteArray LineBytes(const QString &text)
{
    static const std::array<std::pair<char16_t, char>, 128> upper = [] {
        std::array<std::pair<char16_t, char>, 128> t{};
        for (int b = 0; b < 128; ++b) {
            const char byte = char(128 + b);
            const QString c = FromCp1250(&byte, 1);
            t[size_t(b)] = {c.size() == 1 ? c.at(0).unicode() : u'?', byte};
        }
        std::sort(t.begin(), t.end());
        return t;
    }();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 128) {
            *out++ = char(u);
            continue;
        }
        const auto it = std::lower_bound(upper.begin(), upper.end(), std::pair<char16_t, char>(u, '\0'),
                                         [](const auto &a, const auto &b) { return a.first < b.first; });
        *out++ = it != upper.end() && it->first == u ? it->second : '?';
    }
    return bytes;
}
constexpr double kColumnSpacing = 1.2;

} // namespace

int Floor(double x)
{
    return int(std::floor(x));
}

QString OpenFailedMessage(const QString &reason)
{
    return QStringLiteral("Nie mogę otworzyć pliku.\r\n") + reason;
}

#ifdef Q_OS_WIN

QString FontsFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::FontsLocation);
    if (folder.isEmpty()) {
        const QString windows = qEnvironmentVariable("WINDIR");
        folder = windows.isEmpty() ? QStringLiteral("C:/Windows/Fonts") : windows + QStringLiteral("/Fonts");
    }
    return QDir::fromNativeSeparators(folder);
}

QString FindReportFont(const QString &family)
{
    // Courier New comes with every Windows; its metrics set the roll's
    // layout, so no other font stands in for it.
    const QString file = FontsFolder() + QStringLiteral("/cour.ttf");
    if (!QFile::exists(file))
        throw Exception(QStringLiteral("Nie mogę odnaleźć czcionki \"%1\" (pliku %2), potrzebnej do wydruku raportu.")
                            .arg(family, QDir::toNativeSeparators(file)));
    return file;
}

#else

QString FontsFolder()
{
    return QString();
}

QString FindReportFont(const QString &family)
{
    const QString missing = QStringLiteral("Nie mogę odnaleźć czcionki \"%1\" ani zastępującej ją czcionki TrueType "
                                           "o stałej szerokości znaków (na przykład Liberation Mono z pakietu "
                                           "fonts-liberation), potrzebnej do wydruku raportu.")
                                .arg(family);
    // A configuration of our own, freed again: the process-wide one belongs
    // to the toolkit and is never released.
    FcConfig *config = FcInitLoadConfigAndFonts();
    if (!config)
        throw Exception(missing);
    FcPattern *pattern = FcPatternCreate();
    const QByteArray name = family.toUtf8();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(name.constData()));
    FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(config, pattern, &result);
    QString file;
    if (match) {
        FcChar8 *path = nullptr;
        FcChar8 *format = nullptr;
        int spacing = -1;
        // Only a monospaced TrueType file keeps the roll's layout; a
        // proportional fallback would not.
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch
            && FcPatternGetString(match, FC_FONTFORMAT, 0, &format) == FcResultMatch
            && FcPatternGetInteger(match, FC_SPACING, 0, &spacing) == FcResultMatch && spacing == FC_MONO
            && QByteArray(reinterpret_cast<const char *>(format)) == "TrueType")
            file = QFile::decodeName(reinterpret_cast<const char *>(path));
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    if (file.isEmpty() || !QFile::exists(file))
        throw Exception(missing);
    return file;
}

#endif

// The report font, looked up once a run (loading the font list takes a
// while); a font that is missing is looked for again at the next print.
static QString CachedReportFont()
{
    static std::mutex mutex;
    static QString file;
    std::lock_guard<std::mutex> lock(mutex);
    if (file.isEmpty() || !QFile::exists(file))
        file = FindReportFont();
    return file;
}

void TPDFReportPrinter::ErrorHandler(unsigned long error, unsigned long detail, void *self)
{
    // libharu is C: the error is kept here and raised after the call returns.
    auto *printer = static_cast<TPDFReportPrinter *>(self);
    if (printer->m_error == 0) {
        printer->m_error = error;
        printer->m_detail = detail;
    }
}

TPDFReportPrinter::TPDFReportPrinter(QString fontFile, std::function<QDateTime()> now)
    : m_fontFile(std::move(fontFile)), m_now(now ? std::move(now) : [] { return QDateTime::currentDateTime(); })
{
    m_doc = HPDF_New(&TPDFReportPrinter::ErrorHandler, this);
    if (!m_doc)
        throw Exception(QStringLiteral("Nie mogę utworzyć dokumentu PDF"));
}

TPDFReportPrinter::~TPDFReportPrinter()
{
    HPDF_Free(Doc(m_doc));
}

void TPDFReportPrinter::Check() const
{
    if (m_error != 0)
        throw Exception(QStringLiteral("Pdf Document error: ")
                        + QStringLiteral("%1").arg(qulonglong(m_error), 4, 16, QLatin1Char('0')).toUpper()
                        + u'-' + QString::number(qulonglong(m_detail)));
}

void TPDFReportPrinter::BeginDoc()
{
    if (m_fontFile.isEmpty())
        m_fontFile = CachedReportFont();
    HPDF_Doc doc = Doc(m_doc);
    HPDF_SetCurrentEncoder(doc, "CP1250");
    Check();
    // Embedded: a viewer without this font would set the roll in another
    // one, with other widths.
    const char *fontName = HPDF_LoadTTFontFromFile(doc, QFile::encodeName(m_fontFile).constData(), HPDF_TRUE);
    Check();
    m_font = HPDF_GetFont(doc, fontName, "CP1250");
    Check();
    HPDF_SetCompressionMode(doc, HPDF_COMP_ALL);
    HPDF_SetInfoAttr(doc, HPDF_INFO_AUTHOR, "Noxa s.c.");
    HPDF_SetInfoAttr(doc, HPDF_INFO_CREATOR, "Noxa s.c.");
    HPDF_SetInfoAttr(doc, HPDF_INFO_PRODUCER, "Orvan277PS Plus");
    HPDF_SetInfoAttr(doc, HPDF_INFO_TITLE, "Raport fiskalny");
    const QDateTime now = m_now();
    HPDF_Date date{};
    date.year = now.date().year();
    date.month = now.date().month();
    date.day = now.date().day();
    date.hour = now.time().hour();
    date.minutes = now.time().minute();
    date.seconds = now.time().second();
    date.ind = ' ';
    HPDF_SetInfoDateAttr(doc, HPDF_INFO_CREATION_DATE, date);
    Check();
    NewPage();
}

void TPDFReportPrinter::NewPage()
{
    if (m_textOpen) {
        HPDF_Page_EndText(Page(m_page));
        m_textOpen = false;
    }
    HPDF_Page page = HPDF_AddPage(Doc(m_doc));
    Check();
    m_page = page;
    HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_PORTRAIT);
    HPDF_Page_SetFontAndSize(page, static_cast<HPDF_Font>(m_font), FontSize);
    HPDF_Page_SetTextLeading(page, TextLeading);
    Check();
    if (m_pageCount == 0) {
        m_usableWidth = HPDF_Page_GetWidth(page) - LeftMargin - RightMargin;
        m_usableHeight = HPDF_Page_GetHeight(page) - TopMargin - BottomMargin;
        m_lineWidth = HPDF_Page_TextWidth(page, kProbeLine);
        Check();
        m_columnsPerPage = std::max(1, Floor(m_usableWidth / (m_lineWidth * kColumnSpacing)));
        m_linesPerColumn = std::max(1, Floor(m_usableHeight / TextLeading));
        m_columnWidth = m_usableWidth / m_columnsPerPage;
        m_textOffset = (m_columnWidth - m_lineWidth) * 0.5;
    }
    HPDF_Page_SetLineWidth(page, 0.6f);
    const HPDF_UINT16 dash[] = {3};
    HPDF_Page_SetDash(page, dash, 1, 1);
    for (int k = 1; k < m_columnsPerPage; ++k) {
        const double x = LeftMargin + k * m_columnWidth;
        HPDF_Page_MoveTo(page, x, BottomMargin);
        HPDF_Page_LineTo(page, x, BottomMargin + m_usableHeight);
    }
    HPDF_Page_Stroke(page);
    HPDF_Page_SetDash(page, nullptr, 0, 0);
    Check();
    ++m_pageCount;
    m_columnIndex = 0;
    NewColumn();
}

void TPDFReportPrinter::NewColumn()
{
    HPDF_Page page = Page(m_page);
    if (m_columnIndex > 0 && m_textOpen) {
        HPDF_Page_EndText(page);
        m_textOpen = false;
    }
    m_linesInColumn = 0;
    HPDF_Page_BeginText(page);
    m_textOpen = true;
    HPDF_Page_MoveTextPos(page, LeftMargin + m_textOffset + m_columnIndex * m_columnWidth,
                          BottomMargin + m_usableHeight);
    Check();
    ++m_columnIndex;
}

void TPDFReportPrinter::AddLine(const QString &text)
{
    if (m_pageCount == 0)
        throw Exception(QStringLiteral("Nie mogę utworzyć dokumentu PDF"));
    if (m_columnIndex == m_columnsPerPage && m_linesInColumn >= m_linesPerColumn)
        NewPage();
    else if (m_linesInColumn >= m_linesPerColumn)
        NewColumn();
    HPDF_Page_ShowTextNextLine(Page(m_page), LineBytes(text).constData());
    Check();
    ++m_linesInColumn;
}

void TPDFReportPrinter::EndDoc()
{
    if (m_textOpen) {
        HPDF_Page_EndText(Page(m_page));
        m_textOpen = false;
    }
    Check();
}

void TPDFReportPrinter::SaveToFile(const QString &fileName, TFileAccess access)
{
    HPDF_Doc doc = Doc(m_doc);
    HPDF_SaveToStream(doc);
    Check();
    QByteArray bytes;
    bytes.resize(qsizetype(HPDF_GetStreamSize(doc)));
    HPDF_ResetStream(doc);
    qsizetype done = 0;
    while (done < bytes.size()) {
        HPDF_UINT32 size = HPDF_UINT32(bytes.size() - done);
        const HPDF_STATUS st =
            HPDF_ReadFromStream(doc, reinterpret_cast<HPDF_BYTE *>(bytes.data() + done), &size);
        done += size;
        if (st == HPDF_STREAM_EOF || size == 0) {
            // The end of the stream is no error of the document.
            if (m_error == HPDF_STREAM_EOF) {
                m_error = m_detail = 0;
                HPDF_ResetError(doc);
            }
            break;
        }
        Check();
    }
    bytes.truncate(done);
    // A failed write leaves any earlier file of that name as it was.
    if (const QString reason = TryReplaceFile(fileName, bytes, access); !reason.isEmpty())
        throw EInOutError(QStringLiteral("Nie mogę zapisać pliku %1: %2").arg(fileName, reason));
}
