#pragma once
// The program body: instance guard, work folder, banner, data modules, main window, loop.

int RunVRQProgram(int argc, char** argv);
