#pragma once
// The fiscal report's 17-character lines on A4 pages as a PDF document, the
// way the register's paper roll looks: equal columns separated by dashed
// lines, filled top to bottom, then the next column, then the next page.
#include "data/URunFolder.h"

#include <QDateTime>
#include <QString>
#include <functional>

// The family the report is set in; on Linux fontconfig resolves it to a
// metric compatible font (Liberation Mono on Debian).
inline const QString ReportFontFamily = QStringLiteral("Courier New");

// The TrueType file of family: on Linux through fontconfig, on Windows
// Courier New's own "cour.ttf" in FontsFolder(). Raises an Exception naming
// the family when there is no such font.
QString FindReportFont(const QString &family = ReportFontFamily);

// Windows: the system's fonts folder (FOLDERID_Fonts, else %WINDIR%\Fonts,
// else "C:\Windows\Fonts"), with "/" separators. Empty elsewhere.
QString FontsFolder();

// Opens a finished file in the user's viewer. The window implements it with
// QDesktopServices; it raises "Nie mogę otworzyć pliku.\r\n" + the reason.
class IShellOpener {
public:
    virtual ~IShellOpener() = default;
    virtual void OpenWithShell(const QString &fileName) = 0;
};

// The message a failed shell open raises.
QString OpenFailedMessage(const QString &reason);

// Largest integer not above x.
int Floor(double x);

class TPDFReportPrinter {
public:
    // fontFile empty: FindReportFont(). now: the document's creation date.
    explicit TPDFReportPrinter(QString fontFile = QString(), std::function<QDateTime()> now = {});
    ~TPDFReportPrinter();
    TPDFReportPrinter(const TPDFReportPrinter &) = delete;
    TPDFReportPrinter &operator=(const TPDFReportPrinter &) = delete;

    // Every operation raises Exception ("Pdf Document error: XXXX-N" for
    // the library's errors).
    void BeginDoc();
    void AddLine(const QString &text);
    void EndDoc();
    void SaveToFile(const QString &fileName, TFileAccess access = TFileAccess::Usual);

    // Layout, known after BeginDoc.
    int ColumnsPerPage() const { return m_columnsPerPage; }
    int LinesPerColumn() const { return m_linesPerColumn; }
    int PageCount() const { return m_pageCount; }
    double ColumnWidth() const { return m_columnWidth; }
    double TextOffset() const { return m_textOffset; }
    double LineWidth() const { return m_lineWidth; }

    static constexpr double LeftMargin = 50, RightMargin = 50, TopMargin = 50, BottomMargin = 70;
    static constexpr double FontSize = 8, TextLeading = 10;

private:
    void NewPage();
    void NewColumn();
    // Raises the library's first error, when there was one.
    void Check() const;
    static void ErrorHandler(unsigned long error, unsigned long detail, void *self);

    void *m_doc = nullptr;  // HPDF_Doc
    void *m_font = nullptr; // HPDF_Font
    void *m_page = nullptr; // HPDF_Page
    QString m_fontFile;
    std::function<QDateTime()> m_now;
    double m_usableWidth = 0, m_usableHeight = 0, m_lineWidth = 0, m_columnWidth = 0, m_textOffset = 0;
    int m_columnsPerPage = 0, m_linesPerColumn = 0, m_pageCount = 0, m_columnIndex = 0, m_linesInColumn = 0;
    bool m_textOpen = false;
    unsigned long m_error = 0, m_detail = 0;
};
