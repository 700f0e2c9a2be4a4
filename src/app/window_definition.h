#pragma once
#include <vector>

#include "platform/toolkit.h"

// The window definition: the 47 controls of MainWindow in tab order, and what each event
// starts. Both are tables read by one loop of the toolkit.
const std::vector<ControlDef>& mainWindowControls();
const std::vector<Binding>& mainWindowBindings();

// Creates MainWindow, invisible, with all its controls and bindings.
void createMainWindow();
