#pragma once
// The periodic fiscal report builder; comes with the reports work.
