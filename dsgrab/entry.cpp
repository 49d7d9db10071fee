#include "dsgrab/graph.h"

extern "C" __declspec(dllexport) uint32_t DllGetData(CaptureTable *table) {
  if (!table) return 0;
  table->OpenCamera = dsgrab::OpenCamera;
  table->CloseCamera = dsgrab::CloseCamera;
  table->SetGraphState = dsgrab::SetGraphState;
  table->SetFrameCallback = dsgrab::SetFrameCallback;
  table->EnumFormats = dsgrab::EnumFormats;
  table->SelectFormat = dsgrab::SelectFormat;
  table->CaptureStill = dsgrab::CaptureStill;
  table->GetPropertyRanges = dsgrab::GetPropertyRanges;
  table->AccessProperties = dsgrab::AccessProperties;
  return 1;
}
