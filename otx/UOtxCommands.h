#pragma once
// The orvan-otx commands; args are the arguments after the command name.
// Each returns an exit code, throws TUsageError for wrong arguments and
// Exception (or std::exception) for a refused or failed run.
#include <QStringList>

int OtxCheck(const QStringList &args);
int OtxNormalize(const QStringList &args);
int OtxSend(const QStringList &args);
int OtxRead(const QStringList &args);
int OtxReport(const QStringList &args);
int OtxFiscalRead(const QStringList &args);
int OtxFiscalText(const QStringList &args);
int OtxFiscalPdf(const QStringList &args);
int OtxImport(const QStringList &args);
int OtxExport(const QStringList &args);
int OtxFindRegister(const QStringList &args);
