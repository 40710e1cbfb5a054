#pragma once

// Start-up probes: a program built with these reports, on standard output,
// how long after its launch its main window's first frame was on the screen
// and how much memory the process held then, and ends. The launcher passes
// its clock reading at launch in QUILLON_PROBE_LAUNCH_NS (CLOCK_REALTIME,
// nanoseconds), so the dynamic linker's share is counted too.

#include <QWidget>

// Watches `window` for its first paint and reports once the frame it paints
// has been handed to the window system.
void ReportFirstFrame(QWidget *window);
