// DirectShow of the handset. What exists: the interfaces and structures of strmif.h and
// control.h; the filter graph manager (CLSID_FilterGraph: IFilterGraph, IMediaControl,
// IMediaFilter); the video capture filter on handsets whose profile has a DirectShow camera
// (CLSID_VideoCapture); the base classes for filters of one's own in <streams.h>. No clock, no
// intelligent connect (IGraphBuilder), no events.
//
// What a caller may rely on: the graph changes the states of its filters downstream first and
// takes a stopped graph through Paused on its way to Running; IFilterGraph::Reconnect connects
// the pins again with what the output pin offers now. The video capture filter is opened with
// IPersistPropertyBag::Load, the camera's name under "VCapName" (the legacy name FindFirstDevice
// gives for DEVCLASS_CAMERA_GUID); its pins ("Capture", and "Still" where the camera has one) say
// their category through IKsPropertySet (AMPROPSETID_Pin) and list their formats through
// IAMStreamConfig (GetStreamCaps: the caller frees the type with DeleteMediaType). SetFormat is
// refused unless the graph is stopped (VFW_E_NOT_STOPPED); on a connected pin it reconnects it
// with the new type and an allocator sized for it, and a type the peer refuses gives
// VFW_E_INVALIDMEDIATYPE with the old connection kept. Samples reach the downstream pin on the
// filter's own streaming thread, only while the graph runs (paused, GetState answers
// VFW_S_CANT_CUE); Stop returns once that thread has ended. IAMVideoControl::SetMode with the
// still pin and VideoControlFlag_Trigger, while running, delivers one sample on the still pin.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <amvideo.h>
#include <control.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>
