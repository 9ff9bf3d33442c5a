#pragma once

class SaverWindow;
class StopSignals;

// Runs the slideshow in `window` over theSettings' folders until a stop
// signal, q, Escape, the window manager's close or the window's end: one
// shared provider, one Display, the frame loop of the Windows saver. Then
// takes the window off the screen, stops the loader and frees everything.
// With `showFrameRate` (-fps) a frame-rate line goes to standard output
// every second. Returns the exit status, 0.
int runSlideshow(SaverWindow& window, StopSignals& stop, bool showFrameRate = false);
