// The library's only export.
#include "tarnjpg/api.h"

#include <windows.h>

extern "C" __declspec(dllexport) uint32_t DllGetData(EncoderTable* table) {
  if (!table) return 0;
  table->Create = tarnjpg::Create;
  table->Destroy = tarnjpg::Destroy;
  table->SetQuality = tarnjpg::SetQuality;
  table->Encode = tarnjpg::Encode;
  table->ConvertFrame = tarnjpg::ConvertFrame;
  return 1;
}
