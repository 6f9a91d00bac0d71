#include "link/UError.h"

#include "link/UKOMDisplay.h"
#include "link/UNational.h"

#include <cstdio>
#include <unordered_map>

namespace {

constexpr std::size_t kMaxLine = 255;

struct Entry {
    uint16_t code;
    const char *text;  // UTF-8 here; handed out in CP852
};

const Entry kMessages[] = {
    {0x0000, "Brak błędu"},
    {0x0101, "ECR: Błąd polecenia"},
    {0x0104, "ECR: Nieprawidłowy rozmiar pakietu FDS"},
    {0x0105, "ECR: Nieprawidłowy rozmiar pakietu danych"},
    {0x0106, "ECR: Nieznany pakiet"},
    {0x0107, "ECR: File type error"},
    {0x0110, "ECR: Nieprawidłowy numer pliku (nieprawidłowy parametr /T)"},
    {0x0111, "ECR: Chcesz przypisać kod lub grupę do nieaktywnej stawki podatkowej"},
    {0x0112, "ECR: W kasie znajduje się już kod lub grupa o nazwie, którą chcesz wysłać"},
    {0x0200, "ECR: Błąd transmisji"},
    {0x0201, "ECR: Linia została rozłączona"},
    {0x0202, "ECR: ER off error"},
    {0x0203, "ECR: DR off error (kasa nie zrozumiała końca transmisji)"},
    {0x0204, "ECR: CD off error at receiving sequence"},
    {0x0205, "ECR: CD on error at transmission sequence"},
    {0x0206, "ECR: CD off at transmission sequence"},
    {0x0207, "ECR: Przekroczenie czasu oczekiwania lub ilości retransmisji"},
    {0x0208, "ECR: Drukarka zajęta"},
    {0x0300, "ECR: Błąd protokołu transmisji"},
    {0x0401, "ECR: Błąd polecenia"},
    {0x0402, "ECR: Podany plik w kasie nie jest otwarty (/T)"},
    {0x0403, "ECR: Podany blok nie istnieje"},
    {0x0404, "ECR: Podany rekord nie istnieje"},
    {0x0405, "ECR: Plik pełny (za dużo danych)"},
    {0x0406, "ECR: Błąd typu pliku"},
    {0x0407, "ECR: Za dużo danych"},
    {0x0408, "ECR: Nielegalne połączenie blokowych i nieblokowych tabelek"},
    {0x0411, "ECR: Błąd tworzenia/kasowania pliku (srv)"},
    {0x0600, "ECR: Błąd formatu parametru"},
    {0x0601, "ECR: Nieprawidłowa zawartość parametru 1"},
    {0x0602, "ECR: Nieprawidłowa zawartość parametru 2"},
    {0x0603, "ECR: Nieprawidłowa zawartość parametru 3"},
    {0x0604, "ECR: Nieprawidłowa zawartość parametru 4"},
    {0x0605, "ECR: Nieprawidłowa zawartość parametru 5"},
    {0x0611, "ECR: Nieprawidłowy numer joba (/J)"},
    {0x0613, "ECR: Nieprawidłowy zakres (parametr /R)"},
    {0x0622, "ECR: Nieprawidłowy numer pliku"},
    {0x0623, "ECR: Nieprawidłowy zakres (parametr /R)"},
    {0x0701, "ECR: Kasa posiada dane w licznikach (wymaga wykonania raportu fiskalnego)"},
    {0x0702, "ECR: Kasa jest w trybie paragonu"},
    {0x0800, "ECR: Rezerwa"},
    {0x0900, "ECR: Kasa nadal wykonuje raport"},
    {0x0901, "ECR: Kasa nie zakończyła jeszcze wykonywania poprzedniego raportu"},
    {0x1000, "Błąd otwarcia portu komunikacyjnego"},
    {0x1001, "Brak łączności lub kasa wyłączona"},
    {0x1002, "Kasa nie odpowiada (zły numer, kasa zajęta lub w trybie paragonu)"},
    {0x1100, "Błąd otwarcia pliku"},
    {0x1101, "Błąd odczytu pliku"},
    {0x1102, "Błąd zapisu"},
    {0x1105, "Plik pusty"},
    {0x1110, "Nieprawidłowe dane w pliku wejściowym"},
    {0x1150, "Nieprawidłowy numer linii"},
    {0x1151, "Za duży numer bloku"},
    {0x1160, "Nieprawidłowe dane w kasie"},
    {0x1200, "Brak obowiązkowego parametru /P"},
    {0x1201, "Brak obowiązkowego parametru /X"},
    {0x1202, "Brak obowiązkowego parametru /T"},
    {0x1203, "Brak obowiązkowego parametru /F"},
    {0x1204, "Brak parametru /A"},
    {0x1205, "Brak obowiązkowego parametru /J"},
    {0x1206, "Brak obowiązkowego parametru /M"},
    {0x1207, "Brak parametru /C"},
    {0x1215, "Brak obowiązkowego parametru /N"},
    {0x1216, "Brak obowiązkowego parametru /G"},
    {0x1300, "Nieprawidłowy numer portu (parametr /P)"},
    {0x1301, "Nieprawidłowy parametr /X"},
    {0x1303, "Nieprawidłowy parametr /F"},
    {0x1304, "Nieprawidłowy parametr /A"},
    {0x1306, "Nieprawidłowy lub pusty parametr /M"},
    {0x1310, "Nieprawidłowy parametr /B"},
    {0x1311, "Nieprawidłowy parametr /Z"},
    {0x1312, "Nieprawidłowy parametr /E"},
    {0x1313, "Nieprawidłowy parametr /L"},
    {0x1314, "Nieprawidłowy parametr /R"},
    {0x1315, "Nieprawidłowy parametr /N"},
    {0x1316, "Nieprawidłowy parametr /O"},
    {0x1317, "Nieprawidłowy numer przerwania (parametr /I)"},
    {0x1318, "Nieprawidłowy adres portu (parametr /P)"},
    {0x1320, "Nieprawidłowy parametr /V (wersja kasy)"},
    {0x1321, "Nieprawidłowy parametr /Y"},
    {0x1322, "Nieprawidłowy parametr /W"},
    {0x1323, "Nieprawidłowy parametr /r"},
    {0x13A2, "Nieprawidłowy numer kasy (/E)"},
    {0x13A4, "Nieprawidłowy standardowy parametr /A"},
    {0x1404, "Niewystarcząjacy parametr /A"},
    {0x1500, "Parametr /A niezgodny z konfiguracją kasy"},
    {0x1501, "FDS Receive Error"},
    {0x2000, "Błąd zgłoszony przez kasę"},
    {0x2100, "Niespodziewany koniec transmisji"},
    {0x2101, "Niespodziewany koniec transmisji"},
    {0x2300, "Błąd transmisji"},
    {0x2301, "Błąd transmisji - prawdopodobnie zabrakło papieru"},
    {0x9000, "Brak pamięci"},
    {0x9001, "Can't init send"},
    {0x9002, "Can't init receive"},
    {0x9003, "Błąd inicjalizacji"},
    {0x9004, "Status Initialize Error"},
    {0x9903, "Execute Error"},
    {0x9904, "Status Execute Error"},
    {0x9910, "PutPacketError"},
    {0x9920, "Finish FALSE"},
    {0x9930, "NIL GetText"},
    {0x9931, "PutText Error"},
    {0x9998, "Błąd wewnętrzny programu (NS)"},
    {0x9999, "Błąd wewnętrzny programu"},
    {0xE001, "Niespodziewany koniec transmisji (nie wszyskie dane zostały odczytane)"},
    {0xE002, "Niespodziewane dane po ostatnim rekordzie (błąd protokołu)"},
    {0xE003, "Nieprawidłowy pakiet z zawartością pamięci fiskalnej"},
    {0xFFF1, "Transmisja przerwana przez użytkownika"},
    {0xFFFF, "Brak transmisji"},
};

struct Table {
    std::unordered_map<uint16_t, std::string> messages;
    std::string unknown;
    Table() : unknown(Utf8ToCp852("Nieznany błąd"))
    {
        for (const Entry &e : kMessages)
            messages.emplace(e.code, Utf8ToCp852(e.text));
    }
};

const Table &table()
{
    static const Table t;
    return t;
}

std::string cut(std::string text)
{
    if (text.size() > kMaxLine)
        text.resize(kMaxLine);
    return text;
}

} // namespace

std::string ErrorMessage(uint16_t code)
{
    const Table &t = table();
    const auto it = t.messages.find(code);
    return it == t.messages.end() ? t.unknown : it->second;
}

std::string ErrorLine(uint16_t code)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(code));
    return "-= " + std::string(digits) + " " + ErrorMessage(code) + " =-";
}

void TModuleContext::SetError(uint16_t code, bool askStatus)
{
    if (PortGone)
        return;
    if (code != PortErrorCode)
        PortFailure.clear();
    Error.Code = code;
    Error.AskStatus = askStatus;
    if (code != 0 && !Quiet)
        WriteLine(ErrorLine(code));
}

bool TModuleContext::GetError(uint16_t &code, std::string &text) const
{
    code = Error.Code;
    if (code == 0) {
        text.clear();
        return false;
    }
    std::string message = ErrorMessage(code);
    if (code == PortErrorCode && !PortFailure.empty())
        message += ". " + PortFailure; // one line: osh2xx ends with it
    text = cut(Translate(MessageTranslation(OutputCodePage), message));
    return true;
}

void TModuleContext::InternalError(const std::string &text)
{
    WriteLine(text);
    SetError(0x9999, false);
}

void TModuleContext::PortLost(const std::string &moduleText)
{
    if (PortGone)
        return;
    WriteLine(moduleText);
    SetError(PortErrorCode, false);
    PortFailure = moduleText;
    PortGone = true;
}

void TModuleContext::WriteLine(const std::string &moduleText)
{
    Display.WriteLine(cut(Translate(MessageTranslation(OutputCodePage), moduleText)));
}

bool TModuleContext::StopRequested() const
{
    return Display.StopRequested;
}
