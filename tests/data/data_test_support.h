#pragma once
// The fixture the data tests share: a data module on the ER-A277PS Plus
// profile with deposits, under Polish number formats whatever the machine's
// locale; the formats before the test come back afterwards.
#include "data/UDM.h"
#include "data/UErrors.h"
#include "data/ULocale.h"

#include <gtest/gtest.h>

#include <string>

class PolishDataModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = FormatSettings();
        FormatSettings() = TFormatSettings::Polish();
        dm.ApplyProfile(5, true, 0);
    }
    void TearDown() override { FormatSettings() = m_saved; }

    // The message of the error f raises, or "no error".
    template <typename F>
    static std::string MessageOf(F &&f)
    {
        try {
            f();
        } catch (const Exception &e) {
            return e.Message().toStdString();
        }
        return "no error";
    }

    TDM dm;
    TFormatSettings m_saved;
};
