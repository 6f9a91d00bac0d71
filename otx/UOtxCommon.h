#pragma once
// What every orvan-otx command shares: printing, exit codes, the option
// parser and the register profile options.
#include "data/UDM.h"
#include "data/UOrvanIO.h"
#include "exchange/UUiHooks.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <map>
#include <optional>

constexpr int ExitOk = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

// UTF-8 text, CR or CR LF inside a message separating its lines; a line end
// is added when missing. A Windows console gets the text as UTF-16, so
// Polish letters show whatever its code page.
// A text that cannot be written (the reader of a pipe has gone) marks the
// output lost.
void Print(FILE *to, QString text);

// A write to standard output or error has failed: the command stops its
// jobs as after Ctrl+C, and ends through its clean-up.
bool OutputLost();
void MarkOutputLost();

// For the run of the program, on Windows: the output streams carry the
// same bytes as on Linux (UTF-8, LF line ends) into a file or a pipe, and
// a console takes UTF-8 for the module's lines, getting its own code page
// back at the end. Nothing elsewhere.
class TConsoleOutput {
public:
    TConsoleOutput();
    ~TConsoleOutput();
    TConsoleOutput(const TConsoleOutput &) = delete;
    TConsoleOutput &operator=(const TConsoleOutput &) = delete;

private:
    unsigned m_previous = 0;
};

// Thrown by a command for wrong arguments; main prints it with the usage.
struct TUsageError {
    QString Text;
};

// "--name value" and "--flag" options and positional arguments.
class TOtxArgs {
public:
    // flags: options without a value; valued: options with one. Anything
    // else beginning with "--" is refused with TUsageError.
    TOtxArgs(const QStringList &args, const QStringList &valued, const QStringList &flags = {});

    QStringList Positional;
    bool Has(const QString &name) const { return m_values.count(name) > 0; }
    QString Value(const QString &name, const QString &fallback = QString()) const;
    // A whole number in lo..hi, else TUsageError naming the option.
    int Int(const QString &name, int fallback, int lo, int hi) const;
    // Exactly n positional arguments, else TUsageError.
    void RequirePositional(int n, const QString &what) const;

private:
    std::map<QString, QString> m_values;
};

// --kasa, --eprom, --kaucje, with the defaults of every command.
struct TProfileOptions {
    int Kasa = 5;
    int Eprom = 0;
    int Kaucje = 1;
    static QStringList Names();
    static TProfileOptions From(const TOtxArgs &args);
    void Apply(TDM &dm) const;
};

// Lists the colliding names as the duplicate-names window would.
class TPrintedDuplicates : public IDuplicateNamesView {
public:
    explicit TPrintedDuplicates(TDM &dm) : m_dm(dm) {}
    void ShowDuplicates() override;

private:
    TDM &m_dm;
};

// Refuses, before any job, an output file that could not be written at the
// end: a folder, a pipe or a device under its name, a read-only file, a
// folder that is missing or not writable. Raises EInOutError naming it.
void RequireOutputFile(const QString &file);

// The section names of a set, comma separated.
QString SectionList(TSectionSet s);

// Refuses, as wrong arguments and before anything is read, an output that
// is one of the inputs (also through "./", ".." or a link, and on Windows
// in other letter case): the command would replace what it reads.
void RefuseSameFile(const QStringList &inputs, const QString &output);

// For a command that replaces some sections of a data file: refuses an
// existing file whose sections cannot be told apart (a damaged section
// line), as its other sections could not be kept. Raises Exception.
void CheckExistingSections(const QString &fileName);
