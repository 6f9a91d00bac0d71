#pragma once
// The error record of one module run, the code-to-message table and the
// decorated error line.
#include <cstdint>
#include <string>

class TKOMDisplay;
class TClock;

struct ModuleError {
    uint16_t Code = 0;
    bool AskStatus = true;
};

// The error of the PC's port, whether it would not open or failed later.
constexpr uint16_t PortErrorCode = 0x1000;

// Message of a code in the module's own code page (CP852 bytes);
// "Nieznany błąd" for a code not in the table.
std::string ErrorMessage(uint16_t code);
// "-= XXXX message =-" in the module's own code page.
std::string ErrorLine(uint16_t code);

// Everything one module run shares: the sink, the clock, the error record
// and the output options. One per run, handed to the port, the protocol
// and the tasks, so that several runs (a test's module and its simulator)
// never share state.
class TModuleContext {
public:
    TModuleContext(TKOMDisplay &display, TClock &clock) : Display(display), Clock(clock) {}

    TKOMDisplay &Display;
    TClock &Clock;
    ModuleError Error;
    bool Quiet = false;           // /Q: no error lines
    char OutputCodePage = 'W';    // the /L letter
    // The port's own words on its loss, naming the port (module code
    // page); the end message of PortErrorCode carries them.
    std::string PortFailure;
    // The port failed under the running job: no later error replaces it.
    bool PortGone = false;

    // Records code and AskStatus, replacing an earlier error; writes the
    // error line unless quiet or code is 0.
    void SetError(uint16_t code, bool askStatus);
    // true, code and message (converted to the output code page, at most
    // 255 characters) when an error is recorded.
    bool GetError(uint16_t &code, std::string &text) const;
    // Writes text as one line, then SetError(0x9999, false).
    void InternalError(const std::string &text);
    // The port failed under the job (device unplugged, line hung up):
    // writes text as one line and records PortErrorCode, which then stands
    // to the end of the run. A dead line reads as the register's EOT and
    // silence; the register must not be blamed for it.
    void PortLost(const std::string &moduleText);
    // Converts a line from the module's code page to the output code page,
    // cuts it at 255 characters and hands it to the sink.
    void WriteLine(const std::string &moduleText);
    bool StopRequested() const;
};
