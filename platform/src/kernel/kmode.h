// The calling thread's kernel mode, as SetKMode last set it (drivers ask for it).
#pragma once

namespace platform {

bool threadInKernelMode();

}  // namespace platform
