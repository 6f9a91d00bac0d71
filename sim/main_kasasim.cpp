// kasasim: a simulated SHARP ER-A2xx register on a pseudo-terminal.
// The first line on stdout is "PORT " and the device path; the register
// then serves until it is killed (SIGINT, SIGTERM, SIGHUP) or, with
// --stdin-eof, until its standard input ends.
#include "UBuildInfo.h"
#include "link/UModule.h"
#include "sim/USimPty.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> g_quit{false};

extern "C" void onSignal(int) { g_quit = true; }

const char *const kHelp =
    "Usage: kasasim [OPTION]...\n"
    "A simulated SHARP ER-A2xx cash register on a pseudo-terminal. The first\n"
    "line printed is \"PORT <device path>\"; give that path to osh2xx --port.\n"
    "\n"
    "Register:\n"
    "  --number N                 register number answered in the wake-up (default 1)\n"
    "  --model CODE               235, 237, 275, 277, 277PS or 277PSP (default 277PSP)\n"
    "  --state FILE               keep tables and counters in FILE between runs\n"
    "  --sales SEED               fill the sales counters of stored records from SEED\n"
    "  --allow-download-with-sales  take downloads even with non-zero counters\n"
    "                             (otherwise refused: EOT, status 0701)\n"
    "Fiscal memory:\n"
    "  --reports N                number of daily reports (default 30)\n"
    "  --fiscal-seed N            seed of the report amounts (default 1)\n"
    "  --ram-resets N             number of RAM resets (default 3, at most 200)\n"
    "  --currency-change N        accounting currency changes after report N\n"
    "  --closed                   the fiscal memory is closed\n"
    "  --due-mismatch N           report N's total due is 0.01 above its sales\n"
    "Line:\n"
    "  --baud N                   pace every byte as an N-baud line (11 bits a character)\n"
    "  --stdin-eof                end when standard input reaches end of file\n"
    "  --noise PERMILLE           a noisy line: each byte received or sent is, with this\n"
    "                             probability (0..1000 per mille), changed to another byte,\n"
    "                             dropped or doubled, one of the three at random\n"
    "  --noise-seed N             seed of the noise (default 1): the same seed, the same damage\n"
    "Faults (each deterministic):\n"
    "  --refuse-download CODE     refuse downloads with EOT; status CODE (hex, e.g. 0702)\n"
    "  --nak-packet N             answer the N-th packet of a job (1 = command) with NAK, once\n"
    "  --bad-checksum N           send the N-th packet of a job with a bad checksum, once\n"
    "  --silent-after N           stop answering after N packets of every job\n"
    "  --eot-after-header         uploads end with EOT right after the table header\n"
    "  --layout-differs           uploads report a field layout other than asked\n"
    "  --no-wakeup                never answer the wake-up\n"
    "  --help                     this text\n"
    "  --version                  the program's version\n";

bool number(const char *text, unsigned long long max, unsigned long long &value, int base = 10)
{
    if (!text || !*text)
        return false;
    char *end = nullptr;
    errno = 0;
    value = std::strtoull(text, &end, base);
    return errno == 0 && *end == '\0' && value <= max && text[0] != '-' && text[0] != '+';
}

int bad(const std::string &what)
{
    std::fprintf(stderr, "kasasim: %s (see --help)\n", what.c_str());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    TSimOptions sim;
    TPtyOptions pty;
    TFiscalOptions fiscal;
    std::optional<uint64_t> sales;
    bool stdinEof = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        unsigned long long v = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("kasasim (Orvan277PS Plus) %s\n", ORVAN_VERSION);
            return 0;
        } else if (arg == "--number") {
            if (!number(next(), 999999, v))
                return bad("--number needs 0..999999");
            sim.RegisterNumber = static_cast<uint32_t>(v);
        } else if (arg == "--model") {
            const char *m = next();
            const TModel *model = m ? FindModel(true, m) : nullptr;
            if (!model)
                return bad("--model needs 235, 237, 275, 277, 277PS or 277PSP");
            sim.ModelIndex = model->Index;
        } else if (arg == "--state") {
            const char *f = next();
            if (!f || !*f)
                return bad("--state needs a file name");
            pty.StateFile = f;
        } else if (arg == "--sales") {
            if (!number(next(), UINT64_MAX, v))
                return bad("--sales needs a number");
            sales = v;
        } else if (arg == "--allow-download-with-sales") {
            sim.AllowDownloadWithSales = true;
        } else if (arg == "--reports") {
            if (!number(next(), 9000, v))
                return bad("--reports needs 0..9000");
            fiscal.Reports = static_cast<int>(v);
        } else if (arg == "--fiscal-seed") {
            if (!number(next(), UINT64_MAX, v))
                return bad("--fiscal-seed needs a number");
            fiscal.Seed = v;
        } else if (arg == "--ram-resets") {
            if (!number(next(), 200, v))
                return bad("--ram-resets needs 0..200");
            fiscal.RamResets = static_cast<int>(v);
        } else if (arg == "--currency-change") {
            if (!number(next(), 9000, v) || v == 0)
                return bad("--currency-change needs a report number 1..9000");
            fiscal.CurrencyChange = static_cast<int>(v);
        } else if (arg == "--closed") {
            fiscal.Closed = true;
        } else if (arg == "--due-mismatch") {
            if (!number(next(), 9000, v) || v == 0)
                return bad("--due-mismatch needs a report number 1..9000");
            fiscal.DueMismatch = static_cast<int>(v);
        } else if (arg == "--baud") {
            if (!number(next(), 1000000, v) || v < 50)
                return bad("--baud needs 50..1000000");
            pty.Baud = static_cast<int>(v);
        } else if (arg == "--noise") {
            if (!number(next(), 1000, v))
                return bad("--noise needs 0..1000 (per mille)");
            sim.NoisePermille = static_cast<int>(v);
        } else if (arg == "--noise-seed") {
            if (!number(next(), UINT64_MAX, v))
                return bad("--noise-seed needs a number");
            sim.NoiseSeed = v;
        } else if (arg == "--stdin-eof") {
            stdinEof = true;
        } else if (arg == "--refuse-download") {
            if (!number(next(), 0xFFFF, v, 16) || v == 0)
                return bad("--refuse-download needs a hexadecimal status code 0001..FFFF");
            sim.RefuseDownload = static_cast<uint16_t>(v);
        } else if (arg == "--nak-packet" || arg == "--bad-checksum" || arg == "--silent-after") {
            if (!number(next(), 1000000, v) || v == 0)
                return bad(arg + " needs a packet number 1..1000000");
            (arg == "--nak-packet" ? sim.NakPacket : arg == "--bad-checksum" ? sim.BadChecksumPacket : sim.SilentAfter) =
                static_cast<int>(v);
        } else if (arg == "--eot-after-header") {
            sim.EotAfterHeader = true;
        } else if (arg == "--layout-differs") {
            sim.LayoutDiffers = true;
        } else if (arg == "--no-wakeup") {
            sim.NoWakeUp = true;
        } else {
            return bad("unknown option " + arg);
        }
    }

    TPtySimulator simulator(sim, pty);
    simulator.WithRegister([&](TSimRegister &reg) {
        reg.Fiscal = fiscal;
        reg.SalesSeed = sales;
    });
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "kasasim: %s\n", error.c_str());
        return 1;
    }
    std::printf("PORT %s\n", simulator.PortPath().c_str());
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    while (!g_quit) {
        if (stdinEof) {
            pollfd fd{STDIN_FILENO, POLLIN, 0};
            if (::poll(&fd, 1, 100) > 0) {
                char buf[256];
                if (::read(STDIN_FILENO, buf, sizeof buf) <= 0)
                    break;
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    if (!simulator.Stop(&error)) {
        std::fprintf(stderr, "kasasim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
