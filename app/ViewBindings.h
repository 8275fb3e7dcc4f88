#pragma once

class MainWindow;

// Makes every view window of the View menu available in the main window: how each kind is
// built and how it is handed the newest data. The main window calls this once, at
// construction; a later bindView() for a kind replaces its binding (tests use stand-ins).
void bindViewWindows(MainWindow &window);
