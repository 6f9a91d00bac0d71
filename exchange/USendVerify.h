#pragma once
// "Sprawdź po wysłaniu": after a send the table is read back from the
// register without counters into a data module of its own (the editor
// tables and the in-register views stay as they are) and compared with
// what was sent, record by record. The line checksum cannot catch every
// damage on a noisy line; this comparison does.
#include "exchange/UExchange.h"

#include <QString>
#include <vector>

struct TSendDifference {
    QString Number;  // the record's number as the editor shows it
    QString Field;   // the field's caption; "rekord" for a missing record
    QString Sent;
    QString Read;
};

class TSendVerifier {
public:
    // sent: the exchange the send went through (its table, profile, file
    // and front end are used for the read-back).
    explicit TSendVerifier(TExchange &sent) : m_sent(sent) {}

    // Reads the table back and compares it with the editor table's rows
    // (every row when rows is empty). A failed read-back raises as a read
    // does (EAbort from the job runner).
    std::vector<TSendDifference> Verify(const std::vector<int> &rows = {});

    // The comparison alone: rows of the editor table against the register's
    // records read into twin (a table of the same layout) by an exchange of
    // the same table.
    static std::vector<TSendDifference> Compare(TExchange &sent, const std::vector<int> &rows, TExchange &read,
                                                TRxMemoryData &twin);

    // The message listing the differences (at most limit of them, then how
    // many more).
    static QString Message(const std::vector<TSendDifference> &differences, int limit = 20);

private:
    TExchange &m_sent;
};

// Verify, then on a difference shows the list through messages and raises
// EAbort: the send ends as failed.
void VerifyAfterSend(TExchange &sent, IMessages &messages, const std::vector<int> &rows = {});
