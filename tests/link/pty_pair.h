#pragma once
// A pseudo-terminal pair for the port tests: the module opens the slave by
// its path like any serial device; the test plays the register on the
// master side, usually from a peer thread. Reads block until the bytes
// come or Cancel() is called; no time limits.
#include <string>
#include <string_view>

// Windows has no pseudo-terminals: a test that plays the register on one
// skips there (the pair is never Ok()).
#ifdef _WIN32
#define ORVAN_SKIP_WITHOUT_PTY() GTEST_SKIP() << "Windows has no pseudo-terminals"
#else
#define ORVAN_SKIP_WITHOUT_PTY() static_cast<void>(0)
#endif

class TPtyPair {
public:
    TPtyPair();
    ~TPtyPair();
    TPtyPair(const TPtyPair &) = delete;
    TPtyPair &operator=(const TPtyPair &) = delete;

    bool Ok() const { return FMaster >= 0; }
    const std::string &SlavePath() const { return FSlavePath; }

    void Write(std::string_view bytes);
    // Blocks until n bytes came; fewer when cancelled or the slave hung up.
    std::string Read(size_t n);
    // Blocks until the terminator came (included in the answer).
    std::string ReadUntil(char terminator);
    // Wakes and ends every blocked and later read.
    void Cancel();
    // Closes the master: the slave side sees a hang-up.
    void CloseMaster();

private:
    // One byte, or -1 when cancelled or hung up.
    int ReadOne();

    int FMaster = -1;
    int FCancel[2] = {-1, -1};
    std::string FSlavePath;
};
