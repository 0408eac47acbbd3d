#pragma once

// Starts the program: current directory set to the program's folder, the window built, shown,
// and the event loop run until the window is closed. Returns the exit code.
int RunProgram(int argc, char** argv);
