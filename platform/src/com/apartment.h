#pragma once

namespace platform::com {

// Whether CoInitializeEx holds on the calling thread.
bool initialised();

}  // namespace platform::com
