#include "app/UMessages.h"

#include "app/UAbout.h"
#include "data/UErrors.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

namespace {

IMessages *g_messages = nullptr;

QWidget *ActiveParent()
{
    return QApplication::activeWindow();
}

QString Title()
{
    return QApplication::applicationDisplayName();
}

} // namespace

QString BoxText(const QString &text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(u'\r', u'\n');
    return result;
}

void TMessageBoxes::Information(const QString &text)
{
    QMessageBox::information(ActiveParent(), Title(), BoxText(text));
}

void TMessageBoxes::Error(const QString &text)
{
    QMessageBox::critical(ActiveParent(), Title(), BoxText(text));
}

TPromptAnswer TMessageBoxes::Ask(const QString &text, TAskKind kind, bool withCancel)
{
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel)
        buttons |= QMessageBox::Cancel;
    QMessageBox::StandardButton answer;
    switch (kind) {
    case TAskKind::Warning:
        answer = QMessageBox::warning(ActiveParent(), Title(), BoxText(text), buttons);
        break;
    case TAskKind::Error:
        answer = QMessageBox::critical(ActiveParent(), Title(), BoxText(text), buttons);
        break;
    default:
        answer = QMessageBox::question(ActiveParent(), Title(), BoxText(text), buttons);
        break;
    }
    if (answer == QMessageBox::Yes)
        return TPromptAnswer::Yes;
    if (answer == QMessageBox::No)
        return TPromptAnswer::No;
    return TPromptAnswer::Cancel;
}

IMessages &AppMessages()
{
    static TMessageBoxes boxes;
    return g_messages ? *g_messages : boxes;
}

void SetAppMessages(IMessages *messages)
{
    g_messages = messages;
}

void HandleException(std::exception_ptr error)
{
    if (!error)
        return;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort &) {
    } catch (const Exception &e) {
        AppMessages().Error(e.Message());
    } catch (const std::exception &e) {
        AppMessages().Error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        AppMessages().Error(QStringLiteral("Nieznany błąd."));
    }
}

void RunCommand(const std::function<void()> &command)
{
    try {
        command();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

bool PrepareApplication(QApplication &app)
{
    QApplication::setApplicationName(ProductName);
    QApplication::setOrganizationName(MakerName);
    // The program speaks Polish whatever the system's language.
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    return true;
}
