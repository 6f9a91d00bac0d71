#include "exchange/USendVerify.h"

#include "data/UErrors.h"

#include <QHash>

namespace {

// The line's pieces apart at "," (the name, last, may hold commas itself).
QStringList Pieces(const QString &line, int count)
{
    QStringList out;
    qsizetype start = 0;
    for (int i = 0; i < count - 1; ++i) {
        const qsizetype comma = line.indexOf(u',', start);
        if (comma < 0)
            break;
        out << line.mid(start, comma - start);
        start = comma + 1;
    }
    out << line.mid(start);
    while (out.size() < count)
        out << QString();
    return out;
}

QString LineOfRow(TExchange &x, TRxMemoryData &table, int row)
{
    table.SetRecNo(row + 1);
    return x.Lines().RecordToLine(table);
}

} // namespace

std::vector<TSendDifference> TSendVerifier::Compare(TExchange &sent, const std::vector<int> &rows, TExchange &read,
                                                    TRxMemoryData &twin)
{
    TRxMemoryData &editor = sent.EditorTable();
    editor.CheckBrowseMode();
    std::vector<int> wanted = rows;
    if (wanted.empty())
        for (int row = 0; row < editor.RecordCount(); ++row)
            wanted.push_back(row);

    // The fields of a send line in line order, in both tables.
    const std::vector<TLineField> fields = sent.Lines().Fields().Sent();
    std::vector<const TField *> sentFields, readFields;
    for (const TLineField &f : fields) {
        sentFields.push_back(&editor.Field(f.Field));
        readFields.push_back(&twin.Field(f.Field));
    }
    const TField &numer = editor.Field(sent.Lines().Fields().Numer.Field);
    const auto keyOf = [&](TExchange &x, TRxMemoryData &t, int row) {
        return Pieces(LineOfRow(x, t, row), int(fields.size())).first().trimmed();
    };
    QHash<QString, int> held;
    for (int row = 0; row < twin.RecordCount(); ++row)
        held.insert(keyOf(read, twin, row), row);

    std::vector<TSendDifference> out;
    const TBookmark savedEditor = editor.GetBookmark();
    for (int row : wanted) {
        if (row < 0 || row >= editor.RecordCount())
            continue;
        const QString sentLine = LineOfRow(sent, editor, row);
        const QString number = numer.DisplayTextAt(row);
        const QStringList sentPieces = Pieces(sentLine, int(fields.size()));
        const auto it = held.constFind(sentPieces.first().trimmed());
        if (it == held.constEnd()) {
            out.push_back({number, QStringLiteral("rekord"), sentLine.trimmed(), QStringLiteral("brak w kasie")});
            continue;
        }
        const QString readLine = LineOfRow(read, twin, *it);
        if (readLine == sentLine)
            continue;
        const QStringList readPieces = Pieces(readLine, int(fields.size()));
        bool listed = false;
        for (int i = 0; i < int(fields.size()); ++i) {
            if (sentPieces.at(i) == readPieces.at(i))
                continue;
            const TField &fs = *sentFields[size_t(i)];
            const TField &fr = *readFields[size_t(i)];
            QString s = fs.DisplayTextAt(row), r = fr.DisplayTextAt(*it);
            if (s == r) { // the field's text hides the difference (flags of a group)
                s = sentPieces.at(i).trimmed();
                r = readPieces.at(i).trimmed();
            }
            out.push_back({number, fs.DisplayName(), s, r});
            listed = true;
        }
        if (!listed)
            out.push_back({number, QStringLiteral("rekord"), sentLine.trimmed(), readLine.trimmed()});
    }
    if (!editor.GotoBookmark(savedEditor))
        editor.First();
    return out;
}

std::vector<TSendDifference> TSendVerifier::Verify(const std::vector<int> &rows)
{
    TDM &dm = m_sent.DataModule();
    TDM scratch;
    scratch.ApplyProfile(dm.Kasa, dm.Kaucje, dm.Eprom235);
    TExchange read(scratch, m_sent.Table(), m_sent.ExchangeFile(), m_sent.Jobs(), m_sent.Wait(), m_sent.Messages(),
                   m_sent.Dialogs());
    scratch.ViewOnlyRead = true;
    read.ReadProcedure(false, true);
    return Compare(m_sent, rows, read, read.TwinTable());
}

QString TSendVerifier::Message(const std::vector<TSendDifference> &differences, int limit)
{
    QString text = QStringLiteral("Dane odczytane z kasy po wysłaniu różnią się od wysłanych (%1):")
                       .arg(differences.size());
    int shown = 0;
    for (const TSendDifference &d : differences) {
        if (shown++ == limit) {
            text += QStringLiteral("\n... i %1 więcej.").arg(differences.size() - std::size_t(limit));
            break;
        }
        text += QStringLiteral("\nNumer %1, %2: wysłano \"%3\", odczytano \"%4\"").arg(d.Number, d.Field, d.Sent, d.Read);
    }
    return text;
}

void VerifyAfterSend(TExchange &sent, IMessages &messages, const std::vector<int> &rows)
{
    const std::vector<TSendDifference> differences = TSendVerifier(sent).Verify(rows);
    if (differences.empty())
        return;
    messages.Error(TSendVerifier::Message(differences));
    throw EAbort();
}
