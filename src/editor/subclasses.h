#pragma once

// Refills the subclass list 组合框2 with the subclasses of the main class in 组合框1.
void fillSubclassList();
