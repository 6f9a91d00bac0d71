#pragma once
// The module's display for tests that run jobs: shows nothing.
#include "UKOMDisplay.h"

#include <cstdint>
#include <string>

class TQuietDisplay : public TKOMDisplay {
public:
    void Clear() override {}
    void WriteLine(const std::string &) override {}
    void SetStatus(const std::string &) override {}
    int AddHistory(uint16_t) override { return 0; }
};
