#pragma once

// The OpenGL state of a display's frames, in its current context.
//
// Every pixel a display writes stays opaque: on a window whose visual has
// alpha (XScreenSaver's depth-32 window, a compositor's ARGB window) a
// pixel left with alpha below 1 would show the desktop through the saver.
// The clear is opaque black and the slides' blending never writes alpha.

// The fixed perspective, the opaque clear colour and swap interval 1. True
// when the swap may be trusted to pace frames.
bool setupProjection();

// A frame with slides: identity modelview, no depth test, the buffer
// cleared, additive blending by the source's alpha into colour only.
void beginSlideFrame();

// A frame without slides: opaque black.
void clearToBlack();

// Draws one tiny slide in every slide's state into the back buffer, waits
// for it and clears the buffer again. A driver builds its pipeline for a
// state the first time it draws in it (Mesa's software rasteriser takes
// tens of milliseconds), and this moves that work to while the first
// picture is still being decoded. Nothing of it is ever shown.
void warmUpSlideDrawing();

// Reads every pending OpenGL error (a bounded number per frame) and writes
// each to the debugger output; true when there was one.
bool drainGLErrors();
