#include "UConsoleDisplay.h"

#include "UNational.h"

#include <QStringDecoder>

std::string ConsoleText(char codePage, const std::string &pcText)
{
    const char *name = nullptr;
    switch (TNational::rowOf(codePage)) {
    case 3: name = "IBM852"; break;
    case 4: name = "ISO-8859-2"; break;
    case 10: name = "windows-1250"; break;
    default: break;
    }
    if (name) {
        QStringDecoder decoder(name);
        if (decoder.isValid()) {
            const QString text = decoder(QByteArray(pcText.data(), static_cast<qsizetype>(pcText.size())));
            if (!decoder.hasError())
                return text.toStdString();
        }
    }
    return PcToUtf8(codePage, pcText);
}

void TConsoleDisplay::WriteLine(const std::string &text)
{
    const std::string line = ConsoleText(m_codePage, text) + "\n";
    std::fwrite(line.data(), 1, line.size(), m_out);
    std::fflush(m_out);
}

void TConsoleDisplay::SetStatus(const std::string &text)
{
    const std::string line = ConsoleText(m_codePage, text) + "\n";
    std::fwrite(line.data(), 1, line.size(), m_err);
    std::fflush(m_err);
}
