#pragma once
#include "db/db.h"

// The stored result of the start-up probe; 0 when the probe yielded no result set.
extern ResultHandle startupResult;

// The created event of MainWindow: skin, connection, caption, probe, first search.
void connectAndSearch();

// The whole program: creates the window, runs start-up, the message loop; returns 0.
int runProgram(int argc, char** argv);
