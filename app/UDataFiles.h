#pragma once
// The data file operations of the main window's commands.
#include "app/UMainCommands.h"

class TOrvanDataFiles : public IDataFiles {
public:
    explicit TOrvanDataFiles(TDM &dm);
    TSectionSet Scan(const QString &fileName) override;
    void Load(const QString &fileName, const TSectionSet &sections, bool clearFirst) override;
    void Save(const QString &fileName, const TSectionSet &sections) override;

private:
    TDM &m_dm;
};
