#pragma once
// The module driver: one job with the register per call of RunModule.
// The job is a command line of switches; everything the module has to say
// goes to the display sink; the caller gets an end code and a message.
#include "link/UError.h"
#include "link/UNational.h"
#include "link/UParam.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class TClock;
class TComPort;
class TLine;
class TKOMDisplay;
class TTask;

inline constexpr const char *ModuleName = "OSH2XX";
inline constexpr const char *ModuleVersion = "2.10";

// One register model reachable through /V.
struct TModel {
    const char *Code;      // the /V value ("" for the default)
    const char *Register;  // "ER-A235P", ...
    int Index;             // row of the per-model timing tables
    int Class;             // row of the record-layout tables
    uint32_t PreStatusDelay;  // ms before the status query
};

// The model of a /V value; nullptr for a value that names none. An absent
// /V means the ER-A235P.
const TModel *FindModel(bool given, const std::string &value);

// End of one module run. It reads -1 and the not-finished message until the
// run reaches its end, so that a caller that looks at it after an abnormal
// end (an exception out of the module) sees that.
struct TModuleResult {
    int32_t Code = -1;
    std::string Text;      // bytes of CodePage; empty on success
    char CodePage = 'W';   // the /L letter the text is written in
};
// "Moduł komunikacyjny nie zakonczył jeszcze działania." in Windows-1250.
std::string NotFinishedMessage();

// A relative /F name is taken inside folder; an absolute one ("C:\...",
// "\\server\...", "/...") as it stands.
std::string ResolveJobFile(const std::string &folder, const std::string &name);

// Everything the task of one job letter sees.
struct TJob {
    TModuleContext &Context;
    TParam &Param;
    TLine &Port;  // the open port, or the line the caller gave
    const TModel &Model;
    TNational &National;
    bool Paper = false;
    std::string Folder;

    // The exchange file of /F, resolved against the caller's folder.
    std::string FileName() const { return ResolveJobFile(Folder, Param.value('F')); }
};

using TTaskFactory = std::function<std::unique_ptr<TTask>(TJob &)>;

// What each job letter does. The tasks of the transfers register here.
class TJobTable {
public:
    struct Entry {
        std::string Name;   // status text of the job, CP852
        bool Sending = false;
        TTaskFactory Factory;  // empty: the job cannot be created (0x9000)
    };

    // The letters D, U and P with their names and no factories yet.
    TJobTable();
    // name in UTF-8.
    void Register(char letter, const std::string &name, bool sending, TTaskFactory factory);
    const Entry *Find(char letter) const;
    // The task of the status query after a job; empty: no query.
    void RegisterStatus(TTaskFactory factory) { m_status = std::move(factory); }
    const TTaskFactory &Status() const { return m_status; }

private:
    std::map<char, Entry> m_entries;
    TTaskFactory m_status;
};

// The table the program's jobs use: D, U, P and the status query with the
// module's own tasks.
TJobTable &DefaultJobTable();

// Makes the line of a run instead of opening the serial port (tests, the
// in-process register). nullptr: the port cannot be opened (0x1000).
using TLineFactory = std::function<std::unique_ptr<TLine>(TModuleContext &)>;

// Banner lines and the build line, in CP852.
std::string BannerRule();
std::string BannerTitle();
std::string BuildLine();

// Runs one job. result is set to -1 and the not-finished message first and
// to the end code and message at the end. The display must have been
// started by the caller; the run finishes it.
void RunModule(const std::string &commandLine, const std::string &portName, const std::string &folder,
               TKOMDisplay &display, TClock &clock, const TJobTable &jobs, TModuleResult &result);
TModuleResult RunModule(const std::string &commandLine, const std::string &portName,
                        const std::string &folder, TKOMDisplay &display, TClock &clock);
// As above over the line that makeLine gives (opened where the port would
// be, destroyed where it would be closed).
void RunModule(const std::string &commandLine, const std::string &folder, TKOMDisplay &display, TClock &clock,
               const TJobTable &jobs, const TLineFactory &makeLine, TModuleResult &result);

// The /L letter a command line selects (first letter of /L, "W" when /L is
// absent, '\0' when it is empty), for callers that decode the output.
char OutputCodePage(const std::string &commandLine);
