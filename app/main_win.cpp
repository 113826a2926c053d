// Tallowin's entry point; the command line and show command are not used.
#include "app/app_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunTallowin(instance); }
