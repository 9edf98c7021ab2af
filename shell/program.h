// The program shell: its entry routine and the routines bound to the main window's events.
#pragma once

namespace mc {

// Initialises the run time, loads the main window and runs the event loop; returns 0 once the loop ends.
int StartProgram();

// The main window's created event: nothing to do.
void OnMainWindowCreated();

// The click of 按钮1: reads the machine's codes afresh and writes them into the four edit boxes.
void CollectCodes();

}  // namespace mc
