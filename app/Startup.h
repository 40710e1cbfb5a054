#pragma once

// The window program's start-up, up to the message loop: splash, title,
// main window, report form, splash gone, main window shown. main() runs it
// and then the loop; the start-up probe in bench/ runs the same.
void StartQuillon();
