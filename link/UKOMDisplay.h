#pragma once
// Output sink of the communication module: output lines, one status text,
// history marks and the two flags shared with the user interface.
#include <atomic>
#include <cstdint>
#include <string>

class TKOMDisplay {
public:
    virtual ~TKOMDisplay() = default;

    // Texts are single-byte lines already in the output code page (/L).
    virtual void Clear() = 0;
    virtual void WriteLine(const std::string &text) = 0;
    virtual void SetStatus(const std::string &text) = 0;
    virtual int AddHistory(uint16_t code) = 0;

    virtual void Start();
    virtual int Finish();

    // How far a transfer is: done records (fiscal reports) of total, -1
    // while the total is not known. job is the job letter (D, U, P), table
    // the /T number of a table job. Called on the job thread at the start
    // of a transfer and whenever the count moves; a sink without a
    // progress bar ignores it.
    virtual void Progress(char job, uint32_t table, long done, long total)
    {
        (void)job, (void)table, (void)done, (void)total;
    }

    // Written by the user-interface thread, read by the job thread.
    std::atomic<bool> StopRequested{false};
    // Written by the job thread, read by the user-interface thread.
    std::atomic<bool> Running{false};
};

// Shows nothing: for jobs whose output no one reads (soak runs, fuzzing,
// tests that look only at the result).
class TQuietDisplay : public TKOMDisplay {
public:
    void Clear() override {}
    void WriteLine(const std::string &) override {}
    void SetStatus(const std::string &) override {}
    int AddHistory(uint16_t) override { return 0; }
};
