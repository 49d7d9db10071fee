// DirectShow of the handset. What exists: the interfaces and structures of strmif.h and
// control.h; the filter graph manager (CLSID_FilterGraph: IFilterGraph, IMediaControl,
// IMediaFilter); the video capture filter on handsets whose profile has a DirectShow camera
// (CLSID_VideoCapture); the base classes for filters of one's own in <streams.h>. No clock, no
// intelligent connect (IGraphBuilder), no events.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <amvideo.h>
#include <control.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>
