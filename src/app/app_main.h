// The program's life cycle: logo while the delay is calibrated, main window,
// data source, the event loop, and the orderly close on quit or signal.
// The caller creates the QApplication.
#pragma once

int RunWinQ47V();
