// The DirectShow source: the camera through the system's capture library "dsgrab.dll", which
// builds the capture graph and hands every sample to one of the source's two frame callbacks.
#pragma once

#include "camera/frame.h"

extern const SourceOps DirectShowSource;

// Loads "dsgrab.dll" from the program's directory and has it fill its table. 1 when bound; the
// library then stays loaded for the rest of the run and a second call returns 1 at once. A
// library that is missing, has no "DllGetData" or refuses leaves nothing loaded.
uint32_t BindCaptureLibrary();

// Unloads the library and forgets the binding, so that a test can bind again.
void ReleaseCaptureLibrary();
